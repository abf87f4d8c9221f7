// The help text: how to call the program, every option, the exit codes.
#include "driver/driver.h"
#include "driver/messages.h"
#include "platform/console.h"

#include <cstring>

bool is_help_arg(const char* arg) {
  // "/?" reaches the program only where '/' starts an option: a POSIX
  // argument "/?" is a path and arrives as "\?".
  static const char* const asks[] = {"-h", "--help", "-?", "/?"};
  for (const char* a : asks)
    if (std::strcmp(arg, a) == 0) return true;
  return false;
}

void print_help() { con_printf("%s", msg(M_HELP)); }
