#include "platform/file_io.h"

#include <cstring>

#include "platform/console.h"
#include "platform/os.h"

RdFile RD = {true, false, nullptr, -1, 0, 0, 0, {}};
WrFile WR = {true, false, nullptr, 0, 0, 0, {}};

namespace {

const char kWriteError[] = "File writing error.(or Disk full)\n";
const char kBlockWriteError[] = "File buffered writing error.(or Disk full)\n";

// Stretches at least this long are copied inside the system; shorter ones
// cost less through the buffers than the extra system calls.
enum { KERNEL_COPY_MIN = 64 * 1024 };

os_file rd_handle() { return (os_file)RD.handle; }
os_file wr_handle() { return (os_file)WR.handle; }

// Closes the file, not just the flag, so a file that ended is not left held.
// The failure mark stays for the caller to ask about.
void rd_close() {
  if (!RD.closed) os_close(rd_handle());
  RD.closed = true;
  RD.handle = nullptr;
  RD.fill = 0;
  RD.next = 0;
}

void rd_opened(os_file f) {
  RD.closed = false;
  RD.failed = false;
  RD.handle = f;
  RD.size = os_file_size(f);
  RD.fill = 0;
  RD.next = 0;
  RD.position = 0;
}

// Refills the empty buffer: the bytes now in it, or 0 when RD has ended or a
// read failed (RD is then closed, and a failure is marked).
int32_t rd_fill() {
  if (RD.closed) return 0;
  uint32_t got = 0;
  const int ok = os_read(rd_handle(), RD.buffer, RD_BUFSIZE, &got);
  if (!ok || got == 0) {
    if (!ok) RD.failed = true;
    rd_close();
    return 0;
  }
  RD.fill = (int32_t)got;
  RD.next = 0;
  return RD.fill;
}

// The file WR writes and the name wfcommit puts it under. Either the UTF-16 or
// the Shift-JIS pair is in use, as WR was opened.
enum { WR_PATH_CAP = 1024 };
struct WrStage {
  bool active;   // WR has a file that is neither put in place nor removed yet
  bool wide;
  bool inPlace;  // a device, written under the target's own name
  char16_t writtenW[WR_PATH_CAP];
  char16_t targetW[WR_PATH_CAP];
  char writtenA[WR_PATH_CAP];
  char targetA[WR_PATH_CAP];
};
WrStage stage;
// The last wfclose wrote everything: what wfcommit asks when WR is closed already.
bool wrClosedOk = false;

// A failed save leaves nothing of its own: the temporary goes, and so does a
// link to a device written in place, as a failed output always went.
void remove_written() {
  if (!stage.active) return;
  stage.active = false;
  if (stage.wide) os_removeW(stage.writtenW);
  else os_removeA(stage.writtenA);
}

// After a failed or short write the pending bytes are dropped with the file.
void wr_close_failed() {
  if (!WR.closed) os_close(wr_handle());
  WR.closed = true;
  WR.handle = nullptr;
  WR.fill = 0;
  WR.fastLimit = 0;
}

void wr_opened(os_file f, bool ansi) {
  WR.closed = false;
  wrClosedOk = false;
  WR.ansiOpened = ansi;
  WR.handle = f;
  WR.fill = 0;
  WR.count = 0;
  WR.fastLimit = RW_BUFSIZE - 1;
}

// Hands n bytes to the system; 0, or -1 with WR closed. A file opened by a
// Shift-JIS path words its failures as a C stream did: every failure of a
// block is a "buffered" one, and a short buffer write is reported too.
int wr_system_write(const void* p, uint32_t n, bool block) {
  uint32_t done = 0;
  const int ok = os_write(wr_handle(), p, n, &done);
  if (ok && done == n) return 0;
  if (!ok) con_printf("%s", block && WR.ansiOpened ? kBlockWriteError : kWriteError);
  else if (block) con_printf("%s", kBlockWriteError);
  else if (WR.ansiOpened) con_printf("%s", kWriteError);
  wr_close_failed();
  return -1;
}

int wr_flush(bool block) {
  if (WR.closed) return 0;
  if (WR.fill == 0) return 0;
  if (wr_system_write(WR.buffer, (uint32_t)WR.fill, block) != 0) return -1;
  WR.fill = 0;
  return 0;
}

// n bytes into WR: short pieces through the buffer, long ones straight to the
// system after what is buffered. 0, or -1 with WR closed.
int wr_put(const unsigned char* p, int32_t n) {
  if (WR.closed) return -1;
  if (WR.fill + n < RW_BUFSIZE) {
    memcpy(WR.buffer + WR.fill, p, (size_t)n);
    WR.fill += n;
    WR.count += n;
    return 0;
  }
  if (n < RW_BUFSIZE) {
    // Top the buffer up, hand it over whole, keep the rest.
    const int32_t first = RW_BUFSIZE - WR.fill;
    memcpy(WR.buffer + WR.fill, p, (size_t)first);
    WR.fill = RW_BUFSIZE;
    if (wr_flush(false) != 0) return -1;
    memcpy(WR.buffer, p + first, (size_t)(n - first));
    WR.fill = n - first;
    WR.count += n;
    return 0;
  }
  if (wr_flush(false) != 0 || wr_system_write(p, (uint32_t)n, true) != 0) return -1;
  WR.count += n;
  return 0;
}

int rd_open(os_file f, bool loud, bool wide, const char* ansiPath) {
  if (f == OS_BAD_FILE) {
    if (!loud) return -1;
    if (!wide) {
      con_printf("Cannot open RD file : %s\n", ansiPath);
      return -1;
    }
    uint32_t err = os_last_error();
    if (err == OS_ERROR_PATH_NOT_FOUND)
      con_printf("Could not open (RD)(PATH_NOT_FOUND). \n");
    else
      con_printf("Could not open (RD)(code=%d).\n", (int)err);
    return -1;
  }
  rd_opened(f);
  return 0;
}

}  // namespace

