// The run's closing summary: one line per model with what became of its links
// and its file, and below it the links it keeps broken; kept across models
// (the per-model state is cleared for each).
#pragma once
#include <cstdint>

#include "driver/messages.h"

// Room for the stored paths of the links the summary names. Past it a model's
// line still counts every link, and the links that found no room are said as
// "... and N more".
enum {
  SUMMARY_BROKEN_LINKS_MAX = 8192,         // named links over the whole run
  SUMMARY_BROKEN_TEXT_UNITS = 512 * 1024,  // bytes of their Shift-JIS paths, and as
                                           // many units of their UTF-16 paths
};

// Forgets every model recorded.
void summary_reset();
struct ModelState;
// Records the model at this argument index as its state holds it now.
void summary_add(int argIndex, const ModelState& ms);
// Records a model the run ended before.
void summary_add_not_reached(int argIndex);
// Models the loop took (not counting those it never reached).
int summary_processed();
// Models recorded, those the run never reached included.
int summary_models();
// True when a model recorded keeps a broken link (or, with -P, one not portable).
bool summary_any_left_broken();
// True when the save of a model recorded failed.
bool summary_any_save_failed();
// True when a model failed in a way only the console tells (no box shows it):
// it could not be read, or its save failed.
bool summary_any_failure_unboxed();
// The header and one line per model, in the message language.
void summary_print();
// The result of the model recorded for this argument index, in the summary's
// words (" => saved a-new.pmx \n"): -Q's result line. False, printing
// nothing, for a model whose links were not looked at (not read, declined, not
// reached): the summary says those without a result.
bool summary_print_outcome(int argIndex);
// A system error code in the words the summary gives a failed save (and -P a
// failed copy); M_SAVE_REASON_CODE, a format for the code, when it has none.
MsgId save_reason(uint32_t code);
