#include "driver/texture_repair.h"

#include "driver/message_box.h"
#include "driver/messages.h"
#include "driver/model_state.h"
#include "driver/portable.h"
#include "driver/restore_names.h"
#include "driver/run_settings.h"
#include "platform/console.h"
#include "platform/file_dialog.h"
#include "platform/file_io.h"
#include "platform/os.h"
#include "platform/paths.h"
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

template <typename C>
bool is_absolute(const C* p) {
  return p[0] == '\\' || (p[0] && p[1] == ':');
}

uint32_t current_dir(char* buf, uint32_t cap) { return os_current_dirA(buf, cap); }
uint32_t current_dir(char16_t* buf, uint32_t cap) { return os_current_dirW(buf, cap); }
void copy_path(char* dst, int cap, const char* src) { sjis_copy(dst, cap, src); }
void copy_path(char16_t* dst, int cap, const char16_t* src) { wide_cpy(dst, cap, src); }
bool join(char* dst, int cap, const char* folder, const char* rest) { return join_path(dst, cap, folder, rest); }
bool join(char16_t* dst, int cap, const char16_t* folder, const char16_t* rest) {
  return join_pathW(dst, cap, folder, rest);
}

// The dialog answers with an absolute path; a model named by a relative path
// has a relative (or empty) folder, so the answer is made relative to the
// current folder joined with it, never stored absolute by accident.
template <typename C>
void rel_base_of(C* base, const C* modelDir) {
  if (is_absolute(modelDir)) {
    copy_path(base, TEXPATH_CAP, modelDir);
    return;
  }
  C cwd[PATHBUF_CAP];
  base[0] = 0;
  uint32_t n = current_dir(cwd, PATHBUF_CAP);
  if (n > 0 && n < PATHBUF_CAP) {
    if (cwd[n - 1] != '\\' && n + 1 < PATHBUF_CAP) {
      cwd[n] = '\\';
      cwd[n + 1] = 0;
    }
    if (!join(base, TEXPATH_CAP, cwd, modelDir)) base[0] = 0;
  }
  if (!base[0]) copy_path(base, TEXPATH_CAP, modelDir);
}

void make_rel_base(TextureWork& tw) {
  rel_base_of(tw.relBase, tw.pmxDir);
  rel_base_of(tw.relBaseW, tw.pmxDirW);
}

// "k: path " of a link as stored.
void print_link(int k) {
  con_printf("%d: ", k);
  con_name(pmxModel.pmxtexlistpath[k], pmxModel.pmxtexlistpathW[k]);
  con_printf(" ");
}

// Is this the "expected path" (model folder + stored) present in either form?
bool stored_path_opens(TextureWork& tw, int k) {
  bool a = join_path(tw.candidate, sizeof tw.candidate, tw.pmxDir, pmxModel.pmxtexlistpath[k]);
  bool w = join_pathW(tw.candidateW, TEXPATH_CAP, tw.pmxDirW, pmxModel.pmxtexlistpathW[k]);
  return opens(a ? tw.candidate : nullptr, w ? tw.candidateW : nullptr);
}

enum Answer { ANSWER_CANCEL = -1, ANSWER_NO = 0, ANSWER_YES = 1 };

// The Yes / No / Cancel question about the broken links and, with -P, the links
// that are not portable. Any other answer counts as Yes, without an echo.
Answer ask_to_repair(BoxText& box, int broken, int notPortable, const char* diskName, const char16_t* diskNameW,
                     bool useWide) {
  char count[16], more[16];
  std::snprintf(count, sizeof count, "%d", broken);
  std::snprintf(more, sizeof more, "%d", notPortable);
  box_clear(&box);
  if (notPortable < 1)
    box_add_msg(&box, M_REPAIR_QUESTION_BOX, {{diskName, diskNameW}, {count, nullptr}});
  else if (broken < 1)
    box_add_msg(&box, M_PORTABLE_QUESTION_BOX, {{diskName, diskNameW}, {more, nullptr}});
  else
    box_add_msg(&box, M_PORTABLE_REPAIR_QUESTION_BOX, {{diskName, diskNameW}, {count, nullptr}, {more, nullptr}});
  int answer = box_show(&box, OS_MB_YESNOCANCEL | OS_MB_ICONINFORMATION | OS_MB_TOPMOST, useWide);
  Answer a = ANSWER_YES;
  if (answer == OS_IDYES) {
    con_printf(" => YES \n");
  } else if (answer == OS_IDNO) {
    con_printf(" => NO \n");
    a = ANSWER_NO;
  } else if (answer == OS_IDCANCEL) {
    con_printf(" => Cancel \n");
    return ANSWER_CANCEL;
  }
  con_printf("\n");
  return a;
}

