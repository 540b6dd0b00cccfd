// The instruction sets of the lane kernels this processor can run, for tests that compare them.
#pragma once

#include <vector>

#include "precise/lane_kernels.hpp"

inline std::vector<lane_isa> supported_isas() {
  std::vector<lane_isa> isas{lane_isa::baseline};
  if (best_lane_isa() != lane_isa::baseline) {
    isas.push_back(lane_isa::avx2);
  }
  if (best_lane_isa() == lane_isa::avx512) {
    isas.push_back(lane_isa::avx512);
  }
  return isas;
}
