// Byte-wise text file reader with one byte of look-ahead, and encoding checks.
#pragma once

int txt_exists(const char* path);
int txt_exists_wide(const char16_t* path);
int txt_open(const char* path);
int txt_open_wide(const char16_t* path);
// Files opened for reading so far, by either open: tests count the reads of a file.
int txt_open_count();
void txt_close();
int txt_peek();
int txt_getc();
int txt_eof();
// 1 when a read of the file last opened failed (its end was then not reached).
int txt_failed();
int txt_getline(char* buf, int size);

int chkifutf8(const char* path, const char16_t* pathW);  // path or pathW (the other null)
int chkifsjis(const char* path, const char16_t* pathW);

// Encoding of a text file: 1 to read it as Shift-JIS (not valid UTF-8 and a
// plausible Shift-JIS verdict of 3 or more), 0 for UTF-8 (also pure ASCII).
int text_is_sjis(const char* path, const char16_t* pathW);
