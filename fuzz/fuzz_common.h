// Shared by the fuzz targets: a private scratch folder, silenced console
// output, and destination buffers with guard bytes on both sides so that a
// write past the capacity shows up even where the sanitizer sees none.
#pragma once
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/console.h"

// Each target is a single source that includes this header once.
// A freed block waits in quarantine until this much has been freed after it;
// the default of 256 MB keeps fresh pages coming for every allocation, whose
// faults cost more than a whole small input. 16 MB still spans thousands of
// inputs. ASAN_OPTIONS given at run time come on top.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }

namespace fz {

// Aborts with a message; libFuzzer then keeps the input as a crash.
#define FZ_CHECK(cond, ...)                                         \
  do {                                                              \
    if (!(cond)) {                                                  \
      fprintf(stderr, "FUZZ CHECK FAILED: %s (%s:%d)\n", #cond,     \
              __FILE__, __LINE__);                                  \
      fprintf(stderr, "" __VA_ARGS__);                              \
      fputc('\n', stderr);                                          \
      abort();                                                      \
    }                                                               \
  } while (0)

inline std::string& scratch_path() {
  static std::string dir;
  return dir;
}

inline void remove_scratch() {
  if (scratch_path().empty()) return;
  std::string cmd = "rm -rf '" + scratch_path() + "'";
  if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", scratch_path().c_str());
}

// A folder of this process's own under /dev/shm (or /tmp), made once and
// removed at exit.
inline const std::string& scratch_dir() {
  std::string& dir = scratch_path();
  if (dir.empty()) {
    // run.sh names the folder and removes it, since libFuzzer may end the
    // process without running exit handlers.
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    const char* given = getenv("QM_FUZZ_SCRATCH");
    char buf[256];
    if (given && given[0]) snprintf(buf, sizeof buf, "%s", given);
    else snprintf(buf, sizeof buf, "%s/qmfuzz_%d", base, (int)getpid());
    std::string cmd = std::string("mkdir -p ") + buf;
    if (system(cmd.c_str()) != 0) abort();
    dir = buf;
    atexit(remove_scratch);
  }
  return dir;
}

// Plain descriptors: a stream's buffer would be one more allocation per input.
inline bool write_bytes(const std::string& path, const uint8_t* data, size_t n) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  while (ok && n > 0) {
    ssize_t w = write(fd, data, n);
    if (w < 0 && errno == EINTR) continue;
    ok = w > 0;
    if (ok) {
      data += w;
      n -= (size_t)w;
    }
  }
  return close(fd) == 0 && ok;
}

inline std::string read_bytes(const std::string& path) {
  std::string out;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return out;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  fclose(f);
  return out;
}

// Console output of one input is collected and dropped.
struct Quiet {
  Quiet() { con_capture_begin(); }
  ~Quiet() { con_capture_end(); }
};

// A destination of cap elements between two guard areas.
template <typename T, int Guard = 16>
struct Guarded {
  static constexpr unsigned char kFill = 0xA5;
  explicit Guarded(int cap) : cap(cap) {
    bytes = (unsigned char*)malloc(sizeof(T) * (size_t)(cap + 2 * Guard));
    refill();
  }
  // Back to the state of a fresh destination, for reuse.
  void refill() { memset(bytes, kFill, sizeof(T) * (size_t)(cap + 2 * Guard)); }
  ~Guarded() { free(bytes); }
  Guarded(const Guarded&) = delete;
  Guarded& operator=(const Guarded&) = delete;
  T* get() { return (T*)(bytes + sizeof(T) * Guard); }
  bool guards_intact() const {
    for (size_t i = 0; i < sizeof(T) * Guard; i++) {
      if (bytes[i] != kFill) return false;
      if (bytes[sizeof(T) * (size_t)(cap + Guard) + i] != kFill) return false;
    }
    return true;
  }
  // Index of the first zero element within cap, or -1.
  int terminator() {
    T* p = get();
    for (int i = 0; i < cap; i++)
      if (p[i] == 0) return i;
    return -1;
  }
  int cap;
  unsigned char* bytes;
};

}  // namespace fz
