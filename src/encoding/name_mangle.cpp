#include "encoding/name_mangle.h"

#include "encoding/codec.h"
#include "encoding/codepage_tables.h"

namespace {

enum { NAME_CAP = 256 };  // units of a name; a longer one has no UTF-8 mangling

// A character's code as Windows writes it in code page 932.
const unsigned kAsWindowsWrites = CP932_ASCII | CP932_OVERRIDES_AFTER | CP932_EXACT;

bool put(char16_t* dst, int cap, int& at, char16_t u) {
  if (at + 1 >= cap) return false;
  dst[at++] = u;
  return true;
}

}  // namespace

bool link_mangle(int kind, const char16_t* name, int len, char16_t* dst, int cap) {
  if (cap <= 0) return false;
  dst[0] = 0;
  int at = 0;
  if (kind == MANGLE_UTF8_AS_CP932) {
    char16_t w[NAME_CAP];
    char bytes[NAME_CAP * 3 + 1];
    if (len >= NAME_CAP) return false;
    for (int i = 0; i < len; i++) w[i] = name[i];
    w[len] = 0;
    if (wide_to_utf8(bytes, sizeof bytes, w) < 0) return false;
    const unsigned char* b = (const unsigned char*)bytes;
    for (int i = 0; b[i];) {
      uint16_t u = 0;
      if (cp932_is_lead(b[i])) {
        if (b[i + 1]) u = cp932_to_uni((uint32_t)b[i] << 8 | b[i + 1]);
        i += u ? 2 : 1;
      } else {
        u = cp932_to_uni(b[i++]);
      }
      if (!put(dst, cap, at, u ? u : (char16_t)MANGLE_ANY_UNIT)) return false;
    }
  } else if (kind >= MANGLE_CP437 && kind <= MANGLE_CP1252) {
    static const int pages[] = {CODEPAGE_437, CODEPAGE_850, CODEPAGE_1252};
    for (int i = 0; i < len; i++) {
      uint32_t code = cp932_encode(name[i], kAsWindowsWrites);
      if (!code) return false;
      if (code > 0xFF && !put(dst, cap, at, sbcs_to_uni(pages[kind], (unsigned char)(code >> 8)))) return false;
      if (!put(dst, cap, at, sbcs_to_uni(pages[kind], (unsigned char)code))) return false;
    }
  } else {
    return false;
  }
  dst[at] = 0;
  return true;
}
