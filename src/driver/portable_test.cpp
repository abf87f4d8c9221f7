#include "driver/portable.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "encoding/codec.h"
#include "platform/os.h"
#include "support/run_program.h"

namespace {

std::u16string wide(const std::string& utf8) {
  std::u16string w;
  for (const char* s = utf8.c_str(); *s;) {
    uint32_t cp;
    int n = utf8_decode(s, &cp, UTF8_STRICT);
    if (n <= 0) break;
    char16_t units[2];
    w.append(units, utf16_encode(cp, units));
    s += n;
  }
  return w;
}

std::string utf8(const char16_t* w) {
  char out[1024];
  wide_to_utf8(out, sizeof out, w);
  return out;
}

// A folder in the program's own form: backslashes, with the trailing one.
std::u16string folder_of(const std::string& path) {
  std::string p = path + "/";
  for (char& c : p)
    if (c == '/') c = '\\';
  return wide(p);
}

struct CopyCase {
  const char* name;
  std::map<std::string, std::string> there;  // the copy folder before ("x/" a folder)
  const char* source;                        // the bytes copied
  const char* file;                          // the file's name
  const char* used;                          // the name the copy goes by
};

const CopyCase kCopies[] = {
    {"fresh", {}, "A", "t.png", "t.png"},
    {"identical_taken", {{"t.png", "A"}}, "A", "t.png", "t.png"},
    {"different_numbered", {{"t.png", "X"}}, "A", "t.png", "t (2).png"},
    {"same_size_other_bytes", {{"t.png", "B"}}, "A", "t.png", "t (2).png"},
    {"numbered_identical_taken", {{"t.png", "X"}, {"t (2).png", "A"}}, "A", "t.png", "t (2).png"},
    {"taken_in_other_case", {{"T.PNG", "X"}}, "A", "t.png", "t (2).png"},
    {"identical_in_other_case", {{"T.PNG", "A"}}, "A", "t.png", "T.PNG"},
    {"temporary_in_the_way", {{"t.pn~", "left by a killed run"}}, "A", "t.png", "t (2).png"},
    {"folder_of_the_name", {{"t.png/", ""}}, "A", "t.png", "t (2).png"},
    {"no_extension", {{"id", "X"}}, "A", "id", "id (2)"},
    {"japanese", {{"髪.png", "X"}}, "A", "髪.png", "髪 (2).png"},
    {"empty_files", {{"t.png", ""}}, "", "t.png", "t.png"},
};

class CopyInto : public ::testing::TestWithParam<CopyCase> {};

// No file that was there changes, the copy holds the source's bytes, and no
// temporary is left.
TEST_P(CopyInto, NamesTheCopyAndTouchesNothingElse) {
  const CopyCase& c = GetParam();
  TempDir dir("portable");
  ASSERT_TRUE(make_dirs(dir / "shared"));
  for (const auto& f : c.there) {
    if (f.first.back() == '/')
      ASSERT_TRUE(make_dirs(dir / ("shared/" + f.first)));
    else
      ASSERT_TRUE(write_file_bytes(dir / ("shared/" + f.first), f.second));
  }
  ASSERT_TRUE(write_file_bytes(dir / "src/file", c.source));
  std::u16string folder = folder_of(dir / "shared");
  std::u16string src = folder_of(dir / "src") + u"file";
  char16_t used[260] = u"";
  EXPECT_EQ(0u, portable_copy_into(folder.c_str(), src.c_str(), wide(c.file).c_str(), used, 260));
  EXPECT_EQ(c.used, utf8(used));
  EXPECT_EQ(c.source, read_file_bytes(dir / ("shared/" + std::string(c.used))));
  size_t want = c.there.size() + (c.there.count(c.used) ? 0 : 1);
  EXPECT_EQ(want, list_dir(dir / "shared").size());
  for (const auto& f : c.there) {
    if (f.first.back() == '/') continue;
    EXPECT_EQ(f.second, read_file_bytes(dir / ("shared/" + f.first))) << f.first;
  }
}

INSTANTIATE_TEST_SUITE_P(Names, CopyInto, ::testing::ValuesIn(kCopies),
                         [](const ::testing::TestParamInfo<CopyCase>& i) { return std::string(i.param.name); });

TEST(CopyInto, FailsWithTheSystemsReasonAndLeavesNothing) {
  TempDir dir("portable");
  ASSERT_TRUE(write_file_bytes(dir / "src/file", "A"));
  char16_t used[260] = u"";
  // No such source.
  std::u16string folder = folder_of(dir / "shared");
  ASSERT_TRUE(make_dirs(dir / "shared"));
  std::u16string gone = folder_of(dir / "src") + u"gone";
  EXPECT_EQ((uint32_t)OS_ERROR_FILE_NOT_FOUND, portable_copy_into(folder.c_str(), gone.c_str(), u"t.png", used, 260));
  // No such folder.
  std::u16string nowhere = folder_of(dir / "nowhere");
  std::u16string src = folder_of(dir / "src") + u"file";
  EXPECT_EQ((uint32_t)OS_ERROR_PATH_NOT_FOUND, portable_copy_into(nowhere.c_str(), src.c_str(), u"t.png", used, 260));
  EXPECT_TRUE(list_dir(dir / "shared").empty());
  EXPECT_FALSE(file_exists(dir / "nowhere"));
}

}  // namespace
