#include "support/run_program.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

#ifndef QM_BINARY
#define QM_BINARY ""
#endif
#ifndef QM_SOURCE_DIR
#define QM_SOURCE_DIR ""
#endif
#ifndef QM_BUILD_DIR
#define QM_BUILD_DIR ""
#endif

std::string program_binary() { return QM_BINARY; }
std::string source_dir() { return QM_SOURCE_DIR; }
std::string build_dir() { return QM_BUILD_DIR; }

namespace {

bool is_locale_var(const char* entry) {
  static const char* const names[] = {"LANG=", "LC_ALL=", "LC_CTYPE=", "LC_MESSAGES="};
  for (const char* n : names)
    if (std::strncmp(entry, n, std::strlen(n)) == 0) return true;
  return false;
}

std::vector<std::string> child_environment(const RunOptions& opt) {
  std::vector<std::string> env;
  bool haveAsan = false;
  for (char** e = environ; e && *e; ++e) {
    if (is_locale_var(*e)) continue;
    std::string s(*e);
    bool replaced = false;
    for (const auto& kv : opt.env)
      if (s.compare(0, kv.first.size() + 1, kv.first + "=") == 0) replaced = true;
    if (replaced) continue;
    if (s.compare(0, 13, "ASAN_OPTIONS=") == 0) haveAsan = true;
    env.push_back(s);
  }
  for (const auto& kv : opt.env) {
    if (kv.first == "ASAN_OPTIONS") haveAsan = true;
    env.push_back(kv.first + "=" + kv.second);
  }
  // Leak checking needs ptrace, which containers often refuse; the tests care
  // about the program's output, not about its exit-time heap.
  if (!haveAsan) env.push_back("ASAN_OPTIONS=detect_leaks=0");
  return env;
}

double now_seconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

void set_nonblocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

}  // namespace

RunResult run_program(const RunOptions& opt) {
  RunResult r;
  std::string binary = opt.binary.empty() ? program_binary() : opt.binary;
  std::string argv0 = opt.argv0.empty() ? binary : opt.argv0;

  // Everything the child needs is built before fork: only async-signal-safe
  // calls happen between fork and exec.
  std::vector<std::string> envStrings = child_environment(opt);
  std::vector<char*> envp;
  for (auto& s : envStrings) envp.push_back(&s[0]);
  envp.push_back(nullptr);
  std::vector<std::string> argStrings;
  argStrings.push_back(argv0);
  for (const auto& a : opt.args) argStrings.push_back(a);
  std::vector<char*> argv;
  for (auto& s : argStrings) argv.push_back(&s[0]);
  argv.push_back(nullptr);

  int inPipe[2], outPipe[2], errPipe[2];
  if (pipe(inPipe) != 0) return r;
  if (pipe(outPipe) != 0) { close(inPipe[0]); close(inPipe[1]); return r; }
  if (pipe(errPipe) != 0) {
    close(inPipe[0]); close(inPipe[1]); close(outPipe[0]); close(outPipe[1]);
    return r;
  }
  // A child that stops reading must not kill the test with SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);

  pid_t pid = fork();
  if (pid < 0) {
    for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) close(fd);
    return r;
  }
  if (pid == 0) {
    signal(SIGPIPE, SIG_DFL);
    dup2(inPipe[0], 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) close(fd);
    if (!opt.cwd.empty() && chdir(opt.cwd.c_str()) != 0) _exit(126);
    execve(binary.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  r.started = true;
  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  int inFd = inPipe[1], outFd = outPipe[0], errFd = errPipe[0];
  set_nonblocking(inFd);
  set_nonblocking(outFd);
  set_nonblocking(errFd);

  size_t written = 0;
  if (opt.input.empty()) { close(inFd); inFd = -1; }
  double deadline = now_seconds() + opt.timeoutSeconds;
  char buf[8192];
  while (outFd >= 0 || errFd >= 0) {
    double left = deadline - now_seconds();
    if (left <= 0) {
      r.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    pollfd fds[3];
    int n = 0;
    if (inFd >= 0) fds[n++] = {inFd, POLLOUT, 0};
    if (outFd >= 0) fds[n++] = {outFd, POLLIN, 0};
    if (errFd >= 0) fds[n++] = {errFd, POLLIN, 0};
    int ready = poll(fds, n, (int)(left * 1000) + 1);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    for (int i = 0; i < n; ++i) {
      if (!fds[i].revents) continue;
      int fd = fds[i].fd;
      if (fd == inFd) {
        ssize_t w = write(inFd, opt.input.data() + written, opt.input.size() - written);
        if (w > 0) written += (size_t)w;
        if (w < 0 && errno != EAGAIN && errno != EINTR) written = opt.input.size();
        if (written >= opt.input.size()) { close(inFd); inFd = -1; }
        continue;
      }
      ssize_t got = read(fd, buf, sizeof buf);
      if (got > 0) {
        (fd == outFd ? r.out : r.err).append(buf, (size_t)got);
      } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
        close(fd);
        if (fd == outFd) outFd = -1; else errFd = -1;
      }
    }
  }
  if (inFd >= 0) close(inFd);
  if (outFd >= 0) close(outFd);
  if (errFd >= 0) close(errFd);

  int status = 0;
  // The pipes can close before the child ends (or it was killed): wait, but
  // not past the deadline.
  for (;;) {
    pid_t w = waitpid(pid, &status, r.timedOut ? 0 : WNOHANG);
    if (w == pid) break;
    if (w < 0 && errno != EINTR) return r;
    if (!r.timedOut && now_seconds() > deadline) {
      r.timedOut = true;
      kill(pid, SIGKILL);
      continue;
    }
    if (!r.timedOut) usleep(2000);
  }
  if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
  else if (WIFSIGNALED(status)) r.exitCode = 128 + WTERMSIG(status);
  return r;
}

std::string make_temp_dir(const std::string& tag) {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/qm_" + tag + "_XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) return "";
  return std::string(buf.data());
}

namespace {
int remove_entry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }
}  // namespace

void remove_tree(const std::string& path) {
  if (path.empty() || path == "/") return;
  nftw(path.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

bool file_exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string read_file_bytes(const std::string& path) {
  std::string bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char buf[8192];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
  std::fclose(f);
  return bytes;
}

bool make_dirs(const std::string& path) {
  if (path.empty()) return false;
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    std::string part = path.substr(0, i);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool write_file_bytes(const std::string& path, const std::string& bytes) {
  size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !make_dirs(path.substr(0, slash))) return false;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool make_symlink(const std::string& target, const std::string& link) {
  return symlink(target.c_str(), link.c_str()) == 0;
}

std::vector<std::string> list_dir(const std::string& path) {
  std::vector<std::string> names;
  DIR* d = opendir(path.c_str());
  if (!d) return names;
  while (dirent* e = readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    names.push_back(e->d_name);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

std::string install_program(const std::string& dir, const char* aliasIni, const char* binary) {
  std::string link = dir + "/quillmend";
  ::unlink(link.c_str());
  if (symlink(binary ? binary : program_binary().c_str(), link.c_str()) != 0) return "";
  if (aliasIni && !write_file_bytes(dir + "/alias.ini", aliasIni)) return "";
  return link;
}
