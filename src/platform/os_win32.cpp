// The seam on Windows: thin calls into KERNEL32, USER32 and COMDLG32.
// wchar_t is 16 bits here, so UTF-16 text passes by a cast.
#include "platform/os.h"

#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

uint32_t lastError = 0;
int ansiArgc = 0;
char** ansiArgv = nullptr;
char* noArgs[1] = {nullptr};

const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
wchar_t* W(char16_t* s) { return reinterpret_cast<wchar_t*>(s); }

HANDLE H(os_file f) { return (HANDLE)f; }

void remember_error() { lastError = GetLastError(); }

// Width of the character at s, so a name is never cut inside one: a
// double-byte character in the ANSI form, a surrogate pair in the wide form.
int char_width(const char* s) { return (IsDBCSLeadByte((BYTE)s[0]) && s[1]) ? 2 : 1; }
int char_width(const wchar_t* s) {
  return (s[0] >= 0xD800 && s[0] <= 0xDBFF && s[1] >= 0xDC00 && s[1] <= 0xDFFF) ? 2 : 1;
}

template <typename C, typename SysC>
void copy_name(C* dst, int cap, const SysC* src) {
  if (cap <= 0) return;
  int n = 0;
  while (src[n]) {
    int w = char_width(src + n);
    if (n + w > cap - 1) break;
    for (int k = 0; k < w; k++) dst[n + k] = (C)src[n + k];
    n += w;
  }
  dst[n] = 0;
}

// The system's text type for each of the program's.
const char* sys(const char* s) { return s; }
char* sys(char* s) { return s; }
const wchar_t* sys(const char16_t* s) { return W(s); }
wchar_t* sys(char16_t* s) { return W(s); }

HANDLE find_first(const char* pattern, WIN32_FIND_DATAA* fd) { return FindFirstFileA(pattern, fd); }
HANDLE find_first(const wchar_t* pattern, WIN32_FIND_DATAW* fd) { return FindFirstFileW(pattern, fd); }
BOOL find_next(HANDLE h, WIN32_FIND_DATAA* fd) { return FindNextFileA(h, fd); }
BOOL find_next(HANDLE h, WIN32_FIND_DATAW* fd) { return FindNextFileW(h, fd); }

// The last entry found was a reparse point (a symbolic link or junction).
int findIsLink = 0;

template <typename Data, typename C>
os_find find_first_t(const C* pattern, C* name, int cap, int* isDir) {
  Data fd;
  HANDLE h = find_first(sys(pattern), &fd);
  if (h == INVALID_HANDLE_VALUE) {
    remember_error();
    if (cap > 0) name[0] = 0;
    return OS_BAD_FIND;
  }
  copy_name(name, cap, fd.cFileName);
  *isDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
  findIsLink = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? 1 : 0;
  return (os_find)h;
}

template <typename Data, typename C>
int find_next_t(os_find h, C* name, int cap, int* isDir) {
  Data fd;
  if (!find_next((HANDLE)h, &fd)) {
    remember_error();
    return 0;
  }
  copy_name(name, cap, fd.cFileName);
  *isDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
  findIsLink = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? 1 : 0;
  return 1;
}

DWORD current_dir(DWORD cap, char* buf) { return GetCurrentDirectoryA(cap, buf); }
DWORD current_dir(DWORD cap, wchar_t* buf) { return GetCurrentDirectoryW(cap, buf); }

// A folder longer than the buffer counts as a failure: GetCurrentDirectory
// leaves the buffer untouched then and returns the size it would need.
template <typename C>
uint32_t current_dir_t(C* buf, uint32_t cap) {
  if (cap == 0) return 0;
  DWORD n = current_dir(cap, sys(buf));
  if (n == 0 || n >= cap) {
    buf[0] = 0;
    return 0;
  }
  return n;
}

BOOL get_open_file_name(OPENFILENAMEA* ofn) { return GetOpenFileNameA(ofn); }
BOOL get_open_file_name(OPENFILENAMEW* ofn) { return GetOpenFileNameW(ofn); }

typedef LONG(WINAPI* RtlGetVersionFn)(OSVERSIONINFOW*);

