#include "driver/restore_names.h"

#include <cstdio>
#include <ctime>

#include "driver/link_search.h"
#include "driver/message_box.h"
#include "driver/messages.h"
#include "driver/model_state.h"
#include "driver/run_settings.h"
#include "encoding/codec.h"
#include "platform/console.h"
#include "platform/file_io.h"
#include "platform/os.h"
#include "pmx/model_store.h"
#include "text/sjis.h"

const char16_t kRestoreLogNameW[] = u"quillmend-renames.txt";

namespace {

const char kLogHeader[] =
    "# Quillmend: files moved back to the names their model links. One line per move: the date, "
    "the old path and the new path, relative to this folder, separated by tabs. To undo a move, "
    "rename the new path back to the old one.\n";

const char16_t* pooled(const RestoreWork& rw, uint32_t at) { return rw.pool + at; }

// The code of the failure that just happened, never 0.
uint32_t failure() {
  const uint32_t error = os_last_error();
  return error ? error : (uint32_t)OS_ERROR_GEN_FAILURE;
}

// Keeps a path in the model's pool; false when the pool is full.
bool keep(RestoreWork& rw, const char16_t* s, uint32_t* at) {
  const uint32_t n = (uint32_t)wide_len(s) + 1;
  if (rw.poolUsed + n > RestoreWork::POOL_UNITS) return false;
  *at = rw.poolUsed;
  for (uint32_t i = 0; i < n; i++) rw.pool[rw.poolUsed++] = s[i];
  return true;
}

// The model's folder joined with the first n units of rel (n < 0: all of
// it) into dst (TEXPATH_CAP units); false when that does not fit.
bool full_path(const ModelState& ms, const char16_t* rel, int n, char16_t* dst) {
  const char16_t* dir = ms.tex.modelDirW;
  int at = wide_cpy(dst, TEXPATH_CAP, dir);
  if (at != wide_len(dir)) return false;
  if (at > 0 && dst[at - 1] != '\\' && dst[at - 1] != '/') {
    if (at + 1 >= TEXPATH_CAP) return false;
    dst[at++] = '\\';
  }
  const int len = n < 0 ? wide_len(rel) : n;
  if (at + len >= TEXPATH_CAP) return false;
  for (int i = 0; i < len; i++) dst[at++] = rel[i];
  dst[at] = 0;
  return true;
}

// Units of the stored path `to` whose place something already holds: a file
// or a link where one of its folders goes, or anything where the file goes.
// 0 when the way is free (existing folders are joined).
int blocked_len(ModelState& ms, const char16_t* to) {
  char16_t* p = ms.restore.scratchW;
  const int n = wide_len(to);
  for (int i = 1; i <= n; i++) {
    if (i < n && to[i] != '\\') continue;
    if (!full_path(ms, to, i, p)) return i;
    const int kind = os_entry_kindW(p);
    if (kind == OS_ENTRY_NONE) return 0;  // nor anything below it
    if (i == n || kind != OS_ENTRY_FOLDER) return i;
  }
  return 0;
}

// Removes the folders of rel that end from unit `lowest` up to before unit
// `below`, deepest first, as long as each is empty: a folder still holding
// anything stays, and so do those above it.
void remove_empty_folders(ModelState& ms, const char16_t* rel, int lowest, int below) {
  char16_t* p = ms.restore.scratchW;
  for (int i = below - 1; i >= lowest && i > 0; i--) {
    if (rel[i] != '\\') continue;
    if (!full_path(ms, rel, i, p) || !os_remove_dirW(p)) return;
  }
}

// Two relative paths naming the same place on either system: separators of
// both kinds alike, ASCII letters in either case.
bool same_place(const char16_t* a, const char16_t* b) {
  for (;; ++a, ++b) {
    char16_t x = *a == '/' ? u'\\' : *a, y = *b == '/' ? u'\\' : *b;
    if (x >= 'A' && x <= 'Z') x = (char16_t)(x + 0x20);
    if (y >= 'A' && y <= 'Z') y = (char16_t)(y + 0x20);
    if (x != y) return false;
    if (!x) return true;
  }
}

// A link of the model that opens by the mangled name keeps its file there.
bool linked_as_is(const ModelState& ms, const char16_t* disk) {
  for (int k = 0; k < ms.linkCount; ++k) {
    const char16_t* p = pmxModel.pmxtexlistpathW[k];
    while (p[0] == '.' && (p[1] == '\\' || p[1] == '/')) p += 2;
    if (ms.link[k].fate == FATE_OK && same_place(p, disk)) return true;
  }
  return false;
}

// The file of link k, found at its stored place under mangled names, becomes
// a move, or joins the move of an earlier link of the same stored path.
void plan(ModelState& ms, int k) {
  RestoreWork& rw = ms.restore;
  const LinkPlace& pl = rw.place;
  // Paths that do not fit could name other files: such a file is left alone.
  if (!full_path(ms, pl.diskW, -1, rw.fromW) || !full_path(ms, pl.storedW, -1, rw.toW)) return;
  if (linked_as_is(ms, pl.diskW)) return;
  for (int j = 0; j < rw.moveCount; j++) {
    const RestoreMove& m = rw.move[j];
    if (wide_eq(pooled(rw, m.toAt), pl.storedW) == 0) {
      ms.link[k].restoreMove = (uint16_t)(j + 1);
      return;
    }
    if (wide_eq(pooled(rw, m.fromAt), pl.diskW) == 0) return;  // one file cannot go to two places
  }
  if (rw.moveCount >= TEX_MAX) return;
  RestoreMove& m = rw.move[rw.moveCount];
  const uint32_t mark = rw.poolUsed;
  if (!keep(rw, pl.diskW, &m.fromAt) || !keep(rw, pl.storedW, &m.toAt)) {
    rw.poolUsed = mark;
    return;
  }
  m.firstLink = k;
  m.error = 0;
  const int blocked = blocked_len(ms, pl.storedW);
  m.blockedLen = (uint16_t)blocked;
  m.result = blocked ? RESTORE_TAKEN : RESTORE_PLANNED;
  ms.link[k].restoreMove = (uint16_t)++rw.moveCount;
}

// The one question per model; true for Yes. A box that could not be shown
// moves nothing.
bool agreed(ModelState& ms, int files, bool useWide) {
  char count[16];
  std::snprintf(count, sizeof count, "%d", files);
  box_clear(&ms.box);
  box_add_msg(&ms.box, M_RESTORE_QUESTION_BOX, {{ms.diskName, ms.diskNameW}, {count, nullptr}});
  const int answer = box_show(&ms.box, OS_MB_YESNO | OS_MB_ICONINFORMATION | OS_MB_TOPMOST, useWide);
  if (answer == OS_IDYES) con_printf(" => YES \n");
  if (answer == OS_IDNO) con_printf(" => NO \n");
  con_printf("\n");
  return answer == OS_IDYES;
}

void move_file(ModelState& ms, RestoreMove& m) {
  RestoreWork& rw = ms.restore;
  const char16_t* from = pooled(rw, m.fromAt);
  const char16_t* to = pooled(rw, m.toAt);
  // An earlier move may have taken the place since the plan.
  const int blocked = blocked_len(ms, to);
  if (blocked) {
    m.result = RESTORE_TAKEN;
    m.blockedLen = (uint16_t)blocked;
    return;
  }
  // The stored folders that are missing, from the top down; a failure takes
  // back those made, so both places stay as they were.
  const int n = wide_len(to);
  int firstMade = -1;
  for (int i = 1; i < n; i++) {
    if (to[i] != '\\') continue;
    full_path(ms, to, i, rw.scratchW);
    if (firstMade < 0 && os_entry_kindW(rw.scratchW) == OS_ENTRY_FOLDER) continue;
    if (firstMade < 0) firstMade = i;
    if (!os_make_dirW(rw.scratchW)) {
      m.result = RESTORE_FAILED;
      m.error = failure();
      remove_empty_folders(ms, to, firstMade, i);
      return;
    }
  }
  full_path(ms, from, -1, rw.fromW);
  full_path(ms, to, -1, rw.toW);
  if (!os_rename_newW(rw.fromW, rw.toW)) {
    const uint32_t error = failure();
    if (firstMade >= 0) remove_empty_folders(ms, to, firstMade, n);
    if (error == OS_ERROR_FILE_EXISTS || error == OS_ERROR_ALREADY_EXISTS) {
      m.result = RESTORE_TAKEN;
      m.blockedLen = (uint16_t)n;
    } else {
      m.result = RESTORE_FAILED;
      m.error = error;
    }
    return;
  }
  m.result = RESTORE_MOVED;
  ++rw.moved;
  remove_empty_folders(ms, from, 0, wide_len(from));
}

void put_text(const char* s) {
  while (*s) wfputc((unsigned char)*s++);
}

void put_path(const char16_t* w) {
  char utf8[TEXPATH_CAP * 3];
  wide_to_utf8(utf8, (int)sizeof utf8, w);
  put_text(utf8);
}

// Appends the moves made to the log (through a temporary renamed over it, as
// every save). An existing log that cannot be read is not replaced. 0, or the
// system's code of the failure.
uint32_t write_log(ModelState& ms) {
  RestoreWork& rw = ms.restore;
  char16_t* logW = rw.toW;
  if (!full_path(ms, kRestoreLogNameW, -1, logW)) return OS_ERROR_FILENAME_EXCED_RANGE;
  const int kind = os_entry_kindW(logW);
  if (kind != OS_ENTRY_NONE && kind != OS_ENTRY_FILE) return OS_ERROR_ACCESS_DENIED;
  char stamp[32] = "";
  const std::time_t now = std::time(nullptr);
  if (const std::tm* t = std::localtime(&now)) std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", t);
  if (wfopenW(logW) != 0) return failure();
  int last = '\n';
  if (kind == OS_ENTRY_FILE) {
    if (rfprobeW(logW) != 0) {
      const uint32_t error = failure();
      wfdiscard();
      return error;
    }
    for (int c; (c = rfgetc()) >= 0; last = c) wfputc(c);
    const bool readWhole = rfiserror() == 0;
    rfclose();
    if (!readWhole) {
      wfdiscard();
      return OS_ERROR_GEN_FAILURE;
    }
  } else {
    put_text(kLogHeader);
  }
  if (last != '\n') wfputc('\n');
  for (int j = 0; j < rw.moveCount; j++) {
    const RestoreMove& m = rw.move[j];
    if (m.result != RESTORE_MOVED) continue;
    put_text(stamp);
    put_text("\t");
    put_path(pooled(rw, m.fromAt));
    put_text("\t");
    put_path(pooled(rw, m.toAt));
    put_text("\n");
  }
  return wfcommit() == 0 ? 0 : failure();
}

// A console text whose %s are paths (in order) and whose %d is a code; each
// path shows as itself where the console takes UTF-16.
void print_paths(MsgId id, const char16_t* first, const char16_t* second, uint32_t error) {
  const char* f = msg(id);
  const char16_t* paths[2] = {first, second};
  int next = 0;
  while (*f) {
    const char* plain = f;
    while (*f && *f != '%') ++f;
    if (f > plain) con_write(plain, (size_t)(f - plain));
    if (!*f) break;
    if (f[1] == 's' && next < 2 && paths[next]) {
      char ansi[TEXPATH_CAP];
      wide_to_sjis(ansi, (int)sizeof ansi, paths[next]);
      con_name(ansi, paths[next++]);
    } else if (f[1] == 'd') {
      con_printf("%d", (int)error);
    }
    f += f[1] ? 2 : 1;
  }
}

}  // namespace

