#include "platform/paths.h"

#include <gtest/gtest.h>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

std::string makeTempDir(const std::string& prefix) {
  std::random_device rd;
  for (;;) {
    std::filesystem::path p = std::filesystem::path("/tmp") / (prefix + std::to_string(rd()));
    if (std::filesystem::create_directory(p)) return p.string();
  }
}

std::u16string W(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }
std::string A(const std::u16string& w) { return std::string(w.begin(), w.end()); }

// 0x955C is a kanji whose second byte is a backslash.
const std::string kHyo = "\x95\x5C";

TEST(Paths, LeadByteTest) {
  for (int b : {0x80, 0x9F, 0xE0, 0xFC}) EXPECT_EQ(-1, sjisleadbyte((unsigned char)b)) << b;
  for (int b : {0x7F, 0xA0, 0xDF, 0xFD, 0x00}) EXPECT_EQ(0, sjisleadbyte((unsigned char)b)) << b;
}

TEST(Paths, HeadCompare) {
  EXPECT_EQ(0, headcmpi(".pmxx", ".PMX"));
  EXPECT_EQ(0, headcmpi(".Pmx", ".pMX"));
  EXPECT_EQ(-1, headcmpi(".pm", ".PMX"));
  EXPECT_EQ(-1, headcmpi("a.pmx", ".PMX"));
  EXPECT_EQ(0, headcmpiW(u".pmx", u".PMX"));
  EXPECT_EQ(-1, headcmpiW(u".pmd", u".PMX"));
}

struct Pieces {
  std::string path, dir, name, ext;
  int extResult;
  std::string stripped;
};

TEST(Paths, PiecesOfAPath) {
  const Pieces cases[] = {
      {"a/b/c.png", "", "c.png", ".png", -1, "a/b/c"},
      {"C:\\my.dir\\file", "C:\\my.dir\\", "file", ".dir\\file", -1, "C:\\my"},
      {"model", "", "model", "", 0, "model"},
      {"C:\\m\\tex\\", "C:\\m\\tex\\", "", "", 0, "C:\\m\\tex\\"},
      {"C:\\" + kHyo + "\\file.png", "C:\\" + kHyo + "\\", "file.png", ".png", -1, "C:\\" + kHyo + "\\file"},
      {"x\\" + kHyo, "x\\", kHyo, "", 0, "x\\" + kHyo},
  };
  for (const Pieces& c : cases) {
    char buf[PATH_CAP];
    dirpart(buf, PATH_CAP, c.path.c_str());
    EXPECT_EQ(c.dir, buf) << c.path;
    namepart(buf, PATH_CAP, c.path.c_str());
    EXPECT_EQ(c.name, buf) << c.path;
    EXPECT_EQ(c.extResult, extpart(buf, PATH_CAP, c.path.c_str()));
    EXPECT_EQ(c.ext, buf) << c.path;
    stripext(buf, PATH_CAP, c.path.c_str());
    EXPECT_EQ(c.stripped, buf) << c.path;
    if (c.path.find('\x95') != std::string::npos) {
      continue;
    }
    char16_t w[PATH_CAP];
    std::u16string wp = W(c.path);
    dirpartW(w, PATH_CAP, wp.c_str());
    EXPECT_EQ(c.dir, A(w));
    namepartW(w, PATH_CAP, wp.c_str());
    EXPECT_EQ(c.name, A(w));
    EXPECT_EQ(c.extResult, extpartW(w, PATH_CAP, wp.c_str()));
    EXPECT_EQ(c.ext, A(w));
    stripextW(w, PATH_CAP, wp.c_str());
    EXPECT_EQ(c.stripped, A(w));
  }
}

