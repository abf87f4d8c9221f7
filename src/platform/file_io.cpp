#include "platform/file_io.h"

#include <cstring>

#include "platform/console.h"
#include "platform/os.h"

RdFile RD = {true, false, nullptr, nullptr, 0, 0, 0, {}, {}};
WrFile WR = {true, false, nullptr, nullptr, 0, 0, 0, {}, {}};

namespace {

unsigned char copyBuffer[RW_BUFSIZE];

const char kWriteError[] = "File writing error.(or Disk full)\n";

// Closes the file, not just the flag, so a file that ended is not left held.
void rd_close() {
  if (!RD.closed) {
    if (RD.handleBackend)
      os_close((os_file)RD.handle);
    else if (RD.stream)
      fclose(RD.stream);
  }
  RD.closed = true;
  RD.handle = nullptr;
  RD.stream = nullptr;
  RD.fill = 0;
  RD.next = 0;
}

void rd_opened(bool handleBackend, void* handle, FILE* stream) {
  RD.closed = false;
  RD.handleBackend = handleBackend;
  RD.handle = handle;
  RD.stream = stream;
  RD.fill = 0;
  RD.next = 0;
  RD.position = 0;
}

// After a failed or short write the pending bytes are dropped with the file.
void wr_close_failed() {
  if (!WR.closed) {
    if (WR.handleBackend)
      os_close((os_file)WR.handle);
    else if (WR.stream)
      fclose(WR.stream);
  }
  WR.closed = true;
  WR.handle = nullptr;
  WR.stream = nullptr;
  WR.fill = 0;
  WR.fastLimit = 0;
}

void wr_opened(bool handleBackend, void* handle, FILE* stream) {
  WR.closed = false;
  WR.handleBackend = handleBackend;
  WR.handle = handle;
  WR.stream = stream;
  WR.fill = 0;
  WR.count = 0;
  WR.fastLimit = handleBackend ? RW_BUFSIZE - 1 : 0;
}

int wr_write_buffer() {
  uint32_t done = 0;
  if (!os_write((os_file)WR.handle, WR.buffer, (uint32_t)WR.fill, &done)) {
    con_printf("%s", kWriteError);
    wr_close_failed();
    return -1;
  }
  if (done < (uint32_t)WR.fill) {
    wr_close_failed();
    return -1;
  }
  WR.fill = 0;
  return 0;
}

int rd_open_handle(const char16_t* path, bool loud) {
  rd_close();
  os_file f = os_open_readW(path);
  if (f == OS_BAD_FILE) {
    if (loud) {
      uint32_t err = os_last_error();
      if (err == OS_ERROR_PATH_NOT_FOUND)
        con_printf("Could not open (RD)(PATH_NOT_FOUND). \n");
      else
        con_printf("Could not open (RD)(code=%d).\n", (int)err);
    }
    return -1;
  }
  rd_opened(true, f, nullptr);
  return 0;
}

bool both_streams() { return !RD.handleBackend && !WR.handleBackend; }

}  // namespace

// ---- read file ----------------------------------------------------------------

int rfopenW(const char16_t* path) { return rd_open_handle(path, true); }
int rfprobeW(const char16_t* path) { return rd_open_handle(path, false); }

int rfopen(const char* path) {
  rd_close();
  FILE* f = os_fopen(path, "rb");
  if (!f) {
    con_printf("Cannot open RD file : %s\n", path);
    return -1;
  }
  if (setvbuf(f, RD.streamBuffer, _IOFBF, RW_BUFSIZE) != 0) {
    con_printf("Buffering failed.(RD) \n");
    fclose(f);
    return -1;
  }
  rd_opened(false, nullptr, f);
  return 0;
}

int rfprobe(const char* path) {
  rd_close();
  FILE* f = os_fopen(path, "rb");
  if (!f) return -1;
  rd_opened(false, nullptr, f);
  return 0;
}

void rfclose() { rd_close(); }
int rfisclosed() { return RD.closed ? -1 : 0; }
int32_t rfpos() { return RD.position; }

int rfgetc_slow() {
  if (RD.closed) return -1;
  int c;
  if (RD.handleBackend) {
    if (RD.next >= RD.fill) {
      uint32_t got = 0;
      if (!os_read((os_file)RD.handle, RD.buffer, RW_BUFSIZE, &got) || got == 0) {
        rd_close();
        return -1;
      }
      RD.fill = (int32_t)got;
      RD.next = 0;
    }
    c = RD.buffer[RD.next++];
  } else {
    c = getc(RD.stream);
    if (c == EOF) {
      rd_close();
      return -1;
    }
  }
  RD.position++;
  return c;
}

