#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/console.h"
#include "platform/settings.h"
#include "pmx/model_store.h"
#include "pmx/pmx.h"
#include "support/pmx_builder.h"
#include "support/run_program.h"
#include "text/rename_rules.h"

namespace {

using pmxb::Layout;
using pmxb::Model;

class ReaderTest : public testing::Test {
 protected:
  void SetUp() override {
    Lang = {false, false, false};
    Info.displayLevel = 0;
    namelist_reset();
    pmx_reset_model();
  }
  void TearDown() override { Info.displayLevel = 0; }

  // Writes the bytes, reads them and returns the result; the trace goes to out.
  int read(const std::vector<uint8_t>& bytes, bool wide = false) {
    path = dir / "m.pmx";
    EXPECT_TRUE(pmxb::write_file(path, bytes));
    con_capture_begin();
    int r;
    if (wide) {
      std::u16string w(path.begin(), path.end());
      r = pmdinforeadW(w.c_str());
    } else {
      r = pmdinforead(path.c_str());
    }
    out = con_capture_end();
    return r;
  }
  std::string head() const { return "Reading from: " + path + " \nPMX Ver 2.00 \n"; }

  TempDir dir{"pmx_reader"};
  std::string path, out;
};

const char kSectionsOk[] =
    "5 Vertices.\n2 Surfaces.\n3 Textures.\n2 Materials.\n6 Bones.\n11 Morphs.\n"
    "2 Frames.\n2 Rigid-bodies.\n1 Joints.\nOK. \n";

TEST_F(ReaderTest, ReadsEveryRecordVariantInBothEncodingsAndAllIndexWidths) {
  for (uint8_t enc : {pmxb::UTF16LE, pmxb::UTF8}) {
    for (uint8_t w : {1, 2, 4}) {
      for (bool wide : {false, true}) {
        SCOPED_TRACE(testing::Message() << "enc " << (int)enc << " width " << (int)w << " wide " << wide);
        Layout lay;
        std::vector<uint8_t> f = pmxb::sample_model(enc, w).build(&lay);
        ASSERT_EQ(0, read(f, wide));
        EXPECT_EQ(head() + "Model: Test model \n" + kSectionsOk +
                      "PMX 2.0: correctly read-in: OK. \ndone. \n\n",
                  out);
        const PmxModel& m = pmxModel;
        EXPECT_EQ(enc, m.textEncoding);
        EXPECT_EQ(1, m.addUvCount);
        EXPECT_EQ(w, m.boneIndexSize);
        EXPECT_EQ(6, m.boneCount);
        EXPECT_EQ(11, m.morphCount);
        EXPECT_EQ(2, m.frameCount);
        EXPECT_EQ(2, m.faceCount);
        EXPECT_EQ(3, m.texListCount);
        EXPECT_EQ(lay.texTableStart, m.texTableStart);
        EXPECT_EQ(lay.texTableEnd, m.texTableEnd);
        EXPECT_STREQ("tex\\body.png", m.pmxtexlistpath[0]);
        EXPECT_STREQ("sph\\\x8b\xe0\x91\xae.spa", m.pmxtexlistpath[2]);
        EXPECT_EQ(std::u16string(u"sph\\\u91D1\u5C5E.spa"), std::u16string(m.pmxtexlistpathW[2]));
        ASSERT_EQ(6, m.boneNamePosCount);
        ASSERT_EQ(11, m.morphNamePosCount);
        ASSERT_EQ(2, m.frameNamePosCount);
        for (int i = 0; i < 6; i++) EXPECT_EQ(lay.boneNamePos[i], m.boneNamePos[i]);
        for (int i = 0; i < 11; i++) EXPECT_EQ(lay.morphNamePos[i], m.morphNamePos[i]);
        for (int i = 0; i < 2; i++) EXPECT_EQ(lay.frameNamePos[i], m.frameNamePos[i]);
        // Left arm by both names, elbow by its Japanese name alone, wrist too.
        EXPECT_TRUE(m.armRef[ARM_L].found && m.armRef[ELBOW_L].found && m.armRef[WRIST_L].found);
        EXPECT_FALSE(m.armRef[ARM_R].found);
        EXPECT_FLOAT_EQ(3.0f, m.armRef[ELBOW_L].pos[0]);
        EXPECT_FLOAT_EQ(9.0f, m.armRef[ELBOW_L].pos[1]);
        const TwistRef& t = m.twistRef[TWIST_ARM_L];
        EXPECT_TRUE(t.found);
        EXPECT_EQ(lay.boneAxisPos[4], t.axisPos);
        EXPECT_FLOAT_EQ(0.894427f, t.axis[0]);
        EXPECT_FLOAT_EQ(0.0f, t.axis[3]);
        EXPECT_FALSE(m.twistRef[TWIST_WRIST_L].found);
        // Empty English names: elbow, the bone morph, the second frame.
        EXPECT_EQ(3, m.enNameCount);
      }
    }
  }
}

TEST_F(ReaderTest, ReportsEachFailureAndStopsWithResultThree) {
  struct Case {
    const char* what;
    void (*change)(Model&);
    int cut;  // 0: whole file; 1..: where to cut, picked by `at`
    int32_t (*at)(const Layout&);
    const char* tail;
  };
  const Case cases[] = {
      {"def type", [](Model& m) { m.vertices[2].deform = 7; }, 0, nullptr, "5 Vertices.\nErr: illegal DEF type 7. \n"},
      {"def type signed", [](Model& m) { m.vertices[0].deform = 0xFE; }, 0, nullptr,
       "5 Vertices.\nErr: illegal DEF type -2. \n"},
      {"faces", [](Model& m) { m.faces = {0, 1, 2, 3}; }, 0, nullptr,
       "1 Surfaces.\nErr: num of surface data (=4) is not multiples of 3. \n"},
      {"toon", [](Model& m) { m.materials[1].toonMode = 2; }, 0, nullptr,
       "2 Materials.\nErr: unknown toon sharing mode at matrial 1. \n"},
      {"material vertices", [](Model& m) { m.materials[0].faceVertexCount = 4; }, 0, nullptr,
       "2 Materials.\nErr: illegal material-related vertex number at matrial 0. \n"},
      {"morph kind", [](Model& m) { m.morphs[3].kind = 11; }, 0, nullptr,
       "11 Morphs.\nErr: unknown morph kind at morph 3. \n"},
      {"joint type", [](Model& m) { m.joints[0].type = 6; }, 0, nullptr,
       "1 Joints.\nErr: joint type 6 unsupported at joint 0. \n"},
      {"vertex end", nullptr, 1, [](const Layout& l) { return l.vertexPos[1] - 1; },
       "5 Vertices.\nErr: file ended at vertex 1. \n"},
      {"surface end", nullptr, 1, [](const Layout& l) { return l.faceCountPos + 4 + 2; },
       "2 Surfaces.\nErr: file ended at surface 1. \n"},
      {"texture end", nullptr, 1, [](const Layout& l) { return l.texturePos[1] - 1; },
       "3 Textures.\nErr: file ended at texture 1. \n"},
      // A value read past the end is checked like any other: the material's
      // face vertex count reads as -1.
      {"material end", nullptr, 1, [](const Layout& l) { return l.materialPos[1] - 1; },
       "2 Materials.\nErr: illegal material-related vertex number at matrial 0. \n"},
      {"deform type past the end", nullptr, 1, [](const Layout& l) { return l.vertexPos[1] + 32; },
       "5 Vertices.\nErr: illegal DEF type -1. \n"},
      {"bone end", nullptr, 1, [](const Layout& l) { return l.boneNamePos[1] - 1; },
       "6 Bones.\nErr: file ended at bone 1. \n"},
      {"morph end", nullptr, 1, [](const Layout& l) { return l.morphNamePos[1] - 1; },
       "11 Morphs.\nErr: file ended at morph 1. \n"},
      {"frame end", nullptr, 1, [](const Layout& l) { return l.frameNamePos[1] - 1; },
       "2 Frames.\nErr: file ended at display frame 1. \n"},
      {"rigid end", nullptr, 1, [](const Layout& l) { return l.rigidPos[1] - 1; },
       "2 Rigid-bodies.\nErr: file ended at rigid body 1. \n"},
      // A cut inside the last record of a section, or inside the last joint,
      // is still a failure, never a complete read.
      {"count unreadable", nullptr, 1, [](const Layout& l) { return l.materialCountPos - 1; },
       "-1 Materials.\nErr: file ended at material 0. \n"},
      {"last joint cut", nullptr, 1, [](const Layout& l) { return l.size - 1; },
       "1 Joints.\nErr: file ended at joint 1. \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // A complete model first, so stale counts would show.
    ASSERT_EQ(0, read(pmxb::sample_model(pmxb::UTF8, 2).build()));
    Model m = pmxb::sample_model(pmxb::UTF8, 2);
    if (c.change) c.change(m);
    Layout lay;
    std::vector<uint8_t> f = m.build(&lay);
    if (c.cut) f = pmxb::truncated(f, (size_t)c.at(lay));
    EXPECT_EQ(3, read(f));
    const std::string want = std::string(c.tail) + "\n";
    ASSERT_GE(out.size(), want.size());
    EXPECT_EQ(want, out.substr(out.size() - want.size()));
    EXPECT_EQ(std::string::npos, out.find("OK. \n"));
    EXPECT_EQ(std::string::npos, out.find("done."));
  }
  // The sections after the failing one keep nothing of the earlier model.
  Model m = pmxb::sample_model(pmxb::UTF16LE, 1);
  m.vertices[0].deform = 9;
  EXPECT_EQ(3, read(m.build()));
  EXPECT_EQ(0, pmxModel.boneCount);
  EXPECT_EQ(0, pmxModel.boneNamePosCount);
  EXPECT_EQ(0, pmxModel.texListCount);
  EXPECT_EQ(0, pmxModel.enNameCount);
}

TEST_F(ReaderTest, RejectsWhatIsNotAPmxHeader) {
  EXPECT_EQ(2, read({}));
  EXPECT_EQ("Reading from: " + path + " \nIllegal file format at 000000=(FFFFFFFF) \n", out);
  std::vector<uint8_t> f = pmxb::sample_model(pmxb::UTF8, 1).build();
  f[2] = 'Y';
  EXPECT_EQ(2, read(f));
  EXPECT_EQ("Reading from: " + path + " \nIllegal file format at 000003=(59) \n", out);
  Model m = pmxb::sample_model(pmxb::UTF8, 1);
  m.globalCount = 7;
  EXPECT_EQ(2, read(m.build()));
  EXPECT_EQ(head() + "Illegal file format at 000009=(07) \n", out);
  // The open's own message comes before the path line.
  const std::string missing = dir / "missing.pmx";
  con_capture_begin();
  EXPECT_EQ(-1, pmdinforead(missing.c_str()));
  out = con_capture_end();
  EXPECT_EQ("Cannot open RD file : " + missing + "\nReading from: " + missing + " \n", out);
  con_capture_begin();
  EXPECT_EQ(-1, pmdinforeadW(std::u16string(missing.begin(), missing.end()).c_str()));
  out = con_capture_end();
  EXPECT_EQ("Could not open (RD)(code=2).\nReading from: " + missing + " \n", out);
}

TEST_F(ReaderTest, DumpsTrailingBytesByDisplayLevel) {
  Model m = pmxb::sample_model(pmxb::UTF16LE, 4);
  m.version = 2.1f;
  for (int i = 0; i < 100; i++) m.trailing.push_back((uint8_t)i);
  const std::vector<uint8_t> f = m.build();
  std::string dump;
  for (int i = 0; i < 100; i++) {
    char b[8];
    snprintf(b, sizeof b, "%02X ", i);
    dump += b;
    if (i % 16 == 15) dump += "\n";
  }
  const std::string start = std::string(kSectionsOk) + "PMX 2.1: reading extended data ...\n";
  Info.displayLevel = 0;
  ASSERT_EQ(0, read(f));
  EXPECT_NE(std::string::npos, out.find(start + "done. \n\n"));
  EXPECT_NE(std::string::npos, out.find("PMX Ver 2.10 \n"));
  Info.displayLevel = 1;
  ASSERT_EQ(0, read(f));
  EXPECT_NE(std::string::npos, out.find(start + dump + "\nSoftBody block: Total 100 bytes.\ndone. \n\n"));
  Info.displayLevel = 2;
  ASSERT_EQ(0, read(f));
  EXPECT_NE(std::string::npos,
            out.find(start + "Unrecognized data bytes found. \n" + dump + "\nUnrecognized block: Total 100 bytes.\n"));
}

TEST_F(ReaderTest, ShowsModelNamesAndTheDoubleByteCut) {
  Model m = pmxb::sample_model(pmxb::UTF8, 1);
  // 19 single bytes, then double-byte characters: byte 20 is a lead byte.
  m.nameEn = "abcdefghijklmnopqrs\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82";
  m.name = "";
  Info.displayLevel = 1;
  ASSERT_EQ(0, read(m.build()));
  EXPECT_NE(std::string::npos,
            out.find("Model: abcdefghijklmnopqrs\x82\xa0\x82\xa0\x82\xa0\x82\xa0\x82\xa0 \n(>20 DBCS-trancated) 5 Vertices"));
  Info.displayLevel = 0;
  ASSERT_EQ(0, read(m.build()));
  EXPECT_NE(std::string::npos, out.find("\x82\xa0 \n5 Vertices"));
  m.nameEn = "abcdefghijklmnopqr\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82";  // 20 bytes end whole
  Info.displayLevel = 1;
  ASSERT_EQ(0, read(m.build()));
  EXPECT_NE(std::string::npos, out.find("\x82\xa0 \n5 Vertices"));
  // Japanese message mode shows the Japanese name instead.
  Lang = {true, true, false};
  m.name = "\xE5\xB7\xA6\xE8\x85\x95";
  ASSERT_EQ(0, read(m.build()));
  EXPECT_NE(std::string::npos, out.find("PMX Ver 2.00 \nModel: \x8d\xb6\x98\x72 \n5 Vertices"));
}

TEST_F(ReaderTest, FindsReferenceBonesByEitherNameAndTwistBonesOnlyWithFixedAxis) {
  for (uint8_t enc : {pmxb::UTF16LE, pmxb::UTF8}) {
    Model m = pmxb::sample_model(enc, 2);
    m.bones[1].name = "other";  // left arm only by its English name
    m.bones[4].flags = 0;       // left arm twist without a fixed axis
    pmxb::Bone right;
    right.name = "\xE5\x8F\xB3\xE6\x89\x8B\xE6\x8D\xA9";  // right wrist twist
    right.flags = pmxb::BONE_FIXED_AXIS;
    right.axis[2] = -1.0f;
    m.bones.push_back(right);
    Layout lay;
    pmx_reset_model();
    ASSERT_EQ(0, read(m.build(&lay)));
    EXPECT_TRUE(pmxModel.armRef[ARM_L].found);
    EXPECT_FLOAT_EQ(10.0f, pmxModel.armRef[ARM_L].pos[1]);
    EXPECT_FALSE(pmxModel.twistRef[TWIST_ARM_L].found);
    EXPECT_TRUE(pmxModel.twistRef[TWIST_WRIST_R].found);
    EXPECT_EQ(lay.boneAxisPos.back(), pmxModel.twistRef[TWIST_WRIST_R].axisPos);
    EXPECT_FLOAT_EQ(-1.0f, pmxModel.twistRef[TWIST_WRIST_R].axis[2]);
  }
}

TEST_F(ReaderTest, HoldsTablesUpToTheirCapacityAndLongNamesCut) {
  Model m = pmxb::sample_model(pmxb::UTF16LE, 2);
  m.textures.clear();
  for (int i = 0; i < 1500; i++) m.textures.push_back("t" + std::to_string(i) + ".png");
  m.bones.resize(5000);
  m.bones[4500].name = "\xE5\x8F\xB3\xE8\x85\x95";  // right arm, past the position table
  m.bones[4500].pos[2] = 4.5f;
  m.bones.back().name = std::string(300, 'n');
  Layout lay;
  ASSERT_EQ(0, read(m.build(&lay)));
  EXPECT_NE(std::string::npos, out.find("1500 Textures.\n"));
  EXPECT_EQ(1024, pmxModel.texListCount);
  EXPECT_STREQ("t1023.png", pmxModel.pmxtexlistpath[1023]);
  EXPECT_EQ(lay.texTableEnd, pmxModel.texTableEnd);
  EXPECT_EQ(5000, pmxModel.boneCount);
  EXPECT_EQ(4096, pmxModel.boneNamePosCount);
  EXPECT_EQ(lay.boneNamePos[4095], pmxModel.boneNamePos[4095]);
  EXPECT_TRUE(pmxModel.armRef[ARM_R].found);
  EXPECT_FLOAT_EQ(4.5f, pmxModel.armRef[ARM_R].pos[2]);
  // The last bone's 300-byte name (600 bytes in UTF-16LE) is held as 254 bytes.
  for (int i = 0; i < 254; i += 2) ASSERT_EQ('n', pmxModel.boneName.bytes[i]);
  EXPECT_EQ(0, pmxModel.boneName.bytes[254]);
  EXPECT_EQ(0, pmxModel.boneName.bytes[255]);
}

TEST_F(ReaderTest, NegativeLengthsAndCountsReadNothing) {
  ASSERT_EQ(0, read(pmxb::sample_model(pmxb::UTF8, 1).build()));  // leaves names in the buffers
  Model m = pmxb::sample_model(pmxb::UTF8, 1);
  m.bones.resize(1);
  m.bones[0].name = "";
  m.morphs[0].offsets.clear();
  m.vertices.clear();
  m.faces.clear();
  m.materials.clear();
  Layout lay;
  std::vector<uint8_t> f = m.build(&lay);
  pmxb::put_i32(f, lay.boneNamePos[0], -7);
  pmxb::put_i32(f, lay.vertexCountPos, -2);
  pmxb::put_i32(f, lay.morphNamePos[1] - 4, -100);  // offset count of morph 0
  ASSERT_EQ(0, read(f)) << out;
  EXPECT_NE(std::string::npos, out.find("-2 Vertices.\n0 Surfaces.\n"));
  EXPECT_EQ(0, pmxModel.boneName.bytes[0]);
  EXPECT_EQ(1, pmxModel.boneCount);
}

TEST_F(ReaderTest, HugeCountsInsideRecordsStopAtTheEndOfInput) {
  // Each count makes its loop eat the rest of the file, which must end it.
  Model ik = pmxb::sample_model(pmxb::UTF8, 1);
  ik.bones[5].ikLinkCount = 0x7FFFFFFF;
  EXPECT_EQ(3, read(ik.build()));
  EXPECT_NE(std::string::npos, out.find("6 Bones.\n-1 Morphs.\nErr: file ended at morph 0. \n"));
  Model morph = pmxb::sample_model(pmxb::UTF8, 1);
  morph.morphs[10].offsetCount = 0x7FFFFFFF;
  EXPECT_EQ(3, read(morph.build()));
  EXPECT_NE(std::string::npos, out.find("Err: file ended at display frame 0. \n"));
  Model frame = pmxb::sample_model(pmxb::UTF8, 1);
  frame.frames[1].elementCount = 0x7FFFFFFF;
  EXPECT_EQ(3, read(frame.build()));
  EXPECT_NE(std::string::npos, out.find("Err: file ended at rigid body 0. \n"));
}

TEST_F(ReaderTest, UndefinedIndexWidthReadsNothingAndGoesOn) {
  Model m = pmxb::sample_model(pmxb::UTF16LE, 2);
  m.rigidIndex = 3;  // the builder writes nothing for it either
  ASSERT_EQ(0, read(m.build()));
  // Two impulse offsets and the joint's two bodies.
  EXPECT_NE(std::string::npos, out.find("11 Morphs.\nundef(size=3) err.\nundef(size=3) err.\n2 Frames.\n"));
  EXPECT_NE(std::string::npos, out.find("1 Joints.\nundef(size=3) err.\nundef(size=3) err.\nOK. \n")) << out;
}

TEST_F(ReaderTest, CountsEnglishNamesTheRulesWouldChange) {
  int n = namelist_add(RULE_BONE_EN, "center");
  namelist_set(RULE_BONE_EN, n, "centre", MODE_WHOLE);
  n = namelist_add(RULE_MORPH_EN, "morph");
  namelist_set(RULE_MORPH_EN, n, "m", MODE_NORMAL);
  ASSERT_EQ(0, read(pmxb::sample_model(pmxb::UTF16LE, 1).build()));
  // 3 empty, 1 bone, 10 morphs with English names (frames take no English rule).
  EXPECT_EQ(14, pmxModel.enNameCount);
}

// Only names the writer would change count: an empty English name beside an
// empty Japanese one is written as it is.
TEST_F(ReaderTest, EmptyNamesOnBothSidesAreNotCounted) {
  Model m = pmxb::sample_model(pmxb::UTF8, 1);
  ASSERT_EQ(0, read(m.build()));
  const int32_t before = pmxModel.enNameCount;
  ASSERT_GE(before, 1);
  for (pmxb::Bone& b : m.bones)
    if (b.nameEn.empty()) b.name.clear();
  for (pmxb::Morph& x : m.morphs)
    if (x.nameEn.empty()) x.name.clear();
  for (pmxb::Frame& f : m.frames)
    if (f.nameEn.empty()) f.name.clear();
  ASSERT_EQ(0, read(m.build()));
  EXPECT_EQ(0, pmxModel.enNameCount);
}

}  // namespace

// Faces of an unknown vertex index width report each of their indexes.
TEST_F(ReaderTest, FacesOfAnUnknownWidthReportEveryIndex) {
  pmxb::Model m = pmxb::sample_model(pmxb::UTF8, 1);
  m.vertexIndex = 3;
  read(m.build());  // the faces take no bytes, so what follows misreads
  EXPECT_NE(std::string::npos,
            out.find("2 Surfaces.\nundef(size=3) err.\nundef(size=3) err.\nundef(size=3) err.\n"
                     "undef(size=3) err.\nundef(size=3) err.\nundef(size=3) err.\n"))
      << out;
}

// A texture path longer than a name buffer is held whole (up to the path
// tables' 519 units), so a long link that exists is not reported broken.
TEST_F(ReaderTest, LongTexturePathsAreHeldWhole) {
  for (uint8_t enc : {pmxb::UTF16LE, pmxb::UTF8}) {
    pmxb::Model m = pmxb::sample_model(enc, 2);
    std::string longPath = std::string(150, 'd') + "\\" + std::string(150, 'f') + ".png";
    std::string tooLong(700, 'x');
    m.textures = {longPath, tooLong};
    ASSERT_EQ(0, read(m.build()));
    EXPECT_EQ(longPath, std::string(pmxModel.pmxtexlistpath[0]));
    EXPECT_EQ(std::u16string(longPath.begin(), longPath.end()), std::u16string(pmxModel.pmxtexlistpathW[0]));
    // Past the tables' capacity the path is cut, never overrun.
    EXPECT_EQ(std::string(519, 'x'), std::string(pmxModel.pmxtexlistpath[1]));
    EXPECT_EQ(519u, std::u16string(pmxModel.pmxtexlistpathW[1]).size());
  }
}
