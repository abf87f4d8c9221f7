#include "platform/paths.h"

#include "encoding/codec.h"
#include "platform/os.h"

#include <cstring>

namespace {

inline int sjis_width(const char* s) { return ansi_char_width(s); }
inline int sjis_width(const char16_t* s) {
  return (s[0] >= 0xD800 && s[0] <= 0xDBFF && s[1] >= 0xDC00 && s[1] <= 0xDFFF) ? 2 : 1;
}

template <typename C>
int length_of(const C* s) {
  int n = 0;
  while (s[n]) n++;
  return n;
}

// Copies up to len units of src behind dst[at], bounded by cap, never splitting
// a double-byte character or a surrogate pair. Returns the new length.
template <typename C>
int put_units(C* dst, int cap, int at, const C* src, int len) {
  if (cap <= 0) return 0;
  int i = 0;
  while (i < len && src[i]) {
    int w = sjis_width(src + i);
    if (i + w > len) w = 1;
    if (at + w > cap - 1) break;
    for (int k = 0; k < w; k++) dst[at++] = src[i + k];
    i += w;
  }
  dst[at] = 0;
  return at;
}

template <typename C>
int put_all(C* dst, int cap, int at, const C* src) {
  return put_units(dst, cap, at, src, length_of(src));
}

// Index of the last unit matching one of a, b (another unit of a double-byte
// character never counts); -1 when there is none.
template <typename C>
int last_of(const C* s, C a, C b) {
  int found = -1;
  for (int i = 0; s[i];) {
    if (s[i] == a || s[i] == b) found = i;
    i += sjis_width(s + i);
  }
  return found;
}

template <typename C>
C upper(C c) {
  return (c >= 'a' && c <= 'z') ? (C)(c - 'a' + 'A') : c;
}

template <typename C>
bool is_letter(C c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

template <typename C>
int headcmpi_t(const C* s, const C* p) {
  for (int i = 0; p[i]; i++)
    if (upper(s[i]) != upper(p[i])) return -1;
  return 0;
}

template <typename C>
int dirpart_t(C* dst, int cap, const C* path) {
  int k = last_of(path, (C)'\\', (C)'\\');
  put_units(dst, cap, 0, path, k + 1);
  return 0;
}

template <typename C>
int namepart_t(C* dst, int cap, const C* path) {
  int k = last_of(path, (C)'\\', (C)'/');
  put_all(dst, cap, 0, path + k + 1);
  return 0;
}

template <typename C>
int extpart_t(C* dst, int cap, const C* path) {
  int k = last_of(path, (C)'.', (C)'.');
  if (k < 0) {
    if (cap > 0) dst[0] = 0;
    return 0;
  }
  put_all(dst, cap, 0, path + k);
  return -1;
}

template <typename C>
int stripext_t(C* dst, int cap, const C* path) {
  int k = last_of(path, (C)'.', (C)'.');
  put_units(dst, cap, 0, path, k < 0 ? length_of(path) : k);
  return 0;
}

template <typename C>
int striptailsep_t(C* path) {
  int len = 0;
  while (path[len] && len < PATH_CAP - 1) len += sjis_width(path + len);
  // A string that reached the limit is only cut, even where a double-byte
  // character across the limit leaves it one unit shorter.
  bool cut = len >= PATH_CAP - 1;
  if (len > PATH_CAP - 1) len -= 2;  // a double-byte character across the limit goes whole
  path[len] = 0;
  if (cut || len == 0) return 0;
  // The separator must be a character of its own, not the trail of a double-byte one.
  int last = 0;
  for (int i = 0; i < len; i += sjis_width(path + i)) last = i;
  if (last != len - 1 || (path[last] != '\\' && path[last] != '/')) return 0;
  bool drive = is_letter(path[0]) && path[1] == ':';
  if (len >= (drive ? 4 : 2)) path[len - 1] = 0;
  return 0;
}

template <typename C>
int relpath_t(C* dst, int cap, const C* t, const C* b) {
  bool tUnc = t[0] == '\\' && t[1] == '\\';
  bool bUnc = b[0] == '\\' && b[1] == '\\';
  bool tDrive = t[0] != 0 && t[1] == ':';
  bool bDrive = b[0] != 0 && b[1] == ':';
  if ((tUnc && is_letter(b[0]) && b[1] == ':') || (bUnc && is_letter(t[0]) && t[1] == ':') ||
      (tDrive && bDrive && t[0] != b[0])) {
    put_all(dst, cap, 0, t);
    return 0;
  }
  int k = 0;
  for (int i = 0; t[i] && t[i] == b[i];) {
    int w = sjis_width(t + i);
    if (w == 2 && t[i + 1] != b[i + 1]) break;
    if (w == 1 && (t[i] == '\\' || t[i] == ':')) k = i + 1;
    i += w;
  }
  int at = 0;
  if (cap > 0) dst[0] = 0;
  static const C up[] = {'.', '.', '\\', 0};
  for (int i = k; b[i]; i += sjis_width(b + i))
    if (b[i] == '\\') at = put_all(dst, cap, at, up);
  put_all(dst, cap, at, t + k);
  return 0;
}

template <typename C>
int sjis_copy_t(C* dst, int cap, const C* src) {
  return put_all(dst, cap, 0, src);
}

template <typename C>
int sjis_append_t(C* dst, int cap, const C* src) {
  if (cap <= 0) return 0;
  int at = 0;
  while (at < cap - 1 && dst[at]) at++;
  return put_all(dst, cap, at, src);
}

template <typename C>
int findfile_t(C* dst, int cap, const C* path, os_find (*first)(const C*, C*, int, int*),
               int (*next)(os_find, C*, int, int*)) {
  if (cap > 0) dst[0] = 0;
  C name[PATH_CAP];
  int isDir = 0;
  os_find h = first(path, name, PATH_CAP, &isDir);
  if (h == OS_BAD_FIND) return -1;
  if (isDir) {
    if (!next(h, name, PATH_CAP, &isDir)) {
      os_find_close(h);
      return -1;
    }
    if (isDir) {
      os_find_close(h);
      return -2;
    }
  }
  put_all(dst, cap, 0, name);
  os_find_close(h);
  return 0;
}

}  // namespace

// The program's own test, apart from the ANSI code page's: it counts 0x80 as
// a lead, so the name rules and drop_trailing_lead step over 0x80 and the
// byte after it as the conversions do, which read 0x80 as a lead without a
// character.
int sjisleadbyte(unsigned char b) { return (b == 0x80 || cp932_is_lead(b)) ? -1 : 0; }

// The path pieces must split where the system's own path functions split, so
// they ask the system's lead-byte test for the ANSI code page.
int ansi_char_width(const char* s) { return (os_is_dbcs_lead((unsigned char)s[0]) && s[1] != 0) ? 2 : 1; }

int headcmpiW(const char16_t* s, const char16_t* p) { return headcmpi_t(s, p); }
int headcmpi(const char* s, const char* p) { return headcmpi_t(s, p); }
int dirpartW(char16_t* dst, int cap, const char16_t* path) { return dirpart_t(dst, cap, path); }
int dirpart(char* dst, int cap, const char* path) { return dirpart_t(dst, cap, path); }
int namepartW(char16_t* dst, int cap, const char16_t* path) { return namepart_t(dst, cap, path); }
int namepart(char* dst, int cap, const char* path) { return namepart_t(dst, cap, path); }
int extpartW(char16_t* dst, int cap, const char16_t* path) { return extpart_t(dst, cap, path); }
int extpart(char* dst, int cap, const char* path) { return extpart_t(dst, cap, path); }
int stripextW(char16_t* dst, int cap, const char16_t* path) { return stripext_t(dst, cap, path); }
int stripext(char* dst, int cap, const char* path) { return stripext_t(dst, cap, path); }
int striptailsepW(char16_t* path) { return striptailsep_t(path); }
int striptailsep(char* path) { return striptailsep_t(path); }

int relpathW(char16_t* dst, int cap, const char16_t* target, const char16_t* base) {
  return relpath_t(dst, cap, target, base);
}
int relpath(char* dst, int cap, const char* target, const char* base) {
  return relpath_t(dst, cap, target, base);
}

int findfileW(char16_t* dst, int cap, const char16_t* path) {
  return findfile_t(dst, cap, path, os_find_firstW, os_find_nextW);
}
int findfile(char* dst, int cap, const char* path) {
  return findfile_t(dst, cap, path, os_find_firstA, os_find_nextA);
}

int sjis_copy(char* dst, int cap, const char* src) { return sjis_copy_t(dst, cap, src); }
int sjis_append(char* dst, int cap, const char* src) { return sjis_append_t(dst, cap, src); }

namespace {

// A join is taken whole or not at all: a cut path would name another file.
template <typename C>
bool join_path_t(C* dst, int cap, const C* folder, const C* rest) {
  int a = length_of(folder), b = length_of(rest);
  if (cap <= 0 || a + b + 1 > cap) {
    if (cap > 0) dst[0] = 0;
    return false;
  }
  // Either piece may overlap dst (dst is often the folder itself).
  std::memmove(dst, folder, (size_t)a * sizeof(C));
  std::memmove(dst + a, rest, ((size_t)b + 1) * sizeof(C));
  return true;
}

}  // namespace

bool join_path(char* dst, int cap, const char* folder, const char* rest) {
  return join_path_t(dst, cap, folder, rest);
}
bool join_pathW(char16_t* dst, int cap, const char16_t* folder, const char16_t* rest) {
  return join_path_t(dst, cap, folder, rest);
}

bool path_next_name(const char16_t* path, int* at, int* start, int* len) {
  auto sep = path_is_sep;
  for (int i = *at;;) {
    while (sep(path[i])) i++;
    if (!path[i]) {
      *at = i;
      return false;
    }
    *start = i;
    while (path[i] && !sep(path[i])) i++;
    *len = i - *start;
    *at = i;
    if (*len != 1 || path[*start] != '.') return true;
  }
}
