// Checks on the test-model builder itself: the offsets it reports must point at
// the fields they name, or every test built on them would test the wrong bytes.
#include <gtest/gtest.h>

#include <cstring>

#include "support/pmx_builder.h"

namespace {

TEST(PmxBuilder, LayoutPointsAtTheFieldsInEveryEncodingAndWidth) {
  for (uint8_t enc : {pmxb::UTF16LE, pmxb::UTF8}) {
    for (uint8_t w : {1, 2, 4}) {
      SCOPED_TRACE(testing::Message() << "enc " << (int)enc << " width " << (int)w);
      pmxb::Model m = pmxb::sample_model(enc, w);
      m.trailing = {1, 2, 3};
      pmxb::Layout lay;
      std::vector<uint8_t> f = m.build(&lay);
      ASSERT_EQ((size_t)lay.size, f.size());
      EXPECT_EQ(0, memcmp(f.data(), "PMX ", 4));
      EXPECT_EQ(enc, f[9]);
      EXPECT_EQ(w, f[11]);
      EXPECT_EQ((int32_t)m.vertices.size(), pmxb::get_i32(f, lay.vertexCountPos));
      EXPECT_EQ((int32_t)m.faces.size(), pmxb::get_i32(f, lay.faceCountPos));
      EXPECT_EQ((int32_t)m.textures.size(), pmxb::get_i32(f, lay.texTableStart));
      EXPECT_EQ(lay.texTableEnd, lay.materialCountPos);
      EXPECT_EQ((int32_t)m.bones.size(), pmxb::get_i32(f, lay.boneCountPos));
      EXPECT_EQ((int32_t)m.morphs.size(), pmxb::get_i32(f, lay.morphCountPos));
      EXPECT_EQ((int32_t)m.frames.size(), pmxb::get_i32(f, lay.frameCountPos));
      EXPECT_EQ((int32_t)m.rigids.size(), pmxb::get_i32(f, lay.rigidCountPos));
      EXPECT_EQ((int32_t)m.joints.size(), pmxb::get_i32(f, lay.jointCountPos));
      EXPECT_EQ(lay.size - 3, lay.jointsEnd);
      for (size_t i = 0; i < m.bones.size(); i++) {
        std::vector<uint8_t> name = pmxb::encode_text(m.bones[i].name, enc);
        ASSERT_EQ((int32_t)name.size(), pmxb::get_i32(f, lay.boneNamePos[i]));
        EXPECT_EQ(0, memcmp(&f[lay.boneNamePos[i] + 4], name.data(), name.size()));
      }
      // The twist bone is the one with a fixed axis.
      float ax;
      memcpy(&ax, &f[lay.boneAxisPos[4]], 4);
      EXPECT_FLOAT_EQ(m.bones[4].axis[0], ax);
      EXPECT_EQ(0, lay.boneAxisPos[0]);
      std::vector<uint8_t> frame = pmxb::encode_text(m.frames[1].name, enc);
      EXPECT_EQ((int32_t)frame.size(), pmxb::get_i32(f, lay.frameNamePos[1]));
    }
  }
}

TEST(PmxBuilder, EncodesTextAsUtf16LeIncludingSurrogatesOrKeepsUtf8) {
  std::vector<uint8_t> u16 = pmxb::encode_text("a\xE8\x85\x95\xF0\x9F\x98\x80", pmxb::UTF16LE);
  std::vector<uint8_t> want = {'a', 0, 0x55, 0x81, 0x3D, 0xD8, 0x00, 0xDE};
  EXPECT_EQ(want, u16);
  EXPECT_EQ(8u, pmxb::encode_text("a\xE8\x85\x95\xF0\x9F\x98\x80", pmxb::UTF8).size());
}

}  // namespace

namespace {

TEST(PmxBuilderDiff, NamesTheFieldOfTheFirstDifference) {
  pmxb::Layout lay;
  pmxb::Model m = pmxb::sample_model(pmxb::UTF8, 2);
  m.textures = {"tex\\a.png"};
  const std::vector<uint8_t> want = m.build(&lay);
  // the first bone with an English name of two bytes or more
  size_t bone = 0;
  int32_t boneEn = 0;
  for (; bone < lay.boneNamePos.size(); bone++) {
    boneEn = lay.boneNamePos[bone] + 4 + pmxb::get_i32(want, (size_t)lay.boneNamePos[bone]);
    if (pmxb::get_i32(want, (size_t)boneEn) >= 2) break;
  }
  ASSERT_LT(bone, lay.boneNamePos.size());
  const std::string boneLabel = "in bone " + std::to_string(bone) + " English name";
  struct Case {
    const char* what;
    int64_t at;         // byte changed, -1 none
    size_t keep;        // bytes kept of the written file
    std::string field;  // expected in the description
  } cases[] = {
      {"equal", -1, want.size(), ""},
      {"bone English name", boneEn + 4 + 1, want.size(), boneLabel + " +1 "},
      {"bone English name length", boneEn, want.size(), boneLabel + " length "},
      {"texture path", lay.texturePos[0] + 4, want.size(), "in texture 0 path "},
      {"vertex count", lay.vertexCountPos + 3, want.size(), "in vertex count +3 "},
      {"cut short", -1, want.size() - 5, "then the written file ends"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> got(want.begin(), want.begin() + (long)c.keep);
    if (c.at >= 0) got[(size_t)c.at] ^= 0x01;
    const std::string d = pmxb::describe_difference(want, got, &lay);
    if (c.field.empty()) {
      EXPECT_EQ("", d);
      continue;
    }
    EXPECT_NE(std::string::npos, d.find(c.field)) << d;
    if (c.at >= 0) {
      EXPECT_NE(std::string::npos, d.find("offset " + std::to_string(c.at) + " ")) << d;
    }
  }
}

}  // namespace
