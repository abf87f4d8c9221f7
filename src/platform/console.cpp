#include "platform/console.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "encoding/codec.h"
#include "platform/os.h"

namespace {

enum { FORMAT_CAP = 65536 };
char formatBuffer[FORMAT_CAP];

bool capturing = false;
std::string captured;
bool capturingScreen = false;
std::u16string capturedScreen;

// -1 until the first write asks the seam.
int passthrough = -1;
int screen = -1;
ConUtf8State consoleState = {0};

bool quiet = false;
int visibleDepth = 0;  // ConVisible scopes that count
bool shut() { return quiet && visibleDepth == 0; }

bool converts() {
  if (passthrough < 0) passthrough = os_console_passthrough() ? 1 : 0;
  return passthrough == 0;
}

bool to_screen() {
  if (capturingScreen) return true;
  if (screen < 0) screen = os_console_screen() ? 1 : 0;
  return screen == 1;
}

void screen_write(const char16_t* units, size_t n) {
  if (n == 0) return;
  if (capturingScreen)
    capturedScreen.append(units, n);
  else
    os_console_writeW(units, n);
}

// A lead byte still waiting for its trail has none coming.
void screen_drop_pending() {
  if (!consoleState.pendingLead) return;
  consoleState.pendingLead = 0;
  screen_write(u"?", 1);
}

const size_t SCREEN_PIECE = 1024;

void emit_screen(const char* bytes, size_t n) {
  char16_t out[2 * SCREEN_PIECE + 2];
  while (n > 0) {
    size_t piece = n < SCREEN_PIECE ? n : SCREEN_PIECE;
    screen_write(out, con_cp932_to_utf16(&consoleState, bytes, piece, out));
    bytes += piece;
    n -= piece;
  }
}

void emit_screen_utf8(const char* bytes, size_t n) {
  screen_drop_pending();
  char16_t out[SCREEN_PIECE + 2];
  size_t o = 0;
  for (size_t i = 0; i < n;) {
    uint32_t cp = '?';
    int len = utf8_sequence_length((unsigned char)bytes[i], UTF8_LENIENT);
    if (len == 0 || (size_t)len > n - i) {
      len = 1;
    } else {
      char seq[5] = {0, 0, 0, 0, 0};
      for (int k = 0; k < len; ++k) seq[k] = bytes[i + k];
      int got = utf8_decode(seq, &cp, UTF8_LENIENT);
      if (got <= 0 || cp == 0 || cp > 0x10FFFF || utf16_is_surrogate(cp)) {
        cp = '?';
        len = got < 0 ? -got : 1;
      } else {
        len = got;
      }
    }
    i += (size_t)len;
    o += (size_t)utf16_encode(cp, out + o);
    if (o + 2 > SCREEN_PIECE) {
      screen_write(out, o);
      o = 0;
    }
  }
  screen_write(out, o);
}

void emit(const char* bytes, size_t n) {
  if (n == 0 || shut()) return;
  if (capturing) {
    captured.append(bytes, n);
    return;
  }
  if (to_screen()) {
    emit_screen(bytes, n);
    return;
  }
  if (!converts()) {
    os_console_write(bytes, n);
    return;
  }
  char out[4 * 1024 + 4];
  while (n > 0) {
    size_t piece = n < 1024 ? n : 1024;
    size_t len = con_cp932_to_utf8(&consoleState, bytes, piece, out, sizeof out, nullptr);
    os_console_write(out, len);
    bytes += piece;
    n -= piece;
  }
}

}  // namespace

size_t con_cp932_to_utf8(ConUtf8State* st, const char* src, size_t n, char* dst, size_t cap,
                         size_t* used) {
  const unsigned char* s = (const unsigned char*)src;
  size_t i = 0, o = 0;
  while (i < n) {
    unsigned char b = s[i];
    // Most console text is ASCII, which stays as it is (0x5C and 0x7E included;
    // a NUL byte is no text and still shows as "?").
    if (b != 0 && b < 0x80 && !st->pendingLead) {
      if (o + 1 > cap) break;
      dst[o++] = (char)b;
      i++;
      continue;
    }
    uint32_t cp;
    size_t take = 1;
    if (st->pendingLead) {
      if (!cp932_is_trail(b)) {
        // A lead byte without a valid trail stands alone; the byte is read again.
        if (o + 1 > cap) break;
        dst[o++] = '?';
        st->pendingLead = 0;
        continue;
      }
      cp = cp932_decode((unsigned)st->pendingLead << 8 | b, CP932_WINDOWS);
      if (cp == 0) cp = '?';
      if (o + (size_t)utf8_length(cp) > cap) break;
      st->pendingLead = 0;
    } else if (cp932_is_lead(b)) {
      if (i + 1 >= n) {
        st->pendingLead = b;
        i++;
        continue;
      }
      if (!cp932_is_trail(s[i + 1])) {
        cp = '?';
      } else {
        cp = cp932_decode((unsigned)b << 8 | s[i + 1], CP932_WINDOWS);
        if (cp == 0) cp = '?';
        take = 2;
      }
      if (o + (size_t)utf8_length(cp) > cap) break;
    } else {
      cp = cp932_decode(b, CP932_WINDOWS);
      if (cp == 0) cp = '?';
      if (o + (size_t)utf8_length(cp) > cap) break;
    }
    o += (size_t)utf8_encode(cp, dst + o);
    i += take;
  }
  if (used) *used = i;
  return o;
}

