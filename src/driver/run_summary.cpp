#include "driver/run_summary.h"

#include <cstdio>

#include "driver/link_search.h"
#include "driver/model_state.h"
#include "platform/arg_list.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "text/sjis.h"

namespace {

struct ModelRecord {
  int argIndex;
  ModelOutcome outcome;
  int readError;
  ModelState::LinkTally links;
  char saved[PATHBUF_CAP];  // name of the file written
};

ModelRecord records[ARG_MAX_ENTRIES];
int recordCount = 0;
int processedCount = 0;

// The words of the listing's tags for the rules of the automatic search.
const char* const kRuleWords[LINK_RULE_MANGLED + 1] = {"", "case", "moved", "converted", "mangled"};

struct Words {
  const char *header, *ok, *sharedToon, *renewed, *picked, *inferred, *found, *broken;
  const char *saved, *fine, *answeredNo, *nothingRenewed, *cancelled, *saveFailed;
  const char *declined, *unreadable, *notReached;
};

const Words kEnglish = {
    "Summary: \n", "ok %d", ", shared toon %d", ", renewed %d", "picked %d", "inferred %d", "found: %s %d",
    ", still broken %d",
    " => saved %s \n", " => not saved: all links correct \n", " => not saved: answered No \n",
    " => not saved: no link renewed \n", " => not saved: cancelled \n", " => not saved: save failed \n",
    ": skipped, no \".PMX\" extension \n", ": not read (pmdinforead err %d) \n", ": not processed \n",
};

const Words kJapanese = {
    "\x8F\x88\x97\x9D\x8C\x8B\x89\xCA: \n",                       // 処理結果:
    "\x90\xB3\x8F\xED %d",                                        // 正常
    ", \x8B\xA4\x97L\x83g\x83" "D\x81[\x83\x93 %d",               // 共有トゥーン
    ", \x8DX\x90V %d",                                            // 更新
    "\x91I\x91\xF0 %d",                                           // 選択
    "\x97\xDE\x90\x84 %d",                                        // 類推
    "\x8C\x9F\x8Fo: %s %d",                                       // 検出
    ", \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC %d",                 // 破損のまま
    " => %s \x82\xD6\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD \n",  // へ保存しました
    // 保存なし: 修復すべき箇所なし
    " => \x95\xDB\x91\xB6\x82\xC8\x82\xB5: \x8F" "C\x95\x9C\x82\xB7\x82\xD7\x82\xAB\x89\xD3\x8F\x8A\x82\xC8\x82\xB5 \n",
    // 保存なし: 修復しないと回答
    " => \x95\xDB\x91\xB6\x82\xC8\x82\xB5: \x8F" "C\x95\x9C\x82\xB5\x82\xC8\x82\xA2\x82\xC6\x89\xF1\x93\x9A \n",
    // 保存なし: 更新できたリンクなし
    " => \x95\xDB\x91\xB6\x82\xC8\x82\xB5: \x8DX\x90V\x82\xC5\x82\xAB\x82\xBD\x83\x8A\x83\x93\x83N\x82\xC8\x82\xB5 \n",
    " => \x95\xDB\x91\xB6\x82\xC8\x82\xB5: \x92\x86\x92" "f \n",  // 保存なし: 中断
    " => \x95\xDB\x91\xB6\x8E\xB8\x94s \n",                       // 保存失敗
    // 拡張子 ".PMX" がないためスキップ
    ": \x8Ag\x92\xA3\x8Eq \".PMX\" \x82\xAA\x82\xC8\x82\xA2\x82\xBD\x82\xDF\x83X\x83L\x83" "b\x83v \n",
    ": \x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x8E\xB8\x94s (pmdinforead err %d) \n",  // 読み込み失敗
    ": \x96\xA2\x8F\x88\x97\x9D \n",                                            // 未処理
};

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
void print_renewals(const Words& w, const ModelState::LinkTally& t) {
  const char* sep = " (";
  if (t.picked) {
    con_printf("%s", sep);
    con_printf(w.picked, t.picked);
    sep = ", ";
  }
  if (t.inferred) {
    con_printf("%s", sep);
    con_printf(w.inferred, t.inferred);
    sep = ", ";
  }
  for (int rule = LINK_RULE_CASE; rule <= LINK_RULE_MANGLED; ++rule) {
    if (!t.found[rule]) continue;
    con_printf("%s", sep);
    con_printf(w.found, kRuleWords[rule], t.found[rule]);
    sep = ", ";
  }
  if (sep[0] == ',') con_printf(")");
}

void print_record(const Words& w, const ModelRecord& r) {
  const char* name = r.argIndex < ansiArgs.count ? ansiArgs.entries[r.argIndex] : "";
  con_printf(" %s", name);
  switch (r.outcome) {
    case OUTCOME_NOT_REACHED: con_printf("%s", w.notReached); return;
    case OUTCOME_DECLINED: con_printf("%s", w.declined); return;
    case OUTCOME_UNREADABLE: con_printf(w.unreadable, r.readError); return;
    default: break;
  }
  const ModelState::LinkTally& t = r.links;
  con_printf(": ");
  con_printf(w.ok, t.ok);
  if (t.sharedToon) con_printf(w.sharedToon, t.sharedToon);
  con_printf(w.renewed, renewed_count(t));
  print_renewals(w, t);
  con_printf(w.broken, t.leftBroken);
  switch (r.outcome) {
    case OUTCOME_SAVED: con_printf(w.saved, r.saved); break;
    case OUTCOME_LINKS_FINE: con_printf("%s", w.fine); break;
    case OUTCOME_ANSWERED_NO: con_printf("%s", w.answeredNo); break;
    case OUTCOME_NOTHING_RENEWED: con_printf("%s", w.nothingRenewed); break;
    case OUTCOME_SAVE_FAILED: con_printf("%s", w.saveFailed); break;
    default: con_printf("%s", w.cancelled); break;
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
  if (!r->saved[0]) {
    char16_t nameW[PATHBUF_CAP];
    namepartW(nameW, PATHBUF_CAP, ms.outPathW);
    wide_to_sjis(r->saved, (int)sizeof r->saved, nameW);
  }
}

void summary_add_not_reached(int argIndex) { next_record(argIndex); }

int summary_processed() { return processedCount; }

bool summary_any_left_broken() {
  for (int i = 0; i < recordCount; ++i)
    if (records[i].links.leftBroken > 0) return true;
  return false;
}

void summary_print() {
  const Words& w = japanese_mode() ? kJapanese : kEnglish;
  con_printf("\n%s", w.header);
  for (int i = 0; i < recordCount; ++i) print_record(w, records[i]);
}
