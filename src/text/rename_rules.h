// The four rename-rule lists and the rewrite that applies them.
#pragma once

enum { RULE_BONE = 0, RULE_MORPH = 1, RULE_BONE_EN = 2, RULE_MORPH_EN = 3, RULE_KINDS = 4 };
enum { RULE_KEY_SLOTS = 16384, RULE_VALUE_SLOTS = 8192, RULE_KEY_CAP = 64, RULE_VALUE_CAP = 64 };
enum { MODE_NORMAL = 0, MODE_TAIL = 1, MODE_WHOLE = 255 };
enum { NAME_RESULT_CAP = 256 };

void namelist_reset();
int namelist_add(int kind, const char* key);              // rule number, 0 when full
int namelist_get(int kind, char* buf, int cap, int number);  // 0, -1 out of range
int namelist_count(int kind);
// Value and mode under a rule number (1..8191); -1 when the number has no slot.
int namelist_set(int kind, int number, const char* value, unsigned char mode);
const char* namelist_value(int kind, int number);
unsigned char namelist_mode(int kind, int number);

// The two matches of a normal rule, 1 on a match. match_rest: the whole rest of
// the name, '*' standing for one or more bytes to its end. match_head: the key
// as a prefix, '?' for any one byte and full-width '？' for one double-byte one.
int match_rest(const char* rest, const char* key);
int match_head(const char* rest, const char* key);

// Rewrites name with the rules of one kind, the last rule first. The result is
// cut at cap-1 bytes, never inside a double-byte character. Returns 0.
int apply_rules(int kind, char* result, int cap, const char* name);
int rename_bone(char* result, int cap, const char* name);
int rename_morph(char* result, int cap, const char* name);
int rename_bone_en(char* result, int cap, const char* name);
int rename_morph_en(char* result, int cap, const char* name);

// The fill of option F: apply_rules on the name read with its side at the end.
// A side character (左, 右) standing alone anywhere in the name is taken out,
// repeats of it too, and set once after the rest, but only when the kind has a
// tail rule for that character alone ("左"L "_L"), which then ends the English
// name with the side. A name that holds both sides alone, or whose kind has no
// such rule, is rewritten as it stands; 左右 and 右左 are words, not sides.
int fill_name(int kind, char* result, int cap, const char* name);
