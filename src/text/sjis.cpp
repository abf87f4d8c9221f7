// Conversions between Shift-JIS, UTF-16, UTF-16LE and UTF-8 over the codec,
// and the ones that report what they cannot convert. Nothing here allocates;
// every output is bounded by its capacity.
#include "text/sjis.h"

#include "encoding/codec.h"
#include "platform/console.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "platform/settings.h"

namespace {

typedef unsigned char u8;

// Plain conversions stop after this many source bytes or units.
const int kMaxSource = 9998;
const int kMaxWideScan = 9999;
const int kMaxWideLen = 4999;
// sjis_cat_utf8 looks for the end of its destination only in a path buffer's
// length, the size its callers once always passed.
const int kCatUtf8Scan = PATHBUF_CAP;

// Paths to the ANSI code page: ASCII as itself (0x80-0xFF too would be lead
// bytes swallowing the next byte), the yen sign and the overline still as
// 0x5C and 0x7E, and the override pairs where the tables have no code (such
// as U+FF5E).
const unsigned kWideToAnsi = CP932_ASCII | CP932_BEST_FIT | CP932_OVERRIDES_AFTER;

// Writes a Shift-JIS code, one byte below 0x100, else high byte first, when it
// fits in front of the terminator.
bool put_sjis(char* dst, int cap, int& n, uint32_t code) {
  int len = code < 0x100 ? 1 : 2;
  if (n + len > cap - 1) return false;
  if (len == 2) dst[n++] = static_cast<char>(code >> 8);
  dst[n++] = static_cast<char>(code & 0xFF);
  return true;
}

bool put_utf8(char* dst, int cap, int& n, uint32_t cp) {
  if (n + utf8_length(cp) > cap - 1) return false;
  n += utf8_encode(cp, dst + n);
  return true;
}

// UTF-16LE units, room for the terminating zero unit kept.
bool put_units_le(char* dst, int capBytes, int& n, const char16_t* units, int count) {
  if (n + 2 * count > capBytes - 2) return false;
  for (int i = 0; i < count; i++) {
    dst[n++] = static_cast<char>(units[i] & 0xFF);
    dst[n++] = static_cast<char>(units[i] >> 8);
  }
  return true;
}

void end_utf16le(char* dst, int capBytes, int n) {
  if (n + 2 <= capBytes) {
    dst[n] = 0;
    dst[n + 1] = 0;
  } else if (capBytes > 0) {
    dst[0] = 0;  // only reachable with capBytes == 1
  }
}

// Appends Shift-JIS to a wide string that already holds n units.
int sjis_wide_from(char16_t* dst, int cap, int n, const char* src) {
  const u8* p = reinterpret_cast<const u8*>(src);
  int i = 0;
  while (i < kMaxSource && p[i]) {
    u8 b = p[i];
    uint32_t cp;
    int len = 1;
    // Read as the ANSI code page reads it, so that 0x815F stays a full-width
    // backslash and never turns into a path separator, and a wide path names
    // the same file as its Shift-JIS form.
    if (os_is_dbcs_lead(b)) {
      if (!p[i + 1]) break;  // pair cut by the terminator
      cp = cp932_decode(static_cast<uint32_t>(b) << 8 | p[i + 1], CP932_WINDOWS);
      if (cp == 0) cp = '?';
      len = 2;
    } else {
      cp = cp932_decode(b, CP932_WINDOWS);
      if (cp == 0) cp = b;  // a byte without a character stands for itself
    }
    char16_t units[2];
    int count = utf16_encode(cp, units);
    if (n + count > cap - 1) break;
    for (int k = 0; k < count; k++) dst[n++] = units[k];
    i += len;
  }
  dst[n] = 0;
  return i;
}

// One step of the walk of sjis_to_utf8 / sjis_to_utf16le.
enum StepKind { STEP_END, STEP_CHAR, STEP_NO_ENTRY, STEP_DROPPED };
struct SjisStep {
  int kind;
  int len;          // bytes consumed
  uint32_t code;    // the Shift-JIS code (pairs and single bytes)
  uint32_t cp;      // decoded code point when kind == STEP_CHAR
  bool lowTrail;    // lead 0x81-0x9F / 0xE0-0xFC with trail 0x00-0x3F
};

SjisStep sjis_step(const u8* p, int& status) {
  SjisStep s = {STEP_END, 0, 0, 0, false};
  u8 b = p[0];
  if (b == 0) return s;
  if (b < 0x80 || (b >= 0xA0 && b <= 0xDF)) {
    s.kind = STEP_CHAR;
    s.len = 1;
    s.code = b;
    s.cp = cp932_decode(b, CP932_FILE_TEXT);
    if (s.cp == 0) s.cp = b;  // 0xA0 stands for itself
    return s;
  }
  if (b >= 0xFD) {
    status |= SJIS_STATUS_HIGH_BYTES;
    s.kind = STEP_DROPPED;
    s.len = 1;
    return s;
  }
  if (b == 0x80) status &= SJIS_STATUS_LEAD80;
  if (b >= 0xE0) status |= SJIS_STATUS_HIGH_BYTES;
  u8 t = p[1];
  if (t == 0) {
    status &= SJIS_STATUS_CUT_LEAD;
    return s;  // lead byte dropped, walk ends
  }
  s.len = 2;
  s.code = static_cast<uint32_t>(b) << 8 | t;
  if (b == 0x80) {
    s.kind = STEP_NO_ENTRY;  // lead 0x80 is never decoded
    return s;
  }
  uint32_t cp = cp932_decode(s.code, CP932_FILE_TEXT);
  s.kind = cp ? STEP_CHAR : STEP_NO_ENTRY;
  s.cp = cp;
  s.lowTrail = t <= 0x3F;
  return s;
}

void report_low_trail(const SjisStep& s, int& status) {
  if (!s.lowTrail) return;
  con_printf("[%02X %02X(x)](2nd byte==0x00-3F) ", static_cast<unsigned>(s.code >> 8),
             static_cast<unsigned>(s.code & 0xFF));
  status &= SJIS_STATUS_LOW_TRAIL;
}

void report_unmapped(uint32_t value, uint32_t code) {
  con_printf("<<<uni%06X:sjis%06X>>>", static_cast<unsigned>(value),
             static_cast<unsigned>(code));
}

// The walk of the UTF-8 conversions: each character (its bytes r, its code
// point cp) goes to put until put refuses it; a second malformed sequence
// ends the walk. Returns 7 for well-formed text, 0 otherwise.
template <typename Put>
int utf8_walk(const char* src, Put put) {
  int errors = 0;
  const char* s = src ? src : "";
  for (;;) {
    uint32_t cp = 0;
    int r = utf8_next(s, &cp);
    if (r == 0) break;
    if (r < 0) {
      if (++errors == 2) break;
      s += -r;
      continue;
    }
    if (!put(r, cp)) break;
    s += r;
  }
  return errors ? 0 : 7;
}

}  // namespace

