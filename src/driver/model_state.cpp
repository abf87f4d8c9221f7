#include "driver/model_state.h"

#include <cstring>

void model_state_reset(ModelState& ms) { std::memset(&ms, 0, sizeof ms); }
