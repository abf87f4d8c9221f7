// Whole-program runs at the edges of the fixed tables and buffers: argument
// count, path length, textures, bones, morphs, frames, long names, rule
// counts and key length, and counts no file can hold.
#include <algorithm>
#include <cstdio>

#include "e2e_fixture.h"

namespace {

#define EXPECT_HAS(text, what) EXPECT_NE(std::string::npos, (text).find(what)) << "missing: " << (what)
#define EXPECT_LACKS(text, what) EXPECT_EQ(std::string::npos, (text).find(what)) << "unexpected: " << (what)

class LimitRun : public ProgramRun {
 protected:
  // A model with one broken link (tex\a.png, found at textures/a.png) and the
  // answers that repair it: Yes, OK at the not-found box, the file.
  pmxb::Model broken_model(uint8_t encoding = pmxb::UTF16LE) {
    put_file("m/textures/a.png");
    return model_with({"tex\\a.png"}, encoding);
  }
  static constexpr const char* kRepair = "y\n\ntextures/a.png\n";

  // The repaired file of m/<stem>.pmx as bytes.
  std::string output_of(const std::string& stem) { return read_file_bytes(tmp / ("m/" + stem + "-new.pmx")); }
};

std::string numbered(const char* prefix, int i) {
  char buf[48];
  snprintf(buf, sizeof buf, "%s%d", prefix, i);
  return buf;
}

// ---- command line ---------------------------------------------------------

class ArgumentCount : public LimitRun, public ::testing::WithParamInterface<int> {};

// Model a.pmx first, options up to argument 509, b.pmx at 510 and, past the
// limit, c.pmx last: 510 arguments are taken, the rest is dropped.
TEST_P(ArgumentCount, ArgumentsPastTheLimitAreDropped) {
  std::string a = put_model("m/a.pmx", model_with({}));
  std::string b = put_model("m/b.pmx", model_with({}));
  std::string c = put_model("m/c.pmx", model_with({}));
  std::vector<std::string> args = {a};
  while (args.size() < 509) args.push_back("-D0");
  args.push_back(b);
  while ((int)args.size() < GetParam() - 1) args.push_back("-D0");
  if (GetParam() > 510) args.push_back(c);
  RunResult r = run(args);
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, " All the links in the model \r\n a.pmx \r\n");
  EXPECT_HAS(r.out, " All the links in the model \r\n b.pmx \r\n");
  EXPECT_LACKS(r.out, " c.pmx \r\n");
  EXPECT_EQ(GetParam() > 510 ? 1 : 0, count_of(r.out, "Too many command line parameters.\n"));
}

INSTANTIATE_TEST_SUITE_P(Limits, ArgumentCount, ::testing::Values(510, 600));

// ---- path length ------------------------------------------------------------

class PathLength : public LimitRun, public ::testing::WithParamInterface<int> {};

// A model path of 259 and of 260 units (the name makes up the length): read,
// repaired and written beside itself under its own name plus "-new".
TEST_P(PathLength, LongModelPathIsRepaired) {
  const std::string folder = tmp / "m/";
  const int units = GetParam();
  ASSERT_LT(folder.size() + 4, (size_t)units);
  const std::string stem(units - folder.size() - 4, 'L');
  ASSERT_LE(stem.size() + 8, 255u) << "the file name must fit the file system";
  pmxb::Model m = broken_model();
  std::string model = put_model("m/" + stem + ".pmx", m);
  ASSERT_EQ((size_t)units, model.size());
  std::string before = read_file_bytes(model);

  RunResult r = run({model}, kRepair);
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, " => (renew) textures\\a.png ");
  EXPECT_HAS(r.out, "Save OK. \n");
  EXPECT_HAS(r.out, " " + stem + "-new.pmx \r\n");
  EXPECT_TRUE(same_bytes_of(filled_in(model_with({"textures\\a.png"})), output_of(stem)));
  EXPECT_EQ(before, read_file_bytes(model));
}

INSTANTIATE_TEST_SUITE_P(Limits, PathLength, ::testing::Values(259, 260));