bool searching() { return Auto.search >= 1; }
bool portable() { return Portable.mode >= 1; }

// The not-found box; false when the user cancelled.
bool tell_not_found(ModelState& ms, bool useWide) {
  const TextureWork& tw = ms.tex;
  BoxText& box = ms.box;
  box_clear(&box);
  box_add_msg(&box, M_NOT_FOUND_BOX, {{tw.texFolder, tw.texFolderW}, {tw.texName, tw.texNameW}});
  if (searching()) box_add_msg(&box, M_NOT_FOUND_BOX_LEAVE);
  con_printf("\n");
  int answer = box_show(&box, OS_MB_OKCANCEL | OS_MB_ICONINFORMATION | OS_MB_TOPMOST, useWide);
  if (answer == OS_IDCANCEL) {
    con_printf(" => Cancel \n");
    return false;
  }
  if (answer == OS_IDOK) con_printf(" => OK \n");
  return true;
}

// Tags of the automatic search, in the order of LinkRule; then with the count
// of candidates, for a choice among several.
const MsgId kFoundTags[] = {M_TAG_FOUND_CASE, M_TAG_FOUND_MOVED, M_TAG_FOUND_CONVERTED, M_TAG_FOUND_MANGLED};
const MsgId kFoundCountTags[] = {M_TAG_FOUND_CASE_COUNT, M_TAG_FOUND_MOVED_COUNT, M_TAG_FOUND_CONVERTED_COUNT,
                                 M_TAG_FOUND_MANGLED_COUNT};
static_assert(sizeof kFoundTags / sizeof kFoundTags[0] == LINK_RULE_MANGLED - LINK_RULE_CASE + 1, "one tag per rule");
static_assert(sizeof kFoundCountTags == sizeof kFoundTags, "one counted tag per rule");

// A link the viewer fills from its own folder when the file is absent: listed
// with its tag and kept as stored.
bool shared_toon_kept(int k) {
  if ((!searching() && !portable()) || !linksearch_is_shared_toon(pmxModel.pmxtexlistpathW[k])) return false;
  print_by_language(M_TAG_SHARED_TOON);
  return true;
}

// Does this name survive the trip to Shift-JIS? Names that do not (Hangul,
// emoji, an unpacker's mangling) can only be reached by their UTF-16 form.
bool fits_cp932(const char16_t* w) {
  char sjis[TEXPATH_CAP * 2];
  int taken = wide_to_sjis(sjis, (int)sizeof sjis, w);
  if (taken < wide_len(w)) return false;
  int before = 0, after = 0;
  for (int i = 0; w[i]; ++i) before += w[i] == '?';
  for (int i = 0; sjis[i]; ++i) after += sjis[i] == '?';
  return before == after;
}

// Nothing is saved for a model whose repair did not finish: its broken links all stay so.
// Files already moved back (-R) stay so, and their links with them.
void tally_unfinished(ModelState& ms, int checkedOk, int brokenTotal) {
  ModelState::LinkTally& tally = ms.links;
  int sharedToon = tally.sharedToon;
  int restored = restore_links_moved(ms);
  std::memset(&tally, 0, sizeof tally);
  tally.ok = checkedOk;
  tally.sharedToon = sharedToon;
  tally.restored = restored;
  tally.leftBroken = brokenTotal - restored;
}

// Tries the learned moves in learning order; true with the renewed paths set.
bool infer(ModelState& ms, int k) {
  TextureWork& tw = ms.tex;
  for (int i = 0; i < texFolderMapCount; ++i) {
    const FolderMove& m = texFolderMap[i];
    if (std::strcmp(m.oldFolder, tw.texFolder) != 0 && wide_eq(m.oldFolderW, tw.texFolderW) != 0) continue;
    bool a = join_path(tw.scratch, sizeof tw.scratch, tw.pmxDir, m.newFolder) &&
             join_path(tw.candidate, sizeof tw.candidate, tw.scratch, tw.texName);
    bool w = join_pathW(tw.scratchW, TEXPATH_CAP, tw.pmxDirW, m.newFolderW) &&
             join_pathW(tw.candidateW, TEXPATH_CAP, tw.scratchW, tw.texNameW);
    if (!opens(a ? tw.candidate : nullptr, w ? tw.candidateW : nullptr)) continue;
    // The candidate is based on the model folder, so that folder itself is the right base here.
    if (a) relpath(tw.renewed, sizeof tw.renewed, tw.candidate, tw.pmxDir);
    if (w) relpathW(tw.renewedW, TEXPATH_CAP, tw.candidateW, tw.pmxDirW);
    if (!a) wide_to_sjis(tw.renewed, sizeof tw.renewed, tw.renewedW);
    if (!w) sjis_to_wide(tw.renewedW, TEXPATH_CAP, tw.renewed);
    print_by_language(M_TAG_INFERRED);
    con_printf_name(" => (renew) %s ", tw.renewed, tw.renewedW);
    ++ms.links.inferred;
    ms.link[k].fate = FATE_INFERRED;
    return true;
  }
  return false;
}

