#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/console.h"
#include "platform/settings.h"
#include "pmx/model_store.h"
#include "pmx/pmx.h"
#include "support/pmx_builder.h"
#include "support/run_program.h"
#include "support/same_bytes.h"
#include "text/rename_rules.h"
#include "text/sjis.h"

namespace {

using pmxb::Layout;
using pmxb::Model;

std::u16string widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

class WriterTest : public testing::Test {
 protected:
  void SetUp() override {
    Lang = {false, false, false};
    Info.displayLevel = 0;
    namelist_reset();
    pmx_reset_model();
  }

  // Writes the model as the source and reads it as the driver does.
  void load(const Model& m) {
    source = m.build(&sourceLayout);
    ASSERT_TRUE(pmxb::write_file(src, source));
    pmx_reset_model();
    con_capture_begin();
    const int r = pmdinforead(src.c_str());
    std::string trace = con_capture_end();
    ASSERT_EQ(0, r) << trace;
  }
  int save(bool wide = false) {
    con_capture_begin();
    const int r = wide ? pmdinfowriteW(widen(dst).c_str(), widen(src).c_str())
                       : pmdinfowrite(dst.c_str(), src.c_str());
    trace = con_capture_end();
    written = pmxb::read_file(dst);
    return r;
  }
  void renew(int i, const std::u16string& path) {
    ASSERT_LT(path.size(), (size_t)TEXPATH_CAP);
    memcpy(pmxModel.pmxnewtexlistpathW[i], path.c_str(), (path.size() + 1) * sizeof(char16_t));
    wide_to_sjis(pmxModel.pmxnewtexlistpath[i], TEXPATH_CAP, path.c_str());
    pmxModel.texEntryRenewed[i] = 255;
    pmxModel.texListRenewed = 255;
  }
  bool contains(const std::string& s) const { return trace.find(s) != std::string::npos; }

