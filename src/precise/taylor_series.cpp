// Recurrences of the Taylor coefficients, written over arrays of lanes so that each lane
// performs the same operations in the same order whatever the lane count.
#include "precise/taylor_series.hpp"

#include <cmath>
#include <type_traits>

#include "dynamics/portable_math.hpp"
#include "precise/compensated.hpp"
#include "precise/lane_math.hpp"

int series_order(double tol_rate) {
  const double p = std::ceil(-portable_log(tol_rate) / 2.0) + 2.0;
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

// Calls add(i, r) for i = 0..n with r = i mod 2 as a compile-time constant: each product sum
// runs in two halves so that consecutive additions do not wait on each other.
template <typename Add>
[[gnu::always_inline]] inline void sum_in_halves(int n, const Add& add) {
  int i = 0;
  for (; i + 1 <= n; i += 2) {
    add(i, std::integral_constant<int, 0>{});
    add(i + 1, std::integral_constant<int, 1>{});
  }
  if (i == n) {
    add(i, std::integral_constant<int, 0>{});
  }
}

// theta = 2 phi: (sin theta)' = 2 phi' cos theta, (cos theta)' = -2 phi' sin theta, and the
// forcing sine and cosine rotate with omega. The tangent (u, w) follows
//   u' = (alpha + beta cos theta) w - v (l sin theta) u,
//   w' = v ((l^2 - L^2) cos theta) u + v (l sin theta) w.
// W lanes of a block of BW, from lane `first` on: a wide block runs in narrower parts where the
// instruction set has too few registers for its full width.
template <int W, int BW, bool Tangent>
[[gnu::always_inline]] inline void series_kernel(const series_constants& k, series_block<BW>& b,
                                                 int first) {
  using V = lanes<W>;
  V l[max_order + 1];
  V u[max_order + 1];
  V w[max_order + 1];
  V s[max_order + 1];
  V co[max_order + 1];
  V g[max_order + 1];   // series of phi'
  V q[max_order + 1];   // series of l^2 - L^2
  V fs[max_order + 1];  // series of sin(omega tau)
  V fc[max_order + 1];
  V sl[max_order + 1];  // series of l sin theta (tangent only)
  V cq[max_order + 1];  // series of (l^2 - L^2) cos theta (tangent only)
  load_at<W>(l[0], b.l[0] + first);
  V phi0;
  V phi0_lo;
  V omega_tau;
  load_at<W>(phi0, b.phi0 + first);
  load_at<W>(phi0_lo, b.phi0_lo + first);
  load_at<W>(omega_tau, b.omega_tau + first);
  V sin_theta;
  V cos_theta;
  sin_cos(2.0 * phi0, sin_theta, cos_theta);
  // The compensation term shifts theta by 2 phi0_lo: first order is exact to rounding.
  s[0] = sin_theta + cos_theta * (2.0 * phi0_lo);
  co[0] = cos_theta - sin_theta * (2.0 * phi0_lo);
  sin_cos(omega_tau, fs[0], fc[0]);
  if constexpr (Tangent) {
    load_at<W>(u[0], b.u[0] + first);
    load_at<W>(w[0], b.w[0] + first);
  }
  for (int n = 0; n < k.order; ++n) {
    const double inv = k.inv[n + 1];
    // Products whose factors are all known up to order n.
    V ll[2] = {};
    V cl[2] = {};
    V sl_n[2] = {};
    V cw[2] = {};
    sum_in_halves(
        n, [&](int i, auto r) __attribute__((always_inline)) {
          ll[r] += l[i] * l[n - i];
          cl[r] += co[i] * l[n - i];
          if constexpr (Tangent) {
            sl_n[r] += s[i] * l[n - i];
            cw[r] += co[i] * w[n - i];
          }
        });
    q[n] = n == 0 ? (ll[0] + ll[1]) - k.LL : ll[0] + ll[1];
    g[n] = (k.alpha * l[n] + k.beta * (cl[0] + cl[1])) + k.forcing * fs[n];
    if constexpr (Tangent) {
      sl[n] = sl_n[0] + sl_n[1];
    }
    // Products that need q, g or sl at order n.
    V sq[2] = {};
    V gc[2] = {};
    V gs[2] = {};
    V cq_n[2] = {};
    V slu[2] = {};
    V slw[2] = {};
    sum_in_halves(
        n, [&](int i, auto r) __attribute__((always_inline)) {
          sq[r] += s[i] * q[n - i];
          gc[r] += g[i] * co[n - i];
          gs[r] += g[i] * s[n - i];
          if constexpr (Tangent) {
            cq_n[r] += co[i] * q[n - i];
            slu[r] += sl[i] * u[n - i];
            slw[r] += sl[i] * w[n - i];
          }
        });
    const V phi_next = g[n] * inv;
    l[n + 1] = (k.beta * (sq[0] + sq[1])) * inv;
    s[n + 1] = (2.0 * (gc[0] + gc[1])) * inv;
    co[n + 1] = -(2.0 * (gs[0] + gs[1])) * inv;
    fs[n + 1] = (k.omega * fc[n]) * inv;
    fc[n + 1] = -(k.omega * fs[n]) * inv;
    store_at<W>(b.phi[n + 1] + first, phi_next);
    store_at<W>(b.l[n + 1] + first, l[n + 1]);
    if constexpr (Tangent) {
      cq[n] = cq_n[0] + cq_n[1];
      V cqu[2] = {};
      sum_in_halves(
          n, [&](int i, auto r) __attribute__((always_inline)) { cqu[r] += cq[i] * u[n - i]; });
      u[n + 1] = ((k.alpha * w[n] + k.beta * (cw[0] + cw[1])) - k.v * (slu[0] + slu[1])) * inv;
      w[n + 1] = (k.v * ((cqu[0] + cqu[1]) + (slw[0] + slw[1]))) * inv;
      store_at<W>(b.u[n + 1] + first, u[n + 1]);
      store_at<W>(b.w[n + 1] + first, w[n + 1]);
    }
  }
}

// sum_{n=1..p} x[n] h^n for W lanes of a block of BW, from lane `first` on.
template <int W, int BW>
[[gnu::always_inline]] inline void horner(const double (*x)[BW], int p, const lanes<W>& h,
                                          double (&out)[BW], int first) {
  lanes<W> acc;
  lanes<W> x_n;
  load_at<W>(acc, x[p] + first);
  for (int n = p - 1; 1 <= n; --n) {
    load_at<W>(x_n, x[n] + first);
    acc = acc * h + x_n;
  }
  store_at<W>(out + first, acc * h);
}

template <int W, int BW = W>
[[gnu::always_inline]] inline void increments_for(const series_constants& c, series_block<BW>& b,
                                                  int first = 0) {
  lanes<W> h;
  load_at<W>(h, b.h + first);
  horner<W>(b.phi, c.order, h, b.d_phi, first);
  horner<W>(b.l, c.order, h, b.d_l, first);
  if (c.tangent) {
    horner<W>(b.u, c.order, h, b.d_u, first);
    horner<W>(b.w, c.order, h, b.d_w, first);
  }
}

template <int W, int BW = W>
[[gnu::always_inline]] inline void kernel_for(const series_constants& c, series_block<BW>& b,
                                              int first = 0) {
  if (c.tangent) {
    series_kernel<W, BW, true>(c, b, first);
  } else {
    series_kernel<W, BW, false>(c, b, first);
  }
}

// The same kernels compiled for AVX-512, for AVX2 and for the baseline x86-64; the caller picks
// by what the processor supports. AVX2 computes the coefficients of a block in two halves of
// four lanes: eight-lane accumulators do not fit its sixteen registers, and spilling them made
// it slower than the baseline.
__attribute__((target("avx512f"))) void coefficients_avx512(const series_constants& c,
                                                            series_block<block_lanes>& b) {
  kernel_for<block_lanes>(c, b);
}

__attribute__((target("avx512f"))) void increments_avx512(const series_constants& c,
                                                          series_block<block_lanes>& b) {
  increments_for<block_lanes>(c, b);
}

__attribute__((target("avx2"))) void coefficients_avx2(const series_constants& c,
                                                       series_block<block_lanes>& b) {
  kernel_for<block_lanes / 2>(c, b, 0);
  kernel_for<block_lanes / 2>(c, b, block_lanes / 2);
}

__attribute__((target("avx2"))) void increments_avx2(const series_constants& c,
                                                     series_block<block_lanes>& b) {
  increments_for<block_lanes / 2>(c, b, 0);
  increments_for<block_lanes / 2>(c, b, block_lanes / 2);
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

void taylor_increments(const series_constants& c, series_block<1>& b) { increments_for<1>(c, b); }

void taylor_increments(const series_constants& c, series_block<block_lanes>& b, lane_isa isa) {
  switch (isa) {
    case lane_isa::avx512:
      increments_avx512(c, b);
      return;
    case lane_isa::avx2:
      increments_avx2(c, b);
      return;
    case lane_isa::baseline:
      break;
  }
  increments_for<block_lanes>(c, b);
}
