// Box texts: one set of fragments, two texts (ANSI for the console and
// MessageBoxA, UTF-16 for MessageBoxW).
#include "driver/message_box.h"

#include "driver/run_settings.h"
#include "platform/console.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "text/sjis.h"

namespace {
const char kCaption[] = "Quillmend";
const char16_t kCaptionW[] = u"Quillmend";
const uint32_t kBoxStyle = OS_MB_ICONINFORMATION | OS_MB_TOPMOST;
}  // namespace

void box_clear(BoxText* b) {
  b->ansi[0] = 0;
  b->wide[0] = 0;
}

void box_add(BoxText* b, const char* sjis) {
  if (!sjis) return;
  // Append at the end we know: console_cat looks for the end only in its
  // first 520 bytes, and a long name before a fragment would drop the rest.
  int n = 0;
  while (n < BOX_TEXT_CAP - 1 && b->ansi[n]) ++n;
  console_cat(b->ansi + n, BOX_TEXT_CAP - n, sjis);
  sjis_cat_wide(b->wide, BOX_TEXT_CAP, sjis);
}

void box_add_name(BoxText* b, const char* ansiName, const char16_t* wideName) {
  if (ansiName) sjis_append(b->ansi, BOX_TEXT_CAP, ansiName);
  if (wideName) wide_cat(b->wide, BOX_TEXT_CAP, wideName);
}

void box_add_name_line(BoxText* b, const char* ansiName, const char16_t* wideName) {
  box_add(b, " ");
  box_add_name(b, ansiName, wideName);
  box_add(b, " \r\n");
}

int box_show(const BoxText* b, uint32_t type, bool useWide, bool print) {
  if (print) con_printf("%s", b->ansi);
  // Unattended: no box; the default button answers, and the caller echoes it as usual.
  if (Auto.answer != 0) return (type & 0xF) == OS_MB_YESNOCANCEL ? OS_IDYES : OS_IDOK;
  if (useWide) return os_message_boxW(b->wide, kCaptionW, type | kBoxStyle);
  return os_message_boxA(b->ansi, kCaption, type | kBoxStyle);
}

void print_by_language(const char* ja, const char* jaUtf8, const char* en) {
  if (japanese_mode()) {
    con_printf("%s", ja);
  } else if (Lang.japanese && Lang.utf8Console) {
    char utf8[1024];
    sjis_to_utf8(utf8, (int)sizeof utf8, jaUtf8);
    con_printf("%s", utf8);
  } else {
    con_printf("%s", en);
  }
}
