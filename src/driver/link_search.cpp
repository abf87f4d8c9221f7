#include "driver/link_search.h"

#include "encoding/name_mangle.h"
#include "platform/dir_walk.h"
#include "platform/paths.h"
#include "text/sjis.h"

namespace {

enum {
  NAME_CAP = 256,      // units of one path component
  COMP_MAX = 32,       // components of a stored path
  VARIANT_MAX = 1 + MANGLE_KINDS,
  ANY_UNIT = MANGLE_ANY_UNIT,
  ROOT = DIRWALK_ROOT,
};

// ---- letter case -------------------------------------------------------------

// Lower case for the letters names are written with: ASCII, Latin-1, Greek,
// Cyrillic and full-width Latin. Enough for the names users and unpackers make.
inline char16_t fold(char16_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? (char16_t)(c + 0x20) : c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) ||
      (c >= 0x410 && c <= 0x42F) || (c >= 0xFF21 && c <= 0xFF3A))
    return (char16_t)(c + 0x20);
  if (c >= 0x400 && c <= 0x40F) return (char16_t)(c + 0x50);
  return c;
}

uint32_t name_hash(const char16_t* s, int n) {
  uint32_t h = 2166136261u;
  for (int i = 0; i < n; i++) h = (h ^ fold(s[i])) * 16777619u;
  return h;
}

// ---- the listing of the model folder's tree --------------------------------------

enum {
  NODE_DIR = 1,
  NODE_LINK = 2,
  NODE_MODEL = 4,        // a folder that holds a model file of its own
  NODE_OTHER_MODEL = 8,  // at or below such a folder: another model's
};

struct Node {
  uint32_t nameAt;
  uint16_t nameLen;
  uint8_t depth;  // folders between the model folder and the entry
  uint8_t flags;
  int32_t parent;
  int32_t firstChild;
  int32_t childCount;
  uint32_t hash;
};

Node nodes[LINK_WALK_MAX_ENTRIES];
char16_t names[LINK_WALK_NAME_UNITS];
int nodeCount;
uint32_t namesUsed;
int rootCount;
bool walked;
int walkBounds;  // LINK_CUT_ flags
char16_t modelDir[LINK_PATH_CAP];  // with its trailing backslash, or empty

const char16_t* node_name(int i) { return names + nodes[i].nameAt; }

// Path of a node relative to the model folder; false when it does not fit.
bool node_path(int i, char16_t* dst, int cap) {
  int chain[LINK_WALK_MAX_DEPTH + 2];
  int n = 0;
  for (int k = i; k != ROOT && n < (int)(sizeof chain / sizeof chain[0]); k = nodes[k].parent) chain[n++] = k;
  int at = 0;
  for (int j = n - 1; j >= 0; j--) {
    const Node& nd = nodes[chain[j]];
    if (at + nd.nameLen + 2 > cap) {
      dst[0] = 0;
      return false;
    }
    for (int u = 0; u < nd.nameLen; u++) dst[at++] = names[nd.nameAt + u];
    if (j > 0) dst[at++] = '\\';
  }
  dst[at] = 0;
  return true;
}

// A .pmx or .pmd file, any letter case.
bool is_model_file(const char16_t* s, int n) {
  if (n < 4 || s[n - 4] != '.' || fold(s[n - 3]) != 'p' || fold(s[n - 2]) != 'm') return false;
  char16_t last = fold(s[n - 1]);
  return last == 'x' || last == 'd';
}

// Keeps every entry as a child of the folder being listed; its folders are
// listed later unless they are links or too deep.
int32_t keep_entry(void*, const DirEntry& e) {
  if (nodeCount >= LINK_WALK_MAX_ENTRIES || namesUsed + (uint32_t)e.len > LINK_WALK_NAME_UNITS) return DIRWALK_FULL;
  int32_t id = nodeCount++;
  Node& nd = nodes[id];
  nd.nameAt = namesUsed;
  nd.nameLen = (uint16_t)e.len;
  for (int u = 0; u < e.len; u++) names[namesUsed++] = e.name[u];
  nd.depth = (uint8_t)e.depth;
  nd.flags = (uint8_t)((e.dir ? NODE_DIR : 0) | (e.link ? NODE_LINK : 0));
  nd.parent = e.folder;
  nd.firstChild = 0;
  nd.childCount = 0;
  nd.hash = name_hash(e.name, e.len);
  // A folder's entries lie side by side.
  if (e.folder == ROOT) {
    ++rootCount;
  } else {
    Node& parent = nodes[e.folder];
    if (parent.childCount++ == 0) parent.firstChild = id;
    // The model's own folder holds models too, and is never another's.
    if (!e.dir && is_model_file(e.name, e.len)) parent.flags |= NODE_MODEL;
  }
  return e.dir && !e.link && !e.tooDeep ? id : DIRWALK_KEEP;
}

