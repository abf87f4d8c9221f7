// Throughput and memory of the PMX reader and writer on a large model.
// Generates a model of about 230 MB in /tmp (streamed, so generation itself
// stays small), then times, for the stream backend (Shift-JIS path) and the
// handle backend (UTF-16 path): a plain file copy, pmdinforead alone, and
// pmdinforead + pmdinfowrite with a renewed texture table and filled-in names.
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

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

// The reference: the file copied with stdio and an 8 KB buffer.
double plain_copy() {
  static char buf[8192];
  const double t0 = now();
  FILE* in = fopen(kSrc, "rb");
  FILE* out = fopen(kCopy, "wb");
  if (!in || !out) return -1;
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, in)) > 0) fwrite(buf, 1, n, out);
  fclose(in);
  fclose(out);
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
  if (r != 0) {
    fprintf(stderr, "failed (%d):\n%s\n", r, trace.c_str());
    return -1;
  }
  return t;
}

double best_of(int n, double (*f)(bool, bool), bool wide, bool write) {
  double best = 1e30;
  for (int i = 0; i < n; i++) {
    const double t = f(wide, write);
    if (t < 0) return -1;
    if (t < best) best = t;
  }
  return best;
}

double copy_adapter(bool, bool) { return plain_copy(); }

}  // namespace

int main() {
  Info.displayLevel = 0;
  namelist_reset();
  std::error_code ec;
  std::filesystem::create_directories(kDir, ec);
  if (!generate()) {
    fprintf(stderr, "cannot write %s\n", kSrc);
    return 1;
  }
  const double mb = file_mb(kSrc);
  printf("model: %s, %.1f MB, %d vertices, %d faces\n", kSrc, mb, VERTICES, FACES);
  plain_copy();  // warm the page cache

  const long rssStart = peak_kb();
  printf("peak RSS after generating: %ld KB\n\n", rssStart);
  printf("%-8s %-12s %9s %9s %11s %13s\n", "backend", "pass", "seconds", "MB/s", "x copy time", "peak RSS KB");
  for (bool wide : {false, true}) {
    const char* name = wide ? "handle" : "stream";
    const double copy = best_of(3, copy_adapter, wide, false);
    const double rd = best_of(3, run, wide, false);
    const long rssRead = peak_kb();
    const double rw = best_of(3, run, wide, true);
    const long rssWrite = peak_kb();
    if (rd < 0 || rw < 0) return 1;
    printf("%-8s %-12s %9.3f %9.1f %11s %13s\n", name, "plain copy", copy, mb / copy, "1.00", "-");
    printf("%-8s %-12s %9.3f %9.1f %11.2f %13ld\n", name, "read", rd, mb / rd, rd / copy, rssRead);
    printf("%-8s %-12s %9.3f %9.1f %11.2f %13ld\n", name, "read+write", rw, mb / rw, rw / copy, rssWrite);
  }
  printf("\nMB/s counts the model's size once per pass.\n");
  remove(kDst);
  remove(kSrc);
  return 0;
}
