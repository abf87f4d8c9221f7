// Whole-program runs of -P: each kind of link made portable (or not) in a
// package whose model sits in lib/m/, name clashes and identical copies in the
// copy folder, copies that fail on a misbehaving disk, the question, and the
// Japanese texts. A saved model is checked the way a user meets it: its folder
// alone copied elsewhere, where every link must open exactly and name the
// bytes it named before.
#include <filesystem>

#include "e2e_fixture.h"

namespace {

#define EXPECT_HAS(text, what) \
  EXPECT_NE(std::string::npos, (text).find(what)) << "missing: " << (what) << "\n--- in:\n" << (text)
#define EXPECT_LACKS(text, what) \
  EXPECT_EQ(std::string::npos, (text).find(what)) << "unexpected: " << (what) << "\n--- in:\n" << (text)

class PortableRun : public ProgramRun {
 protected:
  // The package root in the program's own form, for absolute links.
  std::string root_backslashed() {
    std::string p = tmp.path;
    for (char& c : p)
      if (c == '/') c = '\\';
    return p;
  }
  std::string with_root(std::string link) {
    size_t at = link.find("{ROOT}");
    return at == std::string::npos ? link : link.replace(at, 6, root_backslashed());
  }
  // lib/m alone copied elsewhere: link opens there exactly and holds bytes.
  ::testing::AssertionResult opens_in_copy(const std::string& link, const std::string& bytes) {
    std::string copy = tmp / "elsewhere";
    std::filesystem::remove_all(copy);
    std::filesystem::copy(tmp / "lib/m", copy, std::filesystem::copy_options::recursive);
    std::string rel = link;
    for (char& c : rel)
      if (c == '\\') c = '/';
    if (!file_exists(copy + "/" + rel)) return ::testing::AssertionFailure() << link << " does not open in a copy";
    if (read_file_bytes(copy + "/" + rel) != bytes)
      return ::testing::AssertionFailure() << link << " names other bytes";
    return ::testing::AssertionSuccess();
  }
};

struct LinkKind {
  const char* name;
  const char* file;    // below the package root, the file the link names ("" none)
  const char* stored;  // the link in lib/m/a.pmx; {ROOT} the package root
  const char* note;    // after "(ok)" in the check
  const char* tag;     // in the listing of links made portable
  const char* renewed; // the link in a-new.pmx; "" when nothing is saved
};

const LinkKind kKinds[] = {
    {"portable", "lib/m/tex/a.png", "tex\\a.png", "", "", ""},
    {"file_case", "lib/m/tex/a.png", "tex\\A.PNG", " (not portable: case)", "(portable: case)", "tex\\a.png"},
    {"folder_case", "lib/m/Tex/Sub/a.png", "tex\\sub\\a.png", " (not portable: case)", "(portable: case)",
     "Tex\\Sub\\a.png"},
    {"up_one", "lib/shared/hair.png", "..\\shared\\hair.png", " (not portable: outside the folder)",
     "(portable: copied in)", "shared\\hair.png"},
    {"up_two", "textures/skin.bmp", "..\\..\\textures\\skin.bmp", " (not portable: outside the folder)",
     "(portable: copied in)", "shared\\skin.bmp"},
    {"up_and_back", "lib/m/tex/a.png", "..\\m\\tex\\a.png", " (not portable: not relative)", "(portable: relative)",
     "tex\\a.png"},
    {"japanese_names", "lib/共有/髪.png", "..\\共有\\髪.png", " (not portable: outside the folder)",
     "(portable: copied in)", "shared\\髪.png"},
    {"outside_other_case", "lib/shared/hair.png", "..\\Shared\\Hair.PNG", " (not portable: outside the folder)",
     "(portable: copied in)", "shared\\hair.png"},
    {"absolute_outside", "abs/x.tga", "{ROOT}\\abs\\x.tga", " (not portable: outside the folder)",
     "(portable: copied in)", "shared\\x.tga"},
    {"absolute_inside", "lib/m/tex/a.png", "{ROOT}\\lib\\m\\tex\\a.png", " (not portable: not relative)",
     "(portable: relative)", "tex\\a.png"},
    // Nothing to make portable: the check's note is all there is to say.
    {"not_an_image", "lib/.ssh/id_rsa", "..\\.ssh\\id_rsa", " (not portable: not an image)", "", ""},
};

class KindOfLink : public PortableRun, public ::testing::WithParamInterface<LinkKind> {};

TEST_P(KindOfLink, IsMadePortableOrSaidWhyNot) {
  const LinkKind& c = GetParam();
  const std::string bytes = std::string("bytes of ") + c.name;
  put_file(c.file, bytes);
  const std::string stored = with_root(c.stored);
  std::string model = put_model("lib/m/a.pmx", model_with({stored, "toon01.bmp"}));
  const std::string before = read_file_bytes(model);

  RunResult r = run({"-P", "-Y", model});
  EXPECT_HAS(r.out, "Portable.mode = 1 \n");
  EXPECT_HAS(r.out, "0: " + stored + " (ok)" + c.note + "\n1: toon01.bmp (shared toon)\n");
  EXPECT_EQ(before, read_file_bytes(model));
  EXPECT_EQ(bytes, read_file_bytes(tmp / c.file));
  if (c.tag[0]) {
    EXPECT_HAS(r.out, "--- portable: \n0: " + stored + " " + c.tag);
  }
  if (!c.renewed[0]) {
    EXPECT_FALSE(file_exists(tmp / "lib/m/a-new.pmx"));
    EXPECT_FALSE(file_exists(tmp / "lib/m/shared"));
    EXPECT_HAS(r.out, c.note[0] ? "not portable 1 => not saved: nothing to change \n"
                                : "still broken 0 => not saved: nothing to change \n");
    EXPECT_EQ(c.note[0] ? 32 : 0, r.exitCode);
    return;
  }
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, std::string(c.tag) + " => (renew) " + c.renewed + " \n\n");
  EXPECT_HAS(r.out, " Made the model portable, \r\n \r\n a-new.pmx \r\n \r\n was saved. \r\n"
                    " 1 link(s) were made portable. \r\n");
  EXPECT_HAS(r.out, ", portable 1 (");
  EXPECT_TRUE(
      same_bytes_of(filled_in(model_with({c.renewed, "toon01.bmp"})), read_file_bytes(tmp / "lib/m/a-new.pmx")));
  EXPECT_TRUE(opens_in_copy(c.renewed, bytes));
}

