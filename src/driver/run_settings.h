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

extern char programPath[PATHBUF_CAP];
extern char16_t programPathW[PATHBUF_CAP];
extern char programFolder[PATHBUF_CAP];
extern char16_t programFolderW[PATHBUF_CAP];

// Scans one option entry. With echo, stores and echoes settings; without, only
// reports characters outside the grammar (the model loop's second pass).
void scan_option_entry(const char* entry, bool echo);

// A folder stood among the arguments (and was replaced by its models).
extern bool modelsFromFolders;