size_t con_cp932_to_utf16(ConUtf8State* st, const char* src, size_t n, char16_t* dst) {
  const unsigned char* s = (const unsigned char*)src;
  size_t i = 0, o = 0;
  while (i < n) {
    unsigned char b = s[i];
    uint32_t cp;
    size_t take = 1;
    if (st->pendingLead) {
      if (!cp932_is_trail(b)) {
        // As in the UTF-8 form: the lone lead shows as '?', the byte is read again.
        dst[o++] = u'?';
        st->pendingLead = 0;
        continue;
      }
      cp = cp932_decode((unsigned)st->pendingLead << 8 | b, CP932_WINDOWS);
      st->pendingLead = 0;
    } else if (b != 0 && b < 0x80) {
      cp = b;
    } else if (cp932_is_lead(b)) {
      if (i + 1 >= n) {
        st->pendingLead = b;
        i++;
        continue;
      }
      if (cp932_is_trail(s[i + 1])) {
        cp = cp932_decode((unsigned)b << 8 | s[i + 1], CP932_WINDOWS);
        take = 2;
      } else {
        cp = 0;
      }
    } else {
      cp = cp932_decode(b, CP932_WINDOWS);
    }
    if (cp == 0 || cp > 0x10FFFF || utf16_is_surrogate(cp)) cp = '?';
    o += (size_t)utf16_encode(cp, dst + o);
    i += take;
  }
  return o;
}

int con_vprintf(const char* fmt, va_list ap) {
  // A shut gate spares the formatting too: a quiet batch skips most of its text.
  if (shut()) return 0;
  int n = vsnprintf(formatBuffer, FORMAT_CAP, fmt, ap);
  if (n < 0) return n;
  if (n > FORMAT_CAP - 1) n = FORMAT_CAP - 1;
  emit(formatBuffer, (size_t)n);
  return n;
}

int con_printf(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  int n = con_vprintf(fmt, ap);
  va_end(ap);
  return n;
}

void con_puts(const char* text) {
  emit(text, strlen(text));
  emit("\n", 1);
}

void con_write(const char* bytes, size_t n) { emit(bytes, n); }

void con_write_utf8(const char* bytes, size_t n) {
  if (n == 0 || shut()) return;
  if (!capturing && to_screen()) {
    emit_screen_utf8(bytes, n);
    return;
  }
  if (capturing || !converts()) {
    emit(bytes, n);
    return;
  }
  // A lead byte still waiting for its trail has none coming.
  if (consoleState.pendingLead) {
    consoleState.pendingLead = 0;
    os_console_write("?", 1);
  }
  os_console_write(bytes, n);
}

void con_set_quiet(bool on) { quiet = on; }
bool con_quiet() { return quiet; }
ConVisible::ConVisible(bool visible) : counted(visible) {
  if (counted) ++visibleDepth;
}
ConVisible::~ConVisible() {
  if (counted) --visibleDepth;
}

int con_converts_to_utf8() { return converts() ? 1 : 0; }

void con_name_n(const char* ansi, size_t n, const char16_t* wide, size_t wn) {
  if (shut()) return;
  if (capturing || !to_screen()) {
    emit(ansi, n);
    return;
  }
  if (wide && wn > 0) {
    screen_drop_pending();
    screen_write(wide, wn);
    return;
  }
  screen_drop_pending();
  char16_t out[SCREEN_PIECE];
  while (n > 0) {
    // Whole characters per piece: a double-byte one is not split.
    size_t piece = n < SCREEN_PIECE / 2 ? n : SCREEN_PIECE / 2;
    size_t k = 0;
    while (k < piece) k += (os_is_dbcs_lead((unsigned char)ansi[k]) && k + 1 < n) ? 2 : 1;
    piece = k;
    screen_write(out, os_ansi_to_wide(ansi, piece, out, SCREEN_PIECE));
    ansi += piece;
    n -= piece;
  }
}

void con_name(const char* ansi, const char16_t* wide) {
  size_t wn = 0;
  if (wide)
    while (wide[wn]) ++wn;
  con_name_n(ansi ? ansi : "", ansi ? strlen(ansi) : 0, wide, wn);
}

// A format without conversions: "%%" prints as '%'.
static void emit_plain_format(const char* s, size_t n) {
  size_t start = 0;
  for (size_t i = 0; i + 1 < n; ++i) {
    if (s[i] == '%' && s[i + 1] == '%') {
      emit(s + start, i + 1 - start);
      start = ++i + 1;
    }
  }
  emit(s + start, n - start);
}

void con_printf_name(const char* fmt, const char* ansi, const char16_t* wide) {
  const char* at = strstr(fmt, "%s");
  if (!at) {
    emit_plain_format(fmt, strlen(fmt));
    return;
  }
  emit_plain_format(fmt, (size_t)(at - fmt));
  con_name(ansi, wide);
  emit_plain_format(at + 2, strlen(at + 2));
}

int con_to_screen() { return !capturing && to_screen() ? 1 : 0; }

void con_capture_screen_begin() {
  capturedScreen.clear();
  consoleState.pendingLead = 0;
  capturingScreen = true;
}

std::u16string con_capture_screen_end() {
  capturingScreen = false;
  consoleState.pendingLead = 0;
  std::u16string out;
  out.swap(capturedScreen);
  return out;
}

void con_set_passthrough(int mode) { passthrough = mode; }

void con_flush() {
  if (!capturing) os_console_flush();
}

void con_capture_begin() {
  captured.clear();
  capturing = true;
}

std::string con_capture_end() {
  capturing = false;
  std::string out;
  out.swap(captured);
  return out;
}