// The automatic search; true with the renewed paths set as a pick sets them.
bool search_link(ModelState& ms, int k) {
  TextureWork& tw = ms.tex;
  LinkRule rule = linksearch_find(pmxModel.pmxtexlistpathW[k], &tw.found);
  ms.link[k].candidates = tw.found.candidates;
  ms.link[k].rejected = tw.found.rejected;
  if (rule == LINK_RULE_NONE) return false;
  wide_cpy(tw.renewedW, TEXPATH_CAP, tw.found.pathW);
  wide_to_sjis(tw.renewed, sizeof tw.renewed, tw.renewedW);
  bool exactOnly = !fits_cp932(tw.renewedW);
  bool a = !exactOnly && join_path(tw.candidate, sizeof tw.candidate, tw.pmxDir, tw.renewed);
  bool w = (tw.pmxDirW[0] || !tw.pmxDir[0]) && join_pathW(tw.candidateW, TEXPATH_CAP, tw.pmxDirW, tw.renewedW);
  if (!opens(a ? tw.candidate : nullptr, w ? tw.candidateW : nullptr)) return false;
  if (tw.found.candidates > 1)
    print_by_language(kFoundCountTags[rule - LINK_RULE_CASE], tw.found.candidates);
  else
    print_by_language(kFoundTags[rule - LINK_RULE_CASE]);
  con_printf_name(" => (renew) %s ", tw.renewed, tw.renewedW);
  ++ms.links.found[rule];
  ms.link[k].fate = FATE_FOUND;
  ms.link[k].rule = rule;
  if (tw.found.teachesMove) {
    dirpart(tw.scratch, sizeof tw.scratch, tw.renewed);
    dirpartW(tw.scratchW, TEXPATH_CAP, tw.renewedW);
    texfoldermap_learn(tw.texFolder, tw.texFolderW, tw.scratch, tw.scratchW);
  }
  return true;
}

// What the search has to say below the link it just looked for, each on a
// line of its own: a file it would not take, and once per model the bound
// that stopped its listing.
void say_search_notes(ModelState& ms) {
  TextureWork& tw = ms.tex;
  if (tw.found.rejected == LINK_REJECT_OTHER_MODEL) {
    wide_to_sjis(tw.candidate, sizeof tw.candidate, tw.found.rejectedW);
    wide_to_sjis(tw.scratch, sizeof tw.scratch, tw.found.otherModelW);
    con_printf("\n");
    // Two names: the text is printed in two pieces of one name each.
    const char* text = msg(M_SEARCH_OTHER_MODEL);
    const char* second = std::strstr(text, "%s");
    second = second ? std::strstr(second + 2, "%s") : nullptr;
    char first[256];
    int n = second ? (int)(second - text) : 0;
    if (n > 0 && n < (int)sizeof first) {
      std::memcpy(first, text, (size_t)n);
      first[n] = 0;
      con_printf_name(first, tw.candidate, tw.found.rejectedW);
      con_printf_name(second, tw.scratch, tw.found.otherModelW);
    }
  }
  if (!linksearch_walk_bounds() || ms.searchCutSaid) return;
  ms.searchCutSaid = true;
  char line[512];
  search_cut_text(line, (int)sizeof line);
  con_printf("\n%s", line);
}

enum AskResult { ASK_RENEWED, ASK_LEFT, ASK_ABANDONED };

