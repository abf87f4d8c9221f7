// The bundled alias.ini as a dictionary: it loads whole, its values are plain
// ASCII that the loader does not cut, its rules are ordered so that longer keys
// win, and real names come out as tests/data/name_samples.txt says.

#include <gtest/gtest.h>

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

TEST_F(Dictionary, SampleNamesComeOutAsExpected) {
  std::ifstream in(QM_SOURCE_DIR "/tests/data/name_samples.txt");
  ASSERT_TRUE(in.good());
  std::string line, failures;
  int samples = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name, kind, expected;
    ASSERT_TRUE(std::getline(fields, name, '\t') && std::getline(fields, kind, '\t') &&
                std::getline(fields, expected))
        << line;
    ASSERT_TRUE(kind == "bone" || kind == "morph" || kind == "frame") << line;
    ASSERT_TRUE(ascii(expected)) << line;
    samples++;
    char out[NAME_RESULT_CAP];
    apply_rules(kind == "bone" ? RULE_BONE : RULE_MORPH, out, sizeof out, to_sjis(name).c_str());
    if (expected != out) failures += name + "\t" + kind + "\t" + expected + "\tgot: " + out + "\n";
  }
  EXPECT_GE(samples, 150);
  EXPECT_EQ("", failures);
}

}  // namespace
