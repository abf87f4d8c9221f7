// Run settings read by the driver; the flags every layer reads are in platform/settings.h.
#pragma once
#include "platform/paths.h"
#include "platform/settings.h"
#include <cstdint>

extern float ErrorAdmittance;
struct ConvSettings { signed char mode; };
extern ConvSettings Conv;
struct CancelSettings { struct { signed char dialogue; } displaying; };
extern CancelSettings Cancel;
struct TwistSettings { signed char check; };
extern TwistSettings Twist;  // option T: offer the twist-axis check
// Abilities beyond the plain repair, each behind an option letter (0 = off).
struct AutoSettings {
  signed char search;  // option A: search the model's folder for broken links
  signed char answer;  // option Y: answer every question with its default
};
extern AutoSettings Auto;
struct FillSettings {
  signed char names;  // option F: a model lacking English names is saved for them alone
};
extern FillSettings Fill;

extern char programPath[PATHBUF_CAP];
extern char16_t programPathW[PATHBUF_CAP];
extern char programFolder[PATHBUF_CAP];
extern char16_t programFolderW[PATHBUF_CAP];

// Every run setting back to its default (those of platform/settings.h that
// options set included); start-up runs it before the option pass.
void run_settings_reset();

// Scans one option entry. With echo, stores and echoes settings; without, only
// reports characters outside the grammar (the model loop's second pass).
void scan_option_entry(const char* entry, bool echo);

// A folder stood among the arguments (and was replaced by its models).
extern bool modelsFromFolders;
