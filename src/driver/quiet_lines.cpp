#include "driver/quiet_lines.h"

#include <cstdarg>

#include "driver/link_search.h"
#include "driver/messages.h"
#include "driver/model_state.h"
#include "driver/portable.h"
#include "driver/run_settings.h"
#include "driver/run_summary.h"
#include "platform/arg_list.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "pmx/model_store.h"
#include "text/sjis.h"

namespace {

void quiet_printf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void quiet_printf(const char* fmt, ...) {
  ConVisible visible;
  va_list ap;
  va_start(ap, fmt);
  con_vprintf(fmt, ap);
  va_end(ap);
}

// A format of one %s taking a name, shown in its UTF-16 form where the console can.
void quiet_name(const char* fmt, const char* ansi, const char16_t* wide) {
  ConVisible visible;
  con_printf_name(fmt, ansi, wide);
}

// -P's word on a link follows its other tags.
void quiet_tag(MsgId tag, int count = 0, const ModelState::LinkRecord* link = nullptr) {
  ConVisible visible;
  if (count) print_by_language(tag, count);
  else print_by_language(tag);
  if (link && link->portable != PORTABLE_UNSEEN && link->portable != PORTABLE_FINE) {
    con_printf(" ");
    portable_print_tag(link->portable, link->portableError);
  }
  con_printf(" \n");
}

// A link -P changed or found not portable, that opened as stored.
void portable_line(const ModelState::LinkRecord& link) {
  ConVisible visible;
  portable_print_tag(link.portable, link.portableError);
  con_printf(" \n");
}

bool is_model(int i) { return ansiArgs.entries[i][0] != '-' && ansiArgs.entries[i][0] != '/'; }

// The listing's tags of the automatic search, in the order of LinkRule, and
// those that count the candidates of a choice among several.
const MsgId kFoundTags[] = {M_TAG_FOUND_CASE, M_TAG_FOUND_MOVED, M_TAG_FOUND_CONVERTED, M_TAG_FOUND_MANGLED};
const MsgId kFoundCountTags[] = {M_TAG_FOUND_CASE_COUNT, M_TAG_FOUND_MOVED_COUNT, M_TAG_FOUND_CONVERTED_COUNT,
                                 M_TAG_FOUND_MANGLED_COUNT};

void link_line(int k, const ModelState::LinkRecord& link) {
  const bool portableSaid = link.portable != PORTABLE_UNSEEN && link.portable != PORTABLE_FINE;
  if (link.fate == FATE_NONE || (link.fate == FATE_OK && !portableSaid)) return;
  quiet_name(msg(M_QUIET_LINK), pmxModel.pmxtexlistpath[k], pmxModel.pmxtexlistpathW[k]);
  const bool renewed = link.fate == FATE_INFERRED || link.fate == FATE_PICKED || link.fate == FATE_FOUND ||
                       (portableSaid && pmxModel.texEntryRenewed[k]);
  if (renewed) quiet_name(msg(M_QUIET_RENEWED), pmxModel.pmxnewtexlistpath[k], pmxModel.pmxnewtexlistpathW[k]);
  switch (link.fate) {
    case FATE_NONE: return;
    case FATE_OK: portable_line(link); return;
    case FATE_SHARED_TOON: quiet_tag(M_TAG_SHARED_TOON); return;
    case FATE_RESTORED: quiet_tag(M_TAG_RESTORED, 0, &link); return;
    case FATE_INFERRED: quiet_tag(M_TAG_INFERRED, 0, &link); return;
    case FATE_PICKED: quiet_tag(M_QUIET_TAG_PICKED, 0, &link); return;
    case FATE_BROKEN:
    case FATE_LEFT_BROKEN:
      if (link.rejected != LINK_REJECT_OTHER_MODEL) {
        quiet_tag(M_TAG_LEFT_BROKEN);
      } else {
        ConVisible visible;
        print_by_language(M_TAG_LEFT_BROKEN);
        con_printf(" (%s) \n", msg(M_SUMMARY_REJECTED_OTHER_MODEL));
      }
      return;
    case FATE_FOUND:
      if (link.rule < LINK_RULE_CASE || link.rule > LINK_RULE_MANGLED) quiet_printf("\n");
      else if (link.candidates > 1) quiet_tag(kFoundCountTags[link.rule - LINK_RULE_CASE], link.candidates, &link);
      else quiet_tag(kFoundTags[link.rule - LINK_RULE_CASE], 0, &link);
      return;
  }
}

void result_line(int argIndex, const ModelState& ms) {
  ConVisible visible;
  if (ms.outcome == OUTCOME_DECLINED) con_printf("%s", msg(M_QUIET_DECLINED));
  else if (ms.outcome == OUTCOME_UNREADABLE && ms.pathTooLong) con_printf(msg(M_QUIET_PATH_TOO_LONG), PATHBUF_CAP - 1);
  else if (ms.outcome == OUTCOME_UNREADABLE) con_printf(msg(M_QUIET_UNREADABLE), ms.readError);
  else if (!summary_print_outcome(argIndex)) con_printf("%s", msg(M_SUMMARY_CANCELLED));
}

}  // namespace

void quiet_model_begin(int argIndex) {
  if (Quiet.mode == 0) return;
  int place = 0, total = 0;
  for (int i = 1; i < ansiArgs.count; ++i) {
    if (!is_model(i)) continue;
    ++total;
    if (i <= argIndex) ++place;
  }
  quiet_printf(msg(M_QUIET_MODEL), place, total);
  quiet_name("%s \n", ansiArgs.entries[argIndex], argIndex < wideArgs.count ? wideArgs.entries[argIndex] : nullptr);
}

void quiet_model_end(int argIndex, const ModelState& ms) {
  if (Quiet.mode == 0) return;
  for (int k = 0; k < ms.linkCount && k < TEX_MAX; ++k) link_line(k, ms.link[k]);
  if (ms.linkCount >= TEX_MAX && pmxModel.textureCount > TEX_MAX)
    quiet_printf(msg(M_QUIET_TEXTURES_CUT), TEX_MAX, (int)pmxModel.textureCount);
  // The listing's own words for the bound, on a line of its own.
  if (ms.searchCutSaid) {
    char line[512];
    search_cut_text(line, (int)sizeof line);
    quiet_printf("%s\n", line);
  }
  result_line(argIndex, ms);
}