// The model folder, or a folder of the listing, with its backslash.
bool folder_path(void*, int32_t folder, char16_t* dst, int cap) {
  int at = wide_cpy(dst, cap, modelDir);
  if (folder != ROOT) {
    char16_t rel[LINK_PATH_CAP];
    if (!node_path(folder, rel, LINK_PATH_CAP) || at + wide_len(rel) + 2 > cap) return false;
    wide_cat(dst, cap, rel);
    wide_cat(dst, cap, u"\\");
  }
  // Room is left for the pattern's "*" and one unit more.
  return wide_len(dst) + 2 < cap;
}

void walk() {
  walked = true;
  int cut = dir_walk(folder_path, keep_entry, nullptr, LINK_WALK_MAX_DEPTH);
  walkBounds = ((cut & DIRWALK_CUT_DEPTH) ? LINK_CUT_LEVELS : 0) | ((cut & DIRWALK_CUT_ROOM) ? LINK_CUT_ENTRIES : 0);
  // A folder's entries come after it, so one pass in listing order carries
  // the mark of another model's folder down to everything below it.
  for (int i = 0; i < nodeCount; i++) {
    Node& nd = nodes[i];
    if ((nd.flags & NODE_MODEL) || (nd.parent != ROOT && (nodes[nd.parent].flags & NODE_OTHER_MODEL)))
      nd.flags |= NODE_OTHER_MODEL;
  }
}

// ---- the stored path, taken apart, with the forms each name may have on disk ------

struct Comp {
  const char16_t* text;  // into the stored path
  int len;
  char16_t variant[VARIANT_MAX][NAME_CAP];  // folded; 0 the name itself, then manglings
  int variantLen[VARIANT_MAX];
  int variants;
};

Comp comps[COMP_MAX];
int compCount;
int folderFirst;    // first component that names a folder below some place
bool outsideTree;   // '..', a drive or a root: the stored place lies outside the listing
bool rootedPath;    // starts at a root: no stored place to look at
char16_t stored[LINK_PATH_CAP];


void fold_into(char16_t* dst, const char16_t* src, int n) {
  for (int i = 0; i < n; i++) dst[i] = src[i] == ANY_UNIT ? src[i] : fold(src[i]);
}

void build_variants(Comp& c) {
  c.variants = 0;
  if (c.len >= NAME_CAP) return;
  fold_into(c.variant[0], c.text, c.len);
  c.variantLen[0] = c.len;
  c.variants = 1;
  for (int k = 0; k < MANGLE_KINDS; k++) {
    char16_t m[NAME_CAP];
    if (!link_mangle(k, c.text, c.len, m, NAME_CAP)) continue;
    int n = wide_len(m);
    char16_t* v = c.variant[c.variants];
    fold_into(v, m, n);
    bool same = false;
    for (int j = 0; j < c.variants && !same; j++) {
      same = c.variantLen[j] == n;
      for (int u = 0; same && u < n; u++) same = c.variant[j][u] == v[u];
    }
    if (same) continue;
    c.variantLen[c.variants++] = n;
  }
}

bool split_stored(const char16_t* path) {
  wide_cpy(stored, LINK_PATH_CAP, path);
  compCount = 0;
  rootedPath = path_is_sep(stored[0]);
  outsideTree = rootedPath;
  folderFirst = 0;
  for (int i = 0, start, len; path_next_name(stored, &i, &start, &len);) {
    if (compCount >= COMP_MAX) return false;
    Comp& c = comps[compCount++];
    c.text = stored + start;
    c.len = len;
    if ((len == 2 && stored[start] == '.' && stored[start + 1] == '.') ||
        (compCount == 1 && len >= 2 && stored[start + 1] == ':')) {
      outsideTree = true;
      folderFirst = compCount;
      c.variants = 0;
      continue;
    }
    build_variants(c);
  }
  return compCount > folderFirst && comps[compCount - 1].variants > 0;
}

bool has_drive() { return compCount > 0 && comps[0].len >= 2 && comps[0].text[1] == ':'; }