INSTANTIATE_TEST_SUITE_P(Kinds, KindOfLink, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<LinkKind>& i) { return std::string(i.param.name); });

// Different files of one name get numbered names; identical bytes are linked,
// not copied again, also on a second run; the user's own file stays.
TEST_F(PortableRun, NameClashesAndIdenticalCopies) {
  put_file("lib/a/t.png", "A");
  put_file("lib/b/t.png", "B");
  put_file("lib/c/t.png", "mine");
  put_file("lib/m/shared/T.PNG", "mine");
  std::vector<std::string> links = {"..\\a\\t.png", "..\\b\\t.png", "..\\a\\t.png", "..\\c\\t.png"};
  std::vector<std::string> renewed = {"shared\\t (2).png", "shared\\t (3).png", "shared\\t (2).png", "shared\\T.PNG"};
  std::string model = put_model("lib/m/a.pmx", model_with(links));
  for (int pass = 0; pass < 2; pass++) {
    RunResult r = run({"-P", model}, "y\n");
    EXPECT_EQ(0, r.exitCode);
    EXPECT_HAS(r.out, " has 4 texture link(s) that are not portable. \r\n");
    EXPECT_HAS(r.out, "3: ..\\c\\t.png (portable: copied in) => (renew) shared\\T.PNG \n");
    EXPECT_TRUE(same_bytes_of(filled_in(model_with(renewed)), read_file_bytes(tmp / "lib/m/a-new.pmx")));
    EXPECT_EQ((std::vector<std::string>{"T.PNG", "t (2).png", "t (3).png"}), list_dir(tmp / "lib/m/shared"));
  }
  EXPECT_EQ("mine", read_file_bytes(tmp / "lib/m/shared/T.PNG"));
  EXPECT_TRUE(opens_in_copy(renewed[0], "A"));
  EXPECT_TRUE(opens_in_copy(renewed[1], "B"));
}

struct CopyFault {
  const char* name;
  std::vector<std::pair<std::string, std::string>> env;
  const char* reason;
};

const CopyFault kFaults[] = {
    {"disk_full", {{"QM_FI_WRITE_PATH", "/shared/"}, {"QM_FI_WRITE_LIMIT", "4"}}, "no space left on device"},
    {"late_close", {{"QM_FI_WRITE_PATH", "/shared/"}, {"QM_FI_WRITE_LIMIT", "999999"}, {"QM_FI_CLOSE_FAIL", "1"}},
     "i/o error"},
    {"source_read", {{"QM_FI_READ_PATH", "hair.png"}, {"QM_FI_READ_LIMIT", "4"}}, "i/o error"},
    {"create_denied", {{"QM_FI_DENY_PATH", "/shared/"}}, "permission denied"},
    {"rename_refused", {{"QM_FI_RENAME_PATH", "/shared/"}}, "permission denied"},
};

