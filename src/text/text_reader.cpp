#include "text/text_reader.h"

#include <cstdio>
#include <cstdlib>

#include "encoding/codec.h"
#include "platform/console.h"
#include "platform/os.h"

namespace {

enum { TXT_BUF_CAP = 8192 };

struct TextReader {
  bool open;
  bool wide;
  os_file handle;
  FILE* stream;
  unsigned char buffer[TXT_BUF_CAP];
  int32_t fill;
  int32_t position;
  int32_t lookahead;
  bool eof;
  int32_t byteCount;
  int32_t lineCount;
  bool hookRegistered;
  bool failed;  // a read failed: what follows it is unknown, not absent
};

TextReader rd = {false, false, OS_BAD_FILE, nullptr, {}, 0, 0, -1, false, 0, 0, false, false};

void exit_hook() { txt_close(); }

void register_hook() {
  if (rd.hookRegistered) return;
  rd.hookRegistered = true;
  std::atexit(exit_hook);
}

// Next byte of the file, -1 at its end or after a failing read (marked).
int32_t fetch() {
  if (rd.wide) {
    if (rd.position >= rd.fill) {
      uint32_t done = 0;
      const int ok = os_read(rd.handle, rd.buffer, TXT_BUF_CAP, &done);
      if (!ok || done == 0) {
        if (!ok) rd.failed = true;
        rd.fill = 0;
        rd.position = 0;
        return -1;
      }
      rd.fill = static_cast<int32_t>(done);
      rd.position = 0;
    }
    return rd.buffer[rd.position++];
  }
  int c = std::fgetc(rd.stream);
  if (c == EOF && std::ferror(rd.stream)) rd.failed = true;
  return c == EOF ? -1 : c;
}

void start_reading(bool wide) {
  register_hook();
  rd.open = true;
  rd.wide = wide;
  rd.eof = false;
  rd.failed = false;
  rd.byteCount = 0;
  rd.lineCount = 0;
  rd.fill = 0;
  rd.position = 0;
  rd.lookahead = fetch();
  if (rd.lookahead >= 0) rd.byteCount = 1;
}

bool is_line_end(int32_t c) { return c == 0x0D || c == 0x0A || c == 0x1A; }

int openCount = 0;  // txt_open_count

}  // namespace

void txt_close() {
  if (!rd.open) return;
  if (rd.wide) {
    // A handle that refuses to close is kept, as the system still owns it.
    if (os_close(rd.handle)) {
      rd.handle = OS_BAD_FILE;
      rd.open = false;
    }
  } else {
    std::fclose(rd.stream);
    rd.stream = nullptr;
    rd.open = false;
  }
  rd.lookahead = -1;
}

int txt_exists(const char* path) {
  txt_close();
  rd.eof = false;
  rd.byteCount = 0;
  if (path == nullptr) return -1;
  FILE* f = os_fopen(path, "rb");
  if (f == nullptr) return -1;
  std::fclose(f);
  return 0;
}

int txt_exists_wide(const char16_t* path) {
  txt_close();
  rd.eof = false;
  rd.byteCount = 0;
  if (path == nullptr) return -1;
  os_file h = os_open_readW(path);
  if (h == OS_BAD_FILE) return -1;
  os_close(h);
  return 0;
}

int txt_open_count() { return openCount; }

namespace {
// The file opened by either path form becomes the one being read.
int begin_file(FILE* stream, os_file handle, bool wide) {
  if (stream == nullptr && handle == OS_BAD_FILE) return -1;
  ++openCount;
  rd.stream = stream;
  rd.handle = handle;
  start_reading(wide);
  return 0;
}
}  // namespace

int txt_open(const char* path) {
  // Only one file at a time: a stream left open would otherwise be lost.
  txt_close();
  if (path == nullptr) return -1;
  return begin_file(os_fopen(path, "rb"), OS_BAD_FILE, false);
}

int txt_open_wide(const char16_t* path) {
  txt_close();
  if (path == nullptr) return -1;
  return begin_file(nullptr, os_open_readW(path), true);
}

int txt_peek() { return rd.open ? rd.lookahead : -1; }

int txt_getc() {
  if (!rd.open || rd.lookahead < 0) {
    rd.eof = true;
    return -1;
  }
  int32_t c = rd.lookahead;
  rd.lookahead = fetch();
  if (rd.lookahead >= 0) rd.byteCount++;
  if (c == 0x0A) rd.lineCount++;
  return c;
}

int txt_eof() { return rd.eof ? 1 : 0; }
int txt_failed() { return rd.failed ? 1 : 0; }

int txt_getline(char* buf, int size) {
  if (buf == nullptr || size <= 2) return 0;
  int n = 0;
  while (n < size - 2) {
    int32_t c = txt_peek();
    if (c < 0 || is_line_end(c)) break;
    buf[n++] = static_cast<char>(txt_getc());
  }
  buf[n] = '\0';
  buf[n + 1] = '\0';
  while (is_line_end(txt_peek())) txt_getc();
  return n;
}

namespace {

int open_either(const char* path, const char16_t* pathW) {
  return pathW != nullptr ? txt_open_wide(pathW) : txt_open(path);
}

}  // namespace

int chkifutf8(const char* path, const char16_t* pathW) {
  if (open_either(path, pathW) != 0) {
    if (pathW != nullptr)
      con_printf("Cannot open (RDs). \n");
    else
      con_printf("Cannot open %s .\n", path != nullptr ? path : "");
    return 255;
  }
  int result = 7;
  int malformed = 0;
  for (;;) {
    int c = txt_getc();
    if (c < 0) break;
    const int need = utf8_sequence_length(static_cast<unsigned char>(c), UTF8_LENIENT) - 1;
    bool bad = need < 0;
    for (int i = 0; i < need; i++) {
      // The breaking byte is consumed with the sequence it broke.
      if (!utf8_is_continuation(txt_getc())) {
        bad = true;
        break;
      }
    }
    if (bad) {
      result = 0;
      if (++malformed >= 2) break;
    }
  }
  txt_close();
  return result;
}

int chkifsjis(const char* path, const char16_t* pathW) {
  if (open_either(path, pathW) != 0) {
    con_printf("Cannot open %s .\n", (pathW == nullptr && path != nullptr) ? path : "");
    return 255;
  }
  int status = 7;
  for (;;) {
    int c = txt_getc();
    if (c < 0) break;
    if (c <= 0x7F || (c >= 0xA0 && c <= 0xDF)) continue;
    if (c >= 0xFD) {
      status |= 8;
      continue;
    }
    if (c >= 0xE0) status |= 8;
    int t = txt_getc();
    if (t < 0) {
      status &= 3;
      break;
    }
    if (c == 0x80) {
      con_printf("[%02X(x) %02X] (1st byte==0x80) ", c, t);
      status &= 2;
    } else if (t <= 0x3F) {
      con_printf("[%02X %02X(x)](2nd byte==0x00-3F) ", c, t);
      status &= 1;
    }
  }
  txt_close();
  return status;
}

int text_is_sjis(const char* path, const char16_t* pathW) {
  if (chkifutf8(path, pathW) != 0) return 0;
  // 255 (cannot open) is negative as the signed byte the verdict once was.
  int s = static_cast<signed char>(chkifsjis(path, pathW));
  return s >= 3 ? 1 : 0;
}
