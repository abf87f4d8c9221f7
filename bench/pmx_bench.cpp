// Throughput and memory of the PMX reader and writer on a large model, against
// the system's own copy. Generates a model of about 207 MB in /tmp (streamed,
// so generation itself stays small), then times, interleaved round by round:
// `cp --reflink=never` of the model in the same folder, pmdinforead alone
// (a read-only pass), and pmdinforead + pmdinfowrite with a renewed texture
// table and filled-in names (the whole repair), by a Shift-JIS and by a UTF-16
// path. Medians of the rounds are printed with MB/s and the ratio to cp.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/console.h"
#include "platform/settings.h"
#include "pmx/model_store.h"
#include "pmx/pmx.h"
#include "text/rename_rules.h"

namespace {

const char kDir[] = "/tmp/qm_pmx_bench";
const char kSrc[] = "/tmp/qm_pmx_bench/model.pmx";
const char kDst[] = "/tmp/qm_pmx_bench/model-new.pmx";
const char kCopy[] = "/tmp/qm_pmx_bench/copy.pmx";
const char16_t kSrcW[] = u"/tmp/qm_pmx_bench/model.pmx";
const char16_t kDstW[] = u"/tmp/qm_pmx_bench/model-new.pmx";

enum { VERTICES = 2000000, FACES = 3000000, BONES = 600, MORPHS = 240, TEXTURES = 24 };

class Gen {
 public:
  explicit Gen(FILE* f) : f_(f) {}
  void u8(uint8_t v) { put(&v, 1); }
  void i16(int16_t v) { put(&v, 2); }
  void i32(int32_t v) { put(&v, 4); }  // the host is little-endian
  void f32(float v) { put(&v, 4); }
  void floats(int n, float v) {
    for (int i = 0; i < n; i++) f32(v + (float)i);
  }
  void text(const std::string& ascii) {
    i32((int32_t)ascii.size() * 2);
    for (char c : ascii) i16((int16_t)(unsigned char)c);  // UTF-16LE
  }
  void put(const void* p, size_t n) { fwrite(p, 1, n, f_); }

