#include "text/rename_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Shift-JIS spellings (kept apart so no hex escape runs into the next letter).
#define HIDARI "\x8D\xB6"                      // 左
#define UDE "\x98\x72"                         // 腕
#define CENTER "\x83\x5A\x83\x93\x83\x5E\x81\x5B"  // センター
#define KAMI "\x94\xAF"                        // 髪
#define NEJI "\x9D\x80"                        // 捩
#define UE "\x8F\xE3"                          // 上
#define FW_QUESTION "\x81\x48"                 // ？
#define MIGI "\x89\x45"                        // 右
#define MAYU "\x94\xFB"                        // 眉

class RenameRules : public ::testing::Test {
 protected:
  void SetUp() override { namelist_reset(); }
  void TearDown() override { namelist_reset(); }

  static int add(int kind, const char* key, const char* value, unsigned char mode) {
    int n = namelist_add(kind, key);
    EXPECT_GT(n, 0);
    EXPECT_EQ(0, namelist_set(kind, n, value, mode));
    return n;
  }
  static std::string bone(const char* name) {
    char out[NAME_RESULT_CAP];
    EXPECT_EQ(0, rename_bone(out, NAME_RESULT_CAP, name));
    return out;
  }
};

TEST_F(RenameRules, RuleTableGivesTheDocumentedNames) {
  add(RULE_BONE, HIDARI, "L_", MODE_NORMAL);
  add(RULE_BONE, UDE, "arm", MODE_NORMAL);
  add(RULE_BONE, HIDARI UDE, "arm_L", MODE_TAIL);
  add(RULE_BONE, CENTER, "center", MODE_WHOLE);
  add(RULE_BONE, KAMI "*", "hair", MODE_NORMAL);

  struct Case {
    const char* name;
    const char* expected;
  } cases[] = {
      {HIDARI UDE, "arm_L"},            // tail rule is tried first and fits
      {HIDARI UDE NEJI, "L_arm" NEJI},  // head matches at each position
      {CENTER, "center"},
      {UE CENTER, UE CENTER},  // whole-name rule needs the whole name
      {KAMI "1", "hair"},
      {KAMI, KAMI},  // '*' wants at least one more byte
      {"a?b", "a_b"},
      {"x" HIDARI "y" HIDARI, "xL_yL_"},  // every occurrence, left to right
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, bone(c.name)) << c.expected;
}

// Rules are looked up by the bytes a place starts with, wildcards apart: the
// last rule that matches still wins, whichever list holds it, and rules added
// later are seen.
TEST_F(RenameRules, LastMatchingRuleWinsWhateverItsKeyStartsWith) {
  add(RULE_BONE, FW_QUESTION, "", MODE_NORMAL);  // any double-byte character
  add(RULE_BONE, HIDARI, "L_", MODE_NORMAL);
  add(RULE_BONE, "a", "A1", MODE_NORMAL);
  add(RULE_BONE, "a?", "A2", MODE_NORMAL);  // a wildcard second byte
  add(RULE_BONE, "ab", "A3", MODE_NORMAL);
  add(RULE_BONE, "abc", "T", MODE_TAIL);
  struct Step {
    const char* key;  // added before the names are rewritten (null: none)
    const char* value;
    const char* name;
    const char* expected;
  } steps[] = {
      {nullptr, nullptr, "ab", "A3"},
      {nullptr, nullptr, "ax", "A2"},
      {nullptr, nullptr, "a", "A1"},
      {nullptr, nullptr, "abc", "T"},
      {nullptr, nullptr, HIDARI UDE, "L_"},
      {FW_QUESTION, "Q", HIDARI UDE, "QQ"},  // a later wildcard rule takes over
      {nullptr, nullptr, "ab", "A3"},        // ... where it matches only
      {"*", "S", "ab", "S"},
  };
  for (const Step& s : steps) {
    if (s.key) add(RULE_BONE, s.key, s.value, MODE_NORMAL);
    EXPECT_EQ(s.expected, bone(s.name)) << s.expected;
  }
}

