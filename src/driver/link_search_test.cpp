#include "driver/link_search.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "encoding/codec.h"
#include "encoding/name_mangle.h"
#include "support/run_program.h"
#include "platform/paths.h"
#include "text/sjis.h"

namespace {

std::u16string W(const std::string& utf8) {
  char16_t buf[LINK_PATH_CAP];
  utf8_to_wide(buf, LINK_PATH_CAP, utf8.c_str());
  return buf;
}

std::string U8(const std::u16string& w) {
  char buf[LINK_PATH_CAP * 3];
  wide_to_utf8(buf, sizeof buf, w.c_str());
  return buf;
}

// A name as an unpacker wrote it; a byte cp932 could not read becomes the
// katakana middle dot, as Windows puts it.
std::string mangled(int kind, const std::string& utf8) {
  std::u16string w = W(utf8);
  char16_t out[256];
  EXPECT_TRUE(link_mangle(kind, w.c_str(), (int)w.size(), out, 256)) << utf8;
  for (char16_t& c : out)
    if (c == 0xFFFF) c = 0x30FB;
  return U8(out);
}

// The model folder in the program's backslash form.
std::u16string model_dir(const std::string& dir) {
  std::u16string w = W(dir + "/");
  for (char16_t& c : w)
    if (c == '/') c = '\\';
  return w;
}

// ---- the rules ------------------------------------------------------------------

struct RuleCase {
  const char* what;
  std::vector<std::string> files;  // below the temp folder, '/' separated
  const char* modelSub;            // the model folder below the temp folder
  std::string stored;              // as the model stores it
  LinkRule rule;
  std::string found;               // expected path relative to the model folder
  bool teaches;
};

std::vector<RuleCase> rule_cases() {
  const std::string m437 = mangled(MANGLE_CP437, "テクスチャ");
  const std::string m850a = mangled(MANGLE_CP850, "衣装"), m850b = mangled(MANGLE_CP850, "髪");
  const std::string m1252d = mangled(MANGLE_CP1252, "衣装"), m1252n = mangled(MANGLE_CP1252, "顔.png");
  const std::string mu8 = mangled(MANGLE_UTF8_AS_CP932, "衣装.png");
  return {
      {"case: folder and name", {"m/Tex/Body.PNG"}, "m", "tex\\body.png", LINK_RULE_CASE, "Tex\\Body.PNG", true},
      {"case: name only", {"m/tex/Body.PNG"}, "m", "tex\\body.png", LINK_RULE_CASE, "tex\\Body.PNG", false},
      {"case: name outside cp932", {"m/Tex/한글.png"}, "m", "tex\\한글.png", LINK_RULE_CASE, "Tex\\한글.png", true},
      {"case: above the model folder", {"Shared/A.png", "m/x.png"}, "m", "..\\shared\\a.png", LINK_RULE_CASE,
       "..\\Shared\\A.png", true},
      {"moved: folders ending alike first", {"m/backup/a.png", "m/data/tex/a.png"}, "m", "tex\\a.png",
       LINK_RULE_MOVED, "data\\tex\\a.png", true},
      {"moved: then fewest levels", {"m/x/y/a.png", "m/z/a.png"}, "m", "tex\\a.png", LINK_RULE_MOVED, "z\\a.png",
       true},
      {"moved: then byte order", {"m/b/a.png", "m/a/A.png"}, "m", "tex\\a.png", LINK_RULE_MOVED, "a\\A.png", true},
      {"moved: case-changed folders end alike", {"m/Data/TEX/a.png", "m/t/a.png"}, "m", "tex\\A.png",
       LINK_RULE_MOVED, "Data\\TEX\\a.png", true},
      {"moved: into the model folder", {"m/a.png"}, "m", "tex\\a.png", LINK_RULE_MOVED, "a.png", true},
      {"moved: from above the model folder", {"m/img/a.png"}, "m", "..\\img\\a.png", LINK_RULE_MOVED,
       "img\\a.png", true},
      {"moved: from a root", {"m/tex/a.png"}, "m", "\\tex\\a.png", LINK_RULE_MOVED, "tex\\a.png", true},
      {"converted at the stored place before moved", {"m/tex/a.png", "m/deep/er/a.tga"}, "m", "tex\\a.tga",
       LINK_RULE_CONVERTED, "tex\\a.png", false},
      {"converted: stored place", {"m/tex/a.png"}, "m", "tex\\a.tga", LINK_RULE_CONVERTED, "tex\\a.png", false},
      {"converted: ranked", {"m/other/a.png", "m/Tex/A.DDS"}, "m", "tex\\a.tga", LINK_RULE_CONVERTED,
       "Tex\\A.DDS", false},
      {"converted: no extension stored", {"m/tex/a.bmp"}, "m", "tex\\a", LINK_RULE_CONVERTED, "tex\\a.bmp", false},
      {"converted: images only", {"m/tex/a.txt", "m/tex/a.png.bak"}, "m", "tex\\a.tga", LINK_RULE_NONE, "", false},
      {"mangled: folder above name, cp437", {"m/" + m437 + "/" + mangled(MANGLE_CP437, "髪.png")}, "m",
       "テクスチャ\\髪.png", LINK_RULE_MANGLED, m437 + "\\" + mangled(MANGLE_CP437, "髪.png"), false},
      {"mangled: folder alone, whole name", {"m/" + m850b + "/a.png", "m/" + m850a + "/a.png"}, "m",
       "髪\\a.png", LINK_RULE_MANGLED, m850b + "\\a.png", true},
      {"mangled: tree moved below, cp1252", {"m/unpacked/" + m1252d + "/" + m1252n, "m/unpacked/x/" + m1252n}, "m",
       "衣装\\顔.png", LINK_RULE_MANGLED, "unpacked\\" + m1252d + "\\" + m1252n, false},
      {"mangled: UTF-8 read as cp932", {"m/tex/" + mu8}, "m", "tex\\衣装.png", LINK_RULE_MANGLED,
       "tex\\" + mu8, false},
      {"mangled: upper-cased by hand", {"m/TEX/" + mangled(MANGLE_CP850, "ﾄｩｰﾝ.SPA")}, "m", "tex\\ﾄｩｰﾝ.spa",
       LINK_RULE_MANGLED, "TEX\\" + mangled(MANGLE_CP850, "ﾄｩｰﾝ.SPA"), false},
      {"nowhere", {"m/tex/b.png", "m/a.png.old"}, "m", "tex\\a.png", LINK_RULE_NONE, "", false},
      {"empty model folder", {"m/"}, "m", "tex\\a.png", LINK_RULE_NONE, "", false},
  };
}

TEST(LinkSearchRules, EachRuleInOrder) {
  for (const RuleCase& c : rule_cases()) {
    TempDir tmp("linksearch");
    for (const std::string& f : c.files) {
      if (f.back() == '/')
        ASSERT_TRUE(make_dirs(tmp / f)) << f;
      else
        ASSERT_TRUE(write_file_bytes(tmp / f, "x")) << f;
    }
    linksearch_begin(model_dir(tmp / c.modelSub).c_str());
    LinkFound found;
    LinkRule rule = linksearch_find(W(c.stored).c_str(), &found);
    EXPECT_EQ(c.rule, rule) << c.what;
    EXPECT_EQ(c.rule, found.rule) << c.what;
    EXPECT_EQ(c.found, U8(found.pathW)) << c.what;
    EXPECT_EQ(c.teaches, found.teachesMove) << c.what;
    if (c.teaches) {
      char16_t dir[LINK_PATH_CAP];
      std::u16string stored = W(c.stored);
      dirpartW(dir, LINK_PATH_CAP, stored.c_str());
      EXPECT_TRUE(std::u16string(dir) == found.oldFolderW) << c.what;
      dirpartW(dir, LINK_PATH_CAP, found.pathW);
      EXPECT_TRUE(std::u16string(dir) == found.newFolderW) << c.what;
    }
  }
}

// ---- the walk ------------------------------------------------------------------------

TEST(LinkSearchWalk, ListsOncePerModel) {
  TempDir tmp("linksearch");
  ASSERT_TRUE(write_file_bytes(tmp / "tex/a.png", "x"));
  linksearch_begin(model_dir(tmp.path).c_str());
  LinkFound found;
  EXPECT_EQ(LINK_RULE_NONE, linksearch_find(u"b.png", &found));
  ASSERT_TRUE(write_file_bytes(tmp / "new/b.png", "x"));
  EXPECT_EQ(LINK_RULE_NONE, linksearch_find(u"b.png", &found)) << "listed again";
  linksearch_begin(model_dir(tmp.path).c_str());
  EXPECT_EQ(LINK_RULE_MOVED, linksearch_find(u"b.png", &found));
  EXPECT_EQ(4, linksearch_listed());
  EXPECT_FALSE(linksearch_walk_cut());
}

TEST(LinkSearchWalk, DepthBound) {
  TempDir tmp("linksearch");
  std::string deep, deeper;
  for (int i = 1; i <= LINK_WALK_MAX_DEPTH; i++) deep += "d" + std::to_string(i) + "/";
  ASSERT_TRUE(write_file_bytes(tmp / (deep + "a.png"), "x"));
  ASSERT_TRUE(write_file_bytes(tmp / (deep + "d9/b.png"), "x"));
  linksearch_begin(model_dir(tmp.path).c_str());
  LinkFound found;
  EXPECT_EQ(LINK_RULE_MOVED, linksearch_find(u"x\\a.png", &found));
  EXPECT_EQ(LINK_RULE_NONE, linksearch_find(u"x\\b.png", &found));
  EXPECT_TRUE(linksearch_walk_cut());
}

TEST(LinkSearchWalk, EntryBound) {
  TempDir tmp("linksearch");
  ASSERT_TRUE(write_file_bytes(tmp / "sub/a.png", "x"));
  for (int i = 0; i < LINK_WALK_MAX_ENTRIES; i++) {
    FILE* f = std::fopen((tmp / ("f" + std::to_string(i))).c_str(), "wb");
    ASSERT_TRUE(f != nullptr);
    std::fclose(f);
  }
  linksearch_begin(model_dir(tmp.path).c_str());
  LinkFound found;
  EXPECT_EQ(LINK_RULE_NONE, linksearch_find(u"tex\\a.png", &found));
  EXPECT_EQ(LINK_WALK_MAX_ENTRIES, linksearch_listed());
  EXPECT_TRUE(linksearch_walk_cut());
}

TEST(LinkSearchWalk, SymbolicLinksNotFollowed) {
  TempDir tmp("linksearch");
  ASSERT_TRUE(write_file_bytes(tmp / "outside/a.png", "x"));
  ASSERT_TRUE(write_file_bytes(tmp / "m/real/b.png", "x"));
  ASSERT_TRUE(make_symlink(tmp / "outside", tmp / "m/ext"));
  ASSERT_TRUE(make_symlink(tmp / "m", tmp / "m/real/loop"));
  linksearch_begin(model_dir(tmp / "m").c_str());
  LinkFound found;
  EXPECT_EQ(LINK_RULE_NONE, linksearch_find(u"tex\\a.png", &found));
  EXPECT_EQ(LINK_RULE_MOVED, linksearch_find(u"tex\\b.png", &found));
  EXPECT_EQ("real\\b.png", U8(found.pathW));
  EXPECT_EQ(4, linksearch_listed());  // ext, real, b.png, loop
  EXPECT_FALSE(linksearch_walk_cut());
}

TEST(LinkSearch, SharedToons) {
  const struct {
    const char16_t* path;
    bool shared;
  } cases[] = {
      {u"toon01.bmp", true},    {u"TOON10.BMP", true},   {u"Toon05.Bmp", true},  {u"toon00.bmp", false},
      {u"toon11.bmp", false},   {u"toon1.bmp", false},   {u"toon001.bmp", false}, {u"tex\\toon01.bmp", false},
      {u"toon01.bmp.png", false}, {u"toon01.png", false}, {u"toon0a.bmp", false}, {u"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.shared, linksearch_is_shared_toon(c.path)) << U8(c.path);
}

// ---- the stored place under mangled names (-R) -----------------------------------

// A mangled name on disk: a backslash an unpacker read from a 0x5C byte split
// the name into folders.
std::string on_disk(int kind, const std::string& utf8) {
  std::string m = mangled(kind, utf8);
  for (char& c : m)
    if (c == '\\') c = '/';
  return m;
}

TEST(LinkSearchPlace, StoredPlaceUnderMangledNames) {
  const std::string f437 = on_disk(MANGLE_CP437, "テクスチャ"), n437 = on_disk(MANGLE_CP437, "服.png");
  const std::string split = on_disk(MANGLE_CP437, "ソース");  // â/ü[âX
  const struct {
    const char* what;
    std::vector<std::string> files;  // below the model folder
    std::string stored;
    std::string disk;  // '/' separated; empty: no place
  } cases[] = {
      {"cp437 folder and name", {f437 + "/" + n437}, "テクスチャ\\服.png", f437 + "/" + n437},
      {"cp850 name in a proper folder", {"tex/" + on_disk(MANGLE_CP850, "衣装.png")}, "tex\\衣装.png",
       "tex/" + on_disk(MANGLE_CP850, "衣装.png")},
      {"cp1252 folder, name as stored", {on_disk(MANGLE_CP1252, "衣装") + "/A.png"}, "衣装\\a.png",
       on_disk(MANGLE_CP1252, "衣装") + "/A.png"},
      {"UTF-8 read as cp932", {on_disk(MANGLE_UTF8_AS_CP932, "髪.png")}, "./髪.png",
       on_disk(MANGLE_UTF8_AS_CP932, "髪.png")},
      {"a folder split in two", {split + "/a.png"}, "ソース\\a.png", split + "/a.png"},
      {"a file name split", {on_disk(MANGLE_CP437, "表情.png")}, "表情.png", on_disk(MANGLE_CP437, "表情.png")},
      {"the proper folder holds it", {"テクスチャ/b.png", "テクスチャ/" + n437}, "テクスチャ\\服.png",
       "テクスチャ/" + n437},
      {"the proper folder lacks it", {"テクスチャ/b.png", f437 + "/" + n437}, "テクスチャ\\服.png",
       f437 + "/" + n437},
      {"elsewhere is no stored place", {"x/" + n437}, "服.png", ""},
      {"a folder where the file is", {n437 + "/"}, "服.png", ""},
      {"letter case alone", {"Tex/A.png"}, "tex\\a.png", ""},
      {"above the model folder", {"../" + n437}, "..\\服.png", ""},
      {"from a root", {n437}, "\\服.png", ""},
      {"a name Windows refuses", {on_disk(MANGLE_CP437, "服") + ":x.png"}, "服:x.png", ""},
  };
  for (const auto& c : cases) {
    TempDir tmp("linkplace");
    for (const std::string& f : c.files) {
      if (f.back() == '/')
        ASSERT_TRUE(make_dirs(tmp / ("m/" + f))) << f;
      else
        ASSERT_TRUE(write_file_bytes(tmp / ("m/" + f), "x")) << f;
    }
    linksearch_begin(model_dir(tmp / "m").c_str());
    LinkPlace place;
    bool found = linksearch_mangled_place(W(c.stored).c_str(), &place);
    std::string disk = U8(place.diskW);
    for (char& ch : disk)
      if (ch == '\\') ch = '/';
    EXPECT_EQ(!c.disk.empty(), found) << c.what;
    EXPECT_EQ(c.disk, disk) << c.what;
    if (found) {
      EXPECT_EQ(c.stored.substr(c.stored[0] == '.' ? 2 : 0), U8(place.storedW)) << c.what;
    }
  }
}

}  // namespace
