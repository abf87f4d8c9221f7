// Writes the seed corpora of the fuzz targets into <out>/<target>/, from the
// project's own model builder and example files.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/pmx_builder.h"

namespace {

std::string outDir;
int written = 0;

void put(const std::string& target, const std::string& name, const std::string& bytes) {
  std::string dir = outDir + "/" + target;
  mkdir(dir.c_str(), 0755);
  std::string path = dir + "/" + name;
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    perror(path.c_str());
    return;
  }
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  written++;
}

std::string str(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

std::string read_all(const std::string& path) {
  std::string s;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return s;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  fclose(f);
  return s;
}

void pmx_seeds() {
  // Flag bytes of the PMX target: wide read/write, renewal, rules, trace level, Japanese, Shift-JIS-only paths.
  // Trace level 3 (0x30) also runs the twist-axis check and fix.
  const unsigned char flagSets[] = {0x00, 0x0C, 0x1F, 0x8E, 0x65, 0x2D, 0x3C, 0xB5};
  int k = 0;
  for (uint8_t enc : {pmxb::UTF16LE, pmxb::UTF8}) {
    for (uint8_t width : {1, 2, 4}) {
      std::vector<pmxb::Model> models;
      pmxb::Model m = pmxb::sample_model(enc, width);
      models.push_back(m);
      pmxb::Model soft = m;  // PMX 2.1 with a soft-body area
      soft.version = 2.1f;
      soft.trailing.assign(100, 0x5A);
      models.push_back(soft);
      pmxb::Model names = m;  // names at and past the name buffer
      names.bones[0].name = std::string(300, 'n');
      names.bones[1].nameEn = std::string(254, 'e');
      names.bones[2].nameEn = "";
      names.morphs[0].nameEn = "a?b";
      names.textures.push_back(std::string(200, 'x') + ".png");
      models.push_back(names);
      pmxb::Model twisted = m;  // the left arm twist's axis points away from the elbow
      twisted.bones[4].axis[0] = 0.0f;
      twisted.bones[4].axis[1] = 1.0f;
      models.push_back(twisted);
      pmxb::Model empty;  // no records at all
      empty.encoding = enc;
      empty.set_index_widths(width);
      models.push_back(empty);
      for (const pmxb::Model& model : models) {
        std::string bytes = str(model.build());
        char name[32];
        snprintf(name, sizeof name, "model%02d", k++);
        put("pmx", name, std::string(1, (char)flagSets[k % sizeof flagSets]) + bytes);
        if (&model == &models[3]) put("pmx", std::string(name) + "t", std::string(1, '\x3C') + bytes);
      }
    }
  }
}

// Largest alias seed, within the -max_len run.sh gives that target.
const size_t kAliasPiece = 1000;

void alias_seeds(const std::string& source) {
  std::string example = read_all(source + "/examples/alias.ini");
  // The example in pieces of whole lines, each under the section header it
  // sits in, so that every piece stays within the target's input size.
  std::vector<std::string> pieces;
  std::string piece, section;
  for (size_t at = 0; at < example.size();) {
    size_t end = example.find('\n', at);
    end = end == std::string::npos ? example.size() : end + 1;
    std::string line = example.substr(at, end - at);
    at = end;
    if (!piece.empty() && piece.size() + line.size() > kAliasPiece) {
      pieces.push_back(piece);
      piece = section;
    }
    if (line[0] == '-') {
      if (piece == section) piece.clear();  // a header with nothing under it yet
      section = line;
    }
    piece += line;
  }
  if (!piece.empty()) pieces.push_back(piece);
  for (size_t i = 0; i < pieces.size(); i++) {
    char name[32];
    snprintf(name, sizeof name, "example_%02zu", i);
    put("alias", name, std::string(1, '\0') + pieces[i]);
    snprintf(name, sizeof name, "example_wide_ja_%02zu", i);
    put("alias", name, std::string(1, '\x03') + pieces[i]);
  }
  // Shift-JIS: every section, quoted keys with F and L, wildcards, errors.
  const std::string sjis =
      "// comment\r\n"
      "\"\x8D\xB6\" \"L_\"\r\n"
      "-Bones\r\n"
      "\"\x83\x5A\x83\x93\x83\x5E\x81\x5B\"F \"center\"\r\n"
      "\"\x8D\xB6\x98\x72\"FL \"arm_L\"\r\n"
      "\"\x94\xAF*\" \"hair\"\r\n"
      "?\x98\x72 arm\r\n"
      "\"unterminated\r\n"
      "\"\" x\r\n"
      "-MorphEN\r\n"
      "Blink blink\r\n"
      "-morphs\r\n"
      "\x81\x48 \"a value longer than fifteen bytes\"\r\n"
      "-bonesen\r\n"
      "center \"\"\r\n";
  put("alias", "sjis", std::string(1, '\0') + sjis);
  put("alias", "sjis_repeat", std::string(1, '\x1C') + sjis);
  // One-byte keys, 24 times over, fill the bone rules past their 8191.
  std::string dense;
  for (int i = 0; i < 360; i++) dense += std::string(1, (char)('a' + i % 26)) + "\n";
  put("alias", "rule_limit", std::string(1, '\x1C') + dense);
  put("alias", "long_key", std::string(1, '\0') + "\"" + std::string(64, 'k') + "\" v\n" + std::string(300, 'y') + "\n");
}

void text_seeds() {
  const char* texts[] = {
      "C:\\tex\\a.png",
      "\x83\x65\x83\x4E\x83\x58\x83\x60\x83\x83\\\x89\xE6\x91\x9C.png",  // テクスチャ\画像.png
      "~\x7E\xB1\xDF\xA0\x80\x41\x81\x5C\x81\x60\x87\x90\x98\x73\xFD\xFE\xFF",
      "\xE3\x83\x86\xEF\xBD\xB1\xF0\xA0\xAE\x9F~\\",  // UTF-8
      "\xC0\x80\xED\xA0\x80\xF8\x80\x41\xE3\x83",     // malformed UTF-8
      "\x3D\xD8\x00\xDE\x00\xD8\x41\x00\x5C\x00",     // UTF-16LE with surrogates
      "\x81",
      "a.b\\c",
      "\\\\server\\share\\x.png",
      "C:\\models\\miku\\m.pmx",
  };
  int k = 0;
  for (const char* t : texts) {
    char name[16];
    snprintf(name, sizeof name, "t%02d", k++);
    put("sjis", name, std::string(1, (char)(k * 7)) + t);
  }
  k = 0;
  const std::string pairs[] = {
      std::string("C:\\models\\tex\\a.png") + '\0' + "C:\\models\\miku\\m.pmx",
      std::string("D:\\x.png") + '\0' + "c:\\m\\m.pmx",
      std::string("\x95\x5C\\file.png") + '\0' + "\x95\x5C\\m.pmx",
      std::string("\"C:\\a b\\c.pmx\" b.pmx ") + '\0' + "\"\"",
      std::string("C:\\") + '\0' + "C:\\x\\",
      std::string(300, 'p') + "\\" + '\0' + "\\",
  };
  for (const std::string& p : pairs) {
    char name[16];
    snprintf(name, sizeof name, "p%02d", k++);
    put("paths", name, std::string(1, (char)(k * 11)) + std::string(1, (char)(k * 50)) + p);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: make_seeds OUTDIR SOURCEDIR\n");
    return 2;
  }
  outDir = argv[1];
  mkdir(outDir.c_str(), 0755);
  pmx_seeds();
  alias_seeds(argv[2]);
  text_seeds();
  printf("%d seed files in %s\n", written, outDir.c_str());
  return 0;
}
