// Whole-program runs of start-up and of the start without a model: the option
// pass with its echoes, and the usage text when no model is chosen.
#include <gtest/gtest.h>

#include <string>

#include "support/run_program.h"

namespace {

TEST(WholeProgram, OptionEchoesAndErrorStayOnOneLine) {
  if (!file_exists(program_binary())) GTEST_SKIP() << "program not built";
  RunOptions o;
  o.args = {"-D300", "-X", "-ND2", "-T"};
  RunResult r = run_program(o);
  ASSERT_TRUE(r.started);
  EXPECT_NE(r.out.find("Quillmend  V1.02  "), std::string::npos);
  EXPECT_NE(r.out.find("(English mode) \n"), std::string::npos);
  EXPECT_NE(r.out.find("Info.displayLevel = 44. \n\nOption error: <X> 58Cancel.displaying.dialogue = 2 \nTwist.check = 1 \n"),
            std::string::npos)
      << r.out;
  // The model loop scans the entries again and reports the error once more.
  size_t first = r.out.find("Option error: <X> 58");
  EXPECT_NE(r.out.find("Option error: <X> 58", first + 1), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Info.displayLevel", r.out.find("Info.displayLevel") + 1), std::string::npos) << r.out;
  EXPECT_EQ(r.exitCode, 0);
}


TEST(WholeProgram, NoArgumentAndCancelledDialogShowsUsage) {
  if (!file_exists(program_binary())) GTEST_SKIP() << "program not built";
  RunOptions o;
  RunResult r = run_program(o);
  ASSERT_TRUE(r.started);
  EXPECT_NE(r.out.find("(English mode) \n\nNo dropped PMX file detected. \n Please select PMX file(s). \n"
                       "\nCanceled File-Open Dialog Box. (stat=0000).\n"
                       "Usage \n   Quillmend <pmxFileName>.pmx \n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.exitCode, 0);
}

// On Linux '/' begins an absolute path, not an option: "/D1" is a model path
// that does not open and, lacking ".PMX", is confirmed first.
TEST(WholeProgram, SlashEntryIsAPathOnLinux) {
  if (!file_exists(program_binary())) GTEST_SKIP() << "program not built";
  RunOptions o;
  o.args = {"/D1"};
  RunResult r = run_program(o);
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.out.find("Info.displayLevel"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" -- could not open in ANSI or UTF-8. \n -- could not open in UTF-16. (***) \n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(" Model: \n   D1 \n does not have extension \".PMX\" in the file name. \n"), std::string::npos)
      << r.out;
  EXPECT_EQ(r.exitCode, 16);

  o.args = {"-ND2", "/D1"};
  r = run_program(o);
  ASSERT_TRUE(r.started);
  EXPECT_NE(r.out.find("pmdinforead err -1. \nError code -1. \n: cannot open file. \n"), std::string::npos) << r.out;
  EXPECT_EQ(r.exitCode, 255);
}

}  // namespace
