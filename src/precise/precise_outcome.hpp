// Messages for the ways a precise run of one condition can stop early.
#pragma once

#include <string>

#include "precise/precise_state.hpp"

// One sentence for the user saying why precise_advance stopped, and where.
std::string describe_precise_stop(precise_stop stop, const precise_state& s);
