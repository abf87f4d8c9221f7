// The bundled alias.ini as a dictionary: it loads whole, its values are plain
// ASCII that the loader does not cut, its rules are ordered so that longer keys
// win, every katakana key has its half-width twin, real names come out as
// tests/data/name_samples.txt says, and no fill is garbled.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/console.h"
#include "text/alias_file.h"
#include "text/rename_rules.h"
#include "text/sjis.h"

namespace {

struct Rule {
  int kind;
  std::string key, value;  // UTF-8, as written in the file
  unsigned char mode;
  int line;
};

std::string to_sjis(const std::string& utf8) {
  char buf[1024];
  utf8_to_sjis(buf, sizeof buf, utf8.c_str());
  return buf;
}

std::string to_utf8(const std::string& sjis) {
  char buf[1024];
  sjis_to_utf8(buf, sizeof buf, sjis.c_str());
  return buf;
}

bool ascii(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c > 0x7E) return false;
  return true;
}

// A quoted token at s[i], or an unquoted one up to the next blank.
std::string token(const std::string& s, size_t& i) {
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) i++;
  size_t start = i;
  if (i < s.size() && s[i] == '"') {
    size_t end = s.find('"', i + 1);
    if (end == std::string::npos) return "";
    i = end + 1;
    return s.substr(start + 1, end - start - 1);
  }
  while (i < s.size() && s[i] != ' ' && s[i] != '\t') i++;
  return s.substr(start, i - start);
}

// An independent reading of the file's rule lines, to hold the loader to.
std::vector<Rule> parse_rules(const std::string& path) {
  std::vector<Rule> rules;
  std::ifstream in(path);
  std::string line;
  int kind = RULE_BONE, number = 0;
  while (std::getline(in, line)) {
    number++;
    size_t i = line.find_first_not_of(" \t\r");
    if (i == std::string::npos || line.compare(i, 2, "//") == 0) continue;
    if (line[i] == '-') {
      std::string word = line.substr(i);
      for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      kind = word.rfind("-boneen", 0) == 0 || word.rfind("-bonesen", 0) == 0     ? RULE_BONE_EN
             : word.rfind("-morphen", 0) == 0 || word.rfind("-morphsen", 0) == 0 ? RULE_MORPH_EN
             : word.rfind("-bone", 0) == 0                                        ? RULE_BONE
                                                                                  : RULE_MORPH;
      continue;
    }
    Rule r{kind, "", "", MODE_NORMAL, number};
    bool quoted = line[i] == '"';
    r.key = token(line, i);
    if (quoted && i < line.size() && line[i] == 'F') r.mode = MODE_WHOLE, i++;
    if (quoted && i < line.size() && line[i] == 'L') r.mode = MODE_TAIL, i++;
    r.value = token(line, i);
    rules.push_back(r);
  }
  return rules;
}

class Dictionary : public ::testing::Test {
 protected:
  std::string log;
  void SetUp() override {
    namelist_reset();
    con_capture_begin();
    load_alias_rules(QM_SOURCE_DIR "/examples/", nullptr);
    log = con_capture_end();
  }
  void TearDown() override { namelist_reset(); }
};

TEST_F(Dictionary, LoadsEveryLineAsWrittenWithAsciiValues) {
  EXPECT_NE(std::string::npos, log.find("Reading (UTF-8)"));
  for (const char* bad : {"Err:", "Syntax:", "(cannot set)"}) EXPECT_EQ(std::string::npos, log.find(bad)) << bad;

  std::vector<Rule> rules = parse_rules(QM_SOURCE_DIR "/examples/alias.ini");
  int seen[RULE_KINDS] = {0, 0, 0, 0};
  for (const Rule& r : rules) {
    int n = ++seen[r.kind];
    char key[RULE_KEY_CAP];
    ASSERT_EQ(0, namelist_get(r.kind, key, sizeof key, n)) << "line " << r.line;
    // A key with a character Shift-JIS lacks would be stored changed.
    EXPECT_EQ(r.key, to_utf8(key)) << "line " << r.line;
    EXPECT_EQ(r.mode, namelist_mode(r.kind, n)) << "line " << r.line;
    EXPECT_TRUE(ascii(r.value)) << "line " << r.line << ": " << r.value;
    EXPECT_LE(r.value.size(), 15u) << "line " << r.line << ": " << r.value;  // the loader cuts at 15
    EXPECT_EQ(r.value, namelist_value(r.kind, n)) << "line " << r.line;
  }
  for (int k = 0; k < RULE_KINDS; k++) {
    EXPECT_EQ(seen[k], namelist_count(k)) << "kind " << k;
    EXPECT_GT(seen[k], 0) << "kind " << k;
    EXPECT_LT(seen[k], RULE_VALUE_SLOTS) << "kind " << k;  // 8191 rules carry a value
  }
}