// Option F's fill reads a side standing alone anywhere at the end of the name,
// where the tail rule for the side character writes it once.
TEST_F(RenameRules, FillMovesALoneSideToTheEndWhereATailRuleWritesIt) {
  add(RULE_BONE, HIDARI, "L_", MODE_NORMAL);
  add(RULE_BONE, MIGI, "R_", MODE_NORMAL);
  add(RULE_BONE, UDE, "arm", MODE_NORMAL);
  add(RULE_BONE, KAMI, "hair", MODE_NORMAL);
  add(RULE_BONE, MAYU, "brow", MODE_NORMAL);
  add(RULE_BONE, HIDARI MIGI, "LR", MODE_NORMAL);
  add(RULE_BONE, HIDARI, "_L", MODE_TAIL);
  add(RULE_BONE, MIGI, "_R", MODE_TAIL);
  struct Case {
    const char* name;
    const char* filled;
    const char* plain;  // apply_rules alone
  } cases[] = {
      {HIDARI UDE, "arm_L", "L_arm"},
      {KAMI HIDARI "1", "hair1_L", "hairL_1"},
      {HIDARI KAMI "1", "hair1_L", "L_hair1"},
      {UDE MIGI, "arm_R", "arm_R"},
      {MIGI MAYU MIGI, "brow_R", "R_brow_R"},         // said twice, written once
      {MAYU HIDARI MIGI, "browLR", "browLR"},         // both sides: a word
      {MIGI HIDARI UDE, "R_L_arm", "R_L_arm"},        // ... in either order
      {MIGI UDE HIDARI, "R_arm_L", "R_arm_L"},        // two sides: as it stands
      {HIDARI "?" UDE, "_arm_L", "L__arm"},
      {HIDARI, "_L", "_L"},
      {UDE, "arm", "arm"},
      {"", "", ""},
  };
  char out[NAME_RESULT_CAP];
  for (const Case& c : cases) {
    EXPECT_EQ(0, fill_name(RULE_BONE, out, sizeof out, c.name));
    EXPECT_STREQ(c.filled, out) << c.plain;
    EXPECT_EQ(c.plain, bone(c.name));
  }

  // The tail rule of the side is what asks for the move: without it (here
  // for 右, and for every side of a kind with no rules) the name stands.
  namelist_reset();
  add(RULE_MORPH, UDE, "arm", MODE_NORMAL);
  add(RULE_MORPH, HIDARI, "_L", MODE_TAIL);
  fill_name(RULE_MORPH, out, sizeof out, HIDARI UDE);
  EXPECT_STREQ("arm_L", out);
  fill_name(RULE_MORPH, out, sizeof out, MIGI UDE);
  EXPECT_STREQ(MIGI "arm", out);
  fill_name(RULE_BONE, out, sizeof out, HIDARI UDE);
  EXPECT_STREQ(HIDARI UDE, out);

  // A name longer than the move's buffer is rewritten as it stands, and the
  // result keeps to its capacity.
  std::string longName = HIDARI + std::string(600, 'a');
  char small[8];
  fill_name(RULE_MORPH, small, sizeof small, longName.c_str());
  EXPECT_STREQ(HIDARI "aaaaa", small);
  fill_name(RULE_MORPH, small, sizeof small, HIDARI UDE UDE);
  EXPECT_STREQ("armarm_", small);
  EXPECT_EQ(0, fill_name(RULE_MORPH, out, sizeof out, nullptr));
  EXPECT_STREQ("", out);
}

TEST_F(RenameRules, NoRulesCopiesTheNameWithQuestionMarksReplaced) {
  EXPECT_EQ(HIDARI UDE, bone(HIDARI UDE));
  EXPECT_EQ("__a_", bone("??a?"));
  // Rules of another kind play no part.
  add(RULE_MORPH, HIDARI, "L_", MODE_NORMAL);
  EXPECT_EQ(HIDARI UDE, bone(HIDARI UDE));
}

