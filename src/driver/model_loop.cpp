#include "driver/driver.h"
#include "driver/message_box.h"
#include "driver/model_state.h"
#include "driver/run_settings.h"
#include "driver/run_summary.h"
#include "driver/texture_repair.h"
#include "platform/arg_list.h"
#include "platform/console.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "pmx/model_store.h"
#include "pmx/pmx.h"
#include "text/alias_file.h"
#include "text/sjis.h"

#include <cstdio>
#include <cstring>

namespace {

// The model being worked on; cleared where each index starts.
ModelState ms;

// Run state: outlives every model.
int resultCode = 0;
int savedCount = 0;

const uint32_t kAskStyle = OS_MB_ICONINFORMATION | OS_MB_TOPMOST;

bool use_wide_box() { return ms.ansiPathUnusable && !ms.widePathUnusable; }

void find_disk_names(const char* path, const char16_t* pathW) {
  if (!path[0] || findfile(ms.diskName, sizeof ms.diskName, path) != 0) ms.diskName[0] = 0;
  if (!pathW[0] || findfileW(ms.diskNameW, PATHBUF_CAP, pathW) != 0) ms.diskNameW[0] = 0;
}

// A path whose ANSI form cannot name the file has no ANSI on-disk name; its
// UTF-16 name decides then. A file that is not there at all is judged by the
// name in its path, so it is not asked about an extension it does have.
bool has_pmx_extension() {
  char ext[PATHBUF_CAP];
  char16_t extW[PATHBUF_CAP];
  if (!ms.diskName[0] && !ms.diskNameW[0]) {
    namepartW(ms.pieceW, PATHBUF_CAP, ms.widePath);
    if (ms.pieceW[0]) return extpartW(extW, PATHBUF_CAP, ms.pieceW) == -1 && headcmpiW(extW, u".PMX") == 0;
    namepart(ms.piece, sizeof ms.piece, ms.ansiPath);
    return extpart(ext, sizeof ext, ms.piece) == -1 && headcmpi(ext, ".PMX") == 0;
  }
  if (extpartW(extW, PATHBUF_CAP, ms.diskNameW) != -1) return false;
  if (!ms.diskName[0]) return headcmpiW(extW, u".PMX") == 0;
  extpart(ext, sizeof ext, ms.diskName);
  return headcmpi(ext, ".PMX") == 0;
}

const char* shown_name() {
  if (ms.diskName[0] || ms.diskNameW[0]) return ms.diskName;
  namepart(ms.piece, sizeof ms.piece, ms.ansiPath);
  return ms.piece;
}

// false: the user declined and the run ends.
bool confirm_extension(int index) {
  const char* name = shown_name();
  const char16_t* nameW = ms.diskNameW;
  if (!ms.diskName[0] && !ms.diskNameW[0]) {
    namepartW(ms.pieceW, PATHBUF_CAP, ms.widePath);
    nameW = ms.pieceW;
  }
  box_clear(&ms.box);
  if (japanese_mode()) {
    con_printf(" \x83\x82\x83" "f\x83\x8B\x81" "F \n");  // モデル：
    con_printf("   %s \n", name);
    // には拡張子 ".PMX" がありません.
    con_printf(" \x82\xC9\x82\xCD\x8Ag\x92\xA3\x8Eq \".PMX\" \x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1. \n");
    con_printf(" \x8B\xAD\x8Ds\x82\xB5\x82\xDC\x82\xB7\x82\xA9? \n");  // 強行しますか?
    box_add(&ms.box, " \x83\x82\x83" "f\x83\x8B\x81" "F \r\n   ");
    box_add_name(&ms.box, name, nameW);
    box_add(&ms.box, " \r\n \x82\xC9\x82\xCD\x8Ag\x92\xA3\x8Eq \".PMX\" \x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1. \r\n");
    box_add(&ms.box, " \r\n");
    box_add(&ms.box, " \x8B\xAD\x8Ds\x82\xB5\x82\xDC\x82\xB7\x82\xA9? ");
  } else {
    // The English texts stay word for word as they have always read ("Do you
    // like to", "uncorrected"): users and their scripts look for them.
    con_printf(" Model: \n");
    con_printf("   %s \n", name);
    con_printf(" does not have extension \".PMX\" in the file name. \n");
    con_printf(" Do you like to continue? \n");
    if (consoleCodePage == 65001) {
      box_add(&ms.box, " The model file \r\n");
    } else {
      box_add(&ms.box, " Model: \r\n   ");
      box_add_name(&ms.box, name, nameW);
      box_add(&ms.box, " \r\n");
    }
    box_add(&ms.box, " does not have extension \".PMX\" in the file name. \r\n");
    box_add(&ms.box, " \r\n");
    box_add(&ms.box, " Do you like to continue? ");
  }
  // The notice above is this box's console form; its text is not printed again.
  int answer = box_show(&ms.box, OS_MB_OKCANCEL | kAskStyle, use_wide_box(), false);
  if (answer == OS_IDOK) return true;
  if (japanese_mode()) {
    // このファイルの学習処理をスキップ(中断)します.
    con_printf("\x82\xB1\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xCC\x8Aw\x8FK\x8F\x88\x97\x9D\x82\xF0"
               "\x83X\x83L\x83" "b\x83v(\x92\x86\x92" "f)\x82\xB5\x82\xDC\x82\xB7. \n");
  } else {
    con_printf("The conversion for this file was skipped (or aborted). \n");
  }
  if (index == ansiArgs.count - 1 && savedCount == 0) {
    con_printf(" \n");
    if (japanese_mode())  // 更新(変更)されたデータはありません.
      con_printf("\x8DX\x90V(\x95\xCF\x8DX)\x82\xB3\x82\xEA\x82\xBD\x83" "f\x81[\x83^\x82\xCD\x82\xA0\x82\xE8"
                 "\x82\xDC\x82\xB9\x82\xF1. \n");
    else
      con_printf("No file was modified. \n");
  }
  con_printf("\n");
  // The run ends here and a console opened for dropped files closes with it:
  // the pause leaves the notice on screen for a moment.
  os_sleep(700);
  resultCode |= RESULT_DECLINED;
  ms.outcome = OUTCOME_DECLINED;
  return false;
}

// 0 read; otherwise the reader's code of the last attempt.
int read_model() {
  int rc = ms.ansiPath[0] ? pmdinforead(ms.ansiPath) : -1;
  if (rc == 0) return 0;
  ms.ansiPathUnusable = true;
  con_printf("Re-opening in UTF-16. \n");
  rc = ms.widePath[0] ? pmdinforeadW(ms.widePath) : -1;
  if (rc == 0) return 0;
  ms.widePathUnusable = true;
  con_printf("pmdinforead err %d. \n", rc);
  return rc;
}

void clear_twist_flags() {
  for (int i = 0; i < TWIST_REF_COUNT; ++i) pmxModel.twistRef[i].mismatch = 0;
}

bool any_twist_flag() {
  for (int i = 0; i < TWIST_REF_COUNT; ++i)
    if (pmxModel.twistRef[i].mismatch) return true;
  return false;
}

// The twist-axis question. Returns false for Cancel; sets *declined on No.
bool ask_twist_fix(bool* declined) {
  static const char* const bonesJa[TWIST_REF_COUNT] = {
      " \x81@\x8D\xB6\x98r\x9D\x80  \r\n",       // 　左腕捩
      " \x81@\x8D\xB6\x8E\xE8\x9D\x80  \r\n",    // 　左手捩
      " \x81@\x89" "E\x98r\x9D\x80  \r\n",       // 　右腕捩
      " \x81@\x89" "E\x8E\xE8\x9D\x80  \r\n",    // 　右手捩
  };
  static const char* const bonesEn[TWIST_REF_COUNT] = {
      " left arm twist \r\n", " left wrist twist \r\n", " right arm twist \r\n", " right wrist twist \r\n"};
  box_clear(&ms.box);
  if (japanese_mode()) {
    box_add(&ms.box, " \x83\x82\x83" "f\x83\x8B\x81" "F \r\n");  // モデル：
    box_add_name_line(&ms.box, ms.diskName, ms.diskNameW);
    box_add(&ms.box, " \x92\x86\x82\xCC \r\n");  // 中の
    for (int i = 0; i < TWIST_REF_COUNT; ++i)
      if (pmxModel.twistRef[i].mismatch) box_add(&ms.box, bonesJa[i]);
    // の設定情報に不一致があります.
    box_add(&ms.box, " \x82\xCC\x90\xDD\x92\xE8\x8F\xEE\x95\xF1\x82\xC9\x95s\x88\xEA\x92v\x82\xAA\x82\xA0"
                  "\x82\xE8\x82\xDC\x82\xB7. \r\n");
    box_add(&ms.box, " \r\n");
    box_add(&ms.box, " \x8F" "C\x90\xB3\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81H (Y/N/Cancel) \r\n");  // 修正しますか？
  } else {
    box_add(&ms.box, " Unmatched twisting axis settings of \r\n");
    for (int i = 0; i < TWIST_REF_COUNT; ++i)
      if (pmxModel.twistRef[i].mismatch) box_add(&ms.box, bonesEn[i]);
    box_add(&ms.box, " bones are found in the model: \r\n");
    box_add_name_line(&ms.box, ms.diskName, ms.diskNameW);
    box_add(&ms.box, "\r\n");
    box_add(&ms.box, " Do you like to fix them?  (Y/N/Cancel) \r\n");
  }
  int answer = box_show(&ms.box, OS_MB_YESNOCANCEL | kAskStyle, use_wide_box());
  if (answer == OS_IDCANCEL) {
    con_printf(" => Cancel \n");
    return false;
  }
  if (answer == OS_IDNO) {
    con_printf(" => NO \n");
    clear_twist_flags();
    *declined = true;
  } else if (answer == OS_IDYES) {
    con_printf(" => YES \n");
  }
  con_printf("\n");
  return true;
}

// dirpart + stripext(namepart) + "-new" + extpart(namepart); false when it does not fit.
bool build_output_names() {
  char dir[PATHBUF_CAP], name[PATHBUF_CAP], stem[PATHBUF_CAP], ext[PATHBUF_CAP];
  dirpart(dir, sizeof dir, ms.ansiPath);
  namepart(name, sizeof name, ms.ansiPath);
  stripext(stem, sizeof stem, name);
  extpart(ext, sizeof ext, name);
  bool ok = join_path(ms.outPath, sizeof ms.outPath, dir, stem) &&
            join_path(ms.piece, sizeof ms.piece, "-new", ext) &&
            join_path(ms.outPath, sizeof ms.outPath, ms.outPath, ms.piece);
  char16_t dirW[PATHBUF_CAP], nameW[PATHBUF_CAP], stemW[PATHBUF_CAP], extW[PATHBUF_CAP];
  dirpartW(dirW, PATHBUF_CAP, ms.widePath);
  namepartW(nameW, PATHBUF_CAP, ms.widePath);
  stripextW(stemW, PATHBUF_CAP, nameW);
  extpartW(extW, PATHBUF_CAP, nameW);
  bool okW = join_pathW(ms.outPathW, PATHBUF_CAP, dirW, stemW) &&
             join_pathW(ms.pieceW, PATHBUF_CAP, u"-new", extW) &&
             join_pathW(ms.outPathW, PATHBUF_CAP, ms.outPathW, ms.pieceW);
  // A cut name could be any file, the source among them: refuse instead.
  return use_wide_box() ? okW : ok;
}

// Unattended runs keep links nothing could renew; the report says how many.
void add_left_broken_lines() {
  int n = ms.links.leftBroken;
  if (Auto.answer == 0 || n < 1) return;
  char line[128];
  if (japanese_mode()) {
    // 個のテクスチャへのリンクが / 破損したままです.
    std::snprintf(line, sizeof line, " %d \x8C\xC2\x82\xCC\x83" "e\x83N\x83X\x83`\x83\x83\x82\xD6\x82\xCC"
                  "\x83\x8A\x83\x93\x83N\x82\xAA \r\n", n);
    box_add(&ms.box, line);
    box_add(&ms.box, " \x94j\x91\xB9\x82\xB5\x82\xBD\x82\xDC\x82\xDC\x82\xC5\x82\xB7. \r\n");
  } else {
    std::snprintf(line, sizeof line, " %d texture link(s) are left broken. \r\n", n);
    box_add(&ms.box, line);
  }
}

// namesAdded: saved with -F for English names to fill; fixed: links or axes
// repaired as well (one of the two holds).
void report_saved(bool namesAdded, bool fixed) {
  char newName[PATHBUF_CAP];
  char16_t newNameW[PATHBUF_CAP];
  // As for the model itself: a form whose search finds nothing names nothing.
  if (!ms.outPath[0] || findfile(newName, sizeof newName, ms.outPath) != 0) newName[0] = 0;
  if (!ms.outPathW[0] || findfileW(newNameW, PATHBUF_CAP, ms.outPathW) != 0) newNameW[0] = 0;
  box_clear(&ms.box);
  if (japanese_mode()) {
    if (namesAdded)  // 英語名(ボーン／モーフ／表示枠)を追加し、
      box_add(&ms.box, " \x89p\x8C\xEA\x96\xBC(\x83{\x81[\x83\x93\x81^\x83\x82\x81[\x83t\x81^\x95\x5C\x8E\xA6"
                    "\x98g)\x82\xF0\x92\xC7\x89\xC1\x82\xB5\x81" "A \r\n");
    if (fixed)
      box_add(&ms.box, " \x90\xDD\x92\xE8\x82\xF0\x8F" "C\x95\x9C\x82\xB5\x81" "A \r\n");  // 設定を修復し、
    box_add(&ms.box, " \r\n");
    box_add_name_line(&ms.box, newName, newNameW);
    box_add(&ms.box, " \r\n");
    box_add(&ms.box, " \x82\xD6\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD. \r\n");  // へ保存しました.
  } else {
    if (namesAdded) {
      box_add(&ms.box, " Added English bone/morph/frame names, \r\n");
      if (fixed) box_add(&ms.box, " and fixed model file settings. \r\n");
    } else {
      box_add(&ms.box, " Fixed model file  \r\n");
    }
    box_add(&ms.box, " \r\n");
    box_add_name_line(&ms.box, newName, newNameW);
    box_add(&ms.box, " \r\n");
    box_add(&ms.box, " was saved. \r\n");
  }
  add_left_broken_lines();
  box_show(&ms.box, OS_MB_OK | kAskStyle, use_wide_box());
  con_printf("\n");
}

void report_not_saved(bool uncorrected) {
  box_clear(&ms.box);
  if (japanese_mode()) {
    box_add(&ms.box, " \x83\x82\x83" "f\x83\x8B\x81" "F \r\n");  // モデル：
    box_add_name_line(&ms.box, ms.diskName, ms.diskNameW);
    if (uncorrected) {
      // は修復しませんでした.
      box_add(&ms.box, " \x82\xCD\x8F" "C\x95\x9C\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD. \r\n");
    } else {
      box_add(&ms.box, " \x82\xCD\x90\xB3\x8F\xED\x82\xC5\x82\xB7. \r\n");  // は正常です.
      box_add(&ms.box, " \r\n");
      box_add(&ms.box, " \x8F" "C\x95\x9C\x82\xB7\x82\xD7\x82\xAB\x89\xD3\x8F\x8A\x82\xCD \r\n");  // 修復すべき箇所は
      // 見つかりませんでした.
      box_add(&ms.box, " \x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD. \r\n");
    }
  } else if (uncorrected) {
    box_add(&ms.box, " The model \r\n");
    box_add_name_line(&ms.box, ms.diskName, ms.diskNameW);
    box_add(&ms.box, " was uncorrected. \r\n");
  } else {
    box_add(&ms.box, " All the links in the model \r\n");
    box_add_name_line(&ms.box, ms.diskName, ms.diskNameW);
    box_add(&ms.box, " are correct. \r\n");
    box_add(&ms.box, " \r\n");
    box_add(&ms.box, " No broken settings found. ");
  }
  if (uncorrected) add_left_broken_lines();
  box_show(&ms.box, OS_MB_OK | kAskStyle, use_wide_box());
  con_printf("\n");
}

// A model that was not written renews nothing.
void keep_renewals_as_broken() {
  ModelState::LinkTally& t = ms.links;
  t.leftBroken += t.picked + t.inferred;
  t.picked = t.inferred = 0;
  for (int& n : t.found) {
    t.leftBroken += n;
    n = 0;
  }
}

// false: the run ends here.
bool process_model(int index) {
  model_state_reset(ms);
  const char* entry = ansiArgs.entries[index];
  if (entry[0] == '-' || entry[0] == '/') {
    scan_option_entry(entry, false);
    return true;
  }
  // A path cut to the buffer could name another file: a form that does not fit is not used.
  const bool ansiFits = sjis_copy(ms.ansiPath, sizeof ms.ansiPath, entry) == (int)strlen(entry);
  bool wideFits = true;
  if (index < wideArgs.count)
    wideFits = wide_cpy(ms.widePath, PATHBUF_CAP, wideArgs.entries[index]) == wide_len(wideArgs.entries[index]);
  if (!ms.ansiPath[0] || !ansiFits) ms.ansiPathUnusable = true;
  if (!ms.widePath[0] || !wideFits) ms.widePathUnusable = true;
  con_printf("\n");
  if (!ansiFits || !wideFits) {
    if (!ansiFits && (!wideFits || !ms.widePath[0])) {
      con_printf("Path too long (more than %d bytes): not read. \n", PATHBUF_CAP - 1);
      if (resultCode == 0) resultCode = RESULT_CANNOT_OPEN;
      ms.outcome = OUTCOME_UNREADABLE;
      ms.readError = RESULT_CANNOT_OPEN;
      return true;
    }
    if (!ansiFits) ms.ansiPath[0] = 0;
    if (!wideFits) ms.widePath[0] = 0;
  }

  find_disk_names(ms.ansiPath, ms.widePath);
  if (!has_pmx_extension() && Cancel.displaying.dialogue < 2 && !confirm_extension(index)) return false;

  load_alias_rules(programFolder, programFolderW);
  pmx_reset_model();

  // A model that could not be read is left alone: the tables still hold
  // whatever came before, and no later phase may act on them.
  int rc = read_model();
  if (rc != 0) {
    if (resultCode == 0) resultCode = rc;
    ms.outcome = OUTCOME_UNREADABLE;
    ms.readError = rc;
    return true;
  }

  bool twistDeclined = false;
  if (Twist.check != 0) {
    twist_check();
    if (any_twist_flag() && !ask_twist_fix(&twistDeclined)) {
      ms.outcome = OUTCOME_CANCELLED;
      return false;
    }
  } else {
    clear_twist_flags();
  }

  texture_phase(ms);
  const TexturePhase& tex = ms.texture;
  if (tex.endRun) {
    ms.outcome = OUTCOME_CANCELLED;
    return false;
  }

  // English names to fill are a reason to save only when asked for: without
  // -F they are filled just in a model saved for its links or axes. A model
  // saved for its names alone keeps its texture table as read (nothing renewed
  // it), also when the user declined repairing its links.
  if (Fill.names < 1) pmxModel.enNameCount = 0;
  // Unattended, links none of which could be renewed are no repair: a copy gains nothing from them.
  const bool unattendedNothing = Auto.answer != 0 && !pmxModel.texListRenewed && !any_twist_flag();
  const bool fixed = (tex.brokenLinkCount >= 1 || any_twist_flag()) && !unattendedNothing;
  const bool namesAdded = pmxModel.enNameCount >= 1;
  if (!fixed && !namesAdded) {
    bool uncorrected = tex.brokenLinkTotal >= 1 || twistDeclined;
    ms.outcome = unattendedNothing && uncorrected ? OUTCOME_NOTHING_RENEWED
                 : uncorrected                    ? OUTCOME_ANSWERED_NO
                                                  : OUTCOME_LINKS_FINE;
    report_not_saved(uncorrected);
    return true;
  }

  // An output name that does not fit fails like a write that cannot start.
  bool named = build_output_names();
  int wrc = -1;
  if (use_wide_box()) {
    con_printf("Saving in UTF-16 mode. \n");
    if (named) wrc = pmdinfowriteW(ms.outPathW, ms.widePath);
  } else {
    con_printf("Saving in ANSI/UTF-8 mode. \n");
    if (named) wrc = pmdinfowrite(ms.outPath, ms.ansiPath);
  }
  if (wrc != 0) {
    con_printf("New PMX save failed. \n");
    ms.outcome = OUTCOME_SAVE_FAILED;
    keep_renewals_as_broken();
    return true;
  }
  con_printf("Save OK. \n");
  con_printf("\n");
  ++savedCount;
  ms.outcome = OUTCOME_SAVED;
  report_saved(namesAdded, fixed);
  return true;
}

bool is_model_entry(int index) {
  const char* entry = ansiArgs.entries[index];
  return entry[0] != '-' && entry[0] != '/';
}

bool has_model_entry() {
  for (int index = 1; index < ansiArgs.count; ++index)
    if (is_model_entry(index)) return true;
  return false;
}

}  // namespace