void restore_names(ModelState& ms, bool useWide) {
  RestoreWork& rw = ms.restore;
  if (Restore.names < 1) return;
  for (int k = 0; k < ms.linkCount; ++k) {
    if (ms.link[k].fate != FATE_BROKEN) continue;
    if (linksearch_mangled_place(pmxModel.pmxtexlistpathW[k], &rw.place)) plan(ms, k);
  }
  int files = 0;
  for (int j = 0; j < rw.moveCount; j++) files += rw.move[j].result == RESTORE_PLANNED;
  if (files < 1) return;
  if (!agreed(ms, files, useWide)) {
    // As without -R.
    for (int k = 0; k < ms.linkCount; ++k) ms.link[k].restoreMove = 0;
    rw.moveCount = 0;
    rw.poolUsed = 0;
    return;
  }
  for (int j = 0; j < rw.moveCount; j++)
    if (rw.move[j].result == RESTORE_PLANNED) move_file(ms, rw.move[j]);
  if (rw.moved < 1) return;
  // The listing still holds the old names.
  linksearch_forget_listing();
  if (const uint32_t error = write_log(ms)) {
    if (!full_path(ms, kRestoreLogNameW, -1, rw.toW)) wide_cpy(rw.toW, TEXPATH_CAP, kRestoreLogNameW);
    ConVisible problem;  // a line -Q keeps
    print_paths(M_RESTORE_LOG_FAILED, rw.toW, nullptr, error);
  }
}

