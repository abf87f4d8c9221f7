// The twist-axis check: an arm twist should turn about the arm-to-elbow
// direction, a wrist twist about the elbow-to-wrist direction.
#include <cmath>

#include "pmx/model_store.h"
#include "pmx/pmx.h"

namespace {

// Sets the computed axis of one twist bone from the chain a -> b and flags a
// stored axis more than 0.05 away from it. Returns 1 when it set the flag.
int check_one(int from, int to, int twist) {
  TwistRef& t = pmxModel.twistRef[twist];
  if (!t.found) return 0;
  const float* a = pmxModel.armRef[from].pos;
  const float* b = pmxModel.armRef[to].pos;
  const float d[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  const float len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  t.computed[3] = 0.0f;
  if (!(len > 0.0f)) {
    // No direction to compare with (also for NaN positions).
    t.computed[0] = t.computed[1] = t.computed[2] = 0.0f;
    return 0;
  }
  double dist2 = 0.0;
  for (int k = 0; k < 3; k++) {
    t.computed[k] = d[k] / len;
    const double diff = (double)(t.computed[k] - t.axis[k]);
    dist2 += diff * diff;
  }
  if (std::sqrt(dist2) > 0.05) {
    t.mismatch = 255;
    return 1;
  }
  return 0;
}

int check_side(int arm, int elbow, int wrist, int armTwist, int wristTwist) {
  const ArmRef* r = pmxModel.armRef;
  if (!r[arm].found || !r[elbow].found || !r[wrist].found) return 0;
  return check_one(arm, elbow, armTwist) + check_one(elbow, wrist, wristTwist);
}

}  // namespace

int twist_check() {
  return check_side(ARM_L, ELBOW_L, WRIST_L, TWIST_ARM_L, TWIST_WRIST_L) +
         check_side(ARM_R, ELBOW_R, WRIST_R, TWIST_ARM_R, TWIST_WRIST_R);
}
