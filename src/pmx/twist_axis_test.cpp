#include <gtest/gtest.h>

#include <cmath>

#include "pmx/model_store.h"
#include "pmx/pmx.h"

namespace {

void place(int ref, float x, float y, float z) {
  ArmRef& r = pmxModel.armRef[ref];
  r.pos[0] = x;
  r.pos[1] = y;
  r.pos[2] = z;
  r.found = 255;
}

void twist(int t, float x, float y, float z) {
  TwistRef& r = pmxModel.twistRef[t];
  r.axis[0] = x;
  r.axis[1] = y;
  r.axis[2] = z;
  r.axis[3] = 0.0f;
  r.found = 255;
  r.axisPos = 100 + t;
}

class TwistCheck : public testing::Test {
 protected:
  void SetUp() override {
    pmx_reset_model();
    // Left: arm along +x to the elbow, then down to the wrist.
    place(ARM_L, 0, 0, 0);
    place(ELBOW_L, 2, 0, 0);
    place(WRIST_L, 2, -3, 0);
    place(ARM_R, 0, 0, 0);
    place(ELBOW_R, -4, 0, 0);
    place(WRIST_R, -4, 0, 5);
  }
};

TEST_F(TwistCheck, FlagsOnlyAxesBeyondTheTolerance) {
  struct Case {
    float dy;  // offset of the stored left arm-twist axis from (1, 0, 0)
    int flagged;
  };
  for (Case c : {Case{0.0f, 0}, Case{0.049f, 0}, Case{0.051f, 1}, Case{-1.0f, 1}}) {
    SCOPED_TRACE(c.dy);
    pmxModel.twistRef[TWIST_ARM_L].mismatch = 0;
    twist(TWIST_ARM_L, 1.0f, c.dy, 0.0f);
    EXPECT_EQ(c.flagged, twist_check());
    EXPECT_EQ(c.flagged ? 255 : 0, pmxModel.twistRef[TWIST_ARM_L].mismatch);
    EXPECT_FLOAT_EQ(1.0f, pmxModel.twistRef[TWIST_ARM_L].computed[0]);
    EXPECT_FLOAT_EQ(0.0f, pmxModel.twistRef[TWIST_ARM_L].computed[1]);
  }
}

TEST_F(TwistCheck, ChecksBothSidesAgainstTheirOwnChains) {
  twist(TWIST_WRIST_L, 0, -1, 0);  // matches elbow -> wrist
  twist(TWIST_ARM_R, 1, 0, 0);     // the right arm runs towards -x
  twist(TWIST_WRIST_R, 0, 0, 1);   // matches
  EXPECT_EQ(1, twist_check());
  EXPECT_EQ(255, pmxModel.twistRef[TWIST_ARM_R].mismatch);
  EXPECT_FLOAT_EQ(-1.0f, pmxModel.twistRef[TWIST_ARM_R].computed[0]);
  EXPECT_EQ(0, pmxModel.twistRef[TWIST_WRIST_L].mismatch);
  EXPECT_EQ(0, pmxModel.twistRef[TWIST_WRIST_R].mismatch);
}

TEST_F(TwistCheck, ZeroLengthAndIncompleteChainsNeverFlag) {
  twist(TWIST_ARM_L, 0, 1, 0);
  place(ELBOW_L, 0, 0, 0);  // elbow on the arm: no direction
  twist(TWIST_ARM_R, 0, 1, 0);
  pmxModel.armRef[WRIST_R].found = 0;  // right side not complete
  EXPECT_EQ(0, twist_check());
  EXPECT_EQ(0, pmxModel.twistRef[TWIST_ARM_L].mismatch);
  EXPECT_EQ(0, pmxModel.twistRef[TWIST_ARM_R].mismatch);
}

}  // namespace
