// Times whole-program batch runs over a folder of generated models, with the
// bundled alias.ini beside the program and without any: CPU seconds of the
// child (user + system) and wall seconds net of the fixed start-up pause.
// Run by hand: make bench-batch   (./build/batch_bench [models] [rounds]);
// QM_BENCH_PROGRAM=path times another build of the program instead.
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/pmx_builder.h"
#include "support/run_program.h"

namespace {

const double kStartPause = 0.5;  // the program sleeps this long before its banner

struct Names {
  std::vector<std::string> bones, morphs, frames;
};

// Real Japanese names (the dictionary test's samples), by kind.
Names sample_names() {
  Names n;
  std::ifstream in(source_dir() + "/tests/data/name_samples.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string jp, kind;
    std::getline(fields, jp, '\t');
    std::getline(fields, kind, '\t');
    if (kind == "bone") n.bones.push_back(jp);
    else if (kind == "morph") n.morphs.push_back(jp);
    else if (kind == "frame") n.frames.push_back(jp);
  }
  return n;
}

// A model the size of a common downloaded one: 30,000 vertices, 50,000
// faces, 16 textures stored under a folder that is not there (the search finds
// them moved), every bone, morph and frame of the samples without an English name.
pmxb::Model bench_model(const Names& names, int seed) {
  pmxb::Model m;
  m.name = "ベンチ" + std::to_string(seed);
  m.nameEn = "bench";
  m.set_index_widths(4);
  const int kVertices = 30000;
  for (int i = 0; i < kVertices; i++) {
    pmxb::Vertex v = (i % 3) ? pmxb::Vertex::bdef2(i % 97, (i + 1) % 97, 0.5f) : pmxb::Vertex::bdef1(i % 97);
    v.pos[0] = (float)(i % 101);
    v.pos[1] = (float)(i % 37);
    m.vertices.push_back(v);
  }
  for (int i = 0; i < 50000 * 3; i++) m.faces.push_back((i * 7 + seed) % kVertices);
  for (int t = 0; t < 16; t++) m.textures.push_back("tex\\t" + std::to_string(t) + ".png");
  for (int t = 0; t < 16; t++) {
    pmxb::Material mat;
    mat.name = "材質" + std::to_string(t);
    mat.texture = t;
    mat.faceVertexCount = t == 0 ? 50000 * 3 : 0;
    m.materials.push_back(mat);
  }
  for (size_t b = 0; b < names.bones.size(); b++) {
    pmxb::Bone bone;
    bone.name = names.bones[b];
    bone.parent = b == 0 ? -1 : 0;
    bone.flags = 0x001E;
    m.bones.push_back(bone);
  }
  for (size_t k = 0; k < names.morphs.size(); k++) {
    pmxb::Morph morph;
    morph.name = names.morphs[k];
    for (int o = 0; o < 200; o++) {
      pmxb::MorphOffset off;
      off.index = (int)((k * 211 + o * 13) % kVertices);
      off.values = {0.01f, 0.0f, 0.0f};
      morph.offsets.push_back(off);
    }
    m.morphs.push_back(morph);
  }
  for (const std::string& f : names.frames) {
    pmxb::Frame frame;
    frame.name = f;
    frame.elements.push_back(pmxb::FrameElement());
    m.frames.push_back(frame);
  }
  return m;
}

struct Times {
  double cpu, wall;
  int lines;
};

// One run of the program on the folder; stdout goes to a file whose lines are
// counted, stdin comes from a file of answers.
Times run_once(const std::string& program, const std::vector<std::string>& args, const std::string& inFile,
               const std::string& outFile) {
  auto t0 = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int in = open(inFile.c_str(), O_RDONLY);
    int err = open("/dev/null", O_WRONLY);  // the prompts of the attended run
    dup2(out, 1);
    dup2(in, 0);
    dup2(err, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  double cpu = ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec + ru.ru_stime.tv_usec / 1e6;
  std::string text = read_file_bytes(outFile);
  return {cpu, wall - kStartPause, (int)std::count(text.begin(), text.end(), '\n')};
}

void remove_outputs(const std::string& dir, int models) {
  for (int i = 0; i < models; i++) unlink((dir + "/m" + std::to_string(i) + "/model-new.pmx").c_str());
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int models = argc > 1 ? std::atoi(argv[1]) : 20;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  const std::string root = "/tmp/qm_batch_bench";
  remove_tree(root);
  const std::string dir = root + "/models";
  Names names = sample_names();
  if (names.bones.empty()) {
    std::fprintf(stderr, "no sample names in %s/tests/data/name_samples.txt\n", source_dir().c_str());
    return 1;
  }
  size_t bytes = 0;
  for (int i = 0; i < models; i++) {
    std::string sub = dir + "/m" + std::to_string(i);
    std::vector<uint8_t> model = bench_model(names, i).build();
    bytes += model.size();
    write_file_bytes(sub + "/model.pmx", std::string(model.begin(), model.end()));
    for (int t = 0; t < 16; t++) write_file_bytes(sub + "/textures/t" + std::to_string(t) + ".png", "image");
  }
  // The program's folder decides where alias.ini is read from.
  const char* other = std::getenv("QM_BENCH_PROGRAM");
  const std::string binary = other && *other ? other : program_binary();
  std::string withDict = root + "/dict/quillmend", without = root + "/plain/quillmend";
  if (!make_dirs(root + "/dict") || !make_dirs(root + "/plain") || !make_symlink(binary, withDict) ||
      !make_symlink(binary, without))
    withDict.clear();
  std::string ini = read_file_bytes(source_dir() + "/examples/alias.ini");
  if (withDict.empty() || without.empty() || ini.empty() || !write_file_bytes(root + "/dict/alias.ini", ini)) {
    std::fprintf(stderr, "cannot set up the program folders in %s\n", root.c_str());
    return 1;
  }
  std::printf("program: %s\n", binary.c_str());
  std::printf("%d models of %.1f MB (%zu bones, %zu morphs, %zu frames, 16 links each, all renewed)\n", models,
              bytes / 1e6 / models, names.bones.size(), names.morphs.size(), names.frames.size());
  std::printf("median of %d rounds, interleaved; wall net of the %.1f s start-up pause\n\n", rounds, kStartPause);

  // Without -Y or -Q the repair question of every model is answered Yes on
  // stdin, and alias.ini is read for every model.
  std::string yes;
  for (int i = 0; i < models; i++) yes += "y\n";
  write_file_bytes(root + "/yes.txt", yes);
  write_file_bytes(root + "/none.txt", "");
  struct Config {
    const char* label;
    std::vector<std::string> args;
    std::string input;
  };
  const Config configs[] = {
      {"-A -Y -Q", {"-A", "-Y", "-Q", dir}, root + "/none.txt"},
      {"-A -Y", {"-A", "-Y", dir}, root + "/none.txt"},
      {"-A", {"-A", dir}, root + "/yes.txt"},
  };
  std::printf("%-10s %-10s %9s %9s %9s %8s\n", "options", "alias.ini", "CPU s", "wall s", "CPU/model", "lines");
  for (const Config& c : configs) {
    std::vector<double> cpu[2], wall[2];
    int lines[2] = {0, 0};
    for (int r = 0; r < rounds; r++) {
      for (int d = 0; d < 2; d++) {
        remove_outputs(dir, models);
        Times t = run_once(d ? without : withDict, c.args, c.input, root + "/out.txt");
        cpu[d].push_back(t.cpu);
        wall[d].push_back(t.wall);
        lines[d] = t.lines;
      }
    }
    for (int d = 0; d < 2; d++)
      std::printf("%-10s %-10s %9.3f %9.3f %9.4f %8d\n", c.label, d ? "none" : "bundled", median(cpu[d]),
                  median(wall[d]), median(cpu[d]) / models, lines[d]);
    std::printf("%-10s CPU with the dictionary / without: %.2fx\n\n", c.label, median(cpu[0]) / median(cpu[1]));
  }
  remove_outputs(dir, models);
  return 0;
}