int model_loop() {
  resultCode = 0;
  savedCount = 0;
  summary_reset();
  // Unattended, nobody could answer the dialog that would ask for a model.
  if (Auto.answer != 0 && !has_model_entry()) {
    print_usage();
    return 0;
  }
  if (ansiArgs.count <= 1 && !no_model_start()) return 0;
  int index = 1;
  for (; index < ansiArgs.count; ++index) {
    bool goOn = process_model(index);
    if (is_model_entry(index)) summary_add(index, ms);
    if (!goOn) break;
  }
  for (++index; index < ansiArgs.count; ++index)
    if (is_model_entry(index)) summary_add_not_reached(index);
  if (resultCode != 0) {
    con_printf("Error code %d. \n", resultCode);
    if (resultCode == RESULT_CANNOT_OPEN) con_printf(": cannot open file. \n");
    else if (resultCode == RESULT_FILE_FORMAT) con_printf(": file format. \n");
    else if (resultCode == RESULT_EARLY_END) con_printf(": file end before closing. \n");
  }
  // After everything a run without it prints, so that output stays as it was.
  // Several models end with a summary only in runs that use an ability of
  // their own (a folder, -A, -F): a plain run of several models prints what it always did.
  const bool newAbility = modelsFromFolders || Auto.search >= 1 || Fill.names >= 1;
  if (Auto.answer != 0 || (summary_processed() > 1 && newAbility)) summary_print();
  if (Auto.answer != 0 && summary_any_left_broken()) resultCode |= RESULT_LINKS_LEFT_BROKEN;
  return resultCode;
}
