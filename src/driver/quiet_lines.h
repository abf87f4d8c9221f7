// The lines a model keeps under -Q: its name with its place in the run, one
// line per link that is not (ok), one per problem, and its result. They are
// printed only under -Q, through the console's visible scope; everything else
// the loop prints is shut out by the quiet gate while the loop runs.
#pragma once

struct ModelState;
// The model's line, where the loop takes the model at this argument index.
void quiet_model_begin(int argIndex);
// Its links, problems and result, once the loop is done with it and the
// summary has recorded it.
void quiet_model_end(int argIndex, const ModelState& ms);
