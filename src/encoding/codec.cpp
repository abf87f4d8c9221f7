#include "encoding/codec.h"

#include "encoding/codepage_tables.h"
#include "encoding/sjis_tables.h"

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

int utf16_decode(const char16_t* s, uint32_t* cp) {
  const uint32_t u = s[0];
  if (u == 0) return 0;
  if (utf16_is_high_surrogate(u) && utf16_is_low_surrogate(s[1])) {
    *cp = 0x10000 + ((u - 0xD800) << 10) + (s[1] - 0xDC00u);
    return 2;
  }
  *cp = utf16_is_surrogate(u) ? 0xFFFD : u;
  return 1;
}

int utf16_encode(uint32_t cp, char16_t* out) {
  if (cp < 0x10000) {
    out[0] = static_cast<char16_t>(cp);
    return 1;
  }
  const uint32_t v = cp - 0x10000;
  out[0] = static_cast<char16_t>(0xD800 | v >> 10);
  out[1] = static_cast<char16_t>(0xDC00 | (v & 0x3FF));
  return 2;
}

int wide_to_utf8(char* dst, int cap, const char16_t* src) {
  if (!dst || cap <= 0) return -1;
  int n = 0;
  uint32_t cp = 0;
  for (int i = 0, units; src && (units = utf16_decode(src + i, &cp)) > 0; i += units) {
    if (n + utf8_length(cp) > cap - 1) {
      dst[n] = 0;
      return -1;
    }
    n += utf8_encode(cp, dst + n);
  }
  dst[n] = 0;
  return n;
}

uint32_t cp932_decode(uint32_t code, unsigned options) {
  if ((options & CP932_ASCII) && code < 0x80) return code;
  if ((options & CP932_BACKSLASH) && code == 0x5C) return 0x5C;
  if (options & CP932_OVERRIDES) {
    const uint32_t cp = sjis_override_decode(code);
    if (cp) return cp;
  }
  return sjis_to_uni(code);
}

uint32_t cp932_encode(uint32_t cp, unsigned options) {
  const bool ascii = (options & CP932_ASCII) != 0;
  if (ascii && cp < 0x80) return cp;
  if ((options & CP932_BACKSLASH) && cp == 0x5C) return 0x5C;
  if (cp > 0xFFFF) return 0;  // the tables would read only its low 16 bits
  const uint32_t tried[3] = {(options & CP932_OVERRIDES) ? sjis_override_encode(cp) : 0u, uni_to_sjis(cp),
                             (options & CP932_OVERRIDES_AFTER) ? sjis_override_encode(cp) : 0u};
  for (uint32_t code : tried) {
    if (code == 0) continue;
    if (ascii && code < 0x80 && !(options & CP932_BEST_FIT)) continue;
    if ((options & CP932_EXACT) && cp932_to_uni(code) != cp) continue;
    return code;
  }
  return 0;
}