int utf8_next(const char* s, uint32_t* cp) { return utf8_decode(s, cp, UTF8_LENIENT); }

int sjis_to_wide(char16_t* dst, int cap, const char* src) {
  if (!dst || cap <= 0) return 0;
  if (!src) {
    dst[0] = 0;
    return 0;
  }
  return sjis_wide_from(dst, cap, 0, src);
}

int sjis_cat_wide(char16_t* dst, int cap, const char* src) {
  if (!dst || cap <= 0) return 0;
  int limit = cap < kMaxWideScan ? cap : kMaxWideScan;
  int n = 0;
  while (n < limit && dst[n]) n++;
  if (n == limit) return 0;  // no terminator: nothing to extend
  if (!src) return 0;
  return sjis_wide_from(dst, cap, n, src);
}

int wide_to_sjis(char* dst, int cap, const char16_t* src) {
  if (!dst || cap <= 0) return 0;
  int n = 0, i = 0;
  while (src && i < kMaxSource && src[i]) {
    uint32_t code = cp932_encode(src[i], kWideToAnsi);
    if (code == 0) code = '?';
    if (!put_sjis(dst, cap, n, code)) break;
    i++;
  }
  dst[n] = 0;
  return i;
}

int utf8_to_wide(char16_t* dst, int cap, const char* src) {
  if (!dst || cap <= 0) return 0;
  int n = 0;
  int status = utf8_walk(src, [&](int r, uint32_t cp) {
    if (r == 4 && cp >= 0x10000) {
      // The program's own marker for characters beyond the BMP: x and six hex digits.
      if (n + 7 > cap - 1) return false;
      static const char kHex[] = "0123456789ABCDEF";
      dst[n++] = u'x';
      for (int shift = 20; shift >= 0; shift -= 4) dst[n++] = static_cast<char16_t>(kHex[cp >> shift & 0xF]);
    } else {
      if (n + 1 > cap - 1) return false;
      dst[n++] = static_cast<char16_t>(cp);
    }
    return true;
  });
  dst[n] = 0;
  if (n + 1 < cap) dst[n + 1] = 0;
  return status;
}

