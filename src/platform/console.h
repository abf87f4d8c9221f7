// The one print routine. Everything the program shows on the console goes
// through here, in code page 932 bytes; the POSIX seam turns them into UTF-8.
// Where standard output is a Windows console, the text reaches it as UTF-16
// instead, so it reads right whatever the console's code page; redirected
// output gets the bytes.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <string>

// printf-like; returns the number of bytes formatted (cut at 64 KiB per call).
int con_printf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
int con_vprintf(const char* fmt, va_list ap);
// puts-like: the text and a newline.
void con_puts(const char* text);
// Raw bytes, no formatting.
void con_write(const char* bytes, size_t n);
void con_flush();

// The quiet gate (option Q). While it is shut, every routine of this file prints
// nothing (con_printf does not even format), except inside a ConVisible
// scope. So the rule is simple: under -Q only what is printed while a
// ConVisible lives appears; everything else is left out. With the gate open
// (the default) ConVisible changes nothing. Scopes nest; one made with
// false does nothing.
void con_set_quiet(bool on);
bool con_quiet();
struct ConVisible {
  explicit ConVisible(bool visible = true);
  ~ConVisible();
  ConVisible(const ConVisible&) = delete;
  ConVisible& operator=(const ConVisible&) = delete;

 private:
  bool counted;
};

// 1 when the console turns the printed code page 932 into UTF-8 on its way
// out (a POSIX terminal that does not show Shift-JIS). Text the program has
// already made UTF-8 must then not go through that conversion a second time.
int con_converts_to_utf8();
// Bytes that are UTF-8 already: out unchanged, also where con_write converts.
void con_write_utf8(const char* bytes, size_t n);
// Tests: 1 pass bytes unchanged, 0 convert to UTF-8, -1 ask the seam again.
void con_set_passthrough(int mode);

// A name or path the program holds in two forms: its ANSI form (the system's
// ANSI code page, or Shift-JIS) and, where known, its UTF-16 form. Bytes go
// out as the ANSI form, exactly as con_printf("%s") would print it; a console
// that takes UTF-16 shows the UTF-16 form when it is given and not empty, so
// a name the ANSI code page cannot hold shows as itself.
void con_name(const char* ansi, const char16_t* wide);
// The same for n bytes and wn units (no terminators needed).
void con_name_n(const char* ansi, size_t n, const char16_t* wide, size_t wn);
// printf-like with exactly one %s, which is the name; the format may hold %%
// but no other conversion.
void con_printf_name(const char* fmt, const char* ansi, const char16_t* wide);

// 1 when the text goes to a console as UTF-16 (Windows, standard output not
// redirected).
int con_to_screen();
// Tests: collect the UTF-16 text a console would be given instead of the
// bytes (as if standard output were such a console).
void con_capture_screen_begin();
std::u16string con_capture_screen_end();

// Tests: collect the bytes (before any conversion) instead of printing them.
void con_capture_begin();
std::string con_capture_end();

// Code page 932, as Windows reads it, to UTF-8 for a terminal that does not
// show Shift-JIS. A lead byte at the end of one chunk waits in the state for
// its trail in the next.
struct ConUtf8State {
  unsigned char pendingLead;  // 0 when nothing waits
};
// Converts src[0..n) and returns the bytes stored in dst. Stops early when dst
// (cap bytes) could not take the next character; *used tells how much of src
// was taken (may be null when cap >= 4 * n + 4, which always suffices).
// Codes with no mapping become '?'.
size_t con_cp932_to_utf8(ConUtf8State* st, const char* src, size_t n, char* dst, size_t cap,
                         size_t* used);
// The same to UTF-16 for a console that takes it; dst holds at least 2 * n + 2
// units, which always suffices. Returns the units stored.
size_t con_cp932_to_utf16(ConUtf8State* st, const char* src, size_t n, char16_t* dst);