TEST(Paths, PiecesAreCutAtTheCapacity) {
  char buf[6];
  dirpart(buf, sizeof buf, "abcdefgh\\x");
  EXPECT_STREQ("abcde", buf);
  // Four bytes fit, but the fourth is the lead of a pair: both stay out.
  namepart(buf, 5, ("abc" + kHyo + "d").c_str());
  EXPECT_STREQ("abc", buf);
  EXPECT_EQ(3, sjis_copy(buf, 5, ("abc" + kHyo).c_str()));
  EXPECT_EQ(5, sjis_copy(buf, 6, ("abc" + kHyo).c_str()));
  EXPECT_EQ(5, sjis_append(buf, 6, "more"));
  char16_t w[4];
  namepartW(w, 4, u"\\abcdef");
  EXPECT_EQ(u"abc", std::u16string(w));
}

TEST(Paths, StripTrailingSeparator) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\", "C:\\"},  {"C:\\x\\", "C:\\x"}, {"\\", "\\"}, {"x\\", "x"},    {"x/", "x"},
      {"C:/", "C:/"},    {"ab", "ab"},         {"", ""},     {"C:\\" + kHyo, "C:\\" + kHyo},
      {"\\\\srv\\", "\\\\srv"},
  };
  for (const auto& c : cases) {
    char buf[PATH_CAP];
    snprintf(buf, sizeof buf, "%s", c.first.c_str());
    EXPECT_EQ(0, striptailsep(buf));
    EXPECT_EQ(c.second, buf) << c.first;
    char16_t w[PATH_CAP] = {};
    std::u16string wp = W(c.first);
    std::copy(wp.begin(), wp.end(), w);
    striptailsepW(w);
    if (c.first.find('\x95') == std::string::npos) {
      EXPECT_EQ(c.second, A(w)) << c.first;
    }
  }
  char longer[400];
  std::string s(300, 'a');
  snprintf(longer, sizeof longer, "%s", s.c_str());
  striptailsep(longer);
  EXPECT_EQ(259u, strlen(longer));
  std::string dbcsAtEnd = std::string(258, 'a') + kHyo + "\\";
  snprintf(longer, sizeof longer, "%s", dbcsAtEnd.c_str());
  striptailsep(longer);
  EXPECT_EQ(std::string(258, 'a'), longer);
  // Cut before such a character, a separator at the new end stays.
  std::string sepBeforeCut = std::string(257, 'a') + "\\" + kHyo + "b";
  snprintf(longer, sizeof longer, "%s", sepBeforeCut.c_str());
  striptailsep(longer);
  EXPECT_EQ(std::string(257, 'a') + "\\", longer);
  std::string exact = std::string(258, 'a') + "\\";
  snprintf(longer, sizeof longer, "%s", exact.c_str());
  striptailsep(longer);
  EXPECT_EQ(exact, longer);
}

TEST(Paths, RelativePaths) {
  const std::string cases[][3] = {
      // target, base, result
      {"C:\\models\\tex\\a.png", "C:\\models\\miku\\m.pmx", "..\\tex\\a.png"},
      {"C:\\models\\miku\\tex\\a.png", "C:\\models\\miku\\m.pmx", "tex\\a.png"},
      {"C:\\models\\miku\\tex\\a.png", "C:\\models\\miku\\", "tex\\a.png"},
      {"C:\\a\\b\\c\\x.png", "C:\\a\\d\\e\\f\\", "..\\..\\..\\b\\c\\x.png"},
      {"C:\\models2\\a.png", "C:\\models\\m.pmx", "..\\models2\\a.png"},
      {"D:\\x.png", "C:\\m\\m.pmx", "D:\\x.png"},
      {"c:\\m\\x.png", "C:\\m\\m.pmx", "c:\\m\\x.png"},
      {"\\\\srv\\x.png", "C:\\m\\m.pmx", "\\\\srv\\x.png"},
      {"C:\\x.png", "\\\\srv\\m\\m.pmx", "C:\\x.png"},
      {"\\home\\u\\t\\b.png", "\\home\\u\\m\\a.pmx", "..\\t\\b.png"},
      // A shared double-byte character whose trail is 0x5C is not a folder end.
      {"C:\\a" + kHyo + "b\\x.png", "C:\\a" + kHyo + "c\\m.pmx", "..\\a" + kHyo + "b\\x.png"},
  };
  for (const auto& c : cases) {
    char buf[PATH_CAP];
    EXPECT_EQ(0, relpath(buf, PATH_CAP, c[0].c_str(), c[1].c_str()));
    EXPECT_EQ(c[2], buf) << c[0] << " from " << c[1];
    if (c[0].find('\x95') != std::string::npos) continue;
    char16_t w[PATH_CAP];
    EXPECT_EQ(0, relpathW(w, PATH_CAP, W(c[0]).c_str(), W(c[1]).c_str()));
    EXPECT_EQ(c[2], A(w));
  }
  char small[8];
  relpath(small, sizeof small, "C:\\a\\b\\c\\x.png", "C:\\a\\d\\e\\f\\");
  EXPECT_STREQ("..\\..\\.", small);
}

