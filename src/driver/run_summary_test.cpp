// The summary's lines below a model: which links it names as still broken, and
// what happens when the room for their paths runs out.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/model_state.h"
#include "driver/run_summary.h"
#include "platform/arg_list.h"
#include "platform/console.h"
#include "pmx/model_store.h"

namespace {

ModelState state;  // too large for the stack

void start_run(int models) {
  summary_reset();
  arglist_reset(&ansiArgs);
  addarg(&ansiArgs, "quillmend");
  for (int i = 0; i < models; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "m%d.pmx", i);
    addarg(&ansiArgs, name);
  }
}

// A model whose links have these fates, link k stored as "<k>.png" (or a path
// of pathLength bytes when given).
void add_model(int argIndex, ModelOutcome outcome, const std::vector<LinkFate>& fates, int pathLength = 0) {
  model_state_reset(state);
  state.outcome = outcome;
  state.linkCount = (int)fates.size();
  for (int k = 0; k < state.linkCount; ++k) {
    state.link[k].fate = fates[k];
    std::string path = std::to_string(k) + ".png";
    if (pathLength > 0) path = std::string((size_t)pathLength - path.size(), '0') + path;
    std::snprintf(pmxModel.pmxtexlistpath[k], TEXPATH_CAP, "%s", path.c_str());
    for (size_t i = 0; i <= path.size(); ++i) pmxModel.pmxtexlistpathW[k][i] = (char16_t)path[i];
  }
  summary_add(argIndex, state);
}

std::string printed() {
  con_capture_begin();
  summary_print();
  return con_capture_end();
}

int count_of(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(RunSummary, NamesTheLinksTheModelKeepsBroken) {
  const std::vector<LinkFate> fates = {FATE_OK, FATE_BROKEN, FATE_LEFT_BROKEN, FATE_FOUND,
                                       FATE_INFERRED, FATE_PICKED, FATE_SHARED_TOON, FATE_NONE};
  struct Case {
    ModelOutcome outcome;
    const char* named;  // the lines below the model's line
  } cases[] = {
      // Renewed links are kept broken only when the repair did not finish.
      {OUTCOME_SAVE_FAILED, "    still broken: 1.png \n    still broken: 2.png \n"},
      {OUTCOME_CANCELLED,
       "    still broken: 1.png \n    still broken: 2.png \n    still broken: 3.png \n"
       "    still broken: 4.png \n    still broken: 5.png \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.outcome);
    start_run(2);
    add_model(1, c.outcome, fates);
    add_model(2, OUTCOME_LINKS_FINE, {FATE_OK});
    std::string out = printed();
    size_t first = out.find(" m0.pmx: "), second = out.find(" m1.pmx: ");
    ASSERT_NE(std::string::npos, first);
    ASSERT_NE(std::string::npos, second);
    size_t below = out.find('\n', first) + 1;
    EXPECT_EQ(c.named, out.substr(below, second - below));
    EXPECT_EQ(out.size(), out.find('\n', second) + 1) << "a line below a model with no broken link";
  }
}

// A console that takes UTF-16 shows a stored path Shift-JIS cannot hold as itself.
TEST(RunSummary, BrokenLinkShowsItsUtf16Form) {
  start_run(1);
  model_state_reset(state);
  state.outcome = OUTCOME_NOTHING_RENEWED;
  state.linkCount = 1;
  state.link[0].fate = FATE_LEFT_BROKEN;
  std::snprintf(pmxModel.pmxtexlistpath[0], TEXPATH_CAP, "?.png");
  const std::u16string wide = u"\uD55C.png";
  for (size_t i = 0; i <= wide.size(); ++i) pmxModel.pmxtexlistpathW[0][i] = wide.c_str()[i];
  summary_add(1, state);
  con_capture_screen_begin();
  summary_print();
  const std::u16string screen = con_capture_screen_end();
  EXPECT_NE(std::u16string::npos, screen.find(u"    still broken: \uD55C.png \n"));
  con_capture_begin();
  summary_print();
  EXPECT_NE(std::string::npos, con_capture_end().find("    still broken: ?.png \n"));
}

// Past the room for stored paths, the links without room are said in one
// line, and the next run starts with the room empty.
TEST(RunSummary, RoomForBrokenLinksIsBounded) {
  const std::vector<LinkFate> allBroken(TEX_MAX, FATE_LEFT_BROKEN);
  struct Case {
    const char* what;
    int models;
    int pathLength;
    int named;  // over the whole run
  } cases[] = {
      // Long paths: the text runs out inside the first model.
      {"text", 1, TEXPATH_CAP - 1, SUMMARY_BROKEN_TEXT_UNITS / TEXPATH_CAP},
      // Short paths: the count of named links runs out.
      {"count", SUMMARY_BROKEN_LINKS_MAX / TEX_MAX + 1, 0, SUMMARY_BROKEN_LINKS_MAX},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int run = 0; run < 2; ++run) {
      start_run(c.models);
      for (int i = 0; i < c.models; ++i) add_model(i + 1, OUTCOME_NOTHING_RENEWED, allBroken, c.pathLength);
      std::string out = printed();
      EXPECT_EQ(c.named, count_of(out, "    still broken: "));
      char more[64];
      std::snprintf(more, sizeof more, "    ... and %d more \n", c.models * TEX_MAX - c.named);
      EXPECT_EQ(1, count_of(out, more));
      EXPECT_EQ(c.models, count_of(out, " => not saved: no link renewed \n"));
    }
  }
}

}  // namespace
