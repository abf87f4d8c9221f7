#include "encoding/codec.h"

#include <gtest/gtest.h>

#include <string>

#include "encoding/codepage_tables.h"
#include "encoding/sjis_tables.h"

namespace {

struct Step {
  int r;
  uint32_t cp;
};

Step decode(const char* s, Utf8Rules rules) {
  uint32_t cp = 0xDEAD;
  int r = utf8_decode(s, &cp, rules);
  return {r, cp};
}

TEST(Codec, DecodeUnderBothRules) {
  struct Case {
    const char* what;
    const char* in;
    int lenient, strict;  // result of each rule
    uint32_t cp;          // code point when a rule accepts
  } cases[] = {
      {"end", "", 0, 0, 0xDEAD},
      {"ascii", "A", 1, 1, 'A'},
      {"two bytes", "\xC3\xA9", 2, 2, 0xE9},
      {"three bytes", "\xE3\x81\x82", 3, 3, 0x3042},
      {"four bytes", "\xF0\xA0\x80\x8B", 4, 4, 0x2000B},
      {"overlong slash, two bytes", "\xC0\xAF", 2, -1, '/'},
      {"overlong slash, three bytes", "\xE0\x80\xAF", 3, -3, '/'},
      {"surrogate", "\xED\xA0\x80", 3, -3, 0xD800},
      {"past U+10FFFF", "\xF4\x90\x80\x80", 4, -4, 0x110000},
      {"lead F5", "\xF5\x80\x80\x80", 4, -1, 0x140000},
      {"lone continuation", "\x80", -1, -1, 0xDEAD},
      {"lead F8", "\xF8\x80", -1, -1, 0xDEAD},
      // the breaking byte goes with the sequence (lenient) or starts the next (strict)
      {"broken by a letter", "\xE3\x81" "a", -3, -2, 0xDEAD},
      {"broken by the end", "\xE3\x81", -2, -2, 0xDEAD},
      {"lead at the end", "\xE3", -1, -1, 0xDEAD},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Step l = decode(c.in, UTF8_LENIENT);
    Step s = decode(c.in, UTF8_STRICT);
    EXPECT_EQ(c.lenient, l.r);
    EXPECT_EQ(c.strict, s.r);
    if (c.lenient > 0) {
      EXPECT_EQ(c.cp, l.cp);
    }
    if (c.strict > 0) {
      EXPECT_EQ(c.cp, s.cp);
    }
  }
}

TEST(Codec, EncodeRoundTripsEveryLength) {
  const uint32_t cps[] = {0, 0x7F, 0x80, 0x7FF, 0x800, 0xFFFF, 0x10000, 0x2A6B2, 0x10FFFF};
  for (uint32_t cp : cps) {
    char buf[5] = {};
    int n = utf8_encode(cp, buf);
    EXPECT_EQ(utf8_length(cp), n) << std::hex << cp;
    if (cp == 0) continue;
    uint32_t back = 0;
    EXPECT_EQ(n, utf8_decode(buf, &back, UTF8_STRICT)) << std::hex << cp;
    EXPECT_EQ(cp, back);
  }
}

TEST(Codec, Cp932LeadBytes) {
  for (int b = 0; b < 256; b++) {
    bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(lead, cp932_is_lead((unsigned char)b)) << b;
  }
}

TEST(Codec, Utf16) {
  const struct {
    const char* what;
    std::u16string in;
    int units;
    uint32_t cp;
  } cases[] = {
      {"end", u"", 0, 0xDEAD},
      {"plain", u"\u3042", 1, 0x3042},
      {"pair", u"\U00020B9F", 2, 0x20B9F},
      {"high alone", u"\xD842" "a", 1, 0xFFFD},
      {"low alone", u"\xDF9F", 1, 0xFFFD},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    uint32_t cp = 0xDEAD;
    EXPECT_EQ(c.units, utf16_decode(c.in.c_str(), &cp));
    EXPECT_EQ(c.cp, cp);
    if (c.units > 0 && c.cp != 0xFFFD) {
      char16_t out[2];
      EXPECT_EQ(c.units, utf16_encode(c.cp, out));
      EXPECT_EQ(c.in, std::u16string(out, c.units));
    }
  }
}

TEST(Codec, WideToUtf8) {
  char out[16];
  EXPECT_EQ(8, wide_to_utf8(out, 16, u"a\u3042\U00020B9F"));
  EXPECT_EQ("a\xE3\x81\x82\xF0\xA0\xAE\x9F", std::string(out));
  EXPECT_EQ(3, wide_to_utf8(out, 16, u"\xD800"));
  EXPECT_EQ("\xEF\xBF\xBD", std::string(out));
  EXPECT_EQ(-1, wide_to_utf8(out, 8, u"a\u3042\U00020B9F"));
  EXPECT_EQ("a\xE3\x81\x82", std::string(out));
}

// Where the named variants part ways.
TEST(Codec, Cp932VariantsDiffer) {
  const unsigned kWide = CP932_ASCII | CP932_BEST_FIT | CP932_OVERRIDES_AFTER;
  const unsigned kMangle = CP932_ASCII | CP932_OVERRIDES_AFTER | CP932_EXACT;
  const struct {
    uint32_t cp;
    uint32_t windows, fileText, wide, mangle, tables;
  } encode[] = {
      {'\\', '\\', '\\', '\\', '\\', 0x815F},
      {'~', '~', 0x81B0, '~', '~', 0x81B0},
      {0xA5, 0, 0x5C, 0x5C, 0, 0x5C},                  // yen sign
      {0x2225, 0x8161, 0x8161, 0x81D2, 0x8161, 0x81D2},  // parallel to
      {0x2252, 0x8790, 0x8790, 0x81E0, 0x81E0, 0x81E0},  // approximately equal
      {0xFF5E, 0x8160, 0x8160, 0x8160, 0x8160, 0},       // full-width tilde
      {0x20B9F, 0, 0, 0, 0, 0},                          // past the tables' 16 bits
  };
  for (const auto& c : encode) {
    SCOPED_TRACE(c.cp);
    EXPECT_EQ(c.windows, cp932_encode(c.cp, CP932_WINDOWS));
    EXPECT_EQ(c.fileText, cp932_encode(c.cp, CP932_FILE_TEXT));
    EXPECT_EQ(c.wide, cp932_encode(c.cp, kWide));
    EXPECT_EQ(c.mangle, cp932_encode(c.cp, kMangle));
    EXPECT_EQ(c.tables, cp932_encode(c.cp, CP932_TABLES));
  }
  const struct {
    uint32_t code;
    uint32_t windows, fileText, tables;
  } decode[] = {
      {0x5C, '\\', '\\', 0xA5},
      {0x7E, '~', 0x203E, 0x203E},
      {0x8160, 0xFF5E, 0xFF5E, 0x301C},
      {0xB1, 0xFF71, 0xFF71, 0xFF71},
      {0x80, 0, 0, 0},
  };
  for (const auto& c : decode) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(c.windows, cp932_decode(c.code, CP932_WINDOWS));
    EXPECT_EQ(c.fileText, cp932_decode(c.code, CP932_FILE_TEXT));
    EXPECT_EQ(c.tables, cp932_decode(c.code, CP932_TABLES));
  }
}

