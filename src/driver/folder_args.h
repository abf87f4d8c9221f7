// A folder named on the command line (or dropped on the program) stands for
// the model files below it.
#pragma once

enum {
  FOLDER_MAX_DEPTH = 8,         // folder levels listed below the named folder
  FOLDER_MAX_MODELS = 4096,     // model files kept from one folder
  FOLDER_MAX_NODES = 32768,     // folders and model files listed
  FOLDER_PATH_UNITS = 1 << 21,  // storage of their paths
};

// True when the path names a folder (a trailing backslash allowed).
bool folder_arg_is_folder(const char16_t* pathW);
// Lists the model files below a folder: names ending in ".pmx" in any letter
// case, except the "-new.pmx" outputs of an earlier run, at most
// FOLDER_MAX_DEPTH levels down, symbolic links not followed. Sorted in byte
// order of their paths written in UTF-8 with '/' between folders, so a tree
// gives the same order on every system. Returns how many.
int folder_arg_list(const char16_t* folderW);
// Path i of the last listing: the folder as given joined with the file's path below it.
const char16_t* folder_arg_model(int i);
// True when a bound cut the last listing short.
bool folder_arg_cut();
