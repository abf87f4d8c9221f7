#include "text/rename_rules.h"

#include "encoding/codec.h"
#include "platform/paths.h"

// Keys are numbered from 1 and kept at index number-1, so all 16384 slots
// hold a key. Values and modes are indexed by the number itself; slot 0 stays
// unused, which leaves 8191 rules per kind that can carry a value.
static char ruleKeys[RULE_KINDS][RULE_KEY_SLOTS][RULE_KEY_CAP];
static char ruleValues[RULE_KINDS][RULE_VALUE_SLOTS][RULE_VALUE_CAP];
static unsigned char ruleModes[RULE_KINDS][RULE_VALUE_SLOTS];
static int ruleCount[RULE_KINDS];

static bool kind_ok(int kind) { return kind >= 0 && kind < RULE_KINDS; }

// Which rules a place in a name can meet, by the bytes there. A name of ten
// characters against two thousand rules would otherwise try every rule at every
// place, though most keys start with bytes the place does not hold. Within a
// list the rules run last first, as the rewrite tries them.
namespace {
enum { PAIR_BUCKETS = 4096 };
struct RuleIndex {
  bool stale;
  short pairStart[PAIR_BUCKETS + 1];  // keys by their first two bytes (hashed)
  short byPair[RULE_VALUE_SLOTS];
  short byteStart[257];  // keys of one byte, or with a wildcard second
  short byByte[RULE_VALUE_SLOTS];
  short anyByte[RULE_VALUE_SLOTS];  // keys that may match whatever the byte: * ? ？
  int anyCount;
};
RuleIndex ruleIndex[RULE_KINDS];

void mark_stale(int kind) { ruleIndex[kind].stale = true; }
}  // namespace

void namelist_reset() {
  for (int k = 0; k < RULE_KINDS; k++) {
    ruleCount[k] = 0;
    mark_stale(k);
  }
}

int namelist_add(int kind, const char* key) {
  if (!kind_ok(kind) || key == nullptr) return 0;
  if (ruleCount[kind] >= RULE_KEY_SLOTS) return 0;
  int number = ++ruleCount[kind];
  mark_stale(kind);
  sjis_copy(ruleKeys[kind][number - 1], RULE_KEY_CAP, key);
  // A reused number must not inherit the value of an earlier model's rule.
  if (number < RULE_VALUE_SLOTS) {
    ruleValues[kind][number][0] = '\0';
    ruleModes[kind][number] = MODE_NORMAL;
  }
  return number;
}

int namelist_get(int kind, char* buf, int cap, int number) {
  if (!kind_ok(kind) || number < 1 || number > ruleCount[kind]) return -1;
  if (buf != nullptr && cap > 0) sjis_copy(buf, cap, ruleKeys[kind][number - 1]);
  return 0;
}

int namelist_count(int kind) { return kind_ok(kind) ? ruleCount[kind] : 0; }

int namelist_set(int kind, int number, const char* value, unsigned char mode) {
  if (!kind_ok(kind) || number < 1 || number >= RULE_VALUE_SLOTS) return -1;
  sjis_copy(ruleValues[kind][number], RULE_VALUE_CAP, value != nullptr ? value : "");
  ruleModes[kind][number] = mode;
  mark_stale(kind);
  return 0;
}

const char* namelist_value(int kind, int number) {
  if (!kind_ok(kind) || number < 1 || number >= RULE_VALUE_SLOTS) return "";
  return ruleValues[kind][number];
}

unsigned char namelist_mode(int kind, int number) {
  if (!kind_ok(kind) || number < 1 || number >= RULE_VALUE_SLOTS) return MODE_NORMAL;
  return ruleModes[kind][number];
}

int match_rest(const char* rest, const char* key) {
  for (int i = 0;; i++) {
    if (key[i] == '*') return rest[i] != '\0';
    if (key[i] != rest[i]) return 0;
    if (key[i] == '\0') return 1;
  }
}

int match_head(const char* rest, const char* key) {
  const unsigned char* r = reinterpret_cast<const unsigned char*>(rest);
  const unsigned char* k = reinterpret_cast<const unsigned char*>(key);
  while (*k != 0) {
    if (*k == '?') {
      if (*r == 0) return 0;
      k++;
      r++;
    } else if (k[0] == 0x81 && k[1] == 0x48) {
      if (!sjisleadbyte(r[0]) || r[1] == 0) return 0;
      k += 2;
      r += 2;
    } else {
      if (*k != *r) return 0;
      k++;
      r++;
    }
  }
  return 1;
}