TEST_F(RenameRules, LaterRuleWinsAndValuesAreNotRescanned) {
  add(RULE_BONE, "ab", "first", MODE_NORMAL);
  add(RULE_BONE, "ab", "second", MODE_NORMAL);
  EXPECT_EQ("second", bone("ab"));
  EXPECT_EQ("xsecondy", bone("xaby"));

  namelist_reset();
  add(RULE_BONE, "a", "b", MODE_NORMAL);
  add(RULE_BONE, "b", "c", MODE_NORMAL);
  EXPECT_EQ("bc", bone("ab"));

  // Non-overlapping scan: "aa" in "aaa" is replaced once and the last 'a' copied.
  namelist_reset();
  add(RULE_BONE, "aa", "X", MODE_NORMAL);
  EXPECT_EQ("Xa", bone("aaa"));
  // A whole-rest match ends the rewrite even when more rules could apply.
  EXPECT_EQ("X", bone("aa"));
}

TEST_F(RenameRules, WildcardsInHeadAndRestMatches) {
  add(RULE_BONE, "?" UDE, "Q", MODE_NORMAL);
  EXPECT_EQ("Q2", bone("X" UDE "2"));
  // Whole-rest match takes '?' literally, but the name's '?' is already '_'.
  EXPECT_EQ("_" UDE, bone("?" UDE));

  namelist_reset();
  add(RULE_BONE, FW_QUESTION "1", "W", MODE_NORMAL);
  EXPECT_EQ("W2", bone(HIDARI "12"));  // one double-byte character
  EXPECT_EQ("a12", bone("a12"));       // not a single byte

  EXPECT_EQ(1, match_rest("abc", "a*"));
  EXPECT_EQ(0, match_rest("a", "a*"));
  EXPECT_EQ(1, match_rest("a*", "a*x"));  // rest after '*' is ignored
  EXPECT_EQ(0, match_rest("ab", "a"));
  EXPECT_EQ(1, match_head("ab", "a"));
  EXPECT_EQ(0, match_head("a", "a?"));  // '?' does not match the end
  EXPECT_EQ(0, match_head("a*", "a*x"));  // '*' is ordinary in a head match
  EXPECT_EQ(0, match_head("\x81", FW_QUESTION));  // lead byte without trail
}

TEST_F(RenameRules, TailAndWholeRulesOnlyWhereTheyFit) {
  add(RULE_BONE, UDE, "arm", MODE_TAIL);
  add(RULE_BONE, "abc", "W", MODE_WHOLE);
  add(RULE_BONE, "zz", "odd", 7);  // unknown modes never match
  EXPECT_EQ(HIDARI "arm", bone(HIDARI UDE));
  EXPECT_EQ(UDE "x", bone(UDE "x"));
  EXPECT_EQ("W", bone("abc"));
  EXPECT_EQ("xabc", bone("xabc"));
  EXPECT_EQ("zz", bone("zz"));
}

TEST_F(RenameRules, FourKindsUseTheirOwnRules) {
  int (*rename[RULE_KINDS])(char*, int, const char*) = {rename_bone, rename_morph,
                                                        rename_bone_en, rename_morph_en};
  const char* values[RULE_KINDS] = {"bone", "morph", "boneEN", "morphEN"};
  for (int k = 0; k < RULE_KINDS; k++) add(k, "a", values[k], MODE_NORMAL);
  char out[NAME_RESULT_CAP];
  for (int k = 0; k < RULE_KINDS; k++) {
    EXPECT_EQ(0, rename[k](out, sizeof out, "a"));
    EXPECT_STREQ(values[k], out);
  }
}

