#include "encoding/codec.h"

int utf8_sequence_length(unsigned char lead, Utf8Rules rules) {
  const bool strict = rules == UTF8_STRICT;
  if (lead < 0x80) return 1;
  if (lead >= (strict ? 0xC2 : 0xC0) && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= (strict ? 0xF4 : 0xF7)) return 4;
  return 0;
}

int utf8_decode(const char* s, uint32_t* cp, Utf8Rules rules) {
  static const uint32_t kLeadBits[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  static const uint32_t kShortest[5] = {0, 0, 0x80, 0x800, 0x10000};
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
  const bool strict = rules == UTF8_STRICT;
  if (p[0] == 0) return 0;
  const int len = utf8_sequence_length(p[0], rules);
  if (len == 0) return -1;
  uint32_t v = p[0] & kLeadBits[len];
  for (int i = 1; i < len; i++) {
    const unsigned char c = p[i];
    if (!utf8_is_continuation(c)) return (c == 0 || strict) ? -i : -(i + 1);
    v = v << 6 | (c & 0x3F);
  }
  if (strict && (v < kShortest[len] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))) return -len;
  *cp = v;
  return len;
}

int utf8_length(uint32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }

int utf8_encode(uint32_t cp, char* out) {
  unsigned char* d = reinterpret_cast<unsigned char*>(out);
  switch (utf8_length(cp)) {
    case 1:
      d[0] = static_cast<unsigned char>(cp);
      return 1;
    case 2:
      d[0] = static_cast<unsigned char>(0xC0 | cp >> 6);
      d[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
      return 2;
    case 3:
      d[0] = static_cast<unsigned char>(0xE0 | cp >> 12);
      d[1] = static_cast<unsigned char>(0x80 | (cp >> 6 & 0x3F));
      d[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
      return 3;
    default:
      d[0] = static_cast<unsigned char>(0xF0 | (cp >> 18 & 0x07));
      d[1] = static_cast<unsigned char>(0x80 | (cp >> 12 & 0x3F));
      d[2] = static_cast<unsigned char>(0x80 | (cp >> 6 & 0x3F));
      d[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
      return 4;
  }
}
