#include "driver/model_state.h"

#include <cstring>

#include "text/sjis.h"

void model_state_reset(ModelState& ms) { std::memset(&ms, 0, sizeof ms); }

void model_output_name(const ModelState& ms, char* name, int cap) {
  namepart(name, cap, ms.outPath);
  if (name[0] || !ms.outPathW[0]) return;
  char16_t nameW[PATHBUF_CAP];
  namepartW(nameW, PATHBUF_CAP, ms.outPathW);
  wide_to_sjis(name, cap, nameW);
}
