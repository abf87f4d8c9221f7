// The one walk of a folder tree, over the seam's UTF-16 directory search.
// Breadth first: each folder is listed whole, in the order the system lists
// it, and closed before the next, so a walk holds one directory search at a
// time however deep it goes. "." and ".." are never entries. The caller keeps
// what it wants of the entries in its own storage, within its own bounds; the
// walker keeps only the queue of folders still to list.
#pragma once
#include <cstdint>

enum {
  DIRWALK_ROOT = -1,            // id of the folder a walk starts in
  DIRWALK_NAME_CAP = 260,       // units of an entry's name, terminator included
  DIRWALK_MAX_FOLDERS = 32768,  // folders waiting to be listed
};

struct DirEntry {
  const char16_t* folderPath;  // the folder being listed, with its separator (or empty)
  const char16_t* name;        // the entry's name alone
  int len;
  int32_t folder;  // id of the folder being listed
  int depth;       // folders between the walk's start and the entry
  bool dir;
  bool link;     // a symbolic link or other reparse point: never listed
  bool tooDeep;  // a folder past the walk's depth bound: not listed
};

// What the caller makes of an entry: an id >= 0 lists the folder later under
// that id (only a folder that is neither a link nor too deep), or one of these.
enum {
  DIRWALK_SKIP = -1,         // not kept
  DIRWALK_KEEP = -2,         // kept, not listed
  DIRWALK_FULL_FOLDER = -3,  // a bound of the caller: the rest of this folder is passed over
  DIRWALK_FULL = -4,         // a bound of the caller: the walk ends here
};
typedef int32_t (*DirEntryFn)(void* ctx, const DirEntry& e);
// The path of a folder to list (DIRWALK_ROOT: the start), with its trailing
// separator, or empty for the current folder; false leaves it unlisted.
typedef bool (*DirFolderFn)(void* ctx, int32_t folder, char16_t* dst, int cap);

// How a walk ended: whole, or with a part left unlisted by a bound.
enum { DIRWALK_WHOLE = 0, DIRWALK_CUT_DEPTH = 1, DIRWALK_CUT_ROOM = 2 };

// Walks the tree from the folder DIRWALK_ROOT names down to maxDepth folder
// levels below it. Returns DIRWALK_WHOLE or the DIRWALK_CUT_ flags.
int dir_walk(DirFolderFn folderPath, DirEntryFn onEntry, void* ctx, int maxDepth);
// Lists one folder (its path with the trailing separator, or empty); entries
// have depth 0 and are never listed further. False when the folder lists nothing.
bool dir_list(const char16_t* folder, DirEntryFn onEntry, void* ctx);

// Code point order of two UTF-16 paths, that is the byte order of their UTF-8
// forms (negative, 0, positive). A backslash counts as sepAs: '/' orders a
// tree as its POSIX paths sort, '\\' as the paths stand.
int path_order(const char16_t* a, const char16_t* b, char16_t sepAs);
