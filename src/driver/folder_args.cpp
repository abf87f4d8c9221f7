#include "driver/folder_args.h"

#include <algorithm>
#include <cstdint>

#include "platform/os.h"
#include "platform/paths.h"
#include "text/sjis.h"

namespace {

enum { NAME_CAP = PATH_CAP };

struct Node {
  uint32_t pathAt;  // into paths, terminated
  uint8_t depth;    // 0: the named folder itself
  bool dir;
};

Node nodes[FOLDER_MAX_NODES];
int nodeCount;
char16_t paths[FOLDER_PATH_UNITS];
uint32_t pathsUsed;
int models[FOLDER_MAX_MODELS];  // node indexes, sorted after the walk
int modelCount;
bool cut;

bool is_dots(const char16_t* s) { return s[0] == '.' && (!s[1] || (s[1] == '.' && !s[2])); }

char16_t lower(char16_t c) { return (c >= 'A' && c <= 'Z') ? (char16_t)(c + 32) : c; }

bool ends_with_nocase(const char16_t* s, int len, const char16_t* tail) {
  int n = wide_len(tail);
  if (len < n) return false;
  for (int i = 0; i < n; i++)
    if (lower(s[len - n + i]) != tail[i]) return false;
  return true;
}

bool is_model_name(const char16_t* name) {
  int len = wide_len(name);
  return ends_with_nocase(name, len, u".pmx") && !ends_with_nocase(name, len, u"-new.pmx");
}

// The folder with exactly one backslash after it (a bare drive or root kept as is).
bool folder_with_sep(char16_t* dst, int cap, const char16_t* folder) {
  int n = wide_cpy(dst, cap, folder);
  if (n == 0 || n != wide_len(folder)) return false;
  while (n > 1 && dst[n - 1] == '\\' && dst[n - 2] != ':') dst[--n] = 0;
  if (dst[n - 1] == '\\') return true;
  return join_pathW(dst, cap, dst, u"\\");
}

// Stores a path (folder + name) as a new node; false when a bound is reached.
bool add_node(const char16_t* folder, const char16_t* name, uint8_t depth, bool dir) {
  int a = wide_len(folder), b = wide_len(name);
  // Only paths the model loop can take whole; a longer one is no usable path.
  if (a + b + 1 > PATHBUF_CAP) return true;
  if (nodeCount >= FOLDER_MAX_NODES || pathsUsed + (uint32_t)(a + b + 1) > FOLDER_PATH_UNITS ||
      (!dir && modelCount >= FOLDER_MAX_MODELS)) {
    cut = true;
    return false;
  }
  Node& nd = nodes[nodeCount];
  nd.pathAt = pathsUsed;
  nd.depth = depth;
  nd.dir = dir;
  for (int i = 0; i < a; i++) paths[pathsUsed++] = folder[i];
  for (int i = 0; i < b; i++) paths[pathsUsed++] = name[i];
  paths[pathsUsed++] = 0;
  if (!dir) models[modelCount++] = nodeCount;
  ++nodeCount;
  return true;
}

// Lists one folder (folder ends in a backslash); its subfolders become nodes to list later.
void list_folder(const char16_t* folder, uint8_t depth) {
  char16_t pattern[PATHBUF_CAP];
  if (!join_pathW(pattern, PATHBUF_CAP, folder, u"*")) return;
  char16_t name[NAME_CAP];
  int isDir = 0;
  os_find h = os_find_firstW(pattern, name, NAME_CAP, &isDir);
  if (h == OS_BAD_FIND) return;
  do {
    if (is_dots(name)) continue;
    bool ok = true;
    if (isDir) {
      // A linked folder may lead back up the tree or anywhere else on the disk.
      if (os_find_is_link()) continue;
      if (depth >= FOLDER_MAX_DEPTH) {
        cut = true;
        continue;
      }
      ok = add_node(folder, name, (uint8_t)(depth + 1), true);
    } else if (is_model_name(name)) {
      ok = add_node(folder, name, depth, false);
    }
    if (!ok) break;
  } while (os_find_nextW(h, name, NAME_CAP, &isDir));
  os_find_close(h);
}

// Next code point of a path as UTF-8 orders it, the separator counted as '/'.
uint32_t next_point(const char16_t*& s) {
  uint32_t u = *s++;
  if (u >= 0xD800 && u < 0xDC00 && *s >= 0xDC00 && *s < 0xE000) u = 0x10000 + ((u - 0xD800) << 10) + (*s++ - 0xDC00);
  return u == '\\' ? '/' : u;
}

// UTF-8 byte order is code point order.
bool path_before(int a, int b) {
  const char16_t* p = paths + nodes[a].pathAt;
  const char16_t* q = paths + nodes[b].pathAt;
  for (;;) {
    uint32_t x = next_point(p), y = next_point(q);
    if (x != y) return x < y;
    if (x == 0) return false;
  }
}

}  // namespace

bool folder_arg_is_folder(const char16_t* pathW) {
  char16_t pattern[PATHBUF_CAP];
  if (!pathW || !pathW[0] || !folder_with_sep(pattern, PATHBUF_CAP, pathW)) return false;
  if (!join_pathW(pattern, PATHBUF_CAP, pattern, u"*")) return false;
  // Only a folder can be listed; a file or a missing path finds nothing.
  char16_t name[NAME_CAP];
  int isDir = 0;
  os_find h = os_find_firstW(pattern, name, NAME_CAP, &isDir);
  if (h == OS_BAD_FIND) return false;
  os_find_close(h);
  return true;
}

int folder_arg_list(const char16_t* folderW) {
  nodeCount = 0;
  pathsUsed = 0;
  modelCount = 0;
  cut = false;
  char16_t root[PATHBUF_CAP];
  if (!folderW || !folder_with_sep(root, PATHBUF_CAP, folderW)) return 0;
  list_folder(root, 0);
  // Breadth first: each folder is listed whole and closed before the next, so
  // the walk holds one directory search at a time however deep it goes.
  char16_t folder[PATHBUF_CAP];
  for (int i = 0; i < nodeCount; i++) {
    if (!nodes[i].dir) continue;
    if (!join_pathW(folder, PATHBUF_CAP, paths + nodes[i].pathAt, u"\\")) continue;
    list_folder(folder, nodes[i].depth);
  }
  std::sort(models, models + modelCount, path_before);
  return modelCount;
}

const char16_t* folder_arg_model(int i) {
  if (i < 0 || i >= modelCount) return u"";
  return paths + nodes[models[i]].pathAt;
}

bool folder_arg_cut() { return cut; }
