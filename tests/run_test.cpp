// Whole-program runs of the texture link check and repair: answers go in on
// stdin, the console text and the written model are checked.
#include <unistd.h>

#include "e2e_fixture.h"

namespace {

#define EXPECT_HAS(text, what) EXPECT_NE(std::string::npos, (text).find(what)) << "missing: " << (what) << "\n--- in:\n" << (text)
#define EXPECT_LACKS(text, what) EXPECT_EQ(std::string::npos, (text).find(what)) << "unexpected: " << (what) << "\n--- in:\n" << (text)

class RepairRun : public ProgramRun {};

TEST_F(RepairRun, AllLinksPresentNeedNoQuestionAndNoSave) {
  put_file("m/tex/a.png");
  put_file("m/toon/t.png");
  std::string model = put_model("m/a.pmx", model_with({"tex\\a.png", "toon\\t.png"}));
  RunResult r = run({model});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "0: tex\\a.png (ok)\n1: toon\\t.png (ok)\n\n");
  EXPECT_LACKS(r.out, "(Y/N/Cancel)");
  EXPECT_HAS(r.out, " All the links in the model \r\n a.pmx \r\n are correct. \r\n \r\n No broken settings found. ");
  EXPECT_EQ((std::vector<std::string>{"a.pmx", "tex", "toon"}), list_dir(tmp / "m"));
  EXPECT_LACKS(r.out, "Error code");
}

TEST_F(RepairRun, ModelWithoutTexturesIsCorrect) {
  std::string model = put_model("m/a.pmx", model_with({}));
  RunResult r = run({model});
  EXPECT_EQ(0, r.exitCode);
  std::string dirLine = "pmx dir: " + tmp.path + "/m/ \n\n";
  for (char& c : dirLine) if (c == '/') c = '\\';
  EXPECT_HAS(r.out, dirLine);
  EXPECT_HAS(r.out, " are correct. \r\n");
}

// No and Cancel at the question, Cancel at the not-found box, and a cancelled
// dialog: nothing is written, and only No gets a report.
struct Declined {
  const char* name;
  const char* input;
  const char* expected;
  bool report;
};

class DeclinedRepair : public RepairRun, public ::testing::WithParamInterface<Declined> {};

TEST_P(DeclinedRepair, WritesNothing) {
  put_file("m/textures/a.png");
  std::string model = put_model("m/a.pmx", model_with({"tex\\a.png"}));
  std::string before = read_file_bytes(model);
  RunResult r = run({model}, GetParam().input);
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "0: tex\\a.png (=NG=)\n\n");
  EXPECT_HAS(r.out, " Broken settings of \r\n 1 texture link(s) are found. \r\n \r\n"
                    " Do you like to fix them?  (Y/N/Cancel) \r\n");
  EXPECT_HAS(r.out, GetParam().expected);
  if (GetParam().report)
    EXPECT_HAS(r.out, " The model \r\n a.pmx \r\n was uncorrected. \r\n");
  else
    EXPECT_LACKS(r.out, "was uncorrected");
  EXPECT_LACKS(r.out, "Save OK");
  EXPECT_LACKS(r.out, "Error code");
  EXPECT_EQ((std::vector<std::string>{"a.pmx", "textures"}), list_dir(tmp / "m"));
  EXPECT_EQ(before, read_file_bytes(model));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DeclinedRepair,
    ::testing::Values(Declined{"No", "n\n", " => NO \n\n", true},
                      Declined{"Cancel", "c\n", " => Cancel \n", false},
                      Declined{"CancelAtNotFound", "y\nc\n", " was not found.  \r\n Please select it on the next dialogue. (continue:OK) \r\n => Cancel \n\n", false},
                      Declined{"DialogCancelled", "y\n\n\n", "\nCannot find tex(0) again:  \n\n", false}),
    [](const ::testing::TestParamInfo<Declined>& p) { return std::string(p.param.name); });

