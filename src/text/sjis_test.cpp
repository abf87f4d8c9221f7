#include "text/sjis.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/settings.h"

namespace {

#define A_HIRA "\x82\xA0"      // あ, U+3042
#define SHIKARU "\x98\x73"     // U+20B9F
#define WAVE "\x81\x60"        // full-width tilde / wave dash
#define U8_A_HIRA "\xE3\x81\x82"
#define U8_SHIKARU "\xF0\xA0\xAE\x9F"

std::string bytes(const char* s, size_t n) { return std::string(s, n); }

std::u16string wide(const char16_t* s) { return std::u16string(s); }

// UTF-16LE bytes of a list of units, without the terminator.
std::string le(std::initializer_list<uint16_t> units) {
  std::string out;
  for (uint16_t u : units) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  }
  return out;
}

// A UTF-16LE text with its zero unit, as a model file holds it.
std::string le_text(std::initializer_list<uint16_t> units) { return le(units) + std::string(2, '\0'); }

struct Result {
  std::string out;
  int ret;
  std::string console;
};

Result to_utf8(const std::string& src, int cap = 64) {
  std::vector<char> dst(cap, '\x55');
  con_capture_begin();
  int ret = sjis_to_utf8(dst.data(), cap, src.c_str());
  std::string console = con_capture_end();
  return {std::string(dst.data()), ret, console};
}

Result to_utf16le(const std::string& src, int cap = 64) {
  std::vector<char> dst(cap, '\x55');
  con_capture_begin();
  int ret = sjis_to_utf16le(dst.data(), cap, src.c_str());
  std::string console = con_capture_end();
  return {bytes(dst.data(), utf16le_bytes(dst.data())), ret, console};
}

Result utf8_sjis(const std::string& src, int cap = 64) {
  std::vector<char> dst(cap, '\x55');
  int ret = utf8_to_sjis(dst.data(), cap, src.c_str());
  return {std::string(dst.data()), ret, ""};
}

std::string le_sjis(const std::string& src, int cap = 64) {
  std::vector<char> dst(cap, '\x55');
  utf16le_to_sjis(dst.data(), cap, src.data());
  return dst.data();
}

std::u16string sjis_wide(const char* src, int cap = 64) {
  std::vector<char16_t> dst(cap, u'\x5555');
  sjis_to_wide(dst.data(), cap, src);
  return dst.data();
}

std::string wide_sjis(const char16_t* src, int cap = 64) {
  std::vector<char> dst(cap, '\x55');
  con_capture_begin();
  wide_to_sjis(dst.data(), cap, src);
  EXPECT_EQ("", con_capture_end());
  return dst.data();
}

std::u16string utf8_wide(const char* src, int cap = 64, int* ret = nullptr) {
  std::vector<char16_t> dst(cap, u'\x5555');
  int r = utf8_to_wide(dst.data(), cap, src);
  if (ret) *ret = r;
  return dst.data();
}

TEST(Sjis, BackslashKeptEverywhere) {
  const char* path = "C:\\tex\\a.png";
  EXPECT_EQ(path, to_utf8(path).out);
  EXPECT_EQ(path, utf8_sjis(path).out);
  EXPECT_EQ(path, wide_sjis(u"C:\\tex\\a.png"));
  EXPECT_EQ(u"C:\\tex\\a.png", sjis_wide(path));
  EXPECT_EQ(u"C:\\tex\\a.png", utf8_wide(path));
  std::string le_path = le({'C', ':', '\\', 't', 'e', 'x', '\\', 'a', '.', 'p', 'n', 'g'});
  EXPECT_EQ(le_path, to_utf16le(path).out);
  EXPECT_EQ(path, le_sjis(le_path + std::string(2, '\0')));
}