bool equal_to(const char16_t* v, int vn, const char16_t* s, int n) {
  if (vn != n) return false;
  for (int i = 0; i < n; i++)
    if (v[i] != ANY_UNIT && v[i] != fold(s[i])) return false;
  return true;
}

bool any_variant(const Comp& c, int count, const char16_t* s, int n) {
  for (int k = 0; k < count && k < c.variants; k++)
    if (equal_to(c.variant[k], c.variantLen[k], s, n)) return true;
  return false;
}

int last_dot(const char16_t* s, int n) {
  for (int i = n - 1; i >= 0; i--)
    if (s[i] == '.') return i;
  return n;
}

const char16_t* const kImageExts[] = {u".png", u".bmp", u".tga", u".jpg", u".jpeg", u".dds",
                                      u".gif", u".tif", u".tiff", u".spa", u".sph"};

// Same stem as the stored name, another image extension.
bool converted_match(const Comp& c, const char16_t* s, int n) {
  int stem = last_dot(c.variant[0], c.variantLen[0]);
  int dot = last_dot(s, n);
  if (dot != stem || dot == n || !equal_to(c.variant[0], stem, s, stem)) return false;
  int storedExt = c.variantLen[0] - stem;
  if (equal_to(c.variant[0] + stem, storedExt, s + dot, n - dot)) return false;
  for (const char16_t* e : kImageExts) {
    int en = wide_len(e);
    if (equal_to(e, en, s + dot, n - dot)) return true;
  }
  return false;
}

// Does a name on disk stand for stored component i under this rule?
bool comp_match(int rule, int i, const char16_t* s, int n) {
  const Comp& c = comps[i];
  if (rule == LINK_RULE_MANGLED) return any_variant(c, VARIANT_MAX, s, n);
  if (rule == LINK_RULE_CONVERTED && i == compCount - 1) return converted_match(c, s, n);
  return any_variant(c, 1, s, n);
}

// ---- choosing among candidates ----------------------------------------------------

// Do the candidate's folders end with the stored folders (as named, or mangled)?
bool folders_end_alike(int node) {
  int k = nodes[node].parent;
  for (int i = compCount - 2; i >= folderFirst; i--, k = nodes[k].parent) {
    if (k == ROOT || !any_variant(comps[i], VARIANT_MAX, node_name(k), nodes[k].nameLen)) return false;
  }
  return true;
}

bool better(int a, bool aAlike, int b, bool bAlike) {
  if (aAlike != bAlike) return aAlike;
  if (nodes[a].depth != nodes[b].depth) return nodes[a].depth < nodes[b].depth;
  char16_t pa[LINK_PATH_CAP], pb[LINK_PATH_CAP];
  node_path(a, pa, LINK_PATH_CAP);
  node_path(b, pb, LINK_PATH_CAP);
  return path_order(pa, pb, '\\') < 0;
}

bool in_other_model(int node) { return (nodes[node].flags & NODE_OTHER_MODEL) != 0; }

// The files that qualify under one rule at one place: the best that may be
// taken, and the best of those that may not.
struct Candidates {
  int best = -1;
  bool bestAlike = false;
  int held = -1;  // in another model's folder, where this rule may not go
  bool heldAlike = false;
};

// Files a rule may take, counted once each over its places: a node counts
// when its mark is not the rule's yet.
uint32_t countedMark[LINK_WALK_MAX_ENTRIES];
uint32_t countMark;
int counted;

void begin_count() {
  counted = 0;
  if (++countMark == 0) {
    for (uint32_t& m : countedMark) m = 0;
    countMark = 1;
  }
}

void consider(Candidates& c, int node, bool alike, bool mayTake) {
  if (!mayTake) {
    if (c.held < 0 || better(node, alike, c.held, c.heldAlike)) c.held = node, c.heldAlike = alike;
    return;
  }
  if (countedMark[node] != countMark) {
    countedMark[node] = countMark;
    ++counted;
  }
  if (c.best < 0 || better(node, alike, c.best, c.bestAlike)) c.best = node, c.bestAlike = alike;
}

bool exact_hash(int rule, int comp) {
  return rule != LINK_RULE_MANGLED && !(rule == LINK_RULE_CONVERTED && comp == compCount - 1);
}

