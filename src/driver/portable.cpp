#include "driver/portable.h"

#include "driver/link_search.h"
#include "driver/messages.h"
#include "driver/model_state.h"
#include "driver/run_summary.h"
#include "platform/console.h"
#include "platform/dir_walk.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "pmx/model_store.h"
#include "text/sjis.h"

#include <cstdio>

namespace {

enum {
  CAP = LINK_PATH_CAP,
  PART_MAX = 64,  // names of one path
  NAME_CAP = DIRWALK_NAME_CAP,
  COPY_BLOCK = 64 * 1024,
  NAME_TRIES = 999,  // "a.png", "a (2).png" ... "a (999).png"
};


bool same_name(const char16_t* a, int an, const char16_t* b, int bn) {
  if (an != bn) return false;
  for (int i = 0; i < an; i++)
    if (linksearch_fold(a[i]) != linksearch_fold(b[i])) return false;
  return true;
}

bool exists_error(uint32_t e) { return e == OS_ERROR_FILE_EXISTS || e == OS_ERROR_ALREADY_EXISTS; }

// A folder's path with its trailing backslash; false when it does not fit.
bool as_folder(char16_t* path, int cap) {
  int n = wide_len(path);
  if (n > 0 && path_is_sep(path[n - 1])) return true;
  if (n + 2 > cap) return false;
  path[n] = '\\';
  path[n + 1] = 0;
  return true;
}

// ---- paths taken apart ----------------------------------------------------------------

// Units of the root a path starts with: "\\server\share\", "C:\", "C:", "\"; 0 when relative.
int root_units(const char16_t* p) {
  if (path_is_sep(p[0]) && path_is_sep(p[1])) {
    int i = 2, seps = 0;
    while (p[i] && seps < 2) seps += path_is_sep(p[i++]);
    return i;
  }
  if (p[0] && p[1] == ':') return path_is_sep(p[2]) ? 3 : 2;
  return path_is_sep(p[0]) ? 1 : 0;
}

// A path as its root and its names, '.' gone and '..' taken back.
struct Parts {
  char16_t root[CAP];
  const char16_t* at[PART_MAX];  // into the text the names came from
  int len[PART_MAX];
  int count;
  bool upward;  // a '..' was met
};

void set_root(Parts& p, const char16_t* path, int units) {
  int n = 0;
  for (; n < units && n < CAP - 2; n++) p.root[n] = path_is_sep(path[n]) ? u'\\' : path[n];
  // "\\server\share" ends its root without a separator.
  if (n > 2 && p.root[n - 1] != '\\') p.root[n++] = '\\';
  p.root[n] = 0;
}

bool add_names(Parts& p, const char16_t* path, int from) {
  for (int i = from, start, n; path_next_name(path, &i, &start, &n);) {
    if (n == 2 && path[start] == '.' && path[start + 1] == '.') {
      p.upward = true;
      if (p.count > 0) --p.count;
      continue;
    }
    if (p.count >= PART_MAX || n >= NAME_CAP) return false;
    p.at[p.count] = path + start;
    p.len[p.count] = n;
    ++p.count;
  }
  return true;
}

// ---- the model's folder ---------------------------------------------------------------

char16_t baseText[CAP];
Parts base;
bool baseOk;

// ---- one look at a link ---------------------------------------------------------------

struct Look {
  PortableState state;
  bool opens;
  char16_t file[CAP];    // the file, absolute, spelled as the disk spells what could be listed
  int relAt;             // inside: where the path below the model's folder starts in file
  int nameAt;            // where the file's name starts in file
};
Look look;
Parts full;

// What one folder's listing says of a name: the entry spelled exactly so, or
// else the first that differs only in letter case.
struct NameSearch {
  const char16_t* name;
  int len;
  int wantDir;  // 1 a folder, 0 a file, -1 either
  bool found, exact, dir;
  char16_t spelled[NAME_CAP];
};

int32_t consider(void* ctx, const DirEntry& e) {
  NameSearch& s = *(NameSearch*)ctx;
  if (s.wantDir >= 0 && e.dir != (s.wantDir == 1)) return DIRWALK_SKIP;
  if (!same_name(s.name, s.len, e.name, e.len)) return DIRWALK_SKIP;
  bool exact = true;
  for (int i = 0; i < e.len && exact; i++) exact = e.name[i] == s.name[i];
  if (s.found && !exact && path_order(e.name, s.spelled, '\\') >= 0) return DIRWALK_SKIP;
  s.found = true;
  s.exact = exact;
  s.dir = e.dir;
  wide_cpy(s.spelled, NAME_CAP, e.name);
  return exact ? DIRWALK_FULL : DIRWALK_KEEP;
}

void find_name(const char16_t* folder, const char16_t* name, int len, int wantDir, NameSearch& s) {
  s.name = name;
  s.len = len;
  s.wantDir = wantDir;
  s.found = s.exact = s.dir = false;
  s.spelled[0] = 0;
  dir_list(folder, consider, &s);
}

bool append_units(char16_t* dst, const char16_t* s, int n) {
  int at = wide_len(dst);
  if (at + n + 2 > CAP) return false;
  for (int i = 0; i < n; i++) dst[at + i] = s[i];
  dst[at + n] = 0;
  return true;
}

// Appends name i of full to look.file as the disk spells it; a name no listing
// shows is appended as written, so that an open can still tell.
bool append_spelled(int i, bool* differs) {
  bool last = i == full.count - 1;
  NameSearch s;
  find_name(look.file, full.at[i], full.len[i], last ? 0 : 1, s);
  if (last) look.nameAt = wide_len(look.file);
  if (s.found && !s.exact) *differs = true;
  bool ok = s.found ? append_units(look.file, s.spelled, wide_len(s.spelled))
                    : append_units(look.file, full.at[i], full.len[i]);
  return ok && (last || append_units(look.file, u"\\", 1));
}

bool append_as_written(int from, int to) {
  for (int i = from; i < to; i++)
    if (!append_units(look.file, full.at[i], full.len[i]) || !append_units(look.file, u"\\", 1)) return false;
  return true;
}

bool opens_file(const char16_t* path) {
  os_file f = os_open_readW(path);
  if (f == OS_BAD_FILE) return false;
  os_close(f);
  return true;
}

bool is_inside() {
  if (full.count <= base.count || wide_len(full.root) != wide_len(base.root) ||
      !same_name(full.root, wide_len(full.root), base.root, wide_len(base.root)))
    return false;
  for (int i = 0; i < base.count; i++)
    if (!same_name(full.at[i], full.len[i], base.at[i], base.len[i])) return false;
  return true;
}

// Resolves a link against the model's folder and the disk; false when it names no file.
bool look_at(const char16_t* link) {
  look.state = PORTABLE_UNSEEN;
  look.opens = false;
  look.relAt = look.nameAt = 0;
  full.count = 0;
  full.upward = false;
  const int rootLen = root_units(link);
  if (rootLen > 0) {
    set_root(full, link, rootLen);
  } else {
    wide_cpy(full.root, CAP, base.root);
    for (int i = 0; i < base.count; i++) {
      full.at[i] = base.at[i];
      full.len[i] = base.len[i];
    }
    full.count = base.count;
  }
  if (!add_names(full, link, rootLen) || full.count == 0) return false;
  const bool inside = is_inside();

  wide_cpy(look.file, CAP, full.root);
  int from = 0;
  if (inside) {
    // The model's folder as given; only the names below it must be the disk's.
    if (!append_as_written(0, base.count)) return false;
    look.relAt = wide_len(look.file);
    from = base.count;
  } else {
    // Outside, only the file's own name matters (its copy keeps it): the folders
    // are spelled from the disk only when the path as written does not open.
    const int last = full.count - 1;
    if (!append_as_written(0, last) || !append_units(look.file, full.at[last], full.len[last])) return false;
    if (opens_file(look.file)) {
      look.file[wide_len(look.file) - full.len[full.count - 1]] = 0;
      from = full.count - 1;
    } else {
      wide_cpy(look.file, CAP, full.root);
    }
  }
  bool differs = false;
  for (int i = from; i < full.count; i++)
    if (!append_spelled(i, &differs)) return false;
  look.opens = opens_file(look.file);
  if (!look.opens) return false;

  if (inside) {
    look.state = rootLen > 0 || full.upward ? PORTABLE_NEEDS_RELATIVE
                 : differs                  ? PORTABLE_NEEDS_CASE
                                            : PORTABLE_FINE;
  } else {
    look.state = linksearch_is_image_name(look.file + look.nameAt) ? PORTABLE_NEEDS_COPY : PORTABLE_NOT_IMAGE;
  }
  return true;
}

// ---- copying a file in ------------------------------------------------------------------

unsigned char blockA[COPY_BLOCK];
unsigned char blockB[COPY_BLOCK];

bool rewind(os_file f) { return os_seek64(f, 0, OS_SEEK_SET) == 0; }

// Reads up to n bytes, fewer only at the end; false on a failed read.
bool read_block(os_file f, unsigned char* buf, uint32_t n, uint32_t* got) {
  *got = 0;
  while (*got < n) {
    uint32_t part = 0;
    if (!os_read(f, buf + *got, n - *got, &part)) return false;
    if (part == 0) break;
    *got += part;
  }
  return true;
}

bool same_bytes(os_file src, const char16_t* path) {
  os_file other = os_open_readW(path);
  if (other == OS_BAD_FILE) return false;
  bool same = os_file_size(src) >= 0 && os_file_size(src) == os_file_size(other) && rewind(src);
  while (same) {
    uint32_t a = 0, b = 0;
    same = read_block(src, blockA, COPY_BLOCK, &a) && read_block(other, blockB, COPY_BLOCK, &b) && a == b;
    for (uint32_t i = 0; same && i < a; i++) same = blockA[i] == blockB[i];
    if (a == 0) break;
  }
  os_close(other);
  return same;
}

// src's bytes into out, which is then on the disk and closed: 0 or the error code.
uint32_t copy_bytes(os_file src, os_file out) {
  uint32_t err = 0;
  if (!rewind(src)) err = os_last_error();
  while (!err) {
    uint32_t got = 0, put = 0;
    if (!read_block(src, blockA, COPY_BLOCK, &got)) {
      err = os_last_error();
      break;
    }
    if (got == 0) break;
    if (!os_write(out, blockA, got, &put) || put != got) {
      err = os_last_error();
      if (!err) err = OS_ERROR_DISK_FULL;
    }
  }
  if (!err && !os_sync(out)) err = os_last_error();
  // A disk may tell of a failed write only at the close.
  if (!os_close(out) && !err) err = os_last_error();
  return err;
}

// name, or "stem (n).ext"; false when it does not fit.
bool numbered(const char16_t* name, int n, char16_t* dst, int cap) {
  if (n == 1) return wide_cpy(dst, cap, name) == wide_len(name);
  int len = wide_len(name), dot = len;
  for (int i = len - 1; i > 0; i--)
    if (name[i] == '.') {
      dot = i;
      break;
    }
  char16_t tag[16];
  char ascii[16];
  int t = 0;
  std::snprintf(ascii, sizeof ascii, " (%d)", n);
  for (; ascii[t]; t++) tag[t] = (char16_t)ascii[t];
  tag[t] = 0;
  if (dot + t + (len - dot) + 1 > cap) return false;
  int at = 0;
  for (int i = 0; i < dot; i++) dst[at++] = name[i];
  for (int i = 0; i < t; i++) dst[at++] = tag[i];
  for (int i = dot; i < len; i++) dst[at++] = name[i];
  dst[at] = 0;
  return true;
}

// The temporary of a copy: its name with '~' for its last character, as outputs have.
void temporary_of(const char16_t* name, char16_t* dst, int cap) {
  int n = wide_cpy(dst, cap, name);
  if (n < 1) return;
  if (n >= 2 && dst[n - 1] >= 0xDC00 && dst[n - 1] < 0xE000 && dst[n - 2] >= 0xD800 && dst[n - 2] < 0xDC00) {
    dst[--n] = 0;
  }
  dst[n - 1] = dst[n - 1] == '~' ? u'_' : u'~';
}

bool joined(char16_t* dst, const char16_t* folder, const char16_t* name) {
  return join_pathW(dst, CAP, folder, name);
}

// ---- the listing of the links made portable ------------------------------------------------

const char16_t* current_link(int k) {
  return pmxModel.texEntryRenewed[k] ? pmxModel.pmxnewtexlistpathW[k] : pmxModel.pmxtexlistpathW[k];
}
const char* current_link_ansi(int k) {
  return pmxModel.texEntryRenewed[k] ? pmxModel.pmxnewtexlistpath[k] : pmxModel.pmxtexlistpath[k];
}

void renew(int k, const char16_t* linkW) {
  wide_cpy(pmxModel.pmxnewtexlistpathW[k], TEXPATH_CAP, linkW);
  wide_to_sjis(pmxModel.pmxnewtexlistpath[k], TEXPATH_CAP, linkW);
  pmxModel.texEntryRenewed[k] = 255;
  pmxModel.texListRenewed = 255;
}

// The summary's words for a failed save, and words of its own for what is no
// system error.
void print_reason(uint32_t err) {
  if (exists_error(err)) return print_by_language(M_PORTABLE_WHY_IN_THE_WAY);
  if (err == PORTABLE_ERROR_NO_FREE_NAME) return print_by_language(M_PORTABLE_WHY_NO_FREE_NAME);
  if (err == PORTABLE_ERROR_LINKED) return print_by_language(M_PORTABLE_WHY_LINKED);
  const MsgId words = save_reason(err);
  if (words == M_SAVE_REASON_CODE)
    con_printf(msg(words), (int)err);
  else
    print_by_language(words);
}

// The copy folder below the model's folder, made when missing; its spelling on
// the disk when it is there in other letter case.
char16_t copyFolder[CAP];

uint32_t copy_in(char16_t* relOut, bool* madeFolder) {
  static const char16_t kFolder[] = PORTABLE_COPY_FOLDER;
  *madeFolder = false;
  // A link could lead anywhere, to a private file under an image's name.
  if (os_is_symlinkW(look.file)) return PORTABLE_ERROR_LINKED;
  NameSearch s;
  find_name(baseText, kFolder, wide_len(kFolder), -1, s);
  const char16_t* folderName = s.found ? s.spelled : kFolder;
  char16_t relFolder[NAME_CAP + 2];
  wide_cpy(relFolder, NAME_CAP + 2, folderName);
  if (!joined(copyFolder, baseText, folderName) || !as_folder(relFolder, NAME_CAP + 2))
    return OS_ERROR_FILENAME_EXCED_RANGE;
  // A file in its place, or a link that would send the copies out of the folder.
  if (s.found && (!s.dir || os_is_symlinkW(copyFolder))) return OS_ERROR_ALREADY_EXISTS;
  if (!s.found) {
    if (!os_make_dirW(copyFolder)) return os_last_error();
    *madeFolder = true;
  }
  if (!as_folder(copyFolder, CAP)) return OS_ERROR_FILENAME_EXCED_RANGE;
  char16_t used[NAME_CAP];
  uint32_t err = portable_copy_into(copyFolder, look.file, look.file + look.nameAt, used, NAME_CAP);
  if (err == 0 && !joined(relOut, relFolder, used)) err = OS_ERROR_FILENAME_EXCED_RANGE;
  return err;
}

}  // namespace

