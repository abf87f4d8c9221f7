// The common file-open dialog, by file kind.
#pragma once
#include "platform/os.h"
#include "platform/paths.h"

// What the dialog offers: filters, title and default extension. Any other
// value gets the all-files dialog.
enum {
  DLG_KIND_ALL_FILES = 0,
  DLG_KIND_IMAGE = 1,
  DLG_KIND_SCRIPT = 2,
  DLG_KIND_SOURCE = 3,
  DLG_KIND_MOTION = 4,
  DLG_KIND_VRM = 5,
  DLG_KIND_MODEL = 6,
};

enum { FILTER_CAP = 16384 };

// Everything before the system call, so it can be checked on any system.
struct DialogRequestW {
  char16_t filter[FILTER_CAP];
  char16_t file[PATH_CAP];
  char16_t initialDir[PATH_CAP];
  char16_t ext[PATH_CAP];
  os_ofnW ofn;
};
struct DialogRequestA {
  char filter[FILTER_CAP];
  char file[PATH_CAP];
  char initialDir[PATH_CAP];
  char ext[PATH_CAP];
  os_ofnA ofn;
};
void build_dialog_requestW(DialogRequestW* r, int kind, const char16_t* initialPath, const char16_t* title);
void build_dialog_requestA(DialogRequestA* r, int kind, const char* initialPath, const char* title);

// 0 a file was chosen and copied to dst (cap units/bytes, may be null); -1 cancelled or failed.
int openfiledlgW(char16_t* dst, int cap, int kind, const char16_t* initialPath, const char16_t* title);
// exactW (capW units), when given, also receives the chosen file's exact
// UTF-16 path, or stays empty when the system cannot tell it.
int openfiledlg(char* dst, int cap, int kind, const char* initialPath, const char* title,
                char16_t* exactW = nullptr, int capW = 0);
int pickfileW(char16_t* dst, int cap, int kind, const char16_t* initialPath);
int pickfile(char* dst, int cap, int kind, const char* initialPath);
