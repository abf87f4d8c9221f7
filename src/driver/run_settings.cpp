// Run settings of the driver and the option scanner shared by start-up and the
// model loop's second pass.
#include "driver/run_settings.h"

#include <cstdint>
#include <cstdlib>

#include "platform/console.h"

float ErrorAdmittance = 1.5f;
ConvSettings Conv = {15};
CancelSettings Cancel = {{0}};
TwistSettings Twist = {0};
AutoSettings Auto = {0, 0};
FillSettings Fill = {0};
bool modelsFromFolders = false;

char programPath[PATHBUF_CAP];
char16_t programPathW[PATHBUF_CAP];
char programFolder[PATHBUF_CAP];
char16_t programFolderW[PATHBUF_CAP];

namespace {

// Only the low byte of an option value is kept, read back as a signed byte.
signed char low_byte(long v) { return (signed char)(unsigned char)(v & 0xFF); }

const char* skip_equals(const char* p) { return *p == '=' ? p + 1 : p; }

// strtol with Windows' 32-bit long on every system: blanks and a sign allowed,
// no digits gives 0 with *end == p, and a value out of range saturates at
// 2147483647 or -2147483648, so its low byte is the same everywhere.
long read_long(const char* p, const char** end) {
  char* e = nullptr;
  long long v = strtoll(p, &e, 10);
  *end = e;
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return (long)v;
}

// A switch letter: optional '=', then a number; bare, it switches on (1).
// Returns where the scan goes on.
const char* scan_switch(const char* p, bool echo, signed char* setting, const char* name) {
  const char* start = skip_equals(p);
  const char* end = start;
  long v = read_long(start, &end);
  if (echo) {
    *setting = (end == start) ? 1 : low_byte(v);
    con_printf("%s = %d \n", name, (int)*setting);
  }
  return end;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void run_settings_reset() {
  Info.displayLevel = 0;
  ErrorAdmittance = 1.5f;
  Conv.mode = 15;
  Cancel.displaying.dialogue = 0;
  Twist.check = 0;
  Auto.search = 0;
  Auto.answer = 0;
  Fill.names = 0;
  modelsFromFolders = false;
}

void scan_option_entry(const char* entry, bool echo) {
  const char* p = entry;
  while (*p) {
    char c = *p++;
    const char* end = p;
    switch (c) {
      case '-':
      case '/':
        break;
      case 'D':
      case 'd': {
        long v = read_long(skip_equals(p), &end);
        p = end;
        if (echo) {
          Info.displayLevel = low_byte(v);
          con_printf("Info.displayLevel = %ld. \n", (long)Info.displayLevel);
        }
        break;
      }
      case 'E':
      case 'e': {
        if (*p == 'A' || *p == 'a') p++;
        p = skip_equals(p);
        char* e = nullptr;
        double v = strtod(p, &e);
        p = e;
        if (echo) {
          ErrorAdmittance = (float)v;
          con_printf("ErrorAdmittance = %g \n", (double)ErrorAdmittance);
        }
        break;
      }
      case 'M':
      case 'm': {
        long v = read_long(skip_equals(p), &end);
        p = end;
        if (echo) {
          Conv.mode = low_byte(v);
          con_printf("Conv.mode = %ld. \n", (long)Conv.mode);
        }
        break;
      }
      case 'N':
      case 'n':
        if (*p == 'D' || *p == 'd') {
          p = skip_equals(p + 1);
          signed char v = 1;
          if (is_digit(*p)) {
            v = low_byte(read_long(p, &end));
            p = end;
          }
          if (echo) {
            Cancel.displaying.dialogue = v;
            con_printf("Cancel.displaying.dialogue = %d \n", (int)Cancel.displaying.dialogue);
          }
        } else {
          // An N on its own takes a number and drops it.
          read_long(skip_equals(p), &end);
          p = end;
        }
        break;
      case 'T':
      case 't':
        p = scan_switch(p, echo, &Twist.check, "Twist.check");
        break;
      case 'A':
      case 'a':
        p = scan_switch(p, echo, &Auto.search, "Auto.search");
        break;
      case 'Y':
      case 'y':
        p = scan_switch(p, echo, &Auto.answer, "Auto.answer");
        break;
      case 'F':
      case 'f':
        p = scan_switch(p, echo, &Fill.names, "Fill.names");
        break;
      default:
        // The value as a signed byte: bytes from 0x80 show as FFFFFFxx.
        con_printf("\nOption error: <%c> %02X", c, (unsigned)(int)(signed char)c);
        break;
    }
  }
}
