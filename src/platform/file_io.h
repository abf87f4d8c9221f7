// RD and WR: the one buffered read file and the one buffered write file.
// Both forms of a path (UTF-16 or Shift-JIS) open a system handle through the
// OS seam; RD reads through its own buffer, WR writes through its own.
#pragma once
#include <cstdint>
#include <cstdio>

// WR takes bytes into an 8192-byte buffer and hands whole buffers to the system.
enum { RW_BUFSIZE = 8192 };
// RD reads ahead in large blocks: on a 200 MB model 64 KiB and 256 KiB read
// alike and 1 MiB was slower (bench/RESULTS.md); 8 KiB made a system call
// for every few hundred vertices.
enum { RD_BUFSIZE = 256 * 1024 };

int rfopenW(const char16_t* path);   // 0, or -1 with a message
int rfopen(const char* path);        // 0, or -1 with a message
int rfprobeW(const char16_t* path);  // 0, or -1 silently
int rfprobe(const char* path);       // 0, or -1 silently
void rfclose();
int rfisclosed();                    // 0 open, -1 closed (ended, failed or never opened)
// -1 when the last open RD stopped because a system read failed, not because
// the file ended; 0 otherwise. Kept after the close, cleared by the next open.
int rfiserror();
int64_t rfpos();
int rfgetc_slow();
int16_t rfgetshort();
int32_t rfgetlong();
float rfgetfloat();
int32_t rfread(void* dst, int32_t n);
// Steps over up to n bytes without reading them where it can; returns how
// many there were. Asking for more than the file holds ends RD there, as a
// read past the end does.
int64_t rfskip(int64_t n);
const unsigned char* rfpeek_slow(int32_t n);
int rfbufrewind();                   // 0, or -2
int rfseek(int64_t offset);          // 0, or -2

// WR writes a temporary beside its target, named as the target but for a '~'
// in place of its last character (a-new.pmx: a-new.pm~), and only wfcommit puts
// it in the target's place: a save that fails or is cut off never leaves part of
// a file under the target's name, and an old target stays as it was. A leftover
// temporary is replaced by the next open. A device is written in place.
//
// 0, or -1 with a message; the file RD reads (under a link) is refused, and so is
// a target creating would fail on (a folder, a read-only file), with its code.
int wfopenW(const char16_t* path);
int wfopen(const char* path);
int wfputc_slow(int c);
int wfflush();
int wfputlong(int32_t v);
int wfputfloat(float v);
int wfputs(const char* s);           // 0 whole, 1 hit 513 bytes, -1 closed
int wfputunistr(const char* s);      // UTF-16LE bytes; 0 open, -1 closed
int32_t wfwrite(const void* src, int32_t n);
int64_t wfcount();
int wfisclosed();
int wfclose();                       // 0 when everything reached the file; -1 if WR was
                                     // closed by a failure, or the last flush or close failed
// Closes WR if open and, when everything reached the file, puts it in the
// target's place: 0. Otherwise, or when the replace is refused (the target in
// use), the temporary is removed, the target stays as it was: -1 (os_last_error).
int wfcommit();
// Closes WR if open and removes its temporary; the target stays as it was.
// What wfopen does first too.
void wfdiscard();

int32_t rwfcopy(int32_t n);          // bytes copied, -1 on failure
int32_t rwfcopyall();
// Copies n bytes (n < 0: up to the end of RD) from RD to WR, long stretches
// inside the system. Bytes copied (fewer than n when RD ended first), or -1
// when a read or a write failed: a failed read is never taken for the end.
int64_t rwfcopy64(int64_t n);

// State shared with the inline fast paths below. A closed RD keeps
// fill == next so the inline path falls through to the slow one.
struct RdFile {
  bool closed;
  bool failed;       // a system read failed (rfiserror)
  void* handle;      // os_file
  int64_t size;      // at the open, -1 when unknown
  int32_t fill;
  int32_t next;
  int64_t position;
  unsigned char buffer[RD_BUFSIZE];
};
struct WrFile {
  bool closed;
  bool ansiOpened;   // opened by a Shift-JIS path: failures worded as for a C stream
  void* handle;
  int32_t fill;
  int64_t count;
  int32_t fastLimit;  // RW_BUFSIZE - 1 while WR is open and takes bytes inline, else 0
  unsigned char buffer[RW_BUFSIZE];
};
extern RdFile RD;
extern WrFile WR;

// The common case of both is one buffer check per byte.
inline int rfgetc() {
  if (RD.next < RD.fill) {
    RD.position++;
    return RD.buffer[RD.next++];
  }
  return rfgetc_slow();
}
inline int wfputc(int c) {
  if (WR.fill < WR.fastLimit) {
    WR.buffer[WR.fill++] = (unsigned char)c;
    WR.count++;
    return 0;
  }
  return wfputc_slow(c);
}
// The next n bytes (n <= RD_BUFSIZE) in RD's buffer without consuming them,
// or nullptr when RD ends (or fails) before n bytes; rfskip then moves on.
// rfbuffered tells how many bytes from there on the buffer holds.
inline int32_t rfbuffered() { return RD.fill - RD.next; }
inline const unsigned char* rfpeek(int32_t n) {
  if (RD.fill - RD.next >= n) return RD.buffer + RD.next;
  return rfpeek_slow(n);
}
