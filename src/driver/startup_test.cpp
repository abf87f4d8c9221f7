#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "driver/run_settings.h"
#include "platform/arg_list.h"
#include "platform/console.h"
#include "support/run_program.h"

namespace {

struct OptionCase {
  const char* entry;
  const char* echoed;  // console text of the storing pass
  const char* silent;  // console text of the second pass
  int displayLevel, convMode, dialogue, twist;
  float errorAdmittance;
};

const OptionCase kOptionCases[] = {
    {"-d=2", "Info.displayLevel = 2. \n", "", 2, 15, 0, 0, 1.5f},
    {"/D2", "Info.displayLevel = 2. \n", "", 2, 15, 0, 0, 1.5f},
    {"-D300", "Info.displayLevel = 44. \n", "", 44, 15, 0, 0, 1.5f},
    {"-D200", "Info.displayLevel = -56. \n", "", -56, 15, 0, 0, 1.5f},
    {"-D-3", "Info.displayLevel = -3. \n", "", -3, 15, 0, 0, 1.5f},
    {"-D", "Info.displayLevel = 0. \n", "", 0, 15, 0, 0, 1.5f},
    {"-D 7", "Info.displayLevel = 7. \n", "", 7, 15, 0, 0, 1.5f},
    // No digits: 0, and the character after D is scanned as an option.
    {"-Dz", "Info.displayLevel = 0. \n\nOption error: <z> 7A", "\nOption error: <z> 7A", 0, 15, 0, 0, 1.5f},
    {"-D2M3", "Info.displayLevel = 2. \nConv.mode = 3. \n", "", 2, 3, 0, 0, 1.5f},
    {"-m=7", "Conv.mode = 7. \n", "", 0, 7, 0, 0, 1.5f},
    {"-ND", "Cancel.displaying.dialogue = 1 \n", "", 0, 15, 1, 0, 1.5f},
    {"-ND2", "Cancel.displaying.dialogue = 2 \n", "", 0, 15, 2, 0, 1.5f},
    {"-nd=5", "Cancel.displaying.dialogue = 5 \n", "", 0, 15, 5, 0, 1.5f},
    // Only a digit starts the number of ND; the sign is left to the scanner.
    {"-ND-3", "Cancel.displaying.dialogue = 1 \n\nOption error: <3> 33", "\nOption error: <3> 33", 0, 15, 1, 0,
     1.5f},
    {"-ND=x", "Cancel.displaying.dialogue = 1 \n\nOption error: <x> 78", "\nOption error: <x> 78", 0, 15, 1, 0, 1.5f},
    {"-N=5", "", "", 0, 15, 0, 0, 1.5f},
    {"-N5D2", "Info.displayLevel = 2. \n", "", 2, 15, 0, 0, 1.5f},
    {"-EA=0.25", "ErrorAdmittance = 0.25 \n", "", 0, 15, 0, 0, 0.25f},
    {"-ea.5", "ErrorAdmittance = 0.5 \n", "", 0, 15, 0, 0, 0.5f},
    {"-E1.5e1D1", "ErrorAdmittance = 15 \nInfo.displayLevel = 1. \n", "", 1, 15, 0, 0, 15.0f},
    {"-T", "Twist.check = 1 \n", "", 0, 15, 0, 1, 1.5f},
    {"-t=0", "Twist.check = 0 \n", "", 0, 15, 0, 0, 1.5f},
    {"-T=", "Twist.check = 1 \n", "", 0, 15, 0, 1, 1.5f},
    {"-T3D1", "Twist.check = 3 \nInfo.displayLevel = 1. \n", "", 1, 15, 0, 3, 1.5f},
    {"-TND2", "Twist.check = 1 \nCancel.displaying.dialogue = 2 \n", "", 0, 15, 2, 1, 1.5f},
    {"-X", "\nOption error: <X> 58", "\nOption error: <X> 58", 0, 15, 0, 0, 1.5f},
    {"--/D1", "Info.displayLevel = 1. \n", "", 1, 15, 0, 0, 1.5f},
    {"-\x92", "\nOption error: <\x92> FFFFFF92", "\nOption error: <\x92> FFFFFF92", 0, 15, 0, 0, 1.5f},
    {"-K-X", "\nOption error: <K> 4B\nOption error: <X> 58", "\nOption error: <K> 4B\nOption error: <X> 58", 0, 15, 0,
     0, 1.5f},
    {"-r=2", "Restore.names = 2 \n", "", 0, 15, 0, 0, 1.5f},
    {"-q2T", "Quiet.mode = 2 \nTwist.check = 1 \n", "", 0, 15, 0, 1, 1.5f},
};

TEST(OptionScan, StoringPassStoresAndEchoes) {
  for (const OptionCase& c : kOptionCases) {
    SCOPED_TRACE(c.entry);
    run_settings_reset();
    con_capture_begin();
    scan_option_entry(c.entry, true);
    EXPECT_EQ(con_capture_end(), c.echoed);
    EXPECT_EQ(Info.displayLevel, c.displayLevel);
    EXPECT_EQ(Conv.mode, c.convMode);
    EXPECT_EQ(Cancel.displaying.dialogue, c.dialogue);
    EXPECT_EQ(Twist.check, c.twist);
    EXPECT_FLOAT_EQ(ErrorAdmittance, c.errorAdmittance);
  }
}

TEST(OptionScan, SecondPassOnlyReportsErrors) {
  for (const OptionCase& c : kOptionCases) {
    SCOPED_TRACE(c.entry);
    run_settings_reset();
    con_capture_begin();
    scan_option_entry(c.entry, false);
    EXPECT_EQ(con_capture_end(), c.silent);
    EXPECT_EQ(Info.displayLevel, 0);
    EXPECT_EQ(Conv.mode, 15);
    EXPECT_EQ(Cancel.displaying.dialogue, 0);
    EXPECT_EQ(Twist.check, 0);
    EXPECT_FLOAT_EQ(ErrorAdmittance, 1.5f);
  }
}

// Option numbers are read as a 32-bit long (as on Windows): past its range
// they saturate, so the stored low byte is the same on every system.
TEST(OptionScan, NumbersSaturateAtThirtyTwoBits) {
  struct Row { const char* entry; signed char displayLevel; signed char convMode; signed char twist; };
  const Row rows[] = {
      {"-D2147483647", -1, 15, 0},         // 0x7FFFFFFF
      {"-D2147483648", -1, 15, 0},         // saturates at 0x7FFFFFFF
      {"-D4294967297", -1, 15, 0},         // 0x100000001 with a 64-bit long: would be 1
      {"-D99999999999999999999", -1, 15, 0},
      {"-D-2147483648", 0, 15, 0},         // 0x80000000
      {"-D-2147483649", 0, 15, 0},         // saturates at 0x80000000
      {"-D-4294967041", 0, 15, 0},         // -0xFFFFFF01 with a 64-bit long: would be -1
      {"-M4294967553", 0, -1, 0},          // 0x100000101 with a 64-bit long: would be 1
      {"-M-1", 0, -1, 0},
      {"-T8589934594", 0, 15, -1},         // 0x200000002 with a 64-bit long: would be 2
      {"-D257", 1, 15, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.entry);
    run_settings_reset();
    con_capture_begin();
    scan_option_entry(r.entry, true);
    con_capture_end();
    EXPECT_EQ(Info.displayLevel, r.displayLevel);
    EXPECT_EQ(Conv.mode, r.convMode);
    EXPECT_EQ(Twist.check, r.twist);
  }
}

// The switch letters added after T share its grammar: bare means 1, low byte kept.
TEST(OptionScan, SwitchLetters) {
  struct Row { const char* entry; const char* echoed; int search, answer, fill; };
  const Row rows[] = {
      {"-A", "Auto.search = 1 \n", 1, 0, 0},
      {"-a=0", "Auto.search = 0 \n", 0, 0, 0},
      {"-A=", "Auto.search = 1 \n", 1, 0, 0},
      {"-A258", "Auto.search = 2 \n", 2, 0, 0},
      {"-Y", "Auto.answer = 1 \n", 0, 1, 0},
      {"-y2", "Auto.answer = 2 \n", 0, 2, 0},
      {"-F", "Fill.names = 1 \n", 0, 0, 1},
      {"-f=-1", "Fill.names = -1 \n", 0, 0, -1},
      {"-AYF", "Auto.search = 1 \nAuto.answer = 1 \nFill.names = 1 \n", 1, 1, 1},
      {"-A3D1", "Auto.search = 3 \nInfo.displayLevel = 1. \n", 3, 0, 0},
      {"-YO", "Auto.answer = 1 \nOverwrite.output = 1 \n", 0, 1, 0},
      {"-o=0", "Overwrite.output = 0 \n", 0, 0, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.entry);
    run_settings_reset();
    con_capture_begin();
    scan_option_entry(r.entry, true);
    EXPECT_EQ(con_capture_end(), r.echoed);
    EXPECT_EQ(Auto.search, r.search);
    EXPECT_EQ(Auto.answer, r.answer);
    EXPECT_EQ(Fill.names, r.fill);
    run_settings_reset();
    con_capture_begin();
    scan_option_entry(r.entry, false);
    EXPECT_EQ(con_capture_end(), "");
    EXPECT_EQ(Auto.search + Auto.answer + Fill.names, 0);
  }
}

// One reset brings back every setting the options set, and the folder flag;
// an option's row is covered from the day it is added.
TEST(RunSettings, OneResetCoversEverySetting) {
  con_capture_begin();
  for (const ByteOption& o : kByteOptions) scan_option_entry((std::string("-") + o.letters + "7").c_str(), true);
  scan_option_entry("-E7", true);
  std::string echoed = con_capture_end();
  modelsFromFolders = true;
  for (const ByteOption& o : kByteOptions) {
    EXPECT_EQ(7, *o.setting) << o.name;
    EXPECT_NE(echoed.find(std::string(o.name) + " = 7"), std::string::npos) << o.name;
  }
  run_settings_reset();
  for (const ByteOption& o : kByteOptions) EXPECT_EQ(o.byDefault, *o.setting) << o.name;
  EXPECT_EQ(Conv.mode, 15);
  EXPECT_FLOAT_EQ(ErrorAdmittance, 1.5f);
  EXPECT_FALSE(modelsFromFolders);
}

TEST(VersionLine, RowsByVersion) {
  struct Row { float version; const char* line; };
  const Row rows[] = {
      {10.019045f, " on Windows 10.019 "}, {10.0f, " on Windows 10 "},
      {6.3f, " on Windows 8.1 "},          {6.2f, " on Windows 8 "},
      {6.1f, " on Windows 7 "},            {6.0f, " on Windows Vista "},
      {5.2f, " on Windows XP "},           {5.1f, " on Windows 2000 "},
      {5.0f, " on Windows 95-98,Me "},     {4.9f, " on Windows 95-98,Me "},
      {0.0f, " on Windows 95-98,Me "},
  };
  for (const Row& r : rows) {
    char buf[64];
    version_line_for(buf, (int)sizeof buf, r.version);
    EXPECT_STREQ(buf, r.line) << r.version;
  }
  // major + minor * 0.1 as the version step computes it
  char buf[64];
  version_line_for(buf, (int)sizeof buf, 6.0f + 3 * 0.1f);
  EXPECT_STREQ(buf, " on Windows 8.1 ");
  char small[8];
  version_line_for(small, (int)sizeof small, 6.1f);
  EXPECT_STREQ(small, " on Win");
}

TEST(LanguageFlags, LanguageCodePageAndLeadByteTest) {
  struct Row { uint16_t lang; uint32_t cp; bool dbcs; bool japanese, sjis, utf8; };
  const Row rows[] = {
      {0x0411, 932, true, true, true, false},     {0x0411, 932, false, true, false, false},
      {0x0411, 65001, true, true, false, true},   {0x0411, 65001, false, true, false, true},
      {0x0411, 437, true, true, false, false},    {0x0409, 932, true, false, false, false},
      {0x0409, 65001, true, false, false, false}, {0x0804, 936, true, false, false, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << std::hex << r.lang << " " << std::dec << r.cp << " " << r.dbcs);
    LangFlags f = lang_flags_for(r.lang, r.cp, r.dbcs);
    EXPECT_EQ(f.japanese, r.japanese);
    EXPECT_EQ(f.sjisConsole, r.sjis);
    EXPECT_EQ(f.utf8Console, r.utf8);
  }
}

TEST(Banner, LanguageTagFollowsTheFlags) {
  LangFlags saved = Lang;
  struct Row { LangFlags flags; const char* tail; };
  const Row rows[] = {
      {{false, false, false}, "(English mode) \n"},
      {{true, false, false}, "(English mode) \n"},
      {{true, true, false}, "(\x93\xFA\x96{\x8C\xEA\x8A\xC2\x8B\xAB) \n"},
      // (UTF-8日本語環境) in UTF-8
      {{true, false, true}, "(UTF-8\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE7\x92\xB0\xE5\xA2\x83) \n"},
  };
  for (const Row& r : rows) {
    Lang = r.flags;
    con_capture_begin();
    startup_banner();
    std::string out = con_capture_end();
    const std::string title = "Quillmend  V1.02  ";
    EXPECT_EQ(out.compare(0, title.size(), title), 0) << out;
    EXPECT_NE(out.find("\n on "), std::string::npos) << out;
    std::string tail = r.tail;
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
  }
  Lang = saved;
}

uint32_t curdir_ok(char* buf, uint32_t cap) {
  snprintf(buf, cap, "C:\\work");
  return 7;
}
uint32_t curdir_fails(char*, uint32_t) { return 0; }
uint32_t curdir_too_long(char* buf, uint32_t cap) {
  if (cap) buf[0] = 0;
  return 300;  // the size it would need
}
uint32_t curdir_okW(char16_t* buf, uint32_t cap) {
  const char16_t d[] = u"D:\\w";
  for (uint32_t i = 0; i < cap && i < 5; i++) buf[i] = d[i];
  return 4;
}
uint32_t curdir_failsW(char16_t*, uint32_t) { return 0; }

TEST(ProgramFolder, FolderOfPathOrCurrentFolder) {
  char dst[520];
  con_capture_begin();
  program_folder_for(dst, (int)sizeof dst, "C:\\tools\\quillmend.exe", curdir_fails);
  EXPECT_STREQ(dst, "C:\\tools\\");
  program_folder_for(dst, (int)sizeof dst, "quillmend.exe", curdir_ok);
  EXPECT_STREQ(dst, "C:\\work\\");
  EXPECT_EQ(con_capture_end(), "");

  con_capture_begin();
  program_folder_for(dst, (int)sizeof dst, "quillmend.exe", curdir_fails);
  EXPECT_STREQ(dst, "");
  program_folder_for(dst, (int)sizeof dst, "", curdir_too_long);
  EXPECT_STREQ(dst, "");
  EXPECT_EQ(con_capture_end(), "(Obtaining exe dir failed.) \n(Obtaining exe dir failed.) \n");

  char16_t w[520];
  con_capture_begin();
  program_folder_forW(w, 520, u"q.exe", curdir_okW);
  EXPECT_EQ(std::u16string(w), u"D:\\w\\");
  program_folder_forW(w, 520, u"q.exe", curdir_failsW);
  EXPECT_EQ(std::u16string(w), u"");
  EXPECT_EQ(con_capture_end(), "(Obtaining exe dir failed.) \n");
}

TEST(ArgumentLists, SurplusArgumentsAreDroppedOnce) {
  std::vector<std::string> args;
  args.push_back("C:\\tools\\quillmend.exe");
  for (int i = 1; i < 511; i++) args.push_back("-");
  for (int i = 511; i < 600; i++) args.push_back("-D5");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);