bool restore_link_moved(const ModelState& ms, int k) {
  const int j = ms.link[k].restoreMove - 1;
  return j >= 0 && ms.restore.move[j].result == RESTORE_MOVED;
}

int restore_links_moved(const ModelState& ms) {
  int n = 0;
  for (int k = 0; k < ms.linkCount; ++k) n += restore_link_moved(ms, k);
  return n;
}

bool restore_list_link(ModelState& ms, int k) {
  const int j = ms.link[k].restoreMove - 1;
  if (j < 0 || ms.restore.move[j].result != RESTORE_MOVED) return false;
  const RestoreMove& m = ms.restore.move[j];
  print_by_language(M_TAG_RESTORED);
  con_printf("\n");
  if (m.firstLink == k) {
    print_paths(M_RESTORED_MOVE, pooled(ms.restore, m.fromAt), pooled(ms.restore, m.toAt), 0);
    ms.link[k].restore = RESTORE_MOVED;
  } else {
    ms.link[k].restore = RESTORE_JOINED;
  }
  ms.link[k].fate = FATE_RESTORED;
  ++ms.links.restored;
  return true;
}

void restore_print_reason(ModelState& ms, int k) {
  const int j = ms.link[k].restoreMove - 1;
  if (j < 0) return;
  const RestoreMove& m = ms.restore.move[j];
  const char16_t* to = pooled(ms.restore, m.toAt);
  ms.link[k].restore = m.result;
  if (m.result == RESTORE_TAKEN) {
    char16_t* blocked = ms.restore.scratchW;
    int n = m.blockedLen < TEXPATH_CAP ? m.blockedLen : TEXPATH_CAP - 1;
    for (int i = 0; i < n; i++) blocked[i] = to[i];
    blocked[n] = 0;
    print_paths(M_RESTORE_TAKEN, blocked, nullptr, 0);
  } else if (m.result == RESTORE_FAILED) {
    print_paths(M_RESTORE_FAILED, pooled(ms.restore, m.fromAt), to, m.error);
  }
}
