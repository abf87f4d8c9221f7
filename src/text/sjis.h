// Conversions between Shift-JIS, UTF-16 (wide), UTF-16LE text and UTF-8.
// Every conversion takes its destination's capacity (units for wide strings,
// bytes otherwise, terminator included) and never writes past it. When
// cap > 0 the output is always terminated; output cut by the capacity stops
// at a whole character.
#pragma once
#include <cstdint>

// conversion status: starts at 7, narrowed while walking; 3 or more reads as
// plausible Shift-JIS; bit 3 (8) marks lead bytes 0xE0-0xFC or bytes 0xFD-0xFF.
enum {
  SJIS_STATUS_START = 7,
  SJIS_STATUS_PLAUSIBLE = 3,     // status >= this reads as Shift-JIS
  SJIS_STATUS_LEAD80 = 2,        // mask after a lead byte 0x80
  SJIS_STATUS_LOW_TRAIL = 1,     // mask after a trail byte 0x00-0x3F
  SJIS_STATUS_CUT_LEAD = 3,      // mask when the text ends after a lead byte
  SJIS_STATUS_HIGH_BYTES = 8,    // set by leads 0xE0-0xFC and bytes 0xFD-0xFF
};

int sjis_to_wide(char16_t* dst, int cap, const char* src);   // source bytes taken
int sjis_cat_wide(char16_t* dst, int cap, const char* src);  // source bytes taken
int wide_to_sjis(char* dst, int cap, const char16_t* src);   // source units taken
int utf8_to_wide(char16_t* dst, int cap, const char* src);   // 7 well-formed, 0 not
int utf16le_to_sjis(char* dst, int cap, const char* src);    // bytes written
int utf8_to_sjis(char* dst, int cap, const char* src);       // 7 well-formed, 0 not
int sjis_to_utf8(char* dst, int cap, const char* src);       // conversion status
int sjis_cat_utf8(char* dst, int cap, const char* src);      // status, -1 no NUL
int sjis_to_utf16le(char* dst, int capBytes, const char* src);  // conversion status
// Appends Shift-JIS text to a console message in the console's encoding.
void console_cat(char* dst, int cap, const char* src);
int drop_trailing_lead(char* s);                             // 1 removed a byte

int wide_eq(const char16_t* a, const char16_t* b);           // 0 equal, -1 not
int wide_len(const char16_t* s);                             // at most 4999
// Copy / append with the terminator; return the units copied (terminator not
// counted). A surrogate pair is never cut in half.
int wide_cpy(char16_t* dst, int cap, const char16_t* src);
int wide_cat(char16_t* dst, int cap, const char16_t* src);
int utf16le_eq(const char* a, const char* b);                // 0, -1, 3
int utf16le_bytes(const char* s);

// The exact UTF-16LE of a wide string (the codec has its UTF-8). Returns the
// bytes written before the terminator, or -1 when the whole source did not
// fit (the output then holds the characters that did, terminated).
int wide_to_utf16le(char* dst, int capBytes, const char16_t* src);

// One step of the UTF-8 decoding shared by the conversions and the file check:
// returns the bytes of a character (1-4, *cp set), 0 at the terminator, or
// minus the bytes a malformed sequence consumes (the terminator never is).
// Overlong forms are accepted.
int utf8_next(const char* s, uint32_t* cp);
