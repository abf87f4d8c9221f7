// Runs that use none of the later options, against what the program printed,
// answered and wrote before those options existed (tests/data/golden/, made by
// that program). A new option must leave every one of them byte for byte.
// QM_GOLDEN_BINARY=<program> QM_GOLDEN_WRITE=1 writes the files anew.
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "e2e_fixture.h"

namespace {

const char kAlias[] = "-Bone\n\"\xE5\xB7\xA6\" \"L_\"\n\"\xE8\x85\x95\" \"arm\"\n-Morph\n\"\xE3\x81\xBE\xE3\x81\xB0\xE3\x81\x9F\xE3\x81\x8D\" \"blink\"\n";

struct Golden {
  const char* name;
  std::vector<std::string> args;
  const char* input;
  bool japanese;
};

const Golden kRuns[] = {
    {"plain", {"model.pmx"}, "y\n\ntextures/body.png\n", false},
    {"answered_no", {"model.pmx"}, "n\n", false},
    {"dialog_cancelled", {"model.pmx"}, "y\n\n\n", false},
    {"search_unattended", {"-A", "-Y", "model.pmx"}, "", false},
    {"search_asked", {"-A", "model.pmx"}, "y\n", false},
    {"fill", {"-F", "model.pmx"}, "n\n", false},
    {"twist", {"-T", "model.pmx"}, "y\ny\n\ntextures/body.png\n", false},
    {"extension", {"x.dat"}, "ok\nn\n", false},
    {"unreadable", {"bad.pmx", "model.pmx"}, "n\n", false},
    {"options", {"-D2M3", "-E", "-ND2", "-Z", "model.pmx"}, "n\n", false},
    {"plain_ja", {"model.pmx"}, "y\n\ntextures/body.png\n", true},
    {"answered_no_ja", {"model.pmx"}, "n\n", true},
};

class GoldenRun : public ProgramRun, public ::testing::WithParamInterface<Golden> {};

// FNV-1a: enough to tell written files apart.
std::string hash_of(const std::string& bytes) {
  uint32_t h = 2166136261u;
  for (unsigned char c : bytes) h = (h ^ c) * 16777619u;
  char text[16];
  snprintf(text, sizeof text, "%08x", h);
  return text;
}

void replace_all(std::string& s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); !from.empty() && at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
}

TEST_P(GoldenRun, PrintsAsksAndWritesAsBefore) {
  const Golden& g = GetParam();
  const std::string demo = source_dir() + "/examples/demo/";
  const std::string run = tmp / "run";
  for (const char* rel : {"model.pmx", "textures/body.png", "textures/face.png", "toon/toon01.png"})
    ASSERT_TRUE(write_file_bytes(run + "/" + rel, read_file_bytes(demo + rel))) << rel;
  ASSERT_TRUE(write_file_bytes(run + "/x.dat", read_file_bytes(demo + "model.pmx")));
  ASSERT_TRUE(write_file_bytes(run + "/bad.pmx", "no model"));
  ASSERT_TRUE(write_file_bytes(tmp / "bin/alias.ini", kAlias));
  if (const char* other = std::getenv("QM_GOLDEN_BINARY")) program = install_program(tmp / "bin", nullptr, other);

  std::vector<std::pair<std::string, std::string>> env = {{"LANG", g.japanese ? "ja_JP.UTF-8" : "C"}};
  RunResult r = ProgramRun::run(g.args, g.input, run, env);
  std::string got = r.out + "--- stderr\n" + r.err + "--- exit " + std::to_string(r.exitCode) + "\n--- files\n";
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(run))
    if (e.is_regular_file()) files.push_back(e.path().lexically_relative(run).string() + " " + hash_of(read_file_bytes(e.path())));
  std::sort(files.begin(), files.end());
  for (const std::string& f : files) got += f + "\n";
  // What differs from machine to machine: the folder of the run, the system's release.
  std::string back = tmp.path;
  for (char& c : back) c = c == '/' ? '\\' : c;
  replace_all(got, tmp.path, "<tmp>");
  replace_all(got, back, "<tmp>");
  size_t on = got.find(" on Linux ");
  if (on != std::string::npos) got.replace(on + 10, got.find(' ', on + 10) - (on + 10), "<release>");

  const std::string file = source_dir() + "/tests/data/golden/" + g.name + ".txt";
  if (std::getenv("QM_GOLDEN_WRITE")) {
    ASSERT_TRUE(write_file_bytes(file, got));
    return;
  }
  EXPECT_EQ(read_file_bytes(file), got);
}

INSTANTIATE_TEST_SUITE_P(Runs, GoldenRun, ::testing::ValuesIn(kRuns),
                         [](const ::testing::TestParamInfo<Golden>& i) { return std::string(i.param.name); });

}  // namespace