// ---- the phase -----------------------------------------------------------------------------

void portable_begin(ModelState& ms) {
  char16_t dir[CAP];
  if (ms.tex.pmxDirW[0] || !ms.tex.pmxDir[0])
    wide_cpy(dir, CAP, ms.tex.pmxDirW);
  else
    sjis_to_wide(dir, CAP, ms.tex.pmxDir);
  baseOk = false;
  base.count = 0;
  base.upward = false;
  if (root_units(dir) > 0) {
    wide_cpy(baseText, CAP, dir);
  } else {
    uint32_t n = os_current_dirW(baseText, CAP);
    if (n == 0 || n >= CAP || !as_folder(baseText, CAP) || !join_pathW(baseText, CAP, baseText, dir)) return;
  }
  const int rootLen = root_units(baseText);
  if (rootLen == 0) return;
  set_root(base, baseText, rootLen);
  baseOk = add_names(base, baseText, rootLen);
  // The copy folder is joined to this text: the model's folder as written.
  if (baseOk) baseOk = as_folder(baseText, CAP);
}

bool portable_look(ModelState& ms, int k) {
  ModelState::LinkRecord& rec = ms.link[k];
  rec.portable = PORTABLE_UNSEEN;
  rec.portableError = 0;
  const char16_t* link = current_link(k);
  if (!baseOk || !link[0] || linksearch_is_shared_toon(link) || !look_at(link)) return false;
  rec.portable = look.state;
  return true;
}

