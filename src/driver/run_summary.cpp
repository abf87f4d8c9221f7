#include "driver/run_summary.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "driver/link_search.h"
#include "driver/messages.h"
#include "driver/model_state.h"
#include "driver/restore_names.h"
#include "platform/arg_list.h"
#include "platform/console.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "pmx/model_store.h"

namespace {

struct ModelRecord {
  int argIndex;
  ModelOutcome outcome;
  int readError;
  uint32_t saveError;
  int namesFilled;
  ModelState::LinkTally links;
  char output[PATHBUF_CAP];  // name of the file written, or kept
  char16_t outputW[PATHBUF_CAP];
  int firstBroken;           // its named links: brokenLinks[firstBroken ...]
  int brokenNamed;
  int brokenUnnamed;         // kept broken, but past the room for their paths
  int filesRestored;          // -R: files moved back
};

ModelRecord records[ARG_MAX_ENTRIES];
int recordCount = 0;
int processedCount = 0;

// The links the summary names, for every model of the run: offsets into the
// text of their two forms.
struct BrokenLink {
  int32_t pathAt;
  int32_t pathWAt;
  LinkReject rejected;  // why the search took none of its candidates
};
BrokenLink brokenLinks[SUMMARY_BROKEN_LINKS_MAX];
int brokenCount = 0;
char brokenText[SUMMARY_BROKEN_TEXT_UNITS];
int brokenTextUsed = 0;
char16_t brokenTextW[SUMMARY_BROKEN_TEXT_UNITS];
int brokenTextWUsed = 0;

// The words of the listing's tags for the rules of the automatic search.
const MsgId kRuleWords[LINK_RULE_MANGLED + 1 - LINK_RULE_CASE] = {
    M_SUMMARY_RULE_CASE, M_SUMMARY_RULE_MOVED, M_SUMMARY_RULE_CONVERTED, M_SUMMARY_RULE_MANGLED};

// Short reasons for the codes a save meets; the POSIX seam maps errno to the
// same codes, so both systems say the same.
struct SaveReason {
  uint32_t code;
  MsgId text;
};
const SaveReason kSaveReasons[] = {
    {OS_ERROR_ACCESS_DENIED, M_SAVE_REASON_ACCESS_DENIED},
    {OS_ERROR_DISK_FULL, M_SAVE_REASON_DISK_FULL},
    {OS_ERROR_HANDLE_DISK_FULL, M_SAVE_REASON_DISK_FULL},
    {OS_ERROR_WRITE_PROTECT, M_SAVE_REASON_WRITE_PROTECT},
    {OS_ERROR_SHARING_VIOLATION, M_SAVE_REASON_IN_USE},
    {OS_ERROR_LOCK_VIOLATION, M_SAVE_REASON_IN_USE},
    {OS_ERROR_USER_MAPPED_FILE, M_SAVE_REASON_IN_USE},
    {OS_ERROR_FILE_NOT_FOUND, M_SAVE_REASON_FILE_NOT_FOUND},
    {OS_ERROR_PATH_NOT_FOUND, M_SAVE_REASON_PATH_NOT_FOUND},
    {OS_ERROR_FILENAME_EXCED_RANGE, M_SAVE_REASON_NAME_TOO_LONG},
    {OS_ERROR_TOO_MANY_OPEN_FILES, M_SAVE_REASON_TOO_MANY_FILES},
    {OS_ERROR_GEN_FAILURE, M_SAVE_REASON_IO},
    {OS_ERROR_IO_DEVICE, M_SAVE_REASON_IO},
};

ModelRecord* next_record(int argIndex) {
  if (recordCount >= ARG_MAX_ENTRIES) return nullptr;
  ModelRecord& r = records[recordCount++];
  r = ModelRecord();
  r.argIndex = argIndex;
  r.firstBroken = brokenCount;
  return &r;
}

int renewed_count(const ModelState::LinkTally& t) {
  int n = t.picked + t.inferred;
  for (int rule = LINK_RULE_CASE; rule <= LINK_RULE_MANGLED; ++rule) n += t.found[rule];
  return n;
}

// The links a model's tally counts as still broken: those nothing renewed,
// and every broken one of a model whose repair did not finish.
bool kept_broken(const ModelState& ms, int k) {
  if (restore_link_moved(ms, k)) return false;  // -R moved its file back, listed yet or not
  switch (ms.link[k].fate) {
    case FATE_BROKEN:
    case FATE_LEFT_BROKEN: return true;
    case FATE_INFERRED:
    case FATE_FOUND:
    case FATE_PICKED: return ms.outcome == OUTCOME_CANCELLED;
    default: return false;
  }
}

// Copies a text with its terminator into a pool; its offset, or -1 when it does not fit.
template <typename C>
int32_t keep_text(C* pool, int* used, const C* text) {
  int n = 0;
  while (text[n]) ++n;
  ++n;
  if (n > SUMMARY_BROKEN_TEXT_UNITS - *used) return -1;
  std::memcpy(pool + *used, text, (size_t)n * sizeof(C));
  *used += n;
  return *used - n;
}

// Names link k below its model, or counts it unnamed when the room is used up.
void keep_broken_link(ModelRecord& r, const ModelState& ms, int k) {
  const int usedBefore = brokenTextUsed, usedWBefore = brokenTextWUsed;
  BrokenLink link = {-1, -1, ms.link[k].rejected};
  bool fits = brokenCount < SUMMARY_BROKEN_LINKS_MAX && r.brokenUnnamed == 0;
  if (fits) {
    link.pathAt = keep_text(brokenText, &brokenTextUsed, pmxModel.pmxtexlistpath[k]);
    link.pathWAt = keep_text(brokenTextW, &brokenTextWUsed, pmxModel.pmxtexlistpathW[k]);
    fits = link.pathAt >= 0 && link.pathWAt >= 0;
  }
  // Once one does not fit, no later one of the model is named: the named links stay in order.
  if (!fits) {
    brokenTextUsed = usedBefore;
    brokenTextWUsed = usedWBefore;
    ++r.brokenUnnamed;
    return;
  }
  brokenLinks[brokenCount++] = link;
  ++r.brokenNamed;
}

// "picked 1, inferred 2, found: moved 1" for the non-zero counts.
void print_renewals(const ModelState::LinkTally& t) {
  const char* sep = " (";
  if (t.picked) {
    con_printf("%s", sep);
    con_printf(msg(M_SUMMARY_PICKED), t.picked);
    sep = ", ";
  }
  if (t.inferred) {
    con_printf("%s", sep);
    con_printf(msg(M_SUMMARY_INFERRED), t.inferred);
    sep = ", ";
  }
  for (int rule = LINK_RULE_CASE; rule <= LINK_RULE_MANGLED; ++rule) {
    if (!t.found[rule]) continue;
    con_printf("%s", sep);
    con_printf(msg(M_SUMMARY_FOUND), msg(kRuleWords[rule - LINK_RULE_CASE]), t.found[rule]);
    sep = ", ";
  }
  if (sep[0] == ',') con_printf(")");
}

// -P: ", portable 3 (case 1, copied in 2)" when links were made portable.
void print_portable(const ModelState::LinkTally& t) {
  const int made = t.portableCase + t.portableRelative + t.copiedIn;
  if (made < 1) return;
  con_printf(msg(M_SUMMARY_PORTABLE), made);
  const struct {
    int n;
    MsgId word;
  } kinds[] = {{t.portableCase, M_SUMMARY_PORTABLE_CASE},
               {t.portableRelative, M_SUMMARY_PORTABLE_RELATIVE},
               {t.copiedIn, M_SUMMARY_PORTABLE_COPIED}};
  const char* sep = " (";
  for (const auto& kind : kinds) {
    if (!kind.n) continue;
    con_printf("%s", sep);
    con_printf(msg(kind.word), kind.n);
    sep = ", ";
  }
  con_printf(")");
}

void print_save_failed(uint32_t code) {
  if (code == 0) {
    con_printf("%s", msg(M_SUMMARY_SAVE_FAILED));
    return;
  }
  char reason[64];
  std::snprintf(reason, sizeof reason, msg(M_SAVE_REASON_CODE), (int)code);
  const MsgId words = save_reason(code);
  if (words != M_SAVE_REASON_CODE) std::snprintf(reason, sizeof reason, "%s", msg(words));
  con_printf(msg(M_SUMMARY_SAVE_FAILED_BECAUSE), reason);
}

// " => saved a-new.pmx (names filled 37)": the count goes in first, the name
// last, in whichever form the console shows.
void print_saved(const ModelRecord& r) {
  if (r.namesFilled <= 0) {
    con_printf_name(msg(M_SUMMARY_SAVED), r.output, r.outputW);
    return;
  }
  char format[256];
  std::snprintf(format, sizeof format, msg(M_SUMMARY_SAVED_NAMES), "%s", r.namesFilled);
  con_printf_name(format, r.output, r.outputW);
}

void print_outcome(const ModelRecord& r) {
  switch (r.outcome) {
    case OUTCOME_SAVED: print_saved(r); break;
    case OUTCOME_LINKS_FINE: con_printf("%s", msg(M_SUMMARY_LINKS_FINE)); break;
    case OUTCOME_NOTHING_TO_CHANGE: con_printf("%s", msg(M_SUMMARY_NOTHING_TO_CHANGE)); break;
    case OUTCOME_ANSWERED_NO: con_printf("%s", msg(M_SUMMARY_ANSWERED_NO)); break;
    case OUTCOME_NOTHING_RENEWED: con_printf("%s", msg(M_SUMMARY_NOTHING_RENEWED)); break;
    case OUTCOME_SAVE_FAILED: print_save_failed(r.saveError); break;
    case OUTCOME_OUTPUT_EXISTS: con_printf_name(msg(M_SUMMARY_OUTPUT_EXISTS), r.output, r.outputW); break;
    case OUTCOME_NAMES_RESTORED: con_printf(msg(M_SUMMARY_NAMES_RESTORED), r.filesRestored); break;
    default: con_printf("%s", msg(M_SUMMARY_CANCELLED)); break;
  }
}

void print_broken_links(const ModelRecord& r) {
  for (int i = r.firstBroken; i < r.firstBroken + r.brokenNamed; ++i) {
    const BrokenLink& b = brokenLinks[i];
    con_printf_name(msg(M_SUMMARY_BROKEN_LINK), brokenText + b.pathAt, brokenTextW + b.pathWAt);
    if (b.rejected == LINK_REJECT_OTHER_MODEL) con_printf(" (%s)", msg(M_SUMMARY_REJECTED_OTHER_MODEL));
    con_printf(" \n");
  }
  if (r.brokenUnnamed > 0) con_printf(msg(M_SUMMARY_BROKEN_UNLISTED), r.brokenUnnamed);
}

void print_record(const ModelRecord& r) {
  const char* name = r.argIndex < ansiArgs.count ? ansiArgs.entries[r.argIndex] : "";
  con_printf(" ");
  con_name(name, r.argIndex < wideArgs.count ? wideArgs.entries[r.argIndex] : nullptr);
  switch (r.outcome) {
    case OUTCOME_NOT_REACHED: con_printf("%s", msg(M_SUMMARY_NOT_REACHED)); return;
    case OUTCOME_DECLINED: con_printf("%s", msg(M_SUMMARY_DECLINED)); return;
    case OUTCOME_UNREADABLE: con_printf(msg(M_SUMMARY_UNREADABLE), r.readError); return;
    default: break;
  }
  const ModelState::LinkTally& t = r.links;
  con_printf(": ");
  con_printf(msg(M_SUMMARY_OK), t.ok);
  if (t.sharedToon) con_printf(msg(M_SUMMARY_SHARED_TOON), t.sharedToon);
  if (t.restored) con_printf(msg(M_SUMMARY_RESTORED), t.restored);
  con_printf(msg(M_SUMMARY_RENEWED), renewed_count(t));
  print_renewals(t);
  print_portable(t);
  con_printf(msg(M_SUMMARY_BROKEN), t.leftBroken);
  if (t.notPortable) con_printf(msg(M_SUMMARY_NOT_PORTABLE), t.notPortable);
  print_outcome(r);
  print_broken_links(r);
}

}  // namespace

