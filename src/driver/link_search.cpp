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

enum { NODE_DIR = 1, NODE_LINK = 2 };

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
bool walked, walkCut;
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
  walkCut = dir_walk(folder_path, keep_entry, nullptr, LINK_WALK_MAX_DEPTH) != DIRWALK_WHOLE;
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

bool is_sep(char16_t c) { return c == '\\' || c == '/'; }

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
  rootedPath = is_sep(stored[0]);
  outsideTree = rootedPath;
  folderFirst = 0;
  for (int i = 0; stored[i];) {
    while (is_sep(stored[i])) i++;
    if (!stored[i]) break;
    int start = i;
    while (stored[i] && !is_sep(stored[i])) i++;
    int len = i - start;
    if (len == 1 && stored[start] == '.') continue;
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

// Among children of a folder (or the whole listing when all is set), the best
// file or folder whose name stands for the last component under the rule.
int pick(int rule, int comp, int first, int count, bool wantDir, bool rankByFolders) {
  int best = -1;
  bool bestAlike = false;
  bool exactHash = rule != LINK_RULE_MANGLED && !(rule == LINK_RULE_CONVERTED && comp == compCount - 1);
  uint32_t h = exactHash ? name_hash(comps[comp].text, comps[comp].len) : 0;
  for (int i = first; i < first + count; i++) {
    const Node& nd = nodes[i];
    if (((nd.flags & NODE_DIR) != 0) != wantDir) continue;
    if (exactHash && nd.hash != h) continue;
    if (!comp_match(rule, comp, node_name(i), nd.nameLen)) continue;
    bool alike = rankByFolders ? folders_end_alike(i) : true;
    if (best < 0 || better(i, alike, best, bestAlike)) {
      best = i;
      bestAlike = alike;
    }
  }
  return best;
}

// The stored place inside the listing, each name matched under the rule.
int resolve_in_tree(int rule) {
  int first = 0, count = rootCount, node = -1;
  for (int i = 0; i < compCount; i++) {
    bool last = i == compCount - 1;
    node = pick(rule, i, first, count, !last, false);
    if (node < 0) return -1;
    first = nodes[node].firstChild;
    count = nodes[node].childCount;
  }
  return node;
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
bool at_stored_place(int rule, LinkFound* found) {
  if (!outsideTree) {
    int node = resolve_in_tree(rule);
    return node >= 0 && found_in_tree(rule, node, found);
  }
  char16_t full[LINK_PATH_CAP];
  if (!resolve_by_seam(rule, full, LINK_PATH_CAP)) return false;
  found->rule = (LinkRule)rule;
  if (has_drive()) return relpathW(found->pathW, LINK_PATH_CAP, full, modelDir) == 0;
  wide_cpy(found->pathW, LINK_PATH_CAP, full + wide_len(modelDir));
  return true;
}

bool try_rule(int rule, LinkFound* found) {
  // Under the moved rule the stored place is the case rule's, already tried.
  if (rule != LINK_RULE_MOVED && at_stored_place(rule, found)) return true;
  if (rule == LINK_RULE_CASE) return false;
  int node = pick(rule, compCount - 1, 0, nodeCount, false, true);
  return node >= 0 && found_in_tree(rule, node, found);
}

}  // namespace

// ---- the search ----------------------------------------------------------------------

void linksearch_begin(const char16_t* modelDirW) {
  int n = wide_cpy(modelDir, LINK_PATH_CAP - 1, modelDirW);
  if (n > 0 && !is_sep(modelDir[n - 1])) wide_cat(modelDir, LINK_PATH_CAP, u"\\");
  nodeCount = 0;
  namesUsed = 0;
  rootCount = 0;
  walked = false;
  walkCut = false;
}

LinkRule linksearch_find(const char16_t* storedPathW, LinkFound* found) {
  found->rule = LINK_RULE_NONE;
  found->pathW[0] = 0;
  found->teachesMove = false;
  found->oldFolderW[0] = 0;
  found->newFolderW[0] = 0;
  if (!split_stored(storedPathW)) return LINK_RULE_NONE;
  if (!walked) walk();
  static const int order[] = {LINK_RULE_CASE, LINK_RULE_MOVED, LINK_RULE_CONVERTED, LINK_RULE_MANGLED};
  for (int rule : order) {
    if (!try_rule(rule, found)) continue;
    if (rule == LINK_RULE_CASE || rule == LINK_RULE_MOVED) {
      dirpartW(found->oldFolderW, LINK_PATH_CAP, storedPathW);
      dirpartW(found->newFolderW, LINK_PATH_CAP, found->pathW);
      found->teachesMove = wide_eq(found->oldFolderW, found->newFolderW) != 0;
    }
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
bool linksearch_walk_cut() { return walkCut; }

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
bool place_piece(int comp, int v, int at, int first, int count, bool mangled, int depth) {
  const Comp& c = comps[comp];
  const char16_t* var = c.variant[v];
  const int n = c.variantLen[v];
  int end = at;
  while (end < n && var[end] != '\\') end++;
  if (end == at || depth >= (int)(sizeof placeChain / sizeof placeChain[0])) return false;
  const bool lastPiece = end == n;
  const bool wantDir = !(lastPiece && comp == compCount - 1);
  for (int i = first; i < first + count; i++) {
    if (++placeSteps > PLACE_STEP_BUDGET) return false;
    const Node& nd = nodes[i];
    if ((nd.flags & NODE_LINK) || ((nd.flags & NODE_DIR) != 0) != wantDir) continue;
    if (!equal_to(var + at, end - at, node_name(i), nd.nameLen)) continue;
    placeChain[depth] = i;
    if (lastPiece ? place_comp(comp + 1, nd.firstChild, nd.childCount, mangled, depth + 1)
                  : place_piece(comp, v, end + 1, nd.firstChild, nd.childCount, mangled, depth + 1))
      return true;
  }
  return false;
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