 private:
  FILE* f_;
};

bool generate() {
  FILE* f = fopen(kSrc, "wb");
  if (!f) return false;
  static char buf[1 << 16];
  setvbuf(f, buf, _IOFBF, sizeof buf);
  Gen g(f);
  g.put("PMX ", 4);
  g.f32(2.0f);
  const uint8_t head[9] = {8, 0, 2, 4, 1, 1, 2, 2, 2};  // UTF-16LE, 2 extra UVs, widths
  g.put(head, sizeof head);
  g.text("bench model");
  g.text("bench model");
  g.text("generated");
  g.text("generated");

  g.i32(VERTICES);
  for (int32_t i = 0; i < VERTICES; i++) {
    g.floats(8 + 8, (float)i);  // position, normal, UV, two extra UVs
    const int type = i % 5;
    g.u8((uint8_t)type);
    switch (type) {
      case 0: g.i16(1); break;
      case 1: g.i16(1); g.i16(2); g.f32(0.5f); break;
      case 2: case 4: for (int k = 0; k < 4; k++) g.i16((int16_t)k); g.floats(4, 0.25f); break;
      case 3: g.i16(1); g.i16(2); g.f32(0.5f); g.floats(9, 0.1f); break;
    }
    g.f32(1.0f);
  }
  g.i32(FACES * 3);
  for (int32_t i = 0; i < FACES * 3; i++) g.i32(i % VERTICES);

  g.i32(TEXTURES);
  for (int i = 0; i < TEXTURES; i++) g.text("tex\\texture" + std::to_string(i) + ".png");
  g.i32(TEXTURES);
  for (int i = 0; i < TEXTURES; i++) {
    g.text("mat" + std::to_string(i));
    g.text("");
    g.floats(11, 1.0f);
    g.u8(1);
    g.floats(5, 0.0f);
    g.u8((uint8_t)i);
    g.u8(0xFF);
    g.u8(0);
    g.u8((uint8_t)(i % 2));
    g.u8((uint8_t)i);  // toon index or shared toon number, one byte either way
    g.text("memo");
    g.i32(FACES * 3 / TEXTURES);
  }
  g.i32(BONES);
  for (int i = 0; i < BONES; i++) {
    g.text("bone" + std::to_string(i));
    g.text(i % 2 ? "" : "b" + std::to_string(i));  // half need a filled-in name
    g.floats(3, (float)i);
    g.i16((int16_t)(i - 1));
    g.i32(0);
    const uint16_t flags = (uint16_t)(i % 3 == 0 ? 0x0421 : 0x001E);
    g.i16((int16_t)flags);
    if (flags & 1) g.i16((int16_t)(i + 1));
    else g.floats(3, 0.0f);
    if (flags & 0x0400) g.floats(3, 1.0f);
    if (flags & 0x0020) {
      g.i16(0);
      g.i32(10);
      g.f32(1.0f);
      g.i32(3);
      for (int k = 0; k < 3; k++) {
        g.i16((int16_t)k);
        g.u8((uint8_t)(k & 1));
        if (k & 1) g.floats(6, 0.0f);
      }
    }
  }
  g.i32(MORPHS);
  for (int i = 0; i < MORPHS; i++) {
    g.text("morph" + std::to_string(i));
    g.text(i % 2 ? "" : "m" + std::to_string(i));
    g.u8(1);
    g.u8(1);  // vertex morph
    const int32_t n = i == 0 ? 100000 : 50;
    g.i32(n);
    for (int32_t k = 0; k < n; k++) {
      g.i32(k);
      g.floats(3, 0.1f);
    }
  }
  g.i32(2);
  for (int i = 0; i < 2; i++) {
    g.text(i ? "exp" : "Root");
    g.text("");
    g.u8((uint8_t)(i == 0));
    g.i32(BONES);
    for (int k = 0; k < BONES; k++) {
      g.u8(0);
      g.i16((int16_t)k);
    }
  }
  g.i32(40);
  for (int i = 0; i < 40; i++) {
    g.text("rigid");
    g.text("");
    g.i16((int16_t)i);
    g.u8(0);
    g.i16(0);
    g.u8(1);
    g.floats(14, 0.5f);
    g.u8(0);
  }
  g.i32(20);
  for (int i = 0; i < 20; i++) {
    g.text("joint");
    g.text("");
    g.u8(0);
    g.i16((int16_t)i);
    g.i16((int16_t)(i + 1));
    g.floats(24, 0.0f);
  }
  const bool ok = ferror(f) == 0;
  return fclose(f) == 0 && ok;
}

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long peak_kb() {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

double file_mb(const char* path) {
  FILE* f = fopen(path, "rb");
  if (!f) return 0;
  fseek(f, 0, SEEK_END);
  const long n = ftell(f);
  fclose(f);
  return (double)n / (1024.0 * 1024.0);
}

extern "C" char** environ;

// The reference: the system's cp, without sharing blocks, into the same folder.
double system_copy() {
  const double t0 = now();
  char* argv[] = {(char*)"cp", (char*)"--reflink=never", (char*)kSrc, (char*)kCopy, nullptr};
  pid_t pid;
  if (posix_spawnp(&pid, "cp", nullptr, nullptr, argv, environ) != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  const double t = now() - t0;
  remove(kCopy);
  return t;
}

void renew_textures() {
  for (int i = 0; i < pmxModel.texListCount; i++) {
    std::string p = "textures\\texture" + std::to_string(i) + ".png";
    std::strcpy(pmxModel.pmxnewtexlistpath[i], p.c_str());
    for (size_t k = 0; k <= p.size(); k++) pmxModel.pmxnewtexlistpathW[i][k] = (char16_t)p[k];
    pmxModel.texEntryRenewed[i] = 255;
  }
  pmxModel.texListRenewed = 255;
}

// One timed read, or read + write; -1 on any failure.
double run(bool wide, bool write) {
  con_capture_begin();
  const double t0 = now();
  pmx_reset_model();
  int r = wide ? pmdinforeadW(kSrcW) : pmdinforead(kSrc);
  if (r == 0 && write) {
    renew_textures();
    r = wide ? pmdinfowriteW(kDstW, kSrcW) : pmdinfowrite(kDst, kSrc);
  }
  const double t = now() - t0;
  const std::string trace = con_capture_end();
  remove(kDst);  // as cp's copy is removed: the next pass times no truncation
  if (r != 0) {
    fprintf(stderr, "failed (%d):\n%s\n", r, trace.c_str());
    return -1;
  }
  return t;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? atoi(argv[1]) : 7;
  Info.displayLevel = 0;
  namelist_reset();
  std::error_code ec;
  std::filesystem::create_directories(kDir, ec);
  if (!generate()) {
    fprintf(stderr, "cannot write %s\n", kSrc);
    return 1;
  }
  const double mb = file_mb(kSrc);
  printf("model: %s, %.1f MB, %d vertices, %d faces, %d rounds\n", kSrc, mb, VERTICES, FACES, rounds);
  if (system_copy() < 0) {  // also warms the page cache
    fprintf(stderr, "cp --reflink=never failed\n");
    return 1;
  }
  run(false, true);
  const long rssStart = peak_kb();

  // Interleaved, so that a busy moment of the machine falls on every kind alike.
  std::vector<double> cp, rd[2], rw[2];
  for (int i = 0; i < rounds; i++) {
    const double c = system_copy();
    if (c < 0) return 1;
    cp.push_back(c);
    for (int wide = 0; wide < 2; wide++) {
      const double r = run(wide, false), w = run(wide, true);
      if (r < 0 || w < 0) return 1;
      rd[wide].push_back(r);
      rw[wide].push_back(w);
    }
  }
  const double cpTime = median(cp);
  printf("\n%-6s %-8s %10s %9s %9s\n", "path", "pass", "median s", "MB/s", "x cp");
  printf("%-6s %-8s %10.4f %9.1f %9.2f\n", "-", "cp", cpTime, mb / cpTime, 1.0);
  for (int wide = 0; wide < 2; wide++) {
    const char* name = wide ? "UTF-16" : "ANSI";
    const double r = median(rd[wide]), w = median(rw[wide]);
    printf("%-6s %-8s %10.4f %9.1f %9.2f\n", name, "read", r, mb / r, r / cpTime);
    printf("%-6s %-8s %10.4f %9.1f %9.2f\n", name, "repair", w, mb / w, w / cpTime);
  }
  printf("\npeak RSS: %ld KB after the first repair, %ld KB at the end\n", rssStart, peak_kb());
  printf("MB/s counts the model's size once per pass; x cp is the median over cp's median.\n");
  remove(kDst);
  remove(kSrc);
  return 0;
}