// The conversions each caller had of its own before the variants became
// options, kept word for word as the reference the options must match.
namespace former {

uint32_t wide_to_sjis(uint32_t u) {
  if (u < 0x80) return u;
  uint32_t code = uni_to_sjis(u);
  if (code == 0) code = sjis_override_encode(u);
  return code;
}

uint32_t utf16le_to_sjis(uint32_t u) {
  if (u == 0x5C) return 0x5C;
  uint32_t code = sjis_override_encode(u);
  if (code == 0) code = uni_to_sjis(u);
  return code;
}

// r: the bytes of the character's UTF-8 form.
uint32_t utf8_to_sjis(int r, uint32_t cp) {
  uint32_t code = 0;
  if (r == 1 && cp == 0x5C) {
    code = 0x5C;
  } else if (r < 4) {
    if (r == 3) code = sjis_override_encode(cp);
    if (code == 0) code = uni_to_sjis(cp);
  }
  return code;
}

uint32_t posix_seam(uint32_t cp) {
  if (cp < 0x80) return cp;
  unsigned code = sjis_override_encode(cp);
  if (code == 0 && cp <= 0xFFFF) code = uni_to_sjis(cp);
  if (code < 0x80) return 0;
  return code;
}

uint32_t name_mangling(uint32_t cp) {
  if (cp < 0x80) return cp;
  unsigned code = uni_to_sjis(cp);
  if (code && cp932_to_uni(code) == cp) return code;
  code = sjis_override_encode(cp);
  return code && cp932_to_uni(code) == cp ? code : 0;
}

uint32_t console(uint32_t code) {
  if (code < 0x80) return code;
  if (code < 0x100) return (code >= 0xA1 && code <= 0xDF) ? 0xFF61 + (code - 0xA1) : 0;
  unsigned cp = sjis_override_decode(code);
  if (cp == 0) cp = sjis_to_uni(code);
  return cp;
}

uint32_t sjis_to_wide(uint32_t code) {
  if (code < 0x100) return (code >= 0xA1 && code <= 0xDF) ? sjis_to_uni(code) : code;
  uint32_t cp = sjis_override_decode(code);
  return cp ? cp : sjis_to_uni(code);
}

uint32_t sjis_to_utf8(uint32_t code) {
  if (code < 0x100) {
    uint32_t cp = code == 0x5C ? 0x5C : sjis_to_uni(code);
    return cp ? cp : code;
  }
  uint32_t cp = 0;
  if (code >> 8 <= 0x9F) cp = sjis_override_decode(code);
  if (cp == 0) cp = sjis_to_uni(code);
  return cp;
}

}  // namespace former

