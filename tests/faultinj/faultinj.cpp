// LD_PRELOAD library that makes the disk misbehave, for whole-program tests.
// The product is not changed: this sits between it and the C library.
//
//   QM_FI_WRITE_PATH=sub   files opened for writing whose path contains sub ...
//   QM_FI_WRITE_LIMIT=n    ... accept n bytes, then every write fails with ENOSPC
//   QM_FI_CLOSE_FAIL=1     ... and their close fails with EIO after closing, as a
//                          network or quota disk reports a late failure
//   QM_FI_DENY_PATH=sub    opening a path that contains sub fails with EACCES
//   QM_FI_READ_PATH=sub    files opened for reading whose path contains sub ...
//   QM_FI_READ_LIMIT=n     ... deliver the bytes before offset n, then every read fails with EIO
//   QM_FI_READ_SKIP_OPENS=k  ... except the first k such opens, which read normally
//                          (so that a later pass over the same file fails, not the first)
//   QM_FI_RENAME_PATH=sub  renaming onto a path that contains sub fails with EACCES,
//                          as a replace refused while another program holds the file
//                          (rename, renameat2, and link, which a no-replace move may use)
//   QM_FI_RENAME_XDEV=1    ... fails with EXDEV instead, as a target on another volume
//
// copy_file_range honours both limits, as a copy inside the system meets the
// same disk.
// Both the descriptor calls (open/read/write) and fopen are covered; fopen's
// own descriptor calls are internal to the C library, so a matching fopen gets
// a cookie stream over a descriptor of ours.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

enum { MAX_FD = 4096 };
struct Tracked {
  bool active;
  bool limitWrites;
  bool limitReads;
  long long done;
};
Tracked g_fd[MAX_FD];

const char* env(const char* name) {
  const char* v = getenv(name);
  return (v && *v) ? v : nullptr;
}
long long env_num(const char* name, long long fallback) {
  const char* v = env(name);
  return v ? atoll(v) : fallback;
}
bool matches(const char* path, const char* var) {
  const char* sub = env(var);
  return sub && path && strstr(path, sub);
}

