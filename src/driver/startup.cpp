// Start-up: system facts, language, banner, the two argument lists, the
// program's folder and the option pass; then the model loop takes over.
#include <cstdio>
#include <cstring>

#include "driver/closing_wait.h"
#include "driver/driver.h"
#include "driver/folder_args.h"
#include "driver/messages.h"
#include "driver/run_settings.h"
#include "platform/arg_list.h"
#include "platform/console.h"
#include "platform/file_io.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "text/sjis.h"

namespace {

const char kTitle[] = "Quillmend  V1.02  (c) 2026 Quillmend developers";
const char kFolderFailed[] = "(Obtaining exe dir failed.) \n";
const uint32_t kCurDirCap = PATH_CAP;

bool is_option_entry(const char* s) { return s[0] == '-' || s[0] == '/'; }

const char kTooMany[] = "Too many command line parameters.\n";
bool tooManyReported = false;

void report_too_many() {
  if (tooManyReported) return;
  tooManyReported = true;
  con_printf("%s", kTooMany);
}

}  // namespace

LangFlags lang_flags_for(uint16_t langId, uint32_t consoleCp, bool dbcsAnsi) {
  LangFlags f = {false, false, false};
  if (langId != OS_LANG_JAPANESE) return f;
  f.japanese = true;
  if (consoleCp == 65001) {
    f.utf8Console = true;
  } else if (consoleCp == 932 && dbcsAnsi) {
    f.sjisConsole = true;
  }
  return f;
}

void startup_environment() {
  Info.osVersion = os_windows_version();
  consoleCodePage = os_console_output_cp();
  // 0x92 is a lead byte exactly when the ANSI code page is a double-byte one.
  Lang = lang_flags_for(os_user_lang_id(), consoleCodePage, os_is_dbcs_lead(0x92) != 0);
}

void version_line_for(char* buf, int cap, float osVersion) {
  if (cap <= 0) return;
  struct Row { float atLeast; const char* text; };
  // XP sits at 5.2 and 2000 at 5.1, one row higher than their real numbers.
  static const Row rows[] = {
      {6.3f, " on Windows 8.1 "}, {6.2f, " on Windows 8 "},  {6.1f, " on Windows 7 "},
      {6.0f, " on Windows Vista "}, {5.2f, " on Windows XP "}, {5.1f, " on Windows 2000 "},
  };
  // The version is major + minor / 10 in single precision; allow for its rounding.
  const float slack = 0.001f;
  if (osVersion + slack >= 10.0f) {
    snprintf(buf, (size_t)cap, " on Windows %g ", (double)osVersion);
    return;
  }
  for (const Row& r : rows) {
    if (osVersion + slack >= r.atLeast) {
      snprintf(buf, (size_t)cap, "%s", r.text);
      return;
    }
  }
  snprintf(buf, (size_t)cap, "%s", " on Windows 95-98,Me ");
}

void startup_banner() {
  con_puts(kTitle);
  char line[256];
  // A system that names itself (not Windows) gives its own line; Windows is
  // named from the measured version.
  if (os_version_line(line, (int)sizeof line) != 1) version_line_for(line, (int)sizeof line, Info.osVersion);
  con_printf("%s", line);
  print_by_language(M_LANGUAGE_TAG);
  con_printf("\n");
}

namespace {

int dir_part(char* dst, int cap, const char* path) { return dirpart(dst, cap, path); }
int dir_part(char16_t* dst, int cap, const char16_t* path) { return dirpartW(dst, cap, path); }
void copy_folder(char* dst, int cap, const char* folder) {
  sjis_copy(dst, cap, folder);
  sjis_append(dst, cap, "\\");
}
void copy_folder(char16_t* dst, int cap, const char16_t* folder) {
  wide_cpy(dst, cap, folder);
  wide_cat(dst, cap, u"\\");
}

template <typename C>
void program_folder_t(C* dst, int cap, const C* path, uint32_t (*curdir)(C*, uint32_t)) {
  if (cap <= 0) return;
  dst[0] = 0;
  dir_part(dst, cap, path);
  if (dst[0]) return;
  C cur[kCurDirCap];
  uint32_t n = curdir(cur, kCurDirCap);
  // A result as large as the buffer is the size it would need: nothing was written.
  if (n == 0 || n >= kCurDirCap) {
    con_printf("%s", kFolderFailed);
    dst[0] = 0;
    return;
  }
  copy_folder(dst, cap, cur);
}

}  // namespace