// The documented size of the request before Windows 2000 added fields; the
// program asks for it by its 32-bit value, which differs on 64-bit Windows.
DWORD request_size(uint32_t given, DWORD version400) { return given == 76 ? version400 : (DWORD)given; }

template <typename Ofn, typename Req>
int get_open_file_name_t(Req* req, DWORD version400) {
  Ofn ofn;
  memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = request_size(req->structSize, version400);
  ofn.lpstrFilter = sys(req->filter);
  ofn.nFilterIndex = req->filterIndex;
  ofn.lpstrFile = sys(req->file);
  ofn.nMaxFile = req->maxFile;
  ofn.lpstrInitialDir = sys(req->initialDir);
  ofn.lpstrTitle = sys(req->title);
  ofn.Flags = req->flags;
  ofn.lpstrDefExt = sys(req->defExt);
  BOOL ok = get_open_file_name(&ofn);
  req->filterIndex = ofn.nFilterIndex;
  return ok ? 1 : 0;
}

// The ANSI request shown by the UTF-16 dialog, its texts converted with the
// ANSI code page as GetOpenFileNameA converts them inside, so that the caller
// also learns the exact name of a file that the ANSI code page cannot spell.
enum { EXACT_FILTER_CAP = 16384, EXACT_TEXT_CAP = 1024 };
wchar_t exactFilter[EXACT_FILTER_CAP], exactFile[EXACT_TEXT_CAP], exactDir[EXACT_TEXT_CAP];
wchar_t exactTitle[EXACT_TEXT_CAP], exactExt[EXACT_TEXT_CAP];
// What CommDlgExtendedError cannot know: the answer did not fit the ANSI buffer.
DWORD exactError = 0;

// Bytes of a filter list (pairs of strings ending in an empty one), terminators included.
int filter_bytes(const char* list) {
  int n = 0;
  while (list[n] && n < EXACT_FILTER_CAP) n += (int)strlen(list + n) + 1;
  return n + 1;
}

// null stays null; false when the text does not fit.
bool ansi_to_wide(const char* s, int bytes, wchar_t* dst, int cap, const wchar_t** out) {
  *out = nullptr;
  if (!s) return true;
  if (MultiByteToWideChar(CP_ACP, 0, s, bytes, dst, cap) <= 0) return false;
  *out = dst;
  return true;
}

// -1: the texts do not fit, the plain ANSI dialog must serve.
int get_open_file_name_exact(os_ofnA* req) {
  OPENFILENAMEW ofn;
  memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = request_size(req->structSize, OPENFILENAME_SIZE_VERSION_400W);
  const wchar_t* file = nullptr;
  if (!ansi_to_wide(req->filter, req->filter ? filter_bytes(req->filter) : 0, exactFilter, EXACT_FILTER_CAP,
                    &ofn.lpstrFilter) ||
      !ansi_to_wide(req->file, -1, exactFile, EXACT_TEXT_CAP, &file) ||
      !ansi_to_wide(req->initialDir, -1, exactDir, EXACT_TEXT_CAP, &ofn.lpstrInitialDir) ||
      !ansi_to_wide(req->title, -1, exactTitle, EXACT_TEXT_CAP, &ofn.lpstrTitle) ||
      !ansi_to_wide(req->defExt, -1, exactExt, EXACT_TEXT_CAP, &ofn.lpstrDefExt))
    return -1;
  if (!file) exactFile[0] = 0;
  ofn.nFilterIndex = req->filterIndex;
  ofn.lpstrFile = exactFile;
  ofn.nMaxFile = req->maxFile < (uint32_t)EXACT_TEXT_CAP ? req->maxFile : (DWORD)EXACT_TEXT_CAP;
  ofn.Flags = req->flags;
  BOOL ok = GetOpenFileNameW(&ofn);
  req->filterIndex = ofn.nFilterIndex;
  if (!ok) return 0;
  exactFile[EXACT_TEXT_CAP - 1] = 0;
  // No best fit: a name the code page cannot spell must not turn into another file's.
  if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, exactFile, -1, req->file, (int)req->maxFile, nullptr,
                          nullptr) <= 0) {
    exactError = OS_FNERR_BUFFER_TOO_SMALL;
    return 0;
  }
  size_t n = wcslen(exactFile);
  if (n + 1 <= req->maxFileW) memcpy(req->fileW, exactFile, (n + 1) * sizeof(wchar_t));
  return 1;
}