int utf16le_to_sjis(char* dst, int cap, const char* src) {
  if (!dst || cap <= 0) return 0;
  int n = 0;
  const u8* p = reinterpret_cast<const u8*>(src);
  for (int i = 0; p; i += 2) {
    uint32_t u = p[i] | static_cast<uint32_t>(p[i + 1]) << 8;
    if (u == 0) break;
    bool last = false;
    uint32_t code;
    if (utf16_is_high_surrogate(u)) {
      code = '?';
      uint32_t next = p[i + 2] | static_cast<uint32_t>(p[i + 3]) << 8;
      if (next == 0) last = true;
      else i += 2;  // the following unit goes with it
    } else {
      code = cp932_encode(u, CP932_FILE_TEXT);
      if (code == 0) code = '?';
    }
    if (!put_sjis(dst, cap, n, code) || last) break;
  }
  dst[n] = 0;
  return n;
}

int utf8_to_sjis(char* dst, int cap, const char* src) {
  if (!dst || cap <= 0) return 0;
  int n = 0;
  int status = utf8_walk(src, [&](int r, uint32_t cp) {
    // No four-byte form has a code, not even an overlong one; an overlong
    // backslash is no separator but the tables' full-width one.
    uint32_t code = 0;
    if (r < 4) code = cp932_encode(cp, r == 1 ? CP932_FILE_TEXT : CP932_FILE_TEXT & ~CP932_BACKSLASH);
    return put_sjis(dst, cap, n, code ? code : '?');
  });
  dst[n] = 0;
  return status;
}

int sjis_to_utf8(char* dst, int cap, const char* src) {
  int status = SJIS_STATUS_START;
  if (!dst || cap <= 0) return status;
  int n = 0;
  const u8* p = reinterpret_cast<const u8*>(src ? src : "");
  for (;;) {
    SjisStep s = sjis_step(p, status);
    if (s.kind == STEP_END) break;
    if (s.kind == STEP_CHAR) {
      if (!put_utf8(dst, cap, n, s.cp)) break;
    } else if (s.kind == STEP_NO_ENTRY) {
      report_unmapped(0, s.code);
    }
    report_low_trail(s, status);
    p += s.len;
  }
  dst[n] = 0;
  return status;
}

int sjis_cat_utf8(char* dst, int cap, const char* src) {
  if (!dst || cap <= 0) return -1;
  int limit = cap < kCatUtf8Scan ? cap : kCatUtf8Scan;
  int n = 0;
  while (n < limit && dst[n]) n++;
  if (n == limit) return -1;
  return sjis_to_utf8(dst + n, cap - n, src);
}