TEST_F(RepairRun, YesPicksOneFileAndInfersTheOther) {
  put_file("m/textures/a.png");
  put_file("m/textures/b.png");
  put_file("m/toon/t.png");
  pmxb::Model source = model_with({"tex\\a.png", "tex\\b.png", "toon\\t.png"});
  std::string model = put_model("m/a.pmx", source);
  std::string before = read_file_bytes(model);

  RunResult r = run({model}, "y\n\ntextures/a.png\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "0: tex\\a.png (=NG=)\n1: tex\\b.png (=NG=)\n2: toon\\t.png (ok)\n\n");
  EXPECT_HAS(r.out, " 2 texture link(s) are found. \r\n");
  EXPECT_HAS(r.out, " => YES \n\n--- \n0: tex\\a.png \n Texture, toon, or sphere: \r\n \r\n a.png \r\n"
                    "   in folder: tex\\ \r\n \r\n was not found.  \r\n");
  EXPECT_HAS(r.out, " => OK \n");
  EXPECT_HAS(r.out, "\n => (renew) textures\\a.png \n1: tex\\b.png (inferred) => (renew) textures\\b.png \n"
                    "2: toon\\t.png (ok)\n\n");
  EXPECT_HAS(r.out, "Saving in ANSI/UTF-8 mode. \n");
  EXPECT_HAS(r.out, "Save OK. \n\n Fixed model file  \r\n \r\n a-new.pmx \r\n \r\n was saved. \r\n\n");
  EXPECT_EQ(1, count_of(r.err, "File> "));  // one dialog only

  pmxb::Model expected = filled_in(model_with({"textures\\a.png", "textures\\b.png", "toon\\t.png"}));
  EXPECT_TRUE(same_bytes_of(expected, read_file_bytes(tmp / "m/a-new.pmx")));
  EXPECT_EQ(before, read_file_bytes(model));
}

TEST_F(RepairRun, ChosenFileWithAnotherNameKeepsThatNameAndTeachesTheFolder) {
  put_file("m/textures/renamed.png");
  put_file("m/textures/b.png");
  std::string model = put_model("m/a.pmx", model_with({"tex\\a.png", "tex\\b.png"}));
  RunResult r = run({model}, "y\n\ntextures/renamed.png\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, " => (renew) textures\\renamed.png \n1: tex\\b.png (inferred) => (renew) textures\\b.png \n");
  pmxb::Model expected = filled_in(model_with({"textures\\renamed.png", "textures\\b.png"}));
  EXPECT_TRUE(same_bytes_of(expected, read_file_bytes(tmp / "m/a-new.pmx")));
}

TEST_F(RepairRun, SecondModelIsInferredFromTheFirst) {
  put_file("m1/textures/a.png");
  put_file("m2/textures/b.png");
  put_file("m2/Textures/c.png");
  std::string m1 = put_model("m1/a.pmx", model_with({"tex\\a.png"}));
  // Tex\ differs from the learned tex\ in letter case, so it is asked for.
  std::string m2 = put_model("m2/b.pmx", model_with({"tex\\b.png", "Tex\\c.png"}));
  RunResult r = run({m1, m2}, "y\n\ntextures/a.png\ny\n\nTextures/c.png\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "0: tex\\b.png (inferred) => (renew) textures\\b.png \n1: Tex\\c.png \n");
  EXPECT_HAS(r.out, " => (renew) Textures\\c.png \n");
  EXPECT_EQ(2, count_of(r.err, "File> "));
  EXPECT_EQ(2, count_of(r.out, "Save OK. \n"));
  EXPECT_TRUE(same_bytes_of(filled_in(model_with({"textures\\b.png", "Textures\\c.png"})), read_file_bytes(tmp / "m2/b-new.pmx")));
}

// A model named by a relative path has no folder in pmxDir; the chosen file
// must still be stored relative to the model's folder.
struct RelativeCase {
  const char* name;
  const char* cwd;   // below the temporary folder
  const char* arg;
};

class RelativeModelPath : public RepairRun, public ::testing::WithParamInterface<RelativeCase> {};

TEST_P(RelativeModelPath, RenewedPathIsRelativeToTheModelFolder) {
  put_file("w/m/textures/a.png");
  put_model("w/m/a.pmx", model_with({"tex\\a.png"}));
  std::string cwd = tmp / GetParam().cwd;
  RunResult r = run({GetParam().arg}, "y\n\ntextures/a.png\n", cwd);
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "\n => (renew) textures\\a.png \n");
  EXPECT_TRUE(same_bytes_of(filled_in(model_with({"textures\\a.png"})), read_file_bytes(tmp / "w/m/a-new.pmx")));
}

INSTANTIATE_TEST_SUITE_P(Paths, RelativeModelPath,
                         ::testing::Values(RelativeCase{"ModelFolder", "w/m", "a.pmx"},
                                           RelativeCase{"ParentFolder", "w", "m/a.pmx"}),
                         [](const ::testing::TestParamInfo<RelativeCase>& p) { return std::string(p.param.name); });

TEST_F(RepairRun, OverlongJoinedPathCountsAsBroken) {
  // A deep model folder plus a long stored path do not fit a path buffer.
  std::string folder = std::string(200, 'd') + "/" + std::string(200, 'e') + "/m";
  std::string longPath = "tex\\" + std::string(110, 'x') + ".png";
  put_file(folder + "/ok.png");
  std::string model = put_model(folder + "/a.pmx", model_with({longPath, "ok.png"}));
  RunResult r = run({model}, "n\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "x.png (=NG=)\n1: ok.png (ok)\n");
  EXPECT_HAS(r.out, " 1 texture link(s) are found. \r\n");
}

TEST_F(RepairRun, FailedWriteLeavesNoFileAndSaysSo) {
  put_file("m/textures/a.png");
  std::string model = put_model("m/a.pmx", model_with({"tex\\a.png"}));
  // Every write to the output fails.
  ASSERT_TRUE(make_symlink("/dev/full", tmp / "m/a-new.pmx"));
  RunResult r = run({model}, "y\n\ntextures/a.png\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "Saving in ANSI/UTF-8 mode. \n");
  EXPECT_HAS(r.out, "New PMX save failed. \n");
  EXPECT_LACKS(r.out, "Save OK");
  EXPECT_LACKS(r.out, "was saved");
  EXPECT_EQ((std::vector<std::string>{"a.pmx", "textures"}), list_dir(tmp / "m"));
}

// An output name that already leads to the source (a link left by an earlier
// tool) must not empty the source when it is created; the link stays.
TEST_F(RepairRun, OutputThatIsTheSourceUnderALinkLeavesTheSourceWhole) {
  const char* hangul = "\xEB\xAA\xA8";  // no Shift-JIS code: the UTF-16 writer
  const struct {
    const char* dir;
    bool hard;
    const char* refusal;
  } cases[] = {{"", false, "Cannot open WR file : "},
               {"", true, "Cannot open WR file : "},
               {hangul, false, "Could not open (WR)(code=32).\n"},
               {hangul, true, "Could not open (WR)(code=32).\n"}};
  for (const auto& c : cases) {
    std::string folder = std::string("m") + (c.hard ? "h" : "s") + c.dir + "/";
    SCOPED_TRACE(folder);
    put_file(folder + "textures/a.png");
    std::string model = put_model(folder + "a.pmx", model_with({"tex\\a.png"}));
    std::string before = read_file_bytes(model);
    std::string out = tmp / (folder + "a-new.pmx");
    ASSERT_TRUE(c.hard ? link(model.c_str(), out.c_str()) == 0 : make_symlink("a.pmx", out));
    RunResult r = run({model}, "y\n\ntextures/a.png\n");
    EXPECT_EQ(0, r.exitCode);
    EXPECT_HAS(r.out, c.refusal);
    EXPECT_HAS(r.out, "New PMX save failed. \n");
    EXPECT_LACKS(r.out, "Save OK");
    EXPECT_TRUE(before == read_file_bytes(model)) << "the source changed";
    EXPECT_EQ((std::vector<std::string>{"a-new.pmx", "a.pmx", "textures"}), list_dir(tmp / folder));
  }
}

// A model path of 516 bytes still fits its buffer, its output name does not:
// the save fails like a write that cannot start, and nothing is cut short.
TEST_F(RepairRun, OutputNameThatDoesNotFitFailsTheSave) {
  // The first model teaches tex\ -> the model folder itself, so the second,
  // whose folder is too deep for the dialog, is repaired by inference.
  put_file("m1/a.png");
  std::string first = put_model("m1/a.pmx", model_with({"tex\\a.png"}));
  std::string rel;
  for (int left = 511 - (int)tmp.path.size() - 1; left > 0;) {
    int n = left - 1 < 200 ? left - 1 : 200;
    rel += std::string(n, 'd') + "/";
    left -= n + 1;
  }
  ASSERT_EQ(511u, (tmp / rel).size());
  put_file(rel + "a.png");
  std::string second = put_model(rel + "b.pmx", model_with({"tex\\a.png"}));
  RunResult r = run({first, second}, "y\n\na.png\ny\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "0: tex\\a.png (inferred) => (renew) a.png \n\n"
                    "Saving in ANSI/UTF-8 mode. \nNew PMX save failed. \n");
  EXPECT_EQ(1, count_of(r.out, "Save OK. \n"));
  EXPECT_EQ((std::vector<std::string>{"a.png", "b.pmx"}), list_dir(tmp / rel));
}

TEST_F(RepairRun, PathOutsideTheAnsiCodePageIsHandledInUtf16) {
  // Hangul has no Shift-JIS code: the ANSI path fails and UTF-16 takes over.
  put_file("m/\xEB\xAA\xA8\xEB\x8D\xB8/textures/a.png");
  std::string model = put_model("m/\xEB\xAA\xA8\xEB\x8D\xB8/a.pmx", model_with({"tex\\a.png"}));
  RunResult r = run({model}, "y\n\ntextures/a.png\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "Re-opening in UTF-16. \n");
  EXPECT_LACKS(r.out, "does not have extension");
  EXPECT_HAS(r.out, " => (renew) textures\\a.png ");
  EXPECT_HAS(r.out, "Saving in UTF-16 mode. \n");
  // The ANSI search cannot find the new file, so the printed text names none;
  // the UTF-16 box shows it.
  EXPECT_HAS(r.out, "Save OK. \n\n Fixed model file  \r\n \r\n  \r\n \r\n was saved. \r\n\n");
  EXPECT_TRUE(same_bytes_of(filled_in(model_with({"textures\\a.png"})), read_file_bytes(tmp / "m/\xEB\xAA\xA8\xEB\x8D\xB8/a-new.pmx")));
}

// The bundled demo, answered as in its transcript.
TEST_F(RepairRun, DemoModelIsRepaired) {
  std::string demo = source_dir() + "/examples/demo";
  for (const char* rel : {"model.pmx", "textures/body.png", "textures/face.png", "toon/toon01.png"})
    ASSERT_TRUE(write_file_bytes(tmp / (std::string("run/") + rel), read_file_bytes(demo + "/" + rel))) << rel;
  RunResult r = run({"model.pmx"}, "y\n\ntextures/body.png\n", tmp / "run");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "0: tex\\body.png (=NG=)\n1: tex\\face.png (=NG=)\n2: toon\\toon01.png (ok)\n");
  EXPECT_HAS(r.out, "1: tex\\face.png (inferred) => (renew) textures\\face.png \n");
  EXPECT_HAS(r.out, "Save OK. \n");
  EXPECT_TRUE(file_exists(tmp / "run/model-new.pmx"));
}

}  // namespace