// ---- read file ----------------------------------------------------------------

int rfopenW(const char16_t* path) {
  rd_close();
  return rd_open(os_open_readW(path), true, true, nullptr);
}
int rfprobeW(const char16_t* path) {
  rd_close();
  return rd_open(os_open_readW(path), false, true, nullptr);
}
int rfopen(const char* path) {
  rd_close();
  return rd_open(os_open_readA(path), true, false, path);
}
int rfprobe(const char* path) {
  rd_close();
  return rd_open(os_open_readA(path), false, false, path);
}

void rfclose() { rd_close(); }
int rfisclosed() { return RD.closed ? -1 : 0; }
int rfiserror() { return RD.failed ? -1 : 0; }
int64_t rfpos() { return RD.position; }

int rfgetc_slow() {
  if (RD.next >= RD.fill && rd_fill() == 0) return -1;
  RD.position++;
  return RD.buffer[RD.next++];
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

// Small requests refill the buffer (so that the next ones are served from it
// too); a request of a whole buffer or more goes straight to the destination.
int32_t rfread(void* dst, int32_t n) {
  if (RD.closed || n <= 0) return 0;
  unsigned char* d = (unsigned char*)dst;
  int32_t got = RD.fill - RD.next;
  if (got > n) got = n;
  memcpy(d, RD.buffer + RD.next, (size_t)got);
  RD.next += got;
  RD.position += got;
  while (got < n) {
    const int32_t want = n - got;
    if (want >= RD_BUFSIZE) {
      uint32_t done = 0;
      const int ok = os_read(rd_handle(), d + got, (uint32_t)want, &done);
      got += (int32_t)done;
      RD.position += done;
      if (!ok) RD.failed = true;
      if (!ok || (int32_t)done < want) rd_close();
      return got;
    }
    if (rd_fill() == 0) break;
    const int32_t k = want < RD.fill ? want : RD.fill;
    memcpy(d + got, RD.buffer, (size_t)k);
    RD.next = k;
    RD.position += k;
    got += k;
  }
  return got;
}

int64_t rfskip(int64_t n) {
  if (RD.closed || n <= 0) return 0;
  const int32_t avail = RD.fill - RD.next;
  if (n <= avail) {
    RD.next += (int32_t)n;
    RD.position += n;
    return n;
  }
  if (RD.size >= 0) {
    // Past the buffer: one seek, never beyond the end of the file.
    int64_t left = RD.size - RD.position;
    if (n > left) {
      const int64_t now = os_file_size(rd_handle());  // a file may grow while read
      if (now >= 0) RD.size = now;
      left = RD.size - RD.position;
    }
    if (left < avail) left = avail;
    const int64_t step = n < left ? n : left;
    const int64_t target = RD.position + step;
    if (step == avail || os_seek64(rd_handle(), target, OS_SEEK_SET) == target) {
      RD.fill = 0;
      RD.next = 0;
      RD.position = target;
      if (step < n) rd_close();  // as a read past the end
      return step;
    }
  }
  // No size or no seek: the bytes are read and dropped.
  int64_t total = 0;
  while (total < n) {
    if (RD.next >= RD.fill && rd_fill() == 0) break;
    const int64_t inBuf = RD.fill - RD.next;
    const int32_t k = (int32_t)(n - total < inBuf ? n - total : inBuf);
    RD.next += k;
    RD.position += k;
    total += k;
  }
  return total;
}

const unsigned char* rfpeek_slow(int32_t n) {
  if (RD.closed || n > RD_BUFSIZE) return nullptr;
  const int32_t avail = RD.fill - RD.next;
  memmove(RD.buffer, RD.buffer + RD.next, (size_t)avail);
  RD.fill = avail;
  RD.next = 0;
  while (RD.fill < n) {
    uint32_t got = 0;
    // A failure here is met again, and marked, by the read that follows.
    if (!os_read(rd_handle(), RD.buffer + RD.fill, (uint32_t)(RD_BUFSIZE - RD.fill), &got) || got == 0)
      return nullptr;
    RD.fill += (int32_t)got;
  }
  return RD.buffer;
}

// Gives the unread read-ahead back to the file, so the system's file pointer
// is at the next byte the caller will receive.
int rfbufrewind() {
  if (RD.closed || RD.next >= RD.fill) return 0;
  int32_t unread = RD.fill - RD.next;
  if (os_seek64(rd_handle(), -(int64_t)unread, OS_SEEK_CUR) < 0) {
    con_printf("Failed in seek in rfbufrewind. \n");
    return -2;
  }
  RD.fill = 0;
  RD.next = 0;
  return 0;
}

int rfseek(int64_t offset) {
  if (RD.closed || offset < 0) {
    con_printf("Failed in seek in rfseek. \n");
    return -2;
  }
  // A place the buffer still holds needs no system call.
  const int64_t bufferStart = RD.position - RD.next;
  if (offset >= bufferStart && offset <= bufferStart + RD.fill) {
    RD.next = (int32_t)(offset - bufferStart);
    RD.position = offset;
    return 0;
  }
  if (os_seek64(rd_handle(), offset, OS_SEEK_SET) != offset) {
    con_printf("Failed in seek in rfseek. \n");
    return -2;
  }
  RD.fill = 0;
  RD.next = 0;
  RD.position = offset;
  return 0;
}

// ---- write file ---------------------------------------------------------------

namespace {

// Creating the file that RD reads (under another name, by a link) would
// empty it before it is read: refused, as a sharing violation.
bool is_rd_file(const char* path) { return !RD.closed && os_is_same_fileA(rd_handle(), path); }
bool is_rd_file(const char16_t* path) { return !RD.closed && os_is_same_fileW(rd_handle(), path); }
int write_target(const char* path) { return os_write_targetA(path); }
int write_target(const char16_t* path) { return os_write_targetW(path); }
os_file create_write(const char* path) { return os_create_writeA(path); }
os_file create_write(const char16_t* path) { return os_create_writeW(path); }
void remove_file(const char* path) { os_removeA(path); }
void remove_file(const char16_t* path) { os_removeW(path); }
int char_units(const char* s) { return os_is_dbcs_lead((unsigned char)s[0]) && s[1] ? 2 : 1; }
int char_units(const char16_t* s) {
  return s[0] >= 0xD800 && s[0] <= 0xDBFF && s[1] >= 0xDC00 && s[1] <= 0xDFFF ? 2 : 1;
}

// The path into out; as a temporary's name, its last character (a whole one)
// becomes '~', or '_' when it is '~' already. False when empty or too long.
template <typename C>
bool copy_path(C* out, const C* path, bool temporary) {
  int n = 0, lastAt = -1;
  while (path[n]) {
    const int w = char_units(path + n);
    if (n + w >= WR_PATH_CAP) return false;
    for (int k = 0; k < w; k++) out[n + k] = path[n + k];
    lastAt = n;
    n += w;
  }
  if (lastAt < 0) return false;
  out[n] = 0;
  if (temporary) {
    out[lastAt] = n - lastAt == 1 && out[lastAt] == '~' ? '_' : '~';
    out[lastAt + 1] = 0;
  }
  return true;
}

// A refusal of our own: its code goes where the system's would, for the caller.
os_file refused(uint32_t* err, uint32_t code) {
  *err = code;
  os_set_last_error(code);
  return OS_BAD_FILE;
}

// Opens what WR writes for path into the stage: a temporary beside the target,
// or a device itself. OS_BAD_FILE with *err (a Windows code) when it cannot.
template <typename C>
os_file wr_create(const C* path, C* written, C* target, uint32_t* err) {
  if (is_rd_file(path)) return refused(err, OS_ERROR_SHARING_VIOLATION);
  if (!path[0]) return refused(err, OS_ERROR_PATH_NOT_FOUND);
  const int kind = write_target(path);
  *err = os_last_error();
  if (kind == OS_TARGET_REFUSED) return OS_BAD_FILE;
  const bool inPlace = kind == OS_TARGET_DEVICE;
  // The temporary is the target's name ending in '~' instead of its last
  // character (a-new.pmx: a-new.pm~): never longer than the target's, so it
  // fits wherever the target fits, and never taken for a model.
  if (!copy_path(written, path, !inPlace) || !copy_path(target, path, false))
    return refused(err, OS_ERROR_FILENAME_EXCED_RANGE);
  if (!inPlace) {
    if (is_rd_file(written)) return refused(err, OS_ERROR_SHARING_VIOLATION);
    // One left by a run that was cut off goes first; removing it never touches
    // a file it may be a link to, as writing through it would.
    remove_file(written);
  }
  os_file f = create_write(written);
  if (f == OS_BAD_FILE) {
    *err = os_last_error();
    return OS_BAD_FILE;
  }
  stage.active = true;
  stage.wide = sizeof(C) == 2;
  stage.inPlace = inPlace;
  return f;
}

}  // namespace

int wfopenW(const char16_t* path) {
  // Only wfcommit puts a file in place: an earlier WR still open is dropped.
  wfdiscard();
  uint32_t err;
  os_file f = wr_create(path, stage.writtenW, stage.targetW, &err);
  if (f == OS_BAD_FILE) {
    con_printf("Could not open (WR)(code=%d).\n", (int)err);
    return -1;
  }
  wr_opened(f, false);
  return 0;
}

int wfopen(const char* path) {
  wfdiscard();
  uint32_t err;
  os_file f = wr_create(path, stage.writtenA, stage.targetA, &err);
  if (f == OS_BAD_FILE) {
    con_printf("Cannot open WR file : %s\n", path);
    return -1;
  }
  wr_opened(f, true);
  return 0;
}

int wfputc_slow(int c) {
  if (WR.closed) return -1;
  WR.buffer[WR.fill++] = (unsigned char)c;
  WR.count++;
  if (WR.fill < RW_BUFSIZE) return 0;
  return wr_flush(false);
}

// Buffered bytes failing only at the close would go unnoticed and a lost file
// would count as saved.
int wfflush() { return wr_flush(false); }

int wfclose() {
  if (WR.closed) return -1;
  int r = wfflush();
  if (!WR.closed) {
    // A file renamed into place must be on the disk first, or a power cut
    // could leave an empty one under the target's name.
    if (r == 0 && stage.active && !stage.inPlace && !os_sync(wr_handle())) r = -1;
    // Some disks report a failed write only when the file is closed.
    if (os_close(wr_handle()) == 0) r = -1;
  }
  WR.closed = true;
  WR.handle = nullptr;
  WR.fill = 0;
  WR.fastLimit = 0;
  wrClosedOk = r == 0;
  return r;
}

int wfcommit() {
  const int r = WR.closed ? (wrClosedOk ? 0 : -1) : wfclose();
  wrClosedOk = false;
  if (!stage.active) return r;
  const bool placed = r == 0 && (stage.inPlace || (stage.wide ? os_replace_fileW(stage.writtenW, stage.targetW)
                                                             : os_replace_fileA(stage.writtenA, stage.targetA)));
  if (!placed) {
    remove_written();
    return -1;
  }
  stage.active = false;
  return 0;
}

void wfdiscard() {
  wr_close_failed();
  wrClosedOk = false;
  remove_written();
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

// 513 bytes: a text field's length is written before its bytes, and the
// callers keep their texts within this, so that the two always agree.
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

// 1024 bytes (513 code units with the one that crosses it): the same bound as
// wfputs, counted in UTF-16 units.
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
  if (wr_flush(WR.ansiOpened) != 0) return -1;
  if (wr_system_write(src, (uint32_t)n, true) != 0) return -1;
  WR.count += n;
  return n;
}

int64_t wfcount() { return WR.count; }
int wfisclosed() { return WR.closed ? -1 : 0; }

// ---- copies -------------------------------------------------------------------

int64_t rwfcopy64(int64_t n) {
  if (RD.closed || WR.closed) return -1;
  int64_t left = n < 0 ? INT64_MAX : n, total = 0;
  // First what RD has read ahead.
  const int32_t avail = RD.fill - RD.next;
  if (avail > 0 && left > 0) {
    const int32_t k = left < avail ? (int32_t)left : avail;
    if (wr_put(RD.buffer + RD.next, k) != 0) return -1;
    RD.next += k;
    RD.position += k;
    left -= k;
    total += k;
  }
  if (left == 0) return total;
  // RD's buffer is empty now, so both system file pointers stand where RD and
  // WR stand once WR's buffer is out.
  if (left >= KERNEL_COPY_MIN) {
    if (wr_flush(false) != 0) return -1;
    int64_t done = 0;
    const int r = os_copy_range(rd_handle(), wr_handle(), left, &done);
    RD.position += done;
    WR.count += done;
    left -= done;
    total += done;
    if (r == OS_COPY_READ_FAILED) {
      RD.failed = true;
      rd_close();
      return -1;
    }
    if (r == OS_COPY_WRITE_FAILED) {
      con_printf("%s", kWriteError);
      wr_close_failed();
      return -1;
    }
    if (r == OS_COPY_DONE) {
      if (left > 0) rd_close();  // RD ended
      return total;
    }
    // Refused: the rest goes through the buffers in whole blocks.
  }
  while (left > 0) {
    if (rd_fill() == 0) break;
    const int32_t k = left < RD.fill ? (int32_t)left : RD.fill;
    if (wr_put(RD.buffer, k) != 0) return -1;
    RD.next = k;
    RD.position += k;
    left -= k;
    total += k;
  }
  return RD.failed ? -1 : total;
}

int32_t rwfcopy(int32_t n) {
  if (RD.closed) return -1;
  if (n <= 0) return WR.closed ? -1 : 0;
  const int64_t r = rwfcopy64(n);
  return r < 0 ? -1 : (int32_t)r;
}

int32_t rwfcopyall() {
  const int64_t r = rwfcopy64(-1);
  if (r < 0) return -1;
  return r > INT32_MAX ? INT32_MAX : (int32_t)r;
}
