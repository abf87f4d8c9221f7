// Whole-program runs without anybody at the keyboard: -Y with stdin closed,
// folders as arguments, the help text, the closing summary and exit codes.
#include <filesystem>

#include "e2e_fixture.h"

namespace {

#define EXPECT_HAS(text, what) EXPECT_NE(std::string::npos, (text).find(what)) << "missing: " << (what) << "\n--- in:\n" << (text)
#define EXPECT_LACKS(text, what) EXPECT_EQ(std::string::npos, (text).find(what)) << "unexpected: " << (what) << "\n--- in:\n" << (text)

class BatchRun : public ProgramRun {
 protected:
  // Runs with stdin closed at once: any question would read end of input.
  RunResult unattended(const std::vector<std::string>& args,
                       const std::vector<std::pair<std::string, std::string>>& env = {}) {
    RunResult r = run(args, "", "", env);
    EXPECT_EQ("", r.err) << "a prompt was written";
    return r;
  }
  // The summary: everything from its header on.
  static std::string summary_of(const std::string& out, const char* header = "\nSummary: \n") {
    size_t at = out.rfind(header);
    return at == std::string::npos ? "" : out.substr(at);
  }
  static std::string backslashed(std::string p) {
    for (char& c : p) if (c == '/') c = '\\';
    return p;
  }
};

const std::vector<std::pair<std::string, std::string>> kJapanese = {{"LANG", "ja_JP.UTF-8"}};

// ---- -Y ----------------------------------------------------------------------

TEST_F(BatchRun, UnattendedKeepsWhatNothingRepairsAndEndsWith32) {
  put_file("m/tex/a.png");
  std::string model = put_model("m/a.pmx", model_with({"tex\\a.png", "tex\\b.png", "c.png"}));
  RunResult r = unattended({"-Y", model});
  EXPECT_EQ(32, r.exitCode);
  EXPECT_HAS(r.out, "Auto.answer = 1 \n");
  EXPECT_HAS(r.out, " Do you like to fix them?  (Y/N/Cancel) \r\n => YES \n\n--- \n0: tex\\a.png (ok)\n"
                    "1: tex\\b.png (left broken)\n2: c.png (left broken)\n\n");
  EXPECT_LACKS(r.out, "was not found");
  EXPECT_HAS(r.out, " The model \r\n a.pmx \r\n was uncorrected. \r\n 2 texture link(s) are left broken. \r\n");
  EXPECT_LACKS(r.out, "Error code");
  EXPECT_EQ("\nSummary: \n " + backslashed(model) +
                ": ok 1, renewed 0, still broken 2 => not saved: no link renewed \n"
                "    still broken: tex\\b.png \n"
                "    still broken: c.png \n",
            summary_of(r.out));
  EXPECT_EQ((std::vector<std::string>{"a.pmx", "tex"}), list_dir(tmp / "m"));
}

// Read once for the run, the dictionary still comes where a one-model run has always printed it.
TEST_F(BatchRun, UnattendedRunStartsAsTheAskingRunDoes) {
  std::string model = put_model("m/a.pmx", model_with({"gone.png"}));
  auto head = [](const std::string& out) { return out.substr(0, out.find("Reading from:")); };
  std::string asking = head(run({model}, "n\n").out);
  std::string unattendedHead = head(unattended({"-Y", model}).out);
  const std::string echoLine = "Auto.answer = 1 \n";
  size_t echo = unattendedHead.find(echoLine);
  ASSERT_NE(std::string::npos, echo);
  EXPECT_EQ(asking, unattendedHead.erase(echo, echoLine.size()));
}

TEST_F(BatchRun, UnattendedWithAllLinksFineEndsWith0) {
  put_file("m/a.png");
  std::string model = put_model("m/a.pmx", model_with({"a.png"}));
  RunResult r = unattended({"-Y", model});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, " No broken settings found. \n");
  EXPECT_HAS(r.out, ": ok 1, renewed 0, still broken 0 => not saved: all links correct \n");
}

// The twist-axis fix is a reason to save: the links nothing repairs go into
// the new file as they were stored, and the report counts them.
TEST_F(BatchRun, UnattendedTwistFixSavesAndCountsTheBrokenLinks) {
  pmxb::Model source = model_with({"tex\\b.png"});
  for (auto& b : source.bones)
    if (b.name == "左腕捩") b.axis[0] = 1.0f, b.axis[1] = 0.0f;
  std::string model = put_model("m/a.pmx", source);
  RunResult r = unattended({"-T", "-Y", model});
  EXPECT_EQ(32, r.exitCode);
  EXPECT_HAS(r.out, " Do you like to fix them?  (Y/N/Cancel) \r\n => YES \n\npmx dir:");
  EXPECT_HAS(r.out, "0: tex\\b.png (left broken)\n");
  EXPECT_HAS(r.out, "Save OK. \n\n Fixed model file  \r\n \r\n a-new.pmx \r\n \r\n was saved. \r\n"
                    " 1 texture link(s) are left broken. \r\n");
  EXPECT_HAS(summary_of(r.out), ": ok 0, renewed 0, still broken 1 => saved a-new.pmx \n");
  // The stored link is kept.
  std::string written = read_file_bytes(tmp / "m/a-new.pmx");
  std::vector<uint8_t> link = pmxb::encode_text("tex\\b.png", pmxb::UTF16LE);
  EXPECT_NE(std::string::npos, written.find(std::string(link.begin(), link.end())));
}

