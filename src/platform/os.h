// The OS seam: everything that differs between Windows and POSIX.
// Exactly one of os_win32.cpp and os_posix.cpp implements it. Paths inside the
// program always use backslashes; the POSIX backend converts at this seam.
#pragma once
#include <cstdio>
#include <cstdint>

// ---- process start ---------------------------------------------------------
// Called first thing from main with the vector the C runtime gave. On POSIX the
// vector is UTF-8 and is converted to Shift-JIS here; on Windows it is kept.
void os_init(int argc, char** argv);
// The ANSI (Shift-JIS) argument vector, backslash form. Valid after os_init.
int os_ansi_argc();
char** os_ansi_argv();
// The process's UTF-16 command line (GetCommandLineW or the POSIX equivalent).
const char16_t* os_command_lineW();

// ---- files by UTF-16 path (the handle backend) ------------------------------
typedef void* os_file;
#define OS_BAD_FILE ((os_file)0)
// Existing file, read only, no sharing. OS_BAD_FILE on failure (see os_last_error).
os_file os_open_readW(const char16_t* path);
// Create or truncate for writing, no sharing.
os_file os_create_writeW(const char16_t* path);
// Return 1 on success (bytes moved in *done), 0 on failure, as ReadFile/WriteFile.
int os_read(os_file f, void* buf, uint32_t n, uint32_t* done);
int os_write(os_file f, const void* buf, uint32_t n, uint32_t* done);
enum { OS_SEEK_SET = 0, OS_SEEK_CUR = 1, OS_SEEK_END = 2 };
// Low 32 bits of the new position, or 0xFFFFFFFF on failure (SetFilePointer).
uint32_t os_seek(os_file f, int32_t offset, int whence);
int os_close(os_file f);  // 1 on success
// Windows error code of the last failing call of this seam (errno mapped on POSIX).
uint32_t os_last_error();
// For a failure found above the seam, without a system call, so that the
// caller asking os_last_error() hears of it.
void os_set_last_error(uint32_t code);
// The Windows codes, which the messages print; the POSIX seam maps errno to them.
enum {
  OS_ERROR_FILE_NOT_FOUND = 2,
  OS_ERROR_PATH_NOT_FOUND = 3,
  OS_ERROR_TOO_MANY_OPEN_FILES = 4,
  OS_ERROR_ACCESS_DENIED = 5,
  OS_ERROR_INVALID_HANDLE = 6,
  OS_ERROR_NO_MORE_FILES = 18,
  OS_ERROR_NOT_SAME_DEVICE = 17,
  OS_ERROR_WRITE_PROTECT = 19,
  OS_ERROR_GEN_FAILURE = 31,
  OS_ERROR_SHARING_VIOLATION = 32,
  OS_ERROR_LOCK_VIOLATION = 33,
  OS_ERROR_HANDLE_DISK_FULL = 39,
  OS_ERROR_FILE_EXISTS = 80,
  OS_ERROR_INVALID_PARAMETER = 87,
  OS_ERROR_DISK_FULL = 112,
  OS_ERROR_NEGATIVE_SEEK = 131,
  OS_ERROR_DIR_NOT_EMPTY = 145,
  OS_ERROR_ALREADY_EXISTS = 183,
  OS_ERROR_FILENAME_EXCED_RANGE = 206,
  OS_ERROR_IO_DEVICE = 1117,
  OS_ERROR_USER_MAPPED_FILE = 1224,
};

// The same handles by a Shift-JIS path (converted for the system first), shared
// as the C library shares "rb" and "wb" files, so that either form of a path
// reads and writes through the same buffers.
os_file os_open_readA(const char* sjisPath);
os_file os_create_writeA(const char* sjisPath);
// 64-bit file pointer: the new position, or -1 on failure.
int64_t os_seek64(os_file f, int64_t offset, int whence);
// Size of an open file in bytes, or -1 when the system cannot tell.
int64_t os_file_size(os_file f);
// 1 when the path names the very file f has open (a hard or symbolic link to
// it included), 0 otherwise or when the path names no file.
int os_is_same_fileA(os_file f, const char* sjisPath);
int os_is_same_fileW(os_file f, const char16_t* path);
// Copies up to n bytes from in's file pointer to out's inside the system,
// advancing both; *done is what was moved. OS_COPY_DONE: all n, or in ended
// after *done. OS_COPY_REFUSED: the system cannot copy between these files
// (the caller copies the rest itself). OS_COPY_READ_FAILED and
// OS_COPY_WRITE_FAILED: a failure after *done bytes (os_last_error).
enum { OS_COPY_DONE = 0, OS_COPY_REFUSED = 1, OS_COPY_READ_FAILED = 2, OS_COPY_WRITE_FAILED = 3 };
int os_copy_range(os_file in, os_file out, int64_t n, int64_t* done);

