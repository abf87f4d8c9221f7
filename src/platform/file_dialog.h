// The common file-open dialog, by file kind (0 all files ... 6 PMX models).
#pragma once
#include "platform/os.h"

enum { FILTER_CAP = 16384 };

// Everything before the system call, so it can be checked on any system.
struct DialogRequestW {
  char16_t filter[FILTER_CAP];
  char16_t file[260];
  char16_t initialDir[260];
  char16_t ext[260];
  os_ofnW ofn;
};
struct DialogRequestA {
  char filter[FILTER_CAP];
  char file[260];
  char initialDir[260];
  char ext[260];
  os_ofnA ofn;
};
void build_dialog_requestW(DialogRequestW* r, int kind, const char16_t* initialPath, const char16_t* title);
void build_dialog_requestA(DialogRequestA* r, int kind, const char* initialPath, const char* title);

// 0 a file was chosen and copied to dst (cap units/bytes, may be null); -1 cancelled or failed.
int openfiledlgW(char16_t* dst, int cap, int kind, const char16_t* initialPath, const char16_t* title);
int openfiledlg(char* dst, int cap, int kind, const char* initialPath, const char* title);
int pickfileW(char16_t* dst, int cap, int kind, const char16_t* initialPath);
int pickfile(char* dst, int cap, int kind, const char* initialPath);
