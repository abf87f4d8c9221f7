// Shared set-up of the whole-program tests: a temporary folder holding a link
// to the program (so alias.ini beside it is under the test's control), models
// written by the PMX builder, and runs with answers piped in.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/pmx_builder.h"
#include "support/run_program.h"
#include "support/same_bytes.h"

class ProgramRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(tmp.path.empty());
    ASSERT_TRUE(make_dirs(tmp / "bin"));
    program = install_program(tmp / "bin", nullptr);
    ASSERT_FALSE(program.empty());
  }

  // A model whose texture table is the given list; every English name is
  // set, except one bone, one morph and one frame (see filled_in).
  static pmxb::Model model_with(const std::vector<std::string>& textures,
                                uint8_t encoding = pmxb::UTF16LE) {
    pmxb::Model m = pmxb::sample_model(encoding, 2);
    m.textures = textures;
    return m;
  }

  // What the program writes for m when no rename rules exist: empty English
  // names take the Japanese name.
  static pmxb::Model filled_in(pmxb::Model m) {
    for (auto& b : m.bones) if (b.nameEn.empty()) b.nameEn = b.name;
    for (auto& mo : m.morphs) if (mo.nameEn.empty()) mo.nameEn = mo.name;
    for (auto& f : m.frames) if (f.nameEn.empty()) f.nameEn = f.name;
    return m;
  }

  static std::string bytes_of(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }
  // A written file against the model it should hold; a failure names the first differing field.
  static ::testing::AssertionResult same_bytes_of(const pmxb::Model& want, const std::string& written) {
    return same_model(want, std::vector<uint8_t>(written.begin(), written.end()));
  }

  // Writes a model file below the temporary folder; returns its full path.
  std::string put_model(const std::string& rel, const pmxb::Model& m, pmxb::Layout* layout = nullptr) {
    std::string path = tmp / rel;
    EXPECT_TRUE(write_file_bytes(path, bytes_of(m.build(layout))));
    return path;
  }
  std::string put_file(const std::string& rel, const std::string& bytes = "image") {
    std::string path = tmp / rel;
    EXPECT_TRUE(write_file_bytes(path, bytes));
    return path;
  }

  RunResult run(const std::vector<std::string>& args, const std::string& input = "",
                const std::string& cwd = "",
                const std::vector<std::pair<std::string, std::string>>& env = {}) {
    RunOptions o;
    o.binary = program;
    o.args = args;
    o.input = input;
    o.cwd = cwd;
    o.env = env;
    RunResult r = run_program(o);
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.timedOut) << r.out << r.err;
    return r;
  }

  static int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
  }

  TempDir tmp{"loop"};
  std::string program;
};
