#include "driver/model_state.h"

#include <cstring>

ModelState modelState;

void model_state_reset() { std::memset(&modelState, 0, sizeof modelState); }
