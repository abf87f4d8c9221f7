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

}  // namespace
