// The block kernels as templates over the lane count: Taylor coefficients by automatic
// differentiation and the increments by Horner's rule. Included only where the kernels are
// compiled for each instruction set (lane_kernels.cpp).
//
// The recurrences, with theta = 2 phi, F = forcing, x[n] the n-th Taylor coefficient of x
// in the step h and (a b)[n] = sum_{i=0..n} a[i] b[n-i] the coefficient of a product; order n
// of the right-hand sides needs only orders <= n of the series, so each pass adds one order:
//
//   order 0                                   order n + 1, from orders <= n
//   s[0]  = sin theta0 + cos theta0 2 phi0_lo  s[n+1]  =  2 (g c)[n] / (n + 1)
//   c[0]  = cos theta0 - sin theta0 2 phi0_lo  c[n+1]  = -2 (g s)[n] / (n + 1)
//   fs[0] = sin(omega tau0)                    fs[n+1] =  omega fc[n] / (n + 1)
//   fc[0] = cos(omega tau0)                    fc[n+1] = -omega fs[n] / (n + 1)
//   l[0]  = l(tau0)                            l[n+1]  =  beta (s q)[n] / (n + 1)
//                                              phi[n+1] = g[n] / (n + 1)
//   u[0], w[0] = the tangent (dphi, dl)        u[n+1]  = (alpha w[n] + beta (c w)[n]
//                                                          - v (sl u)[n]) / (n + 1)
//                                              w[n+1]  =  v ((cq u)[n] + (sl w)[n]) / (n + 1)
//   where, at order n:  q[n] = (l l)[n] - L^2 [n = 0]          (l^2 - L^2)
//                       g[n] = alpha l[n] + beta (c l)[n] + F fs[n]   (phi')
//                       sl[n] = (s l)[n],  cq[n] = (c q)[n]    (tangent only)
//
// s = sin theta, c = cos theta, u = dphi, w = dl. Each order costs O(n) per product, so a
// step of order p costs O(p^2) per lane; the increments sum_{n=1..p} x[n] h^n follow by
// Horner's rule.
#pragma once

#include <type_traits>

#include "precise/lane_math.hpp"
#include "precise/taylor_series.hpp"

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
// instruction set has too few registers for its full width. Each lane reads its own constants,
// with the very operations a block of one condition performs.
template <int W, int BW, bool Tangent>
[[gnu::always_inline]] inline void series_kernel(const lane_constants<BW>& k, series_block<BW>& b,
                                                 int first) {
  using V = lanes<W>;
  V alpha;
  V beta;
  V v;
  V forcing;
  V omega;
  V LL;
  load_at<W>(alpha, k.alpha + first);
  load_at<W>(beta, k.beta + first);
  load_at<W>(v, k.v + first);
  load_at<W>(forcing, k.forcing + first);
  load_at<W>(omega, k.omega + first);
  load_at<W>(LL, k.LL + first);
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
    const double inv = series_inverse[n + 1];
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
    q[n] = n == 0 ? (ll[0] + ll[1]) - LL : ll[0] + ll[1];
    g[n] = (alpha * l[n] + beta * (cl[0] + cl[1])) + forcing * fs[n];
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
    l[n + 1] = (beta * (sq[0] + sq[1])) * inv;
    s[n + 1] = (2.0 * (gc[0] + gc[1])) * inv;
    co[n + 1] = -(2.0 * (gs[0] + gs[1])) * inv;
    fs[n + 1] = (omega * fc[n]) * inv;
    fc[n + 1] = -(omega * fs[n]) * inv;
    store_at<W>(b.phi[n + 1] + first, phi_next);
    store_at<W>(b.l[n + 1] + first, l[n + 1]);
    if constexpr (Tangent) {
      cq[n] = cq_n[0] + cq_n[1];
      V cqu[2] = {};
      sum_in_halves(
          n, [&](int i, auto r) __attribute__((always_inline)) { cqu[r] += cq[i] * u[n - i]; });
      u[n + 1] = ((alpha * w[n] + beta * (cw[0] + cw[1])) - v * (slu[0] + slu[1])) * inv;
      w[n + 1] = (v * ((cqu[0] + cqu[1]) + (slw[0] + slw[1]))) * inv;
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
[[gnu::always_inline]] inline void increments_for(const lane_constants<BW>& c, series_block<BW>& b,
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
[[gnu::always_inline]] inline void kernel_for(const lane_constants<BW>& c, series_block<BW>& b,
                                              int first = 0) {
  if (c.tangent) {
    series_kernel<W, BW, true>(c, b, first);
  } else {
    series_kernel<W, BW, false>(c, b, first);
  }
}
