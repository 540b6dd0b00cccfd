// The engine's public face: the program, the Python module and the explorer's server run
// their conditions through run_engine and receive the points in condition order.
#pragma once

#include "engine/engine_request.hpp"

// Computes every condition of `r`, several at once, and delivers each one's points in order
// as they are confirmed. The classic method gives exactly the points of one condition after
// another with the step size carried over. Points computed ahead of their turn wait in
// unnamed files in r.spool_dir, so memory stays flat whatever n_points; the workers are
// joined before run_engine returns, a stop or an exception included.
// Throws std::invalid_argument, before any work, when r.condition_m is not empty and the
// method is classic or the models are not one per condition.
run_outcome run_engine(const run_request& r, const run_events& e);

// The number of conditions computed at once for `threads`; 0: one per CPU this process may
// run on (its affinity mask, as taskset or a container sets it).
int thread_count(int threads);