TEST_F(RenameRules, ResultIsCutAtItsCapacityOnACharacterBoundary) {
  char buf[NAME_RESULT_CAP + 64];

  // 254 single bytes and a double-byte character straddling byte 255.
  std::string name(254, 'a');
  name += HIDARI;
  std::memset(buf, 0x55, sizeof buf);
  rename_bone(buf, NAME_RESULT_CAP, name.c_str());
  EXPECT_EQ(std::string(254, 'a'), std::string(buf));
  for (size_t i = NAME_RESULT_CAP; i < sizeof buf; i++) ASSERT_EQ(0x55, (unsigned char)buf[i]);

  // 253 bytes fit the character whole.
  name = std::string(253, 'a') + HIDARI;
  rename_bone(buf, NAME_RESULT_CAP, name.c_str());
  EXPECT_EQ(name, std::string(buf));

  // Growth through replacements stops at 255 bytes, nothing squeezed in later.
  add(RULE_BONE, "a", "abcdefghijklmno", MODE_NORMAL);
  std::memset(buf, 0x55, sizeof buf);
  rename_bone(buf, NAME_RESULT_CAP, std::string(100, 'a').c_str());
  EXPECT_EQ(255u, std::strlen(buf));
  for (size_t i = NAME_RESULT_CAP; i < sizeof buf; i++) ASSERT_EQ(0x55, (unsigned char)buf[i]);

  // A replacement ending in a double-byte character that does not fit.
  namelist_reset();
  add(RULE_BONE, "b", "x" HIDARI, MODE_NORMAL);
  rename_bone(buf, 5, "bb");  // "x左" + "x" fits, the second 左 does not
  EXPECT_STREQ("x" HIDARI "x", buf);
}

TEST_F(RenameRules, OddNamesAndKeysAreHandledSafely) {
  // A lead byte cut off by the terminator is copied alone, nothing read past it.
  char name[3] = {'a', '\x8D', '\0'};
  EXPECT_EQ(std::string("a\x8D"), bone(name));

  // An empty key would match without consuming the name; it never matches.
  add(RULE_BONE, "", "E", MODE_NORMAL);
  EXPECT_EQ("ab", bone("ab"));
}

TEST_F(RenameRules, ListStoreNumbersAndLimits) {
  EXPECT_EQ(0, namelist_count(RULE_MORPH));
  EXPECT_EQ(1, add(RULE_MORPH, "one", "1", MODE_NORMAL));
  EXPECT_EQ(2, add(RULE_MORPH, "one", "2", MODE_WHOLE));  // duplicates stay apart
  char key[RULE_KEY_CAP];
  EXPECT_EQ(0, namelist_get(RULE_MORPH, key, sizeof key, 2));
  EXPECT_STREQ("one", key);
  EXPECT_EQ(-1, namelist_get(RULE_MORPH, key, sizeof key, 0));
  EXPECT_EQ(-1, namelist_get(RULE_MORPH, key, sizeof key, 3));
  EXPECT_STREQ("2", namelist_value(RULE_MORPH, 2));
  EXPECT_EQ(MODE_WHOLE, namelist_mode(RULE_MORPH, 2));
  EXPECT_EQ(-1, namelist_set(RULE_MORPH, RULE_VALUE_SLOTS, "x", 0));
  EXPECT_EQ(-1, namelist_set(RULE_MORPH, 0, "x", 0));

  // Keys are stored cut to 63 bytes.
  std::string longKey(80, 'k');
  int n = namelist_add(RULE_MORPH, longKey.c_str());
  namelist_get(RULE_MORPH, key, sizeof key, n);
  EXPECT_EQ(std::string(63, 'k'), std::string(key));

  // The key list takes 16384 keys; rules past the value slots are never tried.
  namelist_reset();
  for (int i = 1; i <= RULE_KEY_SLOTS; i++)
    ASSERT_EQ(i, namelist_add(RULE_BONE, i < RULE_VALUE_SLOTS ? "y" : "z"));
  EXPECT_EQ(0, namelist_add(RULE_BONE, "z"));
  EXPECT_EQ(RULE_KEY_SLOTS, namelist_count(RULE_BONE));
  EXPECT_EQ("", bone("y"));  // rule 8191: empty value
  EXPECT_EQ("z", bone("z"));
  namelist_reset();
  EXPECT_EQ(0, namelist_count(RULE_BONE));
}

}  // namespace