namespace {

// The result under construction. Once a character does not fit, the result is
// finished: later characters are not squeezed in after a gap.
struct Out {
  char* buf;
  int cap;
  int len;
  bool full;
};

// Appends one character of n bytes (1 or 2), whole or not at all.
void out_char(Out& o, const char* c, int n) {
  if (o.full) return;
  if (o.len + n > o.cap - 1) {
    o.full = true;
    return;
  }
  for (int i = 0; i < n; i++) o.buf[o.len++] = c[i];
}

// Length of the character at s: 2 for a lead byte with its trail, else 1
// (a lead byte cut off by the terminator stands alone).
int char_len(const char* s) {
  return (sjisleadbyte(static_cast<unsigned char>(s[0])) && s[1] != '\0') ? 2 : 1;
}

void out_text(Out& o, const char* s) {
  while (*s != '\0' && !o.full) {
    int n = char_len(s);
    out_char(o, s, n);
    s += n;
  }
}

int str_len(const char* s) {
  int n = 0;
  while (s[n] != '\0') n++;
  return n;
}

bool str_eq(const char* a, const char* b) {
  for (int i = 0;; i++) {
    if (a[i] != b[i]) return false;
    if (a[i] == '\0') return true;
  }
}

// Rules past the value table carry no value or mode and are never tried.
int usable_rules(int kind) {
  int n = ruleCount[kind];
  return n > RULE_VALUE_SLOTS - 1 ? RULE_VALUE_SLOTS - 1 : n;
}

// A wildcard at a key's byte i: '*' (match_rest), '?' and full-width '？'
// (match_head). Every mode is read so: a list that offers a rule too often
// still finds the same match, since each rule offered is checked in full.
bool wildcard_at(const unsigned char* key, int i) {
  return key[i] == '*' || key[i] == '?' || (key[i] == 0x81 && key[i + 1] == 0x48);
}

// An empty key or an unknown mode never matches, so neither is listed.
bool listed(const unsigned char* key, unsigned char mode) {
  return key[0] != 0 && (mode == MODE_NORMAL || mode == MODE_TAIL || mode == MODE_WHOLE);
}

unsigned pair_bucket(unsigned char a, unsigned char b) { return ((unsigned)a << 4 ^ b) & (PAIR_BUCKETS - 1); }

enum KeyList { LIST_NONE, LIST_ANY, LIST_BYTE, LIST_PAIR };

KeyList list_of(int kind, int r) {
  const unsigned char* key = reinterpret_cast<const unsigned char*>(ruleKeys[kind][r - 1]);
  if (!listed(key, ruleModes[kind][r])) return LIST_NONE;
  if (wildcard_at(key, 0)) return LIST_ANY;
  if (key[1] == 0 || wildcard_at(key, 1)) return LIST_BYTE;
  return LIST_PAIR;
}

unsigned slot_of(int kind, int r, KeyList list) {
  const unsigned char* key = reinterpret_cast<const unsigned char*>(ruleKeys[kind][r - 1]);
  return list == LIST_PAIR ? pair_bucket(key[0], key[1]) : key[0];
}

// Counting sort of the rules into their lists, last rule first in each.
void build_index(int kind) {
  RuleIndex& ix = ruleIndex[kind];
  const int n = usable_rules(kind);
  static int pairCount[PAIR_BUCKETS + 1], byteCount[257];
  for (int& c : pairCount) c = 0;
  for (int& c : byteCount) c = 0;
  ix.anyCount = 0;
  for (int r = n; r >= 1; r--) {
    KeyList list = list_of(kind, r);
    if (list == LIST_ANY) ix.anyByte[ix.anyCount++] = (short)r;
    else if (list == LIST_BYTE) byteCount[slot_of(kind, r, list) + 1]++;
    else if (list == LIST_PAIR) pairCount[slot_of(kind, r, list) + 1]++;
  }
  ix.pairStart[0] = ix.byteStart[0] = 0;
  for (int i = 0; i < PAIR_BUCKETS; i++) ix.pairStart[i + 1] = (short)(ix.pairStart[i] + pairCount[i + 1]);
  for (int i = 0; i < 256; i++) ix.byteStart[i + 1] = (short)(ix.byteStart[i] + byteCount[i + 1]);
  for (int i = 0; i < PAIR_BUCKETS; i++) pairCount[i] = ix.pairStart[i];
  for (int i = 0; i < 256; i++) byteCount[i] = ix.byteStart[i];
  for (int r = n; r >= 1; r--) {
    KeyList list = list_of(kind, r);
    if (list == LIST_BYTE) ix.byByte[byteCount[slot_of(kind, r, list)]++] = (short)r;
    else if (list == LIST_PAIR) ix.byPair[pairCount[slot_of(kind, r, list)]++] = (short)r;
  }
  ix.stale = false;
}

// The rules a place can meet, merged from the three lists, last rule first.
struct Candidates {
  const short* at[3];
  const short* end[3];
  Candidates(const RuleIndex& ix, const unsigned char* p) {
    at[0] = ix.anyByte;
    end[0] = ix.anyByte + ix.anyCount;
    at[1] = ix.byByte + ix.byteStart[p[0]];
    end[1] = ix.byByte + ix.byteStart[p[0] + 1];
    // A place of one byte before the end holds no pair.
    unsigned pair = pair_bucket(p[0], p[1]);
    at[2] = ix.byPair + ix.pairStart[pair];
    end[2] = p[1] ? ix.byPair + ix.pairStart[pair + 1] : at[2];
  }
  // The next rule number, 0 when none is left.
  int next() {
    int best = -1;
    for (int i = 0; i < 3; i++)
      if (at[i] < end[i] && (best < 0 || *at[i] > *at[best])) best = i;
    return best < 0 ? 0 : *at[best]++;
  }
};

}  // namespace

