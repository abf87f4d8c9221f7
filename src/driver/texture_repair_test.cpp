#include "driver/texture_repair.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/model_state.h"
#include "driver/run_settings.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "pmx/model_store.h"
#include "support/run_program.h"
#include "text/sjis.h"

namespace {

TEST(TexFolderMap, LearnsInOrderUpToItsCapacity) {
  texfoldermap_reset();
  EXPECT_TRUE(texfoldermap_learn("tex\\", u"tex\\", "textures\\", u"textures\\"));
  EXPECT_TRUE(texfoldermap_learn("", u"", "img\\", u"img\\"));
  const char* oldF;
  const char* newF;
  ASSERT_TRUE(texfoldermap_get(1, &oldF, &newF));
  EXPECT_STREQ("", oldF);
  EXPECT_STREQ("img\\", newF);
  EXPECT_FALSE(texfoldermap_get(2, &oldF, &newF));
  for (int i = 2; i < TEX_FOLDER_MAP_MAX; ++i)
    ASSERT_TRUE(texfoldermap_learn("a\\", u"a\\", "b\\", u"b\\"));
  EXPECT_FALSE(texfoldermap_learn("c\\", u"c\\", "d\\", u"d\\"));
  EXPECT_EQ(TEX_FOLDER_MAP_MAX, texfoldermap_count());
  texfoldermap_reset();
  EXPECT_EQ(0, texfoldermap_count());
}

std::string backslashed(std::string p) {
  for (char& c : p) if (c == '/') c = '\\';
  return p;
}

ModelState ms;  // the state a phase works on, as the model loop holds it

// A model path in both forms, as the model loop sets it up.
void set_model(const std::string& model) {
  model_state_reset(ms);
  std::strcpy(ms.ansiPath, model.c_str());
  sjis_to_wide(ms.widePath, PATHBUF_CAP, model.c_str());
  std::strcpy(ms.diskName, "m.pmx");
  wide_cpy(ms.diskNameW, PATHBUF_CAP, u"m.pmx");
}

void set_texture(int k, const char* path) {
  std::strcpy(pmxModel.pmxtexlistpath[k], path);
  sjis_to_wide(pmxModel.pmxtexlistpathW[k], TEXPATH_CAP, path);
}

// Without a broken link there is no question, so no answer is needed.
TEST(TexturePhase, AllPresentAsksNothingAndRenewsNothing) {
  TempDir dir("texphase");
  ASSERT_TRUE(write_file_bytes(dir / "tex/a.png", "x"));
  ASSERT_TRUE(write_file_bytes(dir / "b.png", "x"));
  set_model(backslashed(dir / "m.pmx"));
  pmx_reset_model();
  pmxModel.texListCount = 2;
  set_texture(0, "tex\\a.png");
  set_texture(1, "b.png");

  con_capture_begin();
  texture_phase(ms);
  std::string out = con_capture_end();
  const TexturePhase& r = ms.texture;
  EXPECT_EQ(0, r.brokenLinkTotal);
  EXPECT_EQ(0, r.brokenLinkCount);
  EXPECT_FALSE(r.endRun);
  EXPECT_EQ("pmx dir: " + backslashed(dir.path) + "\\ \n0: tex\\a.png (ok)\n1: b.png (ok)\n\n", out);
  EXPECT_EQ(0, pmxModel.texListRenewed);
}

// Unattended: a link a learned folder move repairs is renewed, one nothing
// repairs is kept as stored and the phase goes on; the tally tells which.
TEST(TexturePhase, UnattendedInfersWhatItCanAndKeepsTheRest) {
  TempDir dir("texphase");
  ASSERT_TRUE(write_file_bytes(dir / "ok.png", "x"));
  ASSERT_TRUE(write_file_bytes(dir / "textures/a.png", "x"));
  set_model(backslashed(dir / "m.pmx"));
  pmx_reset_model();
  pmxModel.texListCount = 4;
  set_texture(0, "tex\\a.png");
  set_texture(1, "ok.png");
  set_texture(2, "tex\\gone.png");
  set_texture(3, "other\\a.png");
  texfoldermap_reset();
  ASSERT_TRUE(texfoldermap_learn("tex\\", u"tex\\", "textures\\", u"textures\\"));
  Auto.answer = 1;
  con_capture_begin();
  texture_phase(ms);
  std::string out = con_capture_end();
  Auto.answer = 0;
  const TexturePhase& r = ms.texture;
  texfoldermap_reset();
  EXPECT_EQ(3, r.brokenLinkTotal);
  EXPECT_EQ(3, r.brokenLinkCount);
  EXPECT_FALSE(r.endRun);
  EXPECT_NE(std::string::npos,
            out.find(" => YES \n\n--- \n0: tex\\a.png (inferred) => (renew) textures\\a.png \n1: ok.png (ok)\n"
                     "2: tex\\gone.png (left broken)\n3: other\\a.png (left broken)\n\n"))
      << out;
  EXPECT_STREQ("textures\\a.png", pmxModel.pmxnewtexlistpath[0]);
  EXPECT_STREQ("tex\\gone.png", pmxModel.pmxnewtexlistpath[2]);
  EXPECT_EQ(255, pmxModel.texListRenewed);
  const ModelState::LinkTally& t = ms.links;
  EXPECT_EQ(1, t.ok);
  EXPECT_EQ(1, t.inferred);
  EXPECT_EQ(0, t.picked);
  EXPECT_EQ(2, t.leftBroken);
}

}  // namespace
