// Whole-program runs with -Q: per model only its line, its links that are not
// (ok), its problems and its result; the same files and exit code as without.
#include "e2e_fixture.h"
#include "encoding/codec.h"
#include "encoding/name_mangle.h"
#include "text/sjis.h"

namespace {

#define EXPECT_HAS(text, what) \
  EXPECT_NE(std::string::npos, (text).find(what)) << "missing: " << (what) << "\n--- in:\n" << (text)
#define EXPECT_LACKS(text, what) \
  EXPECT_EQ(std::string::npos, (text).find(what)) << "unexpected: " << (what) << "\n--- in:\n" << (text)

class QuietRun : public ProgramRun {
 protected:
  std::string win(const std::string& rel) {
    std::string p = tmp / rel;
    for (char& c : p)
      if (c == '/') c = '\\';
    return p;
  }
  // The lines between the option pass (its last line starts with `last`) and the summary.
  static std::string model_lines(const std::string& out, const std::string& last) {
    size_t from = out.find(last);
    if (from == std::string::npos) return "";
    from = out.find('\n', from) + 1;
    size_t to = out.find("\nSummary: \n");
    return out.substr(from, to == std::string::npos ? std::string::npos : to - from);
  }
};

// A folder of four models: links fine; renewed, shared toon and left broken;
// no model at all; a renewal whose save fails. Under -A -Y -Q each model stays
// within 4 lines plus one per link that is not (ok), and the files written and
// the exit code are those of the same run without -Q.
TEST_F(QuietRun, UnattendedBatchKeepsTheModelLinesOnly) {
  put_file("bin/alias.ini", "-Bone\n\"\xE5\xB7\xA6\" \"L_\"\n");
  put_file("m/a.png");
  put_model("m/a.pmx", model_with({"a.png"}));
  put_file("m/pics/b.png");
  put_model("m/b.pmx", model_with({"tex\\b.png", "toon01.bmp", "gone.png", "a.png"}));
  put_file("m/c.pmx", "no model");
  put_file("m/sub/d.png");
  put_model("m/d.pmx", model_with({"x\\d.png"}));
  ASSERT_TRUE(make_dirs(tmp / "m/d-new.pmx"));

  RunResult plain = run({"-A", "-Y", tmp / "m"});
  std::string savedPlain = read_file_bytes(tmp / "m/b-new.pmx");
  ASSERT_FALSE(savedPlain.empty()) << plain.out;
  ASSERT_TRUE(std::remove((tmp / "m/b-new.pmx").c_str()) == 0);

  RunResult r = run({"-A", "-Y", "-Q", tmp / "m"});
  EXPECT_EQ("", r.err);
  EXPECT_EQ(plain.exitCode, r.exitCode);
  EXPECT_EQ(savedPlain, read_file_bytes(tmp / "m/b-new.pmx"));
  EXPECT_HAS(r.out, "Quiet.mode = 1 \n");
  const std::string lines = model_lines(r.out, "Folder: ");
  EXPECT_EQ("[1/4] " + win("m/a.pmx") + " \n"
            " => not saved: all links correct \n"
            "[2/4] " + win("m/b.pmx") + " \n"
            "  tex\\b.png => pics\\b.png (found: moved) \n"
            "  toon01.bmp (shared toon) \n"
            "  gone.png (left broken) \n"
            " => saved b-new.pmx \n"
            "[3/4] " + win("m/c.pmx") + " \n"
            " => not read (pmdinforead err 2) \n"
            "[4/4] " + win("m/d.pmx") + " \n"
            "  x\\d.png => sub\\d.png (found: moved) \n"
            " => save failed: permission denied \n"
            "Error code 2. \n"
            ": file format. \n",
            lines);
  const int nonOk = 4;
  EXPECT_LE(count_of(lines, "\n"), 4 * 4 + nonOk + 2);
  EXPECT_HAS(r.out, "\nSummary: \n");
  for (const char* gone : {" b-rep ", "Alias file", "Reading from", "pmxnewtexlistpath", "(bone ", "pmx dir", "--- \n"})
    EXPECT_LACKS(r.out, gone);
}

// Each bound a model meets is one line of its own.
TEST_F(QuietRun, BoundsAreOneLineEach) {
  put_file("m/a.png");
  put_model("m/many.pmx", model_with(std::vector<std::string>(1030, "a.png")));
  put_file("deep/1/2/3/4/5/6/7/8/9/x.png");
  put_model("deep/d.pmx", model_with({"gone.png"}));
  struct Case {
    std::vector<std::string> args;
    std::string line;
  } cases[] = {
      {{"-Y", "-Q", tmp / std::string(600, 'x') + ".pmx"}, " => not read: path longer than 519 bytes \n"},
      {{"-Y", "-Q", tmp / "m/many.pmx"}, "  textures past the first 1024 not checked (1030 in the model) \n"},
      {{"-A", "-Y", "-Q", tmp / "deep/d.pmx"},
       "   (search: the listing below the model's folder stopped at 8 levels; deeper files were not searched) \n"},
  };
  for (const Case& c : cases) {
    RunResult r = run(c.args);
    EXPECT_EQ(1, count_of(r.out, c.line)) << r.out;
    EXPECT_LE(count_of(model_lines(r.out, "Quiet.mode"), "\n"), 4 + 2) << r.out;  // with "Error code" and its reason
  }
}

// -R under -Q: a link whose file was moved back is listed with its tag, and a
// log of the moves that cannot be written is a problem of its own line.
TEST_F(QuietRun, RestoredLinkAndItsLogProblem) {
  char16_t w[64], m[64];
  utf8_to_wide(w, 64, "\xE6\x9C\x8D.png");  // 服.png
  ASSERT_TRUE(link_mangle(MANGLE_CP1252, w, wide_len(w), m, 64));
  char mangled[192];
  wide_to_utf8(mangled, sizeof mangled, m);
  put_file(std::string("m/") + mangled, "fuku");
  ASSERT_TRUE(make_dirs(tmp / "m/quillmend-renames.txt"));
  std::string model = put_model("m/a.pmx", model_with({"\xE6\x9C\x8D.png"}));
  RunResult r = run({"-R", "-Y", "-Q", model});
  EXPECT_EQ(0, r.exitCode) << r.out;
  const std::string lines = model_lines(r.out, "Quiet.mode");
  EXPECT_HAS(lines, "quillmend-renames.txt, could not be written (error 5). \n");
  EXPECT_HAS(lines, "  \xE6\x9C\x8D.png (restored) \n");
  EXPECT_LE(count_of(lines, "\n"), 4 + 1) << lines;
}

// Asked at the terminal, a question's text is the box itself and -Q keeps it
// (once); the answers' echo and the report box are left out. -Q after the model
// silences the model's test open too, and the run ends with the summary.
TEST_F(QuietRun, QuestionsStillShowTheirTextOnce) {
  put_file("m/pics/b.png");
  std::string model = put_model("m/a.pmx", model_with({"tex\\b.png", "tex\\c.png"}));
  put_file("m/pics/c.png");
  RunResult r = run({model, "-Q"}, "y\n\npics/b.png\n");
  EXPECT_EQ(0, r.exitCode) << r.out << r.err;
  EXPECT_EQ(1, count_of(r.out, "Do you like to fix them?"));
  EXPECT_EQ(1, count_of(r.out, " was not found. "));
  EXPECT_HAS(r.err, "Quillmend [Yes/No/Cancel]? ");
  EXPECT_HAS(r.out, "[1/1] " + win("m/a.pmx") + " \n");
  EXPECT_HAS(r.out, "  tex\\b.png => pics\\b.png (picked) \n"
                    "  tex\\c.png => pics\\c.png (inferred) \n"
                    " => saved a-new.pmx \n");
  for (const char* gone : {" => YES", "was saved.", " -- correctly opened", "Save OK"}) EXPECT_LACKS(r.out, gone);
  EXPECT_HAS(r.out, "\nSummary: \n");  // as with -Y
}

}  // namespace
