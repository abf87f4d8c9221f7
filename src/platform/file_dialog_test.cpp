#include "platform/file_dialog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/console.h"
#include "support/run_program.h"

namespace {

// The filter list as its strings, up to the empty one that ends it.
std::vector<std::string> filter_strings(const char* f) {
  std::vector<std::string> out;
  while (*f) {
    out.push_back(f);
    f += out.back().size() + 1;
  }
  return out;
}
std::vector<std::string> filter_strings(const char16_t* f) {
  std::vector<std::string> out;
  while (*f) {
    std::string s;
    for (; *f; f++) s += (char)*f;
    out.push_back(s);
    f++;
  }
  return out;
}
std::string narrow(const char16_t* s) {
  std::string out;
  if (!s) return "(null)";
  for (; *s; s++) out += *s < 0x80 ? (char)*s : '?';
  return out;
}
std::string str(const char* s) { return s ? s : "(null)"; }

const std::vector<std::string> kAllFiles = {"All Files  (*.*)", "*.*"};
const std::vector<std::string> kScriptGroup = {
    "Script Files  (*.txt;*.ini;*.vnt)", "*.TXT;*.INI;*.VNT", "Text Files  (*.txt)", "*.TXT",
    "INI Files  (*.ini)", "*.INI"};
const std::vector<std::string> kImageGroup = {
    "Image Files  (*.bmp;*.gif;*.avi;*.png;*.psd;*.jpg;*.jpe)", "*.BMP;*.GIF;*.AVI;*.PNG;*.PSD;*.JPG;*.JPE",
    "BMP Files  (*.bmp)", "*.BMP", "PNG Files  (*.png)", "*.PNG", "PSD Files  (*.psd)", "*.PSD",
    "JPEG Files  (*.jpg;*.jpe)", "*.JPG;*.JPE", "GIF Files  (*.gif)", "*.GIF", "AVI Files  (*.avi)", "*.AVI"};

std::vector<std::string> join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct KindCase {
  int kind;
  std::vector<std::string> filters;
  const char* title;
  const char* defExt;  // null: none
};

TEST(DialogRequest, FiltersTitlesAndExtensionsByKind) {
  const KindCase cases[] = {
      {0, kAllFiles, "Open File", "txt"},
      {1, join({kImageGroup, kAllFiles}), "Open Image File", "bmp"},
      {2, join({kScriptGroup, kAllFiles}), "Open Script File", "txt"},
      {3, join({kScriptGroup, kImageGroup, kAllFiles}), "Open Source File", nullptr},
      {4, join({{"MMD Motion File  (*.vmd)", "*.VMD"}, kAllFiles}), "Open MMD Motion File", "vmd"},
      {5, join({{"VRM Model File  (*.vrm)", "*.VRM"}, kAllFiles}), "Open VRM Model File", "vrm"},
      {6, join({{"MMD Model File  (*.pmx)", "*.PMX"}, kAllFiles}), "Open MMD Model File", "pmx"},
  };
  static DialogRequestA a;
  static DialogRequestW w;
  for (const KindCase& c : cases) {
    SCOPED_TRACE(c.kind);
    build_dialog_requestA(&a, c.kind, "C:\\tools\\", nullptr);
    build_dialog_requestW(&w, c.kind, u"C:\\tools\\", nullptr);
    EXPECT_EQ(filter_strings(a.ofn.filter), c.filters);
    EXPECT_EQ(filter_strings(w.ofn.filter), c.filters);
    EXPECT_EQ(str(a.ofn.title), c.title);
    EXPECT_EQ(narrow(w.ofn.title), c.title);
    EXPECT_EQ(str(a.ofn.defExt), str(c.defExt));
    EXPECT_EQ(narrow(w.ofn.defExt), str(c.defExt));
    for (uint32_t size : {a.ofn.structSize, w.ofn.structSize}) EXPECT_EQ(size, 76u);
    for (uint32_t flags : {a.ofn.flags, w.ofn.flags}) EXPECT_EQ(flags, 0x1800u);
    for (uint32_t max : {a.ofn.maxFile, w.ofn.maxFile}) EXPECT_EQ(max, 260u);
    EXPECT_EQ(a.ofn.filterIndex, 0u);
    EXPECT_EQ(w.ofn.filterIndex, 0u);
    EXPECT_EQ(str(a.ofn.initialDir), "C:\\tools");
    EXPECT_EQ(narrow(w.ofn.initialDir), "C:\\tools");
    EXPECT_EQ(a.ofn.file, a.file);
    EXPECT_STREQ(a.file, "");
    EXPECT_EQ(w.file[0], 0);
  }
}

struct ExtCase {
  int kind;
  const char* initialPath;
  uint32_t position;
  const char* defExt;
};

TEST(DialogRequest, InitialExtensionPreselectsAFilter) {
  const ExtCase cases[] = {
      {6, "C:\\m\\a.PMX", 1, "pmx"},   {6, "C:\\m\\a.pmx", 1, "pmx"},  {6, "C:\\m\\a.pMxz", 1, "pmx"},
      {6, "C:\\m\\a.vmd", 0, "pmx"},   {1, "pic.png", 3, "png"},       {1, "x.jpeg", 0, "bmp"},
      {1, "C:\\a.avi", 7, "avi"},      {3, "icon.gif", 9, "gif"},      {3, "a.ini", 3, "ini"},
      {3, "a.doc", 0, nullptr},        {2, "a.TXT", 2, "txt"},         {4, "m.vmd", 1, "vmd"},
      {5, "m.Vrm", 1, "vrm"},          {0, "a.png", 0, "txt"},         {0, "a.txt", 0, "txt"},
      // the extension runs from the last dot of the whole path
      {6, "C:\\my.pmx\\file", 1, "pmx"},
  };
  static DialogRequestA a;
  static DialogRequestW w;
  for (const ExtCase& c : cases) {
    SCOPED_TRACE(c.initialPath);
    std::u16string wide(c.initialPath, c.initialPath + strlen(c.initialPath));
    build_dialog_requestA(&a, c.kind, c.initialPath, nullptr);
    build_dialog_requestW(&w, c.kind, wide.c_str(), nullptr);
    EXPECT_EQ(a.ofn.filterIndex, c.position);
    EXPECT_EQ(w.ofn.filterIndex, c.position);
    EXPECT_EQ(str(a.ofn.defExt), str(c.defExt));
    EXPECT_EQ(narrow(w.ofn.defExt), str(c.defExt));
  }
}

TEST(DialogRequest, InitialFolderNameAndTitle) {
  struct Case { const char* path; const char* dir; const char* file; };
  const Case cases[] = {
      {"C:\\tools\\", "C:\\tools", ""},
      {"D:\\", "D:\\", ""},
      {"C:\\m\\tex\\b.png", "C:\\m\\tex", "b.png"},
      {"b.png", "(null)", "b.png"},
      {"", "(null)", ""},
      {"\\", "\\", ""},
  };
  static DialogRequestA a;
  static DialogRequestW w;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::u16string wide(c.path, c.path + strlen(c.path));
    build_dialog_requestA(&a, 0, c.path, "Find b.png");
    build_dialog_requestW(&w, 0, wide.c_str(), u"");
    EXPECT_EQ(str(a.ofn.initialDir), c.dir);
    EXPECT_EQ(narrow(w.ofn.initialDir), c.dir);
    EXPECT_STREQ(a.ofn.file, c.file);
    EXPECT_EQ(narrow(w.ofn.file), c.file);
    EXPECT_EQ(str(a.ofn.title), "Find b.png");
    EXPECT_EQ(narrow(w.ofn.title), "Open File");
    EXPECT_EQ(filter_strings(a.ofn.filter), kAllFiles);
  }
  build_dialog_requestA(&a, 6, nullptr, "");
  EXPECT_EQ(str(a.ofn.title), "Open MMD Model File");
  EXPECT_EQ(str(a.ofn.initialDir), "(null)");
  // A kind outside the table is the plain all-files dialog.
  build_dialog_requestW(&w, 42, u"x.pmx", nullptr);
  EXPECT_EQ(filter_strings(w.ofn.filter), kAllFiles);
  EXPECT_EQ(narrow(w.ofn.title), "Open File");
}

