// Whole-program runs of the model loop: extension prompt, start without a
// model, unreadable models, Japanese messages and the twist-axis question.
#include <cstring>

#include "e2e_fixture.h"

namespace {

#define EXPECT_HAS(text, what) EXPECT_NE(std::string::npos, (text).find(what)) << "missing: " << (what) << "\n--- in:\n" << (text)
#define EXPECT_LACKS(text, what) EXPECT_EQ(std::string::npos, (text).find(what)) << "unexpected: " << (what) << "\n--- in:\n" << (text)

class LoopRun : public ProgramRun {};

const char kNotice[] =
    " Model: \n   model.bin \n does not have extension \".PMX\" in the file name. \n Do you like to continue? \n";

TEST_F(LoopRun, ExtensionPromptAnsweredOkProcessesTheFile) {
  std::string model = put_model("m/model.bin", model_with({}));
  RunResult r = run({model}, "ok\n");
  EXPECT_EQ(0, r.exitCode);
  // The notice is the prompt's console form; the box text is not printed again.
  EXPECT_HAS(r.out, std::string(kNotice) + "Bones: \n");
  EXPECT_LACKS(r.out, "the file name. \r\n");
  EXPECT_HAS(r.out, " are correct. \r\n");
}

TEST_F(LoopRun, ExtensionPromptCancelledEndsTheRunWith16) {
  std::string model = put_model("m/model.bin", model_with({}));
  RunResult r = run({model}, "c\n");
  EXPECT_EQ(16, r.exitCode);
  // The notice, no echo, the decline notice, then the end.
  EXPECT_HAS(r.out, std::string(" -- correctly opened in ANSI or UTF-8. \n\n") + kNotice +
                        "The conversion for this file was skipped (or aborted). \n"
                        " \nNo file was modified. \n\nError code 16. \n");
  EXPECT_LACKS(r.out, "pmx dir:");
}

TEST_F(LoopRun, DeclinedFirstModelStopsTheSecond) {
  std::string first = put_model("m/model.bin", model_with({}));
  std::string second = put_model("m/b.pmx", model_with({}));
  RunResult r = run({first, second}, "c\n");
  EXPECT_EQ(16, r.exitCode);
  EXPECT_LACKS(r.out, "No file was modified");  // not the last argument
  EXPECT_LACKS(r.out, "pmx dir:");
}

TEST_F(LoopRun, DeclinedLastModelAfterASaveSaysNothingOfUnmodifiedFiles) {
  put_file("m/textures/a.png");
  std::string first = put_model("m/a.pmx", model_with({"tex\\a.png"}));
  std::string second = put_model("m/model.bin", model_with({}));
  RunResult r = run({first, second}, "y\n\ntextures/a.png\nc\n");
  EXPECT_EQ(16, r.exitCode);
  EXPECT_HAS(r.out, "Save OK. \n");
  EXPECT_HAS(r.out, " Do you like to continue? \nThe conversion for this file was skipped (or aborted). \n\n"
                    "Error code 16. \n");
  EXPECT_LACKS(r.out, "No file was modified");
}

TEST_F(LoopRun, ExtensionPromptSuppressedByNd2) {
  std::string model = put_model("m/model.bin", model_with({}));
  RunResult r = run({"-ND2", model});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_LACKS(r.out, "does not have extension");
  EXPECT_HAS(r.out, " are correct. \r\n");
}

TEST_F(LoopRun, OutputNameOfAFileWithoutPmxExtension) {
  put_file("m/textures/a.png");
  std::string model = put_model("m/model.bin", model_with({"tex\\a.png"}));
  RunResult r = run({"-ND2", model}, "y\n\ntextures/a.png\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_TRUE(file_exists(tmp / "m/model-new.bin"));
  EXPECT_HAS(r.out, " model-new.bin \r\n");
}

TEST_F(LoopRun, UpperCaseExtensionIsKeptInTheOutputName) {
  put_file("m/textures/a.png");
  std::string model = put_model("m/A.PMX", model_with({"tex\\a.png"}));
  RunResult r = run({model}, "y\n\ntextures/a.png\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_LACKS(r.out, "does not have extension");
  EXPECT_TRUE(file_exists(tmp / "m/A-new.PMX"));
}

TEST_F(LoopRun, NoArgumentAndDialogCancelledPrintsUsage) {
  RunResult r = run({});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "No dropped PMX file detected. \n Please select PMX file(s). \n");
  EXPECT_HAS(r.out, "Usage \n   Quillmend <pmxFileName>.pmx \n");
  EXPECT_LACKS(r.out, "pmx dir:");
}

TEST_F(LoopRun, OptionEntriesAreNotModels) {
  std::string model = put_model("m/a.pmx", model_with({}));
  RunResult r = run({"-D0", model, "-X"});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_EQ(1, count_of(r.out, "pmx dir:"));
  // Reported in the option pass and once more by the loop.
  EXPECT_EQ(2, count_of(r.out, "\nOption error: <X> 58"));
}

// A model that cannot be read is left alone, the next one is processed, and
// the run ends with the reader's code.
struct Unreadable {
  const char* what;
  int code;
  int exitCode;
  const char* text;
};

class UnreadableModel : public LoopRun, public ::testing::WithParamInterface<Unreadable> {};

TEST_P(UnreadableModel, IsSkippedAndReported) {
  std::string good = put_model("m/good.pmx", model_with({"tex\\a.png"}));
  std::string bad = tmp / "m/bad.pmx";
  std::string what = GetParam().what;
  if (what == "garbage") {
    put_file("m/bad.pmx", "not a model at all");
  } else if (what == "truncated") {
    // Ends right after the joint count: the reader stops at joint 0.
    pmxb::Layout lay;
    std::vector<uint8_t> bytes = model_with({"tex\\b.png"}).build(&lay);
    put_file("m/bad.pmx", bytes_of(pmxb::truncated(bytes, lay.jointCountPos + 4)));
  }
  // The good model first: the bad one must not reuse its tables.
  RunResult r = run({good, bad}, "n\n");
  EXPECT_EQ(GetParam().exitCode, r.exitCode);
  EXPECT_LACKS(r.out, "does not have extension");
  char line[64];
  std::snprintf(line, sizeof line, "pmdinforead err %d. \n", GetParam().code);
  EXPECT_HAS(r.out, std::string("Re-opening in UTF-16. \n"));
  EXPECT_HAS(r.out, line);
  EXPECT_EQ(1, count_of(r.out, "pmx dir:"));
  EXPECT_EQ(1, count_of(r.out, "(Y/N/Cancel)"));
  std::snprintf(line, sizeof line, "Error code %d. \n", GetParam().code);
  EXPECT_HAS(r.out, std::string(line) + GetParam().text);
  std::vector<std::string> files{"bad.pmx", "good.pmx"};
  if (what == "missing") files.erase(files.begin());
  EXPECT_EQ(files, list_dir(tmp / "m"));  // nothing written
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, UnreadableModel,
    ::testing::Values(Unreadable{"missing", -1, 255, ": cannot open file. \n"},
                      Unreadable{"garbage", 2, 2, ": file format. \n"},
                      Unreadable{"truncated", 3, 3, ": file end before closing. \n"}),
    [](const ::testing::TestParamInfo<Unreadable>& p) { return std::string(p.param.what); });

TEST_F(LoopRun, UnreadableModelBeforeAGoodOne) {
  std::string good = put_model("m/good.pmx", model_with({}));
  RunResult r = run({tmp / "m/none.pmx", good});
  EXPECT_EQ(255, r.exitCode);
  EXPECT_HAS(r.out, "pmdinforead err -1. \n");
  EXPECT_HAS(r.out, " All the links in the model \r\n good.pmx \r\n");
  EXPECT_HAS(r.out, "Error code -1. \n: cannot open file. \n");
}

const std::vector<std::pair<std::string, std::string>> kJapanese = {{"LANG", "ja_JP.UTF-8"}};

TEST_F(LoopRun, JapaneseMessagesForRepair) {
  put_file("m/textures/a.png");
  put_file("m/textures/b.png");
  std::string model = put_model("m/a.pmx", model_with({"tex\\a.png", "tex\\b.png"}));
  RunResult r = run({model}, "y\n\ntextures/a.png\n", "", kJapanese);
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, " モデル： \r\n a.pmx \r\n 中の \r\n 2 個のテクスチャへのリンクが \r\n"
                    " 破損している模様です. \r\n \r\n 修復しますか？ (Y/N/Cancel) \r\n => YES \n");
  EXPECT_HAS(r.out, " テクスチャ/トゥーン/スフィア: \r\n \r\n フォルダ tex\\ 内に、 \r\n a.png \r\n \r\n"
                    " が見つからないため、 \r\n 次のダイアログで探します。 (続行:OK) \r\n => OK \n");
  EXPECT_HAS(r.out, "1: tex\\b.png (類推しました) => (renew) textures\\b.png \n");
  EXPECT_HAS(r.out, " 設定を修復し、 \r\n \r\n a-new.pmx \r\n \r\n へ保存しました. \r\n");
}

TEST_F(LoopRun, JapaneseMessagesForNoSaveAndExtension) {
  put_file("m/tex/a.png");
  std::string ok = put_model("m/ok.pmx", model_with({"tex\\a.png"}));
  std::string broken = put_model("m/broken.pmx", model_with({"tex\\b.png"}));
  std::string odd = put_model("m/odd.bin", model_with({}));
  RunResult r = run({ok, broken, odd}, "n\nc\n", "", kJapanese);
  EXPECT_EQ(16, r.exitCode);
  EXPECT_HAS(r.out, " モデル： \r\n ok.pmx \r\n は正常です. \r\n \r\n 修復すべき箇所は \r\n 見つかりませんでした. \r\n");
  EXPECT_HAS(r.out, " モデル： \r\n broken.pmx \r\n は修復しませんでした. \r\n");
  EXPECT_HAS(r.out, " モデル： \n   odd.bin \n には拡張子 \".PMX\" がありません. \n 強行しますか? \n");
  EXPECT_HAS(r.out, "このファイルの学習処理をスキップ(中断)します. \n \n更新(変更)されたデータはありません. \n");
}

// The twist-axis question: the sample model's left arm twist is made to point
// away from the elbow.
class TwistRun : public LoopRun {
 protected:
  void SetUp() override {
    LoopRun::SetUp();
    source = model_with({});
    for (auto& b : source.bones)
      if (b.name == "左腕捩") b.axis[0] = 1.0f, b.axis[1] = 0.0f;
    path = put_model("m/a.pmx", source, &layout);
    twistIndex = 0;
    for (size_t i = 0; i < source.bones.size(); ++i)
      if (source.bones[i].name == "左腕捩") twistIndex = i;
    ASSERT_GT(layout.boneAxisPos[twistIndex], 0);
  }
  pmxb::Model source;
  pmxb::Layout layout;
  std::string path;
  size_t twistIndex;
};

TEST_F(TwistRun, YesRewritesExactlyTheAxis) {
  RunResult r = run({"-T", path}, "y\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, " Unmatched twisting axis settings of \r\n left arm twist \r\n bones are found in the model: \r\n"
                    " a.pmx \r\n\r\n Do you like to fix them?  (Y/N/Cancel) \r\n => YES \n\n");
  EXPECT_HAS(r.out, "Save OK. \n");
  std::string written = read_file_bytes(tmp / "m/a-new.pmx");
  // Filled-in English names move the axis; take its place in the output.
  pmxb::Layout outLayout;
  std::string expected = bytes_of(filled_in(source).build(&outLayout));
  int32_t axisPos = outLayout.boneAxisPos[twistIndex];
  ASSERT_EQ(expected.size(), written.size());
  EXPECT_EQ(expected.substr(0, axisPos), written.substr(0, axisPos));
  EXPECT_EQ(expected.substr(axisPos + 12), written.substr(axisPos + 12));
  float axis[3];
  std::memcpy(axis, written.data() + axisPos, sizeof axis);
  // Arm (1,10,0) to elbow (3,9,0).
  EXPECT_NEAR(0.894427f, axis[0], 1e-5);
  EXPECT_NEAR(-0.447214f, axis[1], 1e-5);
  EXPECT_NEAR(0.0f, axis[2], 1e-6);
}

TEST_F(TwistRun, NoLeavesTheModelUnsaved) {
  RunResult r = run({"-T", path}, "n\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, " => NO \n\n");
  EXPECT_HAS(r.out, " was uncorrected. \r\n");
  EXPECT_FALSE(file_exists(tmp / "m/a-new.pmx"));
}

TEST_F(TwistRun, CancelEndsTheRun) {
  std::string second = put_model("m/b.pmx", model_with({}));
  RunResult r = run({"-T", path, second}, "c\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, " => Cancel \n");
  EXPECT_LACKS(r.out, "pmx dir:");
  EXPECT_EQ((std::vector<std::string>{"a.pmx", "b.pmx"}), list_dir(tmp / "m"));
}

TEST_F(TwistRun, WithoutTheOptionNothingIsAsked) {
  RunResult r = run({path});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_LACKS(r.out, "twisting");
  EXPECT_HAS(r.out, " are correct. \r\n");
  EXPECT_FALSE(file_exists(tmp / "m/a-new.pmx"));
}

TEST_F(TwistRun, JapaneseQuestion) {
  RunResult r = run({"-T", path}, "n\n", "", kJapanese);
  EXPECT_HAS(r.out, " モデル： \r\n a.pmx \r\n 中の \r\n 　左腕捩  \r\n の設定情報に不一致があります. \r\n \r\n"
                    " 修正しますか？ (Y/N/Cancel) \r\n => NO \n");
}

}  // namespace
