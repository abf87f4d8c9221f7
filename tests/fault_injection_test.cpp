// Whole-program runs with a misbehaving disk (tests/faultinj loaded by LD_PRELOAD):
// each must end with the right messages, no output left behind, the source
// untouched, and the run going on with the next model.
#include <cstdio>

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include "support/pmx_builder.h"
#include "support/run_program.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

// A model with one broken link (tex\a.png) whose image now lies in textures\.
std::string broken_model(const TempDir& dir, const std::string& name, size_t trailing = 0) {
  pmxb::Model m = pmxb::sample_model(pmxb::UTF16LE, 2);
  for (size_t i = 0; i < trailing; i++) m.trailing.push_back((uint8_t)(i * 7 + i / 251));
  m.textures = {"tex\\a.png"};
  // Big enough that a write limit can fall after the first full buffer.
  for (int i = 0; i < 600; i++) m.vertices.push_back(pmxb::Vertex::bdef2(0, 1, 0.5f));
  for (auto& mat : m.materials) {
    mat.texture = 0;
    mat.sphere = -1;
    if (mat.toonMode == 0) mat.toonIndex = -1;
  }
  std::string path = dir / name;
  EXPECT_TRUE(pmxb::write_file(path, m.build()));
  EXPECT_TRUE(write_file_bytes(dir / "textures/a.png", "png"));
  return path;
}

// A model whose links are all fine.
std::string good_model(const TempDir& dir, const std::string& name) {
  pmxb::Model m = pmxb::sample_model(pmxb::UTF8, 1);
  m.textures.clear();
  for (auto& mat : m.materials) {
    mat.texture = mat.sphere = -1;
    if (mat.toonMode == 0) mat.toonIndex = -1;
  }
  std::string path = dir / name;
  EXPECT_TRUE(pmxb::write_file(path, m.build()));
  return path;
}

RunResult run_with_faults(const TempDir& dir, std::vector<std::string> args, const std::string& input,
                          std::vector<std::pair<std::string, std::string>> faults) {
  RunOptions o;
  o.argv0 = install_program(dir.path, nullptr);
  o.args = std::move(args);
  o.input = input;
  o.cwd = dir.path;
  o.env = std::move(faults);
  o.env.push_back({"LD_PRELOAD", QM_FAULTINJ});
  // A sanitizer build wants its runtime first; ours only wraps the C library.
  o.env.push_back({"ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0"});
  return run_program(o);
}

TEST(FaultInjection, DiskFullDuringSaveLeavesNoOutputAndGoesOn) {
  TempDir dir("qm-fi-full");
  std::string a = broken_model(dir, "a.pmx");
  std::string b = good_model(dir, "b.pmx");
  std::string before = read_file_bytes(a);
  // Full at the start, inside the first buffer, after it; and a disk that
  // takes every byte but fails the close.
  const struct {
    const char* limit;
    const char* closeFails;
  } cases[] = {{"0", "0"}, {"100", "0"}, {"9000", "0"}, {"100000000", "1"}};
  for (const auto& c : cases) {
    RunResult r = run_with_faults(dir, {"a.pmx", "b.pmx"}, "y\n\ntextures/a.png\n",
                                  {{"QM_FI_WRITE_PATH", "-new.pm"},
                                   {"QM_FI_WRITE_LIMIT", c.limit},
                                   {"QM_FI_CLOSE_FAIL", c.closeFails}});
    SCOPED_TRACE(std::string(c.limit) + " close fails " + c.closeFails);
    ASSERT_TRUE(r.started);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_THAT(r.out, HasSubstr("Saving in ANSI/UTF-8 mode. \n"));
    EXPECT_THAT(r.out, HasSubstr("New PMX save failed. \n"));
    EXPECT_THAT(r.out, Not(HasSubstr("Save OK. \n")));
    // The next model is still processed and reported.
    EXPECT_THAT(r.out, HasSubstr(" All the links in the model \r\n"));
    EXPECT_FALSE(file_exists(dir / "a-new.pmx"));
    EXPECT_EQ(read_file_bytes(a), before);
  }
}

TEST(FaultInjection, UnwritableOutputFolder) {
  TempDir dir("qm-fi-deny");
  std::string a = broken_model(dir, "a.pmx");
  std::string before = read_file_bytes(a);
  RunResult r = run_with_faults(dir, {"a.pmx"}, "y\n\ntextures/a.png\n", {{"QM_FI_DENY_PATH", "-new.pmx"}});
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_THAT(r.out, HasSubstr("Cannot open WR file : "));
  EXPECT_THAT(r.out, HasSubstr("New PMX save failed. \n"));
  EXPECT_FALSE(file_exists(dir / "a-new.pmx"));
  EXPECT_EQ(read_file_bytes(a), before);
  EXPECT_EQ(list_dir(dir.path), (std::vector<std::string>{"a.pmx", "quillmend", "textures"}));
}

