// Recurrences of the Taylor coefficients, written over arrays of lanes so that each lane
// performs the same operations in the same order whatever the lane count.
#include "precise/taylor_series.hpp"

#include <cmath>

#include "precise/compensated.hpp"

int series_order(double tol_rate) {
  const double p = std::ceil(-std::log(tol_rate) / 2.0);
  if (!(8.0 < p)) {
    return 8;
  }
  return p < static_cast<double>(max_order) ? static_cast<int>(p) : max_order;
}

series_constants make_series_constants(const model_params& m, const precise_config& c) {
  const double a = static_cast<double>(m.p_a);
  const double b = static_cast<double>(m.p_b);
  const double p_c = static_cast<double>(m.p_c);
  const double d = static_cast<double>(m.p_d);
  const double L = static_cast<double>(m.L);
  series_constants k;
  k.omega = static_cast<double>(m.omega);
  k.v = 1.0 / (b + d) - 1.0 / (b + p_c);
  k.beta = k.v / 2.0;
  k.alpha = (1.0 / a - 0.5 / (b + p_c)) - 0.5 / (b + d);
  k.forcing = (static_cast<double>(m.p_e) / a) / k.omega;
  k.LL = L * L;
  k.tol_rate = c.tol / (budget_points * (2.0 * two_pi_hi / std::fabs(k.omega)));
  k.order = series_order(k.tol_rate);
  k.tangent = c.tangent;
  for (int n = 1; n <= max_order; ++n) {
    k.inv[n] = 1.0 / n;
  }
  return k;
}

namespace {

// theta = 2 phi: (sin theta)' = 2 phi' cos theta, (cos theta)' = -2 phi' sin theta, and the
// forcing sine and cosine rotate with omega. The tangent (u, w) follows
//   u' = (alpha + beta cos theta) w - v (l sin theta) u,
//   w' = v ((l^2 - L^2) cos theta) u + v (l sin theta) w.
template <int W, bool Tangent>
[[gnu::always_inline]] inline void series_kernel(const series_constants& k, series_block<W>& b) {
  double s[max_order + 1][W];
  double co[max_order + 1][W];
  double g[max_order + 1][W];   // series of phi'
  double q[max_order + 1][W];   // series of l^2 - L^2
  double fs[max_order + 1][W];  // series of sin(omega tau)
  double fc[max_order + 1][W];
  double sl[max_order + 1][W];  // series of l sin theta (tangent only)
  double cq[max_order + 1][W];  // series of (l^2 - L^2) cos theta (tangent only)
  for (int j = 0; j < W; ++j) {
    s[0][j] = b.sin_theta[j];
    co[0][j] = b.cos_theta[j];
    fs[0][j] = b.sin_wt[j];
    fc[0][j] = b.cos_wt[j];
  }
  for (int n = 0; n < k.order; ++n) {
    const double inv = k.inv[n + 1];
    // Products whose factors are all known up to order n.
    double ll[W] = {};
    double cl[W] = {};
    double sl_n[W] = {};
    double cw[W] = {};
    for (int i = 0; i <= n; ++i) {
      for (int j = 0; j < W; ++j) {
        ll[j] += b.l[i][j] * b.l[n - i][j];
        cl[j] += co[i][j] * b.l[n - i][j];
        if constexpr (Tangent) {
          sl_n[j] += s[i][j] * b.l[n - i][j];
          cw[j] += co[i][j] * b.w[n - i][j];
        }
      }
    }
    for (int j = 0; j < W; ++j) {
      q[n][j] = n == 0 ? ll[j] - k.LL : ll[j];
      g[n][j] = (k.alpha * b.l[n][j] + k.beta * cl[j]) + k.forcing * fs[n][j];
      if constexpr (Tangent) {
        sl[n][j] = sl_n[j];
      }
    }
    // Products that need q, g or sl at order n.
    double sq[W] = {};
    double gc[W] = {};
    double gs[W] = {};
    double cq_n[W] = {};
    double slu[W] = {};
    double slw[W] = {};
    double cqu[W] = {};
    for (int i = 0; i <= n; ++i) {
      for (int j = 0; j < W; ++j) {
        sq[j] += s[i][j] * q[n - i][j];
        gc[j] += g[i][j] * co[n - i][j];
        gs[j] += g[i][j] * s[n - i][j];
        if constexpr (Tangent) {
          cq_n[j] += co[i][j] * q[n - i][j];
          slu[j] += sl[i][j] * b.u[n - i][j];
          slw[j] += sl[i][j] * b.w[n - i][j];
          if (i < n) {
            cqu[j] += cq[i][j] * b.u[n - i][j];
          }
        }
      }
    }
    for (int j = 0; j < W; ++j) {
      b.phi[n + 1][j] = g[n][j] * inv;
      b.l[n + 1][j] = (k.beta * sq[j]) * inv;
      s[n + 1][j] = (2.0 * gc[j]) * inv;
      co[n + 1][j] = -(2.0 * gs[j]) * inv;
      fs[n + 1][j] = (k.omega * fc[n][j]) * inv;
      fc[n + 1][j] = -(k.omega * fs[n][j]) * inv;
      if constexpr (Tangent) {
        cq[n][j] = cq_n[j];
        cqu[j] += cq_n[j] * b.u[0][j];
        b.u[n + 1][j] = ((k.alpha * b.w[n][j] + k.beta * cw[j]) - k.v * slu[j]) * inv;
        b.w[n + 1][j] = (k.v * (cqu[j] + slw[j])) * inv;
      }
    }
  }
}

template <int W>
void kernel_for(const series_constants& c, series_block<W>& b) {
  if (c.tangent) {
    series_kernel<W, true>(c, b);
  } else {
    series_kernel<W, false>(c, b);
  }
}

// The same kernel compiled three times; the caller picks by what the processor supports.
__attribute__((target("avx512f"))) void coefficients_avx512(const series_constants& c,
                                                            series_block<block_lanes>& b) {
  kernel_for<block_lanes>(c, b);
}

__attribute__((target("avx2"))) void coefficients_avx2(const series_constants& c,
                                                       series_block<block_lanes>& b) {
  kernel_for<block_lanes>(c, b);
}

}  // namespace

lane_isa best_lane_isa() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) {
    return lane_isa::avx512;
  }
  if (__builtin_cpu_supports("avx2")) {
    return lane_isa::avx2;
  }
  return lane_isa::baseline;
}

void taylor_coefficients(const series_constants& c, series_block<1>& b) { kernel_for<1>(c, b); }

void taylor_coefficients(const series_constants& c, series_block<block_lanes>& b, lane_isa isa) {
  switch (isa) {
    case lane_isa::avx512:
      coefficients_avx512(c, b);
      return;
    case lane_isa::avx2:
      coefficients_avx2(c, b);
      return;
    case lane_isa::baseline:
      break;
  }
  kernel_for<block_lanes>(c, b);
}
