#include "driver/closing_wait.h"

#include "driver/messages.h"
#include "driver/run_settings.h"
#include "driver/run_summary.h"
#include "platform/console.h"
#include "platform/os.h"
#include "platform/settings.h"

bool closing_wait_wanted(const ClosingFacts& f) { return f.ownWindow && (f.showsNoBoxes || f.failureUnboxed); }

bool run_shows_no_boxes() { return Auto.answer != 0; }

ClosingFacts closing_facts() {
  ClosingFacts f;
  f.ownWindow = os_console_own_window() != 0;
  f.showsNoBoxes = run_shows_no_boxes();
  f.failureUnboxed = summary_any_failure_unboxed();
  return f;
}

void closing_prompt() { con_printf("%s", msg(M_PRESS_ENTER)); }

void closing_wait() {
  if (!closing_wait_wanted(closing_facts())) return;
  closing_prompt();
  con_flush();
  os_console_wait_enter();
}