// A byte past the end reads as -1 and so contributes 0xFF.
int16_t rfgetshort() {
  unsigned b0 = (unsigned)rfgetc() & 0xFF;
  unsigned b1 = (unsigned)rfgetc() & 0xFF;
  return (int16_t)(uint16_t)(b0 | b1 << 8);
}

int32_t rfgetlong() {
  uint32_t v = 0;
  for (int i = 0; i < 4; i++) v |= ((uint32_t)rfgetc() & 0xFF) << (8 * i);
  return (int32_t)v;
}

float rfgetfloat() {
  uint32_t bits = (uint32_t)rfgetlong();
  float f;
  memcpy(&f, &bits, sizeof f);
  return f;
}

int32_t rfread(void* dst, int32_t n) {
  if (RD.closed || n <= 0) return 0;
  unsigned char* d = (unsigned char*)dst;
  if (!RD.handleBackend) {
    size_t got = fread(d, 1, (size_t)n, RD.stream);
    if (got < (size_t)n) rd_close();
    RD.position += (int32_t)got;
    return (int32_t)got;
  }
  int32_t fromBuffer = RD.fill - RD.next;
  if (fromBuffer > 0) {
    if (fromBuffer > n) fromBuffer = n;
    memcpy(d, RD.buffer + RD.next, (size_t)fromBuffer);
    RD.next += fromBuffer;
    RD.position += fromBuffer;
    if (fromBuffer == n) return n;
  } else {
    fromBuffer = 0;
  }
  RD.fill = 0;
  RD.next = 0;
  uint32_t want = (uint32_t)(n - fromBuffer), got = 0;
  if (!os_read((os_file)RD.handle, d + fromBuffer, want, &got)) {
    rd_close();
    return fromBuffer;
  }
  if (got < want) rd_close();
  RD.position += (int32_t)got;
  return fromBuffer + (int32_t)got;
}

// Gives the unread read-ahead back to the file, so the system's file pointer
// is at the next byte the caller will receive.
int rfbufrewind() {
  if (RD.closed || !RD.handleBackend || RD.next >= RD.fill) return 0;
  int32_t unread = RD.fill - RD.next;
  if (os_seek((os_file)RD.handle, -unread, OS_SEEK_CUR) == 0xFFFFFFFFu) {
    con_printf("Failed in seek in rfbufrewind. \n");
    return -2;
  }
  RD.fill = 0;
  RD.next = 0;
  return 0;
}

int rfseek(int32_t offset) {
  if (RD.closed) {
    con_printf("Failed in seek in rfseek. \n");
    return -2;
  }
  if (RD.handleBackend) {
    rfbufrewind();
    if (offset < 0 || os_seek((os_file)RD.handle, offset, OS_SEEK_SET) == 0xFFFFFFFFu) {
      con_printf("Failed in seek in rfseek. \n");
      return -2;
    }
    // Whatever a failed rewind left in the buffer belongs to the old place.
    RD.fill = 0;
    RD.next = 0;
  } else {
    fseek(RD.stream, offset, SEEK_SET);
  }
  RD.position = offset;
  return 0;
}

// ---- write file ---------------------------------------------------------------

int wfopenW(const char16_t* path) {
  // An open WR is finished first rather than left open with its bytes unwritten.
  wfclose();
  os_file f = os_create_writeW(path);
  if (f == OS_BAD_FILE) {
    con_printf("Could not open (WR)(code=%d).\n", (int)os_last_error());
    return -1;
  }
  wr_opened(true, f, nullptr);
  return 0;
}

int wfopen(const char* path) {
  wfclose();
  FILE* f = os_fopen(path, "wb");
  if (!f) {
    con_printf("Cannot open WR file : %s\n", path);
    return -1;
  }
  if (setvbuf(f, WR.streamBuffer, _IOFBF, RW_BUFSIZE) != 0) {
    con_printf("Buffering failed.(WR)\n");
    fclose(f);
    return -1;
  }
  wr_opened(false, nullptr, f);
  return 0;
}

int wfputc_slow(int c) {
  if (WR.closed) return -1;
  if (WR.handleBackend) {
    WR.buffer[WR.fill++] = (unsigned char)c;
    WR.count++;
    if (WR.fill < RW_BUFSIZE) return 0;
    return wr_write_buffer();
  }
  if (putc(c & 0xFF, WR.stream) == EOF) {
    con_printf("%s", kWriteError);
    wr_close_failed();
    return -1;
  }
  WR.count++;
  return 0;
}

