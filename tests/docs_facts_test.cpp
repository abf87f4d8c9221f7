// What the README and the Windows readme say against what the program does:
// every option listed everywhere, and the throughput section describing the
// program as it is built today.
#include <gtest/gtest.h>

#include <string>

#include "driver/run_settings.h"
#include "support/run_program.h"

namespace {

std::string source(const char* rel) { return read_file_bytes(source_dir() + "/" + rel); }

int count_of(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string section(const std::string& text, const std::string& heading) {
  size_t from = text.find(heading);
  if (from == std::string::npos) return "";
  size_t to = text.find("\n#", from + heading.size());
  return text.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

TEST(DocsFacts, EveryOptionIsListedInTheReadmesAndTheHelp) {
  const std::string readme = source("README.md"), dist = source("docs/readme-dist.txt");
  RunOptions o;
  o.args = {"-h"};
  const std::string help = run_program(o).out;
  ASSERT_FALSE(readme.empty());
  ASSERT_FALSE(help.empty());
  for (const ByteOption& opt : kByteOptions) {
    const std::string name = std::string("-") + opt.letters;
    EXPECT_NE(std::string::npos, section(readme, "### Options").find("`" + name)) << name << " in README's options";
    EXPECT_LE(2, count_of(dist, "\n  " + name)) << name << " in both languages of docs/readme-dist.txt";
    EXPECT_NE(std::string::npos, help.find("\n " + name)) << name << " in -h";
  }
}

TEST(DocsFacts, ThroughputDescribesTodaysProgram) {
  const std::string throughput = section(source("README.md"), "### Throughput");
  ASSERT_FALSE(throughput.empty());
  // The pause the start-up code makes, and the benchmarks that exist.
  ASSERT_NE(std::string::npos, source("src/driver/startup.cpp").find("os_sleep(500);"));
  struct Fact {
    const char* text;
    bool present;
  } facts[] = {
      {"0.5 s", true},         {"make bench`", true}, {"make bench-batch", true},
      {"256 KiB", true},       {"backend", false},    {"8 KB", false},
      {"stream", false},       {"(target:", false},
  };
  for (const Fact& f : facts)
    EXPECT_EQ(f.present, throughput.find(f.text) != std::string::npos) << f.text;
  const std::string makefile = source("Makefile");
  EXPECT_NE(std::string::npos, makefile.find("\nbench-batch:")) << "the target README names";
}

}  // namespace
