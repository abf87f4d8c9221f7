// Portable models (-P): a saved model whose every link is relative, inside the
// model's folder and spelled in the disk's letter case, so that it opens
// wherever the folder is copied, on any system. Image files the model links
// outside its folder are copied into one folder below it.
#pragma once
#include <cstdint>

struct ModelState;

// The folder below the model's folder that copies go to.
#define PORTABLE_COPY_FOLDER u"shared"

// Error codes of a copy beyond the system's (bit 29: an application's own codes).
enum : uint32_t {
  PORTABLE_ERROR_NO_FREE_NAME = 0x20000001u,  // every numbered name is taken
  PORTABLE_ERROR_LINKED = 0x20000002u,        // the file is a link to another file
};

// Starts a model: its folder (the check's pmxDir, made absolute) is the base of
// every look. Before the check's first link.
void portable_begin(ModelState& ms);
// Looks at link k as it stands (stored, or renewed by the repair) and records in
// ms.link[k].portable what it needs. True when it names a file: as stored, only
// when letter case is ignored, or by an absolute path. False, and nothing
// recorded, for a shared toon or a link that names nothing.
bool portable_look(ModelState& ms, int k);
// The check's note after "(ok)" for a link the look found not portable.
void portable_print_note(const ModelState& ms, int k);
// Whether making the model portable changes a link in this state.
bool portable_needed(int state);
// Makes every link that names a file portable, listing each one that changes or
// stays not portable; renews them in the model store and counts them.
void portable_phase(ModelState& ms);
// Counts what the check found not portable, for a model that stays as it is.
void portable_count_left(ModelState& ms);
// The tag of a link's state under -P (what the check noted, or what became of
// it), for -Q's line of the link; false, printing nothing, for a link that is
// portable or was not looked at.
bool portable_print_tag(int state, uint32_t error);

// Copies the file src into folder (with its trailing backslash) under name, or
// "stem (2).ext" and so on when a different file has the name (in any letter
// case): through a temporary and a rename that never replaces, so no other file
// is touched and no partial file remains. A file of identical bytes under one of
// those names is taken instead of a new copy. 0 with the name used (cap units),
// else the error code.
uint32_t portable_copy_into(const char16_t* folder, const char16_t* src, const char16_t* name, char16_t* used,
                            int cap);
