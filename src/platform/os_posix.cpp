// The seam on POSIX systems: stands in for a Japanese-capable Windows whose
// console is the terminal. Inside the program paths keep backslashes and
// Shift-JIS; they become slashes and UTF-8 only here.
#include "platform/os.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "encoding/codec.h"

namespace {

enum {
  SYS_PATH_CAP = 4096,   // UTF-8 bytes of a path handed to the system
  NAME_CP_CAP = 512,     // code points of one file name or pattern component
  ANSI_ARGV_CAP = 4096,  // argument pointers kept by os_init
  ANSI_STORE_CAP = 1 << 18,
  CMDLINE_CAP = 1 << 17,
  FIND_SLOTS = 8,
  LINE_CAP = 4096,
};

uint32_t lastError = 0;
uint32_t dialogError = 0;

// ---- conversions between the program's forms and the system's (over the codec) ---

// One code point from NUL-terminated UTF-8; a malformed sequence reads as
// U+FFFD. Strict: names from the system never decode to what Windows would refuse.
uint32_t utf8_next(const unsigned char*& s) {
  uint32_t cp = 0;
  int r = utf8_decode((const char*)s, &cp, UTF8_STRICT);
  if (r > 0) {
    s += r;
    return cp;
  }
  s += -r;
  return 0xFFFD;
}

// Appends cp to out; false when it does not fit with a terminator.
bool utf8_put(char* out, size_t cap, size_t& at, uint32_t cp) {
  size_t n = (size_t)utf8_length(cp);
  if (at + n + 1 > cap) return false;
  at += (size_t)utf8_encode(cp, out + at);
  out[at] = 0;
  return true;
}

// Shift-JIS path (backslash form) to a UTF-8 system path, or plain text to
// UTF-8 when slashes is false. False when too long.
bool sjis_to_sys(const char* in, char* out, size_t cap, bool slashes = true) {
  size_t at = 0;
  out[0] = 0;
  const unsigned char* s = (const unsigned char*)in;
  while (*s) {
    uint32_t cp;
    if (cp932_is_lead(*s) && s[1]) {
      cp = cp932_decode((unsigned)s[0] << 8 | s[1], CP932_WINDOWS);
      s += 2;
    } else {
      cp = (*s == '\\' && slashes) ? '/' : cp932_decode(*s, CP932_WINDOWS);
      s++;
    }
    if (cp == 0) cp = 0xFFFD;
    if (!utf8_put(out, cap, at, cp)) return false;
  }
  return true;
}

bool utf16_to_sys(const char16_t* in, char* out, size_t cap, bool slashes = true) {
  size_t at = 0;
  out[0] = 0;
  uint32_t cp;
  for (int units; (units = utf16_decode(in, &cp)) > 0; in += units) {
    if (cp == '\\' && slashes) cp = '/';
    if (!utf8_put(out, cap, at, cp)) return false;
  }
  return true;
}

// A path for the system; one that does not fit fails as Windows fails a name too long.
bool sys_path(const char* sjis, char* out, size_t cap) {
  if (sjis_to_sys(sjis, out, cap)) return true;
  lastError = OS_ERROR_FILENAME_EXCED_RANGE;
  return false;
}
bool sys_path(const char16_t* path, char* out, size_t cap) {
  if (utf16_to_sys(path, out, cap)) return true;
  lastError = OS_ERROR_FILENAME_EXCED_RANGE;
  return false;
}

// Each character of a path from the system (UTF-8), slashes turned into
// backslashes when asked, until put has no room for one.
template <typename Put>
void sys_each(const char* in, bool slashes, Put put) {
  for (const unsigned char* s = (const unsigned char*)in; *s;) {
    uint32_t cp = utf8_next(s);
    if (slashes && cp == '/') cp = '\\';
    if (!put(cp)) return;
  }
}

// UTF-8 from the system to UTF-16. Cut at cap (never inside a surrogate
// pair). Returns the length.
size_t sys_to_utf16(const char* in, char16_t* out, size_t cap, bool slashes) {
  if (cap == 0) return 0;
  size_t at = 0;
  sys_each(in, slashes, [&](uint32_t cp) {
    char16_t units[2];
    size_t count = (size_t)utf16_encode(cp, units);
    if (at + count + 1 > cap) return false;
    for (size_t k = 0; k < count; k++) out[at++] = units[k];
    return true;
  });
  out[at] = 0;
  return at;
}

// UTF-8 from the system to Shift-JIS; characters without a code become '?'.
size_t sys_to_sjis(const char* in, char* out, size_t cap, bool slashes) {
  if (cap == 0) return 0;
  size_t at = 0;
  sys_each(in, slashes, [&](uint32_t cp) {
    uint32_t code = cp932_encode(cp, CP932_WINDOWS);
    if (code == 0) code = '?';
    size_t count = code > 0xFF ? 2 : 1;
    if (at + count + 1 > cap) return false;
    if (count == 2) out[at++] = (char)(code >> 8);
    out[at++] = (char)(code & 0xFF);
    return true;
  });
  out[at] = 0;
  return at;
}

// ---- errors -------------------------------------------------------------------

bool is_dir(const char* sysPath) {
  struct stat st;
  return stat(sysPath, &st) == 0 && S_ISDIR(st.st_mode);
}

// Whether the folder holding sysPath exists, as Windows tells FILE_NOT_FOUND
// from PATH_NOT_FOUND.
bool parent_exists(const char* sysPath) {
  char dir[SYS_PATH_CAP];
  size_t n = strlen(sysPath);
  if (n >= sizeof dir) return false;
  memcpy(dir, sysPath, n + 1);
  char* slash = strrchr(dir, '/');
  if (!slash) return true;
  if (slash == dir) return true;
  *slash = 0;
  return is_dir(dir);
}

uint32_t windows_error(int err, const char* sysPath) {
  switch (err) {
    case ENOENT:
      return (sysPath && !parent_exists(sysPath)) ? OS_ERROR_PATH_NOT_FOUND : OS_ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return OS_ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
      return OS_ERROR_ACCESS_DENIED;
    case EEXIST:
      return OS_ERROR_FILE_EXISTS;
    case EXDEV:
      return OS_ERROR_NOT_SAME_DEVICE;
    case ENOTEMPTY:
      return OS_ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
      return OS_ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return OS_ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE:
      return OS_ERROR_TOO_MANY_OPEN_FILES;
    case EBADF:
      return OS_ERROR_INVALID_HANDLE;
    case EINVAL:
      return OS_ERROR_INVALID_PARAMETER;
    case EROFS:
      return OS_ERROR_WRITE_PROTECT;
    case EBUSY:
    case ETXTBSY:
      return OS_ERROR_SHARING_VIOLATION;
    default:
      return OS_ERROR_GEN_FAILURE;
  }
}

void set_error(int err, const char* sysPath = nullptr) { lastError = windows_error(err, sysPath); }

// ---- files ----------------------------------------------------------------------

os_file to_handle(int fd) { return (os_file)(intptr_t)(fd + 1); }
int to_fd(os_file f) { return (int)(intptr_t)f - 1; }

// Opens a path already in the system's form; a folder does not open as a
// file on Windows, so it is refused here too.
os_file open_checked(const char* sys, int flags) {
  int fd = open(sys, flags | O_CLOEXEC, 0666);
  if (fd < 0) {
    set_error(errno, sys);
    return OS_BAD_FILE;
  }
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    close(fd);
    lastError = OS_ERROR_ACCESS_DENIED;
    return OS_BAD_FILE;
  }
  return to_handle(fd);
}

