// Conversions between Shift-JIS, UTF-16 (wide), UTF-16LE text and UTF-8.
// Every conversion takes its destination's capacity (units for wide strings,
// bytes otherwise, terminator included) and never writes past it.
#pragma once
#include <cstdint>

// conversion status: starts at 7, narrowed while walking; 3 or more reads as
// plausible Shift-JIS; bit 3 (8) marks lead bytes 0xE0-0xFC or bytes 0xFD-0xFF.

int sjis_to_wide(char16_t* dst, int cap, const char* src);   // source bytes taken
int sjis_cat_wide(char16_t* dst, int cap, const char* src);
int wide_to_sjis(char* dst, int cap, const char16_t* src);   // source units taken
int utf8_to_wide(char16_t* dst, int cap, const char* src);   // 7 well-formed, 0 not
int utf16le_to_sjis(char* dst, int cap, const char* src);
int utf8_to_sjis(char* dst, int cap, const char* src);       // 7 well-formed, 0 not
int sjis_to_utf8(char* dst, int cap, const char* src);       // conversion status
int sjis_cat_utf8(char* dst, int cap, const char* src);      // status, -1 no NUL
int sjis_to_utf16le(char* dst, int capBytes, const char* src);  // conversion status
// Appends Shift-JIS text to a console message in the console's encoding.
void console_cat(char* dst, int cap, const char* src);
int drop_trailing_lead(char* s);                             // 1 removed a byte

int wide_eq(const char16_t* a, const char16_t* b);           // 0 equal, -1 not
int wide_len(const char16_t* s);                             // at most 4999
int wide_cpy(char16_t* dst, int cap, const char16_t* src);
int wide_cat(char16_t* dst, int cap, const char16_t* src);
int utf16le_eq(const char* a, const char* b);                // 0, -1, 3
int utf16le_bytes(const char* s);
