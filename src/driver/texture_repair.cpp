#include "driver/texture_repair.h"

#include "driver/message_box.h"
#include "platform/console.h"
#include "platform/file_dialog.h"
#include "platform/file_io.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "pmx/model_store.h"
#include "text/sjis.h"

#include <cstdio>
#include <cstring>

namespace {

struct FolderMove {
  char oldFolder[TEXPATH_CAP];
  char16_t oldFolderW[TEXPATH_CAP];
  char newFolder[TEXPATH_CAP];
  char16_t newFolderW[TEXPATH_CAP];
};
// What the user has shown us this run: old texture folder -> folder of the file chosen.
FolderMove texFolderMap[TEX_FOLDER_MAP_MAX];
int texFolderMapCount = 0;

// Per-model working paths; one model at a time, so they live here, not on the stack.
char pmxDir[TEXPATH_CAP];
char16_t pmxDirW[TEXPATH_CAP];
char relBase[TEXPATH_CAP];      // absolute form of pmxDir, for the dialog's answer
char16_t relBaseW[TEXPATH_CAP];
char texFolder[TEXPATH_CAP];
char16_t texFolderW[TEXPATH_CAP];
char texName[TEXPATH_CAP];
char16_t texNameW[TEXPATH_CAP];
char candidate[TEXPATH_CAP];
char16_t candidateW[TEXPATH_CAP];
char chosen[TEXPATH_CAP];
char16_t chosenW[TEXPATH_CAP];
char renewed[TEXPATH_CAP];
char16_t renewedW[TEXPATH_CAP];
char scratch[TEXPATH_CAP];
char16_t scratchW[TEXPATH_CAP];
char title[TEXPATH_CAP + 32];
BoxText box;

int u16len(const char16_t* s) {
  int n = 0;
  while (s[n]) ++n;
  return n;
}

// "Opens": a test open, closed at once.
bool opens(const char* path, const char16_t* pathW) {
  if (path && path[0] && rfprobe(path) == 0) {
    rfclose();
    return true;
  }
  if (pathW && pathW[0] && rfprobeW(pathW) == 0) {
    rfclose();
    return true;
  }
  return false;
}

bool is_absolute(const char* p) { return p[0] == '\\' || (p[0] && p[1] == ':'); }
bool is_absoluteW(const char16_t* p) { return p[0] == u'\\' || (p[0] && p[1] == u':'); }

// The dialog answers with an absolute path; a model named by a relative path
// has a relative (or empty) pmxDir, so the answer is made relative to the
// current folder joined with it, never stored absolute by accident.
void make_rel_base() {
  if (is_absolute(pmxDir)) {
    sjis_copy(relBase, sizeof relBase, pmxDir);
  } else {
    char cwd[PATHBUF_CAP];
    relBase[0] = 0;
    uint32_t n = os_current_dirA(cwd, sizeof cwd);
    if (n > 0 && n < sizeof cwd) {
      if (cwd[n - 1] != '\\' && n + 1 < sizeof cwd) { cwd[n] = '\\'; cwd[n + 1] = 0; }
      if (!join_path(relBase, sizeof relBase, cwd, pmxDir)) relBase[0] = 0;
    }
    if (!relBase[0]) sjis_copy(relBase, sizeof relBase, pmxDir);
  }
  if (is_absoluteW(pmxDirW)) {
    wide_cpy(relBaseW, TEXPATH_CAP, pmxDirW);
  } else {
    char16_t cwd[PATHBUF_CAP];
    relBaseW[0] = 0;
    uint32_t n = os_current_dirW(cwd, PATHBUF_CAP);
    if (n > 0 && n < PATHBUF_CAP) {
      if (cwd[n - 1] != u'\\' && n + 1 < PATHBUF_CAP) { cwd[n] = u'\\'; cwd[n + 1] = 0; }
      if (!join_pathW(relBaseW, TEXPATH_CAP, cwd, pmxDirW)) relBaseW[0] = 0;
    }
    if (!relBaseW[0]) wide_cpy(relBaseW, TEXPATH_CAP, pmxDirW);
  }
}

// Is this the "expected path" (pmxDir + stored) present in either form?
bool stored_path_opens(int k) {
  bool a = join_path(candidate, sizeof candidate, pmxDir, pmxModel.pmxtexlistpath[k]);
  bool w = join_pathW(candidateW, TEXPATH_CAP, pmxDirW, pmxModel.pmxtexlistpathW[k]);
  return opens(a ? candidate : nullptr, w ? candidateW : nullptr);
}

void add_int_line(BoxText* b, const char* fmt, int value) {
  char line[128];
  std::snprintf(line, sizeof line, fmt, value);
  box_add(b, line);
}

// " %s \r\n" with a name in both forms.
void add_name_line(BoxText* b, const char* name, const char16_t* nameW) {
  box_add(b, " ");
  box_add_name(b, name, nameW);
  box_add(b, " \r\n");
}

// The Yes / No / Cancel question; returns the broken count after the answer,
// or -1 for Cancel.
int ask_to_repair(int broken, const char* diskName, const char16_t* diskNameW, bool useWide) {
  box_clear(&box);
  if (japanese_mode()) {
    box_add(&box, " \x83\x82\x83" "f\x83\x8B\x81" "F \r\n");  // モデル：
    add_name_line(&box, diskName, diskNameW);
    box_add(&box, " \x92\x86\x82\xCC \r\n");  // 中の
    // 個のテクスチャへのリンクが
    add_int_line(&box, " %d \x8C\xC2\x82\xCC\x83" "e\x83N\x83X\x83`\x83\x83\x82\xD6\x82\xCC"
                       "\x83\x8A\x83\x93\x83N\x82\xAA \r\n", broken);
    // 破損している模様です.
    box_add(&box, " \x94j\x91\xB9\x82\xB5\x82\xC4\x82\xA2\x82\xE9\x96\xCD\x97l\x82\xC5\x82\xB7. \r\n");
    box_add(&box, " \r\n");
    // 修復しますか？
    box_add(&box, " \x8F" "C\x95\x9C\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81H (Y/N/Cancel) \r\n");
  } else {
    box_add(&box, " Broken settings of \r\n");
    add_int_line(&box, " %d texture link(s) are found. \r\n", broken);
    box_add(&box, " \r\n");
    box_add(&box, " Do you like to fix them?  (Y/N/Cancel) \r\n");
  }
  int answer = box_show(&box, OS_MB_YESNOCANCEL | OS_MB_ICONINFORMATION | OS_MB_TOPMOST, useWide);
  if (answer == OS_IDYES) {
    con_printf(" => YES \n");
  } else if (answer == OS_IDNO) {
    con_printf(" => NO \n");
    broken = 0;
  } else if (answer == OS_IDCANCEL) {
    con_printf(" => Cancel \n");
    return -1;
  }
  con_printf("\n");
  return broken;
}

// The not-found box; false when the user cancelled.
bool tell_not_found(bool useWide) {
  box_clear(&box);
  if (japanese_mode()) {
    // テクスチャ/トゥーン/スフィア:
    box_add(&box, " \x83" "e\x83N\x83X\x83`\x83\x83/\x83g\x83" "D\x81[\x83\x93/\x83X\x83t\x83"
                  "B\x83" "A: \r\n");
    box_add(&box, " \r\n");
    box_add(&box, " \x83t\x83H\x83\x8B\x83_ ");  // フォルダ
    box_add_name(&box, texFolder, texFolderW);
    box_add(&box, " \x93\xE0\x82\xC9\x81" "A \r\n");  // 内に、
    add_name_line(&box, texName, texNameW);
    box_add(&box, " \r\n");
    // が見つからないため、
    box_add(&box, " \x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE7\x82\xC8\x82\xA2\x82\xBD\x82\xDF\x81"
                  "A \r\n");
    // 次のダイアログで探します。 (続行:OK)
    box_add(&box, " \x8E\x9F\x82\xCC\x83_\x83" "C\x83" "A\x83\x8D\x83O\x82\xC5\x92T\x82\xB5\x82\xDC"
                  "\x82\xB7\x81" "B (\x91\xB1\x8Ds:OK) \r\n");
  } else {
    box_add(&box, " Texture, toon, or sphere: \r\n");
    box_add(&box, " \r\n");
    add_name_line(&box, texName, texNameW);
    box_add(&box, "   in folder: ");
    box_add_name(&box, texFolder, texFolderW);
    box_add(&box, " \r\n");
    box_add(&box, " \r\n");
    box_add(&box, " was not found.  \r\n");
    box_add(&box, " Please select it on the next dialogue. (continue:OK) \r\n");
  }
  con_printf("\n");
  int answer = box_show(&box, OS_MB_OKCANCEL | OS_MB_ICONINFORMATION | OS_MB_TOPMOST, useWide);
  if (answer == OS_IDCANCEL) {
    con_printf(" => Cancel \n");
    return false;
  }
  if (answer == OS_IDOK) con_printf(" => OK \n");
  return true;
}

void print_inferred_tag() {
  static const char tagJa[] = "(\x97\xDE\x90\x84\x82\xB5\x82\xDC\x82\xB5\x82\xBD)";  // (類推しました)
  if (japanese_mode()) {
    con_printf("%s", tagJa);
  } else if (Lang.japanese && Lang.utf8Console) {
    char utf8[64];
    sjis_to_utf8(utf8, sizeof utf8, tagJa);
    con_printf("%s", utf8);
  } else {
    con_printf("(inferred)");
  }
}

// Tries the learned moves in learning order; true with renewed/renewedW set.
bool infer() {
  for (int i = 0; i < texFolderMapCount; ++i) {
    const FolderMove& m = texFolderMap[i];
    if (std::strcmp(m.oldFolder, texFolder) != 0 && wide_eq(m.oldFolderW, texFolderW) != 0) continue;
    bool a = join_path(scratch, sizeof scratch, pmxDir, m.newFolder) &&
             join_path(candidate, sizeof candidate, scratch, texName);
    bool w = join_pathW(scratchW, TEXPATH_CAP, pmxDirW, m.newFolderW) &&
             join_pathW(candidateW, TEXPATH_CAP, scratchW, texNameW);
    if (!opens(a ? candidate : nullptr, w ? candidateW : nullptr)) continue;
    // The candidate is pmxDir-based, so pmxDir itself is the right base here.
    if (a) relpath(renewed, sizeof renewed, candidate, pmxDir);
    if (w) relpathW(renewedW, TEXPATH_CAP, candidateW, pmxDirW);
    if (!a) wide_to_sjis(renewed, sizeof renewed, renewedW);
    if (!w) sjis_to_wide(renewedW, TEXPATH_CAP, renewed);
    print_inferred_tag();
    con_printf(" => (renew) %s ", renewed);
    return true;
  }
  return false;
}

// Not-found box, dialog, renewal and learning. false: the repair is abandoned.
bool ask_for_file(int k, bool useWide) {
  if (!tell_not_found(useWide)) return false;
  int got;
  chosen[0] = 0;
  chosenW[0] = 0;
  if (useWide) {
    if (!join_pathW(candidateW, TEXPATH_CAP, pmxDirW, pmxModel.pmxtexlistpathW[k]))
      wide_cpy(candidateW, TEXPATH_CAP, pmxModel.pmxtexlistpathW[k]);
    got = openfiledlgW(chosenW, TEXPATH_CAP, 0, pmxDirW, candidateW);
    if (got == 0) wide_to_sjis(chosen, sizeof chosen, chosenW);
  } else {
    std::snprintf(title, sizeof title, "Searching for:  ");
    sjis_append(title, sizeof title, pmxModel.pmxtexlistpath[k]);
    got = openfiledlg(chosen, sizeof chosen, 0, pmxDir, title);
    if (got == 0) sjis_to_wide(chosenW, TEXPATH_CAP, chosen);
  }
  if (got != 0 || !opens(chosen, chosenW)) {
    if (got != 0) chosen[0] = 0;
    con_printf("\nCannot find tex(%d) again: %s \n", k, chosen);
    return false;
  }
  relpath(renewed, sizeof renewed, chosen, relBase);
  relpathW(renewedW, TEXPATH_CAP, chosenW, relBaseW);
  con_printf("\n => (renew) %s ", renewed);
  dirpart(scratch, sizeof scratch, renewed);
  dirpartW(scratchW, TEXPATH_CAP, renewedW);
  texfoldermap_learn(texFolder, texFolderW, scratch, scratchW);
  return true;
}

}  // namespace

