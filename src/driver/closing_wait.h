// A console window that belongs to the program alone (files dropped on it, a
// double-click) closes when the program ends. When the run leaves something
// to read there, the window waits for Enter first.
#pragma once

struct ClosingFacts {
  bool ownWindow;       // the console is this process's alone and shows its output
  bool showsNoBoxes;    // the run was asked to show no boxes (-Y)
  bool failureUnboxed;  // a failure only the console told: a model not read, a failed save
};

// Whether the window waits: only a window of its own, and only with something to read.
bool closing_wait_wanted(const ClosingFacts& f);
// True when the run was started to show no boxes. Every option that silences
// the boxes belongs here, so that its runs keep their window open as well.
bool run_shows_no_boxes();
// The facts of the run that just ended (the model loop's summary records).
ClosingFacts closing_facts();
// " Press Enter to close. " in the message language.
void closing_prompt();
// At the end of a run: the prompt and the wait, when wanted.
void closing_wait();
