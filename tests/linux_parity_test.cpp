// Whole-program runs where Linux must show what Windows shows: text the
// program has made UTF-8 reaches the terminal converted once, and a folder
// named alias.ini is no alias file.
#include "e2e_fixture.h"

namespace {

#define EXPECT_HAS(text, what) EXPECT_NE(std::string::npos, (text).find(what)) << "missing: " << (what) << "\n--- in:\n" << (text)
#define EXPECT_LACKS(text, what) EXPECT_EQ(std::string::npos, (text).find(what)) << "unexpected: " << (what) << "\n--- in:\n" << (text)

class ParityRun : public ProgramRun {};

// A rule line with an empty key and a stray character is shown as "Syntax:";
// whatever the file's encoding and the language, the terminal gets the
// character once, as UTF-8.
TEST_F(ParityRun, SyntaxLineReachesTheTerminalConvertedOnce) {
  struct Case {
    const char* what;
    std::string alias;
    std::vector<std::pair<std::string, std::string>> env;
  } cases[] = {
      {"shift-jis file, english", "\"\"\x82\xA0\n", {}},
      {"utf-8 file, english", "\"\"\xE3\x81\x82\n", {}},
      {"shift-jis file, japanese", "\"\"\x82\xA0\n", {{"LANG", "ja_JP.UTF-8"}}},
      {"utf-8 file, japanese", "\"\"\xE3\x81\x82\n", {{"LANG", "ja_JP.UTF-8"}}},
  };
  std::string model = put_model("m/a.pmx", model_with({}));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(write_file_bytes(tmp / "bin/alias.ini", c.alias));
    RunResult r = run({model}, "", "", c.env);
    EXPECT_EQ(0, r.exitCode);
    EXPECT_HAS(r.out, "Syntax: \xE3\x81\x82 \n");  // あ
  }
}

TEST_F(ParityRun, FolderNamedAliasIniIsNoAliasFile) {
  ASSERT_TRUE(make_dirs(tmp / "bin/alias.ini"));
  ASSERT_TRUE(write_file_bytes(tmp / "bin/alias.ini/alias.ini", "a b\n"));
  std::string model = put_model("m/a.pmx", model_with({}));
  RunResult r = run({model});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_LACKS(r.out, "Alias file found");
  EXPECT_LACKS(r.out, "Checking :");
  EXPECT_HAS(r.out, "Bones: \nMorphing: \nBonesEN: \nMorphingEN: \n");
}

}  // namespace
