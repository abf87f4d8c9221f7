// Box texts built twice from the same fragments: ANSI (printed and shown by
// MessageBoxA) and UTF-16 (shown by MessageBoxW).
#pragma once
#include <cstdint>
#include <initializer_list>

#include "driver/messages.h"

enum { BOX_TEXT_CAP = 4096 };

enum { BOX_NAMES_CAP = 8 };

struct BoxText {
  char ansi[BOX_TEXT_CAP];
  char16_t wide[BOX_TEXT_CAP];
  // Where the names stand in each text, so that the console can show a name
  // in its UTF-16 form (the first BOX_NAMES_CAP names; later ones as ANSI).
  struct NameSpan {
    int at, len, atW, lenW;
  } names[BOX_NAMES_CAP];
  int nameCount;
};
void box_clear(BoxText* b);
// A Japanese fragment (Shift-JIS): console_cat to the ANSI text, sjis_cat_wide to the UTF-16 text.
void box_add(BoxText* b, const char* sjis);
// A name with its ANSI and UTF-16 forms, each entering its own text.
void box_add_name(BoxText* b, const char* ansiName, const char16_t* wideName);
// What a box text's {n} stands for: a name in both forms, or (wide null) a
// Shift-JIS text such as a number or another message, added as a fragment.
struct BoxArg {
  const char* ansi;
  const char16_t* wide;
};
// A catalogue text in the message language, its {1}, {2}, ... replaced by args.
void box_add_msg(BoxText* b, MsgId id, std::initializer_list<BoxArg> args = {});
// Prints the ANSI text (unless the caller printed its own console form), shows
// the UTF-16 box when useWide, else the ANSI box.
// Returns the button id (OS_IDOK, OS_IDYES, ...), or what the system returned.
// With Auto.answer no box is shown and the default button (Yes, else OK) answers.
int box_show(const BoxText* b, uint32_t type, bool useWide, bool print = true);
// True when a box of this type is shown and asks, but the system's box does
// not show its text (POSIX: only a prompt): its console text is then the box,
// which -Q keeps.
bool box_text_console_only(uint32_t type);
