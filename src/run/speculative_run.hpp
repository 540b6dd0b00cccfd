// Conditions computed ahead of their turn, and the check that makes such a result exact.
//
// A condition's whole result is fixed by its initial state and the step size it starts with.
// That step size is whatever the previous condition left, but since h is only ever halved,
// doubled or restored, it lies on the lattice h0 * 2^k, and the first accepted step of a
// condition almost never depends on which lattice value it starts from. So a condition can
// run early from a guessed start and be confirmed, once the real start is known, by taking
// the first step from it: the same accepted step size means the same run, byte for byte.
#pragma once

#include <array>
#include <string>

#include "dynamics/integration_state.hpp"
#include "dynamics/model.hpp"
#include "run/run_config.hpp"
#include "section/section_outcome.hpp"

struct speculative_result {
  std::string points;       // the point lines the condition writes
  section_outcome outcome;  // how its section loop ended
  integration_state end;    // the state it leaves, h included
  double first_h = 0.0;     // step size of its first accepted step
  bool first_accepted = false;
};

// Runs the condition from y0 at t = 0 with step size h_guess, collecting its points in memory.
speculative_result run_speculatively(const model_params& m, const run_config& config,
                                     const std::array<double, 2>& y0, double h_guess);

// True when `r` is exactly what the condition gives when it starts with step size h_start.
bool confirms(const model_params& m, const run_config& config, const std::array<double, 2>& y0,
              double h_start, const speculative_result& r);
