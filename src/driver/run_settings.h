// Run settings read by the driver; the flags every layer reads are in platform/settings.h.
#pragma once
#include "platform/settings.h"
#include <cstdint>

extern float ErrorAdmittance;
struct ConvSettings { signed char mode; };
extern ConvSettings Conv;
struct CancelSettings { struct { signed char dialogue; } displaying; };
extern CancelSettings Cancel;
struct TwistSettings { signed char check; };
extern TwistSettings Twist;  // option T: offer the twist-axis check

extern char programPath[520];
extern char16_t programPathW[520];
extern char programFolder[520];
extern char16_t programFolderW[520];

// Scans one option entry. With echo, stores and echoes settings; without, only
// reports characters outside the grammar (the model loop's second pass).
void scan_option_entry(const char* entry, bool echo);