void program_folder_for(char* dst, int cap, const char* path, uint32_t (*curdir)(char*, uint32_t)) {
  program_folder_t(dst, cap, path, curdir);
}

void program_folder_forW(char16_t* dst, int cap, const char16_t* path,
                         uint32_t (*curdir)(char16_t*, uint32_t)) {
  program_folder_t(dst, cap, path, curdir);
}

void startup_lists(int argc, char** argv, const char16_t* cmdline) {
  arglist_resetW(&wideArgs);
  splitcmdlineW(&wideArgs, cmdline);
  programPathW[0] = 0;
  if (wideArgs.count > 0) wide_cpy(programPathW, PATHBUF_CAP, wideArgs.entries[0]);
  program_folder_forW(programFolderW, PATHBUF_CAP, programPathW, os_current_dirW);

  arglist_reset(&ansiArgs);
  tooManyReported = false;
  for (int i = 0; i < argc; i++) {
    if (i >= ARG_MAX_ENTRIES) {
      report_too_many();
      break;
    }
    addarg(&ansiArgs, argv[i]);
  }
  programPath[0] = 0;
  if (ansiArgs.count > 0) sjis_copy(programPath, (int)sizeof programPath, ansiArgs.entries[0]);
  program_folder_for(programFolder, (int)sizeof programFolder, programPath, os_current_dirA);
}

void test_open_report(const char* ansiPath, const char16_t* widePath) {
  // A line per model that -Q leaves out: the loop names each model once.
  if (Quiet.mode != 0) return;
  if (rfprobe(ansiPath ? ansiPath : "") == 0) {
    rfclose();
    con_printf(" -- correctly opened in ANSI or UTF-8. \n");
    return;
  }
  con_printf(" -- could not open in ANSI or UTF-8. \n");
  if (rfprobeW(widePath ? widePath : u"") == 0) {
    rfclose();
    con_printf(" -- correctly opened in UTF-16. \n");
  } else {
    con_printf(" -- could not open in UTF-16. (***) \n");
  }
}

