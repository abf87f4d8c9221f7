// Whole-program runs of -R: files whose names an unpacker mangled are moved
// back to the paths the model stores (each mangling, a folder split by a 0x5C
// byte, a proper folder already there), and what is never done: replacing,
// copying, leaving the model's folder, moving without the user's Yes.
#include <sys/stat.h>

#include <algorithm>

#include "e2e_fixture.h"
#include "encoding/codec.h"
#include "encoding/name_mangle.h"
#include "text/sjis.h"

namespace {

#define EXPECT_HAS(text, what) \
  EXPECT_NE(std::string::npos, (text).find(what)) << "missing: " << (what) << "\n--- in:\n" << (text)
#define EXPECT_LACKS(text, what) \
  EXPECT_EQ(std::string::npos, (text).find(what)) << "unexpected: " << (what) << "\n--- in:\n" << (text)

// The name an unpacker wrote, '/' separated: a backslash it read from a 0x5C
// byte split the name into folders.
std::string on_disk(int kind, const std::string& utf8) {
  char16_t w[256], m[256];
  utf8_to_wide(w, 256, utf8.c_str());
  EXPECT_TRUE(link_mangle(kind, w, wide_len(w), m, 256)) << utf8;
  char out[768];
  wide_to_utf8(out, sizeof out, m);
  std::string s = out;
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

std::string slashed(std::string p) {
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

std::string backslashed(std::string p) {
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

// Every file below a folder ('/' separated, sorted); *emptyFolders counts folders holding nothing.
std::vector<std::string> tree(const std::string& root, int* emptyFolders, const std::string& rel = "") {
  std::vector<std::string> files;
  std::vector<std::string> names = list_dir(rel.empty() ? root : root + "/" + rel);
  if (names.empty() && !rel.empty()) ++*emptyFolders;
  for (const std::string& n : names) {
    std::string sub = rel.empty() ? n : rel + "/" + n;
    struct stat st;
    if (lstat((root + "/" + sub).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      for (const std::string& f : tree(root, emptyFolders, sub)) files.push_back(f);
    } else {
      files.push_back(sub);
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

class RestoreRun : public ProgramRun {
 protected:
  // The log's lines after its header, each "date\told\tnew".
  std::vector<std::string> log_moves(const std::string& dir) {
    std::string log = read_file_bytes(tmp / (dir + "/quillmend-renames.txt"));
    std::vector<std::string> lines;
    size_t at = log.find('\n');
    EXPECT_EQ(0u, log.find("# Quillmend: ")) << log;
    while (at != std::string::npos && at + 1 < log.size()) {
      size_t end = log.find('\n', at + 1);
      lines.push_back(log.substr(at + 1, end - at - 1));
      at = end;
    }
    return lines;
  }
};

struct Moved {
  std::string disk;    // as unpacked, '/' separated
  std::string stored;  // as the model links it
};

struct RestoreCase {
  const char* name;
  std::vector<Moved> moved;
  std::vector<std::string> others;  // files that stay where they are
};

void PrintTo(const RestoreCase& c, std::ostream* os) { *os << c.name; }

std::vector<RestoreCase> restore_cases() {
  const std::string tex437 = on_disk(MANGLE_CP437, "テクスチャ");
  return {
      {"cp437", {{tex437 + "/" + on_disk(MANGLE_CP437, "服.png"), "テクスチャ\\服.png"},
                 {tex437 + "/" + on_disk(MANGLE_CP437, "肌.png"), "テクスチャ\\肌.png"}}, {}},
      {"cp850", {{on_disk(MANGLE_CP850, "衣装") + "/" + on_disk(MANGLE_CP850, "顔.png"), "衣装\\顔.png"}}, {}},
      {"cp1252", {{on_disk(MANGLE_CP1252, "衣装") + "/" + on_disk(MANGLE_CP1252, "顔.png"), "衣装\\顔.png"}}, {}},
      {"utf8_as_cp932", {{"tex/" + on_disk(MANGLE_UTF8_AS_CP932, "髪.png"), "tex\\髪.png"}}, {"tex/b.png"}},
      {"split_folder", {{on_disk(MANGLE_CP437, "ソース") + "/a.png", "ソース\\a.png"}}, {}},
      {"proper_folder_joined", {{tex437 + "/" + on_disk(MANGLE_CP437, "服.png"), "テクスチャ\\服.png"}},
       {"テクスチャ/b.png"}},
  };
}

class Restores : public RestoreRun, public ::testing::WithParamInterface<std::tuple<RestoreCase, uint8_t>> {};

TEST_P(Restores, EveryLinkOpensAsStoredAndASecondRunMovesNothing) {
  const RestoreCase& c = std::get<0>(GetParam());
  std::vector<std::string> links, want = {"a.pmx", "ok.png", "quillmend-renames.txt"};
  for (const Moved& m : c.moved) {
    put_file("m/" + m.disk, m.stored);
    links.push_back(m.stored);
    want.push_back(slashed(m.stored));
  }
  for (const std::string& f : c.others) {
    put_file("m/" + f);
    want.push_back(f);
  }
  links.push_back("ok.png");
  put_file("m/ok.png");
  std::string model = put_model("m/a.pmx", model_with(links, std::get<1>(GetParam())));
  int empty = 0;

  // Without the option the disk stays as it is.
  RunResult r = run({"-Y", model});
  EXPECT_LACKS(r.out, "restored");
  EXPECT_FALSE(file_exists(tmp / "m/quillmend-renames.txt"));
  EXPECT_EQ(c.moved.size() + c.others.size() + 2, tree(tmp / "m", &empty).size());

  r = run({"-R", "-Y", model});
  EXPECT_EQ(0, r.exitCode) << r.out;
  EXPECT_HAS(r.out, "Restore.names = 1 \n");
  EXPECT_EQ((int)c.moved.size(), count_of(r.out, " (restored)\n  restored: "));
  std::sort(want.begin(), want.end());
  EXPECT_EQ(want, tree(tmp / "m", &empty));
  EXPECT_EQ(0, empty);
  std::vector<std::string> moves = log_moves("m");
  ASSERT_EQ(c.moved.size(), moves.size());
  for (size_t i = 0; i < c.moved.size(); i++) {
    EXPECT_EQ(c.moved[i].stored, read_file_bytes(tmp / ("m/" + slashed(c.moved[i].stored))));
    EXPECT_HAS(r.out, "=> " + c.moved[i].stored + "\n");
    EXPECT_HAS(moves[i], "\t" + c.moved[i].stored);
    EXPECT_HAS(moves[i], "\t" + backslashed(c.moved[i].disk) + "\t");
  }
  EXPECT_HAS(r.out, "=> not saved: names restored on disk (" + std::to_string(c.moved.size()) + ") \n");
  EXPECT_FALSE(file_exists(tmp / "m/a-new.pmx"));

  std::string log = read_file_bytes(tmp / "m/quillmend-renames.txt");
  r = run({"-R", "-Y", model});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_LACKS(r.out, "restored");
  EXPECT_HAS(r.out, "=> not saved: all links correct \n");
  EXPECT_EQ(log, read_file_bytes(tmp / "m/quillmend-renames.txt"));
}

INSTANTIATE_TEST_SUITE_P(Manglings, Restores,
                         ::testing::Combine(::testing::ValuesIn(restore_cases()),
                                            ::testing::Values(pmxb::UTF16LE, pmxb::UTF8)),
                         [](const ::testing::TestParamInfo<std::tuple<RestoreCase, uint8_t>>& i) {
                           return std::string(std::get<0>(i.param).name) +
                                  (std::get<1>(i.param) == pmxb::UTF8 ? "_utf8" : "_utf16");
                         });

// Something at the stored path: nothing is moved; -A links the mangled name
// instead, without it the link stays broken. The reason follows the link.
TEST_F(RestoreRun, TakenPlaceIsNeverReplaced) {
  const std::string mangled = on_disk(MANGLE_CP437, "テクスチャ") + "/" + on_disk(MANGLE_CP437, "服.png");
  for (bool search : {false, true}) {
    std::string dir = search ? "s" : "n";
    put_file(dir + "/" + mangled, "mangled");
    ASSERT_TRUE(make_dirs(tmp / (dir + "/テクスチャ/服.png")));
    std::string model = put_model(dir + "/a.pmx", model_with({"テクスチャ\\服.png"}));
    RunResult r = run(search ? std::vector<std::string>{"-R", "-A", "-Y", model}
                             : std::vector<std::string>{"-R", "-Y", model});
    EXPECT_HAS(r.out, search ? "0: テクスチャ\\服.png (found: mangled) => (renew) " : "0: テクスチャ\\服.png (left broken)\n");
    EXPECT_HAS(r.out, "\n  not restored: テクスチャ\\服.png already exists\n");
    EXPECT_LACKS(r.out, "Rename them on disk");
    EXPECT_EQ("mangled", read_file_bytes(tmp / (dir + "/" + mangled)));
    EXPECT_FALSE(file_exists(tmp / (dir + "/quillmend-renames.txt")));
    EXPECT_EQ(search, file_exists(tmp / (dir + "/a-new.pmx")));
    EXPECT_EQ(search ? 0 : 32, r.exitCode);
  }
}

// A move the system refuses leaves both places as they were, folders made for it included.
TEST_F(RestoreRun, FailedMoveSaysWhyAndChangesNothing) {
  const std::string mangled = on_disk(MANGLE_CP437, "テクスチャ") + "/" + on_disk(MANGLE_CP437, "服.png");
  const struct {
    const char* xdev;
    const char* why;
  } faults[] = {{"0", "failed (error 5)\n"}, {"1", "failed (error 17)\n"}};
  for (const auto& f : faults) {
    TempDir dir("restore-fail");
    ASSERT_TRUE(write_file_bytes(dir / mangled, "mangled"));
    std::string model = dir / "a.pmx";
    ASSERT_TRUE(write_file_bytes(model, bytes_of(model_with({"テクスチャ\\服.png"}).build())));
    RunResult r = run({"-R", "-Y", model}, "", "",
                      {{"LD_PRELOAD", QM_FAULTINJ}, {"ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0"},
                       {"QM_FI_RENAME_PATH", "服.png"}, {"QM_FI_RENAME_XDEV", f.xdev}});
    EXPECT_HAS(r.out, "(left broken)\n  not restored: ");
    EXPECT_HAS(r.out, " => テクスチャ\\服.png " + std::string(f.why));
    int empty = 0;
    EXPECT_EQ((std::vector<std::string>{"a.pmx", mangled}), tree(dir.path, &empty));
    EXPECT_EQ(0, empty);
    EXPECT_EQ("mangled", read_file_bytes(dir / mangled));
  }
}

// The question comes once per model, with the count; No is a run without -R.
TEST_F(RestoreRun, AskedOnceAndNoMovesNothing) {
  const std::string folder = on_disk(MANGLE_CP437, "テクスチャ");
  put_file("m/" + folder + "/" + on_disk(MANGLE_CP437, "服.png"));
  put_file("m/" + folder + "/" + on_disk(MANGLE_CP437, "肌.png"));
  std::string model = put_model("m/a.pmx", model_with({"テクスチャ\\服.png", "テクスチャ\\肌.png"}));
  RunResult r = run({"-R", model}, "y\nn\nc\n");
  EXPECT_HAS(r.out, " links 2 file(s) whose names an unpacker mangled. \r\n");
  EXPECT_HAS(r.out, " => NO \n\n--- \n0: テクスチャ\\服.png \n Texture, toon, or sphere:");
  EXPECT_EQ(1, count_of(r.err, "Quillmend [Yes/No]? "));
  EXPECT_EQ(2u, list_dir(tmp / ("m/" + folder)).size());
  EXPECT_FALSE(file_exists(tmp / "m/quillmend-renames.txt"));

  r = run({"-R", model}, "y\ny\n");
  EXPECT_EQ(1, count_of(r.err, "Quillmend [Yes/No]? "));
  EXPECT_HAS(r.out, " => YES \n\n--- \n0: テクスチャ\\服.png (restored)\n  restored: ");
  EXPECT_HAS(r.out, " needs no new file: \r\n 2 file name(s) were restored on disk. \r\n");
  EXPECT_EQ((std::vector<std::string>{"a.pmx", "quillmend-renames.txt", "テクスチャ"}), list_dir(tmp / "m"));
  EXPECT_EQ(2u, log_moves("m").size());
}

// A stored path that leaves the model's folder is never restored, even where
// the mangled file is there to be found; nor is a file the model also links by
// its mangled name.
TEST_F(RestoreRun, NothingOutsideTheModelFolderNorWhatTheModelLinksAsIs) {
  const std::string mangled = on_disk(MANGLE_CP437, "テクスチャ") + "/" + on_disk(MANGLE_CP437, "服.png");
  put_file(mangled);
  std::string model = put_model("m/a.pmx", model_with({"..\\テクスチャ\\服.png"}));
  RunResult r = run({"-R", "-Y", model});
  EXPECT_HAS(r.out, "0: ..\\テクスチャ\\服.png (left broken)\n\n");
  EXPECT_TRUE(file_exists(tmp / mangled));

  put_file("n/" + mangled);
  model = put_model("n/a.pmx", model_with({"テクスチャ\\服.png", backslashed(mangled)}));
  r = run({"-R", "-Y", model});
  EXPECT_HAS(r.out, "0: テクスチャ\\服.png (left broken)\n1: ");
  EXPECT_TRUE(file_exists(tmp / ("n/" + mangled)));
  EXPECT_FALSE(file_exists(tmp / "n/quillmend-renames.txt"));
}

// A model with other renewals is saved with its restored links as stored; an
// earlier log keeps its lines and gains the new ones. In Japanese as well.
TEST_F(RestoreRun, SavedBesideOtherRenewalsAndLogAppended) {
  put_file("m/" + on_disk(MANGLE_CP850, "服.png"), "fuku");
  put_file("m/data/a.png");
  put_file("m/quillmend-renames.txt", "# Quillmend: earlier");
  std::string model = put_model("m/a.pmx", model_with({"服.png", "tex\\a.png"}));
  RunResult r = run({"-R", "-A", "-Y", model}, "", "", {{"LANG", "ja_JP.UTF-8"}});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "0: 服.png (名前を復元)\n  復元: ");
  EXPECT_HAS(r.out, "1: tex\\a.png (発見: 移動) => (renew) data\\a.png \n");
  EXPECT_HAS(r.out, "正常 0, 名前を復元 1, 更新 1 (発見: 移動 1), 破損のまま 0 => a-new.pmx へ保存しました \n");
  EXPECT_TRUE(same_bytes_of(filled_in(model_with({"服.png", "data\\a.png"})), read_file_bytes(tmp / "m/a-new.pmx")));
  EXPECT_EQ("fuku", read_file_bytes(tmp / "m/服.png"));
  std::string log = read_file_bytes(tmp / "m/quillmend-renames.txt");
  EXPECT_EQ(0u, log.find("# Quillmend: earlier\n2")) << log;
  EXPECT_EQ(1, count_of(log, "\t服.png\n"));
}

// A log that cannot be written is said; the moves made stay made.
TEST_F(RestoreRun, UnwritableLogIsSaid) {
  put_file("m/" + on_disk(MANGLE_CP1252, "服.png"), "fuku");
  ASSERT_TRUE(make_dirs(tmp / "m/quillmend-renames.txt"));
  std::string model = put_model("m/a.pmx", model_with({"服.png"}));
  RunResult r = run({"-R", "-Y", model});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "quillmend-renames.txt, could not be written (error 5). \n");
  EXPECT_HAS(r.out, "0: 服.png (restored)\n");
  EXPECT_EQ("fuku", read_file_bytes(tmp / "m/服.png"));
}

}  // namespace