bool join_path(char* dst, int cap, const char* folder, const char* rest) {
  size_t a = std::strlen(folder), b = std::strlen(rest);
  if (cap <= 0 || a + b + 1 > (size_t)cap) {
    if (cap > 0) dst[0] = 0;
    return false;
  }
  std::memmove(dst, folder, a);
  std::memmove(dst + a, rest, b + 1);
  return true;
}

bool join_pathW(char16_t* dst, int cap, const char16_t* folder, const char16_t* rest) {
  int a = u16len(folder), b = u16len(rest);
  if (cap <= 0 || a + b + 1 > cap) {
    if (cap > 0) dst[0] = 0;
    return false;
  }
  std::memmove(dst, folder, a * sizeof(char16_t));
  std::memmove(dst + a, rest, (b + 1) * sizeof(char16_t));
  return true;
}

int texfoldermap_count() { return texFolderMapCount; }

bool texfoldermap_get(int i, const char** oldFolder, const char** newFolder) {
  if (i < 0 || i >= texFolderMapCount) return false;
  *oldFolder = texFolderMap[i].oldFolder;
  *newFolder = texFolderMap[i].newFolder;
  return true;
}

void texfoldermap_reset() { texFolderMapCount = 0; }

bool texfoldermap_learn(const char* oldFolder, const char16_t* oldFolderW,
                        const char* newFolder, const char16_t* newFolderW) {
  if (texFolderMapCount >= TEX_FOLDER_MAP_MAX) return false;
  FolderMove& m = texFolderMap[texFolderMapCount];
  if (!join_path(m.oldFolder, TEXPATH_CAP, oldFolder, "") ||
      !join_path(m.newFolder, TEXPATH_CAP, newFolder, "") ||
      !join_pathW(m.oldFolderW, TEXPATH_CAP, oldFolderW, u"") ||
      !join_pathW(m.newFolderW, TEXPATH_CAP, newFolderW, u""))
    return false;
  ++texFolderMapCount;
  return true;
}

