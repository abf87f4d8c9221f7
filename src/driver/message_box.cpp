// Box texts: one set of fragments, two texts (ANSI for the console and
// MessageBoxA, UTF-16 for MessageBoxW).
#include "driver/message_box.h"

#include "driver/run_settings.h"
#include "platform/console.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "text/sjis.h"

#include <cstring>

namespace {
const char kCaption[] = "Quillmend";
const char16_t kCaptionW[] = u"Quillmend";
const uint32_t kBoxStyle = OS_MB_ICONINFORMATION | OS_MB_TOPMOST;
}  // namespace

void box_clear(BoxText* b) {
  b->ansi[0] = 0;
  b->wide[0] = 0;
  b->nameCount = 0;
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
  const int at = (int)strnlen(b->ansi, BOX_TEXT_CAP), atW = wide_len(b->wide);
  if (ansiName) sjis_append(b->ansi, BOX_TEXT_CAP, ansiName);
  if (wideName) wide_cat(b->wide, BOX_TEXT_CAP, wideName);
  if (b->nameCount >= BOX_NAMES_CAP) return;
  BoxText::NameSpan& span = b->names[b->nameCount++];
  span.at = at;
  span.len = (int)strnlen(b->ansi, BOX_TEXT_CAP) - at;
  span.atW = atW;
  span.lenW = wide_len(b->wide) - atW;
}

// The ANSI text as con_printf("%s") prints it, each name through con_name_n.
static void print_box_text(const BoxText* b) {
  int from = 0;
  for (int i = 0; i < b->nameCount; ++i) {
    const BoxText::NameSpan& span = b->names[i];
    con_write(b->ansi + from, (size_t)(span.at - from));
    con_name_n(b->ansi + span.at, (size_t)span.len, b->wide + span.atW, (size_t)span.lenW);
    from = span.at + span.len;
  }
  con_write(b->ansi + from, strnlen(b->ansi + from, BOX_TEXT_CAP - from));
}

void box_add_msg(BoxText* b, MsgId id, std::initializer_list<BoxArg> args) {
  // The catalogue's {n} arrive as the byte n, which no Shift-JIS text holds.
  char piece[BOX_TEXT_CAP];
  int n = 0;
  for (const char* p = msg(id);; ++p) {
    unsigned c = (unsigned char)*p;
    if (c > MSG_MAX_ARGS) {
      if (n < BOX_TEXT_CAP - 1) piece[n++] = *p;
      continue;
    }
    piece[n] = 0;
    box_add(b, piece);
    n = 0;
    if (c == 0) return;
    if (c > args.size()) continue;
    const BoxArg& a = args.begin()[c - 1];
    if (a.wide)
      box_add_name(b, a.ansi, a.wide);
    else
      box_add(b, a.ansi);
  }
}

bool box_text_console_only(uint32_t type) {
  return Auto.answer == 0 && (type & 0xF) != OS_MB_OK && !os_message_box_shows_text();
}

int box_show(const BoxText* b, uint32_t type, bool useWide, bool print) {
  if (print) {
    // Under -Q the console copy of a box is left out, unless it is the box.
    ConVisible asked(box_text_console_only(type));
    print_box_text(b);
  }
  // Unattended: no box; the default button answers, and the caller echoes it as usual.
  if (Auto.answer != 0) {
    const uint32_t buttons = type & 0xF;
    return buttons == OS_MB_YESNOCANCEL || buttons == OS_MB_YESNO ? OS_IDYES : OS_IDOK;
  }
  if (useWide) return os_message_boxW(b->wide, kCaptionW, type | kBoxStyle);
  return os_message_boxA(b->ansi, kCaption, type | kBoxStyle);
}
