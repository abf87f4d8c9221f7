#include "platform/arg_list.h"

#include "platform/os.h"
#include "platform/paths.h"

ArgListW wideArgs;
ArgListA ansiArgs;

namespace {

enum {
  CMDLINE_TAKE = 65533,                 // units of the command line looked at
  SPLIT_STOP_USED = ARG_STORAGE - 260,  // no new argument once this much is used
};

template <typename L>
void reset(L* list) {
  list->count = 0;
  list->used = 0;
  list->entries[0] = list->storage;
  list->storage[0] = 0;
}

inline int width(const char* s) { return ansi_char_width(s); }
inline int width(const char16_t*) { return 1; }

template <typename L, typename C>
int addarg_t(L* list, const C* v) {
  if (!v || !v[0]) return 0;
  // The entry table keeps one slot for the pointer past the last entry.
  if (list->count < 0 || list->count >= ARG_MAX_ENTRIES) return -1;
  bool quoted = v[0] == '"';
  const C* s = quoted ? v + 1 : v;
  C* start = list->storage + list->used;
  int n = 0;
  for (int i = 0; s[i];) {
    if (quoted && s[i] == '"') break;
    int w = width(s + i);
    if (list->used + n + w + 1 > ARG_STORAGE) break;
    for (int k = 0; k < w; k++) start[n++] = s[i + k];
    i += w;
  }
  if (n == 0) return -1;
  start[n] = 0;
  list->entries[list->count++] = start;
  list->used += n + 1;
  list->entries[list->count] = list->storage + list->used;
  return 0;
}

}  // namespace

void arglist_resetW(ArgListW* list) { reset(list); }
void arglist_reset(ArgListA* list) { reset(list); }

int addargW(ArgListW* list, const char16_t* value) { return addarg_t(list, value); }
int addarg(ArgListA* list, const char* value) { return addarg_t(list, value); }

int splitcmdlineW(ArgListW* list, const char16_t* cmdline) {
  const char16_t* c = cmdline ? cmdline : os_command_lineW();
  static const char16_t empty[1] = {0};
  if (!c) c = empty;
  char16_t* st = list->storage;
  int used = 0, taken = 0;
  list->count = 1;
  list->entries[0] = st;
  while (*c == ' ' || *c == '\t') c++;
  bool quoted = false;
  while (used < ARG_STORAGE - 1 && taken < CMDLINE_TAKE) {
    char16_t u = *c;
    if (u == 0) break;
    c++;
    taken++;
    if (u == '"') {
      quoted = !quoted;
      continue;
    }
    if (u == ' ' && !quoted) {
      if (list->count >= ARG_MAX_ENTRIES || used >= SPLIT_STOP_USED) break;
      st[used++] = 0;
      while (*c == ' ' && taken < CMDLINE_TAKE) {
        c++;
        taken++;
      }
      list->entries[list->count++] = st + used;
      continue;
    }
    st[used++] = u;
  }
  st[used++] = 0;
  if (list->count == 2 && list->entries[1][0] == 0) list->count = 1;
  list->entries[list->count] = st + used;
  list->used = used;
  return 0;
}