// A model path longer than the path buffers is never cut to a shorter one:
// "<folders>/a.pmx.copy.pmx" cut to 519 units would name "<folders>/a.pmx".
// A Japanese path whose Shift-JIS form alone is too long is read through its
// UTF-16 form instead.
TEST_F(LimitRun, OverlongModelPathIsNotCutToAnotherFile) {
  struct Row { const char* piece; int repeat; bool readable; };
  const Row rows[] = {{"e", 519, false}, {"\xE3\x81\x82", 300, true}};  // 'e', 'あ' (two bytes in Shift-JIS)
  for (const Row& row : rows) {
    SCOPED_TRACE(row.piece);
    // Folders of at most 60 characters, so the file system takes every one.
    std::string rel = "m/";
    int left = row.repeat - (int)(tmp.path.size() + 1 + rel.size() + 5);
    for (int i = 0; left > 0; i++) {
      int n = std::min(60, left - 1);
      std::string part;
      for (int k = 0; k < std::max(n, 1); k++) part += row.piece;
      rel += part + "/";
      left -= n + 1;
    }
    pmxb::Model m = model_with({"a.png"});
    std::string model = put_model(rel + "a.pmx", m);
    std::string before = read_file_bytes(model);
    RunResult r = run({model + (row.readable ? "" : ".copy.pmx")}, "n\n");
    if (row.readable) {
      EXPECT_EQ(0, r.exitCode) << r.out;
      EXPECT_HAS(r.out, "Re-opening in UTF-16. \n");
      EXPECT_HAS(r.out, "PMX 2.0: correctly read-in: OK. \n");
    } else {
      EXPECT_EQ(255, r.exitCode);
      EXPECT_HAS(r.out, "Path too long (more than 519 bytes): not read. \n");
      EXPECT_LACKS(r.out, "Reading from:");
    }
    EXPECT_EQ(before, read_file_bytes(model));
    std::string dir = model.substr(0, model.size() - 5);
    EXPECT_FALSE(file_exists(dir + "a-new.pmx"));
    remove_tree(tmp / "m");
  }
}

// ---- textures -----------------------------------------------------------------

class TextureCount : public LimitRun, public ::testing::WithParamInterface<int> {};

// Entry 0 is renewed; every other entry, also those from 1024 on that are not
// held, reaches the output unchanged and the table keeps its count.
TEST_P(TextureCount, RenewedTableKeepsEveryEntry) {
  const int count = GetParam();
  put_file("m/textures/a.png");
  put_file("m/ok.png");
  std::vector<std::string> textures = {"tex\\a.png"};
  for (int i = 1; i < count; i++) textures.push_back(i < 1024 ? "ok.png" : numbered("far\\t", i) + ".png");
  std::string model = put_model("m/a.pmx", model_with(textures));

  RunResult r = run({model}, kRepair);
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, numbered("", count) + " Textures.\n");
  EXPECT_HAS(r.out, "1023: ok.png (ok)\n");
  EXPECT_LACKS(r.out, "1024: ");  // not held, not checked
  EXPECT_HAS(r.out, " 1 texture link(s) are found. \r\n");
  EXPECT_HAS(r.out, "Save OK. \n");
  textures[0] = "textures\\a.png";
  EXPECT_TRUE(same_bytes_of(filled_in(model_with(textures)), output_of("a")));
}

INSTANTIATE_TEST_SUITE_P(Limits, TextureCount, ::testing::Values(1024, 1500));

// ---- bones, morphs and frames beyond the position tables ------------------------

struct RecordCase {
  const char* kind;
  int count;   // records in the model, the sample's few included
  int held;    // capacity of the position table
};

class RecordCount : public LimitRun, public ::testing::WithParamInterface<RecordCase> {};