TEST(FaultInjection, SourceFailingMidReadIsLeftAlone) {
  TempDir dir("qm-fi-read");
  std::string a = broken_model(dir, "a.pmx");
  std::string b = good_model(dir, "b.pmx");
  std::string before = read_file_bytes(a);
  RunResult r = run_with_faults(dir, {"a.pmx", "b.pmx"}, "",
                                {{"QM_FI_READ_PATH", "a.pmx"}, {"QM_FI_READ_LIMIT", "300"}});
  ASSERT_TRUE(r.started);
  EXPECT_FALSE(r.timedOut);
  EXPECT_THAT(r.out, HasSubstr("Err: file could not be read to its end. \n\n"));
  EXPECT_THAT(r.out, HasSubstr("pmdinforead err 3. \n"));
  // No question was asked about a model that was not read whole.
  EXPECT_THAT(r.out, Not(HasSubstr("Do you like to fix them?")));
  EXPECT_THAT(r.out, HasSubstr(" All the links in the model \r\n"));
  EXPECT_THAT(r.out, HasSubstr("Error code 3. \n: file end before closing. \n"));
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_FALSE(file_exists(dir / "a-new.pmx"));
  EXPECT_EQ(read_file_bytes(a), before);

  // Failing inside the header: not read as a file of another kind without saying why.
  r = run_with_faults(dir, {"a.pmx"}, "", {{"QM_FI_READ_PATH", "a.pmx"}, {"QM_FI_READ_LIMIT", "2"}});
  EXPECT_THAT(r.out, HasSubstr("Illegal file format at 000002=(FFFFFFFF) \nErr: file could not be read to its end. \n"));
  EXPECT_THAT(r.out, HasSubstr("pmdinforead err 2. \n"));
  EXPECT_FALSE(file_exists(dir / "a-new.pmx"));
}

// The source fails to read near its end while the writer copies it (its
// earlier opens read normally). A failed read is never the end of the file:
// the save fails as for a write failure, nothing is left behind, and a save
// reported as done is the whole file. With a long last stretch (a 300 KB
// soft-body area) the end is copied inside the system, else through buffers.
TEST(FaultInjection, SourceFailingAtItsEndInTheSaveIsAFailedSave) {
  TempDir dir("qm-fi-late");
  good_model(dir, "b.pmx");
  const std::string input = "y\n\ntextures/a.png\n";
  for (size_t trailing : {(size_t)0, (size_t)300000}) {
    SCOPED_TRACE("trailing " + std::to_string(trailing));
    std::string a = broken_model(dir, "a.pmx", trailing);
    const std::string before = read_file_bytes(a);
    RunResult ref = run_with_faults(dir, {"a.pmx"}, input, {});
    ASSERT_THAT(ref.out, HasSubstr("Save OK. \n"));
    const std::string expected = read_file_bytes(dir / "a-new.pmx");
    std::remove((dir / "a-new.pmx").c_str());
    struct Spot {
      const char* what;
      size_t fromEnd;
    } spots[] = {{"last byte", 1}, {"last block", trailing ? (size_t)70000 : (size_t)100}};
    for (const Spot& spot : spots) {
      SCOPED_TRACE(spot.what);
      bool saveFailed = false;
      // The source is opened by the probe, the reader, then the writer; one
      // more open before the writer's is allowed for.
      for (int skip : {2, 3}) {
        SCOPED_TRACE("opens read normally: " + std::to_string(skip));
        RunResult r = run_with_faults(dir, {"a.pmx", "b.pmx"}, input,
                                      {{"QM_FI_READ_PATH", "a.pmx"},
                                       {"QM_FI_READ_LIMIT", std::to_string(before.size() - spot.fromEnd)},
                                       {"QM_FI_READ_SKIP_OPENS", std::to_string(skip)}});
        ASSERT_TRUE(r.started);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(read_file_bytes(a), before);
        EXPECT_THAT(r.out, HasSubstr(" All the links in the model \r\n"));
        if (r.out.find("Save OK. \n") != std::string::npos) {
          EXPECT_EQ(read_file_bytes(dir / "a-new.pmx"), expected);
          std::remove((dir / "a-new.pmx").c_str());
        } else {
          EXPECT_FALSE(file_exists(dir / "a-new.pmx"));
        }
        if (r.out.find("New PMX save failed. \n") != std::string::npos) saveFailed = true;
      }
      EXPECT_TRUE(saveFailed) << "no run failed in the writer's pass";
    }
  }
}