// At each place in a name the last rule that matches decides. A normal rule
// whose key also starts a longer key must come first, or the longer one could
// never act; an exact duplicate is dead weight.
TEST_F(Dictionary, ShorterKeysComeBeforeTheKeysTheyStart) {
  for (int k = 0; k < RULE_KINDS; k++) {
    const int n = namelist_count(k);
    std::vector<std::string> keys(n + 1);
    for (int i = 1; i <= n; i++) {
      char key[RULE_KEY_CAP];
      namelist_get(k, key, sizeof key, i);
      keys[i] = key;
    }
    for (int a = 1; a <= n; a++) {
      if (namelist_mode(k, a) != MODE_NORMAL) continue;
      for (int b = 1; b < a; b++) {
        if (match_head(keys[b].c_str(), keys[a].c_str()))
          ADD_FAILURE() << "kind " << k << ": rule " << a << " \"" << to_utf8(keys[a]) << "\" hides rule " << b
                        << " \"" << to_utf8(keys[b]) << "\"";
      }
    }
  }
}

// ---- fills as option F makes them -------------------------------------------

std::string fill(int kind, const std::string& utf8Name) {
  char out[NAME_RESULT_CAP];
  fill_name(kind, out, sizeof out, to_sjis(utf8Name).c_str());
  return out;
}

// The comparison real authors' names are held to: letter case, blanks and '_'
// do not count, and left/right read as L/R.
std::string words_of(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  for (const char* side : {"left", "right"})
    for (size_t at; (at = s.find(side)) != std::string::npos;) s.replace(at, std::string(side).size(), 1, side[0]);
  std::string kept;
  for (char ch : s)
    if (ch != ' ' && ch != '_') kept += ch;
  return kept;
}

// Pieces of an English name: letter runs, split where a capital follows a
// small letter (skirtFront2_L: skirt, front, l).
std::vector<std::string> pieces(const std::string& s) {
  std::vector<std::string> out;
  std::string cur;
  for (size_t i = 0; i <= s.size(); i++) {
    const unsigned char ch = i < s.size() ? static_cast<unsigned char>(s[i]) : 0;
    const bool letter = std::isalpha(ch) != 0;
    const bool camel = letter && std::isupper(ch) && i > 0 && std::islower(static_cast<unsigned char>(s[i - 1]));
    if (!letter || camel) {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
    }
    if (letter) cur += static_cast<char>(std::tolower(ch));
  }
  return out;
}

// What is wrong with a fill, or "" when it reads clean. A piece said twice
// in a row (PosPos, brow_R_R, hairhair) is doubled; pompom is a word.
std::string flaw(const std::string& s) {
  if (!ascii(s)) return "not plain ASCII";
  if (s.empty()) return "";
  if (s.front() == '_' || s.back() == '_' || s.front() == ' ' || s.back() == ' ') return "stray _ or blank at an end";
  if (s.find("__") != std::string::npos || s.find("_ ") != std::string::npos || s.find(" _") != std::string::npos)
    return "stray _";
  if (s.size() >= 2 && (s[0] == 'L' || s[0] == 'R') && (s[1] == '_' || s[1] == ' ')) return "side first";
  std::vector<std::string> p = pieces(s);
  for (size_t i = 0; i < p.size(); i++) {
    if (i > 0 && p[i] == p[i - 1]) return "doubled piece " + p[i];
    const size_t h = p[i].size() / 2;
    if (p[i].size() >= 8 && p[i].size() % 2 == 0 && p[i].compare(0, h, p[i], h, h) == 0) return "doubled piece " + p[i];
  }
  return "";
}

struct Sample {
  std::string group, name, kind, english;
};

std::vector<Sample> samples() {
  std::vector<Sample> rows;
  std::ifstream in(QM_SOURCE_DIR "/tests/data/name_samples.txt");
  std::string line, group;
  while (std::getline(in, line)) {
    if (line.rfind("## ", 0) == 0) group = line.substr(3);
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Sample r{group, "", "", ""};
    std::getline(fields, r.name, '\t');
    std::getline(fields, r.kind, '\t');
    std::getline(fields, r.english);
    rows.push_back(r);
  }
  return rows;
}

TEST_F(Dictionary, SampleNamesComeOutInTheConventions) {
  std::vector<Sample> rows = samples();
  std::string failures;
  int groups = 0;
  std::string last;
  for (const Sample& r : rows) {
    ASSERT_TRUE(r.kind == "bone" || r.kind == "morph" || r.kind == "frame") << r.name;
    ASSERT_TRUE(ascii(r.english)) << r.name;
    if (r.group != last) groups++, last = r.group;
    const std::string got = fill(r.kind == "bone" ? RULE_BONE : RULE_MORPH, r.name);
    const std::string bad = flaw(got);
    if (words_of(got) != words_of(r.english) || !bad.empty())
      failures += r.group + ": " + r.name + "\t" + r.english + "\tgot: " + got +
                  (bad.empty() ? "" : "  (" + bad + ")") + "\n";
  }
  EXPECT_GE(rows.size(), 500u);
  EXPECT_GE(groups, 12);
  EXPECT_EQ("", failures);
}

