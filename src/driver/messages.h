// The driver's texts in the user's language. Each is written once, both
// languages side by side, in driver/messages.txt; the build turns that file
// into the table of driver/messages_gen.h (M_... ids).
#pragma once
#include "driver/messages_gen.h"

// The text in the message language: Japanese (Shift-JIS) in Japanese mode,
// else English. Console texts may be printf formats; box texts go through
// box_add_msg, which fills in their inserts.
const char* msg(MsgId id);

// Prints a text in one of three forms: Japanese in Japanese mode; for a
// Japanese user on a UTF-8 console, whose messages are otherwise English, the
// Japanese (or its ja_utf8 form) converted to UTF-8; English for everyone else.
void print_by_language(MsgId id);
// The same for a text that is a printf format of one %d.
void print_by_language(MsgId id, int n);
