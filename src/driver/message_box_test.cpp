#include "driver/message_box.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/console.h"
#include "platform/os.h"
#include "platform/settings.h"

namespace {

struct LangScope {
  explicit LangScope(LangFlags f) : saved(Lang) { Lang = f; }
  ~LangScope() { Lang = saved; }
  LangFlags saved;
};

// モデル： (Shift-JIS) and its UTF-16 form
const char kModelSjis[] = "\x83\x82\x83\x66\x83\x8B\x81\x46";
const char16_t kModelWide[] = u"\u30E2\u30C7\u30EB\uFF1A";

TEST(BoxText, FragmentsEnterBothTextsAndNamesTheirOwnForm) {
  LangScope lang({true, true, false});
  static BoxText b;
  box_clear(&b);
  box_add(&b, " ");
  box_add(&b, kModelSjis);
  box_add(&b, " \r\n ");
  // The ANSI text gets the ANSI name, the UTF-16 text the UTF-16 name.
  box_add_name(&b, "?.pmx", u"\u00E9.pmx");
  box_add(&b, " \r\n");
  EXPECT_EQ(std::string(b.ansi), std::string(" ") + kModelSjis + " \r\n ?.pmx \r\n");
  EXPECT_EQ(std::u16string(b.wide), std::u16string(u" ") + kModelWide + u" \r\n \u00E9.pmx \r\n");
}

TEST(BoxText, AppendsStopAtTheCapacity) {
  LangScope lang({true, true, false});
  static BoxText b;
  box_clear(&b);
  std::string chunk(100, 'x');
  std::u16string chunkW(100, u'x');
  for (int i = 0; i < 60; i++) {
    box_add(&b, chunk.c_str());
    box_add(&b, kModelSjis);
    box_add_name(&b, chunk.c_str(), chunkW.c_str());
  }
  EXPECT_LT(std::string(b.ansi).size(), (size_t)BOX_TEXT_CAP);
  EXPECT_LT(std::u16string(b.wide).size(), (size_t)BOX_TEXT_CAP);
  EXPECT_EQ(std::string(b.ansi).substr(0, 100), chunk);
}

// English texts go through the UTF-8 append, which finds the end of the text
// only within its first 520 bytes; a long name must not swallow what follows.
TEST(BoxText, EnglishFragmentsFollowALongName) {
  LangScope lang({false, false, false});
  static BoxText b;
  box_clear(&b);
  std::string name(600, 'n');
  std::u16string nameW(600, u'n');
  box_add(&b, " Model: \r\n   ");
  box_add_name(&b, name.c_str(), nameW.c_str());
  box_add(&b, " \r\n does not have extension \".PMX\" in the file name. \r\n");
  EXPECT_EQ(std::string(b.ansi),
            " Model: \r\n   " + name + " \r\n does not have extension \".PMX\" in the file name. \r\n");
  EXPECT_EQ(std::u16string(b.wide),
            u" Model: \r\n   " + nameW + u" \r\n does not have extension \".PMX\" in the file name. \r\n");
}

TEST(BoxShow, PrintsTheAnsiTextAndReturnsTheAnswer) {
  LangScope lang({false, false, false});
  static BoxText b;
  box_clear(&b);
  box_add(&b, " Fixed model file  \r\n");
  for (bool wide : {false, true}) {
    con_capture_begin();
    int answer = box_show(&b, OS_MB_OK, wide);
    EXPECT_EQ(con_capture_end(), " Fixed model file  \r\n");
    EXPECT_EQ(answer, OS_IDOK);
  }
}

// The console's copy of a box: the ANSI text as bytes; on a console that takes
// UTF-16, each name in its UTF-16 form (the ANSI one where that is empty).
TEST(BoxShow, NamesReachAConsoleInTheirUtf16Form) {
  LangScope lang({true, true, false});
  static BoxText b;
  box_clear(&b);
  box_add(&b, " ");
  box_add(&b, kModelSjis);
  box_add(&b, " \r\n ");
  box_add_name(&b, "?.pmx", u"\uD55C.pmx");
  box_add(&b, " \r\n ");
  box_add_name(&b, "\x83\x82.pmx", u"");
  box_add(&b, " \r\n");
  const std::string bytes = std::string(" ") + kModelSjis + " \r\n ?.pmx \r\n \x83\x82.pmx \r\n";
  ASSERT_EQ(bytes, std::string(b.ansi));
  con_capture_begin();
  box_show(&b, OS_MB_OK, false);
  EXPECT_EQ(bytes, con_capture_end());
  con_capture_screen_begin();
  box_show(&b, OS_MB_OK, false);
  EXPECT_EQ(std::u16string(u" ") + kModelWide + u" \r\n \uD55C.pmx \r\n \u30E2.pmx \r\n", con_capture_screen_end());
}

// Inserts go where each language puts them: a name in its own form into each
// text, a Shift-JIS insert into both.
TEST(BoxMsg, InsertsEnterEachTextInTheirForm) {
  struct Row {
    LangFlags lang;
    MsgId id;
    BoxArg second;
    const char* ansi;
    const char16_t* wide;
  };
  const Row rows[] = {
      {{false, false, false}, M_NOT_FOUND_BOX, {"?.png", u"\u00E9.png"},
       " Texture, toon, or sphere: \r\n \r\n ?.png \r\n   in folder: t\\ \r\n",
       u" Texture, toon, or sphere: \r\n \r\n \u00E9.png \r\n   in folder: t\\ \r\n"},
      // " フォルダ t\ 内に、 \r\n ?.png \r\n"
      {{true, true, false}, M_NOT_FOUND_BOX, {"?.png", u"\u00E9.png"},
       " \x83t\x83H\x83\x8B\x83_ t\\ \x93\xE0\x82\xC9\x81\x41 \r\n ?.png \r\n",
       u" \u30D5\u30A9\u30EB\u30C0 t\\ \u5185\u306B\u3001 \r\n \u00E9.png \r\n"},
      // " 3 個の" with the number as a text insert
      {{true, true, false}, M_LEFT_BROKEN, {"3", nullptr}, " 3 \x8C\xC2\x82\xCC", u" 3 \u500B\u306E"},
  };
  for (const Row& r : rows) {
    LangScope lang(r.lang);
    static BoxText b;
    box_clear(&b);
    if (r.id == M_LEFT_BROKEN)
      box_add_msg(&b, r.id, {r.second});
    else
      box_add_msg(&b, r.id, {{"t\\", u"t\\"}, r.second});
    EXPECT_NE(std::string(b.ansi).find(r.ansi), std::string::npos) << b.ansi;
    EXPECT_NE(std::u16string(b.wide).find(r.wide), std::u16string::npos);
  }
}

}  // namespace
