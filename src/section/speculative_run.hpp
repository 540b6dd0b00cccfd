// Conditions computed ahead of their turn, and the check that makes such a result exact.
//
// A condition's whole result is fixed by its initial state and the step size it starts with.
// That step size is whatever the previous condition left, but since h is only ever halved,
// doubled or restored, it lies on the lattice h0 * 2^k, and the first accepted step of a
// condition almost never depends on which lattice value it starts from. So a condition can
// run early from a guessed start and be confirmed, once the real start is known, by taking
// the first step from it: the same accepted step size means the same run, byte for byte,
// a run that stops early included.
#pragma once

#include <array>

#include "dynamics/model.hpp"
#include "dynamics/run_config.hpp"

// The step size of the first accepted step from (0, y0) starting with h. False when no step
// is accepted; such a run must be computed from its real start.
bool first_accepted_step(const model_params& m, const run_config& config,
                         const std::array<double, 2>& y0, double h, double& first_h);

// Lattice starts h * 2^k, k in [-alternative_reach, alternative_reach], tried for a first
// accepted step other than the one from h.
constexpr int alternative_reach = 12;

// A second start for a condition run ahead, for when the first accepted step from h is not
// the one from every lattice start nearby: h_alt, the start nearest to h whose first step is
// accepted and differs. Running from both covers a condition whose real start lies on
// either side of the split. False when every start tried with an accepted first step gives
// the one from h.
bool alternative_start(const model_params& m, const run_config& config,
                       const std::array<double, 2>& y0, double h, double& h_alt);