namespace {

const char16_t* wide_entry(int i) { return i < wideArgs.count ? wideArgs.entries[i] : u""; }

bool names_folder(int i) {
  const char* entry = ansiArgs.entries[i];
  if (is_option_entry(entry)) return false;
  if (i < wideArgs.count) return folder_arg_is_folder(wideArgs.entries[i]);
  char16_t pathW[PATHBUF_CAP];
  sjis_to_wide(pathW, PATHBUF_CAP, entry);
  return folder_arg_is_folder(pathW);
}

// Both lists as the option pass leaves them when folders stand for their models.
ArgListA expandedAnsi;
ArgListW expandedWide;
bool wideEnded;  // the UTF-16 list ran out: later entries have no UTF-16 form

// Appends a pair, whole or not at all; false when either list is full.
bool append_pair(const char* ansi, const char16_t* wide) {
  int a = (int)std::strlen(ansi), w = wide_len(wide);
  if (expandedAnsi.count >= ARG_MAX_ENTRIES || expandedAnsi.used + a + 1 > ARG_STORAGE) return false;
  if (!wideEnded && (expandedWide.count >= ARG_MAX_ENTRIES || expandedWide.used + w + 1 > ARG_STORAGE))
    return false;
  addarg(&expandedAnsi, ansi);
  // An entry without a UTF-16 form would shift every later one onto the wrong index.
  if (!wide[0]) wideEnded = true;
  if (!wideEnded) addargW(&expandedWide, wide);
  return true;
}

// Appends a folder's models; false when the lists ran full.
bool append_folder(const char* entry, const char16_t* folderW) {
  int n = folder_arg_list(folderW);
  con_printf_name("Folder: %s", entry, folderW);
  con_printf(" => %d model(s) \n", n);
  char ansi[2 * PATHBUF_CAP];
  for (int k = 0; k < n; k++) {
    const char16_t* pathW = folder_arg_model(k);
    // As for any argument: a name outside the ANSI code page gets an unusable ANSI form.
    wide_to_sjis(ansi, (int)sizeof ansi, pathW);
    if (!append_pair(ansi, pathW)) return false;
  }
  return true;
}

void replace_lists() {
  arglist_reset(&ansiArgs);
  arglist_resetW(&wideArgs);
  for (int i = 0; i < expandedAnsi.count; i++) addarg(&ansiArgs, expandedAnsi.entries[i]);
  for (int i = 0; i < expandedWide.count; i++) addargW(&wideArgs, expandedWide.entries[i]);
}

// The option pass when folders are among the arguments: each folder is
// replaced by its models in both lists; beyond the lists' capacity the rest
// is dropped as an over-long command line is.
void option_pass_with_folders() {
  modelsFromFolders = true;
  arglist_reset(&expandedAnsi);
  arglist_resetW(&expandedWide);
  wideEnded = false;
  append_pair(ansiArgs.entries[0], wide_entry(0));
  for (int i = 1; i < ansiArgs.count; i++) {
    const char* entry = ansiArgs.entries[i];
    bool fits;
    if (is_option_entry(entry)) {
      scan_option_entry(entry, true);
      fits = append_pair(entry, wide_entry(i));
    } else if (names_folder(i)) {
      char16_t folderW[PATHBUF_CAP];
      if (i < wideArgs.count) wide_cpy(folderW, PATHBUF_CAP, wideArgs.entries[i]);
      else sjis_to_wide(folderW, PATHBUF_CAP, entry);
      fits = append_folder(entry, folderW);
    } else {
      test_open_report(entry, wide_entry(i));
      fits = append_pair(entry, wide_entry(i));
    }
    if (!fits) {
      report_too_many();
      break;
    }
  }
  replace_lists();
}

}  // namespace

void startup_options() {
  run_settings_reset();
  // -Q anywhere silences the test opens of models named before it as well.
  for (int i = 1; i < ansiArgs.count; i++)
    if (is_option_entry(ansiArgs.entries[i])) store_option_entry(ansiArgs.entries[i]);
  bool folders = false;
  for (int i = 1; i < ansiArgs.count && !folders; i++) folders = names_folder(i);
  if (folders) {
    option_pass_with_folders();
    return;
  }
  for (int i = 1; i < ansiArgs.count; i++) {
    const char* entry = ansiArgs.entries[i];
    if (is_option_entry(entry)) {
      scan_option_entry(entry, true);
    } else {
      test_open_report(entry, i < wideArgs.count ? wideArgs.entries[i] : u"");
    }
  }
}

int startup_main(int argc, char** argv) {
  startup_environment();
  // Help and the version are asked for to be read at once: no pause, no model touched.
  for (int i = 1; i < argc; i++) {
    if (argv[i] && (is_help_arg(argv[i]) || is_version_arg(argv[i]))) {
      con_puts(kTitle);
      if (is_help_arg(argv[i])) print_help();
      con_flush();
      return 0;
    }
  }
  // A console opened for files dropped on the program appears with it; the
  // pause gives it a moment before the banner, so the first lines are seen.
  os_sleep(500);
  startup_banner();
  startup_lists(argc, argv, nullptr);
  startup_options();
  const int code = model_loop();
  closing_wait();
  return code;
}
