// Start, scalar advance and point of the precise method.
#include "precise/precise_advance.hpp"

#include "precise/compensated.hpp"
#include "precise/lane_block.hpp"
#include "precise/lane_kernels.hpp"

precise_state precise_start(const model_params& /*m*/, const precise_config& c,
                            const std::array<double, 2>& y0) {
  precise_state s;
  s.phi = y0[0];
  reduce_angle(s.phi, s.phi_lo);
  s.l = y0[1];
  if (c.tangent) {
    s.tangent = {1.0, 0.0};
  }
  return s;
}

precise_stop precise_advance(const model_params& m, const precise_config& c, precise_state& s) {
  const series_constants k = make_series_constants(m, c);
  const series_constants* constants[1] = {&k};
  precise_state* lane[1] = {&s};
  precise_stop stop[1] = {precise_stop::done};
  // One lane is scalar code on every processor.
  advance_to_section<1>(constants, c, kernels_for(lane_isa::baseline).w1, lane, stop);
  return stop[0];
}

std::array<double, 2> precise_point(const precise_state& s, float L) {
  return {s.phi, s.l / static_cast<double>(L)};
}
