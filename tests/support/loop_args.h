// In-process runs of the model loop: the program's folder and the argument
// lists as start-up would leave them.
#pragma once
#include <string>
#include <vector>

#include "driver/run_settings.h"
#include "platform/arg_list.h"

// folder: a POSIX path; the program holds it with backslashes and a trailing one.
// Returns that form.
inline std::string set_program_folder(std::string folder) {
  for (char& c : folder)
    if (c == '/') c = '\\';
  folder += "\\";
  snprintf(programFolder, sizeof programFolder, "%s", folder.c_str());
  for (size_t i = 0; i <= folder.size() && i < PATHBUF_CAP; i++) programFolderW[i] = (char16_t)(unsigned char)folder[i];
  return folder;
}

// The program, then the given entries, in both lists (ASCII entries).
inline void set_loop_args(const std::vector<std::string>& entries) {
  arglist_reset(&ansiArgs);
  arglist_resetW(&wideArgs);
  addarg(&ansiArgs, "quillmend");
  addargW(&wideArgs, u"quillmend");
  for (const std::string& e : entries) {
    addarg(&ansiArgs, e.c_str());
    addargW(&wideArgs, std::u16string(e.begin(), e.end()).c_str());
  }
}
