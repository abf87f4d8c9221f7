// Automatic search for the file of a broken texture link below the model's
// folder: the stored path with other letter case, the file moved, converted to
// another image format, or its names mangled by an unpacker. The model
// folder's tree is listed once per model, on the first search that needs it.
// A folder below it that holds a model file of its own belongs to that model:
// only the stored path itself may lead there.
#pragma once
#include "platform/paths.h"

enum LinkRule {
  LINK_RULE_NONE = 0,
  LINK_RULE_CASE,       // the stored path, other letter case
  LINK_RULE_MOVED,      // same name elsewhere below the model folder
  LINK_RULE_CONVERTED,  // same stem, another image extension
  LINK_RULE_MANGLED,    // names as an unpacker read them with the wrong code page
};

enum {
  LINK_PATH_CAP = PATHBUF_CAP,     // units of a path, terminator included
  LINK_WALK_MAX_DEPTH = 8,         // folder levels listed below the model folder
  LINK_WALK_MAX_ENTRIES = 30000,   // files and folders listed per model
  LINK_WALK_NAME_UNITS = 1 << 21,  // name storage of one listing: 70 units a name
};

// Why the search left a candidate alone.
enum LinkReject : unsigned char {
  LINK_REJECT_NONE = 0,
  LINK_REJECT_OTHER_MODEL,  // it lies in the folder of another model
};

// The bounds that stopped a listing (linksearch_walk_bounds).
enum { LINK_CUT_LEVELS = 1, LINK_CUT_ENTRIES = 2 };

struct LinkFound {
  LinkRule rule;
  char16_t pathW[LINK_PATH_CAP];  // relative to the model folder, backslashes
  // Found under its own name in another folder: the move to learn, in the
  // form the learned-folder table takes (folder parts with their backslash).
  bool teachesMove;
  char16_t oldFolderW[LINK_PATH_CAP];
  char16_t newFolderW[LINK_PATH_CAP];
  // How many files qualified under the rule that found it, the stored place's
  // and those elsewhere alike.
  int candidates;
  // Nothing found that may be taken, but a file another model's folder holds
  // would have been: its path and that model's folder (with its backslash),
  // both relative to the model folder.
  LinkReject rejected;
  char16_t rejectedW[LINK_PATH_CAP];
  char16_t otherModelW[LINK_PATH_CAP];
};

// Starts a model: modelDirW is its folder (empty for the current one, with or
// without a trailing backslash). Forgets the previous listing; lists nothing yet.
void linksearch_begin(const char16_t* modelDirW);
// Searches for the file of one stored link: the stored place first under the
// case, converted and mangled rules, then elsewhere under the moved, converted
// and mangled rules; the first that finds a file wins. LINK_RULE_NONE (and
// found->rule) when none does.
LinkRule linksearch_find(const char16_t* storedPathW, LinkFound* found);
// toon01.bmp ... toon10.bmp with no folder, any letter case: supplied by the
// viewer from its own folder, so not broken when absent.
bool linksearch_is_shared_toon(const char16_t* storedPathW);

// What the walk of the current model listed (it runs on the first search).
int linksearch_listed();
bool linksearch_walk_cut();  // true when a bound stopped it
int linksearch_walk_bounds();  // the LINK_CUT_ flags of the bounds that stopped it

// ---- the stored place under mangled names, for restoring them -----------------
// A broken link's file at exactly its stored place, each folder and the file
// name either as stored or in one mangled form, at least one of them mangled.
// A name whose mangled form holds a backslash (a cp437 0x5C byte) was split by
// the unpacker: its pieces stand one folder level each.
struct LinkPlace {
  char16_t diskW[LINK_PATH_CAP];    // the file as it is on disk, relative to the model folder
  char16_t storedW[LINK_PATH_CAP];  // the stored path, relative, backslashes, no "." parts
};
// False when no such file is there, or the stored path may not be written to:
// it leaves the model folder ('..', a drive, a leading separator) or holds a
// name no Windows folder can (':', '*', '?', ...). Lists the tree when needed.
bool linksearch_mangled_place(const char16_t* storedPathW, LinkPlace* place);
// The listing no longer holds: files were moved. The model starts again, and
// the next search lists its folder anew.
void linksearch_forget_listing();
