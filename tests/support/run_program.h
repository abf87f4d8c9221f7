// Runs the built program as a child process for whole-program tests: arguments,
// environment, answers on stdin, working folder; stdout, stderr and the exit
// code come back. Plus small file helpers for temporary folders.
#pragma once
#include <string>
#include <utility>
#include <vector>

struct RunOptions {
  std::string binary;                 // empty: the built program (QM_BINARY)
  std::string argv0;                  // empty: the binary path; argv[0] decides the program folder
  std::vector<std::string> args;      // arguments after argv[0]
  // Extra or replaced variables. LANG, LC_ALL, LC_CTYPE and LC_MESSAGES are
  // removed from the inherited environment first, so every run starts English.
  std::vector<std::pair<std::string, std::string>> env;
  std::string input;                  // written to stdin, then stdin is closed
  std::string cwd;                    // empty: inherited
  int timeoutSeconds = 20;
};

struct RunResult {
  std::string out;
  std::string err;
  int exitCode = -1;     // exit status, or 128 + signal number
  bool timedOut = false; // killed after timeoutSeconds
  bool started = false;  // false when the child could not be spawned
};

RunResult run_program(const RunOptions& opt);

// The paths the build hands to the support library.
std::string program_binary();
std::string source_dir();
std::string build_dir();

// A fresh empty folder below the system temporary folder; "" on failure.
std::string make_temp_dir(const std::string& tag);
// Deletes a folder and everything below it.
void remove_tree(const std::string& path);
// A temporary folder removed when the object goes away.
struct TempDir {
  explicit TempDir(const std::string& tag) : path(make_temp_dir(tag)) {}
  ~TempDir() { if (!path.empty()) remove_tree(path); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string operator/(const std::string& rel) const { return path + "/" + rel; }
  std::string path;
};

bool file_exists(const std::string& path);
// Whole file as bytes; "" when it cannot be read (see file_exists).
std::string read_file_bytes(const std::string& path);
// Creates the parent folders as needed. true on success.
bool write_file_bytes(const std::string& path, const std::string& bytes);
bool make_dirs(const std::string& path);
bool make_symlink(const std::string& target, const std::string& link);
// Lists the names in a folder (no "." or ".."), sorted.
std::vector<std::string> list_dir(const std::string& path);

// Puts a symbolic link to the program into dir (so the program's folder is
// dir) and, when aliasIni is not null, an alias.ini with that text beside it.
// Returns the link's path.
std::string install_program(const std::string& dir, const char* aliasIni, const char* binary = nullptr);
