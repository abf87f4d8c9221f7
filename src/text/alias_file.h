// alias.ini: the user's rename rules, read again for every model.
#pragma once

// By ANSI path (useWide 0) or UTF-16 path (useWide 1). 0 read to its end, -1 not opened.
int read_alias_file(const char* path, const char16_t* pathW, int useWide);
// The per-model sequence: empty the rules, find alias.ini in the program
// folder (ANSI, then UTF-16), read it, print the listings and counts. True
// when a file was found and read to its end.
bool load_alias_rules(const char* programFolder, const char16_t* programFolderW);
