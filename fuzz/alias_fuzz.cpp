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
bool on_boundary(const std::string& s, size_t n) {
  size_t i = 0;
  while (i < n) i += (lead((unsigned char)s[i]) && i + 1 < s.size()) ? 2 : 1;
  return i == n;
}

bool values_whole(int kind) {
  for (int r = 1; r <= namelist_count(kind) && r < RULE_VALUE_SLOTS; r++) {
    std::string v = namelist_value(kind, r);
    if (!on_boundary(v + "x", v.size())) return false;
  }
  return true;
}

void check_rewrite(int kind, const std::string& name, int smallCap) {
  Guarded<char> big(NAME_RESULT_CAP);
  apply_rules(kind, big.get(), NAME_RESULT_CAP, name.c_str());
  FZ_CHECK(big.guards_intact(), "apply_rules wrote outside its result");
  FZ_CHECK(big.terminator() >= 0, "apply_rules left no terminator");
  std::string whole(big.get());
  if (namelist_count(kind) == 0) {
    // With no rules only '?' changes.
    std::string expect;
    for (size_t i = 0; i < name.size();) {
      size_t w = (lead((unsigned char)name[i]) && i + 1 < name.size()) ? 2 : 1;
      if (name[i] == '?') expect += '_';
      else expect.append(name, i, w);
      i += w;
    }
    if (expect.size() <= NAME_RESULT_CAP - 1) FZ_CHECK(whole == expect, "a rewrite without rules changed more than '?'");
    else FZ_CHECK(expect.compare(0, whole.size(), whole) == 0, "a long rewrite without rules is not a prefix");
  }
  Guarded<char> cut(smallCap);
  apply_rules(kind, cut.get(), smallCap, name.c_str());
  FZ_CHECK(cut.guards_intact(), "apply_rules wrote outside a cap of %d", smallCap);
  if (smallCap > 0) {
    std::string part(cut.get());
    FZ_CHECK(part.size() < (size_t)smallCap, "apply_rules result too long");
    FZ_CHECK(whole.compare(0, part.size(), part) == 0, "a cut rewrite is not a prefix of the whole");
    // A value may end in a lone lead byte (a quote or blank right after it ends
    // the token); the next character then reads as its trail byte, and the
    // boundaries of the whole result cannot be told by walking it.
    if (values_whole(kind)) FZ_CHECK(on_boundary(whole, part.size()), "a cut rewrite ends inside a character");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  fz::Quiet quiet;
  const unsigned flags = data[0];
  const bool wide = flags & 1;
  Lang.japanese = Lang.sjisConsole = (flags & 2) != 0;
  // Now and then the file is repeated, so that the rule limits come in reach.
  const int repeat = ((flags >> 2) & 7) == 7 ? 24 : 1;
  const int smallCap = 1 + (int)(flags >> 5) * 9;
  data++;
  size--;

  const std::string& dir = fz::scratch_dir();
  std::string body;
  for (int r = 0; r < repeat && body.size() < 40000; r++) body.append((const char*)data, size);
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

  // Names: standard ones, wildcards, a lone lead byte, long ones, and the
  // file's own lines (so rule keys meet names they match).
  std::vector<std::string> names = {
      "\x8D\xB6\x98\x72",                  // 左腕
      "\x8D\xB6\x98\x72\x9D\xE6",          // 左腕捩
      "\x83\x5A\x83\x93\x83\x5E\x81\x5B",  // センター
      "arm_L", "a?b", "?", "x\x81", "\x81", "", "center", "Blink",
      std::string(300, 'a'), std::string(150, '\x82') + std::string(150, '\xA0'),
  };
  std::string line;
  for (size_t i = 0; i < size && names.size() < 64; i++) {
    char c = (char)data[i];
    if (c == '\n' || c == '\r' || c == 0) {
      if (!line.empty()) names.push_back(line);
      line.clear();
    } else if (line.size() < 300) {
      line.push_back(c);
    }
  }
  if (!line.empty()) names.push_back(line);
  // Many rules make every rewrite slow; a few names then suffice.
  int most = 0;
  for (int kind = 0; kind < RULE_KINDS; kind++) most = std::max(most, namelist_count(kind));
  const size_t take = most > 512 ? 4 : most > 64 ? 16 : names.size();
  for (size_t i = 0; i < names.size() && i < take; i++)
    for (int kind = 0; kind < RULE_KINDS; kind++) check_rewrite(kind, names[names.size() - 1 - i], smallCap);
  return 0;
}
