#include "platform/file_io.h"

#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/console.h"

namespace {

std::string makeTempDir(const std::string& prefix) {
  std::random_device rd;
  for (;;) {
    std::filesystem::path p = std::filesystem::path("/tmp") / (prefix + std::to_string(rd()));
    if (std::filesystem::create_directory(p)) return p.string();
  }
}

std::string tempDir() {
  static std::string dir = makeTempDir("qm_file_io_");
  static struct Cleanup {
    ~Cleanup() { std::filesystem::remove_all(dir); }
  } cleanup;
  return dir;
}

std::u16string widePath(const std::string& p) {
  std::u16string w;
  for (char c : p) w += (char16_t)(c == '/' ? '\\' : (unsigned char)c);
  return w;
}
std::string ansiPath(const std::string& p) {
  std::string a = p;
  for (char& c : a)
    if (c == '/') c = '\\';
  return a;
}

std::string writeFile(const std::string& name, const std::string& bytes) {
  std::string p = tempDir() + "/" + name;
  std::ofstream(p, std::ios::binary) << bytes;
  return p;
}
std::string readFile(const std::string& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

std::string pattern(size_t n) {
  std::string s(n, 0);
  for (size_t i = 0; i < n; i++) s[i] = (char)((i * 7 + i / 251) & 0xFF);
  return s;
}

// Opens RD on the path with the backend the test asks for.
int openRd(const std::string& p, bool handle) {
  return handle ? rfopenW(widePath(p).c_str()) : rfopen(ansiPath(p).c_str());
}
int openWr(const std::string& p, bool handle) {
  return handle ? wfopenW(widePath(p).c_str()) : wfopen(ansiPath(p).c_str());
}

class Backends : public ::testing::TestWithParam<bool> {
 protected:
  void TearDown() override {
    rfclose();
    wfdiscard();
  }
};
INSTANTIATE_TEST_SUITE_P(RdWr, Backends, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Handle" : "Stream"; });

TEST_P(Backends, ClosesAtTheFirstReadPastTheEnd) {
  std::string p = writeFile("three.bin", "abc");
  ASSERT_EQ(0, openRd(p, GetParam()));
  EXPECT_EQ('a', rfgetc());
  EXPECT_EQ('b', rfgetc());
  EXPECT_EQ('c', rfgetc());
  EXPECT_EQ(0, rfisclosed());
  EXPECT_EQ(-1, rfgetc());
  EXPECT_EQ(-1, rfisclosed());
  EXPECT_EQ(3, rfpos());
}

TEST_P(Backends, EveryByteAroundTheBufferSize) {
  for (size_t n : {8191u, 8192u, 8193u, 16385u}) {
    std::string data = pattern(n);
    std::string p = writeFile("bound.bin", data);
    ASSERT_EQ(0, openRd(p, GetParam()));
    std::string got;
    for (int c; (c = rfgetc()) >= 0;) got += (char)c;
    EXPECT_EQ(data, got) << n;
    EXPECT_EQ((int32_t)n, rfpos()) << n;
  }
}

TEST_P(Backends, ShortAndLongFields) {
  std::string p = writeFile("fields.bin", std::string("\xFE\xFF\x78\x56\x34\x12\x00\x00\x80\x3F\x34", 11));
  ASSERT_EQ(0, openRd(p, GetParam()));
  EXPECT_EQ(-2, rfgetshort());
  EXPECT_EQ(0x12345678, rfgetlong());
  EXPECT_EQ(1.0f, rfgetfloat());
  EXPECT_EQ(-204, rfgetshort());  // the missing byte counts as 0xFF
  EXPECT_EQ(-1, rfisclosed());
}

TEST_P(Backends, ReadPartlyFromTheBuffer) {
  std::string data = pattern(8192 + 500);
  std::string p = writeFile("read.bin", data);
  ASSERT_EQ(0, openRd(p, GetParam()));
  for (int i = 0; i < 8162; i++) rfgetc();  // 30 left in the buffer
  char buf[500];
  EXPECT_EQ(100, rfread(buf, 100));
  EXPECT_EQ(data.substr(8162, 100), std::string(buf, 100));
  EXPECT_EQ(8262, rfpos());
  EXPECT_EQ((unsigned char)data[8262], rfgetc());
  EXPECT_EQ(429, rfread(buf, 500));  // the rest, then closed
  EXPECT_EQ(-1, rfisclosed());
  EXPECT_EQ(8692, rfpos());
  EXPECT_EQ(0, rfread(buf, 10));
}

TEST_P(Backends, SeekBackToTheStart) {
  std::string p = writeFile("seek.bin", "0123456789");
  ASSERT_EQ(0, openRd(p, GetParam()));
  rfgetc();
  rfgetc();
  EXPECT_EQ(0, rfseek(0));
  EXPECT_EQ('0', rfgetc());
  EXPECT_EQ(1, rfpos());
  EXPECT_EQ(0, rfseek(7));
  EXPECT_EQ('7', rfgetc());
  while (rfgetc() >= 0) {
  }
  con_capture_begin();
  EXPECT_EQ(-2, rfseek(0));
  EXPECT_EQ("Failed in seek in rfseek. \n", con_capture_end());
}

TEST(FileIo, RewindKeepsThePosition) {
  std::string p = writeFile("rewind.bin", "0123456789");
  ASSERT_EQ(0, rfopenW(widePath(p).c_str()));
  rfgetc();
  rfgetc();
  rfgetc();
  EXPECT_EQ(0, rfbufrewind());
  EXPECT_EQ(3, rfpos());
  char buf[4] = {};
  EXPECT_EQ(3, rfread(buf, 3));
  EXPECT_STREQ("345", buf);
  EXPECT_EQ(6, rfpos());
  rfclose();
}

TEST(FileIo, OpenFailureMessages) {
  struct Case {
    bool wide;
    std::string path;
    std::string message;
  } cases[] = {
      {true, tempDir() + "/no_such_dir/a.pmx", "Could not open (RD)(PATH_NOT_FOUND). \n"},
      {true, tempDir() + "/missing.pmx", "Could not open (RD)(code=2).\n"},
      {true, tempDir(), "Could not open (RD)(code=5).\n"},
      {true, "", "Could not open (RD)(PATH_NOT_FOUND). \n"},
      {false, tempDir() + "/missing.pmx", "Cannot open RD file : " + ansiPath(tempDir() + "/missing.pmx") + "\n"},
  };
  for (const Case& c : cases) {
    con_capture_begin();
    EXPECT_EQ(-1, c.wide ? rfopenW(widePath(c.path).c_str()) : rfopen(ansiPath(c.path).c_str()));
    EXPECT_EQ(c.message, con_capture_end());
    EXPECT_EQ(-1, rfisclosed());
  }
  con_capture_begin();
  EXPECT_EQ(-1, rfprobeW(widePath(tempDir() + "/missing.pmx").c_str()));
  EXPECT_EQ(-1, rfprobe(ansiPath(tempDir() + "/missing.pmx").c_str()));
  EXPECT_EQ(-1, wfopenW(widePath(tempDir() + "/no_dir/x").c_str()));
  EXPECT_EQ(-1, wfopen(ansiPath(tempDir() + "/no_dir/x").c_str()));
  EXPECT_EQ("Could not open (WR)(code=3).\nCannot open WR file : " + ansiPath(tempDir() + "/no_dir/x") + "\n",
            con_capture_end());
}

TEST_P(Backends, StringLimits) {
  std::string p = tempDir() + "/strings.bin";
  for (size_t n : {512u, 513u, 600u}) {
    ASSERT_EQ(0, openWr(p, GetParam()));
    EXPECT_EQ(n == 512 ? 0 : 1, wfputs(std::string(n, 'x').c_str()));
    EXPECT_EQ(0, wfcommit());
    EXPECT_EQ(n == 512 ? 512u : 513u, readFile(p).size());
  }
  for (size_t units : {512u, 513u, 600u}) {
    std::string s;
    for (size_t i = 0; i < units; i++) s += "a\x30";
    s += std::string(2, '\0');
    ASSERT_EQ(0, openWr(p, GetParam()));
    con_capture_begin();
    EXPECT_EQ(0, wfputunistr(s.c_str()));
    EXPECT_EQ(units == 512 ? "" : "Too long unistr.\n", con_capture_end());
    EXPECT_EQ(0, wfcommit());
    EXPECT_EQ(units == 512 ? 1024u : 1026u, readFile(p).size());
  }
}

TEST(FileIo, HandleWriteFlushesWholeBuffers) {
  std::string p = tempDir() + "/flush.bin", temp = tempDir() + "/flush.bi~";
  std::string data = pattern(8193);
  ASSERT_EQ(0, wfopenW(widePath(p).c_str()));
  for (int i = 0; i < 8192; i++) EXPECT_EQ(0, wfputc((unsigned char)data[i]));
  EXPECT_EQ(8192u, readFile(temp).size());
  wfputc((unsigned char)data[8192]);
  EXPECT_EQ(8192u, readFile(temp).size());
  EXPECT_EQ(8193, wfcount());
  EXPECT_EQ(0, wfflush());
  EXPECT_EQ(data, readFile(temp));
  EXPECT_EQ(4, wfwrite("wxyz", 4));
  EXPECT_EQ(0, wfputlong(0x01020304));
  EXPECT_EQ(0, wfputfloat(1.0f));
  EXPECT_EQ(0, wfcommit());
  EXPECT_EQ(data + "wxyz" + std::string("\x04\x03\x02\x01\x00\x00\x80\x3F", 8), readFile(p));
}

TEST(FileIo, ClosedWriteFileTakesNothing) {
  wfclose();
  con_capture_begin();
  EXPECT_EQ(-1, wfputc('a'));
  EXPECT_EQ(-1, wfputlong(1));
  EXPECT_EQ(-1, wfputs("abc"));
  EXPECT_EQ(-1, wfputs(""));
  EXPECT_EQ(-1, wfwrite("abc", 3));
  EXPECT_EQ(-1, wfputunistr("a\0\0\0"));
  EXPECT_EQ("", con_capture_end());
  // The length limit is still reported for a text nothing could be written of.
  std::string units;
  for (int i = 0; i < 600; i++) units += "a\x30";
  units += std::string(2, '\0');
  con_capture_begin();
  EXPECT_EQ(-1, wfputunistr(units.c_str()));
  EXPECT_EQ("Too long unistr.\n", con_capture_end());
}

TEST(FileIo, DiskFullClosesTheWriteFile) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  ASSERT_EQ(0, wfopenW(u"\\dev\\full"));
  con_capture_begin();
  int last = 0;
  for (int i = 0; i < 8192 && last == 0; i++) last = wfputc('x');
  EXPECT_EQ(-1, last);
  EXPECT_EQ(-1, wfisclosed());
  EXPECT_EQ(-1, wfputc('x'));
  EXPECT_EQ("File writing error.(or Disk full)\n", con_capture_end());

  ASSERT_EQ(0, wfopen("\\dev\\full"));
  std::string big(RW_BUFSIZE * 2, 'x');
  con_capture_begin();
  EXPECT_LT(wfwrite(big.data(), (int32_t)big.size()), (int32_t)big.size());
  EXPECT_EQ("File buffered writing error.(or Disk full)\n", con_capture_end());
  EXPECT_EQ(-1, wfisclosed());

  // Bytes held in the stream's buffer fail when flushed, not silently at the close.
  ASSERT_EQ(0, wfopen("\\dev\\full"));
  EXPECT_EQ(0, wfputs("abc"));
  con_capture_begin();
  EXPECT_EQ(-1, wfflush());
  EXPECT_EQ("File writing error.(or Disk full)\n", con_capture_end());
  EXPECT_EQ(-1, wfisclosed());
  // A device written in place is no file of ours to remove.
  wfdiscard();
  EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}

// The target changes only at the commit, and then to the whole new file; a
// save dropped or refused leaves it as it was and no temporary behind, and a
// temporary left by a run that was cut off is replaced, never written through.
TEST_P(Backends, TargetChangesOnlyAtTheCommit) {
  namespace fs = std::filesystem;
  const std::string p = tempDir() + "/staged-new.pmx", temp = tempDir() + "/staged-new.pm~";
  const std::string victim = writeFile("victim.bin", "victim");
  enum Leftover { NONE, JUNK, LINK };
  const struct Row {
    const char* what;
    Leftover leftover;
    bool commit;
    bool targetTurnsFolder;  // so that the replace is refused
  } rows[] = {
      {"committed", NONE, true, false},
      {"dropped", NONE, false, false},
      {"leftover replaced", JUNK, true, false},
      {"leftover link", LINK, true, false},
      {"replace refused", NONE, true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(p);
    writeFile("staged-new.pmx", "old");
    if (row.leftover == JUNK) writeFile("staged-new.pm~", "part of a cut-off save");
    if (row.leftover == LINK) fs::create_symlink(victim, temp);
    ASSERT_EQ(0, openWr(p, GetParam()));
    EXPECT_EQ(0, wfputs("new"));
    EXPECT_EQ(0, wfflush());
    EXPECT_EQ("old", readFile(p));
    if (row.targetTurnsFolder) {
      fs::remove(p);
      fs::create_directory(p);
    }
    int r = -1;
    if (row.commit) r = wfcommit();
    else wfdiscard();
    EXPECT_EQ(row.commit && !row.targetTurnsFolder ? 0 : -1, r);
    if (row.targetTurnsFolder) EXPECT_TRUE(fs::is_directory(p));
    else EXPECT_EQ(r == 0 ? "new" : "old", readFile(p));
    EXPECT_FALSE(fs::exists(fs::symlink_status(temp)));
    EXPECT_EQ("victim", readFile(victim));
  }
  fs::remove_all(p);
}

// An output that cannot be written is refused at the open with the open's own
// message, before any temporary exists; the file RD reads is never written,
// under the target's name or the temporary's.
TEST(FileIo, RefusedOutputLeavesNoTemporary) {
  namespace fs = std::filesystem;
  const std::string folder = tempDir() + "/as-folder-new.pmx";
  fs::create_directory(folder);
  const std::string src = writeFile("src.pmx", "source"), srcAsTemp = writeFile("twin-new.pm~", "source");
  fs::create_hard_link(src, tempDir() + "/linked-new.pmx");
  const struct Row {
    const char* what;
    std::string reading;  // the file RD has open, if any
    std::string target;
    const char* code;
  } rows[] = {
      {"a folder", "", folder, "5"},
      {"a link to the file read", src, tempDir() + "/linked-new.pmx", "32"},
      {"a temporary that is the file read", srcAsTemp, tempDir() + "/twin-new.pmx", "32"},
  };
  for (const Row& row : rows) {
    for (bool wide : {true, false}) {
      SCOPED_TRACE(std::string(row.what) + (wide ? " (UTF-16)" : " (Shift-JIS)"));
      if (!row.reading.empty()) {
        ASSERT_EQ(0, openRd(row.reading, true));
      }
      con_capture_begin();
      EXPECT_EQ(-1, openWr(row.target, wide));
      EXPECT_EQ(wide ? "Could not open (WR)(code=" + std::string(row.code) + ").\n"
                     : "Cannot open WR file : " + ansiPath(row.target) + "\n",
                con_capture_end());
      rfclose();
      EXPECT_EQ(-1, wfcommit());
    }
  }
  EXPECT_EQ("source", readFile(src));
  EXPECT_EQ("source", readFile(srcAsTemp));
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_FALSE(fs::exists(tempDir() + "/as-folder-new.pm~"));
  EXPECT_FALSE(fs::exists(tempDir() + "/linked-new.pm~"));
}

// Every pairing of backends copies the same bytes.
class Copies : public ::testing::TestWithParam<std::pair<bool, bool>> {
 protected:
  void TearDown() override {
    rfclose();
    wfdiscard();
  }
};
INSTANTIATE_TEST_SUITE_P(RdWr, Copies,
                         ::testing::Values(std::make_pair(true, true), std::make_pair(true, false),
                                           std::make_pair(false, true), std::make_pair(false, false)));

TEST_P(Copies, CopyStretchesAndTheRest) {
  std::string data = pattern(20000);
  std::string src = writeFile("copy_src.bin", data), dst = tempDir() + "/copy_dst.bin";
  ASSERT_EQ(0, openRd(src, GetParam().first));
  ASSERT_EQ(0, openWr(dst, GetParam().second));
  EXPECT_EQ(10, rwfcopy(10));
  rfgetc();
  wfputc('*');
  EXPECT_EQ(9000, rwfcopy(9000));
  EXPECT_EQ(10989, rwfcopyall());
  EXPECT_EQ(-1, rfisclosed());
  EXPECT_EQ(-1, rwfcopy(5));
  EXPECT_EQ(0, wfcommit());
  std::string expect = data.substr(0, 10) + "*" + data.substr(11);
  EXPECT_EQ(expect, readFile(dst));
}

TEST_P(Copies, CopyStopsAtTheEnd) {
  std::string src = writeFile("copy_short.bin", "0123456789"), dst = tempDir() + "/copy_short_out.bin";
  ASSERT_EQ(0, openRd(src, GetParam().first));
  ASSERT_EQ(0, openWr(dst, GetParam().second));
  for (int i = 0; i < 6; i++) rfgetc();
  EXPECT_EQ(4, rwfcopy(10));
  EXPECT_EQ(-1, rfisclosed());
  EXPECT_EQ(0, wfcommit());
  EXPECT_EQ("6789", readFile(dst));
}

}  // namespace
