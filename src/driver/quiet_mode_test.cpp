// alias.ini read once per run under -Y or -Q, for every model otherwise:
// counted by the files the text reader opens in one model loop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/driver.h"
#include "driver/run_settings.h"
#include "platform/arg_list.h"
#include "platform/console.h"
#include "support/loop_args.h"
#include "support/pmx_builder.h"
#include "support/run_program.h"
#include "text/text_reader.h"

namespace {

struct LoopRun {
  int reads;  // files the text reader opened
  std::string out;
};

// One model loop over models whose links are all fine (no question asks),
// with alias.ini in the program's folder.
LoopRun run_loop(const char* options, int models) {
  TempDir dir("quietmode");
  pmxb::Model m = pmxb::sample_model(pmxb::UTF16LE, 2);
  m.textures = {"a.png"};
  std::vector<uint8_t> bytes = m.build();
  EXPECT_TRUE(write_file_bytes(dir / "a.png", "image"));
  EXPECT_TRUE(write_file_bytes(dir / "alias.ini", "-Bone\n\"\xE5\xB7\xA6\" \"L_\"\n"));
  const std::string folder = set_program_folder(dir.path);
  std::vector<std::string> paths;
  for (int i = 0; i < models; i++) {
    std::string name = "m" + std::to_string(i) + ".pmx";
    EXPECT_TRUE(write_file_bytes(dir / name, std::string(bytes.begin(), bytes.end())));
    paths.push_back(folder + name);  // as the program holds a path: '/' would start an option
  }
  set_loop_args(paths);
  con_capture_begin();
  run_settings_reset();
  scan_option_entry(options, true);
  con_capture_end();

  con_capture_begin();
  int before = txt_open_count();
  model_loop();
  LoopRun r = {txt_open_count() - before, con_capture_end()};
  run_settings_reset();
  return r;
}

int count_of(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(DictionaryRead, OnceUnderYOrQForEveryModelOtherwise) {
  const int perLoad = run_loop("-D0", 1).reads;
  ASSERT_GT(perLoad, 0);
  struct Case {
    const char* options;
    int loads;   // of three models
    int echoes;  // "Alias file found." printed
  } cases[] = {
      {"-D0", 3, 3},
      {"-Y", 1, 1},
      {"-Q", 1, 0},
      {"-YQ", 1, 0},
      {"-Y0Q0", 3, 3},
  };
  for (const Case& c : cases) {
    LoopRun r = run_loop(c.options, 3);
    EXPECT_EQ(c.loads * perLoad, r.reads) << c.options;
    EXPECT_EQ(c.echoes, count_of(r.out, "Alias file found.")) << c.options;
    EXPECT_EQ(c.echoes, count_of(r.out, " b-rep ")) << c.options;
  }
}

}  // namespace
