// Run settings of the driver and the option scanner shared by start-up and the
// model loop's second pass.
#include "driver/run_settings.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/console.h"

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

bool is_digit(char c) { return c >= '0' && c <= '9'; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c; }

// The row whose letters stand at p, or null.
const ByteOption* byte_option_at(const char* p) {
  for (const ByteOption& o : kByteOptions) {
    int n = 0;
    while (o.letters[n] && upper(p[n]) == o.letters[n]) n++;
    if (!o.letters[n]) return &o;
  }
  return nullptr;
}

// Reads the number after an option's letters (at p); stores and echoes it
// when asked. Returns where the scan goes on.
// Store without any output (store_option_entry).
bool silent = false;

const char* scan_byte_option(const ByteOption& o, const char* p, bool echo) {
  const char* start = skip_equals(p);
  const char* end = start;
  long v = 1;
  if (o.form != FORM_DIGITS || is_digit(*start)) v = read_long(start, &end);
  if (o.form != FORM_LEVEL && end == start) v = 1;
  if (!echo) return end;
  *o.setting = low_byte(v);
  if (silent) return end;
  if (o.form == FORM_LEVEL)
    con_printf("%s = %ld. \n", o.name, (long)*o.setting);
  else
    con_printf("%s = %d \n", o.name, (int)*o.setting);
  return end;
}

}  // namespace

void run_settings_reset() {
  for (const ByteOption& o : kByteOptions) *o.setting = o.byDefault;
  ErrorAdmittance = 1.5f;
  modelsFromFolders = false;
}

void scan_option_entry(const char* entry, bool echo) {
  const char* p = entry;
  while (*p) {
    if (const ByteOption* o = byte_option_at(p)) {
      p = scan_byte_option(*o, p + std::strlen(o->letters), echo);
      continue;
    }
    char c = *p++;
    const char* end = p;
    switch (c) {
      case '-':
      case '/':
        break;
      case 'E':
      case 'e': {
        if (*p == 'A' || *p == 'a') p++;
        p = skip_equals(p);
        char* e = nullptr;
        double v = strtod(p, &e);
        p = e;
        if (echo) {
          ErrorAdmittance = (float)v;
          if (!silent) con_printf("ErrorAdmittance = %g \n", (double)ErrorAdmittance);
        }
        break;
      }
      case 'N':
      case 'n':
        // An N without its D takes a number and drops it.
        read_long(skip_equals(p), &end);
        p = end;
        break;
      default:
        // The value as a signed byte: bytes from 0x80 show as FFFFFFxx.
        if (!silent) con_printf("\nOption error: <%c> %02X", c, (unsigned)(int)(signed char)c);
        break;
    }
  }
}

void store_option_entry(const char* entry) {
  silent = true;
  scan_option_entry(entry, true);
  silent = false;
}