bool portable_needed(int state) {
  return state == PORTABLE_NEEDS_CASE || state == PORTABLE_NEEDS_RELATIVE || state == PORTABLE_NEEDS_COPY;
}

void portable_print_note(const ModelState& ms, int k) {
  const PortableState state = ms.link[k].portable;
  if (!portable_needed(state) && state != PORTABLE_NOT_IMAGE) return;
  con_printf(" ");
  portable_print_tag(state, 0);
}

void portable_phase(ModelState& ms) {
  ModelState::LinkTally& tally = ms.links;
  bool headed = false;
  for (int k = 0; k < ms.linkCount; ++k) {
    // The writer traces every entry of a renewed table: those kept say what they keep.
    if (!pmxModel.texEntryRenewed[k]) {
      sjis_copy(pmxModel.pmxnewtexlistpath[k], TEXPATH_CAP, pmxModel.pmxtexlistpath[k]);
      wide_cpy(pmxModel.pmxnewtexlistpathW[k], TEXPATH_CAP, pmxModel.pmxtexlistpathW[k]);
    }
    ModelState::LinkRecord& rec = ms.link[k];
    const LinkFate f = rec.fate;
    if (f != FATE_OK && f != FATE_INFERRED && f != FATE_FOUND && f != FATE_PICKED && f != FATE_RESTORED) continue;
    if (!portable_look(ms, k) || rec.portable == PORTABLE_FINE) continue;
    if (!headed) print_by_language(M_PORTABLE_HEADER);
    headed = true;
    con_printf("%d: ", k);
    con_printf_name("%s ", current_link_ansi(k), current_link(k));
    char16_t relW[CAP];
    MsgId tag = M_TAG_PORTABLE_CASE;
    switch (rec.portable) {
      case PORTABLE_NEEDS_CASE:
      case PORTABLE_NEEDS_RELATIVE:
        wide_cpy(relW, CAP, look.file + look.relAt);
        if (rec.portable == PORTABLE_NEEDS_CASE) {
          rec.portable = PORTABLE_MADE_CASE;
          ++tally.portableCase;
        } else {
          tag = M_TAG_PORTABLE_RELATIVE;
          rec.portable = PORTABLE_MADE_RELATIVE;
          ++tally.portableRelative;
        }
        break;
      case PORTABLE_NEEDS_COPY: {
        bool madeFolder = false;
        uint32_t err = copy_in(relW, &madeFolder);
        if (err != 0) {
          // Only a folder made for this copy goes with it, and only while empty.
          if (madeFolder) os_remove_dirW(copyFolder);
          rec.portable = PORTABLE_COPY_FAILED;
          rec.portableError = err;
          ++tally.notPortable;
          print_by_language(M_TAG_PORTABLE_COPY_FAILED);
          print_reason(err);
          con_printf(")\n");
          continue;
        }
        tag = M_TAG_PORTABLE_COPIED;
        rec.portable = PORTABLE_COPIED_IN;
        ++tally.copiedIn;
        break;
      }
      default:  // not an image: never read, never copied
        ++tally.notPortable;
        print_by_language(M_TAG_NOT_PORTABLE_NOT_IMAGE);
        con_printf("\n");
        continue;
    }
    renew(k, relW);
    print_by_language(tag);
    con_printf_name(" => (renew) %s \n", pmxModel.pmxnewtexlistpath[k], pmxModel.pmxnewtexlistpathW[k]);
  }
  if (headed) con_printf("\n");
}

