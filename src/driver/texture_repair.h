// Texture link check and repair: lists every texture path of the model that
// was just read as (ok) or (=NG=), asks whether to repair the broken ones, and
// repairs them by learned folder moves or by asking the user for the file.
#pragma once

struct TexturePhase {
  int brokenLinkTotal;  // broken in the check, before the answer
  int brokenLinkCount;  // after the answer: 0 when the user said No
  bool endRun;          // Cancel, or a link the user did not supply
  int leftGoingOn;      // links the repair went on without (-Y, or a dialog cancelled under -A)
  // -P: links that can be made portable, as the check saw them, and the answer.
  int portableNeeded;
  bool makePortable;      // Yes (or the default answer): make the model portable
  bool portableDeclined;  // No, asked about links that are not portable
};

struct ModelState;
// Works on the model the state names (its paths in both forms, which form
// failed to read, its on-disk name for the question): fills its texture
// result, working paths and link tally.
void texture_phase(ModelState& ms);

// Learned folder moves, kept for the whole run.
enum { TEX_FOLDER_MAP_MAX = 1024 };
int texfoldermap_count();
// Entry i (0-based) in learning order; false when out of range.
bool texfoldermap_get(int i, const char** oldFolder, const char** newFolder);
void texfoldermap_reset();  // tests: forget everything learned
// Appends one move; false when the table is full or a folder does not fit.
bool texfoldermap_learn(const char* oldFolder, const char16_t* oldFolderW,
                        const char* newFolder, const char16_t* newFolderW);

// The line that names the bound which stopped the search's listing of this
// model's folder; empty when none did.
void search_cut_text(char* dst, int cap);
