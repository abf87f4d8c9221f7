#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/os.h"

namespace {

std::string makeTempDir(const std::string& prefix) {
  std::random_device rd;
  for (;;) {
    std::filesystem::path p = std::filesystem::path("/tmp") / (prefix + std::to_string(rd()));
    if (std::filesystem::create_directory(p)) return p.string();
  }
}

std::string toSystem(const std::string& sjis) {
  char buf[512];
  EXPECT_GT(os_posix_path_to_system(sjis.c_str(), buf, sizeof buf), 0u);
  return buf;
}
std::string fromSystem(const std::string& utf8) {
  char buf[512];
  os_posix_path_from_system(utf8.c_str(), buf, sizeof buf);
  return buf;
}

TEST(PosixSeam, PathsToAndFromTheSystem) {
  // Only single-byte backslashes are separators; 0x955C keeps its trail.
  EXPECT_EQ("/home/u/表/a.pmx", toSystem("\\home\\u\\\x95\x5C\\a.pmx"));
  EXPECT_EQ("/m/\xEF\xBD\xB1~x", toSystem("\\m\\\xB1~x"));
  EXPECT_EQ("\\home\\u\\\x95\x5C\\a.pmx", fromSystem("/home/u/表/a.pmx"));
  EXPECT_EQ("\\x\\?\\\x81\x60.png", fromSystem("/x/\xF0\x9F\x98\x80/\xEF\xBD\x9E.png"));  // no code: '?'
  EXPECT_EQ("\\a\\?", fromSystem("/a/\xC2\xA5"));  // yen has no code of its own in code page 932

  char u8[64];
  EXPECT_GT(os_posix_path_to_systemW(u"\\m\\\x8868\xD83D\xDE00.png", u8, sizeof u8), 0u);
  EXPECT_EQ("/m/表\xF0\x9F\x98\x80.png", std::string(u8));
  char16_t w[64];
  os_posix_path_from_systemW("/m/表\xF0\x9F\x98\x80.png", w, 64);
  EXPECT_EQ(u"\\m\\\x8868\xD83D\xDE00.png", std::u16string(w));

  // Too long for the buffer: refused, not cut.
  EXPECT_EQ(0u, os_posix_path_to_system("\\abcdefgh", u8, 5));
}

TEST(PosixSeam, CommandLineFromArgv) {
  char a0[] = "/opt/q/quillmend", a1[] = "my models/a.pmx", a2[] = "", a3[] = "-D2", a4[] = "\xE8\xA1\xA8\xF0\x9F\x98\x80.pmx";
  char* argv[] = {a0, a1, a2, a3, a4, nullptr};
  os_init(5, argv);
  EXPECT_EQ(u"\\opt\\q\\quillmend \"my models\\a.pmx\" \"\" -D2 \x8868\xD83D\xDE00.pmx",
            std::u16string(os_command_lineW()));
  ASSERT_EQ(5, os_ansi_argc());
  EXPECT_STREQ("\\opt\\q\\quillmend", os_ansi_argv()[0]);
  EXPECT_STREQ("my models\\a.pmx", os_ansi_argv()[1]);
  EXPECT_STREQ("", os_ansi_argv()[2]);
  EXPECT_STREQ("\x95\x5C?.pmx", os_ansi_argv()[4]);
  EXPECT_EQ(nullptr, os_ansi_argv()[5]);
}

TEST(PosixSeam, EnvironmentDecidesLanguageAndConsole) {
  struct Case {
    const char *lcAll, *lcCtype, *lcMessages, *lang;
    int passthrough;
    uint16_t langId;
  } cases[] = {
      {nullptr, nullptr, nullptr, "ja_JP.UTF-8", 0, 0x0411},
      {nullptr, nullptr, nullptr, "ja_JP.SJIS", 1, 0x0411},
      {nullptr, "ja_JP.Shift_JIS", nullptr, "C", 1, 0x0409},
      {"C.UTF-8", "ja_JP.PCK", "ja_JP", "ja_JP.cp932", 0, 0x0409},
      {"", nullptr, "ja_JP.eucJP", "en_US.CP932", 1, 0x0411},
      {nullptr, nullptr, nullptr, nullptr, 0, 0x0409},
  };
  const char* names[] = {"LC_ALL", "LC_CTYPE", "LC_MESSAGES", "LANG"};
  std::string saved[4];
  bool had[4];
  for (int i = 0; i < 4; i++) {
    const char* v = getenv(names[i]);
    had[i] = v != nullptr;
    if (v) saved[i] = v;
  }
  for (const Case& c : cases) {
    const char* values[] = {c.lcAll, c.lcCtype, c.lcMessages, c.lang};
    for (int i = 0; i < 4; i++) values[i] ? setenv(names[i], values[i], 1) : unsetenv(names[i]);
    EXPECT_EQ(c.passthrough, os_console_passthrough()) << (c.lang ? c.lang : "-");
    EXPECT_EQ(c.langId, os_user_lang_id()) << (c.lang ? c.lang : "-");
  }
  for (int i = 0; i < 4; i++) had[i] ? setenv(names[i], saved[i].c_str(), 1) : unsetenv(names[i]);
}

TEST(PosixSeam, SystemFacts) {
  char line[300];
  EXPECT_EQ(1, os_version_line(line, sizeof line));
  EXPECT_EQ(0, strncmp(line, " on ", 4));
  EXPECT_EQ(' ', line[strlen(line) - 1]);
  EXPECT_FALSE(os_is_dbcs_lead(0x80) || os_is_dbcs_lead(0xA0) || os_is_dbcs_lead(0xFD));

  std::string expect = std::filesystem::current_path().string();
  for (char& c : expect)
    if (c == '/') c = '\\';
  char a[4096];
  EXPECT_EQ(expect.size(), os_current_dirA(a, sizeof a));
  EXPECT_EQ(expect, a);
  EXPECT_EQ(0u, os_current_dirA(a, 2));  // does not fit: nothing
  EXPECT_STREQ("", a);
}

TEST(PosixSeam, BoxAnswers) {
  struct Case {
    const char* line;
    uint32_t type;
    int id;
  } cases[] = {
      {"", OS_MB_OKCANCEL, OS_IDOK},           {" OK ", OS_MB_OKCANCEL, OS_IDOK},
      {"o", OS_MB_OKCANCEL, OS_IDOK},          {"Cancel", OS_MB_OKCANCEL, OS_IDCANCEL},
      {"\tc", OS_MB_OKCANCEL, OS_IDCANCEL},    {"yes", OS_MB_OKCANCEL, 0},
      {"", OS_MB_YESNOCANCEL, OS_IDYES},       {"Y", OS_MB_YESNOCANCEL, OS_IDYES},
      {"no", OS_MB_YESNOCANCEL, OS_IDNO},      {"N ", OS_MB_YESNOCANCEL, OS_IDNO},
      {"CANCEL", OS_MB_YESNOCANCEL, OS_IDCANCEL}, {"nope", OS_MB_YESNOCANCEL, 0},
      {"", OS_MB_YESNO, OS_IDYES},             {"no", OS_MB_YESNO, OS_IDNO},
      {"c", OS_MB_YESNO, 0},                   {"whatever", OS_MB_OK, OS_IDOK},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.id, os_posix_box_answer(c.line, c.type | OS_MB_ICONINFORMATION | OS_MB_TOPMOST)) << c.line;
}

// A move to a new name never replaces, and folders go only when empty.
TEST(PosixSeam, RenameNeverReplaces) {
  std::string dir = makeTempDir("qm_rename_");
  std::ofstream(dir + "/a") << "a";
  std::ofstream(dir + "/b") << "b";
  std::u16string d(dir.begin(), dir.end());
  auto read = [&](const char* name) {
    std::ifstream f(dir + "/" + name);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  };
  EXPECT_EQ(0, os_rename_newW((d + u"\\a").c_str(), (d + u"\\b").c_str()));
  EXPECT_EQ((uint32_t)OS_ERROR_FILE_EXISTS, os_last_error());
  EXPECT_EQ("a", read("a"));
  EXPECT_EQ("b", read("b"));
  EXPECT_EQ(1, os_make_dirW((d + u"\\sub").c_str()));
  EXPECT_EQ(OS_ENTRY_FOLDER, os_entry_kindW((d + u"\\sub").c_str()));
  EXPECT_EQ(1, os_rename_newW((d + u"\\a").c_str(), (d + u"\\sub\\c").c_str()));
  EXPECT_EQ(OS_ENTRY_NONE, os_entry_kindW((d + u"\\a").c_str()));
  EXPECT_EQ(OS_ENTRY_FILE, os_entry_kindW((d + u"\\sub\\c").c_str()));
  EXPECT_EQ(0, os_remove_dirW((d + u"\\sub").c_str()));
  EXPECT_EQ((uint32_t)OS_ERROR_DIR_NOT_EMPTY, os_last_error());
  std::filesystem::remove_all(dir);
}

// Runs a box or dialog with the given answers on its input; returns the prompts.
class Answers : public ::testing::Test {
 protected:
  void feed(const std::string& text) {
    in = tmpfile();
    fputs(text.c_str(), in);
    rewind(in);
    prompts = tmpfile();
    os_posix_set_answer_streams(in, prompts);
  }
  std::string prompted() {
    rewind(prompts);
    std::string s;
    for (int c; (c = fgetc(prompts)) != EOF;) s += (char)c;
    return s;
  }
  void TearDown() override {
    os_posix_set_answer_streams(nullptr, nullptr);
    if (in) fclose(in);
    if (prompts) fclose(prompts);
  }
  FILE* in = nullptr;
  FILE* prompts = nullptr;
};

TEST_F(Answers, BoxAsksAgainUntilItUnderstands) {
  feed("maybe\r\nn\n");
  EXPECT_EQ(OS_IDNO, os_message_boxA("t", "Quillmend", OS_MB_YESNOCANCEL | OS_MB_ICONINFORMATION));
  EXPECT_EQ("Quillmend [Yes/No/Cancel]? Quillmend [Yes/No/Cancel]? ", prompted());
  EXPECT_EQ(OS_IDCANCEL, os_message_boxW(u"t", u"Quillmend", OS_MB_OKCANCEL));  // end of input
  EXPECT_EQ(OS_IDNO, os_message_boxW(u"t", u"Quillmend", OS_MB_YESNO));  // a Yes/No box has no Cancel
  EXPECT_EQ(OS_IDOK, os_message_boxA("t", "Quillmend", OS_MB_OK));
}

TEST_F(Answers, OpenDialogTakesAnExistingFile) {
  std::string dir = makeTempDir("qm_dialog_");
  std::filesystem::create_directory(dir + "/textures");
  std::ofstream(dir + "/textures/b.png") << "x";
  std::ofstream(dir + "/model.pmx") << "x";
  std::u16string initial(dir.begin(), dir.end());
  for (char16_t& c : initial)
    if (c == '/') c = '\\';
  std::u16string expect = initial + u"\\textures\\b.png";

  feed("textures\nnothing.png\n  textures/../textures/./b.png  \n");
  char16_t file[260] = u"b.png";
  os_ofnW req = {76, u"All Files  (*.*)\0*.*\0", 0, file, 260, initial.c_str(), u"Pick", 0x1800, nullptr};
  EXPECT_NE(0, os_get_open_file_nameW(&req));
  EXPECT_EQ(expect, std::u16string(file));
  std::string p = prompted();
  EXPECT_NE(std::string::npos, p.find("Pick\n"));
  EXPECT_NE(std::string::npos, p.find("All Files  (*.*)"));
  EXPECT_NE(std::string::npos, p.find("is a folder"));
  EXPECT_NE(std::string::npos, p.find("does not exist"));

  // The default extension completes a name typed without one.
  std::string sjisDir(dir);
  for (char& c : sjisDir)
    if (c == '/') c = '\\';
  feed("model\n");
  char fileA[260] = "";
  os_ofnA reqA = {76, "MMD Model File  (*.pmx)\0*.PMX\0", 1, fileA, 260, sjisDir.c_str(), "t", 0x1800, "pmx",
                  nullptr, 0};
  EXPECT_NE(0, os_get_open_file_nameA(&reqA));
  EXPECT_EQ(sjisDir + "\\model.pmx", std::string(fileA));

  // A name outside Shift-JIS: the ANSI answer is a likeness, the exact form comes beside it.
  std::ofstream(dir + "/textures/\u20A7\uD55C.png") << "x";
  feed("textures/\u20A7\uD55C.png\n");
  char16_t exact[260] = u"stale";
  reqA.fileW = exact;
  reqA.maxFileW = 260;
  EXPECT_NE(0, os_get_open_file_nameA(&reqA));
  EXPECT_EQ(sjisDir + "\\textures\\??.png", std::string(fileA));
  EXPECT_EQ(initial + u"\\textures\\\u20A7\uD55C.png", std::u16string(exact));

  // Empty line or end of input: cancelled, extended error 0, buffer untouched.
  for (const char* answers : {"\n", ""}) {
    feed(answers);
    char16_t keep[260] = u"keep";
    req.file = keep;
    EXPECT_EQ(0, os_get_open_file_nameW(&req));
    EXPECT_EQ(0u, os_comm_dlg_extended_error());
    EXPECT_EQ(u"keep", std::u16string(keep));
  }
  // An answer longer than the buffer fails as the real dialog does.
  feed(dir + "/textures/b.png\n");
  char16_t tiny[8] = u"";
  req.file = tiny;
  req.maxFile = 8;
  EXPECT_EQ(0, os_get_open_file_nameW(&req));
  EXPECT_EQ(0x3003u, os_comm_dlg_extended_error());
  std::filesystem::remove_all(dir);
}

}  // namespace
