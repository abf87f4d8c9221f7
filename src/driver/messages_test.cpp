// The bytes of every message that has a Japanese and an English form, taken
// from the code that prints it in runs that reach it, in each language. A text
// changed on purpose in driver/messages.txt changes its pin here as well.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "driver/closing_wait.h"
#include "driver/driver.h"
#include "driver/model_state.h"
#include "driver/run_settings.h"
#include "driver/texture_repair.h"
#include "platform/arg_list.h"
#include "platform/console.h"
#include "platform/settings.h"
#include "support/pmx_builder.h"
#include "support/run_program.h"

namespace {

enum Language { EN, JA, JA_UTF8 };

// HELP, BANNER, NOTICE and PROMPT call their printer; the others are model loops.
enum Printer {
  HELP, BANNER, NOTICE, PROMPT, ASK, DECLINE, AUTO, NAMES, QUIET_ASK, QUIET_DECLINE, QUIET_AUTO, PORTABLE
};

struct Scenario {
  const char* options;
  std::vector<std::string> models;
  const char* answers;
};

// ASK: correct links, No, a pick and an inference, an unreadable file, Cancel, one not reached;
// with the search, so the not-found box says how to leave a link broken.
// DECLINE: a file without the extension, declined.
// AUTO: unattended with the search and the twist check: four wrong axes and a
// link left broken, nothing renewed, every search rule and a shared toon, a failed save.
// NAMES: saved for English names alone, and for names and axes; an output
// that is there already kept; nothing to fill.
// PORTABLE: unattended -P: a model made portable (a case, a copy, a file that is
// no image), one whose copy fails beside a broken link, one portable already.
const std::map<Printer, Scenario> kScenarios = {
    {ASK, {"-A1", {"fine.pmx", "no.pmx", "pick.pmx", "bad.pmx", "cancel.pmx", "after.pmx"},
           "n\ny\n\npics/a2.png\nc\n"}},
    {DECLINE, {"-A1", {"fine.pmx", "x.txt"}, "c\n"}},
    {AUTO, {"-A1Y1T1", {"twist.pmx", "nothing.pmx", "search.pmx", "fail.pmx"}, ""}},
    {NAMES, {"-F1T1Y1", {"names.pmx", "twist.pmx", "kept.pmx", "filled.pmx"}, ""}},
    // The lines -Q keeps of the three runs above.
    {QUIET_ASK, {"-A1Q1", {"fine.pmx", "no.pmx", "pick.pmx", "bad.pmx", "cancel.pmx", "after.pmx"},
                 "n\ny\n\npics/a2.png\nc\n"}},
    {QUIET_DECLINE, {"-A1Q1", {"fine.pmx", "x.txt"}, "c\n"}},
    {QUIET_AUTO, {"-A1Y1T1Q1", {"twist.pmx", "nothing.pmx", "search.pmx", "fail.pmx"}, ""}},
    {PORTABLE, {"-P1Y1", {"p\\port.pmx", "q\\port.pmx", "r\\port.pmx"}, ""}},
};

void add_bone(pmxb::Model& m, const char* name, float x, float y, bool fixedAxis) {
  pmxb::Bone b;
  b.name = name;
  b.nameEn = "b";
  b.pos[0] = x;
  b.pos[1] = y;
  if (fixedAxis) {
    b.flags = pmxb::BONE_FIXED_AXIS;
    b.axis[0] = 0.0f;
    b.axis[2] = 1.0f;
  }
  m.bones.push_back(b);
}

pmxb::Model model(const std::vector<std::string>& textures, bool wrongAxes = false) {
  pmxb::Model m = pmxb::sample_model(pmxb::UTF16LE, 2);
  m.textures = textures;
  if (!wrongAxes) return m;
  for (auto& b : m.bones)
    if (b.name == "左腕捩") b.axis[0] = 0.0f, b.axis[1] = 0.0f, b.axis[2] = 1.0f;
  add_bone(m, "左手捩", 4.0f, 8.5f, true);
  add_bone(m, "右腕", -1.0f, 10.0f, false);
  add_bone(m, "右ひじ", -3.0f, 9.0f, false);
  add_bone(m, "右手首", -5.0f, 8.0f, false);
  add_bone(m, "右腕捩", -2.0f, 9.5f, true);
  add_bone(m, "右手捩", -4.0f, 8.5f, true);
  return m;
}

void put(const TempDir& dir, const std::string& rel, const std::string& bytes = "image") {
  ASSERT_TRUE(write_file_bytes(dir / rel, bytes));
}

void put_model(const TempDir& dir, const std::string& rel, const pmxb::Model& m) {
  std::vector<uint8_t> bytes = m.build();
  put(dir, rel, std::string(bytes.begin(), bytes.end()));
}

void fill_folder(const TempDir& dir) {
  put(dir, "ok.png");
  put_model(dir, "fine.pmx", model({"ok.png"}));
  put_model(dir, "no.pmx", model({"gone.png"}));
  put_model(dir, "cancel.pmx", model({"gone.png"}));
  put_model(dir, "after.pmx", model({}));
  put(dir, "pics/a2.png");
  put(dir, "pics/b.png");
  put_model(dir, "pick.pmx", model({"tex\\a.png", "tex\\b.png"}));
  put(dir, "bad.pmx", "garbage");
  put_model(dir, "x.txt", model({}));
  put_model(dir, "twist.pmx", model({"lost.png"}, true));
  put_model(dir, "nothing.pmx", model({"lost.png"}));
  put(dir, "Tex/Body.PNG");
  put(dir, "deep/m.png");
  put(dir, "conv/c.png");
  put(dir, "鬮ｪ.png");
  put_model(dir, "search.pmx", model({"tex\\body.png", "x\\m.png", "conv\\c.bmp", "髪.png", "toon01.bmp"}));
  put_model(dir, "fail.pmx", model({}, true));
  ASSERT_TRUE(make_dirs(dir / "fail-new.pmx"));
  put_model(dir, "names.pmx", model({}));
  put_model(dir, "kept.pmx", model({}));
  put(dir, "kept-new.pmx", "repaired by hand");
  pmxb::Model filled = model({});
  for (auto& b : filled.bones) b.nameEn = "b";
  for (auto& m : filled.morphs) m.nameEn = "m";
  for (auto& f : filled.frames) f.nameEn = "f";
  put_model(dir, "filled.pmx", filled);
  // Names no other scenario's search could take.
  put(dir, "p/tex/port.png");
  put_model(dir, "p/port.pmx", model({"TEX\\port.png", "..\\ok.png", "..\\bad.pmx"}));
  put(dir, "q/shared", "a file where the copy folder would be");
  put_model(dir, "q/port.pmx", model({"q-gone.png", "..\\ok.png"}));
  put(dir, "r/port.png");
  put_model(dir, "r/port.pmx", model({"port.png"}));
}

void set_language(Language l) {
  static const LangFlags flags[] = {{false, false, false}, {true, true, false}, {true, false, true}};
  Lang = flags[l];
  consoleCodePage = l == JA_UTF8 ? 65001 : 932;
}

std::string backslashed(std::string p) {
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

// The console bytes of a model loop, then "[box]" and the ANSI text of its last box.
std::string run_loop(const Scenario& s) {
  TempDir dir("messages");
  fill_folder(dir);
  put(dir, "answers.txt", s.answers);
  EXPECT_NE(freopen((dir / "answers.txt").c_str(), "r", stdin), nullptr);
  char cwd[4096];
  EXPECT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(chdir(dir.path.c_str()), 0);

  std::string folder = backslashed(dir.path) + "\\";
  snprintf(programFolder, sizeof programFolder, "%s", folder.c_str());
  for (size_t i = 0; i <= folder.size(); i++) programFolderW[i] = (char16_t)(unsigned char)folder[i];
  arglist_reset(&ansiArgs);
  arglist_resetW(&wideArgs);
  addarg(&ansiArgs, "quillmend");
  addargW(&wideArgs, u"quillmend");
  for (const std::string& m : s.models) {
    addarg(&ansiArgs, m.c_str());
    addargW(&wideArgs, std::u16string(m.begin(), m.end()).c_str());
  }
  con_capture_begin();
  scan_option_entry("-T0A0Y0F0O0P0Q0ND0", true);
  scan_option_entry(s.options, true);
  con_capture_end();
  texfoldermap_reset();

  con_capture_begin();
  model_loop();
  std::string out = con_capture_end() + "[box]" + model_loop_state().box.ansi;
  scan_option_entry("-T0A0Y0F0O0P0Q0ND0", true);
  con_capture_end();
  EXPECT_EQ(chdir(cwd), 0);
  return out;
}

std::string run(Printer r, Language l) {
  static std::map<std::pair<Printer, Language>, std::string> done;
  auto key = std::make_pair(r, l);
  auto at = done.find(key);
  if (at != done.end()) return at->second;
  LangFlags savedLang = Lang;
  uint32_t savedCp = consoleCodePage;
  set_language(l);
  std::string out;
  if (r == HELP || r == BANNER || r == NOTICE || r == PROMPT) {
    con_capture_begin();
    if (r == HELP) print_help();
    if (r == BANNER) startup_banner();
    if (r == NOTICE) no_model_notice();
    if (r == PROMPT) closing_prompt();
    out = con_capture_end();
  } else {
    out = run_loop(kScenarios.at(r));
  }
  Lang = savedLang;
  consoleCodePage = savedCp;
  done[key] = out;
  return out;
}

struct Pin {
  Printer run;
  Language lang;
  const char* bytes;
};

const Pin kPins[] = {
    {HELP, EN,
     "Usage: quillmend [options] <model.pmx | folder> ...\n"
     " Repairs the broken texture, toon and sphere links of PMX models. Each\n"
     " repaired model is saved beside its source as <name>-new.pmx; the source\n"
     " is never changed. A folder stands for every .pmx file below it (8 levels\n"
     " deep, symbolic links not followed), except -new.pmx outputs.\n"
     "Options (any letter case; a number may follow, with or without '='):\n"
     " -D<n>           trace level of the model reader: 0 (default), 1, 2\n"
     " -M<n>           conversion mode: accepted and echoed, changes nothing\n"
     " -E<x>, -EA<x>   error admittance: accepted and echoed, changes nothing\n"
     " -ND<n>          2 or more: no question for a file without \".PMX\" extension\n"
     " -T              also check the twist axes of the arm and wrist twist bones\n"
     " -A              search below the model's folder for the files of broken links\n"
     "                 (the stored place first; never in another model's folder)\n"
     " -Y              unattended: no boxes or dialogs, every question takes its\n"
     "                 default answer, links nothing repairs stay as they are, and\n"
     "                 the run ends with a summary\n"
     " -F              save a model that lacks English names for the names alone\n"
     " -Q              quiet: per model only its line, the links not (ok), any\n"
     "                 problem and the result; the run ends with the summary\n"
     " -R              move files whose names an unpacker mangled back to the\n"
     "                 paths the model stores (inside its folder; logged in\n"
     "                 quillmend-renames.txt there)\n"
     " -O              with -Y, replace an existing <name>-new.pmx (kept otherwise)\n"
     " -P              portable: every link relative, inside the model's folder\n"
     "                 and in the disk's letter case; images outside the folder\n"
     "                 are copied into its shared\\ folder\n"
     " -h, -H, --help, -?  this text\n"
     " --version       the title line\n"
     "Example: quillmend -A -Y -Q models   (a folder, unattended and quiet)\n"
     "English names are filled by the rules of alias.ini in the program's folder,\n"
     " read once per run with -Y or -Q, else for every model.\n"
     "On Linux the questions and the file dialog are answered on stdin, a line\n"
     " each (y, n, c, ok, or a path); their prompts go to stderr.\n"
     "Exit code: 0 done; 16 a file without \".PMX\" extension was declined;\n"
     " -1 (255 on Linux) a model could not be opened, 2 a file is no PMX model,\n"
     " 3 a model ends too early; with -Y, 32 is added when a model keeps a\n"
     " broken link (with -P also a link that is not portable),\n"
     " and 64 when a save failed.\n"},
    {HELP, JA,
     "\x8Eg\x82\xA2\x95\xFB: quillmend [\x83I\x83v\x83V\x83\x87\x83\x93] <\x83\x82\x83" "f\x83\x8B.pmx | \x83t\x83H\x83\x8B\x83_> ...\n"
     " PMX \x83\x82\x83" "f\x83\x8B\x82\xCC\x90\xD8\x82\xEA\x82\xBD\x83" "e\x83N\x83X\x83`\x83\x83\x81" "E\x83g\x83" "D\x81[\x83\x93\x81" "E\x83X\x83t\x83" "B\x83" "A\x82\xD6\x82\xCC\x83\x8A\x83\x93\x83N\x82\xF0\x92\xBC\x82\xB5\x81" "A\n"
     " \x8C\xB3\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xC6\x93\xAF\x82\xB6\x83t\x83H\x83\x8B\x83_\x82\xC9 <\x96\xBC\x91O>-new.pmx \x82\xC6\x82\xB5\x82\xC4\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB7\x81" "B\n"
     " \x8C\xB3\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xCD\x95\xCF\x8DX\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x81" "B\x83t\x83H\x83\x8B\x83_\x82\xF0\x8Ew\x92\xE8\x82\xB7\x82\xE9\x82\xC6\x81" "A\x82\xBB\x82\xCC\x89\xBA (8 \x8AK\x91w\x82\xDC\x82\xC5\x81" "A\n"
     " \x83V\x83\x93\x83{\x83\x8A\x83" "b\x83N\x83\x8A\x83\x93\x83N\x82\xCD\x82\xBD\x82\xC7\x82\xE8\x82\xDC\x82\xB9\x82\xF1) \x82\xCC .pmx \x83t\x83@\x83" "C\x83\x8B\x82\xF0\x82\xB7\x82\xD7\x82\xC4\x8F\x88\x97\x9D\x82\xB5\x82\xDC\x82\xB7\n"
     " (\x88\xC8\x91O\x82\xCC\x8Fo\x97\xCD -new.pmx \x82\xCD\x8F\x9C\x82\xAB\x82\xDC\x82\xB7)\x81" "B\n"
     "\x83I\x83v\x83V\x83\x87\x83\x93 (\x91\xE5\x95\xB6\x8E\x9A\x8F\xAC\x95\xB6\x8E\x9A\x82\xCD\x8B\xE6\x95\xCA\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x81" "B\x90\x94\x92l\x82\xCC\x91O\x82\xCC = \x82\xCD\x8F\xC8\x97\xAA\x82\xC5\x82\xAB\x82\xDC\x82\xB7):\n"
     " -D<n>           \x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x8Co\x89\xDF\x82\xCC\x95\\\x8E\xA6\x83\x8C\x83x\x83\x8B: 0 (\x95W\x8F\x80), 1, 2\n"
     " -M<n>           \x95\xCF\x8A\xB7\x83\x82\x81[\x83h: \x8E\xF3\x82\xAF\x95t\x82\xAF\x82\xC4\x95\\\x8E\xA6\x82\xB7\x82\xE9\x82\xBE\x82\xAF\x82\xC5\x82\xB7 (\x93\xAE\x8D\xEC\x82\xCD\x95\xCF\x82\xED\x82\xE8\x82\xDC\x82\xB9\x82\xF1)\n"
     " -E<x>, -EA<x>   \x8B\x96\x97" "e\x8C\xEB\x8D\xB7: \x8E\xF3\x82\xAF\x95t\x82\xAF\x82\xC4\x95\\\x8E\xA6\x82\xB7\x82\xE9\x82\xBE\x82\xAF\x82\xC5\x82\xB7 (\x93\xAE\x8D\xEC\x82\xCD\x95\xCF\x82\xED\x82\xE8\x82\xDC\x82\xB9\x82\xF1)\n"
     " -ND<n>          2 \x88\xC8\x8F\xE3: \x8Ag\x92\xA3\x8Eq\x82\xAA .PMX \x82\xC5\x82\xC8\x82\xA2\x83t\x83@\x83" "C\x83\x8B\x82\xCC\x8Am\x94" "F\x82\xF0\x8Fo\x82\xB5\x82\xDC\x82\xB9\x82\xF1\n"
     " -T              \x98r\x9D\x80\x81" "E\x8E\xE8\x9D\x80\x83{\x81[\x83\x93\x82\xCC\x8E\xB2\x82\xE0\x8Am\x94" "F\x82\xB5\x81" "A\x92\xBC\x82\xB7\x82\xA9\x95\xB7\x82\xAB\x82\xDC\x82\xB7\n"
     " -A              \x83\x82\x83" "f\x83\x8B\x82\xCC\x83t\x83H\x83\x8B\x83_\x82\xCC\x89\xBA\x82\xA9\x82\xE7\x81" "A\x90\xD8\x82\xEA\x82\xBD\x83\x8A\x83\x93\x83N\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xF0\x92T\x82\xB5\x82\xDC\x82\xB7\n"
     "                 (\x8C\xB3\x82\xCC\x8F\xEA\x8F\x8A\x82\xF0\x90\xE6\x82\xC9\x92T\x82\xB5\x81" "A\x95\xCA\x82\xCC\x83\x82\x83" "f\x83\x8B\x82\xCC\x83t\x83H\x83\x8B\x83_\x82\xA9\x82\xE7\x82\xCD\x8E\xE6\x82\xE8\x82\xDC\x82\xB9\x82\xF1)\n"
     " -Y              \x96\xB3\x90l\x8E\xC0\x8Ds: \x8Am\x94" "F\x82\xE0\x83_\x83" "C\x83" "A\x83\x8D\x83O\x82\xE0\x8Fo\x82\xB3\x82\xB8\x81" "A\x82\xB7\x82\xD7\x82\xC4\x8A\xF9\x92\xE8\x82\xCC\x93\x9A\x82\xA6\x82\xC5\n"
     "                 \x90i\x82\xDF\x82\xDC\x82\xB7\x81" "B\x92\xBC\x82\xB9\x82\xC8\x82\xA2\x83\x8A\x83\x93\x83N\x82\xCD\x82\xBB\x82\xCC\x82\xDC\x82\xDC\x8E" "c\x82\xB5\x81" "A\x8D\xC5\x8C\xE3\x82\xC9\x8C\x8B\x89\xCA\x82\xF0\x88\xEA\x97\x97\n"
     "                 \x82\xB5\x82\xDC\x82\xB7\n"
     " -F              \x89p\x8C\xEA\x96\xBC\x82\xAA\x91\xAB\x82\xE8\x82\xC8\x82\xA2\x83\x82\x83" "f\x83\x8B\x82\xCD\x81" "A\x82\xBB\x82\xEA\x82\xBE\x82\xAF\x82\xC5\x82\xE0\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB7\n"
     " -Q              \x95\\\x8E\xA6\x82\xF0\x8Di\x82\xE8\x82\xDC\x82\xB7: \x83\x82\x83" "f\x83\x8B\x82\xB2\x82\xC6\x82\xC9\x82\xBB\x82\xCC\x96\xBC\x91O\x81" "A\x90\xB3\x8F\xED\x82\xC5\x82\xC8\x82\xA2\x83\x8A\x83\x93\x83N\x81" "A\n"
     "                 \x96\xE2\x91\xE8\x82\xC6\x8C\x8B\x89\xCA\x82\xBE\x82\xAF\x82\xF0\x95\\\x8E\xA6\x82\xB5\x81" "A\x8D\xC5\x8C\xE3\x82\xC9\x8C\x8B\x89\xCA\x82\xF0\x88\xEA\x97\x97\x82\xB5\x82\xDC\x82\xB7\n"
     " -R              \x89\xF0\x93\x80\x83\\\x83t\x83g\x82\xAA\x95\xB6\x8E\x9A\x89\xBB\x82\xAF\x82\xB3\x82\xB9\x82\xBD\x83t\x83@\x83" "C\x83\x8B\x96\xBC\x82\xF0\x81" "A\x83\x82\x83" "f\x83\x8B\x82\xC9\x8F\x91\x82\xA9\x82\xEA\x82\xBD\n"
     "                 \x83p\x83X\x82\xC9\x96\xDF\x82\xB5\x82\xDC\x82\xB7 (\x83\x82\x83" "f\x83\x8B\x82\xCC\x83t\x83H\x83\x8B\x83_\x93\xE0\x82\xBE\x82\xAF\x81" "B\x88\xDA\x93\xAE\x82\xCD\x82\xBB\x82\xB1\x82\xCC\n"
     "                 quillmend-renames.txt \x82\xC9\x8BL\x98^\x82\xB5\x82\xDC\x82\xB7)\n"
     " -O              -Y \x82\xC6\x8B\xA4\x82\xC9: \x8A\xF9\x82\xC9\x82\xA0\x82\xE9 <\x96\xBC\x91O>-new.pmx \x82\xF0\x92u\x82\xAB\x8A\xB7\x82\xA6\x82\xDC\x82\xB7 (-Y \x82\xBE\x82\xAF\n"
     "                 \x82\xC5\x82\xCD\x8E" "c\x82\xB5\x82\xDC\x82\xB7)\n"
     " -P              \x83|\x81[\x83^\x83u\x83\x8B\x89\xBB: \x83\x8A\x83\x93\x83N\x82\xF0\x83\x82\x83" "f\x83\x8B\x82\xCC\x83t\x83H\x83\x8B\x83_\x93\xE0\x82\xCC\x91\x8A\x91\xCE\x83p\x83X\x82\xC9\x82\xB5\x81" "A\n"
     "                 \x91\xE5\x95\xB6\x8E\x9A\x8F\xAC\x95\xB6\x8E\x9A\x82\xF0\x83" "f\x83" "B\x83X\x83N\x82\xC9\x8D\x87\x82\xED\x82\xB9\x82\xDC\x82\xB7\x81" "B\x83t\x83H\x83\x8B\x83_\x82\xCC\x8AO\x82\xCC\x89\xE6\x91\x9C\x82\xCD\n"
     "                 shared\\ \x83t\x83H\x83\x8B\x83_\x82\xD6\x83R\x83s\x81[\x82\xB5\x82\xDC\x82\xB7\n"
     " -h, -H, --help, -?  \x82\xB1\x82\xCC\x90\xE0\x96\xBE\n"
     " --version       \x83^\x83" "C\x83g\x83\x8B\x8Ds\x82\xF0\x95\\\x8E\xA6\x82\xB5\x82\xDC\x82\xB7\n"
     "\x97\xE1: quillmend -A -Y -Q models   (\x83t\x83H\x83\x8B\x83_\x82\xF0\x96\xB3\x90l\x82\xC5\x81" "A\x95\\\x8E\xA6\x82\xF0\x8Di\x82\xC1\x82\xC4\x8F\x88\x97\x9D)\n"
     "\x89p\x8C\xEA\x96\xBC\x82\xCD\x81" "A\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82\xCC\x83t\x83H\x83\x8B\x83_\x82\xC9\x82\xA0\x82\xE9 alias.ini \x82\xCC\x8BK\x91\xA5\x82\xC5\x96\x84\x82\xDF\x82\xDC\x82\xB7\x81" "B\n"
     " -Y \x82\xA9 -Q \x82\xC5\x82\xCD\x8E\xC0\x8Ds\x82\xB2\x82\xC6\x82\xC9 1 \x89\xF1\x81" "A\x82\xBB\x82\xEA\x88\xC8\x8AO\x82\xCD\x83\x82\x83" "f\x83\x8B\x82\xB2\x82\xC6\x82\xC9\x93\xC7\x82\xDD\x82\xDC\x82\xB7\x81" "B\n"
     "Linux \x82\xC5\x82\xCD\x81" "A\x8E\xBF\x96\xE2\x82\xC6\x83t\x83@\x83" "C\x83\x8B\x91I\x91\xF0\x82\xC9\x82\xCD\x95W\x8F\x80\x93\xFC\x97\xCD\x82\xC5 1 \x8Ds\x82\xB8\x82\xC2\x93\x9A\x82\xA6\x82\xDC\x82\xB7\n"
     " (y, n, c, ok \x82\xE2\x83p\x83X)\x81" "B\x96\xE2\x82\xA2\x82\xA9\x82\xAF\x82\xCD\x95W\x8F\x80\x83G\x83\x89\x81[\x8Fo\x97\xCD\x82\xC9\x8Fo\x82\xDC\x82\xB7\x81" "B\n"
     "\x8FI\x97\xB9\x83R\x81[\x83h: 0 \x90\xB3\x8F\xED; 16 \x8Ag\x92\xA3\x8Eq\x82\xAA .PMX \x82\xC5\x82\xC8\x82\xA2\x83t\x83@\x83" "C\x83\x8B\x82\xCC\x8F\x88\x97\x9D\x82\xF0\x92\x86\x8E~\x82\xB5\x82\xDC\x82\xB5\x82\xBD;\n"
     " -1 (Linux \x82\xC5\x82\xCD 255) \x83\x82\x83" "f\x83\x8B\x82\xAA\x8AJ\x82\xAF\x82\xDC\x82\xB9\x82\xF1, 2 PMX \x83t\x83@\x83" "C\x83\x8B\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1,\n"
     " 3 \x83\x82\x83" "f\x83\x8B\x82\xAA\x93r\x92\x86\x82\xC5\x8FI\x82\xED\x82\xC1\x82\xC4\x82\xA2\x82\xDC\x82\xB7; -Y \x82\xC5\x82\xCD\x81" "A\x90\xD8\x82\xEA\x82\xBD\x83\x8A\x83\x93\x83N (-P \x82\xC5\x82\xCD\n"
     " \x83|\x81[\x83^\x83u\x83\x8B\x89\xBB\x82\xC5\x82\xAB\x82\xC8\x82\xA2\x83\x8A\x83\x93\x83N\x82\xE0) \x82\xAA\x8E" "c\x82\xC1\x82\xBD\x83\x82\x83" "f\x83\x8B\x82\xAA\x82\xA0\x82\xE9\x82\xC6 32 \x82\xF0\x81" "A\n"
     " \x95\xDB\x91\xB6\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xBD\x83\x82\x83" "f\x83\x8B\x82\xAA\x82\xA0\x82\xE9\x82\xC6 64 \x82\xF0\x89\xC1\x82\xA6\x82\xDC\x82\xB7\x81" "B\n"},
    {BANNER, EN,
     "(English mode) \n"},
    {BANNER, JA,
     "(\x93\xFA\x96{\x8C\xEA\x8A\xC2\x8B\xAB) \n"},
    {BANNER, JA_UTF8,
     "(UTF-8\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE7\x92\xB0\xE5\xA2\x83) \n"},
    {NOTICE, EN,
     "\n"
     "No dropped PMX file detected. \n"
     " Please select PMX file(s). \n"},
    {NOTICE, JA,
     "\n"
     "\x83h\x83\x89\x83" "b\x83O\x81\x95\x83h\x83\x8D\x83" "b\x83v\x82\xB3\x82\xEA\x82\xBD PMX \x83t\x83@\x83" "C\x83\x8B\x82\xE2\x81" "A \n"
     "\x83R\x83}\x83\x93\x83h\x82\xC5\x8Ew\x92\xE8\x82\xB3\x82\xEA\x82\xBD PMX \x83t\x83@\x83" "C\x83\x8B\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1. \n"
     " PMX \x83\x82\x83" "f\x83\x8B\x83t\x83@\x83" "C\x83\x8B\x82\xF0\x8AJ\x82\xA2\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2. \n"},
    {NOTICE, JA_UTF8,
     "\n"
     "\xE3\x83\x89\xE3\x83\xA9\xE3\x83\x83\xE3\x82\xB0\xEF\xBC\x86\xE3\x83\x89\xE3\x83\xAD\xE3\x83\x83\xE3\x83\x97\xE3\x81\x95\xE3\x82\x8C\xE3\x81\x9F PMX \xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x80\x81  \n"
     "\xE3\x82\xB3\xE3\x83\x9E\xE3\x83\xB3\xE3\x83\x89\xE3\x81\xA7\xE6\x8C\x87\xE5\xAE\x9A\xE3\x81\x95\xE3\x82\x8C\xE3\x81\x9F PMX \xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x81\xAF\xE3\x81\x82\xE3\x82\x8A\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93.  \n"
     " PMX \xE3\x83\xA2\xE3\x83\x87\xE3\x83\xAB\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x82\x92\xE9\x96\x8B\xE3\x81\x84\xE3\x81\xA6\xE3\x81\x8F\xE3\x81\xA0\xE3\x81\x95\xE3\x81\x84.  \n"},
    {ASK, EN,
     " All the links in the model \r\n"
     " fine.pmx \r\n"
     " are correct. \r\n"
     " \r\n"
     " No broken settings found. \n"},
    {ASK, JA,
     " \x83\x82\x83" "f\x83\x8B\x81" "F \r\n"
     " fine.pmx \r\n"
     " \x82\xCD\x90\xB3\x8F\xED\x82\xC5\x82\xB7. \r\n"
     " \r\n"
     " \x8F" "C\x95\x9C\x82\xB7\x82\xD7\x82\xAB\x89\xD3\x8F\x8A\x82\xCD \r\n"
     " \x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD. \r\n"
     "\n"},
    {ASK, EN,
     " Broken settings of \r\n"
     " 1 texture link(s) are found. \r\n"
     " \r\n"
     " Do you like to fix them?  (Y/N/Cancel) \r\n"
     " => NO \n"
     "\n"},
    {ASK, JA,
     " \x83\x82\x83" "f\x83\x8B\x81" "F \r\n"
     " no.pmx \r\n"
     " \x92\x86\x82\xCC \r\n"
     " 1 \x8C\xC2\x82\xCC\x83" "e\x83N\x83X\x83`\x83\x83\x82\xD6\x82\xCC\x83\x8A\x83\x93\x83N\x82\xAA \r\n"
     " \x94j\x91\xB9\x82\xB5\x82\xC4\x82\xA2\x82\xE9\x96\xCD\x97l\x82\xC5\x82\xB7. \r\n"
     " \r\n"
     " \x8F" "C\x95\x9C\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81H (Y/N/Cancel) \r\n"
     " => NO \n"
     "\n"},
    {ASK, EN,
     " The model \r\n"
     " no.pmx \r\n"
     " was uncorrected. \r\n"
     "\n"},
    {ASK, JA,
     " \x83\x82\x83" "f\x83\x8B\x81" "F \r\n"
     " no.pmx \r\n"
     " \x82\xCD\x8F" "C\x95\x9C\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD. \r\n"
     "\n"},
    {ASK, EN,
     "0: tex\\a.png \n"
     " Texture, toon, or sphere: \r\n"
     " \r\n"
     " a.png \r\n"
     "   in folder: tex\\ \r\n"
     " \r\n"
     " was not found.  \r\n"
     " Please select it on the next dialogue. (continue:OK) \r\n"
     " (Cancel the dialogue to leave this link broken.) \r\n"
     " => OK \n"},
    {ASK, JA,
     "0: tex\\a.png \n"
     " \x83" "e\x83N\x83X\x83`\x83\x83/\x83g\x83" "D\x81[\x83\x93/\x83X\x83t\x83" "B\x83" "A: \r\n"
     " \r\n"
     " \x83t\x83H\x83\x8B\x83_ tex\\ \x93\xE0\x82\xC9\x81" "A \r\n"
     " a.png \r\n"
     " \r\n"
     " \x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE7\x82\xC8\x82\xA2\x82\xBD\x82\xDF\x81" "A \r\n"
     " \x8E\x9F\x82\xCC\x83_\x83" "C\x83" "A\x83\x8D\x83O\x82\xC5\x92T\x82\xB5\x82\xDC\x82\xB7\x81" "B (\x91\xB1\x8Ds:OK) \r\n"
     " (\x83_\x83" "C\x83" "A\x83\x8D\x83O\x82\xF0\x83L\x83\x83\x83\x93\x83Z\x83\x8B\x82\xB7\x82\xE9\x82\xC6\x81" "A\x82\xB1\x82\xCC\x83\x8A\x83\x93\x83N\x82\xCD\x90\xD8\x82\xEA\x82\xBD\x82\xDC\x82\xDC\x8E" "c\x82\xB5\x82\xDC\x82\xB7.) \r\n"
     " => OK \n"},
    {ASK, EN,
     "1: tex\\b.png (inferred) => (renew)"},
    {ASK, JA,
     "1: tex\\b.png (\x97\xDE\x90\x84\x82\xB5\x82\xDC\x82\xB5\x82\xBD) => (renew)"},
    {ASK, JA_UTF8,
     "1: tex\\b.png (\xE9\xA1\x9E\xE6\x8E\xA8\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F) => (renew)"},
    {ASK, EN,
     "Save OK. \n"
     "\n"
     " Fixed model file  \r\n"
     " \r\n"
     " pick-new.pmx \r\n"
     " \r\n"
     " was saved. \r\n"
     "\n"},
    {ASK, JA,
     "Save OK. \n"
     "\n"
     " \x90\xDD\x92\xE8\x82\xF0\x8F" "C\x95\x9C\x82\xB5\x81" "A \r\n"
     " \r\n"
     " pick-new.pmx \r\n"
     " \r\n"
     " \x82\xD6\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD. \r\n"
     "\n"},
    {ASK, EN,
     "\n"
     "Summary: \n"
     " fine.pmx: ok 1, renewed 0, still broken 0 => not saved: all links correct \n"
     " no.pmx: ok 0, renewed 0, still broken 1 => not saved: answered No \n"
     "    still broken: gone.png \n"
     " pick.pmx: ok 0, renewed 2 (picked 1, inferred 1), still broken 0 => saved pick-new.pmx \n"
     " bad.pmx: not read (pmdinforead err 2) \n"
     " cancel.pmx: ok 0, renewed 0, still broken 1 => not saved: cancelled \n"
     "    still broken: gone.png \n"
     " after.pmx: not processed \n"},
    {ASK, JA,
     "\n"
     "\x8F\x88\x97\x9D\x8C\x8B\x89\xCA: \n"
     " fine.pmx: \x90\xB3\x8F\xED 1, \x8DX\x90V 0, \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC 0 => \x95\xDB\x91\xB6\x82\xC8\x82\xB5: \x8F" "C\x95\x9C\x82\xB7\x82\xD7\x82\xAB\x89\xD3\x8F\x8A\x82\xC8\x82\xB5 \n"
     " no.pmx: \x90\xB3\x8F\xED 0, \x8DX\x90V 0, \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC 1 => \x95\xDB\x91\xB6\x82\xC8\x82\xB5: \x8F" "C\x95\x9C\x82\xB5\x82\xC8\x82\xA2\x82\xC6\x89\xF1\x93\x9A \n"
     "    \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC: gone.png \n"
     " pick.pmx: \x90\xB3\x8F\xED 0, \x8DX\x90V 2 (\x91I\x91\xF0 1, \x97\xDE\x90\x84 1), \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC 0 => pick-new.pmx \x82\xD6\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD \n"
     " bad.pmx: \x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x8E\xB8\x94s (pmdinforead err 2) \n"
     " cancel.pmx: \x90\xB3\x8F\xED 0, \x8DX\x90V 0, \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC 1 => \x95\xDB\x91\xB6\x82\xC8\x82\xB5: \x92\x86\x92" "f \n"
     "    \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC: gone.png \n"
     " after.pmx: \x96\xA2\x8F\x88\x97\x9D \n"},
    {DECLINE, EN,
     " Model: \n"
     "   x.txt \n"
     " does not have extension \".PMX\" in the file name. \n"
     " Do you like to continue? \n"
     "The conversion for this file was skipped (or aborted). \n"
     " \n"
     "No file was modified. \n"
     "\n"
     "Error code"},
    {DECLINE, JA,
     " \x83\x82\x83" "f\x83\x8B\x81" "F \n"
     "   x.txt \n"
     " \x82\xC9\x82\xCD\x8Ag\x92\xA3\x8Eq \".PMX\" \x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1. \n"
     " \x8B\xAD\x8Ds\x82\xB5\x82\xDC\x82\xB7\x82\xA9? \n"
     "\x82\xB1\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xCC\x8Aw\x8FK\x8F\x88\x97\x9D\x82\xF0\x83X\x83L\x83" "b\x83v(\x92\x86\x92" "f)\x82\xB5\x82\xDC\x82\xB7. \n"
     " \n"
     "\x8DX\x90V(\x95\xCF\x8DX)\x82\xB3\x82\xEA\x82\xBD\x83" "f\x81[\x83^\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1. \n"
     "\n"
     "Error code"},
    {DECLINE, EN,
     " x.txt: skipped, no \".PMX\" extension \n"},
    {DECLINE, JA,
     " x.txt: \x8Ag\x92\xA3\x8Eq \".PMX\" \x82\xAA\x82\xC8\x82\xA2\x82\xBD\x82\xDF\x83X\x83L\x83" "b\x83v \n"},
    {DECLINE, EN,
     "[box] Model: \r\n"
     "   x.txt \r\n"
     " does not have extension \".PMX\" in the file name. \r\n"
     " \r\n"
     " Do you like to continue? "},
    {DECLINE, JA,
     "[box] \x83\x82\x83" "f\x83\x8B\x81" "F \r\n"
     "   x.txt \r\n"
     " \x82\xC9\x82\xCD\x8Ag\x92\xA3\x8Eq \".PMX\" \x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1. \r\n"
     " \r\n"
     " \x8B\xAD\x8Ds\x82\xB5\x82\xDC\x82\xB7\x82\xA9? "},
    {DECLINE, JA_UTF8,
     "[box] The model file \r\n"
     " does not have extension \".PMX\" in the file name. \r\n"
     " \r\n"
     " Do you like to continue? "},
    {AUTO, EN,
     " Unmatched twisting axis settings of \r\n"
     " left arm twist \r\n"
     " left wrist twist \r\n"
     " right arm twist \r\n"
     " right wrist twist \r\n"
     " bones are found in the model: \r\n"
     " twist.pmx \r\n"
     "\r\n"
     " Do you like to fix them?  (Y/N/Cancel) \r\n"
     " => YES \n"},
    {AUTO, JA,
     " \x83\x82\x83" "f\x83\x8B\x81" "F \r\n"
     " twist.pmx \r\n"
     " \x92\x86\x82\xCC \r\n"
     " \x81@\x8D\xB6\x98r\x9D\x80  \r\n"
     " \x81@\x8D\xB6\x8E\xE8\x9D\x80  \r\n"
     " \x81@\x89" "E\x98r\x9D\x80  \r\n"
     " \x81@\x89" "E\x8E\xE8\x9D\x80  \r\n"
     " \x82\xCC\x90\xDD\x92\xE8\x8F\xEE\x95\xF1\x82\xC9\x95s\x88\xEA\x92v\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB7. \r\n"
     " \r\n"
     " \x8F" "C\x90\xB3\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81H (Y/N/Cancel) \r\n"
     " => YES \n"},
    {AUTO, EN,
     "0: lost.png (left broken)\n"},
    {AUTO, JA,
     "0: lost.png (\x94j\x91\xB9\x82\xB5\x82\xBD\x82\xDC\x82\xDC)\n"},
    {AUTO, JA_UTF8,
     "0: lost.png (\xE7\xA0\xB4\xE6\x90\x8D\xE3\x81\x97\xE3\x81\x9F\xE3\x81\xBE\xE3\x81\xBE)\n"},
    {AUTO, EN,
     " The model \r\n"
     " nothing.pmx \r\n"
     " was uncorrected. \r\n"
     " 1 texture link(s) are left broken. \r\n"
     "\n"},
    {AUTO, JA,
     " \x83\x82\x83" "f\x83\x8B\x81" "F \r\n"
     " nothing.pmx \r\n"
     " \x82\xCD\x8F" "C\x95\x9C\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD. \r\n"
     " 1 \x8C\xC2\x82\xCC\x83" "e\x83N\x83X\x83`\x83\x83\x82\xD6\x82\xCC\x83\x8A\x83\x93\x83N\x82\xAA \r\n"
     " \x94j\x91\xB9\x82\xB5\x82\xBD\x82\xDC\x82\xDC\x82\xC5\x82\xB7. \r\n"
     "\n"},
    {AUTO, EN,
     "4: toon01.bmp (shared toon)\n"},
    {AUTO, JA,
     "4: toon01.bmp (\x8B\xA4\x97L\x83g\x83" "D\x81[\x83\x93)\n"},
    {AUTO, JA_UTF8,
     "4: toon01.bmp (\xE5\x85\xB1\xE6\x9C\x89\xE3\x83\x88\xE3\x82\xA5\xE3\x83\xBC\xE3\x83\xB3)\n"},
    {AUTO, EN,
     "--- \n"
     "0: tex\\body.png (found: case) => (renew) Tex\\Body.PNG \n"
     "1: x\\m.png (found: moved) => (renew) deep\\m.png \n"
     "2: conv\\c.bmp (found: converted) => (renew) conv\\c.png \n"
     "3: \x94\xAF.png (found: mangled) => (renew) \xE9\xAB\xAA.png \n"
     "4: toon"},
    {AUTO, JA,
     "--- \n"
     "0: tex\\body.png (\x94\xAD\x8C\xA9: \x91\xE5\x95\xB6\x8E\x9A\x8F\xAC\x95\xB6\x8E\x9A) => (renew) Tex\\Body.PNG \n"
     "1: x\\m.png (\x94\xAD\x8C\xA9: \x88\xDA\x93\xAE) => (renew) deep\\m.png \n"
     "2: conv\\c.bmp (\x94\xAD\x8C\xA9: \x8C`\x8E\xAE\x95\xCF\x8A\xB7) => (renew) conv\\c.png \n"
     "3: \x94\xAF.png (\x94\xAD\x8C\xA9: \x95\xB6\x8E\x9A\x89\xBB\x82\xAF) => (renew) \xE9\xAB\xAA.png \n"
     "4: toon"},
    {AUTO, JA_UTF8,
     "--- \n"
     "0: tex\\body.png (\xE7\x99\xBA\xE8\xA6\x8B: \xE5\xA4\xA7\xE6\x96\x87\xE5\xAD\x97\xE5\xB0\x8F\xE6\x96\x87\xE5\xAD\x97) => (renew) Tex\\Body.PNG \n"
     "1: x\\m.png (\xE7\x99\xBA\xE8\xA6\x8B: \xE7\xA7\xBB\xE5\x8B\x95) => (renew) deep\\m.png \n"
     "2: conv\\c.bmp (\xE7\x99\xBA\xE8\xA6\x8B: \xE5\xBD\xA2\xE5\xBC\x8F\xE5\xA4\x89\xE6\x8F\x9B) => (renew) conv\\c.png \n"
     "3: \x94\xAF.png (\xE7\x99\xBA\xE8\xA6\x8B: \xE6\x96\x87\xE5\xAD\x97\xE5\x8C\x96\xE3\x81\x91) => (renew) \xE9\xAB\xAA.png \n"
     "4: toon"},
    {AUTO, EN,
     "\n"
     "Summary: \n"
     " twist.pmx: ok 0, renewed 0, still broken 1 => saved twist-new.pmx \n"
     "    still broken: lost.png \n"
     " nothing.pmx: ok 0, renewed 0, still broken 1 => not saved: no link renewed \n"
     "    still broken: lost.png \n"
     " search.pmx: ok 0, shared toon 1, renewed 4 (found: case 1, found: moved 1, found: converted 1, found: mangled 1), still broken 0 => saved search-new.pmx \n"
     " fail.pmx: ok 0, renewed 0, still broken 0 => save failed: permission denied \n"
     "[box]"},
    {AUTO, JA,
     "\n"
     "\x8F\x88\x97\x9D\x8C\x8B\x89\xCA: \n"
     " twist.pmx: \x90\xB3\x8F\xED 0, \x8DX\x90V 0, \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC 1 => twist-new.pmx \x82\xD6\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD \n"
     "    \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC: lost.png \n"
     " nothing.pmx: \x90\xB3\x8F\xED 0, \x8DX\x90V 0, \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC 1 => \x95\xDB\x91\xB6\x82\xC8\x82\xB5: \x8DX\x90V\x82\xC5\x82\xAB\x82\xBD\x83\x8A\x83\x93\x83N\x82\xC8\x82\xB5 \n"
     "    \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC: lost.png \n"
     " search.pmx: \x90\xB3\x8F\xED 0, \x8B\xA4\x97L\x83g\x83" "D\x81[\x83\x93 1, \x8DX\x90V 4 (\x94\xAD\x8C\xA9: \x91\xE5\x95\xB6\x8E\x9A\x8F\xAC\x95\xB6\x8E\x9A 1, \x94\xAD\x8C\xA9: \x88\xDA\x93\xAE 1, \x94\xAD\x8C\xA9: \x8C`\x8E\xAE\x95\xCF\x8A\xB7 1, \x94\xAD\x8C\xA9: \x95\xB6\x8E\x9A\x89\xBB\x82\xAF 1), \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC 0 => search-new.pmx \x82\xD6\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD \n"
     " fail.pmx: \x90\xB3\x8F\xED 0, \x8DX\x90V 0, \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC 0 => \x95\xDB\x91\xB6\x8E\xB8\x94s: \x83" "A\x83N\x83Z\x83X\x8B\x91\x94\xDB \n"
     "[box]"},
    {PROMPT, EN,
     " Press Enter to close. "},
    {PROMPT, JA,
     " Enter \x83L\x81[\x82\xF0\x89\x9F\x82\xB7\x82\xC6\x95\xC2\x82\xB6\x82\xDC\x82\xB7. "},
    {NAMES, EN,
     "alias.ini could not be read: no English names can be filled in (empty ones take the Japanese name). \n"},
    {NAMES, JA,
     "alias.ini \x82\xF0\x93\xC7\x82\xDF\x82\xC8\x82\xA2\x82\xBD\x82\xDF\x81" "A\x89p\x8C\xEA\x96\xBC\x82\xF0\x8D\xEC\x82\xEA\x82\xDC\x82\xB9\x82\xF1 "
     "(\x8B\xF3\x82\xCC\x89p\x8C\xEA\x96\xBC\x82\xC9\x82\xCD\x93\xFA\x96{\x8C\xEA\x96\xBC\x82\xAA\x93\xFC\x82\xE8\x82\xDC\x82\xB7). \n"},
    {NAMES, EN,
     "Save OK. \n"
     "\n"
     " Added English bone/morph/frame names, \r\n"
     " \r\n"
     " names-new.pmx \r\n"
     " \r\n"
     " was saved. \r\n"
     "\n"},
    {NAMES, JA,
     "Save OK. \n"
     "\n"
     " \x89p\x8C\xEA\x96\xBC(\x83{\x81[\x83\x93\x81^\x83\x82\x81[\x83t\x81^\x95\\\x8E\xA6\x98g)\x82\xF0\x92\xC7\x89\xC1\x82\xB5\x81" "A \r\n"
     " \r\n"
     " names-new.pmx \r\n"
     " \r\n"
     " \x82\xD6\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD. \r\n"
     "\n"},
    {NAMES, EN,
     "Save OK. \n"
     "\n"
     " Added English bone/morph/frame names, \r\n"
     " and fixed model file settings. \r\n"
     " \r\n"
     " twist-new.pmx \r\n"
     " \r\n"
     " was saved. \r\n"
     " 1 texture link(s) are left broken. \r\n"
     "\n"},
    {NAMES, JA,
     "Save OK. \n"
     "\n"
     " \x89p\x8C\xEA\x96\xBC(\x83{\x81[\x83\x93\x81^\x83\x82\x81[\x83t\x81^\x95\\\x8E\xA6\x98g)\x82\xF0\x92\xC7\x89\xC1\x82\xB5\x81" "A \r\n"
     " \x90\xDD\x92\xE8\x82\xF0\x8F" "C\x95\x9C\x82\xB5\x81" "A \r\n"
     " \r\n"
     " twist-new.pmx \r\n"
     " \r\n"
     " \x82\xD6\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD. \r\n"
     " 1 \x8C\xC2\x82\xCC\x83" "e\x83N\x83X\x83`\x83\x83\x82\xD6\x82\xCC\x83\x8A\x83\x93\x83N\x82\xAA \r\n"
     " \x94j\x91\xB9\x82\xB5\x82\xBD\x82\xDC\x82\xDC\x82\xC5\x82\xB7. \r\n"
     "\n"},
    {QUIET_ASK, EN,
     "[1/6] fine.pmx \n"
     " => not saved: all links correct \n"
     "[2/6]"},
    {QUIET_ASK, EN,
     "  tex\\a.png => pics\\a2.png (picked) \n"
     "  tex\\b.png => pics\\b.png (inferred) \n"
     " => saved pick-new.pmx \n"
     "[4/6] bad.pmx \n"
     " => not read (pmdinforead err 2) \n"
     "[5/6] cancel.pmx \n"},
    {QUIET_ASK, EN,
     "  gone.png (left broken) \n"
     " => not saved: cancelled \n"},
    {QUIET_ASK, JA,
     "[1/6] fine.pmx \n"
     " => \x95\xDB\x91\xB6\x82\xC8\x82\xB5: \x8F" "C\x95\x9C\x82\xB7\x82\xD7\x82\xAB\x89\xD3\x8F\x8A\x82\xC8\x82\xB5 \n"
     "[2/6]"},
    {QUIET_ASK, JA,
     "  tex\\a.png => pics\\a2.png (\x91I\x91\xF0\x82\xB5\x82\xDC\x82\xB5\x82\xBD) \n"
     "  tex\\b.png => pics\\b.png (\x97\xDE\x90\x84\x82\xB5\x82\xDC\x82\xB5\x82\xBD) \n"
     " => pick-new.pmx \x82\xD6\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD \n"
     "[4/6] bad.pmx \n"
     " => \x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x8E\xB8\x94s (pmdinforead err 2) \n"
     "[5/6] cancel.pmx \n"},
    {QUIET_ASK, JA,
     "  gone.png (\x94j\x91\xB9\x82\xB5\x82\xBD\x82\xDC\x82\xDC) \n"
     " => \x95\xDB\x91\xB6\x82\xC8\x82\xB5: \x92\x86\x92" "f \n"},
    {QUIET_DECLINE, EN,
     " => skipped, no \".PMX\" extension \n"},
    {QUIET_DECLINE, JA,
     " => \x8Ag\x92\xA3\x8Eq \".PMX\" \x82\xAA\x82\xC8\x82\xA2\x82\xBD\x82\xDF\x83X\x83L\x83" "b\x83v \n"},
    {QUIET_AUTO, EN,
     "[1/4] twist.pmx \n"
     "  lost.png (left broken) \n"
     " => saved twist-new.pmx \n"
     "[2/4] nothing.pmx \n"
     "  lost.png (left broken) \n"
     " => not saved: no link renewed \n"
     "[3/4] search.pmx \n"
     "  tex\\body.png => Tex\\Body.PNG (found: case) \n"
     "  x\\m.png => deep\\m.png (found: moved) \n"
     "  conv\\c.bmp => conv\\c.png (found: converted) \n"
     "  \x94\xAF.png => \xE9\xAB\xAA.png (found: mangled) \n"
     "  toon01.bmp (shared toon) \n"
     " => saved search-new.pmx \n"
     "[4/4] fail.pmx \n"
     " => save failed: permission denied \n"},
    {QUIET_AUTO, JA,
     "[1/4] twist.pmx \n"
     "  lost.png (\x94j\x91\xB9\x82\xB5\x82\xBD\x82\xDC\x82\xDC) \n"
     " => twist-new.pmx \x82\xD6\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD \n"
     "[2/4] nothing.pmx \n"
     "  lost.png (\x94j\x91\xB9\x82\xB5\x82\xBD\x82\xDC\x82\xDC) \n"
     " => \x95\xDB\x91\xB6\x82\xC8\x82\xB5: \x8DX\x90V\x82\xC5\x82\xAB\x82\xBD\x83\x8A\x83\x93\x83N\x82\xC8\x82\xB5 \n"
     "[3/4] search.pmx \n"
     "  tex\\body.png => Tex\\Body.PNG (\x94\xAD\x8C\xA9: \x91\xE5\x95\xB6\x8E\x9A\x8F\xAC\x95\xB6\x8E\x9A) \n"
     "  x\\m.png => deep\\m.png (\x94\xAD\x8C\xA9: \x88\xDA\x93\xAE) \n"
     "  conv\\c.bmp => conv\\c.png (\x94\xAD\x8C\xA9: \x8C`\x8E\xAE\x95\xCF\x8A\xB7) \n"
     "  \x94\xAF.png => \xE9\xAB\xAA.png (\x94\xAD\x8C\xA9: \x95\xB6\x8E\x9A\x89\xBB\x82\xAF) \n"
     "  toon01.bmp (\x8B\xA4\x97L\x83g\x83" "D\x81[\x83\x93) \n"
     " => search-new.pmx \x82\xD6\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD \n"
     "[4/4] fail.pmx \n"
     " => \x95\xDB\x91\xB6\x8E\xB8\x94s: \x83" "A\x83N\x83Z\x83X\x8B\x91\x94\xDB \n"},
    {NAMES, EN,
     "Not saved: kept-new.pmx exists (-O replaces it). \n"
     "\n"},
    {NAMES, JA,
     "\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB9\x82\xF1: kept-new.pmx \x82\xAA\x8A\xF9\x82\xC9\x82\xA0\x82\xE8\x82\xDC\x82\xB7 (-O \x82\xC5\x92u\x82\xAB\x8A\xB7\x82\xA6\x82\xDC\x82\xB7). \n"
     "\n"},
    {NAMES, EN,
     "\n"
     "Summary: \n"
     " names.pmx: ok 0, renewed 0, still broken 0 => saved names-new.pmx (names filled 3) \n"
     " twist.pmx: ok 0, renewed 0, still broken 1 => saved twist-new.pmx (names filled 3) \n"
     "    still broken: lost.png \n"
     " kept.pmx: ok 0, renewed 0, still broken 0 => not saved: kept-new.pmx exists \n"
     " filled.pmx: ok 0, renewed 0, still broken 0 => not saved: nothing to change \n"},
    {NAMES, JA,
     "\n"
     "\x8F\x88\x97\x9D\x8C\x8B\x89\xCA: \n"
     " names.pmx: \x90\xB3\x8F\xED 0, \x8DX\x90V 0, \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC 0 => names-new.pmx \x82\xD6\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD (\x89p\x8C\xEA\x96\xBC\x82\xF0\x92\xC7\x89\xC1 3) \n"
     " twist.pmx: \x90\xB3\x8F\xED 0, \x8DX\x90V 0, \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC 1 => twist-new.pmx \x82\xD6\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD (\x89p\x8C\xEA\x96\xBC\x82\xF0\x92\xC7\x89\xC1 3) \n"
     "    \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC: lost.png \n"
     " kept.pmx: \x90\xB3\x8F\xED 0, \x8DX\x90V 0, \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC 0 => \x95\xDB\x91\xB6\x82\xC8\x82\xB5: kept-new.pmx \x82\xAA\x8A\xF9\x82\xC9\x82\xA0\x82\xE8\x82\xDC\x82\xB7 \n"
     " filled.pmx: \x90\xB3\x8F\xED 0, \x8DX\x90V 0, \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC 0 => \x95\xDB\x91\xB6\x82\xC8\x82\xB5: \x95\xCF\x8DX\x82\xB7\x82\xE9\x89\xD3\x8F\x8A\x82\xC8\x82\xB5 \n"},
    {PORTABLE, EN,
     "0: TEX\\port.png (ok) (not portable: case)\n"
     "1: ..\\ok.png (ok) (not portable: outside the folder)\n"
     "2: ..\\bad.pmx (ok) (not portable: not an image)\n"
     "\n"
     " The model \r\n"
     " port.pmx \r\n"
     " has 2 texture link(s) that are not portable. \r\n"
     " \r\n"
     " Do you like to make them portable?  (Y/N/Cancel) \r\n"
     " => YES \n"
     "\n"
     "--- portable: \n"
     "0: TEX\\port.png (portable: case) => (renew) tex\\port.png \n"
     "1: ..\\ok.png (portable: copied in) => (renew) shared\\ok.png \n"
     "2: ..\\bad.pmx (not portable: not an image)\n"},
    {PORTABLE, EN,
     " Made the model portable, \r\n"
     " \r\n"
     " port-new.pmx \r\n"
     " \r\n"
     " was saved. \r\n"
     " 2 link(s) were made portable. \r\n"
     " 1 link(s) are not portable. \r\n"
     "\n"},
    {PORTABLE, EN,
     "1: ..\\ok.png (ok) (not portable: outside the folder)\n"
     "\n"
     " Broken settings of \r\n"
     " 1 texture link(s) are found, \r\n"
     " and 1 link(s) are not portable. \r\n"
     " \r\n"
     " Do you like to fix them?  (Y/N/Cancel) \r\n"
     " => YES \n"
     "\n"
     "--- \n"
     "0: q-gone.png (left broken)\n"
     "1: ..\\ok.png (ok)\n"},
    {PORTABLE, EN,
     "\n"
     "--- portable: \n"
     "1: ..\\ok.png (not portable: copy failed: another file of that name is in the way)\n"
     "\n"},
    {PORTABLE, EN,
     " p\\port.pmx: ok 3, renewed 0, portable 2 (case 1, copied in 1), still broken 0, not portable 1 => saved port-new.pmx \n"
     " q\\port.pmx: ok 1, renewed 0, still broken 1, not portable 1 => not saved: no link renewed \n"
     "    still broken: q-gone.png \n"
     " r\\port.pmx: ok 1, renewed 0, still broken 0 => not saved: nothing to change \n"},
    {PORTABLE, JA,
     "0: TEX\\port.png (ok) (\x83|\x81[\x83^\x83u\x83\x8B\x82\xC5\x82\xC8\x82\xA2: \x91\xE5\x95\xB6\x8E\x9A\x8F\xAC\x95\xB6\x8E\x9A)\n"
     "1: ..\\ok.png (ok) (\x83|\x81[\x83^\x83u\x83\x8B\x82\xC5\x82\xC8\x82\xA2: \x83t\x83H\x83\x8B\x83_\x82\xCC\x8AO)\n"
     "2: ..\\bad.pmx (ok) (\x83|\x81[\x83^\x83u\x83\x8B\x82\xC5\x82\xC8\x82\xA2: \x89\xE6\x91\x9C\x82\xC5\x82\xCD\x82\xC8\x82\xA2)\n"
     "\n"
     " \x83\x82\x83" "f\x83\x8B\x81" "F \r\n"
     " port.pmx \r\n"
     " \x92\x86\x82\xCC \r\n"
     " 2 \x8C\xC2\x82\xCC\x83" "e\x83N\x83X\x83`\x83\x83\x82\xD6\x82\xCC\x83\x8A\x83\x93\x83N\x82\xAA \r\n"
     " \x83|\x81[\x83^\x83u\x83\x8B\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1. \r\n"
     " \r\n"
     " \x83|\x81[\x83^\x83u\x83\x8B\x89\xBB\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81H (Y/N/Cancel) \r\n"
     " => YES \n"
     "\n"
     "--- \x83|\x81[\x83^\x83u\x83\x8B\x89\xBB: \n"
     "0: TEX\\port.png (\x83|\x81[\x83^\x83u\x83\x8B\x89\xBB: \x91\xE5\x95\xB6\x8E\x9A\x8F\xAC\x95\xB6\x8E\x9A) => (renew) tex\\port.png \n"
     "1: ..\\ok.png (\x83|\x81[\x83^\x83u\x83\x8B\x89\xBB: \x8E\xE6\x82\xE8\x8D\x9E\x82\xDD) => (renew) shared\\ok.png \n"
     "2: ..\\bad.pmx (\x83|\x81[\x83^\x83u\x83\x8B\x82\xC5\x82\xC8\x82\xA2: \x89\xE6\x91\x9C\x82\xC5\x82\xCD\x82\xC8\x82\xA2)\n"},
    {PORTABLE, JA,
     " \x83|\x81[\x83^\x83u\x83\x8B\x89\xBB\x82\xB5\x81" "A \r\n"
     " \r\n"
     " port-new.pmx \r\n"
     " \r\n"
     " \x82\xD6\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD. \r\n"
     " 2 \x8C\xC2\x82\xCC\x83\x8A\x83\x93\x83N\x82\xF0\x83|\x81[\x83^\x83u\x83\x8B\x89\xBB\x82\xB5\x82\xDC\x82\xB5\x82\xBD. \r\n"
     " 1 \x8C\xC2\x82\xCC\x83\x8A\x83\x93\x83N\x82\xCD\x83|\x81[\x83^\x83u\x83\x8B\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1. \r\n"
     "\n"},
    {PORTABLE, JA,
     "1: ..\\ok.png (ok) (\x83|\x81[\x83^\x83u\x83\x8B\x82\xC5\x82\xC8\x82\xA2: \x83t\x83H\x83\x8B\x83_\x82\xCC\x8AO)\n"
     "\n"
     " \x83\x82\x83" "f\x83\x8B\x81" "F \r\n"
     " port.pmx \r\n"
     " \x92\x86\x82\xCC \r\n"
     " 1 \x8C\xC2\x82\xCC\x83" "e\x83N\x83X\x83`\x83\x83\x82\xD6\x82\xCC\x83\x8A\x83\x93\x83N\x82\xAA \r\n"
     " \x94j\x91\xB9\x82\xB5\x82\xC4\x82\xA2\x82\xE9\x96\xCD\x97l\x82\xC5\x82\xB7. \r\n"
     " \x82\xD9\x82\xA9\x82\xC9 1 \x8C\xC2\x82\xCC\x83\x8A\x83\x93\x83N\x82\xAA\x83|\x81[\x83^\x83u\x83\x8B\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1. \r\n"
     " \r\n"
     " \x8F" "C\x95\x9C\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81H (Y/N/Cancel) \r\n"
     " => YES \n"
     "\n"
     "--- \n"
     "0: q-gone.png (\x94j\x91\xB9\x82\xB5\x82\xBD\x82\xDC\x82\xDC)\n"
     "1: ..\\ok.png (ok)\n"},
    {PORTABLE, JA,
     "\n"
     "--- \x83|\x81[\x83^\x83u\x83\x8B\x89\xBB: \n"
     "1: ..\\ok.png (\x83|\x81[\x83^\x83u\x83\x8B\x89\xBB\x82\xC5\x82\xAB\x82\xB8: \x83R\x83s\x81[\x8E\xB8\x94s: \x93\xAF\x82\xB6\x96\xBC\x91O\x82\xCC\x95\xCA\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB7)\n"
     "\n"},
    {PORTABLE, JA,
     " p\\port.pmx: \x90\xB3\x8F\xED 3, \x8DX\x90V 0, \x83|\x81[\x83^\x83u\x83\x8B\x89\xBB 2 (\x91\xE5\x95\xB6\x8E\x9A\x8F\xAC\x95\xB6\x8E\x9A 1, \x8E\xE6\x82\xE8\x8D\x9E\x82\xDD 1), \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC 0, \x83|\x81[\x83^\x83u\x83\x8B\x89\xBB\x82\xC5\x82\xAB\x82\xB8 1 => port-new.pmx \x82\xD6\x95\xDB\x91\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD \n"
     " q\\port.pmx: \x90\xB3\x8F\xED 1, \x8DX\x90V 0, \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC 1, \x83|\x81[\x83^\x83u\x83\x8B\x89\xBB\x82\xC5\x82\xAB\x82\xB8 1 => \x95\xDB\x91\xB6\x82\xC8\x82\xB5: \x8DX\x90V\x82\xC5\x82\xAB\x82\xBD\x83\x8A\x83\x93\x83N\x82\xC8\x82\xB5 \n"
     "    \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC: q-gone.png \n"
     " r\\port.pmx: \x90\xB3\x8F\xED 1, \x8DX\x90V 0, \x94j\x91\xB9\x82\xCC\x82\xDC\x82\xDC 0 => \x95\xDB\x91\xB6\x82\xC8\x82\xB5: \x95\xCF\x8DX\x82\xB7\x82\xE9\x89\xD3\x8F\x8A\x82\xC8\x82\xB5 \n"},
    {PORTABLE, JA_UTF8,
     "0: TEX\\port.png (ok) (\xE3\x83\x9D\xE3\x83\xBC\xE3\x82\xBF\xE3\x83\x96\xE3\x83\xAB\xE3\x81\xA7\xE3\x81\xAA\xE3\x81\x84: \xE5\xA4\xA7\xE6\x96\x87\xE5\xAD\x97\xE5\xB0\x8F\xE6\x96\x87\xE5\xAD\x97)\n"
     "1: ..\\ok.png (ok) (\xE3\x83\x9D\xE3\x83\xBC\xE3\x82\xBF\xE3\x83\x96\xE3\x83\xAB\xE3\x81\xA7\xE3\x81\xAA\xE3\x81\x84: \xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80\xE3\x81\xAE\xE5\xA4\x96)\n"
     "2: ..\\bad.pmx (ok) (\xE3\x83\x9D\xE3\x83\xBC\xE3\x82\xBF\xE3\x83\x96\xE3\x83\xAB\xE3\x81\xA7\xE3\x81\xAA\xE3\x81\x84: \xE7\x94\xBB\xE5\x83\x8F\xE3\x81\xA7\xE3\x81\xAF\xE3\x81\xAA\xE3\x81\x84)\n"
     "\n"
     " The model \r\n"
     " port.pmx \r\n"
     " has 2 texture link(s) that are not portable. \r\n"
     " \r\n"
     " Do you like to make them portable?  (Y/N/Cancel) \r\n"
     " => YES \n"
     "\n"
     "--- \xE3\x83\x9D\xE3\x83\xBC\xE3\x82\xBF\xE3\x83\x96\xE3\x83\xAB\xE5\x8C\x96: \n"
     "0: TEX\\port.png (\xE3\x83\x9D\xE3\x83\xBC\xE3\x82\xBF\xE3\x83\x96\xE3\x83\xAB\xE5\x8C\x96: \xE5\xA4\xA7\xE6\x96\x87\xE5\xAD\x97\xE5\xB0\x8F\xE6\x96\x87\xE5\xAD\x97) => (renew) tex\\port.png \n"
     "1: ..\\ok.png (\xE3\x83\x9D\xE3\x83\xBC\xE3\x82\xBF\xE3\x83\x96\xE3\x83\xAB\xE5\x8C\x96: \xE5\x8F\x96\xE3\x82\x8A\xE8\xBE\xBC\xE3\x81\xBF) => (renew) shared\\ok.png \n"
     "2: ..\\bad.pmx (\xE3\x83\x9D\xE3\x83\xBC\xE3\x82\xBF\xE3\x83\x96\xE3\x83\xAB\xE3\x81\xA7\xE3\x81\xAA\xE3\x81\x84: \xE7\x94\xBB\xE5\x83\x8F\xE3\x81\xA7\xE3\x81\xAF\xE3\x81\xAA\xE3\x81\x84)\n"},
};

std::string escaped(const std::string& s) {
  std::string e;
  char hex[8];
  for (unsigned char c : s) {
    if (c == '\n') e += "\\n\n";
    else if (c == '\r') e += "\\r";
    else if (c == '\\') e += "\\\\";
    else if (c == '"') e += "\\\"";
    else if (c >= 0x20 && c < 0x7F) e += (char)c;
    else snprintf(hex, sizeof hex, "\\x%02X", c), e += hex;
  }
  return e;
}

TEST(Messages, PrintedBytesInEveryLanguage) {
  for (const Pin& p : kPins) {
    std::string out = run(p.run, p.lang);
    EXPECT_NE(out.find(p.bytes), std::string::npos)
        << "run " << p.run << ", language " << p.lang << ": missing\n" << escaped(p.bytes) << "\nin\n" << escaped(out);
  }
}

}  // namespace