TEST(Codec, Cp932VariantsMatchTheConversionsTheyReplaced) {
  const struct {
    const char* caller;
    bool decode;
    unsigned options;
    uint32_t (*was)(uint32_t);
    uint32_t end;       // every value below it is compared
    bool byteItself;    // the caller reads a single byte without a character as itself
  } variants[] = {
      {"wide_to_sjis", false, CP932_ASCII | CP932_BEST_FIT | CP932_OVERRIDES_AFTER, former::wide_to_sjis, 0x10000, false},
      {"utf16le_to_sjis", false, CP932_FILE_TEXT, former::utf16le_to_sjis, 0x10000, false},
      {"utf8_to_sjis", false, CP932_FILE_TEXT,
       [](uint32_t cp) { return former::utf8_to_sjis(utf8_length(cp), cp); }, 0x110000, false},
      {"utf8_to_sjis, overlong", false, CP932_FILE_TEXT & ~CP932_BACKSLASH,
       [](uint32_t cp) { return former::utf8_to_sjis(3, cp); }, 0x800, false},
      {"POSIX seam", false, CP932_WINDOWS, former::posix_seam, 0x110000, false},
      {"name mangling", false, CP932_ASCII | CP932_OVERRIDES_AFTER | CP932_EXACT, former::name_mangling, 0x10000, false},
      {"console", true, CP932_WINDOWS, former::console, 0x10000, false},
      {"sjis_to_wide", true, CP932_WINDOWS, former::sjis_to_wide, 0x10000, true},
      {"sjis_to_utf8", true, CP932_FILE_TEXT, former::sjis_to_utf8, 0x10000, true},
  };
  for (const auto& v : variants) {
    int differ = 0;
    for (uint32_t x = 0; x < v.end; x++) {
      uint32_t now = v.decode ? cp932_decode(x, v.options) : cp932_encode(x, v.options);
      if (now == 0 && v.byteItself && x < 0x100) now = x;
      uint32_t was = v.was(x);
      if (now != was && ++differ <= 5) ADD_FAILURE() << v.caller << std::hex << ": " << x << " was " << was << ", now " << now;
    }
    EXPECT_EQ(0, differ) << v.caller;
  }
}

}  // namespace