MsgId save_reason(uint32_t code) {
  for (const SaveReason& s : kSaveReasons)
    if (s.code == code) return s.text;
  return M_SAVE_REASON_CODE;
}

void summary_reset() {
  recordCount = 0;
  processedCount = 0;
  brokenCount = 0;
  brokenTextUsed = 0;
  brokenTextWUsed = 0;
}

void summary_add(int argIndex, const ModelState& ms) {
  ModelRecord* r = next_record(argIndex);
  if (!r) return;
  ++processedCount;
  r->outcome = ms.outcome;
  r->readError = ms.readError;
  r->saveError = ms.saveError;
  r->namesFilled = ms.namesFilled;
  r->links = ms.links;
  r->filesRestored = ms.restore.moved;
  // The model store still holds this model: its stored paths name the links.
  for (int k = 0; k < ms.linkCount && k < TEX_MAX; ++k)
    if (kept_broken(ms, k)) keep_broken_link(*r, ms, k);
  if (ms.outcome == OUTCOME_SAVED || ms.outcome == OUTCOME_OUTPUT_EXISTS)
    model_output_name(ms, r->output, (int)sizeof r->output, r->outputW, PATHBUF_CAP);
}

void summary_add_not_reached(int argIndex) { next_record(argIndex); }

int summary_processed() { return processedCount; }