// Not-found box, dialog, renewal and learning.
AskResult ask_for_file(ModelState& ms, int k, bool useWide) {
  TextureWork& tw = ms.tex;
  if (!tell_not_found(ms, useWide)) return ASK_ABANDONED;
  int got;
  tw.chosen[0] = 0;
  tw.chosenW[0] = 0;
  if (useWide) {
    if (!join_pathW(tw.candidateW, TEXPATH_CAP, tw.pmxDirW, pmxModel.pmxtexlistpathW[k]))
      wide_cpy(tw.candidateW, TEXPATH_CAP, pmxModel.pmxtexlistpathW[k]);
    got = openfiledlgW(tw.chosenW, TEXPATH_CAP, DLG_KIND_ALL_FILES, tw.pmxDirW, tw.candidateW);
    if (got == 0) wide_to_sjis(tw.chosen, sizeof tw.chosen, tw.chosenW);
  } else {
    std::snprintf(tw.title, sizeof tw.title, "Searching for:  ");
    sjis_append(tw.title, sizeof tw.title, pmxModel.pmxtexlistpath[k]);
    // The exact UTF-16 answer comes along for names the ANSI answer cannot hold.
    got = openfiledlg(tw.chosen, sizeof tw.chosen, DLG_KIND_ALL_FILES, tw.pmxDir, tw.title, tw.chosenW,
                      TEXPATH_CAP);
    if (got == 0) {
      if (tw.chosenW[0] && !fits_cp932(tw.chosenW))
        wide_to_sjis(tw.chosen, sizeof tw.chosen, tw.chosenW);
      else
        sjis_to_wide(tw.chosenW, TEXPATH_CAP, tw.chosen);
    }
  }
  // With the search, a file that is gone costs only its own link.
  if (got != 0 && searching()) {
    con_printf("\n => ");
    print_by_language(M_TAG_LEFT_BROKEN);
    con_printf(" ");
    return ASK_LEFT;
  }
  // The ANSI form of such a name is only a likeness of it: never open by it.
  bool exactOnly = got == 0 && !fits_cp932(tw.chosenW);
  if (got != 0 || !opens(exactOnly ? nullptr : tw.chosen, tw.chosenW)) {
    if (got != 0) tw.chosen[0] = 0;
    con_printf("\nCannot find tex(%d) again: ", k);
    con_name(tw.chosen, got == 0 ? tw.chosenW : nullptr);
    con_printf(" \n");
    return ASK_ABANDONED;
  }
  relpath(tw.renewed, sizeof tw.renewed, tw.chosen, tw.relBase);
  relpathW(tw.renewedW, TEXPATH_CAP, tw.chosenW, tw.relBaseW);
  con_printf_name("\n => (renew) %s ", tw.renewed, tw.renewedW);
  dirpart(tw.scratch, sizeof tw.scratch, tw.renewed);
  dirpartW(tw.scratchW, TEXPATH_CAP, tw.renewedW);
  texfoldermap_learn(tw.texFolder, tw.texFolderW, tw.scratch, tw.scratchW);
  ++ms.links.picked;
  ms.link[k].fate = FATE_PICKED;
  return ASK_RENEWED;
}

}  // namespace

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

