// An alias.ini of arbitrary bytes through the per-model sequence (read, list,
// count), then the four rule kinds applied to a set of names: every rule that
// is stored fits its slots, and every rewrite stays inside its buffer.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "platform/settings.h"
#include "text/alias_file.h"
#include "text/rename_rules.h"
#include "text/sjis.h"

namespace {

using fz::Guarded;

bool lead(unsigned char b) { return (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// True when n bytes of s end on a character boundary, walking as the rules do.
bool on_boundary(const char* s, size_t size, size_t n) {
  size_t i = 0;
  while (i < n) i += (lead((unsigned char)s[i]) && i + 1 < size) ? 2 : 1;
  return i == n;
}

bool values_whole(int kind) {
  for (int r = 1; r <= namelist_count(kind) && r < RULE_VALUE_SLOTS; r++) {
    const char* v = namelist_value(kind, r);
    size_t n = strlen(v), i = 0;
    while (i < n) i += lead((unsigned char)v[i]) ? 2 : 1;
    if (i != n) return false;
  }
  return true;
}

// The two destinations of every rewrite, made once per input and refilled
// before each use, so that a rewrite costs no allocation of its own.
struct Results {
  explicit Results(int smallCap) : big(NAME_RESULT_CAP), cut(smallCap) {}
  Guarded<char> big;
  Guarded<char> cut;
};

void check_rewrite(Results& res, int kind, bool wholeValues, const std::string& name, int smallCap) {
  res.big.refill();
  apply_rules(kind, res.big.get(), NAME_RESULT_CAP, name.c_str());
  FZ_CHECK(res.big.guards_intact(), "apply_rules wrote outside its result");
  const int end = res.big.terminator();
  FZ_CHECK(end >= 0, "apply_rules left no terminator");
  const char* whole = res.big.get();
  if (namelist_count(kind) == 0) {
    // With no rules only '?' changes.
    std::string expect;
    for (size_t i = 0; i < name.size();) {
      size_t w = (lead((unsigned char)name[i]) && i + 1 < name.size()) ? 2 : 1;
      if (name[i] == '?') expect += '_';
      else expect.append(name, i, w);
      i += w;
    }
    if (expect.size() <= NAME_RESULT_CAP - 1) FZ_CHECK(expect == whole, "a rewrite without rules changed more than '?'");
    else FZ_CHECK(expect.compare(0, (size_t)end, whole) == 0, "a long rewrite without rules is not a prefix");
  }
  // A cap the whole result fits in gives the whole result again.
  if (smallCap > end) return;
  res.cut.refill();
  apply_rules(kind, res.cut.get(), smallCap, name.c_str());
  FZ_CHECK(res.cut.guards_intact(), "apply_rules wrote outside a cap of %d", smallCap);
  if (smallCap > 0) {
    const int part = res.cut.terminator();
    FZ_CHECK(part >= 0, "apply_rules result too long");
    FZ_CHECK(part <= end && memcmp(res.cut.get(), whole, (size_t)part) == 0,
             "a cut rewrite is not a prefix of the whole");
    // A value may end in a lone lead byte (a quote or blank right after it ends
    // the token); the next character then reads as its trail byte, and the
    // boundaries of the whole result cannot be told by walking it.
    if (wholeValues) FZ_CHECK(on_boundary(whole, (size_t)end, (size_t)part), "a cut rewrite ends inside a character");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  fz::Quiet quiet;
  const unsigned flags = data[0];
  const bool wide = flags & 1;
  Lang.japanese = Lang.sjisConsole = (flags & 2) != 0;
  // Now and then the file is repeated, so that the rule limits come in reach:
  // 17000 bytes hold 8191 rules of one-byte keys. Every byte is read three
  // times, so the repeated file is kept no larger.
  const int repeat = ((flags >> 2) & 7) == 7 ? 24 : 1;
  const size_t repeatedMax = 17000;
  const int smallCap = 1 + (int)(flags >> 5) * 9;
  data++;
  size--;

  const std::string& dir = fz::scratch_dir();
  std::string body;
  for (int r = 0; r < repeat && body.size() < repeatedMax; r++)
    body.append((const char*)data, std::min(size, repeatedMax - body.size()));
  FZ_CHECK(fz::write_bytes(dir + "/alias.ini", (const uint8_t*)body.data(), body.size()), "cannot write the alias file");

  std::string folder = dir + "/";
  std::u16string folderW(folder.begin(), folder.end());
  load_alias_rules(wide ? nullptr : folder.c_str(), folderW.c_str());

  for (int kind = 0; kind < RULE_KINDS; kind++) {
    const int n = namelist_count(kind);
    FZ_CHECK(n >= 0 && n <= RULE_VALUE_SLOTS - 1, "kind %d holds %d rules", kind, n);
    char key[RULE_KEY_CAP + 8];
    for (int r = 1; r <= n; r++) {
      FZ_CHECK(namelist_get(kind, key, RULE_KEY_CAP, r) == 0, "rule %d not listed", r);
      FZ_CHECK(key[0] != 0 && strlen(key) <= RULE_KEY_CAP - 1, "rule %d key of %zu bytes", r, strlen(key));
      FZ_CHECK(strlen(namelist_value(kind, r)) <= 15, "rule %d value of %zu bytes", r, strlen(namelist_value(kind, r)));
      unsigned char mode = namelist_mode(kind, r);
      FZ_CHECK(mode == MODE_NORMAL || mode == MODE_TAIL || mode == MODE_WHOLE, "rule %d mode %d", r, mode);
    }
    FZ_CHECK(namelist_get(kind, key, RULE_KEY_CAP, n + 1) == -1, "a rule past the count is listed");
  }

  // Names: the file's own lines, the last first (so rule keys meet names
  // they match), then standard ones, wildcards and a lone lead byte, then two
  // long ones that reach the result's capacity.
  static const std::vector<std::string> fixed = {
      "Blink", "center", "", "\x81", "x\x81", "?", "a?b", "arm_L",
      "\x83\x5A\x83\x93\x83\x5E\x81\x5B",  // センター
      "\x8D\xB6\x98\x72\x9D\xE6",          // 左腕捩
      "\x8D\xB6\x98\x72",                  // 左腕
      std::string(300, 'a'), std::string(150, '\x82') + std::string(150, '\xA0'),
  };
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < size && lines.size() < 51; i++) {
    char c = (char)data[i];
    if (c == '\n' || c == '\r' || c == 0) {
      if (!line.empty()) lines.push_back(line);
      line.clear();
    } else if (line.size() < 300) {
      line.push_back(c);
    }
  }
  if (!line.empty() && lines.size() < 51) lines.push_back(line);
  std::vector<const std::string*> names;
  for (size_t i = lines.size(); i-- > 0;) names.push_back(&lines[i]);
  for (const std::string& n : fixed) names.push_back(&n);

  // A rewrite depends only on the name and the rules of its kind: of the kinds
  // without rules one stands for all. A rewrite tries every rule at every
  // byte, so the names of a kind are taken while their bytes times its rules
  // stay within a budget; the first name always.
  std::vector<int> kinds;
  bool emptyDone = false;
  for (int kind = 0; kind < RULE_KINDS; kind++) {
    if (namelist_count(kind) == 0) {
      if (emptyDone) continue;
      emptyDone = true;
    }
    kinds.push_back(kind);
  }
  const size_t budget = 4000 / kinds.size();
  Results res(smallCap);
  for (int kind : kinds) {
    const bool wholeValues = values_whole(kind);
    const size_t rules = (size_t)namelist_count(kind) + 1;
    size_t spent = 0;
    for (const std::string* name : names) {
      const size_t cost = (name->size() + 1) * rules;
      if (spent > 0 && spent + cost > budget) continue;
      spent += cost;
      check_rewrite(res, kind, wholeValues, *name, smallCap);
    }
  }
  return 0;
}