bool portable_print_tag(int state, uint32_t error) {
  MsgId tag;
  switch (state) {
    case PORTABLE_NEEDS_CASE: tag = M_TAG_NOT_PORTABLE_CASE; break;
    case PORTABLE_NEEDS_RELATIVE: tag = M_TAG_NOT_PORTABLE_PATH; break;
    case PORTABLE_NEEDS_COPY: tag = M_TAG_NOT_PORTABLE_OUTSIDE; break;
    case PORTABLE_NOT_IMAGE: tag = M_TAG_NOT_PORTABLE_NOT_IMAGE; break;
    case PORTABLE_MADE_CASE: tag = M_TAG_PORTABLE_CASE; break;
    case PORTABLE_MADE_RELATIVE: tag = M_TAG_PORTABLE_RELATIVE; break;
    case PORTABLE_COPIED_IN: tag = M_TAG_PORTABLE_COPIED; break;
    case PORTABLE_COPY_FAILED:
      print_by_language(M_TAG_PORTABLE_COPY_FAILED);
      print_reason(error);
      con_printf(")");
      return true;
    default: return false;
  }
  print_by_language(tag);
  return true;
}

void portable_count_left(ModelState& ms) {
  for (int k = 0; k < ms.linkCount; ++k) {
    const PortableState s = ms.link[k].portable;
    if (portable_needed(s) || s == PORTABLE_NOT_IMAGE) ++ms.links.notPortable;
  }
}

