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

// Code page 932 lead bytes: 0x81-0x9F and 0xE0-0xFC.
inline bool cp932_is_lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