os_file open_sys(const char16_t* path, int flags) {
  // Windows finds no folder in an empty name.
  if (!path[0]) {
    lastError = OS_ERROR_PATH_NOT_FOUND;
    return OS_BAD_FILE;
  }
  char sys[SYS_PATH_CAP];
  if (!sys_path(path, sys, sizeof sys)) return OS_BAD_FILE;
  return open_checked(sys, flags);
}

// ---- directory search -----------------------------------------------------------

int findIsLink = 0;

struct FindSlot {
  bool inUse;
  bool single;  // the path named an existing entry: one result only
  bool wide;
  int phase;    // 0 ".", 1 "..", 2 the folder's own entries
  DIR* dir;
  uint32_t pattern[NAME_CP_CAP];
  int patternLen;
};
FindSlot findSlots[FIND_SLOTS];

int decode_name(const char* utf8, uint32_t* out, int cap) {
  int n = 0;
  for (const unsigned char* s = (const unsigned char*)utf8; *s && n < cap;) out[n++] = utf8_next(s);
  return n;
}

uint32_t fold(uint32_t c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

// Wildcard match as Windows does it: * any run, ? one character, letters
// without case; "*.*" takes every name, with or without a dot.
bool wild_match(const uint32_t* p, int pn, const uint32_t* s, int sn) {
  if (pn == 3 && p[0] == '*' && p[1] == '.' && p[2] == '*') return true;
  int pi = 0, si = 0, starP = -1, starS = 0;
  while (si < sn) {
    if (pi < pn && (p[pi] == '?' || fold(p[pi]) == fold(s[si]))) {
      pi++;
      si++;
    } else if (pi < pn && p[pi] == '*') {
      starP = pi++;
      starS = si;
    } else if (starP >= 0) {
      pi = starP + 1;
      si = ++starS;
    } else {
      return false;
    }
  }
  while (pi < pn && p[pi] == '*') pi++;
  return pi == pn;
}

bool has_wildcard(const char* s) { return strchr(s, '*') || strchr(s, '?'); }

void put_name(FindSlot* slot, const char* utf8, void* name, int cap) {
  if (cap <= 0) return;
  if (slot->wide)
    sys_to_utf16(utf8, (char16_t*)name, (size_t)cap, false);
  else
    sys_to_sjis(utf8, (char*)name, (size_t)cap, false);
}

// Next entry of a wildcard search; false when there is none.
bool find_step(FindSlot* slot, void* name, int cap, int* isDir) {
  uint32_t cps[NAME_CP_CAP];
  while (slot->phase < 2) {
    const char* dots = slot->phase == 0 ? "." : "..";
    slot->phase++;
    int n = decode_name(dots, cps, NAME_CP_CAP);
    if (wild_match(slot->pattern, slot->patternLen, cps, n)) {
      put_name(slot, dots, name, cap);
      *isDir = 1;
      findIsLink = 0;
      return true;
    }
  }
  while (struct dirent* e = readdir(slot->dir)) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    int n = decode_name(e->d_name, cps, NAME_CP_CAP);
    if (!wild_match(slot->pattern, slot->patternLen, cps, n)) continue;
    // The entry type from readdir saves a stat per name; links and unknown
    // types still ask, since a link to a folder lists as a folder.
    findIsLink = e->d_type == DT_LNK;
    if (e->d_type == DT_DIR || e->d_type == DT_REG) {
      *isDir = e->d_type == DT_DIR;
    } else {
      struct stat st;
      *isDir = fstatat(dirfd(slot->dir), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
      if (e->d_type == DT_UNKNOWN)
        findIsLink = fstatat(dirfd(slot->dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
    }
    put_name(slot, e->d_name, name, cap);
    return true;
  }
  return false;
}

void release(FindSlot* slot) {
  if (slot->dir) closedir(slot->dir);
  slot->dir = nullptr;
  slot->inUse = false;
}

os_find find_first(const char* sys, bool wide, void* name, int cap, int* isDir) {
  if (cap > 0) {
    if (wide)
      ((char16_t*)name)[0] = 0;
    else
      ((char*)name)[0] = 0;
  }
  FindSlot* slot = nullptr;
  for (FindSlot& s : findSlots)
    if (!s.inUse) {
      slot = &s;
      break;
    }
  if (!slot) {
    lastError = OS_ERROR_TOO_MANY_OPEN_FILES;
    return OS_BAD_FIND;
  }
  size_t len = strlen(sys);
  if (len == 0 || sys[len - 1] == '/') {
    lastError = OS_ERROR_FILE_NOT_FOUND;
    return OS_BAD_FIND;
  }
  const char* slash = strrchr(sys, '/');
  const char* last = slash ? slash + 1 : sys;
  *slot = FindSlot();
  slot->wide = wide;

  struct stat st;
  if (stat(sys, &st) == 0 || lstat(sys, &st) == 0) {
    slot->inUse = true;
    slot->single = true;
    *isDir = S_ISDIR(st.st_mode);
    struct stat lst;
    findIsLink = lstat(sys, &lst) == 0 && S_ISLNK(lst.st_mode);
    put_name(slot, last, name, cap);
    return slot;
  }
  if (!has_wildcard(last)) {
    set_error(errno, sys);
    return OS_BAD_FIND;
  }
  char dir[SYS_PATH_CAP];
  size_t dirLen = slash ? (size_t)(slash - sys) : 0;
  if (dirLen == 0) {
    strcpy(dir, slash ? "/" : ".");
  } else {
    memcpy(dir, sys, dirLen);
    dir[dirLen] = 0;
  }
  slot->dir = opendir(dir);
  if (!slot->dir) {
    lastError = errno == ENOENT || errno == ENOTDIR ? (uint32_t)OS_ERROR_PATH_NOT_FOUND : windows_error(errno, nullptr);
    return OS_BAD_FIND;
  }
  slot->inUse = true;
  slot->patternLen = decode_name(last, slot->pattern, NAME_CP_CAP);
  if (!find_step(slot, name, cap, isDir)) {
    release(slot);
    lastError = OS_ERROR_FILE_NOT_FOUND;
    return OS_BAD_FIND;
  }
  return slot;
}

int find_next(os_find h, void* name, int cap, int* isDir) {
  FindSlot* slot = (FindSlot*)h;
  if (!slot || !slot->inUse) {
    lastError = OS_ERROR_INVALID_HANDLE;
    return 0;
  }
  if (slot->single || !find_step(slot, name, cap, isDir)) {
    lastError = OS_ERROR_NO_MORE_FILES;
    return 0;
  }
  return 1;
}

// ---- the answer streams ----------------------------------------------------------

FILE* answerIn = nullptr;
FILE* promptOut = nullptr;
FILE* in_stream() { return answerIn ? answerIn : stdin; }
FILE* prompt_stream() { return promptOut ? promptOut : stderr; }

// One line without its line end; -1 at end of input. A longer line is cut.
int read_line(char* buf, int cap) {
  FILE* in = in_stream();
  int n = 0, c;
  bool any = false;
  while ((c = fgetc(in)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (n < cap - 1) buf[n++] = (char)c;
  }
  buf[n] = 0;
  if (!any) return -1;
  if (n > 0 && buf[n - 1] == '\r') buf[--n] = 0;
  return n;
}

char* trim(char* s) {
  while (*s == ' ' || *s == '\t') s++;
  size_t n = strlen(s);
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t')) s[--n] = 0;
  return s;
}

bool is_word(const char* answer, const char* a, const char* b) {
  return strcasecmp(answer, a) == 0 || strcasecmp(answer, b) == 0;
}

int message_box(uint32_t type) {
  os_console_flush();
  const char* prompt;
  switch (type & 0xF) {
    case OS_MB_OKCANCEL:
      prompt = "Quillmend [OK/Cancel]? ";
      break;
    case OS_MB_YESNOCANCEL:
      prompt = "Quillmend [Yes/No/Cancel]? ";
      break;
    case OS_MB_YESNO:
      prompt = "Quillmend [Yes/No]? ";
      break;
    default:
      return OS_IDOK;
  }
  char line[LINE_CAP];
  for (;;) {
    FILE* out = prompt_stream();
    fputs(prompt, out);
    fflush(out);
    // A Yes/No box has no Cancel: the end of input declines.
    if (read_line(line, sizeof line) < 0) return (type & 0xF) == OS_MB_YESNO ? OS_IDNO : OS_IDCANCEL;
    int id = os_posix_box_answer(line, type);
    if (id) return id;
  }
}

// ---- the open dialog -------------------------------------------------------------

// Drops "." and "name/.." pieces and doubled slashes of an absolute path.
void normalize(char* path) {
  char* out = path;
  const char* s = path;
  while (*s) {
    while (*s == '/') s++;
    const char* e = s;
    while (*e && *e != '/') e++;
    size_t n = (size_t)(e - s);
    if (n == 0) break;
    if (n == 1 && s[0] == '.') {
      // nothing
    } else if (n == 2 && s[0] == '.' && s[1] == '.') {
      while (out > path && *--out != '/') {
      }
    } else {
      *out++ = '/';
      memmove(out, s, n);
      out += n;
    }
    s = e;
  }
  if (out == path) *out++ = '/';
  *out = 0;
}

bool regular_file(const char* sys) {
  struct stat st;
  return stat(sys, &st) == 0 && !S_ISDIR(st.st_mode);
}

// Asks for a file; the absolute system path goes to chosen. False on cancel.
bool ask_file(const char* title, const char* initialDir, const char* filterUtf8Pairs,
              size_t filterLen, const char* defExt, char* chosen, size_t cap) {
  os_console_flush();
  FILE* out = prompt_stream();
  char base[SYS_PATH_CAP];
  if (initialDir && initialDir[0]) {
    snprintf(base, sizeof base, "%s", initialDir);
  } else if (!getcwd(base, sizeof base)) {
    strcpy(base, "/");
  }
  fprintf(out, "%s\n", title && title[0] ? title : "Open");
  fprintf(out, "  Folder: %s\n", base);
  for (size_t i = 0; i < filterLen && filterUtf8Pairs[i];) {
    const char* desc = filterUtf8Pairs + i;
    i += strlen(desc) + 1;
    const char* pat = i < filterLen ? filterUtf8Pairs + i : "";
    i += strlen(pat) + 1;
    fprintf(out, "  %s  [%s]\n", desc, pat);
  }
  char line[LINE_CAP];
  for (;;) {
    fputs("File> ", out);
    fflush(out);
    if (read_line(line, sizeof line) < 0) return false;
    char* answer = trim(line);
    size_t n = strlen(answer);
    if (n >= 2 && (answer[0] == '"' || answer[0] == '\'') && answer[n - 1] == answer[0]) {
      answer[n - 1] = 0;
      answer++;
    }
    if (!answer[0]) return false;
    for (char* p = answer; *p; p++)
      if (*p == '\\') *p = '/';
    char path[SYS_PATH_CAP + 8];
    int len = answer[0] == '/' ? snprintf(path, SYS_PATH_CAP, "%s", answer)
                               : snprintf(path, SYS_PATH_CAP, "%s/%s", base, answer);
    if (len < 0 || len >= SYS_PATH_CAP) {
      fprintf(out, "Path too long.\n");
      continue;
    }
    if (path[0] != '/') {
      // A relative starting folder is taken from the current one.
      char cwd[SYS_PATH_CAP], joined[SYS_PATH_CAP];
      if (!getcwd(cwd, sizeof cwd) || snprintf(joined, sizeof joined, "%s/%s", cwd, path) >= (int)sizeof joined) {
        fprintf(out, "Path too long.\n");
        continue;
      }
      strcpy(path, joined);
    }
    normalize(path);
    if (!regular_file(path) && defExt && defExt[0] && !is_dir(path)) {
      const char* name = strrchr(path, '/');
      if (!strchr(name ? name : path, '.')) {
        size_t pl = strlen(path);
        if (pl + 1 + strlen(defExt) < SYS_PATH_CAP) {
          char withExt[SYS_PATH_CAP];
          size_t el = strlen(defExt);
          memcpy(withExt, path, pl);
          withExt[pl] = '.';
          memcpy(withExt + pl + 1, defExt, el + 1);
          if (regular_file(withExt)) memcpy(path, withExt, pl + el + 2);
        }
      }
    }
    if (regular_file(path)) {
      if (strlen(path) + 1 > cap) {
        fprintf(out, "Path too long.\n");
        continue;
      }
      strcpy(chosen, path);
      return true;
    }
    fprintf(out, is_dir(path) ? "%s is a folder.\n" : "%s does not exist.\n", path);
  }
}

// The filter list (pairs of strings ending in an empty one) as UTF-8.
template <typename C, typename Conv>
size_t filter_to_utf8(const C* filter, char* out, size_t cap, Conv conv) {
  size_t at = 0;
  if (!filter) {
    out[0] = 0;
    return 0;
  }
  while (*filter && at + 1 < cap) {
    char piece[SYS_PATH_CAP];
    conv(filter, piece, sizeof piece);
    size_t n = strlen(piece);
    if (at + n + 2 > cap) break;
    memcpy(out + at, piece, n + 1);
    at += n + 1;
    while (*filter) filter++;
    filter++;
  }
  out[at] = 0;
  return at;
}

int open_dialog(bool wide, const void* title, const void* initialDir, const void* filter,
                const void* defExt, void* file, uint32_t maxFile, char16_t* exactW = nullptr,
                uint32_t maxExactW = 0) {
  dialogError = 0;
  char titleU[1024] = "", dirU[SYS_PATH_CAP] = "", extU[256] = "", filters[16384];
  size_t filterLen;
  // Only the folder is a path; title, extension and filters are shown as text.
  auto convW = [](const char16_t* s, char* o, size_t c) {
    if (!utf16_to_sys(s, o, c, false)) o[0] = 0;
  };
  auto convA = [](const char* s, char* o, size_t c) {
    if (!sjis_to_sys(s, o, c, false)) o[0] = 0;
  };
  if (wide) {
    if (title) convW((const char16_t*)title, titleU, sizeof titleU);
    if (initialDir && !utf16_to_sys((const char16_t*)initialDir, dirU, sizeof dirU)) dirU[0] = 0;
    if (defExt) convW((const char16_t*)defExt, extU, sizeof extU);
    filterLen = filter_to_utf8((const char16_t*)filter, filters, sizeof filters, convW);
  } else {
    if (title) convA((const char*)title, titleU, sizeof titleU);
    if (initialDir && !sjis_to_sys((const char*)initialDir, dirU, sizeof dirU)) dirU[0] = 0;
    if (defExt) convA((const char*)defExt, extU, sizeof extU);
    filterLen = filter_to_utf8((const char*)filter, filters, sizeof filters, convA);
  }
  char chosen[SYS_PATH_CAP];
  if (!ask_file(titleU, dirU, filters, filterLen, extU, chosen, sizeof chosen)) return 0;
  // The buffer gets the whole path or nothing, as the real dialog does.
  char16_t w[SYS_PATH_CAP];
  char a[SYS_PATH_CAP];
  size_t need = wide ? sys_to_utf16(chosen, w, SYS_PATH_CAP, true) : sys_to_sjis(chosen, a, SYS_PATH_CAP, true);
  if (!file || need + 1 > maxFile) {
    dialogError = OS_FNERR_BUFFER_TOO_SMALL;
    return 0;
  }
  if (wide)
    memcpy(file, w, (need + 1) * sizeof(char16_t));
  else
    memcpy(file, a, need + 1);
  if (exactW && maxExactW > 0) {
    size_t n = sys_to_utf16(chosen, w, SYS_PATH_CAP, true);
    if (n + 1 <= maxExactW && n + 1 < SYS_PATH_CAP)
      memcpy(exactW, w, (n + 1) * sizeof(char16_t));
    else
      exactW[0] = 0;
  }
  return 1;
}

// ---- process start ---------------------------------------------------------------

char* ansiArgv[ANSI_ARGV_CAP + 1];
char ansiStore[ANSI_STORE_CAP];
int ansiArgc = 0;
char16_t commandLine[CMDLINE_CAP];

const char* first_env(const char* a, const char* b, const char* c) {
  const char* names[3] = {a, b, c};
  for (const char* n : names) {
    const char* v = getenv(n);
    if (v && v[0]) return v;
  }
  return nullptr;
}

}  // namespace

// ---- test access ------------------------------------------------------------------

void os_posix_set_answer_streams(FILE* in, FILE* prompt) {
  answerIn = in;
  promptOut = prompt;
}

int os_posix_box_answer(const char* line, uint32_t type) {
  char buf[LINE_CAP];
  snprintf(buf, sizeof buf, "%s", line);
  char* a = trim(buf);
  switch (type & 0xF) {
    case OS_MB_OKCANCEL:
      if (!a[0] || is_word(a, "ok", "o")) return OS_IDOK;
      if (is_word(a, "cancel", "c")) return OS_IDCANCEL;
      return 0;
    case OS_MB_YESNOCANCEL:
      if (!a[0] || is_word(a, "yes", "y")) return OS_IDYES;
      if (is_word(a, "no", "n")) return OS_IDNO;
      if (is_word(a, "cancel", "c")) return OS_IDCANCEL;
      return 0;
    case OS_MB_YESNO:
      if (!a[0] || is_word(a, "yes", "y")) return OS_IDYES;
      if (is_word(a, "no", "n")) return OS_IDNO;
      return 0;
    default:
      return OS_IDOK;
  }
}

size_t os_posix_path_to_system(const char* sjisPath, char* utf8, size_t cap) {
  return sjis_to_sys(sjisPath, utf8, cap) ? strlen(utf8) : 0;
}
size_t os_posix_path_to_systemW(const char16_t* path, char* utf8, size_t cap) {
  return utf16_to_sys(path, utf8, cap) ? strlen(utf8) : 0;
}
size_t os_posix_path_from_system(const char* utf8, char* sjis, size_t cap) {
  return sys_to_sjis(utf8, sjis, cap, true);
}
size_t os_posix_path_from_systemW(const char* utf8, char16_t* path, size_t cap) {
  return sys_to_utf16(utf8, path, cap, true);
}

// ---- process start ---------------------------------------------------------------

void os_init(int argc, char** argv) {
  size_t storeUsed = 0, lineUsed = 0;
  ansiArgc = 0;
  bool lineFull = false;
  for (int i = 0; i < argc && argv[i]; i++) {
    if (ansiArgc < ANSI_ARGV_CAP && storeUsed + 1 < ANSI_STORE_CAP) {
      ansiArgv[ansiArgc++] = ansiStore + storeUsed;
      storeUsed += sys_to_sjis(argv[i], ansiStore + storeUsed, ANSI_STORE_CAP - storeUsed, true) + 1;
    }
    if (lineFull) continue;
    // Each entry goes in whole or not at all: a blank, quotes, the text.
    char16_t entry[SYS_PATH_CAP + 2];
    size_t n = sys_to_utf16(argv[i], entry, SYS_PATH_CAP, true);
    bool quote = n == 0;
    for (size_t k = 0; k < n; k++)
      if (entry[k] == ' ' || entry[k] == '\t') quote = true;
    size_t need = (i > 0 ? 1 : 0) + n + (quote ? 2 : 0);
    if (lineUsed + need + 1 > CMDLINE_CAP) {
      lineFull = true;
      continue;
    }
    if (i > 0) commandLine[lineUsed++] = ' ';
    if (quote) commandLine[lineUsed++] = '"';
    memcpy(commandLine + lineUsed, entry, n * sizeof(char16_t));
    lineUsed += n;
    if (quote) commandLine[lineUsed++] = '"';
  }
  commandLine[lineUsed] = 0;
  ansiArgv[ansiArgc] = nullptr;
}

int os_ansi_argc() { return ansiArgc; }
char** os_ansi_argv() { return ansiArgv; }
const char16_t* os_command_lineW() { return commandLine; }

// ---- files -------------------------------------------------------------------------

os_file os_open_readW(const char16_t* path) { return open_sys(path, O_RDONLY); }
os_file os_create_writeW(const char16_t* path) { return open_sys(path, O_WRONLY | O_CREAT | O_TRUNC); }

int os_read(os_file f, void* buf, uint32_t n, uint32_t* done) {
  *done = 0;
  char* p = (char*)buf;
  while (*done < n) {
    ssize_t r = read(to_fd(f), p + *done, n - *done);
    if (r < 0) {
      if (errno == EINTR) continue;
      set_error(errno);
      // Bytes already read are delivered; the next call reports the error.
      return *done > 0;
    }
    if (r == 0) break;
    *done += (uint32_t)r;
  }
  return 1;
}

int os_write(os_file f, const void* buf, uint32_t n, uint32_t* done) {
  *done = 0;
  const char* p = (const char*)buf;
  while (*done < n) {
    ssize_t r = write(to_fd(f), p + *done, n - *done);
    if (r < 0) {
      if (errno == EINTR) continue;
      set_error(errno);
      return *done > 0;  // what got through is reported as a short write
    }
    *done += (uint32_t)r;
  }
  return 1;
}

uint32_t os_seek(os_file f, int32_t offset, int whence) {
  int w = whence == OS_SEEK_CUR ? SEEK_CUR : whence == OS_SEEK_END ? SEEK_END : SEEK_SET;
  off_t r = lseek(to_fd(f), (off_t)offset, w);
  if (r < 0) {
    lastError = errno == EINVAL ? (uint32_t)OS_ERROR_NEGATIVE_SEEK : windows_error(errno, nullptr);
    return 0xFFFFFFFFu;
  }
  return (uint32_t)r;
}

int os_close(os_file f) {
  if (close(to_fd(f)) != 0) {
    set_error(errno);
    return 0;
  }
  return 1;
}

uint32_t os_last_error() { return lastError; }
void os_set_last_error(uint32_t code) { lastError = code; }

namespace {
// As os_fopen opens: the Shift-JIS path converted for the system, and a
// folder refused as Windows refuses it.
os_file open_sys_ansi(const char* sjisPath, int flags) {
  char sys[SYS_PATH_CAP];
  if (!sys_path(sjisPath, sys, sizeof sys)) return OS_BAD_FILE;
  return open_checked(sys, flags);
}

// What copy_file_range answers when it cannot copy between two files at all.
bool copy_refused(int err) {
  return err == EXDEV || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == EBADF ||
         err == EPERM || err == ETXTBSY;
}
bool write_side_error(int err) { return err == ENOSPC || err == EDQUOT || err == EFBIG || err == EROFS; }
}  // namespace

namespace {
int same_file(os_file f, const char* sys) {
  struct stat a, b;
  if (fstat(to_fd(f), &a) != 0 || stat(sys, &b) != 0) return 0;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
}  // namespace

int os_is_same_fileA(os_file f, const char* sjisPath) {
  char sys[SYS_PATH_CAP];
  return sjis_to_sys(sjisPath, sys, sizeof sys) && same_file(f, sys);
}
int os_is_same_fileW(os_file f, const char16_t* path) {
  char sys[SYS_PATH_CAP];
  return path[0] && utf16_to_sys(path, sys, sizeof sys) && same_file(f, sys);
}

os_file os_open_readA(const char* sjisPath) { return open_sys_ansi(sjisPath, O_RDONLY); }
os_file os_create_writeA(const char* sjisPath) { return open_sys_ansi(sjisPath, O_WRONLY | O_CREAT | O_TRUNC); }

int64_t os_seek64(os_file f, int64_t offset, int whence) {
  int w = whence == OS_SEEK_CUR ? SEEK_CUR : whence == OS_SEEK_END ? SEEK_END : SEEK_SET;
  off_t r = lseek(to_fd(f), (off_t)offset, w);
  if (r < 0) {
    lastError = errno == EINVAL ? 131 : windows_error(errno, nullptr);
    return -1;
  }
  return (int64_t)r;
}

int64_t os_file_size(os_file f) {
  struct stat st;
  if (fstat(to_fd(f), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return (int64_t)st.st_size;
}

int os_copy_range(os_file in, os_file out, int64_t n, int64_t* done) {
  *done = 0;
  // One call moves at most about 2 GiB; larger stretches take several.
  const int64_t kStep = (int64_t)1 << 30;
  while (*done < n) {
    const int64_t want = n - *done < kStep ? n - *done : kStep;
    ssize_t r = copy_file_range(to_fd(in), nullptr, to_fd(out), nullptr, (size_t)want, 0);
    if (r < 0) {
      const int err = errno;
      if (err == EINTR) continue;
      set_error(err);
      if (copy_refused(err)) return OS_COPY_REFUSED;
      return write_side_error(err) ? OS_COPY_WRITE_FAILED : OS_COPY_READ_FAILED;
    }
    if (r == 0) break;  // the input has ended
    *done += r;
  }
  return OS_COPY_DONE;
}

FILE* os_fopen(const char* sjisPath, const char* mode) {
  char sys[SYS_PATH_CAP];
  if (!sjis_to_sys(sjisPath, sys, sizeof sys)) {
    errno = ENAMETOOLONG;
    return nullptr;
  }
  FILE* f = fopen(sys, mode);
  if (!f) return nullptr;
  struct stat st;
  if (fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
    fclose(f);
    errno = EACCES;
    return nullptr;
  }
  return f;
}

namespace {
// A device node is never removed, not even by a program run with every right:
// a failed output that was a device (or a temporary turned into one) goes
// without taking the device with it.
int remove_sys(const char* sys) {
  struct stat st;
  if (lstat(sys, &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return -1;
  return unlink(sys) == 0 ? 0 : -1;
}
}  // namespace

int os_removeA(const char* sjisPath) {
  char sys[SYS_PATH_CAP];
  if (!sjis_to_sys(sjisPath, sys, sizeof sys)) return -1;
  return remove_sys(sys);
}

int os_removeW(const char16_t* path) {
  char sys[SYS_PATH_CAP];
  if (!utf16_to_sys(path, sys, sizeof sys)) return -1;
  return remove_sys(sys);
}

// ---- replacing a file -------------------------------------------------------------

namespace {
// Opens without creating and without waiting on a pipe nobody reads.
int write_target(const char* sys) {
  const int fd = open(sys, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    set_error(err, sys);
    return err == ENOENT || err == ENOTDIR ? OS_TARGET_NONE : OS_TARGET_REFUSED;
  }
  struct stat st;
  const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  close(fd);
  return regular ? OS_TARGET_FILE : OS_TARGET_DEVICE;
}

// The rename itself reaches the disk only with its folder.
void sync_folder(const char* sysPath) {
  char dir[SYS_PATH_CAP];
  const char* slash = strrchr(sysPath, '/');
  if (!slash) {
    memcpy(dir, ".", 2);
  } else {
    size_t n = slash == sysPath ? 1 : (size_t)(slash - sysPath);
    if (n >= sizeof dir) return;
    memcpy(dir, sysPath, n);
    dir[n] = 0;
  }
  const int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// rename(2); a failure is kept as the last error.
int sys_rename(const char* sysFrom, const char* sysTo) {
  if (rename(sysFrom, sysTo) == 0) return 1;
  set_error(errno, sysTo);
  return 0;
}

int replace_file(const char* sysFrom, const char* sysTo) {
  if (!sys_rename(sysFrom, sysTo)) return 0;
  sync_folder(sysTo);
  return 1;
}
}  // namespace

int os_write_targetA(const char* sjisPath) {
  char sys[SYS_PATH_CAP];
  if (!sys_path(sjisPath, sys, sizeof sys)) return OS_TARGET_REFUSED;
  return write_target(sys);
}

int os_write_targetW(const char16_t* path) {
  char sys[SYS_PATH_CAP];
  if (!path[0]) {
    lastError = OS_ERROR_PATH_NOT_FOUND;
    return OS_TARGET_REFUSED;
  }
  if (!sys_path(path, sys, sizeof sys)) return OS_TARGET_REFUSED;
  return write_target(sys);
}

int os_replace_fileA(const char* from, const char* to) {
  char a[SYS_PATH_CAP], b[SYS_PATH_CAP];
  if (!sys_path(from, a, sizeof a) || !sys_path(to, b, sizeof b)) return 0;
  return replace_file(a, b);
}

int os_replace_fileW(const char16_t* from, const char16_t* to) {
  char a[SYS_PATH_CAP], b[SYS_PATH_CAP];
  if (!sys_path(from, a, sizeof a) || !sys_path(to, b, sizeof b)) return 0;
  return replace_file(a, b);
}

// ---- moving a file to a new name ------------------------------------------------------

namespace {
int entry_kind(const char* sys) {
  struct stat st;
  if (lstat(sys, &st) != 0) {
    const int err = errno;
    set_error(err, sys);
    return err == ENOENT || err == ENOTDIR ? OS_ENTRY_NONE : OS_ENTRY_OTHER;
  }
  if (S_ISREG(st.st_mode)) return OS_ENTRY_FILE;
  return S_ISDIR(st.st_mode) ? OS_ENTRY_FOLDER : OS_ENTRY_OTHER;
}

// A rename that never replaces: the system's own where it has one; else a hard
// link under the new name, then the old one dropped (the link refuses an
// existing name); else, on a volume without hard links, a look first.
int rename_new(const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 1;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
    set_error(errno, to);
    return 0;
  }
#endif
  if (link(from, to) == 0) {
    if (unlink(from) == 0) return 1;
    const int err = errno;
    unlink(to);
    set_error(err, from);
    return 0;
  }
  const int err = errno;
  if (err != EPERM && err != EOPNOTSUPP && err != EMLINK) {
    set_error(err, to);
    return 0;
  }
  struct stat st;
  if (lstat(to, &st) == 0) {
    set_error(EEXIST);
    return 0;
  }
  return sys_rename(from, to);
}
}  // namespace

int os_entry_kindW(const char16_t* path) {
  char sys[SYS_PATH_CAP];
  if (!sys_path(path, sys, sizeof sys)) return OS_ENTRY_OTHER;
  return entry_kind(sys);
}

int os_rename_newW(const char16_t* from, const char16_t* to) {
  char a[SYS_PATH_CAP], b[SYS_PATH_CAP];
  if (!sys_path(from, a, sizeof a) || !sys_path(to, b, sizeof b)) return 0;
  if (!rename_new(a, b)) return 0;
  sync_folder(b);
  sync_folder(a);
  return 1;
}

int os_make_dirW(const char16_t* path) {
  char sys[SYS_PATH_CAP];
  if (!sys_path(path, sys, sizeof sys)) return 0;
  if (mkdir(sys, 0777) == 0) return 1;
  set_error(errno, sys);
  return 0;
}

int os_remove_dirW(const char16_t* path) {
  char sys[SYS_PATH_CAP];
  if (!sys_path(path, sys, sizeof sys)) return 0;
  if (rmdir(sys) == 0) return 1;
  set_error(errno, sys);
  return 0;
}

int os_sync(os_file f) {
  if (fsync(to_fd(f)) == 0) return 1;
  // A file system that keeps nothing to sync has nothing to lose either.
  if (errno == EINVAL || errno == EROFS || errno == ENOTSUP) return 1;
  set_error(errno);
  return 0;
}

// ---- new files beside others ---------------------------------------------

os_file os_create_newW(const char16_t* path) { return open_sys(path, O_WRONLY | O_CREAT | O_EXCL); }

int os_is_symlinkW(const char16_t* path) {
  char sys[SYS_PATH_CAP];
  struct stat st;
  return path[0] && utf16_to_sys(path, sys, sizeof sys) && lstat(sys, &st) == 0 && S_ISLNK(st.st_mode);
}

// ---- directory search -------------------------------------------------------------

os_find os_find_firstW(const char16_t* pattern, char16_t* name, int cap, int* isDir) {
  char sys[SYS_PATH_CAP];
  if (!sys_path(pattern, sys, sizeof sys)) return OS_BAD_FIND;
  return find_first(sys, true, name, cap, isDir);
}

os_find os_find_firstA(const char* pattern, char* name, int cap, int* isDir) {
  char sys[SYS_PATH_CAP];
  if (!sys_path(pattern, sys, sizeof sys)) return OS_BAD_FIND;
  return find_first(sys, false, name, cap, isDir);
}

int os_find_nextW(os_find h, char16_t* name, int cap, int* isDir) { return find_next(h, name, cap, isDir); }
int os_find_nextA(os_find h, char* name, int cap, int* isDir) { return find_next(h, name, cap, isDir); }

void os_find_close(os_find h) {
  FindSlot* slot = (FindSlot*)h;
  if (slot && slot->inUse) release(slot);
}

int os_find_is_link() { return findIsLink; }

// ---- current folder -----------------------------------------------------------------

// A folder that does not fit is a failure here: the caller gets nothing
// rather than a buffer it must not use.
uint32_t os_current_dirA(char* buf, uint32_t cap) {
  char sys[SYS_PATH_CAP];
  if (cap == 0) return 0;
  buf[0] = 0;
  if (!getcwd(sys, sizeof sys)) return 0;
  char tmp[SYS_PATH_CAP * 2];
  size_t n = sys_to_sjis(sys, tmp, sizeof tmp, true);
  if (n + 1 > cap) return 0;
  memcpy(buf, tmp, n + 1);
  return (uint32_t)n;
}

uint32_t os_current_dirW(char16_t* buf, uint32_t cap) {
  char sys[SYS_PATH_CAP];
  if (cap == 0) return 0;
  buf[0] = 0;
  if (!getcwd(sys, sizeof sys)) return 0;
  char16_t tmp[SYS_PATH_CAP];
  size_t n = sys_to_utf16(sys, tmp, SYS_PATH_CAP, true);
  if (n + 1 > cap) return 0;
  memcpy(buf, tmp, (n + 1) * sizeof(char16_t));
  return (uint32_t)n;
}

// ---- system facts -------------------------------------------------------------------

float os_windows_version() { return 0.0f; }

int os_version_line(char* buf, int cap) {
  struct utsname u;
  if (uname(&u) != 0) {
    snprintf(buf, (size_t)cap, " on POSIX ");
    return 1;
  }
  snprintf(buf, (size_t)cap, " on %s %s ", u.sysname, u.release);
  return 1;
}

uint32_t os_console_output_cp() { return 932; }

uint16_t os_user_lang_id() {
  const char* v = first_env("LC_ALL", "LC_MESSAGES", "LANG");
  return (v && v[0] == 'j' && v[1] == 'a') ? OS_LANG_JAPANESE : OS_LANG_ENGLISH_US;
}

int os_is_dbcs_lead(unsigned char b) { return cp932_is_lead(b) ? 1 : 0; }

void os_sleep(uint32_t ms) {
  struct timespec ts;
  ts.tv_sec = ms / 1000;
  ts.tv_nsec = (long)(ms % 1000) * 1000000L;
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

// ---- console ------------------------------------------------------------------------

void os_console_write(const char* bytes, size_t n) { fwrite(bytes, 1, n, stdout); }
void os_console_flush() { fflush(stdout); }

int os_console_passthrough() {
  const char* v = first_env("LC_ALL", "LC_CTYPE", "LANG");
  if (!v) return 0;
  const char* dot = strchr(v, '.');
  const char* set = dot ? dot + 1 : v;
  // Compare the codeset without case, '-' or '_', and without any @modifier.
  char norm[32];
  size_t n = 0;
  for (const char* p = set; *p && *p != '@' && n < sizeof norm - 1; p++) {
    if (*p == '-' || *p == '_') continue;
    char c = *p;
    norm[n++] = (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
  }
  norm[n] = 0;
  return strcmp(norm, "sjis") == 0 || strcmp(norm, "shiftjis") == 0 || strcmp(norm, "cp932") == 0 ||
         strcmp(norm, "pck") == 0;
}

// The terminal takes bytes: no UTF-16 console, no window of the program's own.
int os_console_screen() { return 0; }

void os_console_writeW(const char16_t* units, size_t n) {
  char out[8];
  for (size_t i = 0; i < n;) {
    uint32_t cp = units[i++];
    if (utf16_is_high_surrogate(cp) && i < n && utf16_is_low_surrogate(units[i]))
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i++] - 0xDC00);
    else if (utf16_is_surrogate(cp))
      cp = 0xFFFD;
    fwrite(out, 1, (size_t)utf8_encode(cp, out), stdout);
  }
}

// The ANSI code page here is 932.
size_t os_ansi_to_wide(const char* ansi, size_t n, char16_t* out, size_t cap) {
  const unsigned char* s = (const unsigned char*)ansi;
  size_t o = 0;
  for (size_t i = 0; i < n && o + 2 <= cap;) {
    uint32_t code = s[i++];
    if (cp932_is_lead((unsigned char)code) && i < n && cp932_is_trail(s[i])) code = code << 8 | s[i++];
    uint32_t cp = cp932_decode(code, CP932_WINDOWS);
    if (cp == 0 || cp > 0x10FFFF || utf16_is_surrogate(cp)) cp = '?';
    o += (size_t)utf16_encode(cp, out + o);
  }
  return o;
}

int os_console_own_window() { return 0; }
void os_console_wait_enter() {}

// ---- message boxes ------------------------------------------------------------------

int os_message_boxA(const char*, const char*, uint32_t type) { return message_box(type); }
int os_message_boxW(const char16_t*, const char16_t*, uint32_t type) { return message_box(type); }
int os_message_box_shows_text() { return 0; }

// ---- open-file dialog ---------------------------------------------------------------

int os_get_open_file_nameW(os_ofnW* req) {
  return open_dialog(true, req->title, req->initialDir, req->filter, req->defExt, req->file, req->maxFile);
}

int os_get_open_file_nameA(os_ofnA* req) {
  return open_dialog(false, req->title, req->initialDir, req->filter, req->defExt, req->file, req->maxFile,
                     req->fileW, req->maxFileW);
}

uint32_t os_comm_dlg_extended_error() { return dialogError; }
