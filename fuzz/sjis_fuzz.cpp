// Every conversion of text/sjis.h and the codec's wide_to_utf8 on arbitrary
// bytes and units, into small and large destinations: the output is
// terminated inside its capacity, nothing lands past it, a cut output is a
// prefix of the uncut one and ends on a whole character.
#include <string>
#include <vector>

#include "encoding/codec.h"
#include "fuzz_common.h"
#include "platform/settings.h"
#include "text/sjis.h"

namespace {

using fz::Guarded;

// Walks Shift-JIS with the program's lead-byte test; true when the text does
// not end in the first half of a double-byte character.
bool ends_whole(const char* s) {
  std::string copy(s);
  return drop_trailing_lead(&copy[0]) == 0;
}

// True when n bytes of s end between two characters, read as code page 932.
bool on_cp932_boundary(const std::string& s, size_t n) {
  size_t i = 0;
  while (i < n) {
    unsigned char b = (unsigned char)s[i];
    bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    i += (lead && i + 1 < s.size()) ? 2 : 1;
  }
  return i == n;
}

template <typename T>
std::basic_string<T> str_of(const T* p) {
  return std::basic_string<T>(p);
}

template <typename T>
bool starts_with(const std::basic_string<T>& whole, const std::basic_string<T>& part) {
  return whole.compare(0, part.size(), part) == 0;
}

// Runs conv(dst, cap) for a cut and a roomy capacity and checks both.
template <typename T, typename F>
void check_conv(const char* what, int smallCap, int bigCap, bool sjisOut, F conv) {
  Guarded<T> big(bigCap);
  conv(big.get(), bigCap);
  FZ_CHECK(big.guards_intact(), "%s wrote outside cap %d", what, bigCap);
  FZ_CHECK(big.terminator() >= 0, "%s left no terminator in cap %d", what, bigCap);
  std::basic_string<T> whole = str_of(big.get());
  if (sjisOut) FZ_CHECK(ends_whole((const char*)big.get()), "%s ends in a lone lead byte", what);

  Guarded<T> cut(smallCap);
  conv(cut.get(), smallCap);
  FZ_CHECK(cut.guards_intact(), "%s wrote outside cap %d", what, smallCap);
  if (smallCap == 0) return;
  FZ_CHECK(cut.terminator() >= 0, "%s left no terminator in cap %d", what, smallCap);
  std::basic_string<T> part = str_of(cut.get());
  FZ_CHECK(starts_with(whole, part), "%s: cut output is not a prefix", what);
  if (sjisOut) FZ_CHECK(ends_whole((const char*)cut.get()), "%s cut inside a character", what);
}

// A destination of wide units that must stay exactly as it was.
void check_untouched_cat(const std::u16string& fill, const char* sjis) {
  Guarded<char16_t> d(8);
  for (int i = 0; i < 8; i++) d.get()[i] = (size_t)i < fill.size() ? fill[(size_t)i] : u'x';
  std::u16string before(d.get(), 8);
  sjis_cat_wide(d.get(), 8, sjis);
  FZ_CHECK(d.guards_intact(), "sjis_cat_wide wrote outside an unterminated buffer");
  FZ_CHECK(std::u16string(d.get(), 8) == before, "sjis_cat_wide changed an unterminated buffer");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  fz::Quiet quiet;
  const int smallCap = data[0] & 0x1F;
  const bool japanese = data[0] & 0x20;
  Lang.japanese = Lang.sjisConsole = japanese;
  data++;
  size--;
  if (size > 4096) size = 4096;

  // The same bytes as a NUL-terminated byte string, a wide string (pairs, LE)
  // and a UTF-16LE text (terminated on a unit boundary).
  std::string bytes((const char*)data, size);
  std::string text = bytes.c_str();  // up to the first NUL
  std::u16string wide;
  for (size_t i = 0; i + 1 < size; i += 2) {
    char16_t u = (char16_t)(data[i] | data[i + 1] << 8);
    if (u == 0) break;
    wide.push_back(u);
  }
  std::string le;
  for (char16_t u : wide) {
    le.push_back((char)(u & 0xFF));
    le.push_back((char)(u >> 8));
  }
  le.append(3, '\0');

  const char* s = text.c_str();
  const char16_t* w = wide.c_str();
  const int n = (int)text.size(), wn = (int)wide.size();
  // Roomy enough that nothing is cut: a byte becomes at most 3 UTF-8 bytes or
  // 7 wide units (the marker of a character beyond the BMP), a unit 3 bytes.
  const int bigBytes = 4 * (n > 2 * wn ? n : 2 * wn) + 16;
  const int bigUnits = 8 * n + 16;

  check_conv<char16_t>("sjis_to_wide", smallCap, bigUnits, false,
                       [&](char16_t* d, int cap) { sjis_to_wide(d, cap, s); });
  check_conv<char>("wide_to_sjis", smallCap, bigBytes, true,
                   [&](char* d, int cap) { wide_to_sjis(d, cap, w); });
  check_conv<char16_t>("utf8_to_wide", smallCap, bigUnits, false,
                       [&](char16_t* d, int cap) { utf8_to_wide(d, cap, s); });
  check_conv<char>("utf16le_to_sjis", smallCap, bigBytes, true,
                   [&](char* d, int cap) { utf16le_to_sjis(d, cap, le.c_str()); });
  check_conv<char>("utf8_to_sjis", smallCap, bigBytes, true,
                   [&](char* d, int cap) { utf8_to_sjis(d, cap, s); });
  check_conv<char>("sjis_to_utf8", smallCap, bigBytes, false,
                   [&](char* d, int cap) { sjis_to_utf8(d, cap, s); });
  check_conv<char>("wide_to_utf8", smallCap, bigBytes, false,
                   [&](char* d, int cap) { wide_to_utf8(d, cap, w); });
  check_conv<char16_t>("wide_cpy", smallCap, wn + 1, false,
                       [&](char16_t* d, int cap) { wide_cpy(d, cap, w); });

  // UTF-16LE outputs: a terminated text on a unit boundary within the capacity.
  for (int cap : {smallCap, bigBytes}) {
    for (int which = 0; which < 2; which++) {
      Guarded<char> d(cap);
      if (which == 0) sjis_to_utf16le(d.get(), cap, s);
      else wide_to_utf16le(d.get(), cap, w);
      FZ_CHECK(d.guards_intact(), "%s wrote outside cap %d", which ? "wide_to_utf16le" : "sjis_to_utf16le", cap);
      if (cap >= 2) {
        int len = -1;
        for (int i = 0; i + 1 < cap; i += 2)
          if (d.get()[i] == 0 && d.get()[i + 1] == 0) {
            len = i;
            break;
          }
        FZ_CHECK(len >= 0, "UTF-16LE output without a zero unit in cap %d", cap);
        FZ_CHECK(utf16le_bytes(d.get()) == len, "utf16le_bytes disagrees");
        if (cap == bigBytes && which == 1)
          FZ_CHECK(len == 2 * wn, "wide_to_utf16le lost units with room to spare");
      }
    }
  }

  // Appending conversions onto a half-filled destination.
  for (int cap : {smallCap, 24, bigBytes}) {
    Guarded<char> d(cap);
    if (cap > 0) d.get()[0] = 0;
    if (cap > 3) memcpy(d.get(), "ab", 3);
    sjis_cat_utf8(d.get(), cap, s);
    FZ_CHECK(d.guards_intact(), "sjis_cat_utf8 wrote outside cap %d", cap);
    if (cap > 0) FZ_CHECK(d.terminator() >= 0, "sjis_cat_utf8 left no terminator");
    Guarded<char> c(cap);
    if (cap > 0) c.get()[0] = 0;
    if (cap > 3) memcpy(c.get(), "ab", 3);
    console_cat(c.get(), cap, s);
    FZ_CHECK(c.guards_intact(), "console_cat wrote outside cap %d", cap);
    if (cap > 0) FZ_CHECK(c.terminator() >= 0, "console_cat left no terminator");
    if (japanese && cap > 3) {
      // Appended byte for byte, cut only between characters of the source.
      std::string got = c.get();
      FZ_CHECK(got.compare(0, 2, "ab") == 0 && text.compare(0, got.size() - 2, got, 2) == 0,
               "console_cat did not append a prefix of the text");
      FZ_CHECK(on_cp932_boundary(text, got.size() - 2), "console_cat cut inside a character");
    }
  }
  for (int cap : {smallCap, 24, bigUnits + 4}) {
    Guarded<char16_t> d(cap);
    if (cap > 0) d.get()[0] = 0;
    if (cap > 3) memcpy(d.get(), u"ab", 3 * sizeof(char16_t));
    sjis_cat_wide(d.get(), cap, s);
    FZ_CHECK(d.guards_intact(), "sjis_cat_wide wrote outside cap %d", cap);
    if (cap > 0) FZ_CHECK(d.terminator() >= 0, "sjis_cat_wide left no terminator");
    Guarded<char16_t> c(cap);
    if (cap > 0) c.get()[0] = 0;
    if (cap > 3) memcpy(c.get(), u"ab", 3 * sizeof(char16_t));
    wide_cat(c.get(), cap, w);
    FZ_CHECK(c.guards_intact(), "wide_cat wrote outside cap %d", cap);
    if (cap > 0) FZ_CHECK(c.terminator() >= 0, "wide_cat left no terminator");
  }
  check_untouched_cat(wide, s);
  {
    // A buffer with no NUL in reach is not extended.
    Guarded<char> d(16);
    memset(d.get(), 'z', 16);
    FZ_CHECK(sjis_cat_utf8(d.get(), 16, s) == -1, "sjis_cat_utf8 extended an unterminated buffer");
    FZ_CHECK(d.guards_intact(), "sjis_cat_utf8 wrote outside an unterminated buffer");
  }

  // Helpers that only read, and the in-place cut.
  {
    std::string t = text;
    int removed = drop_trailing_lead(&t[0]);
    FZ_CHECK(strlen(t.c_str()) + (size_t)removed == text.size(), "drop_trailing_lead removed more than a byte");
    FZ_CHECK(ends_whole(t.c_str()), "drop_trailing_lead left a lone lead byte");
  }
  FZ_CHECK(wide_len(w) == (wn < 4999 ? wn : 4999), "wide_len");
  FZ_CHECK(wide_eq(w, w) == 0, "wide_eq of a string with itself");
  FZ_CHECK(utf16le_eq(le.c_str(), le.c_str()) == 0, "utf16le_eq of a text with itself");
  FZ_CHECK(utf16le_bytes(le.c_str()) == 2 * wn, "utf16le_bytes");
  for (const char* p = s;;) {
    uint32_t cp = 0;
    int r = utf8_next(p, &cp);
    FZ_CHECK(r >= -4 && r <= 4, "utf8_next step %d", r);
    if (r == 0) break;
    p += r < 0 ? -r : r;
    FZ_CHECK(p <= s + n, "utf8_next stepped over the terminator");
  }
  return 0;
}
