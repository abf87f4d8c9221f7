// The help text: how to call the program, every option, the exit codes.
#include "driver/driver.h"
#include "driver/messages.h"
#include "platform/console.h"

namespace {

// Options take either letter case, the long ones too.
bool same_ignoring_case(const char* a, const char* b) {
  for (;; ++a, ++b) {
    char x = *a >= 'A' && *a <= 'Z' ? (char)(*a - 'A' + 'a') : *a;
    char y = *b >= 'A' && *b <= 'Z' ? (char)(*b - 'A' + 'a') : *b;
    if (x != y) return false;
    if (!x) return true;
  }
}

}  // namespace

bool is_help_arg(const char* arg) {
  // "/?" reaches the program only where '/' starts an option: a POSIX
  // argument "/?" is a path and arrives as "\?".
  static const char* const asks[] = {"-h", "--help", "-?", "/?"};
  for (const char* a : asks)
    if (same_ignoring_case(arg, a)) return true;
  return false;
}

bool is_version_arg(const char* arg) { return same_ignoring_case(arg, "--version"); }

void print_help() { con_printf("%s", msg(M_HELP)); }
