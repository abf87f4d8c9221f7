// Whole-program runs of the automatic link search (-A): each rule on models in
// both text encodings, the choice among several candidates, a file that is
// nowhere, shared toons, moves learned from found files, and picks of files
// whose names Shift-JIS cannot hold; a model at the root of a library of
// models, and a file that is truly gone in an interactive run.
#include <cstdio>

#include "driver/link_search.h"
#include "e2e_fixture.h"

namespace {

#define EXPECT_HAS(text, what) EXPECT_NE(std::string::npos, (text).find(what)) << "missing: " << (what) << "\n--- in:\n" << (text)
#define EXPECT_LACKS(text, what) EXPECT_EQ(std::string::npos, (text).find(what)) << "unexpected: " << (what) << "\n--- in:\n" << (text)

class SearchRun : public ProgramRun {};

struct FoundCase {
  const char* name;
  std::vector<std::string> disk;  // files below the model's folder
  const char* stored;             // the link in the model
  const char* tag;
  const char* renewed;            // the link in the new model
  bool printedAsIs;               // the renewed link prints unchanged (it fits Shift-JIS)
};

const FoundCase kFound[] = {
    {"case", {"Tex/Body.PNG"}, "tex\\body.png", "(found: case)", "Tex\\Body.PNG", true},
    {"moved_same_folders_first", {"backup/a.png", "data/tex/a.png"}, "tex\\a.png", "(found: moved, 2 candidates)",
     "data\\tex\\a.png", true},
    {"moved_fewest_levels_next", {"x/y/a.png", "z/a.png"}, "tex\\a.png", "(found: moved, 2 candidates)", "z\\a.png",
     true},
    {"moved_byte_order_last", {"b/a.png", "B2/a.png", "a/a.png"}, "tex\\a.png", "(found: moved, 3 candidates)",
     "B2\\a.png", true},
    {"moved_name_outside_shift_jis", {"img/한.png"}, "tex\\한.png", "(found: moved)", "img\\한.png", false},
    {"converted", {"tex/a.png", "tex/a.txt"}, "tex\\a.bmp", "(found: converted)", "tex\\a.png", true},
    // Shift-JIS read as cp437: a mangled folder above a mangled name.
    {"mangled_cp437", {"âeâNâXâ`ââ/ò₧.png"}, "テクスチャ\\服.png", "(found: mangled)", "âeâNâXâ`ââ\\ò₧.png",
     false},
    // Read as cp1252, and the tree moved one level down.
    {"mangled_cp1252_moved", {"extra/ƒeƒNƒXƒ`ƒƒ/”§.png"}, "テクスチャ\\肌.png", "(found: mangled)",
     "extra\\ƒeƒNƒXƒ`ƒƒ\\”§.png", false},
    // UTF-8 read as cp932, the unpacker's other way round.
    {"mangled_utf8_as_cp932", {"鬮ｪ.png"}, "髪.png", "(found: mangled)", "鬮ｪ.png", true},
};

class FoundByRule : public SearchRun,
                    public ::testing::WithParamInterface<std::tuple<FoundCase, uint8_t>> {};

TEST_P(FoundByRule, RenewsWithoutBoxOrDialog) {
  const FoundCase& c = std::get<0>(GetParam());
  uint8_t encoding = std::get<1>(GetParam());
  for (const std::string& f : c.disk) put_file("m/" + f);
  std::string model = put_model("m/a.pmx", model_with({c.stored, "toon\\t.png"}, encoding));
  put_file("m/toon/t.png");
  std::string before = read_file_bytes(model);

  RunResult r = run({"-A", model}, "y\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "Auto.search = 1 \n");
  std::string line = std::string(c.tag) + " => (renew) ";
  if (c.printedAsIs) line += std::string(c.renewed) + " \n1: toon\\t.png (ok)\n";
  EXPECT_HAS(r.out, line);
  EXPECT_LACKS(r.out, "was not found.");
  EXPECT_EQ(0, count_of(r.err, "File> "));
  EXPECT_HAS(r.out, "Save OK. \n");
  EXPECT_TRUE(same_bytes_of(filled_in(model_with({c.renewed, "toon\\t.png"}, encoding)),
                            read_file_bytes(tmp / "m/a-new.pmx")));
  EXPECT_EQ(before, read_file_bytes(model));
}

INSTANTIATE_TEST_SUITE_P(Rules, FoundByRule,
                         ::testing::Combine(::testing::ValuesIn(kFound), ::testing::Values(pmxb::UTF16LE, pmxb::UTF8)),
                         [](const ::testing::TestParamInfo<std::tuple<FoundCase, uint8_t>>& i) {
                           return std::string(std::get<0>(i.param).name) +
                                  (std::get<1>(i.param) == pmxb::UTF8 ? "_utf8" : "_utf16");
                         });

TEST_F(SearchRun, FileThatIsNowhereStillGetsTheBoxAndDialog) {
  put_file("m/elsewhere/other.png");
  std::string model = put_model("m/a.pmx", model_with({"tex\\gone.png"}));
  RunResult r = run({"-A", model}, "y\n\nelsewhere/other.png\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "0: tex\\gone.png \n Texture, toon, or sphere: \r\n \r\n gone.png \r\n");
  EXPECT_HAS(r.out, "\n => (renew) elsewhere\\other.png \n");
  EXPECT_EQ(1, count_of(r.err, "File> "));
  EXPECT_TRUE(same_bytes_of(filled_in(model_with({"elsewhere\\other.png"})), read_file_bytes(tmp / "m/a-new.pmx")));
}

TEST_F(SearchRun, FoundFileTeachesItsMoveToTheNextLinkAndModel) {
  put_file("m/textures/a.png");
  put_file("m/textures/b.png");
  put_file("n/textures/c.png");
  std::string first = put_model("m/a.pmx", model_with({"tex\\a.png", "tex\\b.png"}));
  std::string second = put_model("n/c.pmx", model_with({"tex\\c.png"}));
  RunResult r = run({"-A", first, second}, "y\ny\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "0: tex\\a.png (found: moved) => (renew) textures\\a.png \n"
                    "1: tex\\b.png (inferred) => (renew) textures\\b.png \n");
  EXPECT_HAS(r.out, "0: tex\\c.png (inferred) => (renew) textures\\c.png \n");
  EXPECT_EQ(2, count_of(r.out, "Save OK. \n"));
}

TEST_F(SearchRun, SharedToonsAloneAreNotBroken) {
  std::string model = put_model("m/a.pmx", model_with({"toon01.bmp", "TOON10.BMP"}));
  RunResult r = run({"-A", model});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "0: toon01.bmp (shared toon)\n1: TOON10.BMP (shared toon)\n\n");
  EXPECT_LACKS(r.out, "texture link(s) are found.");
  EXPECT_HAS(r.out, " are correct. \r\n");
  EXPECT_FALSE(file_exists(tmp / "m/a-new.pmx"));

  // Without the option they are broken links as before.
  r = run({model}, "n\n");
  EXPECT_HAS(r.out, "0: toon01.bmp (=NG=)\n1: TOON10.BMP (=NG=)\n");
  EXPECT_HAS(r.out, " 2 texture link(s) are found. \r\n");
}

TEST_F(SearchRun, SharedToonsAreKeptBesideARepair) {
  put_file("m/textures/a.png");
  // Only toon01 to toon10 with no folder are the viewer's.
  std::string model = put_model("m/a.pmx", model_with({"toon01.bmp", "tex\\a.png", "toon11.bmp", "t\\toon02.bmp"}));
  RunResult r = run({"-A", model}, "y\nc\n");
  EXPECT_HAS(r.out, "0: toon01.bmp (shared toon)\n1: tex\\a.png (=NG=)\n2: toon11.bmp (=NG=)\n"
                    "3: t\\toon02.bmp (=NG=)\n");
  EXPECT_HAS(r.out, " 3 texture link(s) are found. \r\n");
  EXPECT_HAS(r.out, "--- \n0: toon01.bmp (shared toon)\n1: tex\\a.png (found: moved)");
  EXPECT_HAS(r.out, "2: toon11.bmp \n Texture, toon, or sphere:");

  std::string kept = put_model("k/a.pmx", model_with({"toon01.bmp", "tex\\a.png"}));
  put_file("k/textures/a.png");
  r = run({"-A", kept}, "y\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "--- \n0: toon01.bmp (shared toon)\n1: tex\\a.png (found: moved) => (renew) textures\\a.png \n");
  EXPECT_TRUE(same_bytes_of(filled_in(model_with({"toon01.bmp", "textures\\a.png"})), read_file_bytes(tmp / "k/a-new.pmx")));
}

TEST_F(SearchRun, JapaneseTags) {
  put_file("m/Img/A.png");
  put_file("m/moved/b.png");
  put_file("m/tex/c.png");
  put_file("m/鬮ｪ.png");
  std::string model = put_model("m/a.pmx", model_with({"img\\a.png", "x\\b.png", "tex\\c.bmp", "髪.png", "toon03.bmp"}));
  RunResult r = run({"-A", model}, "y\n", "", {{"LANG", "ja_JP.UTF-8"}});
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "0: img\\a.png (発見: 大文字小文字) => (renew) Img\\A.png \n"
                    "1: x\\b.png (発見: 移動) => (renew) moved\\b.png \n"
                    "2: tex\\c.bmp (発見: 形式変換) => (renew) tex\\c.png \n"
                    "3: 髪.png (発見: 文字化け) => (renew) 鬮ｪ.png \n"
                    "4: toon03.bmp (共有トゥーン)\n");
}

TEST_F(SearchRun, WithoutTheOptionNothingIsSearched) {
  put_file("m/Tex/Body.PNG");
  std::string model = put_model("m/a.pmx", model_with({"tex\\body.png", "toon01.bmp"}));
  RunResult r = run({model}, "y\nc\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_LACKS(r.out, "Auto.search");
  EXPECT_HAS(r.out, "--- \n0: tex\\body.png \n Texture, toon, or sphere: \r\n");
  EXPECT_HAS(r.out, " => Cancel \n\n");
  EXPECT_FALSE(file_exists(tmp / "m/a-new.pmx"));
}

// A file chosen in the dialog whose name Shift-JIS cannot hold is linked by its
// UTF-16 form, and its folder is learned as for any pick.
class AnyNamePick : public SearchRun, public ::testing::WithParamInterface<std::tuple<bool, uint8_t>> {};

TEST_P(AnyNamePick, IsLinkedAndSaved) {
  bool search = std::get<0>(GetParam());
  uint8_t encoding = std::get<1>(GetParam());
  const std::string name = "₧한\xF0\x9F\x98\x80.png";  // a mangling, Hangul, an emoji
  put_file("m/textures/" + name);
  put_file("m/textures/b.png");
  std::string model = put_model("m/a.pmx", model_with({"tex\\a.png", "tex\\b.png"}, encoding));
  std::vector<std::string> args;
  if (search) args.push_back("-A");
  args.push_back(model);
  RunResult r = run(args, "y\n\ntextures/" + name + "\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_LACKS(r.out, "Cannot find tex(");
  EXPECT_HAS(r.out, "\n => (renew) textures\\");
  EXPECT_HAS(r.out, "1: tex\\b.png (inferred) => (renew) textures\\b.png \n");
  EXPECT_HAS(r.out, "Save OK. \n");
  EXPECT_TRUE(same_bytes_of(filled_in(model_with({"textures\\" + name, "textures\\b.png"}, encoding)),
                            read_file_bytes(tmp / "m/a-new.pmx")));
}

INSTANTIATE_TEST_SUITE_P(BothWays, AnyNamePick,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(pmxb::UTF16LE, pmxb::UTF8)));

// ---- a library of models --------------------------------------------------------

// A model at the root of a folder that holds other models, the stored place
// against files elsewhere, the candidates counted and the listing's bounds.
struct LibraryCase {
  const char* name;
  std::vector<std::string> disk;  // below the model's folder; "x/*" fills x with a listing's worth of files
  const char* stored;
  const char* listed;   // the repair line after "0: <stored> ", to the end of the listing
  const char* renewed;  // the link in the new model; null: nothing saved
  bool japanese = false;
};

const LibraryCase kLibrary[] = {
    {"other_model_beside", {"other/o.pmx", "other/tex/face.png"}, "tex\\face.png",
     "(left broken)\n   (not taken: other\\tex\\face.png lies in another model's folder other\\) \n", nullptr},
    {"other_model_deeper", {"pack/sub/B.PMD", "pack/sub/img/face.png", "pack/readme.txt"}, "tex\\face.png",
     "(left broken)\n   (not taken: pack\\sub\\img\\face.png lies in another model's folder pack\\sub\\) \n",
     nullptr},
    {"model_below_a_model_names_the_outer", {"a/a.Pmx", "a/b/b.pmx", "a/b/face.png"}, "tex\\face.png",
     "(left broken)\n   (not taken: a\\b\\face.png lies in another model's folder a\\) \n", nullptr},
    {"other_model_not_taken_japanese", {"other/o.pmx", "other/face.png"}, "tex\\face.png",
     "(破損したまま)\n   (採用せず: other\\face.png は別のモデルのフォルダ other\\ 内にあります) \n", nullptr, true},
    {"a_folder_named_like_a_model_is_none", {"x.pmx/face.png"}, "tex\\face.png",
     "(found: moved) => (renew) x.pmx\\face.png \n", "x.pmx\\face.png"},
    {"own_folder_never_counts", {"sibling.pmx", "face.png"}, "tex\\face.png",
     "(found: moved) => (renew) face.png \n", "face.png"},
    {"taken_outside_other_models_only", {"other/o.pmx", "other/face.png", "textures/face.png"}, "tex\\face.png",
     "(found: moved) => (renew) textures\\face.png \n", "textures\\face.png"},
    {"stored_path_may_lead_there_case", {"other/o.pmx", "other/Tex/Face.png"}, "other\\tex\\face.png",
     "(found: case) => (renew) other\\Tex\\Face.png \n", "other\\Tex\\Face.png"},
    {"stored_path_may_lead_there_mangled", {"other/o.pmx", "other/鬮ｪ.png"}, "other\\髪.png",
     "(found: mangled) => (renew) other\\鬮ｪ.png \n", "other\\鬮ｪ.png"},
    {"stored_path_leads_no_converted_there", {"other/o.pmx", "other/tex/face.bmp"}, "other\\tex\\face.png",
     "(left broken)\n   (not taken: other\\tex\\face.bmp lies in another model's folder other\\) \n", nullptr},
    {"stored_place_case_before_moved", {"Tex/Face.png", "a/tex/face.png"}, "tex\\face.png",
     "(found: case) => (renew) Tex\\Face.png \n", "Tex\\Face.png"},
    {"stored_place_converted_before_moved", {"tex/face.bmp", "original/face.png"}, "tex\\face.png",
     "(found: converted) => (renew) tex\\face.bmp \n", "tex\\face.bmp"},
    {"stored_place_mangled_before_moved", {"鬮ｪ.png", "old/髪.png"}, "髪.png",
     "(found: mangled) => (renew) 鬮ｪ.png \n", "鬮ｪ.png"},
    {"moved_candidates_by_byte_order", {"Tex_old/face.png", "textures/face.png"}, "tex\\face.png",
     "(found: moved, 2 candidates) => (renew) Tex_old\\face.png \n", "Tex_old\\face.png"},
    {"moved_candidates_folders_alike", {"backup/2019/tex/face.png", "face.png"}, "tex\\face.png",
     "(found: moved, 2 candidates) => (renew) backup\\2019\\tex\\face.png \n", "backup\\2019\\tex\\face.png"},
    {"converted_candidates_here_and_elsewhere", {"tex/face.bmp", "old/face.tga", "other/o.pmx", "other/face.dds"},
     "tex\\face.png", "(found: converted, 2 candidates) => (renew) tex\\face.bmp \n", "tex\\face.bmp"},
    {"case_candidates", {"Tex/face.png", "TEX/Face.png"}, "tex\\face.png",
     "(found: case, 2 candidates) => (renew) TEX\\Face.png \n", "TEX\\Face.png"},
    {"candidates_japanese", {"Tex_old/face.png", "textures/face.png"}, "tex\\face.png",
     "(発見: 移動, 候補 2 件) => (renew) Tex_old\\face.png \n", "Tex_old\\face.png", true},
    {"bound_of_levels", {"textures/face.png", "1/2/3/4/5/6/7/8/9/face.png"}, "tex\\face.png",
     "(found: moved) => (renew) textures\\face.png \n"
     "   (search: the listing below the model's folder stopped at 8 levels; deeper files were not searched) \n",
     "textures\\face.png"},
    {"bound_of_entries", {"many/*", "zz/face.png"}, "tex\\face.png",
     "(left broken)\n"
     "   (search: the listing below the model's folder stopped at 30000 entries; files past them were not searched) \n",
     nullptr},
};

class LibraryRun : public SearchRun, public ::testing::WithParamInterface<LibraryCase> {};

TEST_P(LibraryRun, TakesWhatTheModelOwnsAndSaysWhy) {
  const LibraryCase& c = GetParam();
  for (const std::string& f : c.disk) {
    if (f.size() < 2 || f.compare(f.size() - 2, 2, "/*") != 0) {
      put_file("lib/" + f);
      continue;
    }
    std::string folder = tmp / ("lib/" + f.substr(0, f.size() - 1));
    ASSERT_TRUE(make_dirs(folder));
    for (int i = 0; i < LINK_WALK_MAX_ENTRIES; i++) {
      FILE* file = std::fopen((folder + std::to_string(i)).c_str(), "wb");
      ASSERT_TRUE(file != nullptr);
      std::fclose(file);
    }
  }
  std::string model = put_model("lib/a.pmx", model_with({c.stored}));
  std::vector<std::pair<std::string, std::string>> env;
  if (c.japanese) env.push_back({"LANG", "ja_JP.UTF-8"});
  RunResult r = run({"-A", "-Y", model}, "", "", env);
  EXPECT_EQ(c.renewed ? 0 : 32, r.exitCode);
  EXPECT_HAS(r.out, std::string("--- \n0: ") + c.stored + " " + c.listed + "\n");
  if (c.renewed)
    EXPECT_TRUE(same_bytes_of(filled_in(model_with({c.renewed})), read_file_bytes(tmp / "lib/a-new.pmx")));
  else
    EXPECT_FALSE(file_exists(tmp / "lib/a-new.pmx"));
}

INSTANTIATE_TEST_SUITE_P(Library, LibraryRun, ::testing::ValuesIn(kLibrary),
                         [](const ::testing::TestParamInfo<LibraryCase>& i) { return std::string(i.param.name); });

// ---- one gone file -------------------------------------------------------------

// Answers: Yes to the repair, OK to each not-found box, an empty line to the
// dialog, which cancels it. With -A that leaves the one link broken; the
// box's own Cancel still ends the run.
TEST_F(SearchRun, GoneFileCostsOnlyItsOwnLink) {
  put_file("m/textures/b.png");
  std::string model = put_model("m/a.pmx", model_with({"tex\\a.png", "tex\\b.png", "tex\\c.png"}));
  const struct {
    const char* answers;
    std::vector<const char*> has;
    std::vector<std::string> saved;  // the links of the new model; empty: nothing saved
  } cases[] = {
      {"y\n\n\n\n\n",
       {" Please select it on the next dialogue. (continue:OK) \r\n"
        " (Cancel the dialogue to leave this link broken.) \r\n",
        "\n => (left broken) \n1: tex\\b.png (found: moved) => (renew) textures\\b.png \n2: tex\\c.png \n",
        "\n => (left broken) \n\nSaving in ANSI/UTF-8 mode. \n",
        " was saved. \r\n 2 texture link(s) are left broken. \r\n"},
       {"tex\\a.png", "textures\\b.png", "tex\\c.png"}},
      {"y\nc\n", {" => Cancel \n\n"}, {}},
      {"y\n\n\nc\n", {"1: tex\\b.png (found: moved)", "2: tex\\c.png \n", " => Cancel \n\n"}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answers);
    std::remove((tmp / "m/a-new.pmx").c_str());
    RunResult r = run({"-A", model}, c.answers);
    EXPECT_EQ(0, r.exitCode);
    for (const char* text : c.has) EXPECT_HAS(r.out, text);
    EXPECT_LACKS(r.out, "Cannot find tex(");
    if (c.saved.empty())
      EXPECT_FALSE(file_exists(tmp / "m/a-new.pmx"));
    else
      EXPECT_TRUE(same_bytes_of(filled_in(model_with(c.saved)), read_file_bytes(tmp / "m/a-new.pmx")));
  }
  // Nothing renewed: not saved, and the report says what stays broken.
  std::string gone = put_model("g/a.pmx", model_with({"tex\\a.png"}));
  RunResult r = run({"-A", gone}, "y\n\n\n");
  EXPECT_EQ(0, r.exitCode);
  EXPECT_HAS(r.out, "\n => (left broken) \n\n The model \r\n a.pmx \r\n was uncorrected. \r\n"
                    " 1 texture link(s) are left broken. \r\n");
  EXPECT_FALSE(file_exists(tmp / "g/a-new.pmx"));
}

}  // namespace
