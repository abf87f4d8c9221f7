// Shift-JIS code tables (generated data in sjis_tables.cpp by tools/gen_sjis_tables.py).
#pragma once
#include <cstdint>

// Decode entry of a code (masked to 16 bits); 0 = no mapping or outside the tables.
uint32_t sjis_to_uni(uint32_t code);
// Encode entry of a code point (masked to 16 bits); 0 = no mapping.
uint16_t uni_to_sjis(uint32_t codePoint);

struct SjisOverride {
  uint16_t sjis;         // Shift-JIS code
  uint32_t decodesTo;    // what the code decodes to
  uint32_t encodedFrom;  // a code point that encodes to the code
};
enum { SJIS_OVERRIDE_COUNT = 19 };
extern const SjisOverride sjis_overrides[SJIS_OVERRIDE_COUNT];
// Lookups in sjis_overrides; 0 when the code / code point has no pair.
uint32_t sjis_override_decode(uint32_t code);
uint16_t sjis_override_encode(uint32_t codePoint);
