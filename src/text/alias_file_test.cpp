#include "text/alias_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/console.h"
#include "platform/settings.h"
#include "text/rename_rules.h"

namespace {

// Shift-JIS spellings.
#define HIDARI "\x8D\xB6"                  // 左
#define MABATAKI "\x82\xDC\x82\xCE\x82\xBD\x82\xAB"  // まばたき
#define AIUEOKAKI "\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8\x82\xA9\x82\xAB"  // あいうえおかき
#define KU "\x82\xAD"                      // く

// The alias file of each test lives at <folder>alias.ini, where the folder is a
// name prefix in the temp folder, so parallel tests never share a file.
class AliasFile : public ::testing::Test {
 protected:
  std::string folder, path;
  std::u16string folderW, pathW;
  LangFlags savedLang;

  void SetUp() override {
    folder = ::testing::TempDir() + "qm_alias_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_";
    path = folder + "alias.ini";
    folderW.assign(folder.begin(), folder.end());
    pathW.assign(path.begin(), path.end());
    savedLang = Lang;
    namelist_reset();
  }
  void TearDown() override {
    std::remove(path.c_str());
    Lang = savedLang;
    namelist_reset();
  }
  void write(const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  std::string load(const char* ansiFolder, const char16_t* wideFolder) {
    con_capture_begin();
    readIn = load_alias_rules(ansiFolder, wideFolder);
    return con_capture_end();
  }
  std::string read() {
    con_capture_begin();
    EXPECT_EQ(0, read_alias_file(path.c_str(), nullptr, 0));
    return con_capture_end();
  }
  bool readIn = false;
  static std::string bone(const char* name) {
    char out[NAME_RESULT_CAP];
    rename_bone(out, sizeof out, name);
    return out;
  }
};

const char* const kEmptyListings = "Bones: \nMorphing: \nBonesEN: \nMorphingEN: \n";

TEST_F(AliasFile, MissingFileListsNothingAndCountsNothing) {
  EXPECT_EQ(kEmptyListings, load(folder.c_str(), folderW.c_str()));
  EXPECT_FALSE(readIn);
}

TEST_F(AliasFile, EmptyFileIsFoundAndCountsZero) {
  write("");
  std::string expected = "Alias file found. \nChecking : " + path + " \nReading (UTF-8): " +
                         path + " \nAlias file read-in. \n" + kEmptyListings +
                         "  => Replace def. bone  strings: 0 \n"
                         "  => Replace def. morph strings: 0 \n"
                         "  => Replace def. boneEN  strings: 0 \n"
                         "  => Replace def. morphEN strings: 0 \n\n";
  EXPECT_EQ(expected, load(folder.c_str(), folderW.c_str()));
  EXPECT_TRUE(readIn);
}

TEST_F(AliasFile, FoundByTheWidePathWhenTheAnsiOneFails) {
  write("a b\n");
  std::string nowhere = folder + "nowhere_";
  std::string out = load(nowhere.c_str(), folderW.c_str());
  EXPECT_EQ(
      "Alias file found. (W) \nChecking :  \nReading (UTF-8):  \n"
      " b-rep \"a\" \"b\"  => 1 \n"
      "Alias file read-in. (W) \n"
      "Bones: \n 1: \"a\"    \"b\" \n"
      "Morphing: \nBonesEN: \nMorphingEN: \n"
      "  => Replace def. bone  strings: 1 \n"
      "  => Replace def. morph strings: 0 \n"
      "  => Replace def. boneEN  strings: 0 \n"
      "  => Replace def. morphEN strings: 0 \n\n",
      out);
  EXPECT_EQ("b", bone("a"));
}

TEST_F(AliasFile, ShiftJisFileWithEverySyntax) {
  write(
      "// comment line\r\n"
      "\"" HIDARI "\" \"L_\"\r\n"
      "-bonesen   the rest of a section line is ignored\r\n"
      "\"Arm\"FL \"arm\"\r\n"
      "Left left\tignored\r\n"
      "\t-Morphs\r\n"
      "\"" MABATAKI "\"F \"blink\"\r\n"
      "\"abc def\r\n"
      "\"\"\r\n"
      "   \"\"   \r\n"
      "\"\" x\r\n"
      "\"\"x y\r\n"
      "key\r\n"
      "k2 \"12345678901234567890\"\r\n"
      "k3 " AIUEOKAKI KU "\r\n"
      "dup a\r\n"
      "dup b\r\n"
      "-MorphEN\r\n"
      "\"unterminated value\" \"abc\r\n"
      "\x1A");
  std::string expected =
      "Checking : " + path + " \nReading (SJIS) : " + path + " \n" +
      " b-rep \"" HIDARI "\" \"L_\"  => 1 \n"
      " bEN-rep \"Arm\" \"arm\"  => 1 \n"
      " bEN-rep \"Left\" \"left\"  => 2 \n"
      " m-rep \"" MABATAKI "\" \"blink\"  => 1 \n"
      "Err: string end not detected: \"abc def \n"
      "78(x) Syntax: x y \n"
      " m-rep \"key\" \"\"  => 2 \n"
      " m-rep \"k2\" \"123456789012345\"  => 3 \n"
      " m-rep \"k3\" \"" AIUEOKAKI "\"  => 4 \n"
      " m-rep \"dup\" \"a\"  => 5 \n"
      " m-rep \"dup\" \"b\"  => 6 \n"
      "Err: string end not detected: \"abc \n";
  EXPECT_EQ(expected, read());

  EXPECT_EQ(MODE_TAIL, namelist_mode(RULE_BONE_EN, 1));
  EXPECT_EQ(MODE_NORMAL, namelist_mode(RULE_BONE_EN, 2));
  EXPECT_EQ(MODE_WHOLE, namelist_mode(RULE_MORPH, 1));
  EXPECT_EQ(0, namelist_count(RULE_MORPH_EN));

  // The listings of the same file, as printed for every model.
  std::string out = load(folder.c_str(), nullptr);
  std::string listings =
      "Bones: \n"
      " 1: \"" HIDARI "\"    \"L_\" \n"
      "Morphing: \n"
      " 1: \"" MABATAKI "\"L   \"blink\" \n"
      " 2: \"key\"    \"\" \n"
      " 3: \"k2\"    \"123456789012345\" \n"
      " 4: \"k3\"    \"" AIUEOKAKI "\" \n"
      " 5: \"dup\"    \"a\" \n"
      " 6: \"dup\"    \"b\" \n"
      "BonesEN: \n"
      " 1: \"Arm\"L   \"arm\" \n"
      " 2: \"Left\"    \"left\" \n"
      "MorphingEN: \n"
      "  => Replace def. bone  strings: 1 \n"
      "  => Replace def. morph strings: 6 \n"
      "  => Replace def. boneEN  strings: 2 \n"
      "  => Replace def. morphEN strings: 0 \n\n";
  ASSERT_GT(out.size(), listings.size());
  EXPECT_EQ(listings, out.substr(out.size() - listings.size()));
  EXPECT_EQ(0u, out.find("Alias file found. \n"));
  EXPECT_NE(std::string::npos, out.find("Alias file read-in. \n"));
}

TEST_F(AliasFile, Utf8FileKeysBecomeShiftJis) {
  write(
      "\"\xE5\xB7\xA6\xE8\x85\x95\"L \"arm_L\"\n"  // 左腕
      "\xE5\xB7\xA6 L_\n");                       // 左
  std::string out = read();
  EXPECT_EQ("Checking : " + path + " \nReading (UTF-8): " + path + " \n" +
                " b-rep \"" HIDARI "\x98\x72\" \"arm_L\"  => 1 \n"
                " b-rep \"" HIDARI "\" \"L_\"  => 2 \n",
            out);
  EXPECT_EQ("L_\x98\x72", bone(HIDARI "\x98\x72"));  // the later line wins
  EXPECT_EQ("L_x", bone(HIDARI "x"));
}

TEST_F(AliasFile, SyntaxLineIsShownInTheConsoleEncoding) {
  struct Case {
    const char* what;
    std::string file;
    bool japanese;
    std::string printed;
  } cases[] = {
      {"sjis file, english console", "\"\"\x82\xA0\n", false, "82(\x82) Syntax: \xE3\x81\x82 \n"},
      {"sjis file, sjis console", "\"\"\x82\xA0\n", true, "82(\x82) Syntax: \x82\xA0 \n"},
      {"utf-8 file, english console", "\"\"\xE3\x81\x82\n", false, "E3(\xE3) Syntax: \xE3\x81\x82 \n"},
      {"utf-8 file, sjis console", "\"\"\xE3\x81\x82\n", true, "E3(\xE3) Syntax: \x82\xA0 \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Lang.japanese = c.japanese;
    Lang.sjisConsole = c.japanese;
    write(c.file);
    std::string out = read();
    ASSERT_GE(out.size(), c.printed.size()) << out;
    EXPECT_EQ(c.printed, out.substr(out.size() - c.printed.size()));
    EXPECT_EQ(0, namelist_count(RULE_BONE));
  }
}

TEST_F(AliasFile, RulesThatDoNotFitAreRefused) {
  std::string k63(63, 'k'), k64(64, 'k');
  std::string file = k63 + " a\n" + k64 + " b\n";
  // 32 tildes take 64 bytes once converted to Shift-JIS.
  file += std::string(32, '~') + " c\n";
  file += "-Morph\n";
  for (int i = 0; i < RULE_VALUE_SLOTS; i++) file += "m v\n";
  write(file);
  std::string out = read();

  EXPECT_NE(std::string::npos, out.find(" b-rep \"" + k63 + "\" \"a\"  => 1 \n"));
  EXPECT_NE(std::string::npos, out.find(" b-rep \"" + k64 + "\" \"b\"  => (cannot set) \n"));
  std::string tildes;
  for (int i = 0; i < 32; i++) tildes += "\x81\xB0";
  EXPECT_NE(std::string::npos, out.find(" b-rep \"" + tildes + "\" \"c\"  => (cannot set) \n"));
  EXPECT_EQ(1, namelist_count(RULE_BONE));

  EXPECT_NE(std::string::npos, out.find(" m-rep \"m\" \"v\"  => 8191 \n"));
  const std::string tail = " m-rep \"m\" \"v\"  => (cannot set) \n";
  ASSERT_GE(out.size(), tail.size());
  EXPECT_EQ(tail, out.substr(out.size() - tail.size()));
  EXPECT_EQ(RULE_VALUE_SLOTS - 1, namelist_count(RULE_MORPH));
}

TEST_F(AliasFile, KeyThatConvertsToNothingIsRefused) {
  // 0x80 makes the file implausible as Shift-JIS, so it is read as UTF-8,
  // where the lone byte is dropped.
  write("\x80 v\n");
  std::string out = read();
  EXPECT_NE(std::string::npos, out.find(" rep \"\" \"v\"  => (cannot set) \n")) << out;
  EXPECT_EQ(0, namelist_count(RULE_BONE));
}

TEST_F(AliasFile, ShippedExampleLoadsCleanlyAndNamesStandardParts) {
  std::string out = load(QM_SOURCE_DIR "/examples/", nullptr);
  EXPECT_NE(std::string::npos, out.find("Reading (UTF-8)"));
  EXPECT_EQ(std::string::npos, out.find("Err:"));
  EXPECT_EQ(std::string::npos, out.find("Syntax:"));
  EXPECT_EQ(std::string::npos, out.find("(cannot set)"));
  EXPECT_EQ(std::string::npos, out.find("<<<"));
  for (int k = 0; k < RULE_KINDS; k++) EXPECT_GT(namelist_count(k), 0) << k;

  struct Case {
    int kind;
    const char* name;  // Shift-JIS
    const char* english;
  } cases[] = {
      {RULE_BONE, "\x83\x5A\x83\x93\x83\x5E\x81\x5B", "center"},  // センター
      {RULE_BONE, "\x8F\xE3\x94\xBC\x90\x67", "upper body"},       // 上半身
      {RULE_BONE, "\x8F\xE3\x94\xBC\x90\x67" "2", "upper body2"},  // 上半身2
      {RULE_BONE, "\x89\xBA\x94\xBC\x90\x67", "lower body"},       // 下半身
      {RULE_BONE, "\x8E\xF1", "neck"},                             // 首
      {RULE_BONE, "\x93\xAA", "head"},                             // 頭
      {RULE_BONE, HIDARI "\x98\x72", "arm_L"},                     // 左腕
      {RULE_BONE, "\x89\x45\x82\xD0\x82\xB6", "elbow_R"},          // 右ひじ
      {RULE_BONE, HIDARI "\x8E\xE8\x8E\xF1", "wrist_L"},           // 左手首
      {RULE_BONE, HIDARI "\x91\xAB", "leg_L"},                     // 左足
      {RULE_BONE, "\x89\x45\x82\xD0\x82\xB4", "knee_R"},           // 右ひざ
      {RULE_BONE, HIDARI "\x91\xAB\x8E\xF1", "ankle_L"},           // 左足首
      {RULE_BONE, HIDARI "\x90\x65\x8E\x77\x82\x50", "thumb1_L"},  // 左親指１
      {RULE_BONE, "\x89\x45\x8F\xAC\x8E\x77\x82\x52", "little3_R"},  // 右小指３
      {RULE_BONE, HIDARI "\x91\xAB\x82\x68\x82\x6A", "leg IK_L"},  // 左足ＩＫ
      {RULE_BONE, HIDARI "\x94\xAF" "1", "L_hair1"},               // 左髪1
      {RULE_MORPH, "\x82\xDC\x82\xCE\x82\xBD\x82\xAB", "blink"},   // まばたき
      {RULE_MORPH, "\x8F\xCE\x82\xA2", "smile"},                   // 笑い
      {RULE_MORPH, "\x82\xA0", "a"},                               // あ
      {RULE_MORPH, "\x83\x45\x83\x42\x83\x93\x83\x4E", "wink"},    // ウィンク
      {RULE_MORPH, "\x95\x5C\x8F\xEE", "Exp"},                     // 表情 (frame)
      {RULE_MORPH_EN, "Blink", "blink"},
      {RULE_BONE_EN, "upper_body", "upper body"},
  };
  for (const Case& c : cases) {
    char out[NAME_RESULT_CAP];
    apply_rules(c.kind, out, sizeof out, c.name);
    EXPECT_STREQ(c.english, out);
  }
}

}  // namespace

// A byte-order mark at the start of a UTF-8 file is not part of the first line;
// a first byte 0xEF that starts no mark is read as usual.
TEST_F(AliasFile, Utf8ByteOrderMarkIsSkipped) {
  write("\xEF\xBB\xBF-Morph\r\n\"\xE3\x81\x82\" \"a\"\r\n");
  std::string out = read();
  EXPECT_NE(std::string::npos, out.find(" m-rep \"\x82\xA0\" \"a\"  => 1 \n")) << out;
  EXPECT_EQ(1, namelist_count(RULE_MORPH));
  EXPECT_EQ(0, namelist_count(RULE_BONE));

  namelist_reset();
  write("\xEF\xBD\xB1 x\r\n");  // half-width katakana in UTF-8
  out = read();
  EXPECT_NE(std::string::npos, out.find(" b-rep \"\xB1\" \"x\"  => 1 \n")) << out;
}
