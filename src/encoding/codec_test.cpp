#include "encoding/codec.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
