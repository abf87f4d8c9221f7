#include "platform/arg_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::u16string> split(const std::u16string& line) {
  splitcmdlineW(&wideArgs, line.c_str());
  std::vector<std::u16string> out;
  for (int i = 0; i < wideArgs.count; i++) out.push_back(wideArgs.entries[i]);
  // The entry after the last one marks the first free unit.
  EXPECT_EQ(wideArgs.storage + wideArgs.used, wideArgs.entries[wideArgs.count]);
  return out;
}

TEST(ArgList, SplitsTheCommandLine) {
  struct Case {
    std::u16string line;
    std::vector<std::u16string> args;
  } cases[] = {
      {u"q.exe \"C:\\my models\\a.pmx\" b.pmx", {u"q.exe", u"C:\\my models\\a.pmx", u"b.pmx"}},
      {u"  \t\"C:\\Program Files\\q.exe\"   -D2", {u"C:\\Program Files\\q.exe", u"-D2"}},
      {u"q.exe ", {u"q.exe"}},
      {u"q.exe \"\"", {u"q.exe"}},
      {u"q.exe a.pmx ", {u"q.exe", u"a.pmx", u""}},
      {u"q.exe a\tb", {u"q.exe", u"a\tb"}},
      {u"q.exe C:\\dir\\\"x y\"z", {u"q.exe", u"C:\\dir\\x yz"}},
      {u"q.exe \"unterminated arg", {u"q.exe", u"unterminated arg"}},
      {u"", {u""}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.args, split(c.line));
}

TEST(ArgList, StopsAt511Entries) {
  std::u16string line = u"q.exe";
  for (int i = 1; i < 600; i++) line += u" a" + std::u16string(1, (char16_t)('0' + i % 10));
  std::vector<std::u16string> args = split(line);
  ASSERT_EQ(511u, args.size());
  EXPECT_EQ(u"a0", args[510]);
}

TEST(ArgList, LongCommandLineStaysInsideTheStorage) {
  std::u16string line = u"q.exe " + std::u16string(70000, u'x') + u" y";
  std::vector<std::u16string> args = split(line);
  ASSERT_EQ(2u, args.size());
  EXPECT_EQ(65533u - 6u, args[1].size());
  EXPECT_LE(wideArgs.used, (int32_t)ARG_STORAGE);
}

TEST(ArgList, AddStripsQuotesAndSkipsEmptyValues) {
  arglist_resetW(&wideArgs);
  EXPECT_EQ(0, addargW(&wideArgs, u"q.exe"));
  EXPECT_EQ(0, addargW(&wideArgs, u"\"C:\\a b\\m.pmx\" rest"));
  addargW(&wideArgs, u"\"\"");
  addargW(&wideArgs, u"");
  ASSERT_EQ(2, wideArgs.count);
  EXPECT_EQ(u"C:\\a b\\m.pmx", std::u16string(wideArgs.entries[1]));
  EXPECT_EQ(wideArgs.storage + wideArgs.used, wideArgs.entries[2]);

  arglist_reset(&ansiArgs);
  // 0x8E22 is a double-byte character whose trail is a quote: it does not end the value.
  addarg(&ansiArgs, "\"a\x8E\x22" "b\"c");
  addarg(&ansiArgs, "plain");
  ASSERT_EQ(2, ansiArgs.count);
  EXPECT_STREQ("a\x8E\x22" "b", ansiArgs.entries[0]);
  EXPECT_STREQ("plain", ansiArgs.entries[1]);
}

TEST(ArgList, AddRefusesWhatDoesNotFit) {
  arglist_reset(&ansiArgs);
  for (int i = 0; i < 600; i++) addarg(&ansiArgs, "x");
  EXPECT_EQ(ARG_MAX_ENTRIES, ansiArgs.count);
  EXPECT_EQ(-1, addarg(&ansiArgs, "y"));

  arglist_reset(&ansiArgs);
  std::string big(40000, 'a');
  addarg(&ansiArgs, big.c_str());
  addarg(&ansiArgs, big.c_str());
  ASSERT_EQ(2, ansiArgs.count);
  EXPECT_EQ(ARG_STORAGE - 40001u, strlen(ansiArgs.entries[1]) + 1);
  EXPECT_EQ(ARG_STORAGE, ansiArgs.used);
  EXPECT_EQ(-1, addarg(&ansiArgs, "z"));
}

}  // namespace