class FailedCopy : public PortableRun, public ::testing::WithParamInterface<CopyFault> {};

// The link stays as it was, nothing partial remains, the other links are still
// made portable, and the unattended run says so in its exit code.
TEST_P(FailedCopy, LeavesTheLinkAndNoFile) {
  const CopyFault& c = GetParam();
  put_file("lib/outside/hair.png", "0123456789");
  put_file("lib/m/tex/a.png", "a");
  std::string model = put_model("lib/m/a.pmx", model_with({"..\\outside\\hair.png", "TEX\\a.png"}));
  std::vector<std::pair<std::string, std::string>> env = c.env;
  env.push_back({"LD_PRELOAD", QM_FAULTINJ});
  env.push_back({"ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0"});
  RunResult r = run({"-P", "-Y", model}, "", "", env);
  EXPECT_EQ(32, r.exitCode);
  EXPECT_HAS(r.out, "0: ..\\outside\\hair.png (not portable: copy failed: " + std::string(c.reason) + ")\n"
                    "1: TEX\\a.png (portable: case) => (renew) tex\\a.png \n");
  EXPECT_HAS(r.out, ", portable 1 (case 1), still broken 0, not portable 1 => saved a-new.pmx \n");
  EXPECT_TRUE(same_bytes_of(filled_in(model_with({"..\\outside\\hair.png", "tex\\a.png"})),
                            read_file_bytes(tmp / "lib/m/a-new.pmx")));
  EXPECT_EQ((std::vector<std::string>{"a-new.pmx", "a.pmx", "tex"}), list_dir(tmp / "lib/m"));
  EXPECT_EQ("0123456789", read_file_bytes(tmp / "lib/outside/hair.png"));
}

INSTANTIATE_TEST_SUITE_P(Faults, FailedCopy, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<CopyFault>& i) { return std::string(i.param.name); });

// An image name can hide a link to a private file: it is not followed into the
// folder to share, and neither is a copy folder that is a link.
TEST_F(PortableRun, LinksAreNotFollowed) {
  put_file("lib/private/id_rsa", "secret");
  ASSERT_TRUE(make_symlink(tmp / "lib/private/id_rsa", tmp / "lib/evil.png"));
  std::string model = put_model("lib/m/a.pmx", model_with({"..\\evil.png"}));
  RunResult r = run({"-P", "-Y", model});
  EXPECT_EQ(32, r.exitCode);
  EXPECT_HAS(r.out, "0: ..\\evil.png (not portable: copy failed: a link to another file)\n");
  EXPECT_FALSE(file_exists(tmp / "lib/m/shared"));

  put_file("lib/outside/b.png", "b");
  ASSERT_TRUE(make_dirs(tmp / "lib/elsewhere") && make_dirs(tmp / "lib/n"));
  ASSERT_TRUE(make_symlink(tmp / "lib/elsewhere", tmp / "lib/n/shared"));
  model = put_model("lib/n/a.pmx", model_with({"..\\outside\\b.png"}));
  r = run({"-P", "-Y", model});
  EXPECT_HAS(r.out, "0: ..\\outside\\b.png (not portable: copy failed: another file of that name is in the way)\n");
  EXPECT_TRUE(list_dir(tmp / "lib/elsewhere").empty());
}