// Every record has an empty English name. Those with held positions get the
// Japanese name; those beyond the table keep their empty one.
TEST_P(RecordCount, NamesBeyondTheTablePassUnchanged) {
  const std::string kind = GetParam().kind;
  const int count = GetParam().count;
  pmxb::Model m = broken_model();
  if (kind == "bone") {
    for (auto& b : m.bones) b.nameEn.clear();
    for (int i = (int)m.bones.size(); i < count; i++) {
      pmxb::Bone b;
      b.name = numbered("b", i);
      m.bones.push_back(b);
    }
  } else if (kind == "morph") {
    for (auto& mo : m.morphs) mo.nameEn.clear();
    for (int i = (int)m.morphs.size(); i < count; i++) {
      pmxb::Morph mo;
      mo.name = numbered("m", i);
      m.morphs.push_back(mo);
    }
  } else {
    for (auto& f : m.frames) f.nameEn.clear();
    for (int i = (int)m.frames.size(); i < count; i++) {
      pmxb::Frame f;
      f.name = numbered("f", i);
      m.frames.push_back(f);
    }
  }
  std::string model = put_model("m/a.pmx", m);

  RunResult r = run({model}, kRepair);
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "Save OK. \n");

  pmxb::Model expected = filled_in(m);
  expected.textures = {"textures\\a.png"};
  const int held = GetParam().held;
  if (kind == "bone") for (int i = held; i < count; i++) expected.bones[i].nameEn.clear();
  if (kind == "morph") for (int i = held; i < count; i++) expected.morphs[i].nameEn.clear();
  if (kind == "frame") for (int i = held; i < count; i++) expected.frames[i].nameEn.clear();
  EXPECT_TRUE(same_bytes_of(expected, output_of("a")));
}

INSTANTIATE_TEST_SUITE_P(Limits, RecordCount,
                         ::testing::Values(RecordCase{"bone", 4096, 4096}, RecordCase{"bone", 4097, 4096},
                                           RecordCase{"morph", 8192, 8192}, RecordCase{"morph", 8193, 8192},
                                           RecordCase{"frame", 1024, 1024}, RecordCase{"frame", 1025, 1024}),
                         [](const ::testing::TestParamInfo<RecordCase>& p) {
                           return std::string(p.param.kind) + std::to_string(p.param.count);
                         });

// ---- long names ------------------------------------------------------------------

class LongNames : public LimitRun, public ::testing::WithParamInterface<uint8_t> {};

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; i++) out += s;
  return out;
}

// Names around the 254 bytes a name buffer keeps: 254, 255 and 300 bytes in
// UTF-8 (the cut falls inside a character), 254, 256 and 300 in UTF-16.
// Japanese names and non-empty English names reach the output whole; an
// English name filled in from a long Japanese one is cut between characters.
TEST_P(LongNames, ReachTheOutputWhole) {
  const uint8_t enc = GetParam();
  const std::string a = "\xE3\x81\x82";  // one character: 3 bytes in UTF-8, 2 in UTF-16 and Shift-JIS
  struct Case {
    std::string name;
    size_t bytes;      // in the file's encoding
    std::string fill;  // the English name filled in from it
  };
  std::vector<Case> cases;
  if (enc == pmxb::UTF8) {
    // The buffer keeps 254 bytes: 84 whole characters of the longer ones.
    cases = {{"aa" + repeat(a, 84), 254, "aa" + repeat(a, 84)},
             {repeat(a, 85), 255, repeat(a, 84)},
             {repeat(a, 100), 300, repeat(a, 84)}};
  } else {
    // 127 units kept; 127 double-byte characters are cut to the 252 bytes of a fill-in name.
    cases = {{std::string(127, 'u'), 254, std::string(127, 'u')},
             {std::string(128, 'v'), 256, std::string(127, 'v')},
             {repeat(a, 150), 300, repeat(a, 126)}};
  }
  pmxb::Model m = broken_model(enc);
  std::vector<size_t> filledAt;
  for (const Case& c : cases) {
    ASSERT_EQ(c.bytes, pmxb::encode_text(c.name, enc).size());
    pmxb::Bone whole;  // both names long
    whole.name = c.name;
    whole.nameEn = c.name;
    m.bones.push_back(whole);
    pmxb::Bone filled;  // the English name is filled in
    filled.name = c.name;
    filledAt.push_back(m.bones.size());
    m.bones.push_back(filled);
    pmxb::Morph morph;
    morph.name = c.name;
    morph.nameEn = c.name;
    m.morphs.push_back(morph);
    pmxb::Frame frame;
    frame.name = c.name;
    frame.nameEn = c.name;
    m.frames.push_back(frame);
  }
  std::string model = put_model("m/a.pmx", m);

  RunResult r = run({model}, kRepair);
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "Save OK. \n");

  pmxb::Model expected = filled_in(m);
  expected.textures = {"textures\\a.png"};
  for (size_t k = 0; k < cases.size(); k++) expected.bones[filledAt[k]].nameEn = cases[k].fill;
  EXPECT_TRUE(same_bytes_of(expected, output_of("a")));
}

