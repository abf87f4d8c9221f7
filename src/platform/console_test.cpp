#include "platform/console.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string toUtf8(const std::string& cp932, ConUtf8State* st = nullptr) {
  ConUtf8State local = {0};
  if (!st) st = &local;
  char out[256];
  size_t used = 0;
  size_t n = con_cp932_to_utf8(st, cp932.data(), cp932.size(), out, sizeof out, &used);
  EXPECT_EQ(cp932.size(), used);
  return std::string(out, n);
}

TEST(Console, CodePage932ToUtf8) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\m\\a.pmx ~\n", "C:\\m\\a.pmx ~\n"},          // ASCII as itself, no yen or overline
      {"\x93\xFA\x96\x7B\x8C\xEA", "日本語"},             // plain kanji
      {"\x95\x5C", "表"},                                 // trail byte 0x5C
      {"\x81\x60", "\xEF\xBD\x9E"},                       // override: U+FF5E, not U+301C
      {"\x81\x5C", "\xE2\x80\x95"},                       // override: U+2015
      {"\xB1\xDF", "\xEF\xBD\xB1\xEF\xBE\x9F"},           // half-width katakana
      {"\x80\xA0\xFD", "???"},                            // single bytes without a character
      {"\x81\x0A", "?\n"},                                // a lead without a trail keeps the next byte
      {"\x84\xDD", "?"},                                  // a pair without a character
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, toUtf8(c.first)) << c.first;
}

TEST(Console, DoubleByteCharacterSplitAcrossWrites) {
  ConUtf8State st = {0};
  EXPECT_EQ("a", toUtf8("a\x93", &st));
  EXPECT_EQ(0x93, st.pendingLead);
  EXPECT_EQ("日b", toUtf8("\xFA" "b", &st));
  EXPECT_EQ(0, st.pendingLead);
}

TEST(Console, StopsWhenTheOutputIsFull) {
  ConUtf8State st = {0};
  char out[5];
  size_t used = 0;
  // Two three-byte characters do not fit into five bytes: the second waits.
  size_t n = con_cp932_to_utf8(&st, "\x93\xFA\x96\x7B", 4, out, sizeof out, &used);
  EXPECT_EQ(3u, n);
  EXPECT_EQ(2u, used);
}

TEST(Console, CodePage932ToUtf16) {
  const std::pair<std::string, std::u16string> cases[] = {
      {"C:\\m\\a.pmx ~\n", u"C:\\m\\a.pmx ~\n"},   // ASCII as itself
      {"\x93\xFA\x96\x7B\x8C\xEA", u"日本語"},
      {"\x95\x5C", u"表"},
      {"\x81\x60", u"\uFF5E"},                          // override
      {"\xB1\xDF", u"\uFF71\uFF9F"},                   // half-width katakana
      {"\x80\xA0\xFD", u"???"},
      {"\x81\x0A", u"?\n"},
      {std::string("a\0b", 3), u"a?b"},
  };
  for (const auto& c : cases) {
    ConUtf8State st = {0};
    char16_t out[64];
    size_t n = con_cp932_to_utf16(&st, c.first.data(), c.first.size(), out);
    EXPECT_EQ(c.second, std::u16string(out, n)) << c.first;
  }
}

// 750 times 日 in Shift-JIS.
const std::string kLongSjis = [] {
  std::string s;
  for (int i = 0; i < 750; ++i) s += "\x93\xFA";
  return s;
}();

// Where standard output is a console that takes UTF-16, every kind of text
// reaches it as its characters; the bytes a file or pipe gets stay the same.
TEST(Console, ScreenTakesTheCharactersBytesStayTheSame) {
  struct Case {
    const char* what;
    void (*print)();
    std::string bytes;
    std::u16string screen;
  };
  const Case cases[] = {
      {"Shift-JIS text", [] { con_printf("%d: \x93\xFA\n", 3); }, "3: \x93\xFA\n", u"3: 日\n"},
      {"UTF-8 text", [] { con_write_utf8("(UTF-8\xE6\x97\xA5) ", 11); }, "(UTF-8\xE6\x97\xA5) ", u"(UTF-8日) "},
      {"a name in both forms", [] { con_name("a?.png", u"a\uD55C.png"); }, "a?.png", u"a\uD55C.png"},
      {"a name with an empty UTF-16 form", [] { con_name("\x93\xFA.pmx", u""); }, "\x93\xFA.pmx", u"日.pmx"},
      {"a name without a UTF-16 form", [] { con_name("\x93\xFA.pmx", nullptr); }, "\x93\xFA.pmx", u"日.pmx"},
      {"a name inside a format",
       [] { con_printf_name(" Model: %s (100%%) \n", "?.pmx", u"\uD55C.pmx"); },
       " Model: ?.pmx (100%) \n", u" Model: \uD55C.pmx (100%) \n"},
      {"a lead byte whose trail never comes",
       [] {
         con_printf("\x93");
         con_name("x", u"y");
       },
       "\x93x", u"?y"},
      {"a long name without a UTF-16 form, read in pieces that keep its characters whole",
       [] { con_name(("x" + kLongSjis).c_str(), nullptr); },
       "x" + std::string(kLongSjis), u"x" + std::u16string(750, u'日')},
      {"a character split between two writes",
       [] {
         con_printf("\x93");
         con_printf("\xFA");
       },
       "\x93\xFA", u"日"},
  };
  for (const Case& c : cases) {
    con_capture_begin();
    c.print();
    EXPECT_EQ(c.bytes, con_capture_end()) << c.what;
    con_capture_screen_begin();
    c.print();
    EXPECT_EQ(c.screen, con_capture_screen_end()) << c.what;
  }
  // The test's own output is no console.
  EXPECT_EQ(0, con_to_screen());
}

TEST(Console, CaptureKeepsTheRawBytes) {
  con_capture_begin();
  EXPECT_EQ(9, con_printf("%s %d\n", "\x95\x5C", 12345));
  con_puts("x");
  con_write("\x93", 1);
  EXPECT_EQ("\x95\x5C 12345\nx\n\x93", con_capture_end());
  con_capture_begin();
  std::string big(70000, 'a');
  EXPECT_EQ(65535, con_printf("%s", big.c_str()));
  EXPECT_EQ(65535u, con_capture_end().size());
}

}  // namespace