// ---- replacing a file ---------------------------------------------------------------
// What a path holds before a new file is written under it: OS_TARGET_NONE (nothing:
// it is created), OS_TARGET_FILE (a file that may be replaced), OS_TARGET_DEVICE (a
// device or pipe, written in place: renaming onto it would replace the device itself),
// OS_TARGET_REFUSED (a folder, a read-only or hidden file, a file in use: whatever
// creating it would fail on, with the same os_last_error).
enum { OS_TARGET_NONE = 0, OS_TARGET_FILE = 1, OS_TARGET_DEVICE = 2, OS_TARGET_REFUSED = 3 };
int os_write_targetA(const char* sjisPath);
int os_write_targetW(const char16_t* path);
// Puts the closed file `from` in place of `to` in one step, so that `to` is always
// either the old file or the whole new one. 1 on success, 0 on failure (os_last_error).
int os_replace_fileA(const char* from, const char* to);
int os_replace_fileW(const char16_t* from, const char16_t* to);
// Sends what was written to f on to the disk, so that a file renamed into place after
// a power cut is never empty. 1 on success, 0 on failure (os_last_error).
int os_sync(os_file f);

// ---- moving a file to a new name ------------------------------------------------------
// What a path names, without following a link at its end.
enum { OS_ENTRY_NONE = 0, OS_ENTRY_FILE = 1, OS_ENTRY_FOLDER = 2, OS_ENTRY_OTHER = 3 };
// OS_ENTRY_OTHER: a link, a device, or an entry the system will not tell about.
int os_entry_kindW(const char16_t* path);
// Renames a file to a name nothing holds yet, on the same volume: never replaces
// what is there (OS_ERROR_FILE_EXISTS or OS_ERROR_ALREADY_EXISTS) and never copies
// (OS_ERROR_NOT_SAME_DEVICE). 1 on success, 0 on failure (os_last_error); a failed
// rename leaves both names as they were.
int os_rename_newW(const char16_t* from, const char16_t* to);
// Creates one folder (its parent must exist). 1 on success, 0 (os_last_error).
int os_make_dirW(const char16_t* path);
// Removes a folder only when it is empty. 1 on success, 0 (os_last_error).
int os_remove_dirW(const char16_t* path);

// ---- new files beside others -----------------------------------------------------------
// For copies into a folder that holds the user's files: nothing here ever takes the
// place of a file that is there already.
// Creates a file for writing only when nothing is there under its name
// (OS_ERROR_FILE_EXISTS otherwise).
os_file os_create_newW(const char16_t* path);
// 1 when the path's last name is a symbolic link (not other reparse points, such as
// a cloud drive's files), 0 otherwise or when it names nothing.
int os_is_symlinkW(const char16_t* path);

// ---- files by Shift-JIS path (the C-stream backend) --------------------------
// fopen with the path converted for the system first (identity on Windows).
FILE* os_fopen(const char* sjisPath, const char* mode);
// Deletes a file or a link (the link itself, not what it points to), never a
// device; used to remove a failed output. 0 on success.
int os_removeA(const char* sjisPath);
int os_removeW(const char16_t* path);

// ---- directory search ---------------------------------------------------------
typedef void* os_find;
#define OS_BAD_FIND ((os_find)0)
// First/next entry matching a path or a wildcard pattern. The entry's name alone
// (no folder) goes to name (cap units/bytes, always terminated, cut if longer);
// *isDir tells whether it is a folder. First returns OS_BAD_FIND when nothing
// matches; next returns 0 when there is no further entry.
os_find os_find_firstW(const char16_t* pattern, char16_t* name, int cap, int* isDir);
int os_find_nextW(os_find h, char16_t* name, int cap, int* isDir);
os_find os_find_firstA(const char* pattern, char* name, int cap, int* isDir);
int os_find_nextA(os_find h, char* name, int cap, int* isDir);
void os_find_close(os_find h);
// 1 when the entry the last first/next call gave is a symbolic link (or another
// reparse point), so that a walk of a tree does not follow it.
int os_find_is_link();

// ---- current folder -------------------------------------------------------------
// Length written (without terminator), or 0 on failure, as GetCurrentDirectory.
uint32_t os_current_dirA(char* buf, uint32_t cap);
uint32_t os_current_dirW(char16_t* buf, uint32_t cap);