INSTANTIATE_TEST_SUITE_P(Limits, LongNames, ::testing::Values(pmxb::UTF16LE, pmxb::UTF8),
                         [](const ::testing::TestParamInfo<uint8_t>& p) {
                           return std::string(p.param == pmxb::UTF8 ? "utf8" : "utf16");
                         });

// ---- alias file ------------------------------------------------------------------

class AliasLimits : public LimitRun {
 protected:
  void put_alias(const std::string& text) { ASSERT_TRUE(write_file_bytes(tmp / "bin/alias.ini", text)); }
};

// 8192 bone rules: the first 8191 are stored, the last one cannot be; rule
// 8191 (the last stored) wins over the earlier ones that match.
TEST_F(AliasLimits, RulesOfOneKindStopAt8191) {
  std::string alias = "-Bone\n";
  for (int i = 1; i <= 8192; i++) {
    if (i == 1 || i == 8191 || i == 8192)
      alias += "\"\xE5\xB7\xA6\xE3\x81\xB2\xE3\x81\x98\" " + numbered("elbow", i) + "\n";  // 左ひじ
    else
      alias += numbered("k", i) + " v\n";
  }
  put_alias(alias);
  pmxb::Model m = broken_model();
  std::string model = put_model("m/a.pmx", m);
  RunResult r = run({model}, kRepair);
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, " b-rep \"k8190\" \"v\"  => 8190 \n");
  EXPECT_HAS(r.out, "\"elbow8191\"  => 8191 \n");
  EXPECT_HAS(r.out, "\"elbow8192\"  => (cannot set) \n");
  EXPECT_HAS(r.out, "  => Replace def. bone  strings: 8191 \n");
  EXPECT_HAS(r.out, " 8191: \"");
  EXPECT_LACKS(r.out, " 8192: \"");
  EXPECT_HAS(r.out, "Save OK. \n");
  pmxb::Model expected = filled_in(m);
  expected.textures = {"textures\\a.png"};
  for (auto& b : expected.bones)
    if (b.name == "\xE5\xB7\xA6\xE3\x81\xB2\xE3\x81\x98") b.nameEn = "elbow8191";
  EXPECT_TRUE(same_bytes_of(expected, output_of("a")));
}

// A key of 63 bytes is stored; one of 64 cannot be, and the rules after it still are.
TEST_F(AliasLimits, KeyOf64BytesCannotBeSet) {
  const std::string k63(63, 'a'), k64(64, 'b');
  put_alias("-MorphEN\n\"" + k63 + "\" x\n\"" + k64 + "\" y\nBlink blink\n");
  std::string model = put_model("m/a.pmx", model_with({}));
  RunResult r = run({model});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, " mEN-rep \"" + k63 + "\" \"x\"  => 1 \n");
  EXPECT_HAS(r.out, " mEN-rep \"" + k64 + "\" \"y\"  => (cannot set) \n");
  EXPECT_HAS(r.out, " mEN-rep \"Blink\" \"blink\"  => 2 \n");
  EXPECT_HAS(r.out, "  => Replace def. morphEN strings: 2 \n");
}

// ---- counts no file can hold ----------------------------------------------------------

