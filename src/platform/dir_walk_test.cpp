#include "platform/dir_walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/run_program.h"

namespace {

std::u16string W(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }
std::string A(const std::u16string& w) { return std::string(w.begin(), w.end()); }

// Records each entry as "depth:path below the root", with a '+' for an entry
// the walker will not list further (link or too deep); answers by a policy.
struct Recorder {
  std::u16string root;  // backslash form, with its separator
  std::vector<std::u16string> paths;  // by id
  std::vector<std::string> seen;
  std::string stopAt;   // the entry whose answer is stopWith
  int32_t stopWith = DIRWALK_KEEP;
};

bool folder_of(void* ctx, int32_t folder, char16_t* dst, int cap) {
  Recorder& r = *(Recorder*)ctx;
  std::u16string p = folder == DIRWALK_ROOT ? r.root : r.paths[folder] + u"\\";
  if ((int)p.size() >= cap) return false;
  std::copy(p.begin(), p.end(), dst);
  dst[p.size()] = 0;
  return true;
}

int32_t record(void* ctx, const DirEntry& e) {
  Recorder& r = *(Recorder*)ctx;
  std::u16string path = std::u16string(e.folderPath) + e.name;
  std::string rel = A(path.substr(r.root.size()));
  std::replace(rel.begin(), rel.end(), '\\', '/');
  r.seen.push_back(std::to_string(e.depth) + ":" + rel + (e.link || e.tooDeep ? "+" : ""));
  if (e.name == W(r.stopAt)) return r.stopWith;
  if (!e.dir) return DIRWALK_KEEP;
  r.paths.push_back(path);
  return (int32_t)r.paths.size() - 1;
}

std::u16string root_of(const std::string& dir) {
  std::u16string w = W(dir + "/");
  std::replace(w.begin(), w.end(), u'/', u'\\');
  return w;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(DirWalk, BreadthFirstWithinTheDepthAndTheCallersBounds) {
  TempDir tmp("dirwalk");
  ASSERT_TRUE(write_file_bytes(tmp / "d1/d2/d3/f", "x"));
  ASSERT_TRUE(write_file_bytes(tmp / "a/f1", "x"));
  ASSERT_TRUE(write_file_bytes(tmp / "b/c/f2", "x"));
  ASSERT_TRUE(make_symlink(tmp / "d1", tmp / "ln"));
  const std::vector<std::string> whole = {"0:a",    "0:b",      "0:d1",       "0:ln+",       "1:a/f1",
                                          "1:b/c",  "1:d1/d2",  "2:b/c/f2",   "2:d1/d2/d3",  "3:d1/d2/d3/f"};
  struct Row {
    const char* what;
    int maxDepth;
    int32_t f1Answer;
    std::vector<std::string> seen;
    int flags;
  };
  const Row rows[] = {
      {"whole", 8, DIRWALK_KEEP, whole, DIRWALK_WHOLE},
      {"exactly deep enough", 3, DIRWALK_KEEP, whole, DIRWALK_WHOLE},
      {"depth 2", 2, DIRWALK_KEEP,
       {"0:a", "0:b", "0:d1", "0:ln+", "1:a/f1", "1:b/c", "1:d1/d2", "2:b/c/f2", "2:d1/d2/d3+"}, DIRWALK_CUT_DEPTH},
      {"depth 1", 1, DIRWALK_KEEP, {"0:a", "0:b", "0:d1", "0:ln+", "1:a/f1", "1:b/c+", "1:d1/d2+"}, DIRWALK_CUT_DEPTH},
      {"depth 0", 0, DIRWALK_KEEP, {"0:a+", "0:b+", "0:d1+", "0:ln+"}, DIRWALK_CUT_DEPTH},
      // The rest of f1's folder is passed over; every other folder is listed.
      {"full folder", 8, DIRWALK_FULL_FOLDER, whole, DIRWALK_CUT_ROOM},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Recorder r;
    r.root = root_of(tmp.path);
    r.stopAt = "f1";
    r.stopWith = row.f1Answer;
    EXPECT_EQ(row.flags, dir_walk(folder_of, record, &r, row.maxDepth));
    EXPECT_EQ(sorted(row.seen), sorted(r.seen));
    // Breadth first: an entry never comes before one nearer the root.
    EXPECT_TRUE(std::is_sorted(r.seen.begin(), r.seen.end(),
                               [](const std::string& x, const std::string& y) { return x[0] < y[0]; }));
  }

  Recorder r;
  // The walk ends at the caller's bound: the folders after f1's are never listed.
  r.root = root_of(tmp.path);
  r.stopAt = "f1";
  r.stopWith = DIRWALK_FULL;
  EXPECT_EQ(DIRWALK_CUT_ROOM, dir_walk(folder_of, record, &r, 8));
  EXPECT_EQ(r.seen.back(), "1:a/f1");
  EXPECT_EQ(std::count(r.seen.begin(), r.seen.end(), "2:b/c/f2"), 0);
}

TEST(DirWalk, OneFolderAlone) {
  TempDir tmp("dirwalk");
  ASSERT_TRUE(write_file_bytes(tmp / "sub/deep", "x"));
  ASSERT_TRUE(write_file_bytes(tmp / "f", "x"));
  Recorder r;
  r.root = root_of(tmp.path);
  EXPECT_TRUE(dir_list(r.root.c_str(), record, &r));
  EXPECT_EQ(sorted({"0:f", "0:sub"}), sorted(r.seen));
  EXPECT_FALSE(dir_list(root_of(tmp / "none").c_str(), record, &r));
}

TEST(PathOrder, CodePointsWithTheSeparatorAsAsked) {
  struct Row { std::u16string a, b; char16_t sepAs; int order; };
  const Row rows[] = {
      {u"a\\b", u"a0", '/', -1},             // '/' sorts before the digits
      {u"a\\b", u"a0", '\\', 1},             // '\' after them
      {u"a\\b", u"a/b", '/', 0},
      {u"\uFF5E", u"\U0001F600", '/', -1},  // a pair is one code point above the BMP
      {u"\U0001F600", u"\uFF5E", '\\', 1},
      {u"ab", u"abc", '/', -1},
      {u"", u"", '/', 0},
  };
  for (const Row& r : rows) EXPECT_EQ(r.order, path_order(r.a.c_str(), r.b.c_str(), r.sepAs)) << A(r.a) << " " << A(r.b);
}

}  // namespace
