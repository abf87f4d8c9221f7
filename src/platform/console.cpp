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

// -1 until the first write asks the seam.
int passthrough = -1;
ConUtf8State consoleState = {0};

bool quiet = false;
int visibleDepth = 0;  // ConVisible scopes that count
bool shut() { return quiet && visibleDepth == 0; }

bool converts() {
  if (passthrough < 0) passthrough = os_console_passthrough() ? 1 : 0;
  return passthrough == 0;
}

void emit(const char* bytes, size_t n) {
  if (n == 0 || shut()) return;
  if (capturing) {
    captured.append(bytes, n);
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
