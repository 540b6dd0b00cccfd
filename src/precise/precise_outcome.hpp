// Messages for the ways a precise run of one condition can stop early.
#pragma once

#include <string>

#include "dynamics/model.hpp"
#include "precise/precise_state.hpp"

// One sentence for the user saying why precise_advance stopped, and where. When a constant of
// m makes the step collapse or the section point out of reach, the sentence names it.
std::string describe_precise_stop(precise_stop stop, const precise_state& s, const model_params& m);