// The stored place inside the listing: every path whose names each stand for
// the stored ones under the rule, from the children of one folder down.
void stored_place_in_tree(int rule, int comp, int first, int count, Candidates& c) {
  bool last = comp == compCount - 1;
  uint32_t h = exact_hash(rule, comp) ? name_hash(comps[comp].text, comps[comp].len) : 0;
  for (int i = first; i < first + count; i++) {
    const Node& nd = nodes[i];
    if (((nd.flags & NODE_DIR) != 0) == last) continue;
    if (h && nd.hash != h) continue;
    if (!comp_match(rule, comp, node_name(i), nd.nameLen)) continue;
    if (last)
      // The stored path may lead into another model's folder by its own names.
      consider(c, i, true, !in_other_model(i) || rule != LINK_RULE_CONVERTED);
    else
      stored_place_in_tree(rule, comp + 1, nd.firstChild, nd.childCount, c);
  }
}

// Every file of the listing whose name stands for the stored one under the
// rule, ranked by how its folders end, then depth, then byte order. A file
// under the stored name itself is the moved rule's, not the mangled one's.
Candidates elsewhere(int rule) {
  Candidates c;
  const int last = compCount - 1;
  const Comp& name = comps[last];
  uint32_t h = exact_hash(rule, last) ? name_hash(name.text, name.len) : 0;
  for (int i = 0; i < nodeCount; i++) {
    const Node& nd = nodes[i];
    if (nd.flags & NODE_DIR) continue;
    if (h && nd.hash != h) continue;
    if (!comp_match(rule, last, node_name(i), nd.nameLen)) continue;
    if (rule == LINK_RULE_MANGLED && equal_to(name.variant[0], name.variantLen[0], node_name(i), nd.nameLen)) continue;
    consider(c, i, folders_end_alike(i), !in_other_model(i));
  }
  return c;
}

// One folder's best name for a stored component: the first in code point order.
struct PieceSearch {
  int rule, comp;
  bool last;
  char16_t* piece;  // NAME_CAP units
};

int32_t consider_piece(void* ctx, const DirEntry& e) {
  PieceSearch& s = *(PieceSearch*)ctx;
  if (e.dir == s.last || !comp_match(s.rule, s.comp, e.name, e.len)) return DIRWALK_SKIP;
  if (!s.piece[0] || path_order(e.name, s.piece, '\\') < 0) wide_cpy(s.piece, NAME_CAP, e.name);
  return DIRWALK_KEEP;
}

// The stored place outside the listing ('..', a drive), asked of the system
// folder by folder. dst receives the path as found.
bool resolve_by_seam(int rule, char16_t* dst, int cap) {
  if (rootedPath) return false;
  wide_cpy(dst, cap, has_drive() ? u"" : modelDir);
  for (int i = 0; i < compCount; i++) {
    const Comp& c = comps[i];
    bool last = i == compCount - 1;
    char16_t piece[NAME_CAP];
    if (c.variants == 0) {  // '..' or the drive: taken as written
      int n = c.len < NAME_CAP - 1 ? c.len : NAME_CAP - 1;
      for (int u = 0; u < n; u++) piece[u] = c.text[u];
      piece[n] = 0;
    } else {
      if (wide_len(dst) + 2 >= LINK_PATH_CAP) return false;
      piece[0] = 0;
      PieceSearch search = {rule, i, last, piece};
      dir_list(dst, consider_piece, &search);
      if (!piece[0]) return false;
    }
    int before = wide_len(dst);
    if (wide_cat(dst, cap, piece) != wide_len(piece) || (!last && wide_cat(dst, cap, u"\\") != 1)) {
      dst[before] = 0;
      return false;
    }
  }
  return true;
}

bool found_in_tree(int rule, int node, LinkFound* found) {
  found->rule = (LinkRule)rule;
  return node_path(node, found->pathW, LINK_PATH_CAP);
}

// The stored place, each name matched under the rule.
bool at_stored_place(int rule, LinkFound* found, Candidates& c) {
  if (!outsideTree) {
    stored_place_in_tree(rule, 0, 0, rootCount, c);
    return c.best >= 0 && found_in_tree(rule, c.best, found);
  }
  char16_t full[LINK_PATH_CAP];
  if (!resolve_by_seam(rule, full, LINK_PATH_CAP)) return false;
  found->rule = (LinkRule)rule;
  ++counted;
  if (has_drive()) return relpathW(found->pathW, LINK_PATH_CAP, full, modelDir) == 0;
  wide_cpy(found->pathW, LINK_PATH_CAP, full + wide_len(modelDir));
  return true;
}

// The outermost folder below the model folder that makes the node another model's.
int other_model_folder(int node) {
  int top = -1;
  for (int k = nodes[node].parent; k != ROOT; k = nodes[k].parent)
    if (nodes[k].flags & NODE_MODEL) top = k;
  return top;
}