template <typename F>
F real(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

bool denied(const char* path) {
  if (matches(path, "QM_FI_DENY_PATH")) {
    errno = EACCES;
    return true;
  }
  return false;
}

long long g_readOpens = 0;

void track(int fd, const char* path, int flags) {
  if (fd < 0 || fd >= MAX_FD) return;
  Tracked t = {false, false, false, 0};
  bool writing = (flags & O_ACCMODE) != O_RDONLY;
  if (writing && matches(path, "QM_FI_WRITE_PATH")) t.limitWrites = true;
  if (!writing && matches(path, "QM_FI_READ_PATH"))
    t.limitReads = g_readOpens++ >= env_num("QM_FI_READ_SKIP_OPENS", 0);
  t.active = t.limitWrites || t.limitReads;
  g_fd[fd] = t;
}

ssize_t limited_write(int fd, const void* buf, size_t n) {
  static auto real_write = real<ssize_t (*)(int, const void*, size_t)>("write");
  if (fd >= 0 && fd < MAX_FD && g_fd[fd].limitWrites) {
    long long left = env_num("QM_FI_WRITE_LIMIT", 0) - g_fd[fd].done;
    if (left <= 0) {
      errno = ENOSPC;
      return -1;
    }
    if ((long long)n > left) n = (size_t)left;
    ssize_t r = real_write(fd, buf, n);
    if (r > 0) g_fd[fd].done += r;
    return r;
  }
  return real_write(fd, buf, n);
}

// Bytes a limited descriptor may still read from its offset on; -1 with EIO
// when none (the offset counts, so a reader that seeks meets the same bad spot).
long long read_room(int fd) {
  long long left = env_num("QM_FI_READ_LIMIT", 0) - (long long)lseek(fd, 0, SEEK_CUR);
  if (left <= 0) errno = EIO;
  return left <= 0 ? -1 : left;
}
long long write_room(int fd) {
  long long left = env_num("QM_FI_WRITE_LIMIT", 0) - g_fd[fd].done;
  if (left <= 0) errno = ENOSPC;
  return left <= 0 ? -1 : left;
}
bool limits_reads(int fd) { return fd >= 0 && fd < MAX_FD && g_fd[fd].limitReads; }
bool limits_writes(int fd) { return fd >= 0 && fd < MAX_FD && g_fd[fd].limitWrites; }

ssize_t limited_read(int fd, void* buf, size_t n) {
  static auto real_read = real<ssize_t (*)(int, void*, size_t)>("read");
  if (limits_reads(fd)) {
    long long left = read_room(fd);
    if (left < 0) return -1;
    if ((long long)n > left) n = (size_t)left;
  }
  return real_read(fd, buf, n);
}

int open_common(const char* sym, int dirfd, const char* path, int flags, mode_t mode, bool at) {
  if (denied(path)) return -1;
  int fd;
  if (at) {
    static auto f = real<int (*)(int, const char*, int, ...)>(sym);
    fd = f(dirfd, path, flags, mode);
  } else {
    auto f = real<int (*)(const char*, int, ...)>(sym);
    fd = f(path, flags, mode);
  }
  track(fd, path, flags);
  return fd;
}

// Cookie stream over one of our descriptors.
ssize_t ck_read(void* c, char* buf, size_t n) { return limited_read((int)(intptr_t)c, buf, n); }
ssize_t ck_write(void* c, const char* buf, size_t n) {
  ssize_t r = limited_write((int)(intptr_t)c, buf, n);
  return r < 0 ? 0 : r;  // a cookie write reports failure as 0 bytes
}
int ck_seek(void* c, off64_t* off, int whence) {
  off_t r = lseek((int)(intptr_t)c, (off_t)*off, whence);
  if (r < 0) return -1;
  *off = r;
  return 0;
}
int ck_close(void* c) {
  int fd = (int)(intptr_t)c;
  if (fd >= 0 && fd < MAX_FD) g_fd[fd].active = g_fd[fd].limitReads = g_fd[fd].limitWrites = false;
  static auto real_close = real<int (*)(int)>("close");
  return real_close(fd);
}

FILE* fopen_common(const char* sym, const char* path, const char* mode) {
  if (denied(path)) return nullptr;
  bool writing = strchr(mode, 'w') || strchr(mode, 'a') || strchr(mode, '+');
  bool wrapped = writing ? matches(path, "QM_FI_WRITE_PATH") : matches(path, "QM_FI_READ_PATH");
  if (!wrapped) {
    auto f = real<FILE* (*)(const char*, const char*)>(sym);
    return f(path, mode);
  }
  int flags = writing ? (O_WRONLY | O_CREAT | (strchr(mode, 'a') ? O_APPEND : O_TRUNC)) : O_RDONLY;
  static auto real_open = real<int (*)(const char*, int, ...)>("open");
  int fd = real_open(path, flags, 0666);
  if (fd < 0) return nullptr;
  track(fd, path, flags);
  cookie_io_functions_t io = {ck_read, ck_write, ck_seek, ck_close};
  FILE* f = fopencookie((void*)(intptr_t)fd, mode, io);
  if (!f) ck_close((void*)(intptr_t)fd);
  return f;
}

mode_t mode_arg(int flags, va_list ap) {
  return (flags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(ap, int) : 0;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  mode_t m = mode_arg(flags, ap);
  va_end(ap);
  return open_common("open", 0, path, flags, m, false);
}
int open64(const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  mode_t m = mode_arg(flags, ap);
  va_end(ap);
  return open_common("open64", 0, path, flags, m, false);
}
int openat(int dirfd, const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  mode_t m = mode_arg(flags, ap);
  va_end(ap);
  return open_common("openat", dirfd, path, flags, m, true);
}
int creat(const char* path, mode_t mode) {
  return open_common("open", 0, path, O_CREAT | O_WRONLY | O_TRUNC, mode, false);
}
ssize_t write(int fd, const void* buf, size_t n) { return limited_write(fd, buf, n); }
ssize_t copy_file_range(int in, off64_t* inOff, int out, off64_t* outOff, size_t n, unsigned int flags) {
  static auto real_copy = real<ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned int)>("copy_file_range");
  if (limits_reads(in)) {
    long long left = inOff ? env_num("QM_FI_READ_LIMIT", 0) - (long long)*inOff : read_room(in);
    if (left <= 0) {
      errno = EIO;
      return -1;
    }
    if ((long long)n > left) n = (size_t)left;
  }
  if (limits_writes(out)) {
    long long left = write_room(out);
    if (left < 0) return -1;
    if ((long long)n > left) n = (size_t)left;
  }
  ssize_t r = real_copy(in, inOff, out, outOff, n, flags);
  if (r > 0 && limits_writes(out)) g_fd[out].done += r;
  return r;
}
ssize_t read(int fd, void* buf, size_t n) { return limited_read(fd, buf, n); }
int close(int fd) {
  bool fail = limits_writes(fd) && env_num("QM_FI_CLOSE_FAIL", 0) != 0;
  if (fd >= 0 && fd < MAX_FD) g_fd[fd] = Tracked{false, false, false, 0};
  static auto real_close = real<int (*)(int)>("close");
  int r = real_close(fd);
  if (r == 0 && fail) {
    errno = EIO;
    return -1;
  }
  return r;
}
int rename(const char* from, const char* to) {
  if (matches(to, "QM_FI_RENAME_PATH")) {
    errno = env_num("QM_FI_RENAME_XDEV", 0) ? EXDEV : EACCES;
    return -1;
  }
  static auto real_rename = real<int (*)(const char*, const char*)>("rename");
  return real_rename(from, to);
}
int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) {
  if (matches(to, "QM_FI_RENAME_PATH")) {
    errno = env_num("QM_FI_RENAME_XDEV", 0) ? EXDEV : EACCES;
    return -1;
  }
  static auto real_renameat2 = real<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2");
  return real_renameat2(fromDir, from, toDir, to, flags);
}
int link(const char* from, const char* to) {
  if (matches(to, "QM_FI_RENAME_PATH")) {
    errno = env_num("QM_FI_RENAME_XDEV", 0) ? EXDEV : EACCES;
    return -1;
  }
  static auto real_link = real<int (*)(const char*, const char*)>("link");
  return real_link(from, to);
}
FILE* fopen(const char* path, const char* mode) { return fopen_common("fopen", path, mode); }
FILE* fopen64(const char* path, const char* mode) { return fopen_common("fopen64", path, mode); }

}  // extern "C"
