// Names restored on disk (-R): a broken link whose file lies at its stored
// place under names an unpacker mangled gets its file moved back to exactly
// the stored path, so the model opens as shipped in every program. Moves stay
// below the model's folder, never replace or copy anything, and are logged in
// the model's folder for undoing by hand.
#pragma once

struct ModelState;

// The undo log, in the model's folder.
extern const char16_t kRestoreLogNameW[];

// Once the user chose to repair the model's links: finds the files to move,
// asks once (unless unattended) and moves them, recording in ms.link[k] and
// ms.restore. No answer Yes: nothing moves and nothing is recorded.
void restore_names(ModelState& ms, bool useWide);
// In the repair listing, after "k: <link> ": true when link k's file was moved
// back; its tag and its move are printed and the link stays as stored.
bool restore_list_link(ModelState& ms, int k);
// Link k's file was moved back, whether the listing reached it or not.
bool restore_link_moved(const ModelState& ms, int k);
// Links whose files were moved back, listed or not yet.
int restore_links_moved(const ModelState& ms);
// After link k's line in the listing: why its file was not moved back, if
// one was to be.
void restore_print_reason(ModelState& ms, int k);