uint32_t portable_copy_into(const char16_t* folder, const char16_t* src, const char16_t* name, char16_t* used,
                            int cap) {
  os_file in = os_open_readW(src);
  if (in == OS_BAD_FILE) return os_last_error();
  uint32_t err = PORTABLE_ERROR_NO_FREE_NAME;
  char16_t candidate[NAME_CAP], temporary[NAME_CAP], target[CAP], staged[CAP];
  for (int n = 1; n <= NAME_TRIES; n++, err = PORTABLE_ERROR_NO_FREE_NAME) {
    if (!numbered(name, n, candidate, NAME_CAP) || !joined(target, folder, candidate)) {
      err = OS_ERROR_FILENAME_EXCED_RANGE;
      break;
    }
    // A name taken in any letter case is taken: the folder must unpack on
    // systems that ignore case too.
    NameSearch s;
    find_name(folder, candidate, wide_len(candidate), -1, s);
    if (s.found) {
      char16_t there[CAP];
      if (!s.dir && joined(there, folder, s.spelled) && same_bytes(in, there)) {
        if (wide_cpy(used, cap, s.spelled) != wide_len(s.spelled)) {
          err = OS_ERROR_FILENAME_EXCED_RANGE;
          break;
        }
        err = 0;
        break;
      }
      continue;
    }
    temporary_of(candidate, temporary, NAME_CAP);
    find_name(folder, temporary, wide_len(temporary), -1, s);
    if (s.found || !joined(staged, folder, temporary)) continue;
    os_file out = os_create_newW(staged);
    if (out == OS_BAD_FILE) {
      err = os_last_error();
      if (exists_error(err)) continue;
      break;
    }
    err = copy_bytes(in, out);
    if (err == 0 && !os_rename_newW(staged, target)) err = os_last_error();
    if (err != 0) {
      os_removeW(staged);
      if (exists_error(err)) continue;  // taken meanwhile
      break;
    }
    if (wide_cpy(used, cap, candidate) != wide_len(candidate)) err = OS_ERROR_FILENAME_EXCED_RANGE;
    break;
  }
  os_close(in);
  return err;
}