int apply_rules(int kind, char* result, int cap, const char* name) {
  if (result == nullptr || cap <= 0) return 0;
  result[0] = '\0';
  if (name == nullptr || !kind_ok(kind)) return 0;
  Out o = {result, cap, 0, false};
  if (ruleIndex[kind].stale) build_index(kind);

  const char* p = name;
  bool done = false;
  while (*p != '\0' && !done && !o.full) {
    if (*p == '?') {
      out_char(o, "_", 1);
      p++;
      continue;
    }
    bool advanced = false;
    Candidates rules(ruleIndex[kind], reinterpret_cast<const unsigned char*>(p));
    for (int r = rules.next(); r != 0; r = rules.next()) {
      const char* key = ruleKeys[kind][r - 1];
      unsigned char mode = ruleModes[kind][r];
      const char* value = ruleValues[kind][r];
      if (mode == MODE_WHOLE) {
        if (p == name && str_eq(name, key)) {
          o.len = 0;
          out_text(o, value);
          done = true;
          break;
        }
      } else if (mode == MODE_TAIL) {
        if (str_eq(p, key)) {
          out_text(o, value);
          done = true;
          break;
        }
      } else if (mode == MODE_NORMAL) {
        if (match_rest(p, key)) {
          out_text(o, value);
          done = true;
          break;
        }
        if (match_head(p, key)) {
          out_text(o, value);
          p += str_len(key);
          advanced = true;
          break;
        }
      }
    }
    if (done || advanced) continue;
    int len = char_len(p);
    out_char(o, p, len);
    p += len;
  }
  result[o.len] = '\0';
  return 0;
}

int rename_bone(char* result, int cap, const char* name) {
  return apply_rules(RULE_BONE, result, cap, name);
}
int rename_morph(char* result, int cap, const char* name) {
  return apply_rules(RULE_MORPH, result, cap, name);
}
int rename_bone_en(char* result, int cap, const char* name) {
  return apply_rules(RULE_BONE_EN, result, cap, name);
}
int rename_morph_en(char* result, int cap, const char* name) {
  return apply_rules(RULE_MORPH_EN, result, cap, name);
}

namespace {

// The sides as the rules hold them: Shift-JIS, from the characters themselves.
struct SideText {
  char text[3];
  explicit SideText(char16_t c) {
    const uint32_t code = cp932_encode(c, CP932_WINDOWS);
    text[0] = (char)(code >> 8);
    text[1] = (char)(code & 0xFF);
    text[2] = '\0';
  }
};
const SideText kLeftSide(u'左'), kRightSide(u'右');
const char* const kLeft = kLeftSide.text;
const char* const kRight = kRightSide.text;

bool is_side(const char* c, const char* side) { return c[0] == side[0] && c[1] == side[1]; }

bool has_tail_rule(int kind, const char* key) {
  int n = ruleCount[kind];
  if (n > RULE_VALUE_SLOTS - 1) n = RULE_VALUE_SLOTS - 1;
  for (int r = 1; r <= n; r++)
    if (ruleModes[kind][r] == MODE_TAIL && str_eq(ruleKeys[kind][r - 1], key)) return true;
  return false;
}

// The side the character at i gives alone: kLeft, kRight, or nullptr for any
// other character and for either half of 左右 / 右左.
const char* lone_side(const char* name, int i, int prevStart) {
  if (char_len(name + i) != 2) return nullptr;
  const char* side = is_side(name + i, kLeft) ? kLeft : is_side(name + i, kRight) ? kRight : nullptr;
  if (side == nullptr) return nullptr;
  const char* other = side == kLeft ? kRight : kLeft;
  if (prevStart >= 0 && char_len(name + prevStart) == 2 && is_side(name + prevStart, other)) return nullptr;
  if (name[i + 2] != '\0' && char_len(name + i + 2) == 2 && is_side(name + i + 2, other)) return nullptr;
  return side;
}

}  // namespace

int fill_name(int kind, char* result, int cap, const char* name) {
  if (name == nullptr || !kind_ok(kind)) return apply_rules(kind, result, cap, name);
  const char* side = nullptr;
  for (int i = 0, prev = -1; name[i] != '\0'; prev = i, i += char_len(name + i)) {
    const char* s = lone_side(name, i, prev);
    if (s == nullptr) continue;
    if (side != nullptr && s != side) return apply_rules(kind, result, cap, name);  // both sides: no whole side
    side = s;
  }
  const int len = str_len(name);
  char moved[NAME_RESULT_CAP * 2];
  if (side == nullptr || len >= static_cast<int>(sizeof moved) || !has_tail_rule(kind, side))
    return apply_rules(kind, result, cap, name);

  int m = 0;
  for (int i = 0, prev = -1; name[i] != '\0'; prev = i, i += char_len(name + i)) {
    if (lone_side(name, i, prev) == side) continue;
    for (int k = 0; k < char_len(name + i); k++) moved[m++] = name[i + k];
  }
  moved[m++] = side[0];
  moved[m++] = side[1];
  moved[m] = '\0';
  return apply_rules(kind, result, cap, moved);
}