TEST_F(BatchRun, UnattendedExtensionPromptTakesOk) {
  std::string model = put_model("m/model.bin", model_with({}));
  RunResult r = unattended({"-Y", model});
  EXPECT_EQ(0, r.exitCode);
  // Unattended, alias.ini is read once, before the first model.
  EXPECT_HAS(r.out, " -- correctly opened in ANSI or UTF-8. \n\nBones: \n");
  EXPECT_HAS(r.out, " Do you like to continue? \nReading from: ");
  EXPECT_HAS(r.out, " are correct. \r\n");
}

TEST_F(BatchRun, UnattendedJapanese) {
  std::string model = put_model("m/a.pmx", model_with({"tex\\b.png"}));
  RunResult r = unattended({"-Y", model}, kJapanese);
  EXPECT_EQ(32, r.exitCode);
  EXPECT_HAS(r.out, "0: tex\\b.png (破損したまま)\n");
  EXPECT_HAS(r.out, " は修復しませんでした. \r\n 1 個のテクスチャへのリンクが \r\n 破損したままです. \r\n");
  EXPECT_HAS(r.out, "\n処理結果: \n " + backslashed(model) +
                        ": 正常 0, 更新 0, 破損のまま 1 => 保存なし: 更新できたリンクなし \n");
}

// Nobody could answer the model dialog: the usage, no notice, no prompt.
TEST_F(BatchRun, UnattendedWithoutAModelPrintsTheUsage) {
  TempDir empty("empty");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-Y"}, {"-Y", empty.path}}) {
    RunResult r = unattended(args);
    EXPECT_EQ(0, r.exitCode);
    EXPECT_HAS(r.out, "Usage \n   Quillmend <pmxFileName>.pmx \n");
    EXPECT_LACKS(r.out, "No dropped PMX file");
    EXPECT_LACKS(r.out, "Summary");
  }
}

// ---- folders -------------------------------------------------------------------

// A tree as users keep it: models in nested folders, the outputs of an
// earlier run, other files, a linked folder and one too deep to be listed.
TEST_F(BatchRun, FolderStandsForTheModelsBelowIt) {
  put_model("f/b.pmx", model_with({}));
  put_model("f/A.PMX", model_with({}));
  put_model("f/A-new.pmx", model_with({}));
  put_model("f/b-NEW.PMX", model_with({}));
  put_model("f/sub/c.pmx", model_with({}));
  put_model("f/sub-x.pmx", model_with({}));
  put_model("f/a/b/c/d/e/f/g/h/deep8.pmx", model_with({}));
  put_model("f/a/b/c/d/e/f/g/h/i/deep9.pmx", model_with({}));
  put_file("f/readme.txt");
  put_file("f/notes.pmx.txt");
  ASSERT_TRUE(make_dirs(tmp / "f/dir.pmx"));
  ASSERT_TRUE(make_symlink(tmp / "f", tmp / "f/sub/loop"));
  std::string single = put_model("m/z.pmx", model_with({}));
  RunResult r = unattended({tmp / "f/", single, "-D0"});
  EXPECT_EQ(0, r.exitCode);
  std::string f = backslashed(tmp / "f") + "\\";
  EXPECT_HAS(r.out, "Folder: " + f + " => 5 model(s) \n -- correctly opened in ANSI or UTF-8. \n"
                    "Info.displayLevel = 0. \n");
  // Byte order of the paths with '/' between folders: "sub-x" before "sub/".
  EXPECT_EQ("\nSummary: \n"
            " " + f + "A.PMX: ok 0, renewed 0, still broken 0 => not saved: all links correct \n"
            " " + f + "a\\b\\c\\d\\e\\f\\g\\h\\deep8.pmx: ok 0, renewed 0, still broken 0 => not saved: all links correct \n"
            " " + f + "b.pmx: ok 0, renewed 0, still broken 0 => not saved: all links correct \n"
            " " + f + "sub-x.pmx: ok 0, renewed 0, still broken 0 => not saved: all links correct \n"
            " " + f + "sub\\c.pmx: ok 0, renewed 0, still broken 0 => not saved: all links correct \n"
            " " + backslashed(single) + ": ok 0, renewed 0, still broken 0 => not saved: all links correct \n",
            summary_of(r.out));
  EXPECT_EQ(6, count_of(r.out, "pmx dir:"));
}

