// The run's closing summary: one line per model with what became of its links
// and its file, kept across models (the per-model state is cleared for each).
#pragma once

// Forgets every model recorded.
void summary_reset();
struct ModelState;
// Records the model at this argument index as its state holds it now.
void summary_add(int argIndex, const ModelState& ms);
// Records a model the run ended before.
void summary_add_not_reached(int argIndex);
// Models the loop took (not counting those it never reached).
int summary_processed();
// True when a model recorded keeps a broken link.
bool summary_any_left_broken();
// True when a model failed in a way only the console tells (no box shows it):
// it could not be read, or its save failed.
bool summary_any_failure_unboxed();
// The header and one line per model, in the message language.
void summary_print();
