// The common file-open dialog: filters, title and default extension by file
// kind, started in the folder of an initial path.
#include "platform/file_dialog.h"

#include <cstring>

#include "platform/console.h"
#include "platform/paths.h"

namespace {

const uint32_t kRequestSize = 76;      // OPENFILENAME_SIZE_VERSION_400
const uint32_t kDialogFlags = 0x1800;  // OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST
const int kNameCap = PATH_CAP;
// Entries stop being added this close to the end of the filter buffer.
const int kFilterRoom = 128;

struct Filter { const char* description; const char* pattern; };

const Filter kAll = {"All Files  (*.*)", "*.*"};
const Filter kScripts[] = {
    {"Script Files  (*.txt;*.ini;*.vnt)", "*.TXT;*.INI;*.VNT"},
    {"Text Files  (*.txt)", "*.TXT"},
    {"INI Files  (*.ini)", "*.INI"},
};
const Filter kImages[] = {
    {"Image Files  (*.bmp;*.gif;*.avi;*.png;*.psd;*.jpg;*.jpe)", "*.BMP;*.GIF;*.AVI;*.PNG;*.PSD;*.JPG;*.JPE"},
    {"BMP Files  (*.bmp)", "*.BMP"},
    {"PNG Files  (*.png)", "*.PNG"},
    {"PSD Files  (*.psd)", "*.PSD"},
    {"JPEG Files  (*.jpg;*.jpe)", "*.JPG;*.JPE"},
    {"GIF Files  (*.gif)", "*.GIF"},
    {"AVI Files  (*.avi)", "*.AVI"},
};
const Filter kMotion = {"MMD Motion File  (*.vmd)", "*.VMD"};
const Filter kVrm = {"VRM Model File  (*.vrm)", "*.VRM"};
const Filter kModel = {"MMD Model File  (*.pmx)", "*.PMX"};

// An initial extension that starts with test selects a filter and a default extension.
struct ExtRow { const char* test; uint32_t position; const char* ext; };

const ExtRow kImageRows[] = {
    {".BMP", 2, "bmp"}, {".PNG", 3, "png"}, {".PSD", 4, "psd"},
    {".JPG", 5, "jpg"}, {".GIF", 6, "gif"}, {".AVI", 7, "avi"},
};
const ExtRow kScriptRows[] = {{".TXT", 2, "txt"}, {".INI", 3, "ini"}};
const ExtRow kSourceRows[] = {
    {".TXT", 2, "txt"},  {".INI", 3, "ini"},  {".BMP", 5, "bmp"}, {".PNG", 6, "png"},
    {".PSD", 7, "psd"},  {".JPG", 8, "jpg"},  {".GIF", 9, "gif"}, {".AVI", 10, "avi"},
};
const ExtRow kMotionRows[] = {{".VMD", 1, "vmd"}};
const ExtRow kVrmRows[] = {{".VRM", 1, "vrm"}};
const ExtRow kModelRows[] = {{".PMX", 1, "pmx"}};

struct Kind {
  const char* title;
  const char16_t* titleW;
  const char* ext;  // null: none
  const Filter* groups[3];
  int groupSizes[3];
  const ExtRow* rows;
  int rowCount;
};

#define QM_COUNT(a) (int)(sizeof(a) / sizeof((a)[0]))

// The all-files entry is added after the groups of every kind. In the order
// of the DLG_KIND_ values.
const Kind kKinds[] = {
    {"Open File", u"Open File", "txt", {}, {}, nullptr, 0},
    {"Open Image File", u"Open Image File", "bmp", {kImages}, {QM_COUNT(kImages)}, kImageRows, QM_COUNT(kImageRows)},
    {"Open Script File", u"Open Script File", "txt", {kScripts}, {QM_COUNT(kScripts)}, kScriptRows, QM_COUNT(kScriptRows)},
    {"Open Source File", u"Open Source File", nullptr, {kScripts, kImages}, {QM_COUNT(kScripts), QM_COUNT(kImages)},
     kSourceRows, QM_COUNT(kSourceRows)},
    {"Open MMD Motion File", u"Open MMD Motion File", "vmd", {&kMotion}, {1}, kMotionRows, 1},
    {"Open VRM Model File", u"Open VRM Model File", "vrm", {&kVrm}, {1}, kVrmRows, 1},
    {"Open MMD Model File", u"Open MMD Model File", "pmx", {&kModel}, {1}, kModelRows, 1},
};

// Kinds outside the table get the plain all-files dialog.
const Kind& kind_of(int kind) {
  if (kind < 0 || kind >= QM_COUNT(kKinds)) return kKinds[0];
  return kKinds[kind];
}

// ASCII text into either unit type; cut at cap - 1, always terminated.
template <typename C>
void ascii_copy(C* dst, int cap, const char* src) {
  int i = 0;
  for (; src[i] && i < cap - 1; i++) dst[i] = (C)(unsigned char)src[i];
  dst[i] = 0;
}

// Appends one string and its terminator at *len; leaves room for the two closing zeros.
template <typename C>
void filter_put(C* list, int* len, const char* s) {
  int n = *len;
  for (; *s && n < FILTER_CAP - 3; s++) list[n++] = (C)(unsigned char)*s;
  list[n++] = 0;
  *len = n;
}

template <typename C>
void build_filter(C* list, const Kind& k) {
  int len = 0;
  list[0] = 0;
  Filter entries[16];
  int count = 0;
  for (int g = 0; g < 3; g++) {
    for (int i = 0; i < k.groupSizes[g] && count < 15; i++) entries[count++] = k.groups[g][i];
  }
  entries[count++] = kAll;
  for (int i = 0; i < count; i++) {
    if (len >= FILTER_CAP - kFilterRoom) break;
    filter_put(list, &len, entries[i].description);
    filter_put(list, &len, entries[i].pattern);
    list[len] = 0;
  }
  // An empty string ends the list.
  list[len] = 0;
  list[len + 1] = 0;
}

void report_failure(int result, uint32_t code) {
  if (code == 0) {
    con_printf("\nCanceled File-Open Dialog Box. ");
  } else {
    con_printf("\nFailed Opening File-Open Dialog Box: %04X ", (unsigned)result);
  }
  con_printf("(stat=%04X).\n", (unsigned)code);
  struct Name { uint32_t code; const char* line; };
  static const Name names[] = {
      {0xFFFF, "CDERR_DIALOGFAILURE.\n"},  {0x0001, "CDERR_STRUCTSIZE.\n"},
      {0x0002, "CDERR_INITIALIZATION.\n"}, {0x0003, "CDERR_NOTEMPLATE.\n"},
      {0x0004, "CDERR_NOHINSTANCE.\n"},    {0x0005, "CDERR_LOADSTRFAILURE.\n"},
      {0x0006, "CDERR_FINDRESFAILURE.\n"}, {0x0007, "CDERR_LOADRESFAILURE.\n"},
      {0x0008, "CDERR_LOCKRESFAILURE.\n"}, {0x0009, "CDERR_MEMALLOCFAILURE.\n"},
      {0x000A, "CDERR_MEMLOCKFAILURE.\n"}, {0x000B, "CDERR_NOHOOK.\n"},
      {0x3001, "FNERR_SUBCLASSFAILURE.\n"}, {0x3002, "FNERR_INVALIDFILENAME.\n"},
      {0x3003, "FNERR_BUFFERTOOSMALL.\n"},
  };
  for (const Name& n : names) {
    if (n.code == code) {
      con_printf("%s", n.line);
      break;
    }
  }
}

// What the dialog reports when the chosen path does not fit the caller's buffer.
const uint32_t kBufferTooSmall = 0x3003;

// The two forms differ only in these.
const char16_t* title_of(const Kind& k, const char16_t*) { return k.titleW; }
const char* title_of(const Kind& k, const char*) { return k.title; }
int dir_part(char16_t* dst, int cap, const char16_t* path) { return dirpartW(dst, cap, path); }
int dir_part(char* dst, int cap, const char* path) { return dirpart(dst, cap, path); }
int strip_tail_sep(char16_t* path) { return striptailsepW(path); }
int strip_tail_sep(char* path) { return striptailsep(path); }
int name_part(char16_t* dst, int cap, const char16_t* path) { return namepartW(dst, cap, path); }
int name_part(char* dst, int cap, const char* path) { return namepart(dst, cap, path); }
int ext_part(char16_t* dst, int cap, const char16_t* path) { return extpartW(dst, cap, path); }
int ext_part(char* dst, int cap, const char* path) { return extpart(dst, cap, path); }
int head_cmpi(const char16_t* s, const char16_t* p) { return headcmpiW(s, p); }
int head_cmpi(const char* s, const char* p) { return headcmpi(s, p); }
int ask_system(os_ofnW* ofn) { return os_get_open_file_nameW(ofn); }
int ask_system(os_ofnA* ofn) { return os_get_open_file_nameA(ofn); }
void want_exact(os_ofnW*, char16_t*, int) {}
void want_exact(os_ofnA* ofn, char16_t* exactW, int capW) {
  if (!exactW || capW <= 0) return;
  exactW[0] = 0;
  ofn->fileW = exactW;
  ofn->maxFileW = (uint32_t)capW;
}

template <typename C>
int length_of(const C* s) {
  int n = 0;
  while (s[n]) n++;
  return n;
}

template <typename Request, typename C>
void build_request(Request* r, int kind, const C* initialPath, const C* title) {
  static const C kEmpty[1] = {0};
  const Kind& k = kind_of(kind);
  if (!initialPath) initialPath = kEmpty;
  C savedExt[kNameCap];
  dir_part(r->initialDir, kNameCap, initialPath);
  strip_tail_sep(r->initialDir);
  name_part(r->file, kNameCap, initialPath);
  ext_part(savedExt, kNameCap, initialPath);
  build_filter(r->filter, k);
  ascii_copy(r->ext, kNameCap, k.ext ? k.ext : "");

  auto& o = r->ofn;
  memset(&o, 0, sizeof o);
  o.structSize = kRequestSize;
  o.filter = r->filter;
  o.filterIndex = 0;
  o.file = r->file;
  o.maxFile = kNameCap;
  o.initialDir = r->initialDir[0] ? r->initialDir : nullptr;
  o.title = (title && title[0]) ? title : title_of(k, title);
  o.flags = kDialogFlags;
  for (int i = 0; i < k.rowCount; i++) {
    C test[8];
    ascii_copy(test, 8, k.rows[i].test);
    if (head_cmpi(savedExt, test) == 0) {
      o.filterIndex = k.rows[i].position;
      ascii_copy(r->ext, kNameCap, k.rows[i].ext);
    }
  }
  o.defExt = r->ext[0] ? r->ext : nullptr;
}

template <typename Request, typename C>
int open_dialog(C* dst, int cap, int kind, const C* initialPath, const C* title, char16_t* exactW = nullptr,
                int capW = 0) {
  Request r;
  build_request(&r, kind, initialPath, title);
  want_exact(&r.ofn, exactW, capW);
  int result = ask_system(&r.ofn);
  if (result == 0) {
    report_failure(result, os_comm_dlg_extended_error());
    if (exactW && capW > 0) exactW[0] = 0;
    return -1;
  }
  r.file[kNameCap - 1] = 0;
  if (dst) {
    int n = length_of(r.file);
    // A cut path would name another file: refuse it instead.
    if (n >= cap) {
      report_failure(0, kBufferTooSmall);
      if (exactW && capW > 0) exactW[0] = 0;
      return -1;
    }
    for (int i = 0; i <= n; i++) dst[i] = r.file[i];
  }
  return 0;
}

}  // namespace

void build_dialog_requestW(DialogRequestW* r, int kind, const char16_t* initialPath, const char16_t* title) {
  build_request(r, kind, initialPath, title);
}

void build_dialog_requestA(DialogRequestA* r, int kind, const char* initialPath, const char* title) {
  build_request(r, kind, initialPath, title);
}

int openfiledlgW(char16_t* dst, int cap, int kind, const char16_t* initialPath, const char16_t* title) {
  return open_dialog<DialogRequestW>(dst, cap, kind, initialPath, title);
}

int openfiledlg(char* dst, int cap, int kind, const char* initialPath, const char* title, char16_t* exactW,
                int capW) {
  return open_dialog<DialogRequestA>(dst, cap, kind, initialPath, title, exactW, capW);
}

int pickfileW(char16_t* dst, int cap, int kind, const char16_t* initialPath) {
  return openfiledlgW(dst, cap, kind, initialPath, nullptr);
}

int pickfile(char* dst, int cap, int kind, const char* initialPath) {
  return openfiledlg(dst, cap, kind, initialPath, nullptr);
}

