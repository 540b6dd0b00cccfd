// The step loop shared by the scalar and the SIMD path: order-0 inputs, coefficients, step
// plans, increments, and the compensated update of each lane.
#include "precise/lane_block.hpp"

#include <cmath>

#include "precise/taylor_step.hpp"

namespace {

// sum_{n=1..p} n x[n] h^(n-1): the rate at the end of the step.
template <int W>
double end_rate(const double (&x)[max_order + 1][W], int p, int j, double h) {
  double acc = p * x[p][j];
  for (int n = p - 1; 1 <= n; --n) {
    acc = acc * h + n * x[n][j];
  }
  return acc;
}

// The rows the kernels read, each lane's constants in its column.
template <int W>
void gather_constants(const series_constants* const* constants, lane_constants<W>& k) {
  k.order = constants[0]->order;
  k.tangent = constants[0]->tangent;
  for (int j = 0; j < W; ++j) {
    const series_constants& c = *constants[j];
    k.alpha[j] = c.alpha;
    k.beta[j] = c.beta;
    k.v[j] = c.v;
    k.forcing[j] = c.forcing;
    k.omega[j] = c.omega;
    k.LL[j] = c.LL;
    k.tol_rate[j] = c.tol_rate;
  }
}

}  // namespace

template <int W>
void advance_to_section(const series_constants* const* constants, const precise_config& pc,
                        const block_kernels<W>& kernels, precise_state* const* lanes,
                        precise_stop* stops) {
  lane_constants<W> k;
  gather_constants(constants, k);
  const int p = k.order;
  const bool tangent = k.tangent;
  const int direction = pc.direction;
  series_block<W> b;
  segment_length span[W];
  step_plan plan[W];
  bool active[W];
  std::int64_t steps_here[W];
  int running = 0;
  for (int j = 0; j < W; ++j) {
    const precise_state& s = *lanes[j];
    span[j] = segment_to_point(*constants[j], direction, s.k);
    active[j] = std::isfinite(s.phi + s.phi_lo) && std::isfinite(s.l + s.l_lo) &&
                std::isfinite(s.tangent[0]) && std::isfinite(s.tangent[1]);
    running += active[j] ? 1 : 0;
    steps_here[j] = 0;
    stops[j] = active[j] ? precise_stop::done : precise_stop::state_not_finite;
  }
  const auto retire = [&](int j, precise_stop stop) {
    stops[j] = stop;
    active[j] = false;
    --running;
  };
  while (0 < running) {
    // One relaxed load per step: the flag only asks to stop, it guards no data.
    if (pc.cancel != nullptr && pc.cancel->load(std::memory_order_relaxed)) {
      for (int j = 0; j < W; ++j) {
        if (active[j]) {
          retire(j, precise_stop::cancelled);
        }
      }
      break;
    }
    for (int j = 0; j < W; ++j) {
      if (!active[j]) {
        continue;  // its coefficients are computed from stale inputs and not used
      }
      const precise_state& s = *lanes[j];
      b.l[0][j] = s.l;
      b.u[0][j] = s.tangent[0];
      b.w[0][j] = s.tangent[1];
      b.phi0[j] = s.phi;
      b.phi0_lo[j] = s.phi_lo;
      b.omega_tau[j] = k.omega[j] * s.tau;
    }
    kernels.coefficients(k, b);
    const unsigned scalar = kernels.step_sizes(k, b);
    for (int j = 0; j < W; ++j) {
      b.h[j] = 0.0;
      if (!active[j]) {
        continue;
      }
      const double h_tol = (scalar >> j & 1U) == 0U
                               ? b.h_tol[j]
                               : tolerance_step(*constants[j], b.phi[p - 1][j], b.phi[p][j],
                                                b.l[p - 1][j], b.l[p][j]);
      plan[j] = plan_step(direction, span[j], h_tol, steps_here[j], *lanes[j]);
      if (plan[j].stop != precise_stop::done) {
        retire(j, plan[j].stop);
      }
      b.h[j] = plan[j].h;
    }
    kernels.increments(k, b);
    for (int j = 0; j < W; ++j) {
      if (!active[j]) {
        continue;
      }
      double d[4] = {b.d_phi[j], b.d_l[j], tangent ? b.d_u[j] : 0.0, tangent ? b.d_w[j] : 0.0};
      if (plan[j].lands) {
        // Carry the state over the rest of the true segment length at its end rate.
        const double t = plan[j].time_lo;
        const double h = plan[j].h;
        d[0] = d[0] + t * end_rate(b.phi, p, j, h);
        d[1] = d[1] + t * end_rate(b.l, p, j, h);
        if (tangent) {
          d[2] = d[2] + t * end_rate(b.u, p, j, h);
          d[3] = d[3] + t * end_rate(b.w, p, j, h);
        }
      }
      const precise_stop stop = commit_step(plan[j], d[0], d[1], d[2], d[3], *lanes[j]);
      ++steps_here[j];
      if (stop != precise_stop::done || plan[j].lands) {
        retire(j, stop);
      }
    }
  }
}

template void advance_to_section<1>(const series_constants* const*, const precise_config&,
                                    const block_kernels<1>&, precise_state* const*, precise_stop*);
template void advance_to_section<2>(const series_constants* const*, const precise_config&,
                                    const block_kernels<2>&, precise_state* const*, precise_stop*);
template void advance_to_section<4>(const series_constants* const*, const precise_config&,
                                    const block_kernels<4>&, precise_state* const*, precise_stop*);
template void advance_to_section<8>(const series_constants* const*, const precise_config&,
                                    const block_kernels<8>&, precise_state* const*, precise_stop*);
