// Reading, writing and the twist-axis check of a PMX model.
#pragma once

// 0 read (to its end), -1 not opened, 2 not a PMX header, 3 stopped at a section error.
int pmdinforead(const char* path);
int pmdinforeadW(const char16_t* path);
// 0 written; -1 source or output not opened, or any write failure (the output is removed).
int pmdinfowrite(const char* outPath, const char* srcPath);
int pmdinfowriteW(const char16_t* outPath, const char16_t* srcPath);
// Sets the twist mismatch flags from armRef / twistRef; returns how many are set.
int twist_check();

// Shared by the reader and the writer (model_store.cpp).
#include <cstdint>
struct NameBuffer;
// Reads up to n input bytes (rfread).
int32_t pmx_read(void* dst, int32_t n);
// Steps over up to n input bytes without reading them; returns how many
// there were (rfskip: a count past the end ends the input there).
int64_t pmx_skip(int64_t n);
// Reads a text field into the buffer (first 254 bytes, then two zero bytes);
// returns the declared length. A negative length reads nothing. Without
// skipRest the bytes past the kept ones stay unread, for the writer to copy.
int32_t pmx_read_text(NameBuffer* nb, bool skipRest = true);
// The same into a buffer of size bytes keeping at most keep (size >= keep + 3).
int32_t pmx_read_text_into(char* bytes, int32_t keep, int32_t size);
// A name as read (UTF-16LE when encoding is 0, else UTF-8) in Shift-JIS.
void pmx_name_to_sjis(char* dst, int cap, unsigned char encoding, const char* text);
// UTF-16LE bytes up to a zero unit into a wide string, cut to cap - 1 units.
void pmx_utf16le_to_wide(char16_t* dst, int cap, const char* text);
