// Entry points of the correction driver.
#pragma once
#include <cstdint>

#include "platform/settings.h"

// Start-up with the ANSI argument vector; returns the process exit code.
int startup_main(int argc, char** argv);
// The loop over the model list; returns resultCode.
int model_loop();
// Runs when no model path was given: adds one chosen model and returns true,
// or prints the usage and returns false (the run then ends with exit code 0).
bool no_model_start();

// resultCode: the bit a declined extension question adds, the codes the
// end-of-run line explains, and the bits an unattended run adds when a model
// keeps a broken link or a save failed.
enum {
  RESULT_DECLINED = 16,
  RESULT_LINKS_LEFT_BROKEN = 32,
  RESULT_SAVE_FAILED = 64,
  RESULT_CANNOT_OPEN = -1,
  RESULT_FILE_FORMAT = 2,
  RESULT_EARLY_END = 3,
};

// ---- start-up in steps (startup_main runs them in this order) ----------------
// The language flags for a user language id, a console output code page and
// whether the ANSI code page is a double-byte one.
LangFlags lang_flags_for(uint16_t langId, uint32_t consoleCp, bool dbcsAnsi);
// Windows version, console code page and language flags from the system.
void startup_environment();
// The version line of the start-up banner for a Windows version (cap bytes).
void version_line_for(char* buf, int cap, float osVersion);
// Title line, version line and language tag.
void startup_banner();
// Folder of a program path, ending in a backslash; the current folder when the
// path has none. Prints the failure line and leaves dst empty when that fails.
// curdir is os_current_dirA / os_current_dirW (replaceable for tests).
void program_folder_for(char* dst, int cap, const char* path,
                        uint32_t (*curdir)(char*, uint32_t));
void program_folder_forW(char16_t* dst, int cap, const char16_t* path,
                         uint32_t (*curdir)(char16_t*, uint32_t));
// Both argument lists, program path and folder. cmdline null: the process's.
void startup_lists(int argc, char** argv, const char16_t* cmdline);
// Option defaults, then the option pass with its echoes and test opens.
void startup_options();
// The test-open lines of one model path (ANSI first, then UTF-16).
void test_open_report(const char* ansiPath, const char16_t* widePath);

// "Usage" and the one-line command form.
void print_usage();
// True when an argument asks for the help text (-h, -H, --help, -?, and /?
// where '/' starts an option).
bool is_help_arg(const char* arg);
// True for --version, which prints the title line alone.
bool is_version_arg(const char* arg);
// The help text: usage, every option, the exit codes; in the message language.
void print_help();

// ---- start without a model path in steps (no_model_start runs both) ---------
// The notice that no model was named, in the message language.
void no_model_notice();
// The model dialog; appends the chosen file to both lists and reports its test
// opens. 0 added and openable; -1 cancelled, failed or not openable.
int no_model_pick();