// The models of a folder fill the argument lists up to their 511 entries.
TEST_F(BatchRun, FolderBeyondTheArgumentLimitIsCut) {
  for (char c = 'a'; c <= 'j'; ++c) put_model(std::string("f/") + c + ".pmx", model_with({}));
  std::vector<std::string> args(505, "-D0");
  args.push_back(tmp / "f");
  args.push_back(put_model("m/after.pmx", model_with({})));
  RunResult r = unattended(args);
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, " => 10 model(s) \nToo many command line parameters.\n");
  EXPECT_EQ(1, count_of(r.out, "Too many command line parameters.\n"));
  // Program, 505 options, 5 models.
  EXPECT_EQ(5, count_of(r.out, "pmx dir:"));
  EXPECT_HAS(r.out, "e.pmx: ok 0");
  EXPECT_LACKS(r.out, "f.pmx: ok 0");
  EXPECT_LACKS(r.out, "after.pmx");
}

// ---- help ------------------------------------------------------------------------

// Help and the version are printed at once, before any model, whatever the
// letter case; neither starts a run.
TEST_F(BatchRun, HelpAndVersionArePrintedAtOnceInTheMessageLanguage) {
  std::string model = put_model("m/a.pmx", model_with({"tex\\b.png"}));
  const std::string title = "Quillmend  V1.02  (c) 2026 Quillmend developers\n";
  struct Case {
    const char* arg;
    bool japanese;
    const char* first;  // null: the title line alone
  } cases[] = {
      {"-h", false, "Usage: quillmend [options] <model.pmx | folder> ...\n"},
      {"-H", false, "Usage: quillmend"},
      {"--help", false, "Usage: quillmend"},
      {"--HELP", false, "Usage: quillmend"},
      {"-?", true, "使い方: quillmend [オプション] <モデル.pmx | フォルダ> ...\n"},
      {"--version", false, nullptr},
      {"--Version", true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arg);
    RunResult r = unattended({"-Y", model, c.arg}, c.japanese ? kJapanese : decltype(kJapanese){});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_FALSE(file_exists(tmp / "m/a-new.pmx"));
    if (!c.first) {
      EXPECT_EQ(title, r.out);
      continue;
    }
    EXPECT_EQ(0u, r.out.find(title + c.first));
    for (const char* option : {"-D<n>", "-M<n>", "-E<x>, -EA<x>", "-ND<n>", "-T ", "-A ", "-Y ", "-F ", "-O ",
                               "-h, -H, --help, -?", "--version"})
      EXPECT_HAS(r.out, std::string("\n ") + option);
    EXPECT_HAS(r.out, c.japanese ? "保存に失敗したモデルがあると 64 を加えます" : "and 64 when a save failed.\n");
    EXPECT_LACKS(r.out, "Option error");
    EXPECT_LACKS(r.out, "Reading from");
  }
}

// ---- the summary of an attended run -----------------------------------------------

// More than one model in a run with an ability of its own (here -F, which
// changes nothing for models without names to fill, and says so): the run's own output is
// unchanged and the summary follows it. Without any such option a run of
// several models prints what it always did.
TEST_F(BatchRun, SeveralModelsEndWithTheSummary) {
  put_file("m/tex/a.png");
  // English names filled in already, so -F finds nothing to do.
  std::string ok = put_model("m/ok.pmx", filled_in(model_with({"tex\\a.png"})));
  std::string no = put_model("m/no.pmx", filled_in(model_with({"tex\\b.png"})));
  std::string fixed = put_model("m/fix.pmx", filled_in(model_with({"tex\\a.png", "old\\a.png", "old\\c.png"})));
  put_file("m/new/c.png");
  std::string odd = put_model("m/odd.bin", filled_in(model_with({})));
  std::string never = put_model("m/never.pmx", filled_in(model_with({})));
  const std::string answers = "n\ny\n\ntex/a.png\n\nnew/c.png\nc\n";
  RunResult plain = run({ok, no, fixed, odd, never}, answers);
  EXPECT_EQ(16, plain.exitCode);
  EXPECT_LACKS(plain.out, "Summary");
  std::filesystem::remove(tmp / "m/fix-new.pmx");
  RunResult r = run({"-F=1", ok, no, fixed, odd, never}, answers);
  EXPECT_EQ(16, r.exitCode);
  std::string withoutEcho = r.out;
  size_t echo = withoutEcho.find("Fill.names = 1 \n");
  ASSERT_NE(std::string::npos, echo);
  withoutEcho.erase(echo, 16);
  EXPECT_EQ(plain.out, withoutEcho.substr(0, plain.out.size()));
  size_t end = r.out.find("Error code 16. \n");
  ASSERT_NE(std::string::npos, end);
  EXPECT_EQ(end + 16, r.out.find("\nSummary: \n"));
  EXPECT_EQ("\nSummary: \n"
            " " + backslashed(ok) + ": ok 1, renewed 0, still broken 0 => not saved: nothing to change \n"
            " " + backslashed(no) + ": ok 0, renewed 0, still broken 1 => not saved: answered No \n"
            "    still broken: tex\\b.png \n"
            " " + backslashed(fixed) + ": ok 1, renewed 2 (picked 2), still broken 0 => saved fix-new.pmx \n"
            " " + backslashed(odd) + ": skipped, no \".PMX\" extension \n"
            " " + backslashed(never) + ": not processed \n",
            summary_of(r.out));
  // One model and no -Y: no summary.
  r = run({ok});
  EXPECT_LACKS(r.out, "Summary");
}

}  // namespace