TexturePhase texture_phase(const char* modelPath, const char16_t* modelPathW,
                           const char* diskName, const char16_t* diskNameW,
                           bool ansiPathUnusable, bool widePathUnusable) {
  TexturePhase r = {0, 0, false};
  bool useWide = ansiPathUnusable && !widePathUnusable;
  int count = pmxModel.texListCount;
  if (count < 0) count = 0;
  if (count > TEX_MAX) count = TEX_MAX;

  // Check.
  dirpart(pmxDir, sizeof pmxDir, modelPath ? modelPath : "");
  dirpartW(pmxDirW, TEXPATH_CAP, modelPathW ? modelPathW : u"");
  con_printf("pmx dir: %s \n", pmxDir);
  int broken = 0;
  for (int k = 0; k < count; ++k) {
    con_printf("%d: %s ", k, pmxModel.pmxtexlistpath[k]);
    if (stored_path_opens(k)) {
      con_printf("(ok)");
    } else {
      con_printf("(=NG=)");
      ++broken;
    }
    con_printf("\n");
  }
  con_printf("\n");
  r.brokenLinkTotal = broken;

  // Question.
  if (broken >= 1) {
    broken = ask_to_repair(broken, diskName ? diskName : "", diskNameW ? diskNameW : u"", useWide);
    if (broken < 0) {
      r.endRun = true;
      return r;
    }
  }
  r.brokenLinkCount = broken;
  if (broken < 1) return r;

  // Repair.
  make_rel_base();
  con_printf("--- \n");
  for (int k = 0; k < count; ++k) {
    con_printf("%d: %s ", k, pmxModel.pmxtexlistpath[k]);
    sjis_copy(pmxModel.pmxnewtexlistpath[k], TEXPATH_CAP, pmxModel.pmxtexlistpath[k]);
    wide_cpy(pmxModel.pmxnewtexlistpathW[k], TEXPATH_CAP, pmxModel.pmxtexlistpathW[k]);
    pmxModel.texEntryRenewed[k] = 0;
    if (stored_path_opens(k)) {
      con_printf("(ok)");
      con_printf("\n");
      continue;
    }
    dirpart(texFolder, sizeof texFolder, pmxModel.pmxtexlistpath[k]);
    dirpartW(texFolderW, TEXPATH_CAP, pmxModel.pmxtexlistpathW[k]);
    namepart(texName, sizeof texName, pmxModel.pmxtexlistpath[k]);
    namepartW(texNameW, TEXPATH_CAP, pmxModel.pmxtexlistpathW[k]);
    if (!infer() && !ask_for_file(k, useWide)) {
      // Later textures are not visited and nothing is saved for this model.
      con_printf("\n");
      r.endRun = true;
      return r;
    }
    sjis_copy(pmxModel.pmxnewtexlistpath[k], TEXPATH_CAP, renewed);
    wide_cpy(pmxModel.pmxnewtexlistpathW[k], TEXPATH_CAP, renewedW);
    pmxModel.texEntryRenewed[k] = 255;
    pmxModel.texListRenewed = 255;
    con_printf("\n");
  }
  con_printf("\n");
  return r;
}