// Shift-JIS -> UTF-8 and UTF-16LE: output, status and console text.
TEST(Sjis, ShiftJisToUnicode) {
  struct Case {
    const char* name;
    std::string src;
    std::string utf8;
    std::string utf16le;
    int status;
    std::string console8;   // sjis_to_utf8
    std::string console16;  // sjis_to_utf16le
  };
  const std::string lowTrail = "[81 20(x)](2nd byte==0x00-3F) ";
  const Case cases[] = {
      {"tilde byte", "~", "\xE2\x80\xBE", le({0x203E}), 7, "", ""},
      {"half-width ka", "\xB1", "\xEF\xBD\xB1", le({0xFF71}), 7, "", ""},
      {"0xA0 stands for itself", "\xA0", "\xC2\xA0", le({0x00A0}), 7, "", ""},
      {"hiragana", A_HIRA, U8_A_HIRA, le({0x3042}), 7, "", ""},
      {"override wave", WAVE, "\xEF\xBD\x9E", le({0xFF5E}), 7, "", ""},
      {"override dash", "\x81\x5C", "\xE2\x80\x95", le({0x2015}), 7, "", ""},
      {"override backslash", "\x81\x5F", "\xEF\xBC\xBC", le({0xFF3C}), 7, "", ""},
      {"row 13 symbol", "\x87\x90", "\xE2\x89\x92", le({0x2252}), 7, "", ""},
      {"row 2 symbol", "\x81\xE0", "\xE2\x89\x92", le({0x2252}), 7, "", ""},
      {"supplementary", SHIKARU, U8_SHIKARU, le({0xD842, 0xDF9F}), 7, "", ""},
      {"lead 0xE0", "\xE0\x40", "\xE6\xBC\xBE", le({0x6F3E}), 15, "", ""},
      {"byte 0xFD dropped", "a\xFD" "b", "ab", le({'a', 'b'}), 15, "", ""},
      {"lone trailing lead", "ab\x82", "ab", le({'a', 'b'}), 3, "", ""},
      {"lead 0x80", "\x80\x41" "z", "z", le({0x8041, 'z'}), 2, "<<<uni000000:sjis008041>>>", ""},
      {"combining pair", "\x82\xF5", "", le({0x82F5}), 7, "<<<uni000000:sjis0082F5>>>", ""},
      {"low trail", "\x81\x20" "z", "z", le({0x8120, 'z'}), 1,
       "<<<uni000000:sjis008120>>>" + lowTrail, lowTrail},
      {"low trail after 0xE0 lead", "\xE0\x20", "", le({0xE020}), 1,
       "<<<uni000000:sjis00E020>>>[E0 20(x)](2nd byte==0x00-3F) ",
       "[E0 20(x)](2nd byte==0x00-3F) "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Result r8 = to_utf8(c.src);
    EXPECT_EQ(c.utf8, r8.out);
    EXPECT_EQ(c.status, r8.ret);
    EXPECT_EQ(c.console8, r8.console);
    Result r16 = to_utf16le(c.src);
    EXPECT_EQ(c.utf16le, r16.out);
    EXPECT_EQ(c.status, r16.ret);
    EXPECT_EQ(c.console16, r16.console);
  }
}

TEST(Sjis, Utf8ToShiftJis) {
  struct Case {
    const char* name;
    std::string src;
    std::string out;
    int ret;
  };
  const Case cases[] = {
      {"tilde", "~", "\x81\xB0", 7},
      {"yen sign", "\xC2\xA5", "\\", 7},
      {"half-width ka", "\xEF\xBD\xB1", "\xB1", 7},
      {"full-width tilde", "\xEF\xBD\x9E", WAVE, 7},
      {"wave dash", "\xE3\x80\x9C", WAVE, 7},
      {"approximately equal", "\xE2\x89\x92", "\x87\x90", 7},
      {"em dash", "\xE2\x80\x94", "\x81\x5C", 7},
      {"horizontal bar", "\xE2\x80\x95", "\x81\x5C", 7},
      {"supplementary", "a" U8_SHIKARU "b", "a?b", 7},
      {"two-byte character", "\xD0\x96", "\x84\x47", 7},
      {"Hangul", "\xEA\xB0\x80", "?", 7},
      {"overlong slash", "\xC0\xAF", "/", 7},
      {"overlong NUL", "a\xC0\x80" "b", "a?b", 7},
      {"one stray continuation", "a\x80" "b", "ab", 0},
      {"two broken sequences", "a\x80" "b\xFF" "c", "ab", 0},
      {"breaking byte lost with it", "A\xE3\x41" "B", "AB", 0},
      {"lead before terminator", "A\xE3\x81", "A", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Result r = utf8_sjis(c.src);
    EXPECT_EQ(c.out, r.out);
    EXPECT_EQ(c.ret, r.ret);
  }
}

TEST(Sjis, Utf8ToWide) {
  int ret = -1;
  EXPECT_EQ(u"ax020B9Fb", utf8_wide("a" U8_SHIKARU "b", 64, &ret));
  EXPECT_EQ(7, ret);
  EXPECT_EQ(u"\u3042~\\", utf8_wide(U8_A_HIRA "~\\", 64, &ret));
  EXPECT_EQ(u"ab", utf8_wide("a\xF8" "b", 64, &ret));
  EXPECT_EQ(0, ret);
  EXPECT_EQ(u"a", utf8_wide("a\x80\xC3", 64, &ret));  // second error ends it
  EXPECT_EQ(0, ret);

  // Two zero units when there is room, one when there is not; x-form never cut.
  char16_t dst[10];
  for (int cap : {8, 9, 10}) {
    std::fill(dst, dst + 10, u'#');
    utf8_to_wide(dst, cap, "a" U8_SHIKARU);
    const std::u16string want = cap == 8    ? std::u16string(u"a\0\0#####", 8)
                                : cap == 9  ? std::u16string(u"ax020B9F\0", 9)
                                            : std::u16string(u"ax020B9F\0\0", 10);
    EXPECT_EQ(want, std::u16string(dst, cap));
  }
}

TEST(Sjis, Utf16leToShiftJis) {
  EXPECT_EQ("\x81\xB0", le_sjis(le_text({'~'})));
  EXPECT_EQ(WAVE WAVE, le_sjis(le_text({0xFF5E, 0x301C})));
  EXPECT_EQ("\x87\x90\xB1\\", le_sjis(le_text({0x2252, 0xFF71, 0x00A5})));
  EXPECT_EQ("a?b", le_sjis(le_text({'a', 0xD842, 0xDF9F, 'b'})));
  EXPECT_EQ("a?", le_sjis(le_text({'a', 0xD842})));          // ends at a last high surrogate
  EXPECT_EQ("?b", le_sjis(le_text({0xDF9F, 'b'})));          // lone low surrogate
  EXPECT_EQ("?", le_sjis(le_text({0xAC00})));

  // Unaligned source: read byte by byte.
  std::string buf = "x" + le_text({0x3042, 'z'});
  std::vector<char> dst(8);
  utf16le_to_sjis(dst.data(), 8, buf.data() + 1);
  EXPECT_EQ(A_HIRA "z", std::string(dst.data()));
}

TEST(Sjis, WideAndShiftJis) {
  EXPECT_EQ("~\\", wide_sjis(u"~\\"));
  EXPECT_EQ(A_HIRA "\xB1", wide_sjis(u"\u3042\uFF71"));
  EXPECT_EQ("\x81\xE0" WAVE, wide_sjis(u"\u2252\uFF5E"));
  EXPECT_EQ("??", wide_sjis(u"\U00020B9F"));           // each surrogate unit
  con_capture_begin();
  EXPECT_EQ("\x83\xBB", wide_sjis(u"\u2661"));
  EXPECT_EQ("", con_capture_end());  // a conversion prints nothing of its own
  EXPECT_EQ("\x85\x7E" "x", wide_sjis(u"\u00E9x"));     // e acute: never a bare lead byte

  EXPECT_EQ(u"~\\\u3042", sjis_wide("~\\" A_HIRA));
  EXPECT_EQ(u"\U00020B9F", sjis_wide(SHIKARU));
  EXPECT_EQ(u"\uFF3C\uFF5E\u2252", sjis_wide("\x81\x5F" WAVE "\x87\x90"));
  EXPECT_EQ(u"\uFF71", sjis_wide("\xB1"));
  EXPECT_EQ(u"?", sjis_wide("\x81\x20"));
  EXPECT_EQ(u"ab", sjis_wide("ab\x82"));                // pair cut by the terminator

  char16_t buf[16] = u"C:\\m\\";
  EXPECT_EQ(4, sjis_cat_wide(buf, 16, "a" A_HIRA "z"));
  EXPECT_EQ(u"C:\\m\\a\u3042z", wide(buf));
  char16_t full[3] = {u'a', u'b', u'c'};                // no terminator: left alone
  EXPECT_EQ(0, sjis_cat_wide(full, 3, "x"));
  EXPECT_EQ(u'c', full[2]);
}

// Every conversion keeps inside its capacity and stops at a whole character.
TEST(Sjis, SmallCapacities) {
  const char* sj = "A" A_HIRA;
  const char* u8 = "A" U8_A_HIRA;
  const std::string u16 = le_text({'A', 0x3042});
  const std::string expect3[] = {"", "A", "A"};
  for (int cap = 1; cap <= 3; cap++) {
    SCOPED_TRACE(cap);
    EXPECT_EQ(expect3[cap - 1], to_utf8(sj, cap).out);  // 1 + 3 bytes needed
    EXPECT_EQ(expect3[cap - 1], utf8_sjis(u8, cap).out);
    EXPECT_EQ(expect3[cap - 1], le_sjis(u16, cap));
    EXPECT_EQ(expect3[cap - 1], wide_sjis(u"A\u3042", cap));
    const std::u16string w[] = {u"", u"A", u"A"};
    EXPECT_EQ(w[cap - 1], sjis_wide("A" SHIKARU, cap));
    EXPECT_EQ(w[cap - 1], utf8_wide("A" U8_SHIKARU, cap));
  }
  EXPECT_EQ("A\xE3\x81\x82", to_utf8(sj, 5).out);
  EXPECT_EQ("A" A_HIRA, utf8_sjis(u8, 4).out);

  // UTF-16LE: a terminating zero unit needs two bytes.
  for (int cap = 1; cap <= 8; cap++) {
    SCOPED_TRACE(cap);
    std::vector<char> dst(cap, '\x55');
    sjis_to_utf16le(dst.data(), cap, "A" SHIKARU);
    EXPECT_EQ(0, dst[0] == 'A' || dst[0] == 0 ? 0 : 1);
    std::string got(dst.data(), cap >= 2 ? utf16le_bytes(dst.data()) : 0);
    const std::string want = cap < 4 ? "" : cap < 8 ? le({'A'}) : le({'A', 0xD842, 0xDF9F});
    EXPECT_EQ(want, got);
  }

  // Zero capacity writes nothing.
  char guard = '#';
  sjis_to_utf8(&guard, 0, "A");
  utf8_to_sjis(&guard, 0, "A");
  wide_to_sjis(&guard, 0, u"A");
  EXPECT_EQ('#', guard);
}

TEST(Sjis, LongInputIsCut) {
  std::string src;
  for (int i = 0; i < 300; i++) src += A_HIRA;
  for (int cap : {7, 8, 100, 101}) {
    std::vector<char> dst(cap);
    sjis_to_utf8(dst.data(), cap, src.c_str());
    EXPECT_EQ((cap - 1) / 3 * 3, static_cast<int>(std::string(dst.data()).size()));
    std::vector<char> back(cap);
    utf8_to_sjis(back.data(), cap, dst.data());
    EXPECT_EQ(0u, std::string(back.data()).size() % 2);
  }
}

TEST(Sjis, CatUtf8AndConsoleCat) {
  char buf[32] = "ab";
  EXPECT_EQ(7, sjis_cat_utf8(buf, 32, A_HIRA));
  EXPECT_EQ("ab" U8_A_HIRA, std::string(buf));
  char nonul[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(-1, sjis_cat_utf8(nonul, 4, "x"));
  EXPECT_EQ('d', nonul[3]);

  // Shift-JIS stays Shift-JIS where the console shows it or converts it
  // itself; only a console that passes bytes unchanged gets UTF-8 here.
  struct Case {
    LangFlags lang;
    int passthrough;
    std::string expected;
  } cases[] = {
      {{true, true, false}, 1, "x" A_HIRA "~"},
      {{true, true, false}, 0, "x" A_HIRA "~"},
      {{true, false, true}, 1, "x" U8_A_HIRA "\xE2\x80\xBE"},
      {{true, false, true}, 0, "x" A_HIRA "~"},
      {{false, false, false}, 1, "x" U8_A_HIRA "\xE2\x80\xBE"},
      {{false, false, false}, 0, "x" A_HIRA "~"},
  };
  LangFlags saved = Lang;
  for (const Case& c : cases) {
    Lang = c.lang;
    con_set_passthrough(c.passthrough);
    char msg[16] = "x";
    console_cat(msg, 16, A_HIRA "~");
    EXPECT_EQ(c.expected, std::string(msg)) << c.lang.japanese << c.lang.sjisConsole << c.passthrough;
  }
  char small[8] = "x";
  Lang = {true, true, false};
  console_cat(small, 8, A_HIRA "~");
  EXPECT_EQ("x" A_HIRA "~", std::string(small));
  con_set_passthrough(-1);
  Lang = saved;
}

TEST(Sjis, DropTrailingLead) {
  struct Case {
    const char* in;
    const char* out;
    int ret;
  };
  const Case cases[] = {
      {"ab\x82", "ab", 1},
      {"ab" A_HIRA, "ab" A_HIRA, 0},
      {A_HIRA "\x82", A_HIRA, 1},
      {"\x82\x82", "\x82\x82", 0},  // the second byte is a trail
      {"\xB1", "\xB1", 0},
      {"\xFC", "", 1},
      {"", "", 0},
  };
  for (const Case& c : cases) {
    char buf[16];
    snprintf(buf, sizeof buf, "%s", c.in);
    EXPECT_EQ(c.ret, drop_trailing_lead(buf)) << c.in;
    EXPECT_EQ(std::string(c.out), buf);
  }
}

TEST(Sjis, WideHelpers) {
  EXPECT_EQ(0, wide_eq(u"abc", u"abc"));
  EXPECT_EQ(-1, wide_eq(u"abc", u"ab"));
  EXPECT_EQ(-1, wide_eq(u"ab", u"abc"));
  EXPECT_EQ(3, wide_len(u"abc"));
  std::u16string big(6000, u'a');
  EXPECT_EQ(4999, wide_len(big.c_str()));

  char16_t dst[4];
  EXPECT_EQ(3, wide_cpy(dst, 4, u"abcdef"));
  EXPECT_EQ(u"abc", wide(dst));
  EXPECT_EQ(2, wide_cpy(dst, 4, u"ab\U00020B9F"));  // pair not cut in half
  EXPECT_EQ(u"ab", wide(dst));
  EXPECT_EQ(1, wide_cat(dst, 4, u"xyz"));
  EXPECT_EQ(u"abx", wide(dst));
  EXPECT_EQ(0, wide_cat(dst, 4, u"q"));

  std::string a = le_text({'a', 'b'}), ab = le_text({'a', 'b', 'c'}), ax = le_text({'a', 'x'});
  EXPECT_EQ(0, utf16le_eq(a.data(), a.data()));
  EXPECT_EQ(3, utf16le_eq(ab.data(), a.data()));
  EXPECT_EQ(-1, utf16le_eq(a.data(), ab.data()));
  EXPECT_EQ(-1, utf16le_eq(ax.data(), a.data()));
  EXPECT_EQ(6, utf16le_bytes(ab.data()));
  std::string zero_hi = le_text({0x0100});  // low byte 0 is not the end
  EXPECT_EQ(2, utf16le_bytes(zero_hi.data()));
}

TEST(Sjis, WideToFileEncodings) {
  char out[16];
  EXPECT_EQ(6, wide_to_utf16le(out, 16, u"a\U00020B9F"));
  EXPECT_EQ(le_text({'a', 0xD842, 0xDF9F}), bytes(out, 8));
  EXPECT_EQ(-1, wide_to_utf16le(out, 7, u"a\U00020B9F"));
  EXPECT_EQ(le_text({'a'}), bytes(out, 4));
  EXPECT_EQ(0, wide_to_utf16le(out, 2, u""));
}

TEST(Sjis, Utf8NextSteps) {
  uint32_t cp = 0;
  EXPECT_EQ(0, utf8_next("", &cp));
  EXPECT_EQ(4, utf8_next(U8_SHIKARU, &cp));
  EXPECT_EQ(0x20B9Fu, cp);
  EXPECT_EQ(-1, utf8_next("\xBF", &cp));
  EXPECT_EQ(-1, utf8_next("\xE3", &cp));       // terminator not consumed
  EXPECT_EQ(-2, utf8_next("\xE3\x81", &cp));
  EXPECT_EQ(-3, utf8_next("\xE3\x81" "a", &cp));
}

}  // namespace
