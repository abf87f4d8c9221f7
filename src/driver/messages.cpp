#include "driver/messages.h"

#include "platform/console.h"
#include "platform/settings.h"
#include "text/sjis.h"

#include <cstdio>
#include <cstring>

const char* msg(MsgId id) { return japanese_mode() ? kMsgTexts[id].ja : kMsgTexts[id].en; }

void print_by_language(MsgId id) {
  const MsgText& t = kMsgTexts[id];
  if (japanese_mode()) {
    con_printf("%s", t.ja);
  } else if (Lang.japanese && Lang.utf8Console) {
    char utf8[1024];
    sjis_to_utf8(utf8, (int)sizeof utf8, t.jaUtf8 ? t.jaUtf8 : t.ja);
    // UTF-8 already: a console that takes UTF-16 must not read it as code page 932.
    con_write_utf8(utf8, strlen(utf8));
  } else {
    con_printf("%s", t.en);
  }
}

void print_by_language(MsgId id, int n) {
  const MsgText& t = kMsgTexts[id];
  char text[512];
  if (japanese_mode()) {
    std::snprintf(text, sizeof text, t.ja, n);
  } else if (Lang.japanese && Lang.utf8Console) {
    char sjis[512];
    std::snprintf(sjis, sizeof sjis, t.jaUtf8 ? t.jaUtf8 : t.ja, n);
    sjis_to_utf8(text, (int)sizeof text, sjis);
    con_write_utf8(text, strlen(text));
    return;
  } else {
    std::snprintf(text, sizeof text, t.en, n);
  }
  con_printf("%s", text);
}