TEST(DialogRequest, ShiftJisFolderWithBackslashTrailByte) {
  // 表 is 0x95 0x5C: its second byte is not a separator.
  static DialogRequestA a;
  build_dialog_requestA(&a, 6, "C:\\\x95\x5C\\m.pmx", nullptr);
  EXPECT_STREQ(a.ofn.initialDir, "C:\\\x95\x5C");
  EXPECT_STREQ(a.ofn.file, "m.pmx");
  EXPECT_EQ(a.ofn.filterIndex, 1u);
}

// The POSIX dialog reads its answer from stdin.
void answer_with(const std::string& text) {
  static TempDir dir("front-dialog");
  std::string path = dir / "answer.txt";
  ASSERT_TRUE(write_file_bytes(path, text));
  ASSERT_NE(freopen(path.c_str(), "r", stdin), nullptr);
}

std::string backslashed(std::string p) {
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

TEST(OpenDialog, CancelReportsAndLeavesTheDestination) {
  answer_with("");
  char dst[260] = "unchanged";
  con_capture_begin();
  EXPECT_EQ(pickfile(dst, 260, 6, "C:\\tools\\"), -1);
  EXPECT_EQ(con_capture_end(), "\nCanceled File-Open Dialog Box. (stat=0000).\n");
  EXPECT_STREQ(dst, "unchanged");

  answer_with("");
  char16_t dstW[260] = u"unchanged";
  con_capture_begin();
  EXPECT_EQ(openfiledlgW(dstW, 260, 0, u"", u"Where is b.png?"), -1);
  EXPECT_EQ(con_capture_end(), "\nCanceled File-Open Dialog Box. (stat=0000).\n");
  EXPECT_EQ(std::u16string(dstW), u"unchanged");
}

TEST(OpenDialog, ChosenFileIsCopiedWithinTheCapacity) {
  TempDir dir("front-dialog-pick");
  ASSERT_TRUE(write_file_bytes(dir / "m.pmx", "PMX "));
  std::string want = backslashed(dir / "m.pmx");
  std::string folder = backslashed(dir.path) + "\\";

  answer_with("m.pmx\n");
  char dst[260] = "";
  con_capture_begin();
  EXPECT_EQ(pickfile(dst, 260, 6, folder.c_str()), 0);
  EXPECT_EQ(con_capture_end(), "");
  EXPECT_EQ(std::string(dst), want);

  answer_with(dir / "m.pmx\n");
  char16_t dstW[260] = u"";
  EXPECT_EQ(pickfileW(dstW, 260, 6, u""), 0);
  EXPECT_EQ(narrow(dstW), want);

  // A destination too small for the path is not given a cut path.
  answer_with("m.pmx\n");
  char small[8] = "keep";
  con_capture_begin();
  EXPECT_EQ(openfiledlg(small, (int)sizeof small, 6, folder.c_str(), nullptr), -1);
  EXPECT_EQ(con_capture_end(),
            "\nFailed Opening File-Open Dialog Box: 0000 (stat=3003).\nFNERR_BUFFERTOOSMALL.\n");
  EXPECT_STREQ(small, "keep");

  answer_with("m.pmx\n");
  EXPECT_EQ(openfiledlg(nullptr, 0, 6, folder.c_str(), nullptr), 0);
}

}  // namespace
