// Byte-wise text file reader with one byte of look-ahead, and encoding checks.
#pragma once

int txt_exists(const char* path);
int txt_exists_wide(const char16_t* path);
int txt_open(const char* path);
int txt_open_wide(const char16_t* path);
void txt_close();
int txt_peek();
int txt_getc();
int txt_eof();
int txt_getline(char* buf, int size);

int chkifutf8(const char* path, const char16_t* pathW);  // path or pathW (the other null)
int chkifsjis(const char* path, const char16_t* pathW);