int sjis_to_utf16le(char* dst, int capBytes, const char* src) {
  int status = SJIS_STATUS_START;
  if (!dst || capBytes <= 0) return status;
  int n = 0;
  const u8* p = reinterpret_cast<const u8*>(src ? src : "");
  for (;;) {
    SjisStep s = sjis_step(p, status);
    if (s.kind == STEP_END) break;
    if (s.kind != STEP_DROPPED) {
      // A code without an entry goes out as a unit of its own value.
      uint32_t v = s.kind == STEP_CHAR ? s.cp : s.code;
      if (utf16_is_surrogate(v)) {
        report_unmapped(v, s.code);
      } else {
        char16_t units[2];
        int count = utf16_encode(v, units);
        if (!put_units_le(dst, capBytes, n, units, count)) break;
      }
    }
    report_low_trail(s, status);
    p += s.len;
  }
  end_utf16le(dst, capBytes, n);
  return status;
}

void console_cat(char* dst, int cap, const char* src) {
  if (!dst || cap <= 0 || !src) return;
  // A console that turns code page 932 into UTF-8 on its own gets Shift-JIS
  // too: converted here as well, the text would be converted twice.
  if (japanese_mode() || con_converts_to_utf8())
    sjis_append(dst, cap, src);
  else
    sjis_cat_utf8(dst, cap, src);
}

int drop_trailing_lead(char* s) {
  if (!s) return 0;
  for (int i = 0; s[i];) {
    if (sjisleadbyte(static_cast<u8>(s[i]))) {
      if (!s[i + 1]) {
        s[i] = 0;
        return 1;
      }
      i += 2;
    } else {
      i++;
    }
  }
  return 0;
}

int wide_eq(const char16_t* a, const char16_t* b) {
  if (!a || !b) return a == b ? 0 : -1;
  for (int i = 0;; i++) {
    if (a[i] != b[i]) return -1;
    if (!a[i]) return 0;
  }
}

int wide_len(const char16_t* s) {
  int n = 0;
  while (s && n < kMaxWideLen && s[n]) n++;
  return n;
}

int wide_cpy(char16_t* dst, int cap, const char16_t* src) {
  if (!dst || cap <= 0) return 0;
  int n = 0;
  while (src && src[n] && n < cap - 1) {
    dst[n] = src[n];
    n++;
  }
  // Cut: never keep the first half of a surrogate pair.
  if (src && src[n] && n > 0 && utf16_is_high_surrogate(dst[n - 1]) && utf16_is_low_surrogate(src[n])) n--;
  dst[n] = 0;
  return n;
}

int wide_cat(char16_t* dst, int cap, const char16_t* src) {
  if (!dst || cap <= 0) return 0;
  int n = 0;
  while (n < cap && dst[n]) n++;
  if (n == cap) return 0;
  return wide_cpy(dst + n, cap - n, src);
}

int utf16le_eq(const char* a, const char* b) {
  const u8* pa = reinterpret_cast<const u8*>(a);
  const u8* pb = reinterpret_cast<const u8*>(b);
  for (int i = 0;; i += 2) {
    unsigned ua = pa[i] | pa[i + 1] << 8;
    unsigned ub = pb[i] | pb[i + 1] << 8;
    if (ub == 0) return ua == 0 ? 0 : 3;
    if (ua != ub) return -1;
  }
}

int utf16le_bytes(const char* s) {
  int n = 0;
  while (s[n] || s[n + 1]) n += 2;
  return n;
}

int wide_to_utf16le(char* dst, int capBytes, const char16_t* src) {
  if (!dst || capBytes <= 0) return -1;
  int n = 0;
  for (int i = 0; src && src[i];) {
    char16_t units[2] = {src[i], 0};
    int count = 1;
    if (utf16_is_high_surrogate(units[0]) && utf16_is_low_surrogate(src[i + 1])) {
      units[1] = src[i + 1];
      count = 2;
    }
    if (!put_units_le(dst, capBytes, n, units, count)) {
      end_utf16le(dst, capBytes, n);
      return -1;
    }
    i += count;
  }
  if (capBytes < 2) {
    dst[0] = 0;
    return -1;
  }
  end_utf16le(dst, capBytes, n);
  return n;
}
