#include "driver/model_state.h"

#include <cstring>

#include "text/sjis.h"

void model_state_reset(ModelState& ms) { std::memset(&ms, 0, sizeof ms); }

void model_output_name(const ModelState& ms, char* name, int cap, char16_t* nameW, int capW) {
  namepart(name, cap, ms.outPath);
  namepartW(nameW, capW, ms.outPathW);
  if (!name[0]) wide_to_sjis(name, cap, nameW);
}
