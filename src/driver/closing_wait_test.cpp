#include "driver/closing_wait.h"

#include <gtest/gtest.h>

#include "driver/model_state.h"
#include "driver/run_settings.h"
#include "driver/run_summary.h"
#include "platform/console.h"
#include "platform/settings.h"

namespace {

TEST(ClosingWait, OnlyAWindowOfItsOwnWithSomethingToReadWaits) {
  struct Case {
    ClosingFacts facts;
    bool waits;
  };
  const Case cases[] = {
      {{true, true, false}, true},    // -Y: nobody saw the boxes' answers
      {{true, false, true}, true},    // a failure no box showed
      {{true, true, true}, true},
      {{true, false, false}, false},  // every outcome was shown in a box
      {{false, true, true}, false},   // a command prompt, or output redirected
      {{false, true, false}, false},
      {{false, false, true}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.waits, closing_wait_wanted(c.facts))
        << c.facts.ownWindow << c.facts.showsNoBoxes << c.facts.failureUnboxed;
  }
}

TEST(ClosingWait, FactsOfTheRun) {
  const signed char savedAnswer = Auto.answer;
  struct Case {
    signed char autoAnswer;
    ModelOutcome outcome;
    bool noBoxes, failure;
  };
  const Case cases[] = {
      {0, OUTCOME_SAVED, false, false},        {1, OUTCOME_SAVED, true, false},
      {0, OUTCOME_SAVE_FAILED, false, true},   {0, OUTCOME_UNREADABLE, false, true},
      {0, OUTCOME_ANSWERED_NO, false, false},  {0, OUTCOME_DECLINED, false, false},
      {0, OUTCOME_CANCELLED, false, false},
  };
  for (const Case& c : cases) {
    Auto.answer = c.autoAnswer;
    static ModelState ms;
    summary_reset();
    model_state_reset(ms);
    ms.outcome = OUTCOME_SAVED;
    summary_add(1, ms);
    ms.outcome = c.outcome;
    summary_add(2, ms);
    const ClosingFacts f = closing_facts();
    EXPECT_EQ(c.noBoxes, f.showsNoBoxes) << c.outcome;
    EXPECT_EQ(c.failure, f.failureUnboxed) << c.outcome;
    // Never a window of its own here: the wait cannot happen on this system.
    EXPECT_FALSE(f.ownWindow);
    con_capture_begin();
    closing_wait();
    EXPECT_EQ("", con_capture_end());
  }
  summary_reset();
  Auto.answer = savedAnswer;
}

}  // namespace
