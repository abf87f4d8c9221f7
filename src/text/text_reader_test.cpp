#include "text/text_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/console.h"

namespace {

// A scratch file named after the running test, so parallel runs never share one.
class TextReader : public ::testing::Test {
 protected:
  std::string path;
  std::u16string pathW;

  void SetUp() override {
    path = ::testing::TempDir() + "qm_text_reader_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
    pathW.assign(path.begin(), path.end());  // ASCII only
  }
  void TearDown() override {
    txt_close();
    std::remove(path.c_str());
  }
  void write(const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  static std::string line(int size = 255) {
    char buf[512];
    int n = txt_getline(buf, size);
    EXPECT_EQ(std::string(buf).size(), static_cast<size_t>(n));
    return std::string(buf, n);
  }
};

TEST_F(TextReader, EmptyFile) {
  write("");
  ASSERT_EQ(0, txt_open(path.c_str()));
  EXPECT_EQ(-1, txt_peek());
  EXPECT_EQ(0, txt_eof());
  EXPECT_EQ("", line());
  EXPECT_EQ(-1, txt_getc());
  EXPECT_EQ(1, txt_eof());
  EXPECT_EQ(7, chkifutf8(path.c_str(), nullptr));
  EXPECT_EQ(0, text_is_sjis(path.c_str(), nullptr));
}

TEST_F(TextReader, LinesSplitOnAnyLineEnd) {
  for (int wide = 0; wide <= 1; wide++) {
    write("a\r\n\r\nb\x1A");
    ASSERT_EQ(0, wide ? txt_open_wide(pathW.c_str()) : txt_open(path.c_str()));
    EXPECT_EQ('a', txt_peek());
    EXPECT_EQ("a", line());
    EXPECT_EQ("b", line());
    EXPECT_EQ(-1, txt_peek());
    EXPECT_EQ("", line());
    txt_close();
  }
}

TEST_F(TextReader, LongLineComesInPieces) {
  write(std::string(300, 'x') + "\n" + "y");
  ASSERT_EQ(0, txt_open(path.c_str()));
  EXPECT_EQ(std::string(253, 'x'), line());
  EXPECT_EQ(std::string(47, 'x'), line());
  EXPECT_EQ("y", line());
  EXPECT_EQ(0, txt_getline(nullptr, 255));
  char small[2] = {'q', 'q'};
  EXPECT_EQ(0, txt_getline(small, 2));  // too small to hold anything
  EXPECT_EQ('q', small[0]);
}

TEST_F(TextReader, WideModeRefillsItsBuffer) {
  std::string bytes;
  for (int i = 0; i < 20000; i++) bytes += static_cast<char>(i * 7 + 3);
  write(bytes);
  ASSERT_EQ(0, txt_open_wide(pathW.c_str()));
  std::string got;
  for (int c; (c = txt_getc()) >= 0;) got += static_cast<char>(c);
  EXPECT_EQ(bytes, got);
  EXPECT_EQ(1, txt_eof());
}

TEST_F(TextReader, ExistenceTestsAndFailedOpens) {
  write("abc");
  EXPECT_EQ(0, txt_exists(path.c_str()));
  EXPECT_EQ(0, txt_exists_wide(pathW.c_str()));
  // An existence test closes what was open.
  ASSERT_EQ(0, txt_open(path.c_str()));
  EXPECT_EQ(0, txt_exists(path.c_str()));
  EXPECT_EQ(-1, txt_peek());

  std::string missing = path + ".none";
  std::u16string missingW(missing.begin(), missing.end());
  con_capture_begin();
  EXPECT_EQ(-1, txt_exists(missing.c_str()));
  EXPECT_EQ(-1, txt_exists_wide(missingW.c_str()));
  EXPECT_EQ(-1, txt_open(missing.c_str()));
  EXPECT_EQ(-1, txt_open_wide(missingW.c_str()));
  EXPECT_EQ("", con_capture_end());

  con_capture_begin();
  EXPECT_EQ(255, chkifutf8(missing.c_str(), nullptr));
  EXPECT_EQ(255, chkifutf8(nullptr, missingW.c_str()));
  EXPECT_EQ(255, chkifsjis(missing.c_str(), nullptr));
  EXPECT_EQ(255, chkifsjis(nullptr, missingW.c_str()));
  EXPECT_EQ(0, text_is_sjis(missing.c_str(), nullptr));
  std::string out = con_capture_end();
  EXPECT_EQ("Cannot open " + missing + " .\n" + "Cannot open (RDs). \n" +  //
                "Cannot open " + missing + " .\n" + "Cannot open  .\n" +    //
                "Cannot open " + missing + " .\n",
            out);
}

TEST_F(TextReader, EncodingVerdicts) {
  struct Case {
    const char* what;
    std::string bytes;
    int utf8;
    int sjis;  // only asked when utf8 is 0
    int isSjis;
    const char* printed;
  } cases[] = {
      {"ascii", "abc\r\n", 7, -1, 0, ""},
      {"utf-8 kana", "\xE3\x81\x82", 7, -1, 0, ""},
      {"sjis kana", "\x83\x41\x83\x43", 0, 7, 1, ""},
      {"sjis kanji E0-FC", "\xE0\x40", 0, 15, 1, ""},
      {"one bad byte in ascii", "ab\xB1" "cd", 0, 7, 1, ""},
      {"ends on a lead byte", "ab\x83", 0, 3, 1, ""},
      {"trail below 0x40", "\x83\x20", 0, 1, 0, "[83 20(x)](2nd byte==0x00-3F) "},
      {"lead 0x80", "\x80\x41", 0, 2, 0, "[80(x) 41] (1st byte==0x80) "},
      {"utf-8 cut short", "a\xE3\x81", 0, 15, 1, ""},
      {"byte FD", "a\xFD", 0, 15, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write(c.bytes);
    EXPECT_EQ(c.utf8, chkifutf8(path.c_str(), nullptr));
    EXPECT_EQ(c.utf8, chkifutf8(nullptr, pathW.c_str()));
    EXPECT_EQ(-1, txt_peek());  // each check leaves the reader closed
    if (c.sjis >= 0) {
      con_capture_begin();
      EXPECT_EQ(c.sjis, chkifsjis(path.c_str(), nullptr));
      EXPECT_EQ(c.printed, con_capture_end());
    }
    con_capture_begin();
    EXPECT_EQ(c.isSjis, text_is_sjis(nullptr, pathW.c_str()));
    con_capture_end();
  }
}

}  // namespace
