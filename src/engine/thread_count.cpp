// How many conditions the engine computes at once by default.
#include <sched.h>

#include <algorithm>

#include "engine/engine.hpp"

int thread_count(int threads) {
  if (threads > 0) {
    return threads;
  }
  // The CPUs this process may run on (taskset, cgroups' cpusets), not those of the machine.
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) {
    return 1;
  }
  return std::max(1, CPU_COUNT(&allowed));
}