int summary_models() { return recordCount; }

bool summary_any_left_broken() {
  // A link -P could not make portable stays as broken elsewhere as a broken one.
  for (int i = 0; i < recordCount; ++i)
    if (records[i].links.leftBroken > 0 || records[i].links.notPortable > 0) return true;
  return false;
}

bool summary_any_save_failed() {
  for (int i = 0; i < recordCount; ++i)
    if (records[i].outcome == OUTCOME_SAVE_FAILED) return true;
  return false;
}

bool summary_any_failure_unboxed() {
  for (int i = 0; i < recordCount; ++i)
    if (records[i].outcome == OUTCOME_UNREADABLE || records[i].outcome == OUTCOME_SAVE_FAILED) return true;
  return false;
}

void summary_print() {
  con_printf("\n%s", msg(M_SUMMARY_HEADER));
  for (int i = 0; i < recordCount; ++i) print_record(records[i]);
}

bool summary_print_outcome(int argIndex) {
  for (int i = recordCount - 1; i >= 0; --i) {
    const ModelRecord& r = records[i];
    if (r.argIndex != argIndex) continue;
    if (r.outcome == OUTCOME_NOT_REACHED || r.outcome == OUTCOME_DECLINED || r.outcome == OUTCOME_UNREADABLE)
      return false;
    print_outcome(r);
    return true;
  }
  return false;
}
