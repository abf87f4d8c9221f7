// Whole-program runs of option F: a model lacking English names is saved for
// them, with only those fields changed, and its report says so.
#include <cstdio>

#include "e2e_fixture.h"

namespace {

#define EXPECT_HAS(text, what) EXPECT_NE(std::string::npos, (text).find(what)) << "missing: " << (what) << "\n--- in:\n" << (text)

const std::vector<std::pair<std::string, std::string>> kJapanese = {{"LANG", "ja_JP.UTF-8"}};

enum Links { FINE, REPAIRED, DECLINED };

// The stored link, the answers that lead to each outcome, and the table written.
const char* const kStoredLink = "tex\\a.png";
const char* answers_for(Links l) { return l == REPAIRED ? "y\n\ntextures/a.png\n" : l == DECLINED ? "n\n" : ""; }

class FillRun : public ProgramRun {
 protected:
  // The sample model (one bone, morph and frame without an English name) or,
  // with complete, every English name set.
  pmxb::Model model(Links links, bool complete) {
    if (links == FINE) put_file("m/tex/a.png");
    else put_file("m/textures/a.png");
    pmxb::Model m = model_with({kStoredLink});
    return complete ? filled_in(m) : m;
  }
};

struct SaveCase {
  const char* label;
  bool japanese;
  Links links;
  bool twist;  // the left arm twist points away from the elbow, fixed with -T
  std::string report;  // the box text as printed, after "Save OK. \n\n"
};

class FillSave : public FillRun, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(FillSave, ChangesOnlyTheEnglishNamesBesideWhatWasRepaired) {
  const SaveCase& c = GetParam();
  pmxb::Model source = model(c.links, false);
  std::vector<std::string> args{"-F"};
  std::string input = answers_for(c.links);
  if (c.twist) {
    for (auto& b : source.bones)
      if (b.name == "左腕捩") b.axis[0] = 1.0f, b.axis[1] = 0.0f;
    args.push_back("-T");
    input = "y\n" + input;
  }
  pmxb::Layout layout;
  args.push_back(put_model("m/a.pmx", source, &layout));
  std::string sourceBytes = read_file_bytes(tmp / "m/a.pmx");

  RunResult r = run(args, input, "", c.japanese ? kJapanese : std::vector<std::pair<std::string, std::string>>{});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "Save OK. \n\n" + c.report);
  std::string written = read_file_bytes(tmp / "m/a-new.pmx");
  ASSERT_FALSE(written.empty());
  if (c.twist) return;  // the axis bytes are the twist tests' business

  pmxb::Model expected = filled_in(source);
  if (c.links == REPAIRED) {
    expected.textures = {"textures\\a.png"};
  } else {
    // Nothing renewed the table, declined links included: it stays as read.
    size_t n = layout.texTableEnd - layout.texTableStart;
    EXPECT_EQ(sourceBytes.substr(layout.texTableStart, n), written.substr(layout.texTableStart, n));
  }
  EXPECT_TRUE(same_bytes_of(expected, written));
}

const char kSaved[] = " \r\n a-new.pmx \r\n \r\n was saved. \r\n";
const char kSavedJa[] = " \r\n a-new.pmx \r\n \r\n へ保存しました. \r\n";
const std::string kNames = " Added English bone/morph/frame names, \r\n";
const std::string kNamesJa = " 英語名(ボーン／モーフ／表示枠)を追加し、 \r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, FillSave,
    ::testing::Values(
        SaveCase{"NamesAlone", false, FINE, false, kNames + kSaved},
        SaveCase{"NamesAloneJa", true, FINE, false, kNamesJa + kSavedJa},
        SaveCase{"NamesWithRepairedLinks", false, REPAIRED, false,
                 kNames + " and fixed model file settings. \r\n" + kSaved},
        SaveCase{"NamesWithRepairedLinksJa", true, REPAIRED, false, kNamesJa + " 設定を修復し、 \r\n" + kSavedJa},
        SaveCase{"NamesAfterDeclinedLinks", false, DECLINED, false, kNames + kSaved},
        SaveCase{"NamesAfterDeclinedLinksJa", true, DECLINED, false, kNamesJa + kSavedJa},
        SaveCase{"NamesWithFixedTwist", false, FINE, true, kNames + " and fixed model file settings. \r\n" + kSaved},
        SaveCase{"NamesWithFixedTwistJa", true, FINE, true, kNamesJa + " 設定を修復し、 \r\n" + kSavedJa}),
    [](const ::testing::TestParamInfo<SaveCase>& p) { return std::string(p.param.label); });

// Where -F has nothing to act on, or is off, a run is the run without it:
// the same console text but for the option's echo, the same files.
struct SameCase {
  const char* label;
  const char* option;
  bool complete;  // every English name set
  bool japanese;
  Links links;
};

class FillIdle : public FillRun, public ::testing::WithParamInterface<SameCase> {};

