#include "driver/folder_args.h"

#include <algorithm>
#include <cstdint>

#include "platform/dir_walk.h"
#include "platform/paths.h"
#include "text/sjis.h"

namespace {

// Nodes are the folders to list and the model files, each a path in paths.
uint32_t pathAt[FOLDER_MAX_NODES];
int nodeCount;
char16_t paths[FOLDER_PATH_UNITS];
uint32_t pathsUsed;
int models[FOLDER_MAX_MODELS];  // node indexes, sorted after the walk
int modelCount;
bool cut;

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

// Stores a path (folder + name) as a new node: the walker's verdict on it.
int32_t add_node(const char16_t* folder, const char16_t* name, bool dir) {
  int a = wide_len(folder), b = wide_len(name);
  // Only paths the model loop can take whole; a longer one is no usable path.
  if (a + b + 1 > PATHBUF_CAP) return DIRWALK_SKIP;
  if (nodeCount >= FOLDER_MAX_NODES || pathsUsed + (uint32_t)(a + b + 1) > FOLDER_PATH_UNITS ||
      (!dir && modelCount >= FOLDER_MAX_MODELS))
    return DIRWALK_FULL_FOLDER;
  pathAt[nodeCount] = pathsUsed;
  for (int i = 0; i < a; i++) paths[pathsUsed++] = folder[i];
  for (int i = 0; i < b; i++) paths[pathsUsed++] = name[i];
  paths[pathsUsed++] = 0;
  int32_t id = nodeCount++;
  if (dir) return id;
  models[modelCount++] = id;
  return DIRWALK_KEEP;
}

// Folders to list and model files are kept.
int32_t keep_entry(void*, const DirEntry& e) {
  if (e.dir) return e.link || e.tooDeep ? DIRWALK_SKIP : add_node(e.folderPath, e.name, true);
  return is_model_name(e.name) ? add_node(e.folderPath, e.name, false) : DIRWALK_SKIP;
}

char16_t root[PATHBUF_CAP];

bool folder_path(void*, int32_t folder, char16_t* dst, int cap) {
  if (folder == DIRWALK_ROOT) return wide_cpy(dst, cap, root) == wide_len(root);
  return join_pathW(dst, cap, paths + pathAt[folder], u"\\");
}

int32_t first_entry_ends(void*, const DirEntry&) { return DIRWALK_FULL; }

// In the order of the paths' UTF-8 bytes with '/' between folders.
bool path_before(int a, int b) { return path_order(paths + pathAt[a], paths + pathAt[b], '/') < 0; }

}  // namespace

bool folder_arg_is_folder(const char16_t* pathW) {
  char16_t folder[PATHBUF_CAP];
  if (!pathW || !pathW[0] || !folder_with_sep(folder, PATHBUF_CAP, pathW)) return false;
  // Only a folder can be listed; a file or a missing path finds nothing.
  return dir_list(folder, first_entry_ends, nullptr);
}

int folder_arg_list(const char16_t* folderW) {
  nodeCount = 0;
  pathsUsed = 0;
  modelCount = 0;
  cut = false;
  if (!folderW || !folder_with_sep(root, PATHBUF_CAP, folderW)) return 0;
  cut = dir_walk(folder_path, keep_entry, nullptr, FOLDER_MAX_DEPTH) != DIRWALK_WHOLE;
  std::sort(models, models + modelCount, path_before);
  return modelCount;
}

const char16_t* folder_arg_model(int i) {
  if (i < 0 || i >= modelCount) return u"";
  return paths + pathAt[models[i]];
}

bool folder_arg_cut() { return cut; }