void reject(int node, LinkFound* found) {
  if (found->rejected != LINK_REJECT_NONE || node < 0) return;
  int top = other_model_folder(node);
  if (top < 0 || !node_path(node, found->rejectedW, LINK_PATH_CAP) ||
      !node_path(top, found->otherModelW, LINK_PATH_CAP - 1))
    return;
  wide_cat(found->otherModelW, LINK_PATH_CAP, u"\\");
  found->rejected = LINK_REJECT_OTHER_MODEL;
}

// A file found under its own name teaches the move of its folder.
void learn_move(const char16_t* storedPathW, LinkFound* found) {
  dirpartW(found->oldFolderW, LINK_PATH_CAP, storedPathW);
  dirpartW(found->newFolderW, LINK_PATH_CAP, found->pathW);
  const char16_t* name = found->pathW + wide_len(found->newFolderW);
  const Comp& c = comps[compCount - 1];
  const bool ownName = equal_to(c.variant[0], c.variantLen[0], name, wide_len(name));
  found->teachesMove =
      found->rule != LINK_RULE_CONVERTED && ownName && wide_eq(found->oldFolderW, found->newFolderW) != 0;
}

void clear_found(LinkFound* found) {
  found->rule = LINK_RULE_NONE;
  found->pathW[0] = 0;
  found->teachesMove = false;
  found->oldFolderW[0] = 0;
  found->newFolderW[0] = 0;
  found->candidates = 0;
  found->rejected = LINK_REJECT_NONE;
  found->rejectedW[0] = 0;
  found->otherModelW[0] = 0;
}

}  // namespace

// ---- the search ----------------------------------------------------------------------

void linksearch_begin(const char16_t* modelDirW) {
  int n = wide_cpy(modelDir, LINK_PATH_CAP - 1, modelDirW);
  if (n > 0 && !path_is_sep(modelDir[n - 1])) wide_cat(modelDir, LINK_PATH_CAP, u"\\");
  nodeCount = 0;
  namesUsed = 0;
  rootCount = 0;
  walked = false;
  walkBounds = 0;
}

LinkRule linksearch_find(const char16_t* storedPathW, LinkFound* found) {
  clear_found(found);
  if (!split_stored(storedPathW)) return LINK_RULE_NONE;
  if (!walked) walk();
  // A file at the stored place under any rule beats every file elsewhere.
  static const int atPlace[] = {LINK_RULE_CASE, LINK_RULE_CONVERTED, LINK_RULE_MANGLED};
  for (int rule : atPlace) {
    Candidates c;
    begin_count();
    if (!at_stored_place(rule, found, c)) {
      reject(c.held, found);
      continue;
    }
    // Counted are all the files the rule would take, wherever they lie.
    if (rule != LINK_RULE_CASE) elsewhere(rule);
    found->candidates = counted;
    learn_move(storedPathW, found);
    found->rejected = LINK_REJECT_NONE;
    return found->rule;
  }
  static const int apart[] = {LINK_RULE_MOVED, LINK_RULE_CONVERTED, LINK_RULE_MANGLED};
  for (int rule : apart) {
    begin_count();
    Candidates c = elsewhere(rule);
    if (c.best < 0 || !found_in_tree(rule, c.best, found)) {
      reject(c.held, found);
      continue;
    }
    found->candidates = counted;
    learn_move(storedPathW, found);
    found->rejected = LINK_REJECT_NONE;
    return found->rule;
  }
  found->rule = LINK_RULE_NONE;
  found->pathW[0] = 0;
  return LINK_RULE_NONE;
}

bool linksearch_is_shared_toon(const char16_t* p) {
  static const char16_t kToon[] = u"toon00.bmp";
  for (int i = 0; i < 10; i++)
    if (!p[i] || (i != 4 && i != 5 && fold(p[i]) != kToon[i])) return false;
  if (p[10]) return false;
  int n = (p[4] - '0') * 10 + (p[5] - '0');
  return p[4] >= '0' && p[4] <= '9' && p[5] >= '0' && p[5] <= '9' && n >= 1 && n <= 10;
}

int linksearch_listed() { return nodeCount; }
bool linksearch_walk_cut() { return walkBounds != 0; }
int linksearch_walk_bounds() { return walkBounds; }

// ---- the stored place under mangled names, for restoring them -----------------------

