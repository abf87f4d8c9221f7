#include "text/alias_file.h"

#include <cstring>

#include "platform/console.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "text/rename_rules.h"
#include "text/sjis.h"
#include "text/text_reader.h"

namespace {

enum {
  LINE_CAP = 256,     // line buffer; read with size 255, so 253 bytes a piece
  CONV_CAP = 1024,    // a line converted either way (a byte may become three)
  VALUE_MAX = 15,     // stored bytes of a value
  KEY_MAX = RULE_KEY_CAP - 1,
  RULES_MAX = RULE_VALUE_SLOTS - 1,
};

const char* const echoText[RULE_KINDS] = {
    " b-rep \"%s\" \"%s\" ",
    " m-rep \"%s\" \"%s\" ",
    " bEN-rep \"%s\" \"%s\" ",
    " mEN-rep \"%s\" \"%s\" ",
};

int lower(int c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// ASCII case-insensitive: does s begin with word?
bool prefix_eq_nocase(const char* s, const char* word) {
  for (; *word != '\0'; s++, word++)
    if (*s == '\0' || lower(static_cast<unsigned char>(*s)) != lower(static_cast<unsigned char>(*word)))
      return false;
  return true;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// One token of a rule line, starting at line[i]. Fills start/len and the index
// just after the token; false when a quoted token has no closing quote.
bool take_token(const char* line, int i, int* start, int* len, int* next) {
  if (line[i] == '"') {
    int j = i + 1;
    while (line[j] != '\0' && line[j] != '"') j++;
    if (line[j] != '"') return false;
    *start = i + 1;
    *len = j - (i + 1);
    *next = j + 1;
    return true;
  }
  int j = i;
  while (line[j] != '\0' && !is_blank(line[j])) j++;
  *start = i;
  *len = j - i;
  *next = j;
  return true;
}

// Key and value texts into Shift-JIS, the program's form of every name.
void to_sjis(char* dst, int cap, const char* src, bool fileIsSjis) {
  if (fileIsSjis)
    sjis_copy(dst, cap, src);
  else
    utf8_to_sjis(dst, cap, src);
}

int str_len(const char* s) {
  int n = 0;
  while (s[n] != '\0') n++;
  return n;
}

void copy_bytes(char* dst, const char* src, int n) {
  for (int i = 0; i < n; i++) dst[i] = src[i];
  dst[n] = '\0';
}

void report_syntax(const char* rest, bool fileIsSjis) {
  unsigned char c = static_cast<unsigned char>(rest[0]);
  con_printf("%02X(%c) ", c, c);
  bool consoleIsSjis = japanese_mode();
  static char shown[CONV_CAP];
  if (fileIsSjis == consoleIsSjis)
    sjis_copy(shown, CONV_CAP, rest);
  else if (fileIsSjis)
    sjis_to_utf8(shown, CONV_CAP, rest);
  else
    utf8_to_sjis(shown, CONV_CAP, rest);
  // Outside Japanese mode the text is UTF-8 already and must not pass
  // through the console's own code page 932 conversion again.
  con_printf("Syntax: ");
  if (consoleIsSjis)
    con_printf("%s", shown);
  else
    con_write_utf8(shown, strlen(shown));
  con_printf(" \n");
}

void parse_rule(const char* line, int i, int kind, bool fileIsSjis) {
  int keyStart = 0, keyLen = 0, next = 0;
  if (!take_token(line, i, &keyStart, &keyLen, &next)) {
    con_printf("Err: string end not detected: %s \n", line + i);
    return;
  }
  unsigned char mode = MODE_NORMAL;
  if (line[i] == '"') {
    if (line[next] == 'F') {
      mode = MODE_WHOLE;
      next++;
    }
    if (line[next] == 'L') {
      mode = MODE_TAIL;
      next++;
    }
  }
  if (keyLen == 0) {
    char c = line[next];
    if (c == '\0' || c == 0x0D || c == 0x0A || c == ' ' || c == '\t' || c == 0x1E) return;
    report_syntax(line + next, fileIsSjis);
    return;
  }

  static char raw[LINE_CAP];
  static char key[CONV_CAP];
  static char value[CONV_CAP];
  copy_bytes(raw, line + keyStart, keyLen);
  to_sjis(key, CONV_CAP, raw, fileIsSjis);

  int j = next;
  while (is_blank(line[j])) j++;
  value[0] = '\0';
  if (line[j] != '\0') {
    int valStart = 0, valLen = 0, after = 0;
    if (!take_token(line, j, &valStart, &valLen, &after)) {
      con_printf("Err: string end not detected: %s \n", line + j);
      return;
    }
    copy_bytes(raw, line + valStart, valLen);
    to_sjis(value, CONV_CAP, raw, fileIsSjis);
    // Cut to 15 bytes, on a character boundary.
    static char cut[VALUE_MAX + 1];
    sjis_copy(cut, VALUE_MAX + 1, value);
    sjis_copy(value, CONV_CAP, cut);
  }

  if (key[0] == '\0') {
    con_printf(" rep \"%s\" \"%s\" ", key, value);
    con_printf(" => (cannot set) \n");
    return;
  }
  con_printf(echoText[kind], key, value);
  // A key that does not fit its slot, or a rule with no value slot left, is
  // refused rather than stored cut or without its value.
  if (str_len(key) > KEY_MAX || namelist_count(kind) >= RULES_MAX) {
    con_printf(" => (cannot set) \n");
    return;
  }
  int number = namelist_add(kind, key);
  if (number == 0 || namelist_set(kind, number, value, mode) != 0) {
    con_printf(" => (cannot set) \n");
    return;
  }
  con_printf(" => %d \n", number);
}

void handle_line(char* line, int len, int* kind, bool fileIsSjis) {
  while (len > 1 && (line[len - 1] == ' ' || line[len - 1] == 0x0D || line[len - 1] == 0x0A))
    line[--len] = '\0';
  int i = 0;
  while (i < len && i < LINE_CAP - 1 && is_blank(line[i])) i++;
  const char* rest = line + i;
  if (rest[0] == '/' && rest[1] == '/') return;

  if (prefix_eq_nocase(rest, "-BoneEN") || prefix_eq_nocase(rest, "-BonesEN")) {
    *kind = RULE_BONE_EN;
  } else if (prefix_eq_nocase(rest, "-MorphEN") || prefix_eq_nocase(rest, "-MorphsEN")) {
    *kind = RULE_MORPH_EN;
  } else if (prefix_eq_nocase(rest, "-Bone")) {
    *kind = RULE_BONE;
  } else if (prefix_eq_nocase(rest, "-Morph")) {
    *kind = RULE_MORPH;
  } else {
    parse_rule(line, i, *kind, fileIsSjis);
  }
}

void print_listing(int kind, const char* header) {
  con_printf("%s", header);
  static char key[RULE_KEY_CAP];
  int n = namelist_count(kind);
  for (int r = 1; r <= n; r++) {
    if (namelist_get(kind, key, RULE_KEY_CAP, r) != 0) continue;
    con_printf(" %d: \"%s\"%s  \"%s\" \n", r, key, namelist_mode(kind, r) != MODE_NORMAL ? "L " : "  ",
               namelist_value(kind, r));
  }
}

}  // namespace

int read_alias_file(const char* path, const char16_t* pathW, int useWide) {
  const char* shown = (!useWide && path != nullptr) ? path : "";
  con_printf_name("Checking : %s \n", shown, useWide ? pathW : nullptr);
  bool fileIsSjis = useWide ? text_is_sjis(nullptr, pathW) != 0 : text_is_sjis(path, nullptr) != 0;
  if (fileIsSjis)
    con_printf_name("Reading (SJIS) : %s \n", shown, useWide ? pathW : nullptr);
  else
    con_printf_name("Reading (UTF-8): %s \n", shown, useWide ? pathW : nullptr);

  int opened = useWide ? txt_open_wide(pathW) : txt_open(path);
  if (opened != 0) return -1;
  // Editors often start a UTF-8 file with a byte-order mark; it is not part of
  // the first line. Anything else taken while looking is given back by reopening.
  if (!fileIsSjis && txt_peek() == 0xEF) {
    bool bom = txt_getc() == 0xEF && txt_getc() == 0xBB && txt_getc() == 0xBF;
    if (!bom) {
      txt_close();
      if ((useWide ? txt_open_wide(pathW) : txt_open(path)) != 0) return -1;
    }
  }

  int kind = RULE_BONE;
  static char line[LINE_CAP];
  while (!txt_eof()) {
    int c = txt_peek();
    if (c < 0) break;
    if (c == 0x0D || c == 0x0A || c == 0x1A || c == ' ' || c == '\t') {
      txt_getc();
      continue;
    }
    int len = txt_getline(line, LINE_CAP - 1);
    if (len == 0) continue;
    handle_line(line, len, &kind, fileIsSjis);
  }
  // A file that failed to read is not reported as read in.
  const int failed = txt_failed();
  txt_close();
  return failed ? -1 : 0;
}

bool load_alias_rules(const char* programFolder, const char16_t* programFolderW) {
  namelist_reset();

  static char path[PATHBUF_CAP];
  static char16_t pathW[PATHBUF_CAP];
  // A path that does not fit is not looked up: cut, it would name another file.
  bool pathOk = false, pathWOk = false;
  if (programFolder != nullptr && str_len(programFolder) + 9 < PATHBUF_CAP) {
    sjis_copy(path, PATHBUF_CAP, programFolder);
    sjis_append(path, PATHBUF_CAP, "alias.ini");
    pathOk = true;
  }
  if (programFolderW != nullptr) {
    int folderLen = 0;
    while (programFolderW[folderLen] != 0) folderLen++;
    if (folderLen + 9 < PATHBUF_CAP) {
      pathW[0] = 0;
      wide_cpy(pathW, PATHBUF_CAP, programFolderW);
      wide_cat(pathW, PATHBUF_CAP, u"alias.ini");
      pathWOk = true;
    }
  }

  bool found = false, readIn = false;
  if (pathOk && txt_exists(path) == 0) {
    found = true;
    con_printf("Alias file found. \n");
    readIn = read_alias_file(path, nullptr, 0) == 0;
    if (readIn) con_printf("Alias file read-in. \n");
  } else if (pathWOk && txt_exists_wide(pathW) == 0) {
    found = true;
    con_printf("Alias file found. (W) \n");
    readIn = read_alias_file(nullptr, pathW, 1) == 0;
    if (readIn) con_printf("Alias file read-in. (W) \n");
  }

  print_listing(RULE_BONE, "Bones: \n");
  print_listing(RULE_MORPH, "Morphing: \n");
  print_listing(RULE_BONE_EN, "BonesEN: \n");
  print_listing(RULE_MORPH_EN, "MorphingEN: \n");
  if (found) {
    con_printf("  => Replace def. bone  strings: %d \n", namelist_count(RULE_BONE));
    con_printf("  => Replace def. morph strings: %d \n", namelist_count(RULE_MORPH));
    con_printf("  => Replace def. boneEN  strings: %d \n", namelist_count(RULE_BONE_EN));
    con_printf("  => Replace def. morphEN strings: %d \n", namelist_count(RULE_MORPH_EN));
    con_printf("\n");
  }
  return readIn;
}