// ---- system facts ------------------------------------------------------------------
// Windows: GetVersion refined by RtlGetVersion (major + minor/10, or the build
// formula for 10.0). POSIX: 0.
float os_windows_version();
// POSIX writes its own version line (" on %s %s " from uname) and returns 1;
// Windows returns 0 and the caller uses its version table.
int os_version_line(char* buf, int cap);
uint32_t os_console_output_cp();
// Windows language ids of the user's default language.
enum { OS_LANG_JAPANESE = 0x0411, OS_LANG_ENGLISH_US = 0x0409 };
uint16_t os_user_lang_id();
int os_is_dbcs_lead(unsigned char b);  // IsDBCSLeadByte for the ANSI code page
void os_sleep(uint32_t ms);

// ---- console -----------------------------------------------------------------------
// Raw bytes for stdout, already in the console's encoding (console.cpp converts).
void os_console_write(const char* bytes, size_t n);
void os_console_flush();
// POSIX: 1 when the terminal's locale is Shift-JIS and bytes pass unchanged.
int os_console_passthrough();
// 1 when standard output is a console that takes UTF-16 text; 0 when it is
// redirected to a file or a pipe, and always on POSIX, whose terminal takes
// the bytes.
int os_console_screen();
// UTF-16 text for that console (n units, no terminator).
void os_console_writeW(const char16_t* units, size_t n);
// n bytes of text in the system's ANSI code page as UTF-16: at most cap
// units, not terminated; returns the units written.
size_t os_ansi_to_wide(const char* ansi, size_t n, char16_t* out, size_t cap);
// 1 when the console belongs to this process alone and shows its output: a
// window opened for the program itself (dropped files, a double-click), not
// a command prompt and not redirected. Always 0 on POSIX.
int os_console_own_window();
// Waits until Enter is pressed in the console (or its input ends).
void os_console_wait_enter();

// ---- message boxes -----------------------------------------------------------------
enum {
  OS_MB_OK = 0x0,
  OS_MB_OKCANCEL = 0x1,
  OS_MB_YESNOCANCEL = 0x3,
  OS_MB_YESNO = 0x4,
  OS_MB_ICONINFORMATION = 0x40,
  OS_MB_TOPMOST = 0x40000,
};
enum { OS_IDOK = 1, OS_IDCANCEL = 2, OS_IDYES = 6, OS_IDNO = 7 };
// No owner window. Return the button id, 0 or -1 on failure (as MessageBox).
int os_message_boxA(const char* text, const char* caption, uint32_t type);
int os_message_boxW(const char16_t* text, const char16_t* caption, uint32_t type);
// 1 when the box shows its text itself (Windows); 0 when the program's console
// text is all the user sees of it (POSIX: a prompt follows it).
int os_message_box_shows_text();

// ---- open-file dialog -------------------------------------------------------------
// The fields of OPENFILENAME that the program sets; the backend fills the real one.
struct os_ofnW {
  uint32_t structSize;       // 76: OPENFILENAME_SIZE_VERSION_400
  const char16_t* filter;    // pairs of strings, ends in an empty string
  uint32_t filterIndex;
  char16_t* file;            // in: initial name, out: chosen full path
  uint32_t maxFile;
  const char16_t* initialDir;  // null for none
  const char16_t* title;
  uint32_t flags;            // 0x1800: OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST
  const char16_t* defExt;    // null for none
};
struct os_ofnA {
  uint32_t structSize;
  const char* filter;
  uint32_t filterIndex;
  char* file;
  uint32_t maxFile;
  const char* initialDir;
  const char* title;
  uint32_t flags;
  const char* defExt;
  // Optional: the chosen file's exact UTF-16 path, which the ANSI answer cannot
  // hold when the name has characters outside the ANSI code page. Left empty
  // when it does not fit or the system cannot tell it; null when not wanted.
  char16_t* fileW;
  uint32_t maxFileW;
};
// Nonzero when the user chose a file (GetOpenFileName).
int os_get_open_file_nameW(os_ofnW* req);
int os_get_open_file_nameA(os_ofnA* req);
uint32_t os_comm_dlg_extended_error();
enum { OS_FNERR_BUFFER_TOO_SMALL = 0x3003 };

#ifndef _WIN32
// ---- POSIX backend pieces, reachable for tests --------------------------------------
// Where message boxes and the open dialog read answers and write prompts
// (null: stdin and stderr).
void os_posix_set_answer_streams(FILE* in, FILE* prompt);
// The button an answer line chooses for a box type, 0 when it must ask again.
int os_posix_box_answer(const char* line, uint32_t type);
// Path conversions at the seam; each returns the length written (0 if it does not fit).
size_t os_posix_path_to_system(const char* sjisPath, char* utf8, size_t cap);
size_t os_posix_path_to_systemW(const char16_t* path, char* utf8, size_t cap);
size_t os_posix_path_from_system(const char* utf8, char* sjisPath, size_t cap);
size_t os_posix_path_from_systemW(const char* utf8, char16_t* path, size_t cap);
#endif
