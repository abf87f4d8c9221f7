// RD and WR: the one buffered read file and the one buffered write file.
// A UTF-16 path uses the handle backend (own 8192-byte buffers through the OS
// seam); a Shift-JIS path uses a fully buffered C stream.
#pragma once
#include <cstdint>
#include <cstdio>

enum { RW_BUFSIZE = 8192 };

int rfopenW(const char16_t* path);   // 0, or -1 with a message
int rfopen(const char* path);        // 0, or -1 with a message
int rfprobeW(const char16_t* path);  // 0, or -1 silently
int rfprobe(const char* path);       // 0, or -1 silently
void rfclose();
int rfisclosed();                    // 0 open, -1 closed
int32_t rfpos();
int rfgetc_slow();
int16_t rfgetshort();
int32_t rfgetlong();
float rfgetfloat();
int32_t rfread(void* dst, int32_t n);
int rfbufrewind();                   // 0, or -2
int rfseek(int32_t offset);          // 0, or -2

int wfopenW(const char16_t* path);
int wfopen(const char* path);
int wfputc_slow(int c);
int wfflush();
int wfputlong(int32_t v);
int wfputfloat(float v);
int wfputs(const char* s);           // 0 whole, 1 hit 513 bytes, -1 closed
int wfputunistr(const char* s);      // UTF-16LE bytes; 0 open, -1 closed
int32_t wfwrite(const void* src, int32_t n);
int32_t wfcount();
int wfisclosed();
void wfclose();

int32_t rwfcopy(int32_t n);          // bytes copied, -1 on failure
int32_t rwfcopyall();

// State shared with the inline fast paths below. A closed or stream-backed RD
// keeps fill == next so the inline path falls through to the slow one.
struct RdFile {
  bool closed;
  bool handleBackend;
  void* handle;      // os_file for the handle backend
  FILE* stream;
  int32_t fill;
  int32_t next;
  int32_t position;
  unsigned char buffer[RW_BUFSIZE];
  char streamBuffer[RW_BUFSIZE];
};
struct WrFile {
  bool closed;
  bool handleBackend;
  void* handle;
  FILE* stream;
  int32_t fill;
  int32_t count;
  int32_t fastLimit;  // RW_BUFSIZE - 1 while an open handle-backed WR takes bytes inline, else 0
  unsigned char buffer[RW_BUFSIZE];
  char streamBuffer[RW_BUFSIZE];
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