void texture_phase(ModelState& ms) {
  TextureWork& tw = ms.tex;
  ModelState::LinkTally& tally = ms.links;
  TexturePhase& r = ms.texture;
  r = TexturePhase();
  bool useWide = ms.ansiPathUnusable && !ms.widePathUnusable;
  int count = pmxModel.texListCount;
  if (count < 0) count = 0;
  if (count > TEX_MAX) count = TEX_MAX;

  // Check.
  dirpart(tw.pmxDir, sizeof tw.pmxDir, ms.ansiPath);
  dirpartW(tw.pmxDirW, TEXPATH_CAP, ms.widePath);
  con_printf_name("pmx dir: %s \n", tw.pmxDir, tw.pmxDirW);
  if (searching() || Restore.names >= 1) {
    if (tw.pmxDirW[0] || !tw.pmxDir[0])
      wide_cpy(tw.modelDirW, TEXPATH_CAP, tw.pmxDirW);
    else
      sjis_to_wide(tw.modelDirW, TEXPATH_CAP, tw.pmxDir);
    linksearch_begin(tw.modelDirW);
  }
  if (portable()) portable_begin(ms);
  int broken = 0;
  int notPortable = 0;
  ms.linkCount = count;
  for (int k = 0; k < count; ++k) {
    print_link(k);
    // -P counts a file that opens only when letter case is ignored, or by an absolute path, as there.
    bool there = stored_path_opens(tw, k);
    if (portable()) there = portable_look(ms, k) || there;
    if (there) {
      con_printf("(ok)");
      ++tally.ok;
      ms.link[k].fate = FATE_OK;
      if (portable()) portable_print_note(ms, k);
      if (portable_needed(ms.link[k].portable)) ++notPortable;
    } else if (shared_toon_kept(k)) {
      ++tally.sharedToon;
      ms.link[k].fate = FATE_SHARED_TOON;
    } else {
      con_printf("(=NG=)");
      ++broken;
      ms.link[k].fate = FATE_BROKEN;
    }
    con_printf("\n");
  }
  con_printf("\n");
  r.brokenLinkTotal = broken;
  const int checkedOk = tally.ok;

  // Question.
  r.portableNeeded = notPortable;
  if (broken >= 1 || notPortable >= 1) {
    Answer a = ask_to_repair(ms.box, broken, notPortable, ms.diskName, ms.diskNameW, useWide);
    if (a == ANSWER_CANCEL) {
      tally_unfinished(ms, checkedOk, r.brokenLinkTotal);
      r.endRun = true;
      return;
    }
    if (a == ANSWER_NO) broken = 0;
    r.makePortable = portable() && a == ANSWER_YES;
    r.portableDeclined = notPortable >= 1 && a == ANSWER_NO;
  }
  r.brokenLinkCount = broken;
  if (broken < 1) {
    tally.leftBroken = r.brokenLinkTotal;
    return;
  }

  // Repair.
  make_rel_base(tw);
  restore_names(ms, useWide);
  con_printf("--- \n");
  tally.ok = 0;
  for (int k = 0; k < count; ++k) {
    print_link(k);
    sjis_copy(pmxModel.pmxnewtexlistpath[k], TEXPATH_CAP, pmxModel.pmxtexlistpath[k]);
    wide_cpy(pmxModel.pmxnewtexlistpathW[k], TEXPATH_CAP, pmxModel.pmxtexlistpathW[k]);
    pmxModel.texEntryRenewed[k] = 0;
    if (restore_list_link(ms, k)) continue;
    if (stored_path_opens(tw, k) || (portable() && portable_look(ms, k))) {
      con_printf("(ok)");
      con_printf("\n");
      ++tally.ok;
      ms.link[k].fate = FATE_OK;
      continue;
    }
    if (shared_toon_kept(k)) {
      con_printf("\n");
      continue;
    }
    dirpart(tw.texFolder, sizeof tw.texFolder, pmxModel.pmxtexlistpath[k]);
    dirpartW(tw.texFolderW, TEXPATH_CAP, pmxModel.pmxtexlistpathW[k]);
    namepart(tw.texName, sizeof tw.texName, pmxModel.pmxtexlistpath[k]);
    namepartW(tw.texNameW, TEXPATH_CAP, pmxModel.pmxtexlistpathW[k]);
    bool repaired = infer(ms, k);
    const bool searched = !repaired && searching();
    if (searched) repaired = search_link(ms, k);
    const bool nobodyToAsk = !repaired && Auto.answer != 0;
    if (nobodyToAsk) print_by_language(M_TAG_LEFT_BROKEN);
    if (searched) say_search_notes(ms);
    AskResult asked = repaired ? ASK_RENEWED : nobodyToAsk ? ASK_LEFT : ask_for_file(ms, k, useWide);
    if (asked == ASK_LEFT) {
      // The link stays as stored and the repair goes on.
      con_printf("\n");
      restore_print_reason(ms, k);
      ++tally.leftBroken;
      ++r.leftGoingOn;
      ms.link[k].fate = FATE_LEFT_BROKEN;
      continue;
    }
    if (asked == ASK_ABANDONED) {
      // Later textures are not visited and nothing is saved for this model.
      con_printf("\n");
      tally_unfinished(ms, checkedOk, r.brokenLinkTotal);
      r.endRun = true;
      return;
    }
    sjis_copy(pmxModel.pmxnewtexlistpath[k], TEXPATH_CAP, tw.renewed);
    wide_cpy(pmxModel.pmxnewtexlistpathW[k], TEXPATH_CAP, tw.renewedW);
    pmxModel.texEntryRenewed[k] = 255;
    pmxModel.texListRenewed = 255;
    con_printf("\n");
    restore_print_reason(ms, k);
  }
  con_printf("\n");
}

void search_cut_text(char* dst, int cap) {
  const int cut = linksearch_walk_bounds();
  if (cut == (LINK_CUT_ENTRIES | LINK_CUT_LEVELS))
    std::snprintf(dst, (size_t)cap, msg(M_SEARCH_CUT_BOTH), linksearch_listed(), (int)LINK_WALK_MAX_DEPTH);
  else if (cut & LINK_CUT_ENTRIES)
    std::snprintf(dst, (size_t)cap, msg(M_SEARCH_CUT_ENTRIES), linksearch_listed());
  else if (cut & LINK_CUT_LEVELS)
    std::snprintf(dst, (size_t)cap, msg(M_SEARCH_CUT_LEVELS), (int)LINK_WALK_MAX_DEPTH);
  else if (cap > 0)
    dst[0] = 0;
}