// Without -F a name is read as it stands; the standard parts still come out
// in the conventions, their side first in the Japanese included.
TEST_F(Dictionary, StandardPartsNeedNoOptionF) {
  std::string failures;
  for (const Sample& r : samples()) {
    if (r.group != "Standard bones" && r.group != "Twist bones" && r.group != "Fingers") continue;
    char out[NAME_RESULT_CAP];
    apply_rules(RULE_BONE, out, sizeof out, to_sjis(r.name).c_str());
    if (words_of(out) != words_of(r.english)) failures += r.name + "\t" + r.english + "\tgot: " + out + "\n";
  }
  EXPECT_EQ("", failures);
}

// Every word the file knows, alone, with a side before or after it and with
// a number, fills clean.
TEST_F(Dictionary, NoFillOfItsWordsIsGarbled) {
  const std::string left = "\xE5\xB7\xA6", right = "\xE5\x8F\xB3";  // 左 右, UTF-8
  std::string failures;
  int tried = 0;
  for (int kind : {RULE_BONE, RULE_MORPH}) {
    for (int i = 1; i <= namelist_count(kind); i++) {
      if (namelist_mode(kind, i) != MODE_NORMAL) continue;
      const std::string value = namelist_value(kind, i);
      // Signs, single letters and pieces that only join others.
      if (value.size() < 2 || !std::isalnum(static_cast<unsigned char>(value.front())) ||
          !std::isalnum(static_cast<unsigned char>(value.back())))
        continue;
      char key[RULE_KEY_CAP];
      namelist_get(kind, key, sizeof key, i);
      const std::string k = to_utf8(key);
      for (const std::string& name : {k, left + k, k + right, k + left + "1", right + k + "2"}) {
        tried++;
        const std::string got = fill(kind, name);
        const std::string bad = flaw(got);
        if (!bad.empty()) failures += name + "\tgot: " + got + "  (" + bad + ")\n";
      }
    }
    // Every half-width character reads as ASCII, alone or after a syllable.
    for (int byte = 0xA1; byte <= 0xDF; byte++) {
      char one[2] = {static_cast<char>(byte), 0};
      char two[3] = {'\xB6', static_cast<char>(byte), 0};  // ｶ and the character
      for (const char* name : {one, two}) {
        char out[NAME_RESULT_CAP];
        fill_name(kind, out, sizeof out, name);
        if (!ascii(out)) failures += "byte " + std::to_string(byte) + "\tgot: " + out + "\n";
      }
    }
  }
  EXPECT_GT(tried, 5000);
  EXPECT_EQ("", failures);
}

// ---- half-width katakana ----------------------------------------------------

std::u32string decode(const std::string& s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    char32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; k < n && i + k < s.size(); k++) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out += c;
    i += n;
  }
  return out;
}

std::string encode(const std::u32string& s) {
  std::string out;
  for (char32_t c : s) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The half-width spelling of a key, or "" when it has no katakana or a
// katakana without a half-width form (ヮ, ヵ, ヶ).
std::string half_width(const std::string& utf8) {
  static const std::u32string full = decode(
      "アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワヲンァィゥェォャュョッー"
      "ガギグゲゴザジズゼゾダヂヅデドバビブベボパピプペポヴ");
  static const std::u32string half = decode(
      "ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜｦﾝｧｨｩｪｫｬｭｮｯｰ"
      "ｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾊﾋﾌﾍﾎﾊﾋﾌﾍﾎｳ");
  const size_t plain = 56, voiced = 20;  // then 5 with the round mark, then ヴ
  std::u32string out;
  bool any = false;
  for (char32_t c : decode(utf8)) {
    if (c < 0x30A1 || (c > 0x30FA && c != 0x30FC)) {
      out += c;
      continue;
    }
    const size_t at = full.find(c);
    if (at == std::u32string::npos) return "";
    any = true;
    out += half[at];
    if (at >= plain) out += at < plain + voiced || at == full.size() - 1 ? U'\uFF9E' : U'\uFF9F';
  }
  return any ? encode(out) : "";
}

TEST_F(Dictionary, KatakanaKeysHaveTheirHalfWidthTwin) {
  EXPECT_EQ("\xEF\xBD\xBD\xEF\xBD\xB6\xEF\xBD\xB0\xEF\xBE\x84", half_width("スカート"));  // ｽｶｰﾄ
  EXPECT_EQ("\xEF\xBE\x98\xEF\xBE\x8E\xEF\xBE\x9E\xEF\xBE\x9D", half_width("リボン"));    // ﾘﾎﾞﾝ
  EXPECT_EQ("\xEF\xBE\x8E\xEF\xBE\x9F", half_width("ポ"));                                // ﾎﾟ
  EXPECT_EQ("", half_width("髪"));

  std::vector<Rule> rules = parse_rules(QM_SOURCE_DIR "/examples/alias.ini");
  std::string missing;
  int twins = 0;
  for (const Rule& r : rules) {
    const std::string h = half_width(r.key);
    if (h.empty()) continue;
    bool found = false;
    for (const Rule& t : rules)
      if (t.kind == r.kind && t.key == h && t.value == r.value && t.mode == r.mode) found = true;
    if (found) twins++;
    else missing += "line " + std::to_string(r.line) + ": " + r.key + " wants " + h + "\n";
  }
  EXPECT_GT(twins, 400);
  EXPECT_EQ("", missing);
}

}  // namespace
