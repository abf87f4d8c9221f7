#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "driver/driver.h"
#include "driver/run_settings.h"
#include "platform/arg_list.h"
#include "platform/console.h"
#include "support/run_program.h"

namespace {

struct LangScope {
  explicit LangScope(LangFlags f) : saved(Lang) { Lang = f; }
  ~LangScope() { Lang = saved; }
  LangFlags saved;
};

TEST(NoModelNotice, ThreeLanguageForms) {
  struct Row { LangFlags flags; const char* text; };
  const Row rows[] = {
      {{false, false, false}, "\nNo dropped PMX file detected. \n Please select PMX file(s). \n"},
      {{false, true, true}, "\nNo dropped PMX file detected. \n Please select PMX file(s). \n"},
      // ドラッグ＆ドロップされた PMX ファイルや、 / コマンドで指定された PMX ファイルはありません. /
      //  PMX モデルファイルを開いてください.
      {{true, true, false},
       "\n\x83h\x83\x89\x83\x62\x83O\x81\x95\x83h\x83\x8D\x83\x62\x83v\x82\xB3\x82\xEA\x82\xBD PMX "
       "\x83t\x83@\x83\x43\x83\x8B\x82\xE2\x81\x41 \n"
       "\x83R\x83}\x83\x93\x83h\x82\xC5\x8Ew\x92\xE8\x82\xB3\x82\xEA\x82\xBD PMX "
       "\x83t\x83@\x83\x43\x83\x8B\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1. \n"
       " PMX \x83\x82\x83\x66\x83\x8B\x83t\x83@\x83\x43\x83\x8B\x82\xF0\x8AJ\x82\xA2\x82\xC4\x82\xAD\x82\xBE\x82\xB3"
       "\x82\xA2. \n"},
      // The same in UTF-8, with "ファイル、" in the first line.
      {{true, false, true},
       "\n\xE3\x83\x89\xE3\x83\xA9\xE3\x83\x83\xE3\x82\xB0\xEF\xBC\x86\xE3\x83\x89\xE3\x83\xAD\xE3\x83\x83\xE3\x83\x97"
       "\xE3\x81\x95\xE3\x82\x8C\xE3\x81\x9F PMX \xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x80\x81  \n"
       "\xE3\x82\xB3\xE3\x83\x9E\xE3\x83\xB3\xE3\x83\x89\xE3\x81\xA7\xE6\x8C\x87\xE5\xAE\x9A\xE3\x81\x95\xE3\x82\x8C"
       "\xE3\x81\x9F PMX \xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x81\xAF\xE3\x81\x82\xE3\x82\x8A\xE3\x81"
       "\xBE\xE3\x81\x9B\xE3\x82\x93.  \n"
       " PMX \xE3\x83\xA2\xE3\x83\x87\xE3\x83\xAB\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x82\x92\xE9\x96"
       "\x8B\xE3\x81\x84\xE3\x81\xA6\xE3\x81\x8F\xE3\x81\xA0\xE3\x81\x95\xE3\x81\x84.  \n"},
  };
  for (const Row& r : rows) {
    LangScope lang(r.flags);
    con_capture_begin();
    no_model_notice();
    EXPECT_EQ(con_capture_end(), r.text);
  }
}

// The POSIX dialog reads its answer from stdin.
void answer_with(const std::string& text) {
  static TempDir dir("front-nomodel");
  std::string path = dir / "answer.txt";
  ASSERT_TRUE(write_file_bytes(path, text));
  ASSERT_NE(freopen(path.c_str(), "r", stdin), nullptr);
}

std::string backslashed(std::string p) {
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

void lists_with_program_only(const std::string& folder) {
  arglist_reset(&ansiArgs);
  arglist_resetW(&wideArgs);
  std::string prog = folder + "quillmend";
  std::u16string progW(prog.begin(), prog.end());
  addarg(&ansiArgs, prog.c_str());
  addargW(&wideArgs, progW.c_str());
  snprintf(programFolder, sizeof programFolder, "%s", folder.c_str());
  for (size_t i = 0; i <= folder.size(); i++) programFolderW[i] = (char16_t)(unsigned char)folder[i];
}

TEST(NoModelPick, ChosenModelJoinsBothLists) {
  TempDir dir("front-nomodel-pick");
  ASSERT_TRUE(write_file_bytes(dir / "m.pmx", "PMX "));
  lists_with_program_only(backslashed(dir.path) + "\\");
  answer_with("m.pmx\n");
  con_capture_begin();
  EXPECT_EQ(no_model_pick(), 0);
  EXPECT_EQ(con_capture_end(), " -- correctly opened in ANSI or UTF-8. \n");
  ASSERT_EQ(ansiArgs.count, 2);
  ASSERT_EQ(wideArgs.count, 2);
  std::string want = backslashed(dir / "m.pmx");
  EXPECT_EQ(std::string(ansiArgs.entries[1]), want);
  EXPECT_EQ(std::u16string(wideArgs.entries[1]), std::u16string(want.begin(), want.end()));
}

TEST(NoModelPick, CancelAddsNothing) {
  TempDir dir("front-nomodel-cancel");
  lists_with_program_only(backslashed(dir.path) + "\\");
  answer_with("");
  con_capture_begin();
  EXPECT_EQ(no_model_pick(), -1);
  EXPECT_EQ(con_capture_end(), "\nCanceled File-Open Dialog Box. (stat=0000).\n");
  EXPECT_EQ(ansiArgs.count, 1);
  EXPECT_EQ(wideArgs.count, 1);
}

// A start that ends with the usage text returns to the loop, which ends the
// run with 0: nothing may leave the process from inside.
TEST(NoModelStart, UsageEndsTheLoopWithZero) {
  TempDir dir("front-nomodel-usage");
  lists_with_program_only(backslashed(dir.path) + "\\");
  answer_with("");
  con_capture_begin();
  EXPECT_EQ(model_loop(), 0);
  std::string out = con_capture_end();
  EXPECT_NE(out.find("Usage \n   Quillmend <pmxFileName>.pmx \n"), std::string::npos) << out;
  EXPECT_EQ(out.find("Error code"), std::string::npos) << out;
  EXPECT_EQ(ansiArgs.count, 1);
}

}  // namespace