  TempDir dir{"pmx_writer"};
  std::string src = dir / "m.pmx", dst = dir / "m-new.pmx";
  std::vector<uint8_t> source, written;
  pmxb::Layout sourceLayout;
  std::string trace;
};

// The sample with every English name present.
Model complete_model(uint8_t enc, uint8_t width) {
  Model m = pmxb::sample_model(enc, width);
  m.bones[2].nameEn = "elbow_L";
  m.morphs[2].nameEn = "morph 2";
  m.frames[1].nameEn = "Exp";
  return m;
}

TEST_F(WriterTest, CopiesTheSourceByteForByteWhenNothingChanges) {
  for (uint8_t enc : {pmxb::UTF16LE, pmxb::UTF8}) {
    for (uint8_t w : {1, 2, 4}) {
      for (bool wide : {false, true}) {
        SCOPED_TRACE(testing::Message() << "enc " << (int)enc << " width " << (int)w << " wide " << wide);
        Model m = complete_model(enc, w);
        m.version = 2.1f;
        m.trailing.assign(37, 0xAB);
        load(m);
        ASSERT_EQ(0, save(wide)) << trace;
        EXPECT_TRUE(same_bytes(source, written, &sourceLayout));
        EXPECT_TRUE(contains(" scanning ... \n\n(bone 0) (jp) "));
        EXPECT_TRUE(contains("(frame 0) (jp) Root   (en) Root \n"));
      }
    }
  }
}

TEST_F(WriterTest, RenewsTexturesAndFillsEmptyEnglishNamesInTheFilesEncoding) {
  for (uint8_t enc : {pmxb::UTF16LE, pmxb::UTF8}) {
    for (uint8_t w : {1, 2, 4}) {
      SCOPED_TRACE(testing::Message() << "enc " << (int)enc << " width " << (int)w);
      Model m = pmxb::sample_model(enc, w);
      load(m);
      for (int i = 0; i < 3; i++) {
        memcpy(pmxModel.pmxnewtexlistpathW[i], pmxModel.pmxtexlistpathW[i], sizeof pmxModel.pmxtexlistpathW[i]);
        strcpy(pmxModel.pmxnewtexlistpath[i], pmxModel.pmxtexlistpath[i]);
      }
      renew(1, u"textures\\\u30C8\u30FC\u30F3.bmp");
      ASSERT_EQ(0, save()) << trace;

      Model want = m;
      want.textures[1] = "textures\\\xE3\x83\x88\xE3\x83\xBC\xE3\x83\xB3.bmp";
      want.bones[2].nameEn = want.bones[2].name;
      want.morphs[2].nameEn = want.morphs[2].name;
      want.frames[1].nameEn = want.frames[1].name;
      EXPECT_TRUE(same_model(want, written));
      EXPECT_TRUE(contains(" pmxnewtexlistpath[0]= tex\\body.png \n pmxnewtexlistpathW[0]= tex\\body.png \n"));
      EXPECT_TRUE(contains(" pmxnewtexlistpath[1]= textures\\\x83\x67\x81\x5b\x83\x93.bmp \n"));
      EXPECT_TRUE(contains("(bone 2) (jp) \x8d\xb6\x82\xd0\x82\xb6   (en)   => \x8d\xb6\x82\xd0\x82\xb6 \n"));
      EXPECT_TRUE(contains("(morph 2) (jp) \x83\x82\x81\x5b\x83\x74\x32   (en)   => \x83\x82\x81\x5b\x83\x74\x32 \n"));
      EXPECT_TRUE(contains("(frame 1) (jp) \x95\x5c\x8f\xee   (en)   => \x95\x5c\x8f\xee \n"));

      // The output reads back with the same counts.
      const int32_t bones = pmxModel.boneCount, morphs = pmxModel.morphCount;
      con_capture_begin();
      EXPECT_EQ(0, pmdinforead(dst.c_str()));
      con_capture_end();
      EXPECT_EQ(bones, pmxModel.boneCount);
      EXPECT_EQ(morphs, pmxModel.morphCount);
      EXPECT_EQ(0, pmxModel.enNameCount);
    }
  }
}

TEST_F(WriterTest, AppliesEnglishRulesAndFillsWhereARuleEmptiesAName) {
  auto rule = [](int kind, const char* key, const char* value, unsigned char mode) {
    namelist_set(kind, namelist_add(kind, key), value, mode);
  };
  rule(RULE_BONE_EN, "arm_L", "", MODE_WHOLE);
  rule(RULE_BONE_EN, "center", "centre", MODE_WHOLE);
  rule(RULE_BONE, "\x8d\xb6", "L_", MODE_NORMAL);  // 左
  rule(RULE_MORPH_EN, "Root", "X", MODE_WHOLE);     // frames take no English rule
  rule(RULE_MORPH, "\x95\x5c", "Hyo", MODE_NORMAL);  // 表, with a 0x5C trail byte
  Model m = pmxb::sample_model(pmxb::UTF16LE, 2);
  load(m);
  ASSERT_EQ(0, save()) << trace;
  Model want = m;
  want.bones[0].nameEn = "centre";
  want.bones[1].nameEn = "L_\xE8\x85\x95";  // the fill-in name of 左腕
  want.bones[2].nameEn = "L_\xE3\x81\xB2\xE3\x81\x98";
  want.morphs[2].nameEn = want.morphs[2].name;
  want.frames[1].nameEn = "Hyo\xE6\x83\x85";
  EXPECT_TRUE(same_model(want, written));
  EXPECT_TRUE(contains("(bone 0) (jp) \x83\x5a\x83\x93\x83\x5e\x81\x5b   (en) center  => centre \n"));
  EXPECT_TRUE(contains("(bone 1) (jp) \x8d\xb6\x98\x72   (en) arm_L  => L_\x98\x72 \n"));
  EXPECT_TRUE(contains("(frame 0) (jp) Root   (en) Root \n"));
}

TEST_F(WriterTest, LongNamesReachTheOutputWhole) {
  for (uint8_t enc : {pmxb::UTF16LE, pmxb::UTF8}) {
    SCOPED_TRACE((int)enc);
    namelist_reset();
    namelist_set(RULE_MORPH_EN, namelist_add(RULE_MORPH_EN, "morph"), "m", MODE_NORMAL);
    Model m = complete_model(enc, 1);
    m.bones[0].name = std::string(300, 'n');
    m.bones[0].nameEn = std::string(255, 'e');
    m.morphs[0].name = std::string(100, 'x') + std::string(60, '\xE5');  // malformed tail, kept as is
    m.morphs[1].nameEn = "morph" + std::string(250, 'y');  // a rule would change it
    m.frames[0].nameEn = std::string(400, 'f');
    load(m);
    ASSERT_EQ(0, save()) << trace;
    Model want = m;
    for (size_t i = 2; i < want.morphs.size(); i++) want.morphs[i].nameEn = "m" + want.morphs[i].nameEn.substr(5);
    want.morphs[0].nameEn = "m 0";
    EXPECT_TRUE(same_model(want, written));
  }
}

TEST_F(WriterTest, ARenewedTableKeepsEveryEntryPastTheHeldOnes) {
  Model m = complete_model(pmxb::UTF8, 2);
  m.textures.clear();
  for (int i = 0; i < 1100; i++) m.textures.push_back("t" + std::to_string(i) + ".png");
  load(m);
  ASSERT_EQ(1024, pmxModel.texListCount);
  renew(3, u"new\\3.png");
  renew(1023, u"new\\1023.png");
  ASSERT_EQ(0, save()) << trace;
  Model want = m;
  want.textures[3] = "new\\3.png";
  want.textures[1023] = "new\\1023.png";
  EXPECT_TRUE(same_model(want, written));
  EXPECT_TRUE(contains(" pmxnewtexlistpathW[1023]= new\\1023.png \n(bone 0)"));
}

TEST_F(WriterTest, WritesRenewedPathsWholeWithMatchingLengths) {
  for (uint8_t enc : {pmxb::UTF16LE, pmxb::UTF8}) {
    SCOPED_TRACE((int)enc);
    Model m = complete_model(enc, 4);
    load(m);
    // 519 half-width units: 1038 bytes in UTF-16LE, 1557 in UTF-8; then a
    // character outside the basic plane.
    renew(0, std::u16string(519, u'\uFF71'));
    renew(1, u"a\U00020B9F.png");
    // A path known only in Shift-JIS, and one that cannot be converted.
    pmxModel.pmxnewtexlistpathW[2][0] = 0;
    strcpy(pmxModel.pmxnewtexlistpath[2], "\x8b\xe0.png");
    pmxModel.texEntryRenewed[2] = 255;
    ASSERT_EQ(0, save()) << trace;
    Model want = m;
    want.textures[0].clear();
    for (int i = 0; i < 519; i++) want.textures[0] += "\xEF\xBD\xB1";
    want.textures[1] = "a\xF0\xA0\xAE\x9F.png";
    want.textures[2] = "\xE9\x87\x91.png";
    EXPECT_TRUE(same_model(want, written));

    strcpy(pmxModel.pmxnewtexlistpath[2], "\x80\x41\x81\x20");
    ASSERT_EQ(0, save()) << trace;
    want.textures[2] = "";
    EXPECT_TRUE(same_model(want, written));
    EXPECT_TRUE(contains(enc == pmxb::UTF16LE ? "UTF-16 path cannot be retribed: \x80\x41\x81\x20 \n"
                                              : "UTF-8 path cannot be retribed: \x80\x41\x81\x20 \n"));
  }
}

TEST_F(WriterTest, CutsAFillInNameAtAWholeCharacter) {
  // Every "A" grows to "a" + a kanji, far beyond what a name field holds.
  namelist_set(RULE_BONE, namelist_add(RULE_BONE, "A"), "a\x8a\xbf", MODE_NORMAL);
  std::string want;
  for (int i = 0; i < 63; i++) want += "a\xE6\xBC\xA2";
  want += "a";  // 253 bytes in UTF-8; 127 units in UTF-16LE
  for (uint8_t enc : {pmxb::UTF16LE, pmxb::UTF8}) {
    SCOPED_TRACE((int)enc);
    Model m = complete_model(enc, 1);
    m.bones[0].name = std::string(100, 'A');
    m.bones[0].nameEn = "";
    load(m);
    ASSERT_EQ(0, save()) << trace;
    Model expected = m;
    expected.bones[0].nameEn = want;
    EXPECT_TRUE(same_model(expected, written));
  }
}

TEST_F(WriterTest, AFailedWriteReturnsMinusOneAndLeavesNoFile) {
  Model m = complete_model(pmxb::UTF16LE, 2);
  m.vertices.resize(1000);  // more than the write buffers hold
  load(m);
  dst = dir / "missing/m-new.pmx";
  EXPECT_EQ(-1, save());
  EXPECT_FALSE(file_exists(dst));
  EXPECT_EQ(-1, save(true));
  EXPECT_FALSE(file_exists(dst));
  // An output whose every write fails.
  dst = dir / "full.pmx";
  for (bool wide : {false, true}) {
    ASSERT_TRUE(make_symlink("/dev/full", dst));
    EXPECT_EQ(-1, save(wide)) << trace;
    EXPECT_FALSE(file_exists(dst));
    EXPECT_TRUE(contains("(or Disk full)\n"));
  }
  pmxb::write_file(src, {});  // a source that is not there any more
  EXPECT_EQ(-1, save());
}

TEST_F(WriterTest, SplicesComputedTwistAxesOncePerFlag) {
  for (int extra : {0, 4100}) {
    SCOPED_TRACE(extra);
    Model m = complete_model(pmxb::UTF8, 2);
    m.bones[4].axis[0] = 1.0f;  // left arm twist, pointing off the arm
    m.bones[4].axis[1] = 0.0f;
    if (extra) {
      // The twist bone past the held positions is served after the bone loop.
      pmxb::Bone twist = m.bones[4];
      m.bones[4].flags = 0;
      m.bones.resize((size_t)extra);
      m.bones.push_back(twist);
    }
    load(m);
    // Written unchanged when nothing was checked.
    ASSERT_EQ(0, save());
    EXPECT_TRUE(same_bytes(source, written, &sourceLayout));

    ASSERT_EQ(1, twist_check());
    ASSERT_EQ(255, pmxModel.twistRef[TWIST_ARM_L].mismatch);
    ASSERT_EQ(0, save()) << trace;
    Model want = m;
    pmxb::Bone& b = extra ? want.bones.back() : want.bones[4];
    memcpy(b.axis, pmxModel.twistRef[TWIST_ARM_L].computed, sizeof b.axis);
    EXPECT_FLOAT_EQ(2.0f / std::sqrt(5.0f), b.axis[0]);
    EXPECT_TRUE(same_model(want, written));
    EXPECT_EQ(0, pmxModel.twistRef[TWIST_ARM_L].mismatch);
  }
}

}  // namespace