struct HugeCount {
  const char* section;
  int32_t pmxb::Layout::*pos;
  int32_t value;
  // The section error: past the real records the reader meets either the
  // file's end or bytes of the next section that fail a check.
  std::vector<const char*> messages;
};

class HugeCounts : public LimitRun, public ::testing::WithParamInterface<HugeCount> {};

// A count near 2^31 in a file of a few hundred bytes ends with a section
// error at once; the model is left alone.
TEST_P(HugeCounts, EndWithASectionErrorWithoutHanging) {
  pmxb::Layout lay;
  std::vector<uint8_t> bytes = broken_model().build(&lay);
  pmxb::put_i32(bytes, (size_t)(lay.*(GetParam().pos)), GetParam().value);
  std::string model = tmp / "m/a.pmx";
  ASSERT_TRUE(write_file_bytes(model, bytes_of(bytes)));
  RunOptions o;
  o.binary = program;
  o.args = {model};
  o.input = kRepair;
  o.timeoutSeconds = 10;
  RunResult r = run_program(o);
  ASSERT_FALSE(r.timedOut) << GetParam().section;
  EXPECT_EQ(3, r.exitCode) << r.out.substr(0, 2000);
  bool reported = false;
  for (const char* m : GetParam().messages) reported = reported || r.out.find(m) != std::string::npos;
  EXPECT_TRUE(reported) << r.out.substr(0, 3000);
  EXPECT_HAS(r.out, "Error code 3. \n: file end before closing. \n");
  EXPECT_LACKS(r.out, "(Y/N/Cancel)");
  EXPECT_EQ((std::vector<std::string>{"a.pmx", "textures"}), list_dir(tmp / "m"));
}

INSTANTIATE_TEST_SUITE_P(
    Limits, HugeCounts,
    ::testing::Values(
        HugeCount{"vertices", &pmxb::Layout::vertexCountPos, 0x7FFFFFFF, {"Err: file ended at vertex ", "Err: illegal DEF type "}},
        HugeCount{"faces", &pmxb::Layout::faceCountPos, 0x7FFFFFFE, {"Err: file ended at surface "}},
        HugeCount{"textures", &pmxb::Layout::texTableStart, 0x7FFFFFFF, {"Err: file ended at texture "}},
        HugeCount{"materials", &pmxb::Layout::materialCountPos, 0x7FFFFFFF, {"Err: file ended at material ", "at matrial "}},
        HugeCount{"bones", &pmxb::Layout::boneCountPos, 0x7FFFFFFF, {"Err: file ended at bone "}},
        HugeCount{"morphs", &pmxb::Layout::morphCountPos, 0x7FFFFFFF, {"Err: file ended at morph ", "Err: unknown morph kind at morph "}},
        HugeCount{"frames", &pmxb::Layout::frameCountPos, 0x7FFFFFFF, {"Err: file ended at display frame "}},
        HugeCount{"rigids", &pmxb::Layout::rigidCountPos, 0x7FFFFFFF, {"Err: file ended at rigid body "}},
        HugeCount{"joints", &pmxb::Layout::jointCountPos, 0x7FFFFFFF, {"Err: file ended at joint ", "unsupported at joint "}}),
    [](const ::testing::TestParamInfo<HugeCount>& p) { return std::string(p.param.section); });

// A text length near 2^31 in the first bone's name reads to the end of the file.
TEST_F(LimitRun, HugeTextLengthEndsAtTheFileEnd) {
  pmxb::Layout lay;
  std::vector<uint8_t> bytes = broken_model().build(&lay);
  pmxb::put_i32(bytes, (size_t)lay.boneNamePos[0], 0x7FFFFFFF);
  std::string model = tmp / "m/a.pmx";
  ASSERT_TRUE(write_file_bytes(model, bytes_of(bytes)));
  RunResult r = run({model}, kRepair);
  EXPECT_EQ(3, r.exitCode);
  EXPECT_HAS(r.out, "Err: file ended at bone 1. \n");
  EXPECT_EQ((std::vector<std::string>{"a.pmx", "textures"}), list_dir(tmp / "m"));
}

}  // namespace
