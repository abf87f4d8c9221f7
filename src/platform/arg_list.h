// The two argument lists (ModelList): ansiArgs (Shift-JIS) and wideArgs (UTF-16).
#pragma once
#include <cstdint>

enum { ARG_MAX_ENTRIES = 511, ARG_STORAGE = 65535 };

struct ArgListW {
  int32_t count;
  char16_t* entries[ARG_MAX_ENTRIES + 1];
  char16_t storage[ARG_STORAGE];
  int32_t used;
};
struct ArgListA {
  int32_t count;
  char* entries[ARG_MAX_ENTRIES + 1];
  char storage[ARG_STORAGE];
  int32_t used;
};
extern ArgListW wideArgs;
extern ArgListA ansiArgs;

void arglist_resetW(ArgListW* list);  // no entries
void arglist_reset(ArgListA* list);
// Fills the list from a UTF-16 command line (the process's when cmdline is null).
int splitcmdlineW(ArgListW* list, const char16_t* cmdline = nullptr);
int addargW(ArgListW* list, const char16_t* value);
int addarg(ArgListA* list, const char* value);