namespace {

enum { PLACE_STEP_BUDGET = 1 << 16 };  // entries compared per stored path

int placeChain[LINK_WALK_MAX_DEPTH + 2];  // the nodes of the place, model folder down
int placeDepth;
int placeSteps;

// Names Windows refuses (':' would even open a stream of another file): a
// file is never moved to one.
bool writable_name(const Comp& c) {
  for (int i = 0; i < c.len; i++) {
    char16_t u = c.text[i];
    if (u < 0x20 || u == ':' || u == '*' || u == '?' || u == '"' || u == '<' || u == '>' || u == '|') return false;
  }
  return true;
}

bool place_comp(int comp, int first, int count, bool mangled, int depth);

// One piece of a variant of a stored name (the text from `at` to its next
// backslash) among one folder's entries, then the rest of the path below it.
// Code unit order of two names on disk.
int name_order(int a, int b) {
  const Node &x = nodes[a], &y = nodes[b];
  const char16_t *p = node_name(a), *q = node_name(b);
  for (int i = 0; i < x.nameLen && i < y.nameLen; i++)
    if (p[i] != q[i]) return p[i] < q[i] ? -1 : 1;
  return x.nameLen - y.nameLen;
}

bool place_piece(int comp, int v, int at, int first, int count, bool mangled, int depth) {
  const Comp& c = comps[comp];
  const char16_t* var = c.variant[v];
  const int n = c.variantLen[v];
  int end = at;
  while (end < n && var[end] != '\\') end++;
  if (end == at || depth >= (int)(sizeof placeChain / sizeof placeChain[0])) return false;
  const bool lastPiece = end == n;
  const bool wantDir = !(lastPiece && comp == compCount - 1);
  // Entries that match, tried in the order of their names, as the search takes them.
  for (int tried = -1;;) {
    int next = -1;
    for (int i = first; i < first + count; i++) {
      if (++placeSteps > PLACE_STEP_BUDGET) return false;
      const Node& nd = nodes[i];
      if ((nd.flags & NODE_LINK) || ((nd.flags & NODE_DIR) != 0) != wantDir) continue;
      if (!equal_to(var + at, end - at, node_name(i), nd.nameLen)) continue;
      if ((tried < 0 || name_order(i, tried) > 0) && (next < 0 || name_order(i, next) < 0)) next = i;
    }
    if (next < 0) return false;
    const Node& nd = nodes[next];
    placeChain[depth] = next;
    if (lastPiece ? place_comp(comp + 1, nd.firstChild, nd.childCount, mangled, depth + 1)
                  : place_piece(comp, v, end + 1, nd.firstChild, nd.childCount, mangled, depth + 1))
      return true;
    tried = next;
  }
}

// Stored component comp and those after it, below the folder whose entries
// are given; names as stored are tried before mangled ones.
bool place_comp(int comp, int first, int count, bool mangled, int depth) {
  if (comp == compCount) {
    placeDepth = depth;
    return mangled;
  }
  for (int v = 0; v < comps[comp].variants; v++)
    if (place_piece(comp, v, 0, first, count, mangled || v > 0, depth)) return true;
  return false;
}

}  // namespace

bool linksearch_mangled_place(const char16_t* storedPathW, LinkPlace* place) {
  place->diskW[0] = 0;
  place->storedW[0] = 0;
  if (!split_stored(storedPathW) || outsideTree) return false;
  int at = 0;
  for (int i = 0; i < compCount; i++) {
    const Comp& c = comps[i];
    if (c.variants == 0 || !writable_name(c) || at + c.len + 2 > LINK_PATH_CAP) return false;
    if (i > 0) place->storedW[at++] = '\\';
    for (int u = 0; u < c.len; u++) place->storedW[at++] = c.text[u];
  }
  place->storedW[at] = 0;
  if (!walked) walk();
  placeSteps = 0;
  if (!place_comp(0, 0, rootCount, false, 0) || placeDepth < 1) return false;
  return node_path(placeChain[placeDepth - 1], place->diskW, LINK_PATH_CAP);
}

void linksearch_forget_listing() {
  char16_t dir[LINK_PATH_CAP];
  wide_cpy(dir, LINK_PATH_CAP, modelDir);
  linksearch_begin(dir);
}

char16_t linksearch_fold(char16_t c) { return fold(c); }

bool linksearch_is_image_name(const char16_t* name) {
  int n = wide_len(name);
  int dot = last_dot(name, n);
  if (dot == n) return false;
  for (const char16_t* e : kImageExts)
    if (equal_to(e, wide_len(e), name + dot, n - dot)) return true;
  return false;
}
