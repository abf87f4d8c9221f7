#include "driver/run_summary.h"

#include <cstdio>

#include "driver/link_search.h"
#include "driver/messages.h"
#include "driver/model_state.h"
#include "platform/arg_list.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "text/sjis.h"

namespace {

struct ModelRecord {
  int argIndex;
  ModelOutcome outcome;
  int readError;
  ModelState::LinkTally links;
  char saved[PATHBUF_CAP];  // name of the file written
  char16_t savedW[PATHBUF_CAP];
};

ModelRecord records[ARG_MAX_ENTRIES];
int recordCount = 0;
int processedCount = 0;

// The words of the listing's tags for the rules of the automatic search.
const char* const kRuleWords[LINK_RULE_MANGLED + 1] = {"", "case", "moved", "converted", "mangled"};

ModelRecord* next_record(int argIndex) {
  if (recordCount >= ARG_MAX_ENTRIES) return nullptr;
  ModelRecord& r = records[recordCount++];
  r = ModelRecord();
  r.argIndex = argIndex;
  return &r;
}

int renewed_count(const ModelState::LinkTally& t) {
  int n = t.picked + t.inferred;
  for (int rule = LINK_RULE_CASE; rule <= LINK_RULE_MANGLED; ++rule) n += t.found[rule];
  return n;
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
    con_printf(msg(M_SUMMARY_FOUND), kRuleWords[rule], t.found[rule]);
    sep = ", ";
  }
  if (sep[0] == ',') con_printf(")");
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
  con_printf(msg(M_SUMMARY_RENEWED), renewed_count(t));
  print_renewals(t);
  con_printf(msg(M_SUMMARY_BROKEN), t.leftBroken);
  switch (r.outcome) {
    case OUTCOME_SAVED: con_printf_name(msg(M_SUMMARY_SAVED), r.saved, r.savedW); break;
    case OUTCOME_LINKS_FINE: con_printf("%s", msg(M_SUMMARY_LINKS_FINE)); break;
    case OUTCOME_ANSWERED_NO: con_printf("%s", msg(M_SUMMARY_ANSWERED_NO)); break;
    case OUTCOME_NOTHING_RENEWED: con_printf("%s", msg(M_SUMMARY_NOTHING_RENEWED)); break;
    case OUTCOME_SAVE_FAILED: con_printf("%s", msg(M_SUMMARY_SAVE_FAILED)); break;
    default: con_printf("%s", msg(M_SUMMARY_CANCELLED)); break;
  }
}

}  // namespace

void summary_reset() {
  recordCount = 0;
  processedCount = 0;
}

void summary_add(int argIndex, const ModelState& ms) {
  ModelRecord* r = next_record(argIndex);
  if (!r) return;
  ++processedCount;
  r->outcome = ms.outcome;
  r->readError = ms.readError;
  r->links = ms.links;
  if (ms.outcome != OUTCOME_SAVED) return;
  namepart(r->saved, (int)sizeof r->saved, ms.outPath);
  namepartW(r->savedW, PATHBUF_CAP, ms.outPathW);
  if (!r->saved[0]) wide_to_sjis(r->saved, (int)sizeof r->saved, r->savedW);
}

void summary_add_not_reached(int argIndex) { next_record(argIndex); }

int summary_processed() { return processedCount; }

bool summary_any_left_broken() {
  for (int i = 0; i < recordCount; ++i)
    if (records[i].links.leftBroken > 0) return true;
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