namespace {

// The copy ends exactly where the reader's pass ended: a source cut short since
// is a failed save with nothing left behind, whether the end is copied through
// the buffers or (a long soft-body area) inside the system.
TEST_F(WriterTest, SourceShrunkSinceTheReadIsAFailedSave) {
  struct Case {
    size_t trailing, cut;
  } cases[] = {{0, 1}, {0, 40}, {300000, 1}, {300000, 100000}};
  for (const Case& c : cases) {
    for (bool wide : {false, true}) {
      SCOPED_TRACE(testing::Message() << "trailing " << c.trailing << " cut " << c.cut << " wide " << wide);
      Model m = complete_model(pmxb::UTF16LE, 2);
      m.version = 2.1f;
      for (size_t i = 0; i < c.trailing; i++) m.trailing.push_back((uint8_t)(i % 251));
      load(m);
      std::filesystem::resize_file(src, source.size() - c.cut);
      EXPECT_EQ(-1, save(wide));
      EXPECT_FALSE(file_exists(dst));
      EXPECT_TRUE(contains("Failed in writing to end. \n")) << trace;
    }
  }
}

// Positions are 64-bit: a model whose names lie past 2 GiB (a sparse file of
// zero vertices, BDEF1 each) is read and written with every field in place.
TEST_F(WriterTest, ModelsPastTwoGiBKeepTheirPositions) {
  const int32_t vertices = 20900000;  // 103 bytes each with four extra UVs: just past 2 GiB
  Model m = pmxb::sample_model(pmxb::UTF16LE, 2);
  m.addUv = 4;
  m.vertices.clear();
  m.faces.clear();
  Layout lay;
  const std::vector<uint8_t> small = m.build(&lay);
  const int64_t gap = (int64_t)vertices * 103;
  const size_t countAt = (size_t)lay.vertexCountPos;

  // The small model with the zero vertices put in as a hole.
  auto write_big = [&](const std::vector<uint8_t>& b, const std::string& path) {
    std::vector<uint8_t> head(b.begin(), b.begin() + (long)countAt + 4);
    pmxb::put_i32(head, countAt, vertices);
    if (!pmxb::write_file(path, head)) return false;
    std::error_code ec;
    std::filesystem::resize_file(path, head.size() + (uint64_t)gap, ec);
    if (ec) return false;
    std::ofstream f(path, std::ios::binary | std::ios::app);
    f.write((const char*)b.data() + countAt + 4, (std::streamsize)(b.size() - countAt - 4));
    return (bool)f;
  };
  std::error_code ec;
  const auto space = std::filesystem::space(dir.path, ec);
  if (ec || space.available < (uint64_t)gap * 3) GTEST_SKIP() << "not enough disk for a 2.2 GB copy";
  if (!write_big(small, src)) GTEST_SKIP() << "this file system cannot hold the sparse model";

  pmx_reset_model();
  con_capture_begin();
  const int r = pmdinforead(src.c_str());
  trace = con_capture_end();
  ASSERT_EQ(0, r) << trace;
  EXPECT_EQ(vertices, pmxModel.vertexCount);
  EXPECT_GT(pmxModel.texTableStart, (int64_t)INT32_MAX);
  EXPECT_EQ(lay.texTableStart + gap, pmxModel.texTableStart);
  EXPECT_EQ(lay.boneNamePos[2] + gap, pmxModel.boneNamePos[2]);
  EXPECT_EQ(lay.frameNamePos[1] + gap, pmxModel.frameNamePos[1]);
  EXPECT_EQ((int64_t)small.size() + gap, pmxModel.sourceEnd);

  for (int i = 0; i < 3; i++) {
    memcpy(pmxModel.pmxnewtexlistpathW[i], pmxModel.pmxtexlistpathW[i], sizeof pmxModel.pmxtexlistpathW[i]);
    strcpy(pmxModel.pmxnewtexlistpath[i], pmxModel.pmxtexlistpath[i]);
  }
  renew(1, u"textures\\new.bmp");
  con_capture_begin();
  const int w = pmdinfowriteW(widen(dst).c_str(), widen(src).c_str());
  trace = con_capture_end();
  std::filesystem::remove(src, ec);
  ASSERT_EQ(0, w) << trace;

  Model want = m;
  want.textures[1] = "textures\\new.bmp";
  want.bones[2].nameEn = want.bones[2].name;
  want.morphs[2].nameEn = want.morphs[2].name;
  want.frames[1].nameEn = want.frames[1].name;
  const std::vector<uint8_t> expect = want.build();
  const uint64_t size = std::filesystem::file_size(dst, ec);
  EXPECT_EQ(expect.size() + (uint64_t)gap, size);
  std::ifstream f(dst, std::ios::binary);
  std::vector<uint8_t> head(countAt + 4), tail(expect.size() - countAt - 4), mid(4096);
  f.read((char*)head.data(), (std::streamsize)head.size());
  f.seekg((std::streamoff)(INT32_MAX - 2048));
  f.read((char*)mid.data(), (std::streamsize)mid.size());
  f.seekg((std::streamoff)(countAt + 4 + (uint64_t)gap));
  f.read((char*)tail.data(), (std::streamsize)tail.size());
  EXPECT_TRUE(f.good());
  f.close();
  std::filesystem::remove(dst, ec);
  std::vector<uint8_t> wantHead(expect.begin(), expect.begin() + (long)countAt + 4);
  pmxb::put_i32(wantHead, countAt, vertices);
  EXPECT_TRUE(head == wantHead);
  EXPECT_TRUE(mid == std::vector<uint8_t>(4096, 0));
  EXPECT_TRUE(tail == std::vector<uint8_t>(expect.begin() + (long)countAt + 4, expect.end()));
}

}  // namespace
