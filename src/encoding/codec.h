// The codec: UTF-8, and code page 932 with its named variants. The bottom
// layer: depends on nothing, usable from every layer.
#pragma once
#include <cstdint>

// How a decoder treats input that published UTF-8 forbids. Every caller names
// its choice, because the two readers of the program differ on purpose.
enum Utf8Rules {
  // Leads C0-DF, E0-EF, F0-F7; overlong forms, surrogates and values past
  // U+10FFFF pass as decoded. A byte that breaks a sequence is consumed with
  // it. This is how model texts, alias files and the file check read UTF-8.
  UTF8_LENIENT,
  // Leads C2-DF, E0-EF, F0-F4; an overlong form, a surrogate or a value past
  // U+10FFFF is malformed after its whole sequence. A byte that breaks a
  // sequence is left to start the next one. This is how names from the system
  // are read, so that no path can smuggle in a byte the tables never produce.
  UTF8_STRICT,
};

// One character: returns its bytes (1-4, *cp set), 0 at the terminator, or
// minus the bytes a malformed sequence consumes (never the terminator, always
// at least one).
int utf8_decode(const char* s, uint32_t* cp, Utf8Rules rules);

// Bytes of the sequence a byte starts under the rules (1-4), 0 when it starts
// none; for readers that take UTF-8 a byte at a time.
int utf8_sequence_length(unsigned char lead, Utf8Rules rules);
inline bool utf8_is_continuation(int b) { return b >= 0x80 && b <= 0xBF; }

// Bytes of cp in UTF-8 (1-4); cp must be below 0x200000.
int utf8_length(uint32_t cp);
// Writes cp (below 0x200000) to out[0..3]; returns the bytes written.
int utf8_encode(uint32_t cp, char* out);

// ---- UTF-16 ----------------------------------------------------------------

inline bool utf16_is_high_surrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool utf16_is_low_surrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
inline bool utf16_is_surrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDFFF; }

// One character: returns its units (1-2, *cp set) or 0 at the terminator. A
// surrogate without its partner reads as U+FFFD.
int utf16_decode(const char16_t* s, uint32_t* cp);
// Writes cp (below 0x110000) to out[0..1]; returns the units written.
int utf16_encode(uint32_t cp, char16_t* out);

// The exact UTF-8 of a wide string (a surrogate without its partner as
// U+FFFD). Returns the bytes written before the terminator, or -1 when the
// whole source did not fit (the output then holds the characters that did,
// terminated). cap counts the terminator.
int wide_to_utf8(char* dst, int cap, const char16_t* src);

// ---- code page 932 ---------------------------------------------------------

// Lead bytes 0x81-0x9F and 0xE0-0xFC; trail bytes 0x40-0xFC but 0x7F.
inline bool cp932_is_lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
inline bool cp932_is_trail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// How cp932_decode and cp932_encode read code page 932: the generated tables
// (Shift_JIS-2004, where 0x5C is the yen sign and 0x7E the overline) changed
// by these options. Every caller names its variant, because the program's
// readers and writers differ on purpose.
enum Cp932Options : unsigned {
  CP932_TABLES = 0,
  // 0x00-0x7F and U+0000-U+007F stand for each other, as Windows reads them;
  // no other character encodes below 0x80.
  CP932_ASCII = 1u << 0,
  // With CP932_ASCII, encoding: the yen sign and the overline still take the
  // tables' 0x5C and 0x7E, as a best-fit conversion does.
  CP932_BEST_FIT = 1u << 1,
  // Only 0x5C and U+005C stand for each other, so a path keeps its
  // separator; the rest of 0x00-0x7F as the tables have it.
  CP932_BACKSLASH = 1u << 2,
  // The override pairs (code page 932's own choices) before the tables.
  CP932_OVERRIDES = 1u << 3,
  // Encoding: the override pairs only where the tables have no code.
  CP932_OVERRIDES_AFTER = 1u << 4,
  // Encoding: only a code that Windows' own code page 932 table
  // (cp932_to_uni) reads back as the same character.
  CP932_EXACT = 1u << 5,

  // Code page 932 as Windows reads it: the POSIX seam and its console.
  CP932_WINDOWS = CP932_ASCII | CP932_OVERRIDES,
  // Texts of model and alias files: only the backslash kept as itself.
  CP932_FILE_TEXT = CP932_BACKSLASH | CP932_OVERRIDES,
};

// The character of a code (a single byte below 0x100, else lead << 8 |
// trail); 0 when the code has none.
uint32_t cp932_decode(uint32_t code, unsigned options);
// The code of a character (one byte when below 0x100, else lead << 8 |
// trail); 0 when it has none.
uint32_t cp932_encode(uint32_t cp, unsigned options);
