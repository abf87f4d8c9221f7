#include "driver/driver.h"
#include "driver/message_box.h"
#include "driver/messages.h"
#include "driver/model_state.h"
#include "driver/portable.h"
#include "driver/quiet_lines.h"
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
bool aliasReadForRun = false;  // alias.ini read once for the run (-Y, -Q)
// The blank line that starts a model was printed before the run's alias echo:
// the first model's lines then read as they always did.
bool modelLeadPrinted = false;

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
  {
    // The box's console form, which -Q keeps where it is the only form shown.
    ConVisible asked(box_text_console_only(OS_MB_OKCANCEL));
    con_printf_name(msg(M_EXT_QUESTION), name, nameW);
  }
  // A UTF-8 console shows English texts and no name in them.
  const bool utf8Console = !japanese_mode() && consoleCodePage == 65001;
  box_add_msg(&ms.box, utf8Console ? M_EXT_QUESTION_BOX_UTF8_CONSOLE : M_EXT_QUESTION_BOX, {{name, nameW}});
  // The notice above is this box's console form; its text is not printed again.
  int answer = box_show(&ms.box, OS_MB_OKCANCEL | kAskStyle, use_wide_box(), false);
  if (answer == OS_IDOK) return true;
  con_printf("%s", msg(M_EXT_SKIPPED));
  if (index == ansiArgs.count - 1 && savedCount == 0) {
    con_printf(" \n");
    con_printf("%s", msg(M_NOTHING_MODIFIED));
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
  static const MsgId bones[TWIST_REF_COUNT] = {M_TWIST_ARM_L, M_TWIST_WRIST_L, M_TWIST_ARM_R, M_TWIST_WRIST_R};
  char lines[256] = "";
  for (int i = 0; i < TWIST_REF_COUNT; ++i) {
    size_t used = std::strlen(lines);
    if (pmxModel.twistRef[i].mismatch) std::snprintf(lines + used, sizeof lines - used, "%s", msg(bones[i]));
  }
  box_clear(&ms.box);
  box_add_msg(&ms.box, M_TWIST_QUESTION_BOX, {{ms.diskName, ms.diskNameW}, {lines, nullptr}});
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

// Unattended runs keep links nothing could renew, and so does a dialog
// cancelled under -A; the report says how many.
bool went_on_without_links() { return Auto.answer != 0 || ms.texture.leftGoingOn > 0; }

void add_left_broken_lines() {
  int n = ms.links.leftBroken;
  if (!went_on_without_links() || n < 1) return;
  char count[16];
  std::snprintf(count, sizeof count, "%d", n);
  box_add_msg(&ms.box, M_LEFT_BROKEN, {{count, nullptr}});
}

int made_portable() { return ms.links.portableCase + ms.links.portableRelative + ms.links.copiedIn; }

// -P: how many links were made portable, and how many are not.
void add_portable_lines() {
  char count[16];
  if (made_portable() >= 1) {
    std::snprintf(count, sizeof count, "%d", made_portable());
    box_add_msg(&ms.box, M_PORTABLE_MADE, {{count, nullptr}});
  }
  if (ms.links.notPortable >= 1) {
    std::snprintf(count, sizeof count, "%d", ms.links.notPortable);
    box_add_msg(&ms.box, M_PORTABLE_LEFT, {{count, nullptr}});
  }
}

// namesAdded: saved with -F for English names to fill; fixed: links or axes
// repaired as well. Neither: saved with -P for portable links alone.
void report_saved(bool namesAdded, bool fixed) {
  char newName[PATHBUF_CAP];
  char16_t newNameW[PATHBUF_CAP];
  // As for the model itself: a form whose search finds nothing names nothing.
  if (!ms.outPath[0] || findfile(newName, sizeof newName, ms.outPath) != 0) newName[0] = 0;
  if (!ms.outPathW[0] || findfileW(newNameW, PATHBUF_CAP, ms.outPathW) != 0) newNameW[0] = 0;
  box_clear(&ms.box);
  box_add_msg(&ms.box, !namesAdded ? (fixed ? M_SAVED_FIXED : M_SAVED_PORTABLE)
                                    : fixed ? M_SAVED_NAMES_AND_FIXED : M_SAVED_NAMES);
  box_add_msg(&ms.box, M_SAVED_AS, {{newName, newNameW}});
  add_left_broken_lines();
  add_portable_lines();
  box_show(&ms.box, OS_MB_OK | kAskStyle, use_wide_box());
  con_printf("\n");
}

// -R moved files back and nothing else changed: the model needs no copy.
void report_names_restored() {
  char count[16];
  std::snprintf(count, sizeof count, "%d", ms.restore.moved);
  box_clear(&ms.box);
  box_add_msg(&ms.box, M_NOT_SAVED_RESTORED, {{ms.diskName, ms.diskNameW}, {count, nullptr}});
  add_left_broken_lines();
  box_show(&ms.box, OS_MB_OK | kAskStyle, use_wide_box());
  con_printf("\n");
}

void report_not_saved(bool uncorrected) {
  box_clear(&ms.box);
  box_add_msg(&ms.box, uncorrected ? M_NOT_SAVED_UNCORRECTED : M_NOT_SAVED_CORRECT, {{ms.diskName, ms.diskNameW}});
  if (uncorrected) add_left_broken_lines();
  // The report of a correct model ends without a line break.
  if (!uncorrected && ms.links.notPortable >= 1) box_add(&ms.box, "\r\n");
  add_portable_lines();
  box_show(&ms.box, OS_MB_OK | kAskStyle, use_wide_box());
  con_printf("\n");
}

// Unattended, an output that is there already may be one the user repaired by
// hand since the last run: kept unless -O allows replacing it. A read-only or
// busy file is there all the same; a folder of that name is no output.
bool keeps_existing_output() {
  if (Auto.answer == 0 || Overwrite.output != 0) return false;
  char found[PATHBUF_CAP];
  char16_t foundW[PATHBUF_CAP];
  if (use_wide_box()) {
    const int kind = os_write_targetW(ms.outPathW);
    return kind == OS_TARGET_FILE || (kind == OS_TARGET_REFUSED && findfileW(foundW, PATHBUF_CAP, ms.outPathW) == 0);
  }
  const int kind = os_write_targetA(ms.outPath);
  return kind == OS_TARGET_FILE || (kind == OS_TARGET_REFUSED && findfile(found, sizeof found, ms.outPath) == 0);
}

// Unattended or quiet runs read alias.ini once, before the first model: a
// batch has nobody editing it between models, and rereading it cost most of
// the run's time.
bool dictionary_once() { return Auto.answer != 0 || Quiet.mode != 0; }

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
  quiet_model_begin(index);
  if (index < wideArgs.count)
    wideFits = wide_cpy(ms.widePath, PATHBUF_CAP, wideArgs.entries[index]) == wide_len(wideArgs.entries[index]);
  if (!ms.ansiPath[0] || !ansiFits) ms.ansiPathUnusable = true;
  if (!ms.widePath[0] || !wideFits) ms.widePathUnusable = true;
  if (!modelLeadPrinted) con_printf("\n");
  modelLeadPrinted = false;
  if (!ansiFits || !wideFits) {
    if (!ansiFits && (!wideFits || !ms.widePath[0])) {
      con_printf("Path too long (more than %d bytes): not read. \n", PATHBUF_CAP - 1);
      if (resultCode == 0) resultCode = RESULT_CANNOT_OPEN;
      ms.outcome = OUTCOME_UNREADABLE;
      ms.readError = RESULT_CANNOT_OPEN;
      ms.pathTooLong = true;
      return true;
    }
    if (!ansiFits) ms.ansiPath[0] = 0;
    if (!wideFits) ms.widePath[0] = 0;
  }

  find_disk_names(ms.ansiPath, ms.widePath);
  if (!has_pmx_extension() && Cancel.displaying.dialogue < 2 && !confirm_extension(index)) return false;

  const bool aliasRead = dictionary_once() ? aliasReadForRun : load_alias_rules(programFolder, programFolderW);
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
  // -F fills English names by the alias rules: without them it can only copy the Japanese ones.
  if (Fill.names >= 1 && !aliasRead && pmxModel.enNameCount >= 1) {
    ConVisible problem;  // a line -Q keeps
    con_printf("%s\n", msg(M_FILL_NO_ALIAS));
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
  // Renewed by the repair, before -P renews links of its own.
  const bool linksRenewed = pmxModel.texListRenewed != 0;
  // An output that -Y keeps will not link copies either: the check's listing is
  // all that is done, as after No.
  const bool portableKept =
      tex.makePortable && tex.portableNeeded >= 1 && build_output_names() && keeps_existing_output();
  if (Portable.mode >= 1) {
    if (tex.makePortable && !portableKept)
      portable_phase(ms);
    else
      portable_count_left(ms);
  }

  // English names to fill are a reason to save only when asked for: without
  // -F they are filled just in a model saved for its links or axes. A model
  // saved for its names alone keeps its texture table as read (nothing renewed
  // it), also when the user declined repairing its links.
  if (Fill.names < 1) pmxModel.enNameCount = 0;
  pmxModel.fillSideLast = Fill.names >= 1 ? 255 : 0;
  // Links none of which could be renewed are no repair: a copy gains nothing from them.
  const bool unattendedNothing = went_on_without_links() && !linksRenewed && !any_twist_flag();
  // Links whose files -R moved back open as stored: a copy gains nothing from them either.
  const bool restoredOnly = ms.links.restored >= 1 && !linksRenewed && !any_twist_flag() && made_portable() < 1;
  const bool fixed = (tex.brokenLinkCount >= 1 || any_twist_flag()) && !unattendedNothing && !restoredOnly;
  const bool namesAdded = pmxModel.enNameCount >= 1;
  if (!fixed && !namesAdded && restoredOnly) {
    ms.outcome = OUTCOME_NAMES_RESTORED;
    report_names_restored();
    return true;
  }
  if (!fixed && !namesAdded && made_portable() < 1 && !portableKept) {
    // -P was asked for and could make no link portable (each copy failed).
    const bool portableFailed = tex.makePortable && tex.portableNeeded >= 1;
    bool uncorrected = tex.brokenLinkTotal >= 1 || twistDeclined || tex.portableDeclined || portableFailed;
    ms.outcome = (unattendedNothing && uncorrected) || portableFailed ? OUTCOME_NOTHING_RENEWED
                 : uncorrected                    ? OUTCOME_ANSWERED_NO
                 : Fill.names >= 1 || Portable.mode >= 1 ? OUTCOME_NOTHING_TO_CHANGE
                                                  : OUTCOME_LINKS_FINE;
    report_not_saved(uncorrected);
    return true;
  }

  // An output name that does not fit fails like a write that cannot start.
  bool named = build_output_names();
  if (named && keeps_existing_output()) {
    model_output_name(ms, ms.piece, (int)sizeof ms.piece, ms.pieceW, PATHBUF_CAP);
    con_printf_name(msg(M_OUTPUT_EXISTS), ms.piece, ms.pieceW);
    con_printf("\n");
    ms.outcome = OUTCOME_OUTPUT_EXISTS;
    return true;
  }
  int wrc = -1;
  if (use_wide_box()) {
    con_printf("Saving in UTF-16 mode. \n");
    if (named) wrc = pmdinfowriteW(ms.outPathW, ms.widePath);
  } else {
    con_printf("Saving in ANSI/UTF-8 mode. \n");
    if (named) wrc = pmdinfowrite(ms.outPath, ms.ansiPath);
  }
  if (wrc != 0) {
    // The failing call's code, taken before anything else reaches the system.
    ms.saveError = named ? os_last_error() : (uint32_t)OS_ERROR_FILENAME_EXCED_RANGE;
    con_printf("New PMX save failed. \n");
    ms.outcome = OUTCOME_SAVE_FAILED;
    return true;
  }
  con_printf("Save OK. \n");
  con_printf("\n");
  ++savedCount;
  ms.outcome = OUTCOME_SAVED;
  ms.namesFilled = namesAdded ? pmxModel.enNameCount : 0;
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

const ModelState& model_loop_state() { return ms; }

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
  // Under -Q the loop prints only through ConVisible (quiet_lines, the summary).
  con_set_quiet(Quiet.mode != 0);
  modelLeadPrinted = false;
  if (dictionary_once()) {
    con_printf("\n");
    aliasReadForRun = load_alias_rules(programFolder, programFolderW);
    modelLeadPrinted = true;
  }
  int index = 1;
  for (; index < ansiArgs.count; ++index) {
    bool goOn = process_model(index);
    if (is_model_entry(index)) {
      summary_add(index, ms);
      quiet_model_end(index, ms);
    }
    if (!goOn) break;
  }
  for (++index; index < ansiArgs.count; ++index)
    if (is_model_entry(index)) summary_add_not_reached(index);
  // The run's end is the same with -Q.
  ConVisible ending;
  if (resultCode != 0) {
    con_printf("Error code %d. \n", resultCode);
    if (resultCode == RESULT_CANNOT_OPEN) con_printf(": cannot open file. \n");
    else if (resultCode == RESULT_FILE_FORMAT) con_printf(": file format. \n");
    else if (resultCode == RESULT_EARLY_END) con_printf(": file end before closing. \n");
  }
  // After everything a run without it prints, so that output stays as it was.
  // Several models end with a summary only in runs that use an ability of
  // their own (a folder, -A, -F, -P, -R): a plain run of several models prints what it
  // always did. A run that ended at its first model has several all the same.
  const bool newAbility = modelsFromFolders || Auto.search >= 1 || Fill.names >= 1 || Portable.mode >= 1 ||
                          Restore.names >= 1;
  if (Auto.answer != 0 || Quiet.mode != 0 || (summary_models() > 1 && newAbility)) summary_print();
  if (Auto.answer != 0 && summary_any_left_broken()) resultCode |= RESULT_LINKS_LEFT_BROKEN;
  if (Auto.answer != 0 && summary_any_save_failed()) resultCode |= RESULT_SAVE_FAILED;
  con_set_quiet(false);
  return resultCode;
}
