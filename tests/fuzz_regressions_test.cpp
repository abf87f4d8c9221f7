// Inputs the fuzz targets found faults with (fuzz/regressions/), replayed
// through the normal build: the program must finish quickly, leave the source
// as it was and write nothing beside it.
#include "e2e_fixture.h"
#include "platform/console.h"
#include "pmx/model_store.h"
#include "pmx/pmx.h"

namespace {

std::vector<std::string> regression_files(const std::string& prefix) {
  std::vector<std::string> out;
  std::string dir = source_dir() + "/fuzz/regressions";
  for (const std::string& name : list_dir(dir))
    if (name.compare(0, prefix.size(), prefix) == 0) out.push_back(dir + "/" + name);
  return out;
}

// The PMX target's inputs are a flag byte followed by the model file.
std::string model_bytes(const std::string& input) { return input.empty() ? input : input.substr(1); }

class FuzzRegression : public ProgramRun {};

TEST_F(FuzzRegression, ModelInputsFinishAndLeaveTheSourceAlone) {
  std::vector<std::string> files = regression_files("pmx_");
  ASSERT_FALSE(files.empty());
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    std::string bytes = model_bytes(read_file_bytes(file));
    std::string model = put_file("m/a.pmx", bytes);
    RunOptions o;
    o.binary = program;
    o.args = {model};
    o.input = "y\n\n\n";
    o.timeoutSeconds = 15;
    RunResult r = run_program(o);
    ASSERT_TRUE(r.started);
    EXPECT_FALSE(r.timedOut);
    EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 2 || r.exitCode == 3) << r.exitCode;
    EXPECT_EQ(bytes, read_file_bytes(model));
    EXPECT_EQ(std::vector<std::string>{"a.pmx"}, list_dir(tmp / "m"));
  }
}

// Faces whose vertex index width is not 1, 2 or 4 take no bytes; each face's
// indexes are reported, up to a realistic face count, so a count near 2^31
// cannot loop for minutes.
TEST_F(FuzzRegression, FacesOfNoWidthStopReportingAtARealisticCount) {
  std::string bytes = model_bytes(read_file_bytes(source_dir() + "/fuzz/regressions/pmx_face_width_hang.bin"));
  std::string model = put_file("m/a.pmx", bytes);
  con_capture_begin();
  int rc = pmdinforead(model.c_str());
  std::string out = con_capture_end();
  EXPECT_EQ(3, rc);
  const std::string line = "undef(size=3) err.\n";
  size_t n = 0;
  for (size_t at = out.find(line); at != std::string::npos; at = out.find(line, at + 1)) n++;
  EXPECT_EQ(3u * 65536u, n);
  EXPECT_NE(std::string::npos, out.find(line + "-1 Textures.\nErr: file ended at texture 0. \n"));
}

}  // namespace

// An English name that only reads as empty (its length is negative) beside an
// empty Japanese name is not counted as a change, so the writer must copy it
// as it stands: with nothing else to change, the output is the source.
TEST_F(FuzzRegression, NameThatOnlyReadsAsEmptyIsCopiedAsItStands) {
  std::string bytes = model_bytes(read_file_bytes(source_dir() + "/fuzz/regressions/pmx_negative_name_length.bin"));
  std::string model = put_file("m/a.pmx", bytes);
  std::string out = tmp / "m/a-new.pmx";
  con_capture_begin();
  pmx_reset_model();
  int rc = pmdinforead(model.c_str());
  int32_t changes = pmxModel.enNameCount;
  int wrc = rc == 0 ? pmdinfowrite(out.c_str(), model.c_str()) : -1;
  con_capture_end();
  ASSERT_EQ(0, rc);
  EXPECT_EQ(0, changes);
  ASSERT_EQ(0, wrc);
  EXPECT_TRUE(bytes == read_file_bytes(out)) << "the output differs from the source";
}
