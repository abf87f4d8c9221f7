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
