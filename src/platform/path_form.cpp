#include "platform/path_form.h"

#include "platform/paths.h"

namespace {


int length_of(const char16_t* s) {
  int n = 0;
  while (s[n]) ++n;
  return n;
}

struct Out {
  char16_t* dst;
  int cap, n;
  bool ok;
  void put(char16_t c) {
    if (n + 1 < cap)
      dst[n++] = c;
    else
      ok = false;
  }
  void put(const char16_t* s, int len) {
    for (int i = 0; i < len; ++i) put(s[i]);
  }
};

int copy_as_is(char16_t* dst, int cap, const char16_t* src, int len) {
  if (len + 1 > cap) {
    if (cap > 0) dst[0] = 0;
    return -1;
  }
  for (int i = 0; i <= len; ++i) dst[i] = src[i];
  return len;
}

// Length of the root (drive "C:\" or "\\server\share"); 0 when the path is
// not absolute in one of these two ways. *unc tells which.
int root_length(const char16_t* s, int len, bool* unc) {
  *unc = false;
  if (len >= 3 && s[1] == u':' && path_is_sep(s[2]) &&
      ((s[0] >= u'A' && s[0] <= u'Z') || (s[0] >= u'a' && s[0] <= u'z')))
    return 2;
  if (len < 5 || !path_is_sep(s[0]) || !path_is_sep(s[1]) || path_is_sep(s[2])) return 0;
  int i = 2;
  while (i < len && !path_is_sep(s[i])) ++i;  // server
  if (i >= len) return 0;
  int share = ++i;
  while (i < len && !path_is_sep(s[i])) ++i;
  if (i == share) return 0;
  *unc = true;
  return i;
}

}  // namespace

int long_path_form(char16_t* dst, int cap, const char16_t* src) {
  if (cap <= 0) return -1;
  const int len = length_of(src);
  bool unc = false;
  const int root = root_length(src, len, &unc);
  const bool prefixed = len >= 4 && src[0] == u'\\' && src[1] == u'\\' && (src[2] == u'?' || src[2] == u'.') &&
                        src[3] == u'\\';
  if (len < LONG_PATH_FROM || root == 0 || prefixed) return copy_as_is(dst, cap, src, len);

  Out out = {dst, cap, 0, true};
  if (unc) {
    out.put(u"\\\\?\\UNC\\", 8);
    for (int i = 2; i < root; ++i) out.put(path_is_sep(src[i]) ? u'\\' : src[i]);
  } else {
    out.put(u"\\\\?\\", 4);
    out.put(src, 2);
  }
  const int rootEnd = out.n;  // ".." never climbs above this
  // Each name after the root, with the separator before it.
  int i = root;
  bool endsWithSep = false;
  while (i < len) {
    while (i < len && path_is_sep(src[i])) ++i;
    if (i >= len) {
      endsWithSep = true;
      break;
    }
    int start = i;
    while (i < len && !path_is_sep(src[i])) ++i;
    int n = i - start;
    const char16_t* name = src + start;
    if (n == 1 && name[0] == u'.') {
      endsWithSep = i < len;
      continue;
    }
    if (n == 2 && name[0] == u'.' && name[1] == u'.') {
      while (out.n > rootEnd && dst[out.n - 1] != u'\\') --out.n;
      if (out.n > rootEnd) --out.n;  // its separator
      endsWithSep = i < len;
      continue;
    }
    // A folder name loses one trailing dot, as the system reads it.
    if (i < len && name[n - 1] == u'.') --n;
    out.put(u'\\');
    out.put(name, n);
    endsWithSep = false;
  }
  if (endsWithSep) {
    out.put(u'\\');
  } else {
    while (out.n > rootEnd && (dst[out.n - 1] == u' ' || dst[out.n - 1] == u'.')) --out.n;
  }
  if (out.n == rootEnd) out.put(u'\\');
  if (!out.ok) {
    dst[0] = 0;
    return -1;
  }
  dst[out.n] = 0;
  return out.n;
}
