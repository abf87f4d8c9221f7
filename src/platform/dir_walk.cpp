#include "platform/dir_walk.h"

#include "platform/os.h"
#include "platform/paths.h"

namespace {

struct Waiting {
  int32_t id;
  int depth;
};
// One walk at a time: the folders found and not listed yet, in the order found.
Waiting waiting[DIRWALK_MAX_FOLDERS];

struct Walk {
  DirEntryFn onEntry;
  void* ctx;
  int maxDepth;
  bool descend;  // false: one folder only
  int queued;
  int cut;
  bool listed;
};

bool is_dots(const char16_t* s) { return s[0] == '.' && (!s[1] || (s[1] == '.' && !s[2])); }

int units(const char16_t* s) {
  int n = 0;
  while (s[n]) n++;
  return n;
}

// Lists one folder; false when the caller's bound ends the walk.
bool list_folder(Walk& w, const char16_t* folder, int32_t id, int depth) {
  char16_t pattern[PATHBUF_CAP];
  if (!join_pathW(pattern, PATHBUF_CAP, folder, u"*")) return true;
  char16_t name[DIRWALK_NAME_CAP];
  int isDir = 0;
  os_find h = os_find_firstW(pattern, name, DIRWALK_NAME_CAP, &isDir);
  if (h == OS_BAD_FIND) return true;
  w.listed = true;
  bool goOn = true;
  do {
    if (is_dots(name)) continue;
    DirEntry e;
    e.folderPath = folder;
    e.name = name;
    e.len = units(name);
    e.folder = id;
    e.depth = depth;
    e.dir = isDir != 0;
    // A linked folder may lead back up the tree or anywhere else on the disk.
    e.link = os_find_is_link() != 0;
    e.tooDeep = w.descend && e.dir && !e.link && depth + 1 > w.maxDepth;
    if (e.tooDeep) w.cut |= DIRWALK_CUT_DEPTH;
    int32_t r = w.onEntry(w.ctx, e);
    if (r >= 0) {
      if (!w.descend || !e.dir || e.link || e.tooDeep) continue;
      if (w.queued >= DIRWALK_MAX_FOLDERS) {
        w.cut |= DIRWALK_CUT_ROOM;
        continue;
      }
      waiting[w.queued].id = r;
      waiting[w.queued].depth = depth + 1;
      ++w.queued;
    } else if (r == DIRWALK_FULL_FOLDER || r == DIRWALK_FULL) {
      w.cut |= DIRWALK_CUT_ROOM;
      goOn = r == DIRWALK_FULL_FOLDER;
      break;
    }
  } while (os_find_nextW(h, name, DIRWALK_NAME_CAP, &isDir));
  os_find_close(h);
  return goOn;
}

// Next code point of a path; an unpaired surrogate stands for itself.
uint32_t next_point(const char16_t*& s, char16_t sepAs) {
  uint32_t u = *s++;
  if (u >= 0xD800 && u < 0xDC00 && *s >= 0xDC00 && *s < 0xE000) u = 0x10000 + ((u - 0xD800) << 10) + (*s++ - 0xDC00);
  return u == '\\' ? sepAs : u;
}

}  // namespace

int dir_walk(DirFolderFn folderPath, DirEntryFn onEntry, void* ctx, int maxDepth) {
  Walk w = {onEntry, ctx, maxDepth, true, 0, DIRWALK_WHOLE, false};
  char16_t folder[PATHBUF_CAP];
  if (folderPath(ctx, DIRWALK_ROOT, folder, PATHBUF_CAP) && !list_folder(w, folder, DIRWALK_ROOT, 0)) return w.cut;
  for (int i = 0; i < w.queued; i++) {
    if (!folderPath(ctx, waiting[i].id, folder, PATHBUF_CAP)) continue;
    if (!list_folder(w, folder, waiting[i].id, waiting[i].depth)) break;
  }
  return w.cut;
}

bool dir_list(const char16_t* folder, DirEntryFn onEntry, void* ctx) {
  Walk w = {onEntry, ctx, 0, false, 0, DIRWALK_WHOLE, false};
  list_folder(w, folder, DIRWALK_ROOT, 0);
  return w.listed;
}

int path_order(const char16_t* a, const char16_t* b, char16_t sepAs) {
  for (;;) {
    uint32_t x = next_point(a, sepAs), y = next_point(b, sepAs);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
}
