// Whole-program runs of what becomes of an output: -Y keeps one that is there
// already unless -O, a failed save says why and adds 64 to the exit code (the
// disk made to fail by tests/faultinj), and a run stopped at its first model
// still ends with its summary.
#include <filesystem>

#include "e2e_fixture.h"

namespace {

#define EXPECT_HAS(text, what) EXPECT_NE(std::string::npos, (text).find(what)) << "missing: " << (what) << "\n--- in:\n" << (text)
#define EXPECT_LACKS(text, what) EXPECT_EQ(std::string::npos, (text).find(what)) << "unexpected: " << (what) << "\n--- in:\n" << (text)

using Env = std::vector<std::pair<std::string, std::string>>;

class OutputRun : public ProgramRun {
 protected:
  // m/a.pmx: tex\a.png lies in m/textures (found by -A), gone.png nowhere;
  // a user at the keyboard picks m/other.png for it.
  std::string broken_model() {
    put_file("m/textures/a.png");
    put_file("m/other.png");
    return put_model("m/a.pmx", model_with({"tex\\a.png", "gone.png"}));
  }
  static constexpr const char* kPickOther = "y\n\nother.png\n";
  static std::string backslashed(std::string p) {
    for (char& c : p) if (c == '/') c = '\\';
    return p;
  }
  static std::string summary_of(const std::string& out) {
    size_t at = out.rfind("\nSummary: \n");
    return at == std::string::npos ? "" : out.substr(at);
  }
  static Env with_faults(Env faults) {
    faults.push_back({"LD_PRELOAD", QM_FAULTINJ});
    // A sanitizer build wants its runtime first; ours only wraps the C library.
    faults.push_back({"ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0"});
    return faults;
  }
};

const char kMine[] = "repaired by hand";

// What is at m/a-new.pmx before the run, and whether the run replaces it.
TEST_F(OutputRun, UnattendedKeepsAnExistingOutputUnlessAskedToReplaceIt) {
  enum Before { FILE_THERE, FILE_UNOPENABLE, FOLDER };
  struct Case {
    const char* what;
    std::vector<std::string> options;
    Before before;
    bool replaced;
    int exitCode;
    const char* outcome;  // the summary's end of the model's line; null: no summary
  } cases[] = {
      {"kept", {"-A", "-Y"}, FILE_THERE, false, 32, " => not saved: a-new.pmx exists \n"},
      // Read-only or held by another program: there all the same.
      {"kept_unopenable", {"-A", "-Y"}, FILE_UNOPENABLE, false, 32, " => not saved: a-new.pmx exists \n"},
      {"replaced_with_O", {"-A", "-Y", "-O"}, FILE_THERE, true, 32, " => saved a-new.pmx \n"},
      {"replaced_without_Y", {"-A"}, FILE_THERE, true, 0, nullptr},
      // A folder is no output: the save fails on it.
      {"folder", {"-A", "-Y"}, FOLDER, false, 32 | 64, " => save failed: permission denied \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string model = broken_model();
    std::filesystem::remove_all(tmp / "m/a-new.pmx");
    if (c.before == FOLDER) ASSERT_TRUE(make_dirs(tmp / "m/a-new.pmx"));
    else put_file("m/a-new.pmx", kMine);
    std::vector<std::string> args = c.options;
    args.push_back(model);
    const bool unattended = c.options.size() > 1;
    RunResult r = run(args, unattended ? "" : kPickOther, "",
                      c.before == FILE_UNOPENABLE ? with_faults({{"QM_FI_DENY_PATH", "a-new.pmx"}}) : Env{});
    EXPECT_EQ(c.exitCode, r.exitCode);
    EXPECT_HAS(r.out, "(found: moved) => (renew) textures\\a.png \n");
    EXPECT_EQ(c.options.size() == 3, r.out.find("Overwrite.output = 1 \n") != std::string::npos);
    if (c.before != FOLDER) {
      std::string now = read_file_bytes(tmp / "m/a-new.pmx");
      EXPECT_EQ(c.replaced, now != kMine);
      pmxb::Model want = model_with({"textures\\a.png", unattended ? "gone.png" : "other.png"});
      EXPECT_TRUE(!c.replaced || same_bytes_of(filled_in(want), now));
    }
    EXPECT_EQ(c.replaced, r.out.find("Save OK. \n") != std::string::npos);
    const bool kept = c.before != FOLDER && !c.replaced;
    EXPECT_EQ(kept, r.out.find("Not saved: a-new.pmx exists (-O replaces it). \n\n") != std::string::npos);
    EXPECT_EQ(kept, r.out.find("Saving in") == std::string::npos);
    if (!c.outcome) {
      EXPECT_EQ("", summary_of(r.out));
      continue;
    }
    EXPECT_EQ("\nSummary: \n " + backslashed(model) + ": ok 0, renewed 1 (found: moved 1), still broken 1" +
                  c.outcome + "    still broken: gone.png \n",
              summary_of(r.out));
    EXPECT_FALSE(file_exists(tmp / "m/a-new.pm~"));
  }
}

// Each failure point of a save, under -Y -O over an output of an earlier run:
// the reason in the summary, the renewal still counted, 64 added, the old
// output as it was. Without -Y the exit code stays as it always was.
TEST_F(OutputRun, FailedSaveSaysWhyAndAdds64) {
  struct Case {
    const char* what;
    Env faults;
    const char* reason;
  } cases[] = {
      {"temporary_not_created", {{"QM_FI_DENY_PATH", "a-new.pm~"}}, "permission denied"},
      {"disk_full", {{"QM_FI_WRITE_PATH", "-new.pm"}, {"QM_FI_WRITE_LIMIT", "100"}}, "no space left on device"},
      {"late_close_failure",
       {{"QM_FI_WRITE_PATH", "-new.pm"}, {"QM_FI_WRITE_LIMIT", "100000000"}, {"QM_FI_CLOSE_FAIL", "1"}},
       "i/o error"},
      {"replace_refused", {{"QM_FI_RENAME_PATH", "a-new.pmx"}}, "permission denied"},
  };
  std::string model = broken_model();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    put_file("m/a-new.pmx", kMine);
    RunResult r = run({"-A", "-Y", "-O", model}, "", "", with_faults(c.faults));
    EXPECT_EQ(32 | 64, r.exitCode);
    EXPECT_HAS(r.out, "New PMX save failed. \n");
    EXPECT_EQ("\nSummary: \n " + backslashed(model) +
                  ": ok 0, renewed 1 (found: moved 1), still broken 1 => save failed: " + c.reason +
                  " \n    still broken: gone.png \n",
              summary_of(r.out));
    EXPECT_EQ(kMine, read_file_bytes(tmp / "m/a-new.pmx"));
    EXPECT_FALSE(file_exists(tmp / "m/a-new.pm~"));

    r = run({"-A", model}, kPickOther, "", with_faults(c.faults));
    EXPECT_EQ(0, r.exitCode);
    EXPECT_HAS(r.out, "New PMX save failed. \n");
    EXPECT_LACKS(r.out, "Summary");
  }

  // Refused without asking the system (the output is the source under another
  // name): the refusal's own reason, not one left from an earlier call.
  std::filesystem::remove(tmp / "m/a-new.pmx");
  std::filesystem::create_hard_link(model, tmp / "m/a-new.pmx");
  const std::string source = read_file_bytes(model);
  RunResult r = run({"-A", "-Y", "-O", model});
  EXPECT_EQ(32 | 64, r.exitCode);
  EXPECT_HAS(summary_of(r.out), " => save failed: file in use \n");
  EXPECT_EQ(source, read_file_bytes(model));
}

// The summary names each link left broken, and why the search took no file for it.
TEST_F(OutputRun, SummaryNamesTheLinksLeftBrokenAndWhy) {
  put_file("m/other/o.pmx");
  put_file("m/other/tex/face.png");
  std::string model = put_model("m/a.pmx", model_with({"tex\\face.png", "gone.png"}));
  struct Case {
    Env env;
    const char* header;
    std::string lines;
  } cases[] = {
      {{}, "\nSummary: \n",
       "    still broken: tex\\face.png (not taken: its file lies in another model's folder) \n"
       "    still broken: gone.png \n"},
      {{{"LANG", "ja_JP.UTF-8"}}, "\n処理結果: \n",
       "    破損のまま: tex\\face.png (採用せず: ファイルは別のモデルのフォルダ内にあります) \n"
       "    破損のまま: gone.png \n"},
  };
  for (const Case& c : cases) {
    RunResult r = run({"-A", "-Y", model}, "", "", c.env);
    EXPECT_EQ(32, r.exitCode);
    size_t at = r.out.rfind(c.header);
    ASSERT_NE(std::string::npos, at) << r.out;
    std::string summary = r.out.substr(at);
    EXPECT_EQ(summary.size(), summary.find(c.lines) + c.lines.size()) << summary;
  }
}

// Stopped at its first model, a run of several with an ability of its own
// ends with the summary; a plain run of several prints what it always did.
TEST_F(OutputRun, RunStoppedAtItsFirstModelEndsWithTheSummary) {
  std::string first = broken_model();
  std::string odd = put_model("m/odd.bin", model_with({}));
  std::string second = put_model("m/b.pmx", model_with({}));
  std::string third = put_model("m/c.pmx", model_with({}));
  struct Case {
    const char* what;
    std::vector<std::string> args;
    int exitCode;
    std::string summary;
  } cases[] = {
      {"cancelled", {"-A", first, second, third}, 0,
       "\nSummary: \n " + backslashed(first) + ": ok 0, renewed 0, still broken 2 => not saved: cancelled \n"
       "    still broken: tex\\a.png \n    still broken: gone.png \n"
       " " + backslashed(second) + ": not processed \n " + backslashed(third) + ": not processed \n"},
      {"declined", {"-F", odd, second}, 16,
       "\nSummary: \n " + backslashed(odd) + ": skipped, no \".PMX\" extension \n " + backslashed(second) +
           ": not processed \n"},
      {"plain", {first, second, third}, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunResult r = run(c.args, "c\n");
    EXPECT_EQ(c.exitCode, r.exitCode);
    EXPECT_EQ(c.summary, summary_of(r.out));
    EXPECT_EQ(1, count_of(r.out, "pmx dir:") + count_of(r.out, " does not have extension"));
  }
}

}  // namespace