// Reads of the source and writes of the output failing at spots spread over
// the whole copy: each save either fails and leaves nothing, or is the whole
// file; the source never changes and no other file appears.
TEST(FaultInjection, FailureAnywhereInTheCopy) {
  TempDir dir("qm-fi-sweep");
  const std::string a = broken_model(dir, "a.pmx");
  const std::string before = read_file_bytes(a);
  const std::string input = "y\n\ntextures/a.png\n";
  RunResult ref = run_with_faults(dir, {"a.pmx"}, input, {});
  ASSERT_THAT(ref.out, HasSubstr("Save OK. \n"));
  const std::string expected = read_file_bytes(dir / "a-new.pmx");
  std::remove((dir / "a-new.pmx").c_str());
  const std::vector<std::string> untouched = list_dir(dir.path);
  const int kSpots = 12;
  for (bool reading : {true, false}) {
    const size_t size = reading ? before.size() : expected.size();
    for (int k = 0; k < kSpots; k++) {
      const size_t at = size * k / kSpots + (size_t)k;  // off the block bounds too
      SCOPED_TRACE(std::string(reading ? "read" : "write") + " fails at " + std::to_string(at));
      std::vector<std::pair<std::string, std::string>> faults;
      if (reading)  // the probe's and the reader's opens read normally, the writer's fails
        faults = {{"QM_FI_READ_PATH", "a.pmx"}, {"QM_FI_READ_LIMIT", std::to_string(at)}, {"QM_FI_READ_SKIP_OPENS", "2"}};
      else
        faults = {{"QM_FI_WRITE_PATH", "-new.pm"}, {"QM_FI_WRITE_LIMIT", std::to_string(at)}};
      RunResult r = run_with_faults(dir, {"a.pmx"}, input, faults);
      ASSERT_TRUE(r.started);
      EXPECT_EQ(r.exitCode, 0);
      EXPECT_THAT(r.out, HasSubstr("New PMX save failed. \n"));
      EXPECT_THAT(r.out, Not(HasSubstr("Save OK.")));
      EXPECT_TRUE(read_file_bytes(a) == before) << "the source changed";
      EXPECT_EQ(list_dir(dir.path), untouched);
    }
  }
}

// An earlier output in place while a save fails at each of its stages: the
// temporary cannot be created, a write fails, the close reports a late failure,
// the replace is refused. The earlier output stays byte for byte and nothing
// is left beside it. A temporary left by a run that was killed goes with the
// next save.
TEST(FaultInjection, FailedSaveKeepsTheEarlierOutput) {
  TempDir dir("qm-fi-keep");
  const std::string a = broken_model(dir, "a.pmx");
  const std::string input = "y\n\ntextures/a.png\n";
  RunResult ref = run_with_faults(dir, {"a.pmx"}, input, {});
  ASSERT_THAT(ref.out, HasSubstr("Save OK. \n"));
  const std::string fresh = read_file_bytes(dir / "a-new.pmx");
  const std::string earlier = "an earlier a-new.pmx, repaired by hand";
  const struct Row {
    const char* stage;
    std::vector<std::pair<std::string, std::string>> faults;
    const char* leftover;  // a temporary already there
    bool saves;
  } rows[] = {
      {"create", {{"QM_FI_DENY_PATH", "a-new.pm~"}}, nullptr, false},
      {"write", {{"QM_FI_WRITE_PATH", "a-new.pm~"}, {"QM_FI_WRITE_LIMIT", "9000"}}, nullptr, false},
      {"close", {{"QM_FI_WRITE_PATH", "a-new.pm~"}, {"QM_FI_WRITE_LIMIT", "100000000"}, {"QM_FI_CLOSE_FAIL", "1"}},
       nullptr, false},
      {"rename", {{"QM_FI_RENAME_PATH", "a-new.pmx"}}, "half a model", false},
      {"killed before", {}, "half a model", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.stage);
    const std::string fault = row.faults.empty() ? "" : row.faults[0].first;
    ASSERT_TRUE(write_file_bytes(dir / "a-new.pmx", earlier));
    if (row.leftover) {
      ASSERT_TRUE(write_file_bytes(dir / "a-new.pm~", row.leftover));
    }
    RunResult r = run_with_faults(dir, {"a.pmx"}, input, row.faults);
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(read_file_bytes(dir / "a-new.pmx"), row.saves ? fresh : earlier);
    const std::string result = row.saves ? "Save OK. \n" : "New PMX save failed. \n";
    const size_t at = r.out.find(result);
    ASSERT_NE(at, std::string::npos);
    EXPECT_THAT(r.out, Not(HasSubstr(row.saves ? "save failed" : "Save OK.")));
    // Up to the result the console says what it always said; a refused
    // replace or a leftover temporary adds nothing.
    if (fault.empty() || fault == "QM_FI_RENAME_PATH") {
      EXPECT_EQ(r.out.substr(0, at), ref.out.substr(0, ref.out.find("Save OK. \n")));
    }
    if (fault == "QM_FI_DENY_PATH") {
      EXPECT_THAT(r.out, HasSubstr("Cannot open WR file : a-new.pmx\n"));
    }
    EXPECT_EQ(list_dir(dir.path), (std::vector<std::string>{"a-new.pmx", "a.pmx", "quillmend", "textures"}));
  }
}

TEST(FaultInjection, SourceVanishedBeforeTheRun) {
  TempDir dir("qm-fi-gone");
  std::string b = good_model(dir, "b.pmx");
  RunResult r = run_with_faults(dir, {"gone.pmx", "b.pmx"}, "", {});
  ASSERT_TRUE(r.started);
  EXPECT_THAT(r.out, HasSubstr("Cannot open RD file : gone.pmx\n"));
  EXPECT_THAT(r.out, HasSubstr("pmdinforead err -1. \n"));
  EXPECT_THAT(r.out, HasSubstr(" All the links in the model \r\n"));
  EXPECT_THAT(r.out, HasSubstr("Error code -1. \n: cannot open file. \n"));
}

}  // namespace