  run_settings_reset();
  Info.displayLevel = 9;
  con_capture_begin();
  startup_lists((int)argv.size(), argv.data(), u"C:\\tools\\quillmend.exe -D1");
  startup_options();
  EXPECT_EQ(con_capture_end(), "Too many command line parameters.\n");
  EXPECT_EQ(ansiArgs.count, 511);
  EXPECT_EQ(Info.displayLevel, 0);  // defaults restored, nothing past 510 scanned
  EXPECT_STREQ(programPath, "C:\\tools\\quillmend.exe");
  EXPECT_STREQ(programFolder, "C:\\tools\\");
  EXPECT_EQ(wideArgs.count, 2);
  EXPECT_EQ(std::u16string(programFolderW), u"C:\\tools\\");
}

std::string backslashed(std::string p) {
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

TEST(OptionPass, ModelPathsAreTestOpenedInOrder) {
  TempDir dir("front-startup");
  ASSERT_TRUE(write_file_bytes(dir / "a.pmx", "PMX "));
  std::string good = backslashed(dir / "a.pmx");
  std::string missing = backslashed(dir / "none.pmx");
  std::u16string cmd = u"q.exe x y z";
  std::vector<std::string> args = {"q.exe", good, "-D2", missing};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);

  con_capture_begin();
  startup_lists((int)argv.size(), argv.data(), cmd.c_str());
  startup_options();
  EXPECT_EQ(con_capture_end(),
            " -- correctly opened in ANSI or UTF-8. \n"
            "Info.displayLevel = 2. \n"
            " -- could not open in ANSI or UTF-8. \n"
            " -- could not open in UTF-16. (***) \n");
}

TEST(OptionPass, UnicodeEntryBesideAnUnusableAnsiPath) {
  TempDir dir("front-startup");
  ASSERT_TRUE(write_file_bytes(dir / "b.pmx", "PMX "));
  std::string ansi = backslashed(dir / "?.pmx");
  std::string wide8 = backslashed(dir / "b.pmx");
  std::u16string wide(wide8.begin(), wide8.end());  // ASCII temp path
  con_capture_begin();
  test_open_report(ansi.c_str(), wide.c_str());
  EXPECT_EQ(con_capture_end(),
            " -- could not open in ANSI or UTF-8. \n"
            " -- correctly opened in UTF-16. \n");
}

}  // namespace