// A stream is flushed too: its buffered bytes failing only at the close
// would go unnoticed and a lost file would count as saved.
int wfflush() {
  if (WR.closed) return 0;
  if (!WR.handleBackend) {
    if (fflush(WR.stream) == 0) return 0;
    con_printf("%s", kWriteError);
    wr_close_failed();
    return -1;
  }
  if (WR.fill == 0) return 0;
  return wr_write_buffer();
}

void wfclose() {
  if (WR.closed) return;
  if (WR.handleBackend) {
    wfflush();
    if (!WR.closed) os_close((os_file)WR.handle);
  } else {
    fclose(WR.stream);
  }
  WR.closed = true;
  WR.handle = nullptr;
  WR.stream = nullptr;
  WR.fill = 0;
  WR.fastLimit = 0;
}

int wfputlong(int32_t v) {
  uint32_t u = (uint32_t)v;
  for (int i = 0; i < 4; i++) wfputc((int)((u >> (8 * i)) & 0xFF));
  return wfisclosed();
}

int wfputfloat(float v) {
  uint32_t bits;
  memcpy(&bits, &v, sizeof bits);
  return wfputlong((int32_t)bits);
}

int wfputs(const char* s) {
  const unsigned char* p = (const unsigned char*)s;
  for (int written = 0; *p;) {
    if (WR.closed) return -1;
    wfputc(*p++);
    if (++written >= 513) return WR.closed ? -1 : 1;
  }
  // A failure on the last byte is a failure too.
  return WR.closed ? -1 : 0;
}

int wfputunistr(const char* s) {
  int bytes = 0;
  // A closed WR takes nothing, but the length is still counted and reported.
  for (const unsigned char* p = (const unsigned char*)s; p[0] || p[1]; p += 2) {
    wfputc(p[0]);
    wfputc(p[1]);
    bytes += 2;
    if (bytes > 1024) {
      con_printf("Too long unistr.\n");
      break;
    }
  }
  return wfisclosed();
}

int32_t wfwrite(const void* src, int32_t n) {
  if (WR.closed) return -1;
  if (n < 0) n = 0;
  uint32_t done = 0;
  if (WR.handleBackend) {
    if (wfflush() != 0) return -1;
    if (!os_write((os_file)WR.handle, src, (uint32_t)n, &done)) {
      con_printf("%s", kWriteError);
      wr_close_failed();
      return -1;
    }
  } else {
    done = (uint32_t)fwrite(src, 1, (size_t)n, WR.stream);
  }
  if (done < (uint32_t)n) {
    con_printf("File buffered writing error.(or Disk full)\n");
    wr_close_failed();
    return (int32_t)done;
  }
  WR.count += n;
  return n;
}

int32_t wfcount() { return WR.count; }
int wfisclosed() { return WR.closed ? -1 : 0; }

// ---- copies -------------------------------------------------------------------

int32_t rwfcopy(int32_t n) {
  if (RD.closed) return -1;
  if (!both_streams()) {
    int32_t copied = 0;
    while (copied < n) {
      int c = rfgetc();
      if (c < 0) break;
      wfputc(c);
      copied++;
    }
    return WR.closed ? -1 : copied;
  }
  int32_t total = 0;
  for (int32_t left = n; left > 0;) {
    int32_t chunk = left < RW_BUFSIZE ? left : RW_BUFSIZE;
    int32_t got = rfread(copyBuffer, chunk);
    left -= chunk;
    if (got > 0) {
      int32_t put = wfwrite(copyBuffer, got);
      if (put < got) return -1;
      total += put;
    }
    if (got < chunk) break;  // RD has ended
  }
  return total;
}

int32_t rwfcopyall() {
  if (RD.closed) return -1;
  if (!both_streams()) {
    int32_t start = WR.count;
    for (int c; (c = rfgetc()) >= 0;)
      if (wfputc(c) != 0) break;
    return WR.closed ? -1 : WR.count - start;
  }
  int32_t total = 0, got;
  do {
    got = rfread(copyBuffer, RW_BUFSIZE);
    if (got > 0) {
      int32_t put = wfwrite(copyBuffer, got);
      if (put < got) return -1;
      total += put;
    }
  } while (got == RW_BUFSIZE);
  return total;
}
