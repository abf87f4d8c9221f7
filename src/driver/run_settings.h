// Run settings read by the driver, and the options that set them; the flags
// every layer reads are in platform/settings.h. Defaults are set by
// run_settings_reset() before the option pass.
#pragma once
#include "platform/paths.h"
#include "platform/settings.h"
#include <cstdint>

inline float ErrorAdmittance;
struct ConvSettings { signed char mode; };
inline ConvSettings Conv;
struct CancelSettings { struct { signed char dialogue; } displaying; };
inline CancelSettings Cancel;
struct TwistSettings { signed char check; };
inline TwistSettings Twist;  // option T: offer the twist-axis check
// Abilities beyond the plain repair, each behind an option letter (0 = off).
struct AutoSettings {
  signed char search;  // option A: search the model's folder for broken links
  signed char answer;  // option Y: answer every question with its default
};
inline AutoSettings Auto;
struct FillSettings {
  signed char names;  // option F: a model lacking English names is saved for them alone
};
inline FillSettings Fill;
struct QuietSettings {
  signed char mode;  // option Q: per model only its name, the links not ok, problems and the result
};
inline QuietSettings Quiet;
struct OverwriteSettings {
  signed char output;  // option O: -Y replaces an existing output (it keeps it otherwise)
};
inline OverwriteSettings Overwrite;
struct RestoreSettings {
  signed char names;  // option R: move files with mangled names back to the stored paths
};
inline RestoreSettings Restore;
struct PortableSettings {
  signed char mode;  // option P: every link of a saved model relative, inside its folder, in the disk's case
};
inline PortableSettings Portable;

// A folder stood among the arguments (and was replaced by its models).
inline bool modelsFromFolders;

// ---- the options that set a byte ------------------------------------------------
// Each takes an optional '=' and a base-10 number, of which the low byte is
// kept; the option pass echoes the setting, the model loop's pass is silent.
enum OptionForm {
  FORM_LEVEL,   // no digits read as 0; echoed "<name> = <n>. "
  FORM_SWITCH,  // bare means 1; echoed "<name> = <n> "
  FORM_DIGITS,  // as a switch, but only a digit starts the number
};
struct ByteOption {
  const char* letters;  // upper case; either case matches
  OptionForm form;
  const char* name;  // the setting's dotted name, as echoed
  signed char* setting;
  signed char byDefault;
};
// A new ability's option is its setting above, one FORM_SWITCH row here, and
// its line in the help text.
inline const ByteOption kByteOptions[] = {
    {"D", FORM_LEVEL, "Info.displayLevel", &Info.displayLevel, 0},
    {"M", FORM_LEVEL, "Conv.mode", &Conv.mode, 15},
    {"ND", FORM_DIGITS, "Cancel.displaying.dialogue", &Cancel.displaying.dialogue, 0},
    {"T", FORM_SWITCH, "Twist.check", &Twist.check, 0},
    {"A", FORM_SWITCH, "Auto.search", &Auto.search, 0},
    {"Y", FORM_SWITCH, "Auto.answer", &Auto.answer, 0},
    {"F", FORM_SWITCH, "Fill.names", &Fill.names, 0},
    {"Q", FORM_SWITCH, "Quiet.mode", &Quiet.mode, 0},
    {"O", FORM_SWITCH, "Overwrite.output", &Overwrite.output, 0},
    {"R", FORM_SWITCH, "Restore.names", &Restore.names, 0},
    {"P", FORM_SWITCH, "Portable.mode", &Portable.mode, 0},
};

// Every run setting back to its default: those of the options (Info's
// included) and the folder flag. Start-up runs it before the option pass.
void run_settings_reset();

// Scans one option entry. With echo, stores and echoes settings; without, only
// reports characters outside the grammar (the model loop's second pass).
void scan_option_entry(const char* entry, bool echo);
// Stores the settings of one option entry and prints nothing, not even an
// error: for a look ahead at what the echoing pass will set.
void store_option_entry(const char* entry);

extern char programPath[PATHBUF_CAP];
extern char16_t programPathW[PATHBUF_CAP];
extern char programFolder[PATHBUF_CAP];
extern char16_t programFolderW[PATHBUF_CAP];
