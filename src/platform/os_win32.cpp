// The seam on Windows: thin calls into KERNEL32, USER32 and COMDLG32.
// wchar_t is 16 bits here, so UTF-16 text passes by a cast.
#include "platform/os.h"

#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>

namespace {

uint32_t lastError = 0;
int ansiArgc = 0;
char** ansiArgv = nullptr;
char* noArgs[1] = {nullptr};

const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
wchar_t* W(char16_t* s) { return reinterpret_cast<wchar_t*>(s); }

HANDLE H(os_file f) { return (HANDLE)f; }

void remember_error() { lastError = GetLastError(); }

// The ANSI name is cut without splitting a double-byte character.
void copy_nameA(char* dst, int cap, const char* src) {
  if (cap <= 0) return;
  int n = 0;
  while (src[n]) {
    int w = (IsDBCSLeadByte((BYTE)src[n]) && src[n + 1]) ? 2 : 1;
    if (n + w > cap - 1) break;
    for (int k = 0; k < w; k++) dst[n + k] = src[n + k];
    n += w;
  }
  dst[n] = 0;
}

// The wide name is cut without splitting a surrogate pair.
void copy_nameW(char16_t* dst, int cap, const wchar_t* src) {
  if (cap <= 0) return;
  int n = 0;
  while (src[n]) {
    int w = (src[n] >= 0xD800 && src[n] <= 0xDBFF && src[n + 1] >= 0xDC00 && src[n + 1] <= 0xDFFF) ? 2 : 1;
    if (n + w > cap - 1) break;
    for (int k = 0; k < w; k++) dst[n + k] = (char16_t)src[n + k];
    n += w;
  }
  dst[n] = 0;
}

typedef LONG(WINAPI* RtlGetVersionFn)(OSVERSIONINFOW*);

// The documented size of the request before Windows 2000 added fields; the
// program asks for it by its 32-bit value, which differs on 64-bit Windows.
DWORD request_size(uint32_t given, DWORD version400) { return given == 76 ? version400 : (DWORD)given; }

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
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(W(pattern), &fd);
  if (h == INVALID_HANDLE_VALUE) {
    remember_error();
    if (cap > 0) name[0] = 0;
    return OS_BAD_FIND;
  }
  copy_nameW(name, cap, fd.cFileName);
  *isDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
  return (os_find)h;
}

int os_find_nextW(os_find h, char16_t* name, int cap, int* isDir) {
  WIN32_FIND_DATAW fd;
  if (!FindNextFileW((HANDLE)h, &fd)) {
    remember_error();
    return 0;
  }
  copy_nameW(name, cap, fd.cFileName);
  *isDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
  return 1;
}

os_find os_find_firstA(const char* pattern, char* name, int cap, int* isDir) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(pattern, &fd);
  if (h == INVALID_HANDLE_VALUE) {
    remember_error();
    if (cap > 0) name[0] = 0;
    return OS_BAD_FIND;
  }
  copy_nameA(name, cap, fd.cFileName);
  *isDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
  return (os_find)h;
}

int os_find_nextA(os_find h, char* name, int cap, int* isDir) {
  WIN32_FIND_DATAA fd;
  if (!FindNextFileA((HANDLE)h, &fd)) {
    remember_error();
    return 0;
  }
  copy_nameA(name, cap, fd.cFileName);
  *isDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
  return 1;
}

void os_find_close(os_find h) {
  if (h != OS_BAD_FIND) FindClose((HANDLE)h);
}

// ---- current folder -----------------------------------------------------------------

// A folder longer than the buffer counts as a failure: GetCurrentDirectory
// leaves the buffer untouched then and returns the size it would need.
uint32_t os_current_dirA(char* buf, uint32_t cap) {
  if (cap == 0) return 0;
  DWORD n = GetCurrentDirectoryA(cap, buf);
  if (n == 0 || n >= cap) {
    buf[0] = 0;
    return 0;
  }
  return n;
}

uint32_t os_current_dirW(char16_t* buf, uint32_t cap) {
  if (cap == 0) return 0;
  DWORD n = GetCurrentDirectoryW(cap, W(buf));
  if (n == 0 || n >= cap) {
    buf[0] = 0;
    return 0;
  }
  return n;
}

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
    info.dwOSVersionInfoSize = 276;
    info.dwMajorVersion = 0;
    info.dwMinorVersion = 0;
    info.dwBuildNumber = 0;
    LONG status = rtlGetVersion(&info);
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
  OPENFILENAMEW ofn;
  memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = request_size(req->structSize, OPENFILENAME_SIZE_VERSION_400W);
  ofn.lpstrFilter = W(req->filter);
  ofn.nFilterIndex = req->filterIndex;
  ofn.lpstrFile = W(req->file);
  ofn.nMaxFile = req->maxFile;
  ofn.lpstrInitialDir = W(req->initialDir);
  ofn.lpstrTitle = W(req->title);
  ofn.Flags = req->flags;
  ofn.lpstrDefExt = W(req->defExt);
  BOOL ok = GetOpenFileNameW(&ofn);
  req->filterIndex = ofn.nFilterIndex;
  return ok ? 1 : 0;
}

int os_get_open_file_nameA(os_ofnA* req) {
  OPENFILENAMEA ofn;
  memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = request_size(req->structSize, OPENFILENAME_SIZE_VERSION_400A);
  ofn.lpstrFilter = req->filter;
  ofn.nFilterIndex = req->filterIndex;
  ofn.lpstrFile = req->file;
  ofn.nMaxFile = req->maxFile;
  ofn.lpstrInitialDir = req->initialDir;
  ofn.lpstrTitle = req->title;
  ofn.Flags = req->flags;
  ofn.lpstrDefExt = req->defExt;
  BOOL ok = GetOpenFileNameA(&ofn);
  req->filterIndex = ofn.nFilterIndex;
  return ok ? 1 : 0;
}

uint32_t os_comm_dlg_extended_error() { return CommDlgExtendedError(); }