// RtlGetVersion's record: the size field names the basic form of
// OSVERSIONINFOW (five 32-bit fields and a 128-unit service-pack text).
const DWORD kVersionRecordSize = 276;
static_assert(sizeof(OSVERSIONINFOW) == kVersionRecordSize, "the basic version record");

}  // namespace

// ---- process start ---------------------------------------------------------------

void os_init(int argc, char** argv) {
  ansiArgc = argc;
  ansiArgv = argv ? argv : noArgs;
}

int os_ansi_argc() { return ansiArgc; }
char** os_ansi_argv() { return ansiArgv ? ansiArgv : noArgs; }
const char16_t* os_command_lineW() { return reinterpret_cast<const char16_t*>(GetCommandLineW()); }

// ---- files -------------------------------------------------------------------------

os_file os_open_readW(const char16_t* path) {
  HANDLE h = CreateFileW(W(path), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    remember_error();
    return OS_BAD_FILE;
  }
  return (os_file)h;
}

os_file os_create_writeW(const char16_t* path) {
  HANDLE h = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    remember_error();
    return OS_BAD_FILE;
  }
  return (os_file)h;
}

int os_read(os_file f, void* buf, uint32_t n, uint32_t* done) {
  DWORD got = 0;
  BOOL ok = ReadFile(H(f), buf, n, &got, nullptr);
  *done = got;
  if (!ok) remember_error();
  return ok ? 1 : 0;
}

int os_write(os_file f, const void* buf, uint32_t n, uint32_t* done) {
  DWORD put = 0;
  BOOL ok = WriteFile(H(f), buf, n, &put, nullptr);
  *done = put;
  if (!ok) remember_error();
  return ok ? 1 : 0;
}

uint32_t os_seek(os_file f, int32_t offset, int whence) {
  DWORD method = whence == OS_SEEK_CUR ? FILE_CURRENT : whence == OS_SEEK_END ? FILE_END : FILE_BEGIN;
  DWORD r = SetFilePointer(H(f), offset, nullptr, method);
  if (r == INVALID_SET_FILE_POINTER) remember_error();
  return r;
}

int os_close(os_file f) {
  if (!CloseHandle(H(f))) {
    remember_error();
    return 0;
  }
  return 1;
}

uint32_t os_last_error() { return lastError; }

// Shared for reading and writing, as the C library opens "rb" and "wb" files.
os_file os_open_readA(const char* sjisPath) {
  HANDLE h = CreateFileA(sjisPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    remember_error();
    return OS_BAD_FILE;
  }
  return (os_file)h;
}

os_file os_create_writeA(const char* sjisPath) {
  HANDLE h = CreateFileA(sjisPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    remember_error();
    return OS_BAD_FILE;
  }
  return (os_file)h;
}

int64_t os_seek64(os_file f, int64_t offset, int whence) {
  DWORD method = whence == OS_SEEK_CUR ? FILE_CURRENT : whence == OS_SEEK_END ? FILE_END : FILE_BEGIN;
  LARGE_INTEGER to, now;
  to.QuadPart = offset;
  if (!SetFilePointerEx(H(f), to, &now, method)) {
    remember_error();
    return -1;
  }
  return (int64_t)now.QuadPart;
}

int64_t os_file_size(os_file f) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(H(f), &size)) {
    remember_error();
    return -1;
  }
  return (int64_t)size.QuadPart;
}

// No copy inside the system between two open handles here: the caller copies
// in large blocks itself.
int os_copy_range(os_file, os_file, int64_t, int64_t* done) {
  *done = 0;
  return OS_COPY_REFUSED;
}

FILE* os_fopen(const char* sjisPath, const char* mode) { return fopen(sjisPath, mode); }
int os_removeA(const char* sjisPath) { return remove(sjisPath); }
int os_removeW(const char16_t* path) { return _wremove(W(path)); }

// ---- directory search -------------------------------------------------------------

os_find os_find_firstW(const char16_t* pattern, char16_t* name, int cap, int* isDir) {
  return find_first_t<WIN32_FIND_DATAW>(pattern, name, cap, isDir);
}

