// Started without a model path: one chance to pick a model, else the usage text.
#include "driver/driver.h"
#include "driver/messages.h"
#include "driver/run_settings.h"
#include "platform/arg_list.h"
#include "platform/console.h"
#include "platform/file_dialog.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "text/sjis.h"

namespace {

const int kPathCap = PATH_CAP;

}  // namespace

void no_model_notice() {
  con_printf("\n");
  print_by_language(M_NO_MODEL_NOTICE);
}

int no_model_pick() {
  // The lists stay paired index for index; each has room for this one entry.
  if (ansiArgs.count >= ARG_MAX_ENTRIES || wideArgs.count >= ARG_MAX_ENTRIES) return -1;
  char16_t widePath[kPathCap];
  char ansiPath[2 * kPathCap];
  if (wideArgs.count >= ansiArgs.count) {
    if (pickfileW(widePath, kPathCap, DLG_KIND_MODEL, programFolderW) != 0) return -1;
    addargW(&wideArgs, widePath);
    wide_to_sjis(ansiPath, (int)sizeof ansiPath, widePath);
    addarg(&ansiArgs, ansiPath);
    if (rfprobeW(widePath) != 0) return -1;
  } else {
    if (pickfile(ansiPath, kPathCap, DLG_KIND_MODEL, programFolder) != 0) return -1;
    addarg(&ansiArgs, ansiPath);
    sjis_to_wide(widePath, kPathCap, ansiPath);
    addargW(&wideArgs, widePath);
    if (rfprobe(ansiPath) != 0) return -1;
  }
  rfclose();
  test_open_report(ansiPath, widePath);
  return 0;
}

void print_usage() {
  con_printf("Usage \n");
  con_printf("   Quillmend <pmxFileName>.pmx \n");
  con_flush();
}

bool no_model_start() {
  no_model_notice();
  if (no_model_pick() == 0) return true;
  print_usage();
  return false;
}
