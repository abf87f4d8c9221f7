// Started without a model path: one chance to pick a model, else the usage text.
#include "driver/driver.h"
#include "driver/message_box.h"
#include "driver/run_settings.h"
#include "platform/arg_list.h"
#include "platform/console.h"
#include "platform/file_dialog.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "text/sjis.h"

namespace {

const int kPathCap = PATH_CAP;

// ドラッグ＆ドロップされた PMX ファイルや、 \n
const char kNoticeJa[] =
    "\x83h\x83\x89\x83\x62\x83O\x81\x95\x83h\x83\x8D\x83\x62\x83v\x82\xB3\x82\xEA\x82\xBD PMX "
    "\x83t\x83@\x83\x43\x83\x8B\x82\xE2\x81\x41 \n"
    // コマンドで指定された PMX ファイルはありません. \n
    "\x83R\x83}\x83\x93\x83h\x82\xC5\x8Ew\x92\xE8\x82\xB3\x82\xEA\x82\xBD PMX "
    "\x83t\x83@\x83\x43\x83\x8B\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1. \n"
    //  PMX モデルファイルを開いてください. \n
    " PMX \x83\x82\x83\x66\x83\x8B\x83t\x83@\x83\x43\x83\x8B\x82\xF0\x8AJ\x82\xA2\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2. \n";

// The UTF-8 console gets slightly different lines, each ending in " \n".
// ドラッグ＆ドロップされた PMX ファイル、
const char kNoticeUtf[] =
    "\x83h\x83\x89\x83\x62\x83O\x81\x95\x83h\x83\x8D\x83\x62\x83v\x82\xB3\x82\xEA\x82\xBD PMX "
    "\x83t\x83@\x83\x43\x83\x8B\x81\x41  \n"
    // コマンドで指定された PMX ファイルはありません.
    "\x83R\x83}\x83\x93\x83h\x82\xC5\x8Ew\x92\xE8\x82\xB3\x82\xEA\x82\xBD PMX "
    "\x83t\x83@\x83\x43\x83\x8B\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1.  \n"
    //  PMX モデルファイルを開いてください.
    " PMX \x83\x82\x83\x66\x83\x8B\x83t\x83@\x83\x43\x83\x8B\x82\xF0\x8AJ\x82\xA2\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2.  \n";

}  // namespace

void no_model_notice() {
  con_printf("\n");
  print_by_language(kNoticeJa, kNoticeUtf,
                    "No dropped PMX file detected. \n"
                    " Please select PMX file(s). \n");
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