int os_find_nextW(os_find h, char16_t* name, int cap, int* isDir) {
  return find_next_t<WIN32_FIND_DATAW>(h, name, cap, isDir);
}

os_find os_find_firstA(const char* pattern, char* name, int cap, int* isDir) {
  return find_first_t<WIN32_FIND_DATAA>(pattern, name, cap, isDir);
}

int os_find_nextA(os_find h, char* name, int cap, int* isDir) {
  return find_next_t<WIN32_FIND_DATAA>(h, name, cap, isDir);
}

void os_find_close(os_find h) {
  if (h != OS_BAD_FIND) FindClose((HANDLE)h);
}

int os_find_is_link() { return findIsLink; }

// ---- current folder -----------------------------------------------------------------

uint32_t os_current_dirA(char* buf, uint32_t cap) { return current_dir_t(buf, cap); }
uint32_t os_current_dirW(char16_t* buf, uint32_t cap) { return current_dir_t(buf, cap); }

// ---- system facts -------------------------------------------------------------------

// GetVersion stops at 6.2 for programs without a manifest, so 6.0 and later
// ask ntdll's RtlGetVersion, which tells the truth.
float os_windows_version() {
  DWORD v = GetVersion();
  unsigned major = v & 0xFF, minor = (v >> 8) & 0xFF;
  float version = (float)major + (float)minor * 0.1f;
  if (major < 6) return version;
  HMODULE loaded = GetModuleHandleA("ntdll.dll");
  if (!loaded) return version;
  HMODULE lib = LoadLibraryExA("ntdll.dll", nullptr, 0);
  if (!lib) return version;
  FARPROC proc = GetProcAddress(lib, "RtlGetVersion");
  if (proc) {
    RtlGetVersionFn rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void (*)(void)>(proc));
    OSVERSIONINFOW info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = kVersionRecordSize;
    info.dwMajorVersion = 0;
    info.dwMinorVersion = 0;
    info.dwBuildNumber = 0;
    LONG status = rtlGetVersion(&info);
    // RtlGetVersion answers STATUS_SUCCESS (0) and documents no failure; the
    // test looks at bit 1 only, as the version line always has.
    if ((status & 2) == 0) {
      float build = (float)info.dwBuildNumber / 100000.0f;
      version = (float)info.dwMajorVersion + ((float)info.dwMinorVersion + build) / 10.0f;
    }
  }
  FreeLibrary(lib);
  return version;
}

int os_version_line(char* buf, int cap) {
  if (cap > 0) buf[0] = 0;
  return 0;
}

uint32_t os_console_output_cp() { return GetConsoleOutputCP(); }
uint16_t os_user_lang_id() { return GetUserDefaultLangID(); }
int os_is_dbcs_lead(unsigned char b) { return IsDBCSLeadByte(b) ? 1 : 0; }
void os_sleep(uint32_t ms) { Sleep(ms); }

// ---- console ------------------------------------------------------------------------

void os_console_write(const char* bytes, size_t n) { fwrite(bytes, 1, n, stdout); }
void os_console_flush() { fflush(stdout); }
int os_console_passthrough() { return 1; }

// ---- message boxes ------------------------------------------------------------------

int os_message_boxA(const char* text, const char* caption, uint32_t type) {
  return MessageBoxA(nullptr, text, caption, type);
}

int os_message_boxW(const char16_t* text, const char16_t* caption, uint32_t type) {
  return MessageBoxW(nullptr, W(text), W(caption), type);
}

// ---- open-file dialog ---------------------------------------------------------------

int os_get_open_file_nameW(os_ofnW* req) {
  exactError = 0;
  return get_open_file_name_t<OPENFILENAMEW>(req, OPENFILENAME_SIZE_VERSION_400W);
}

int os_get_open_file_nameA(os_ofnA* req) {
  exactError = 0;
  if (req->fileW && req->maxFileW > 0) {
    req->fileW[0] = 0;
    int r = get_open_file_name_exact(req);
    if (r >= 0) return r;
  }
  return get_open_file_name_t<OPENFILENAMEA>(req, OPENFILENAME_SIZE_VERSION_400A);
}

uint32_t os_comm_dlg_extended_error() { return exactError ? exactError : CommDlgExtendedError(); }