// Answered No, the check's listing is the whole portability check; Cancel ends
// the run; Yes takes the broken links and the portable ones together.
TEST_F(PortableRun, TheQuestion) {
  put_file("lib/m/tex/a.png", "a");
  put_file("lib/shared/b.png", "b");
  put_file("lib/m/textures/gone.png", "g");
  std::string model = put_model("lib/m/a.pmx", model_with({"Tex\\a.png", "..\\shared\\b.png"}));
  RunResult r = run({"-P", model}, "n\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "0: Tex\\a.png (ok) (not portable: case)\n"
                    "1: ..\\shared\\b.png (ok) (not portable: outside the folder)\n");
  EXPECT_HAS(r.out, " => NO \n");
  EXPECT_HAS(r.out, " was uncorrected. \r\n 2 link(s) are not portable. \r\n");
  EXPECT_LACKS(r.out, "--- portable");
  r = run({"-P", model}, "c\n");
  EXPECT_HAS(r.out, " => Cancel \n");
  EXPECT_FALSE(file_exists(tmp / "lib/m/shared"));
  EXPECT_FALSE(file_exists(tmp / "lib/m/a-new.pmx"));

  // Without -P the same links are what they always were.
  r = run({model}, "n\n");
  EXPECT_HAS(r.out, "0: Tex\\a.png (=NG=)\n1: ..\\shared\\b.png (ok)\n");
  EXPECT_LACKS(r.out, "portable");

  std::string broken = put_model("lib/m/b.pmx", model_with({"tex\\gone.png", "..\\shared\\b.png"}));
  r = run({"-P", "-A", broken}, "y\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, " Broken settings of \r\n 1 texture link(s) are found, \r\n and 1 link(s) are not portable. \r\n");
  EXPECT_HAS(r.out, "0: tex\\gone.png (found: moved) => (renew) textures\\gone.png \n");
  EXPECT_HAS(r.out, "--- portable: \n1: ..\\shared\\b.png (portable: copied in) => (renew) shared\\b.png \n");
  EXPECT_HAS(r.out, " Fixed model file  \r\n \r\n b-new.pmx \r\n \r\n was saved. \r\n"
                    " 1 link(s) were made portable. \r\n");
  EXPECT_TRUE(same_bytes_of(filled_in(model_with({"textures\\gone.png", "shared\\b.png"})),
                            read_file_bytes(tmp / "lib/m/b-new.pmx")));
}

// -Y keeps an output that is there already: then -P only checks, and copies
// nothing for a model it does not save; -O lets it do the whole job.
TEST_F(PortableRun, KeptOutputMakesItACheck) {
  put_file("lib/shared/b.png", "b");
  std::string model = put_model("lib/m/a.pmx", model_with({"..\\shared\\b.png"}));
  put_file("lib/m/a-new.pmx", "repaired by hand");
  RunResult r = run({"-P", "-Y", model});
  EXPECT_EQ(32, r.exitCode);
  EXPECT_HAS(r.out, "0: ..\\shared\\b.png (ok) (not portable: outside the folder)\n");
  EXPECT_LACKS(r.out, "--- portable");
  EXPECT_HAS(r.out, ", not portable 1 => not saved: a-new.pmx exists \n");
  EXPECT_FALSE(file_exists(tmp / "lib/m/shared"));
  EXPECT_EQ("repaired by hand", read_file_bytes(tmp / "lib/m/a-new.pmx"));

  r = run({"-P", "-Y", "-O", model});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "0: ..\\shared\\b.png (portable: copied in) => (renew) shared\\b.png \n");
  EXPECT_TRUE(same_bytes_of(filled_in(model_with({"shared\\b.png"})), read_file_bytes(tmp / "lib/m/a-new.pmx")));
}

// -Q keeps one line per link -P changed or found not portable.
TEST_F(PortableRun, QuietLines) {
  put_file("lib/m/tex/a.png", "a");
  put_file("lib/shared/b.png", "b");
  put_file("lib/other/notes.txt", "n");
  std::string model =
      put_model("lib/m/a.pmx", model_with({"tex\\a.png", "TEX\\a.png", "..\\shared\\b.png", "..\\other\\notes.txt"}));
  RunResult r = run({"-P", "-Q", "-Y", model});
  EXPECT_EQ(32, r.exitCode);
  EXPECT_HAS(r.out, "a.pmx \n"
                    "  TEX\\a.png => tex\\a.png (portable: case) \n"
                    "  ..\\shared\\b.png => shared\\b.png (portable: copied in) \n"
                    "  ..\\other\\notes.txt (not portable: not an image) \n"
                    " => saved a-new.pmx \n");
}

TEST_F(PortableRun, JapaneseTexts) {
  put_file("lib/m/tex/a.png", "a");
  put_file("lib/shared/b.png", "b");
  std::string model = put_model("lib/m/a.pmx", model_with({"TEX\\a.png", "..\\shared\\b.png"}));
  RunResult r = run({"-P", "-Y", model}, "", "", {{"LANG", "ja_JP.UTF-8"}});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "0: TEX\\a.png (ok) (ポータブルでない: 大文字小文字)\n"
                    "1: ..\\shared\\b.png (ok) (ポータブルでない: フォルダの外)\n");
  EXPECT_HAS(r.out, "--- ポータブル化: \n0: TEX\\a.png (ポータブル化: 大文字小文字) => (renew) tex\\a.png \n"
                    "1: ..\\shared\\b.png (ポータブル化: 取り込み) => (renew) shared\\b.png \n");
  EXPECT_HAS(r.out, " ポータブル化し、 \r\n");
  EXPECT_HAS(r.out, " 2 個のリンクをポータブル化しました. \r\n");
  EXPECT_HAS(r.out, ", ポータブル化 2 (大文字小文字 1, 取り込み 1), 破損のまま 0 => a-new.pmx へ保存しました \n");
}

}  // namespace