TEST_P(FillIdle, RunsAsWithoutTheOption) {
  const SameCase& c = GetParam();
  std::string path = put_model("m/a.pmx", model(c.links, c.complete));
  auto env = c.japanese ? kJapanese : std::vector<std::pair<std::string, std::string>>{};
  RunResult plain = run({path}, answers_for(c.links), "", env);
  std::string plainOut = read_file_bytes(tmp / "m/a-new.pmx");
  std::remove((tmp / "m/a-new.pmx").c_str());

  RunResult with = run({c.option, path}, answers_for(c.links), "", env);
  std::string echo = c.option[2] == '=' ? "Fill.names = 0 \n" : "Fill.names = 1 \n";
  size_t at = with.out.find(echo);
  ASSERT_NE(std::string::npos, at) << with.out;
  with.out.erase(at, echo.size());
  EXPECT_EQ(plain.out, with.out);
  EXPECT_EQ(plain.exitCode, with.exitCode);
  EXPECT_EQ(plainOut, read_file_bytes(tmp / "m/a-new.pmx"));
  EXPECT_EQ(c.links == REPAIRED, file_exists(tmp / "m/a-new.pmx"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FillIdle,
    ::testing::Values(SameCase{"NothingToFill", "-F", true, false, FINE},
                      SameCase{"NothingToFillJa", "-F", true, true, FINE},
                      SameCase{"NothingToFillDeclined", "-F", true, false, DECLINED},
                      SameCase{"NothingToFillDeclinedJa", "-F", true, true, DECLINED},
                      SameCase{"NothingToFillRepaired", "-F", true, false, REPAIRED},
                      SameCase{"NothingToFillRepairedJa", "-F", true, true, REPAIRED},
                      SameCase{"OptionOff", "-F=0", false, false, FINE},
                      SameCase{"OptionOffRepaired", "-F=0", false, false, REPAIRED}),
    [](const ::testing::TestParamInfo<SameCase>& p) { return std::string(p.param.label); });

TEST_F(FillRun, CancelStillSavesNothing) {
  std::string path = put_model("m/a.pmx", model(DECLINED, false));
  std::string second = put_model("m/b.pmx", model_with({}));
  RunResult r = run({"-F", path, second}, "c\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_EQ(1, count_of(r.out, "pmx dir:"));
  EXPECT_EQ((std::vector<std::string>{"a.pmx", "b.pmx", "textures"}), list_dir(tmp / "m"));
}

// With the bundled dictionary beside the program, -F fills names in the MMD
// conventions with the side at the end, wherever the Japanese name has it. A
// save for repaired links alone reads each name as it stands.
TEST_F(FillRun, BundledDictionaryPutsTheSideLastOnlyWithTheOption) {
  ASSERT_TRUE(write_file_bytes(tmp / "bin/alias.ini", read_file_bytes(QM_SOURCE_DIR "/examples/alias.ini")));
  struct Name {
    bool bone;
    const char* japanese;
    const char* withF;
    const char* without;
  } names[] = {
      {true, "左スカート前2", "skirtFront2_L", "L_skirtFront2"},
      {true, "スカート左前", "skirtFront_L", "skirtL_Front"},
      {true, "前髪右", "front hair_R", "front hair_R"},
      {true, "右眉右", "brow_R", "R_brow_R"},
      {true, "左人指１", "fore1_L", "fore1_L"},
      {true, "ﾈｸﾀｲ１", "necktie1", "necktie1"},
      {false, "ｳｨﾝｸ２右", "wink2_R", "wink2_R"},
      {false, "眉左上", "browUp_L", "browL_Up"},
  };
  for (Links links : {REPAIRED, FINE}) {  // once the fine link's file is there, nothing is broken
    pmxb::Model source = model(links, true);
    pmxb::Model expected = source;
    for (const Name& n : names) {
      const char* english = links == FINE ? n.withF : n.without;
      if (n.bone) {
        pmxb::Bone b;
        b.name = n.japanese;
        source.bones.push_back(b);
        b.nameEn = english;
        expected.bones.push_back(b);
      } else {
        pmxb::Morph m;
        m.name = n.japanese;
        source.morphs.push_back(m);
        m.nameEn = english;
        expected.morphs.push_back(m);
      }
    }
    if (links == REPAIRED) expected.textures = {"textures\\a.png"};
    std::string path = put_model("m/a.pmx", source);
    std::vector<std::string> args{path};
    if (links == FINE) args.insert(args.begin(), "-F");
    RunResult r = run(args, answers_for(links));
    EXPECT_EQ(0, r.exitCode);
    EXPECT_EQ(std::string::npos, r.out.find("Err:"));
    EXPECT_TRUE(same_bytes_of(expected, read_file_bytes(tmp / "m/a-new.pmx"))) << (links == FINE ? "-F" : "links");
    std::remove((tmp / "m/a-new.pmx").c_str());
  }
}

}  // namespace