class FindFile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = makeTempDir("qm_paths_");
    std::ofstream(dir + "/Tex.PNG") << "x";
    std::ofstream(dir + "/a*b.png") << "x";
    std::filesystem::create_directories(dir + "/sub/inner");
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(dir); }
  static std::string in(const std::string& rest) {
    std::string p = dir + "/" + rest;
    for (char& c : p)
      if (c == '/') c = '\\';
    return p;
  }
  static std::string dir;
};
std::string FindFile::dir;

TEST_F(FindFile, NamesAsStoredAndFolders) {
  struct Case {
    std::string pattern;
    int result;
    std::string name;
  } cases[] = {
      {"Tex.PNG", 0, "Tex.PNG"}, {"*.png", 0, ""},  // which .png comes first is the folder's order
      {"t?x.png", 0, "Tex.PNG"}, {"a*b.png", 0, "a*b.png"}, {"missing.png", -1, ""},
      {"sub", -1, ""},           {"sub\\*", -2, ""},        {"nodir\\*.png", -1, ""},
  };
  for (const Case& c : cases) {
    char buf[PATH_CAP];
    EXPECT_EQ(c.result, findfile(buf, PATH_CAP, in(c.pattern).c_str())) << c.pattern;
    if (!c.name.empty()) {
      EXPECT_EQ(c.name, buf) << c.pattern;
    }
    if (c.result != 0) {
      EXPECT_STREQ("", buf);
    }
    char16_t w[PATH_CAP];
    EXPECT_EQ(c.result, findfileW(w, PATH_CAP, W(in(c.pattern)).c_str())) << c.pattern;
    if (!c.name.empty()) {
      EXPECT_EQ(c.name, A(w));
    }
  }
}

TEST(JoinPath, FitsExactlyOrRefusesWhole) {
  char dst[8];
  EXPECT_TRUE(join_path(dst, sizeof dst, "abc\\", "def"));  // 7 bytes + terminator
  EXPECT_STREQ("abc\\def", dst);
  std::memset(dst, 'z', sizeof dst);
  EXPECT_FALSE(join_path(dst, sizeof dst, "abc\\", "defg"));
  EXPECT_STREQ("", dst);
  // The destination may be the folder itself.
  char grow[16] = "dir\\";
  EXPECT_TRUE(join_path(grow, sizeof grow, grow, "x.png"));
  EXPECT_STREQ("dir\\x.png", grow);

  char16_t w[8];
  EXPECT_TRUE(join_pathW(w, 8, u"abc\\", u"def"));
  EXPECT_EQ(u"abc\\def", std::u16string(w));
  EXPECT_FALSE(join_pathW(w, 8, u"abc\\", u"defg"));
  EXPECT_EQ(0, w[0]);
  char16_t growW[16] = u"dir\\";
  EXPECT_TRUE(join_pathW(growW, 16, growW, u"x.png"));
  EXPECT_EQ(u"dir\\x.png", std::u16string(growW));
}

}  // namespace
