#include "platform/path_form.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string form(const std::u16string& path, int cap = 1200) {
  std::u16string out(cap, u'#');
  int n = long_path_form(&out[0], cap, path.c_str());
  if (n < 0) return u"<none>";
  EXPECT_EQ(u'\0', out[n]);
  return out.substr(0, n);
}

// A name that brings a path to the length where the \\?\ form starts.
const std::u16string kLong(LONG_PATH_FROM, u'x');

TEST(LongPathForm, LongAbsolutePathsTakeTheLiteralForm) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      // drive and UNC roots
      {u"C:\\m\\" + kLong + u".pmx", u"\\\\?\\C:\\m\\" + kLong + u".pmx"},
      {u"\\\\srv\\share\\" + kLong, u"\\\\?\\UNC\\srv\\share\\" + kLong},
      {u"//srv/share/" + kLong, u"\\\\?\\UNC\\srv\\share\\" + kLong},
      // put as the system reads it, since the literal form is not read so
      {u"C:/m//a/./b/../" + kLong, u"\\\\?\\C:\\m\\a\\" + kLong},
      {u"C:\\..\\..\\" + kLong, u"\\\\?\\C:\\" + kLong},
      {u"\\\\srv\\share\\..\\" + kLong, u"\\\\?\\UNC\\srv\\share\\" + kLong},
      {u"C:\\dir.\\" + kLong + u". . ", u"\\\\?\\C:\\dir\\" + kLong},
      {u"C:\\" + kLong + u"\\", u"\\\\?\\C:\\" + kLong + u"\\"},
      {u"C:\\" + kLong + u"\\..\\.", u"\\\\?\\C:\\"},
      // a search pattern keeps its wildcard
      {u"C:\\" + kLong + u"\\*", u"\\\\?\\C:\\" + kLong + u"\\*"},
      // Japanese names pass as they are
      {u"C:\\\u30E2\u30C7\u30EB\\" + kLong, u"\\\\?\\C:\\\u30E2\u30C7\u30EB\\" + kLong},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, form(c.first)) << std::string(c.first.begin(), c.first.begin() + 20);
}

TEST(LongPathForm, OtherPathsStayAsTheyAre) {
  const std::u16string shortest = u"C:\\" + std::u16string(LONG_PATH_FROM - 4, u'x');  // 247 units
  const std::u16string cases[] = {
      shortest,
      u"C:\\m\\..\\a.pmx",                  // short: the system resolves it itself
      kLong + u"\\a.pmx",                   // relative
      u"\\" + kLong,                        // rooted without a drive
      u"C:" + kLong,                        // relative to the drive's folder
      u"\\\\?\\C:\\" + kLong,               // already literal
      u"\\\\.\\C:\\" + kLong,
      u"\\\\" + kLong,                         // a server without a share
      u"",
  };
  for (const auto& c : cases) EXPECT_EQ(c, form(c));
  EXPECT_EQ(u"\\\\?\\C:\\" + std::u16string(LONG_PATH_FROM - 3, u'x'),
            form(u"C:\\" + std::u16string(LONG_PATH_FROM - 3, u'x')));
}

TEST(LongPathForm, ABufferTooSmallGetsNothing) {
  const std::u16string path = u"C:\\" + kLong;
  EXPECT_EQ(u"<none>", form(path, (int)path.size() + 4));  // the prefix does not fit
  EXPECT_EQ(u"\\\\?\\" + path, form(path, (int)path.size() + 5));
  EXPECT_EQ(u"<none>", form(u"short", 5));
  EXPECT_EQ(u"short", form(u"short", 6));
  char16_t one = u'#';
  EXPECT_EQ(-1, long_path_form(&one, 0, u"x"));
  EXPECT_EQ(u'#', one);
}

}  // namespace
