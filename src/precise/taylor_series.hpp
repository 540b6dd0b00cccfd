// The constants of the Taylor series of the orbit and of its tangent vector, the order for a
// tolerance, and the block of coefficients of W conditions at once (one lane each).
#pragma once

#include <array>

#include "dynamics/model.hpp"
#include "precise/precise_state.hpp"

// Highest order the method uses; the order for a tol is series_order(tol).
constexpr int max_order = 30;

// With theta = 2 phi the right-hand side reads
//   phi' = (alpha + beta cos theta) l + forcing sin(omega tau),  l' = beta sin theta (l^2 - L^2),
// alpha = 1/a - 1/(2(b+c)) - 1/(2(b+d)), beta = v/2, v = 1/(b+d) - 1/(b+c).
struct series_constants {
  double alpha = 0.0;
  double beta = 0.0;
  double v = 0.0;
  double forcing = 0.0;  // (e / a) / omega
  double omega = 0.0;
  double LL = 0.0;        // L * L
  int order = 0;          // Taylor order p
  double tol_rate = 0.0;  // bound on the estimated truncation error per unit time
  bool tangent = false;
};

// series_inverse[n] = 1 / n for n >= 1, rounded once as the division rounds it at run time.
inline constexpr auto series_inverse = [] {
  std::array<double, max_order + 1> inv{};
  for (int n = 1; n <= max_order; ++n) {
    inv[n] = 1.0 / n;
  }
  return inv;
}();

// tol is the error budget of this many section points: each step of size h keeps its
// estimated truncation error at most tol_rate |h|, tol_rate = tol / (budget_points 4 pi/|omega|).
constexpr double budget_points = 100.0;

// Order p for an error rate: -ln(tol_rate) / 2 balances p^2 work per step against the step
// length rho tol_rate^(1/p); two orders more measured 10-15% faster at equal error, as the
// sines, roots and updates of each step weigh too. Clamped to [8, max_order].
int series_order(double tol_rate);

series_constants make_series_constants(const model_params& m, const precise_config& c);

// The constants of the W lanes of a block as its kernels read them, a row per constant with
// each lane's own value, so that conditions with different constants share a block. The order
// and the tangent setting are the block's: every lane has the same.
template <int W>
struct alignas(64) lane_constants {
  double alpha[W] = {};
  double beta[W] = {};
  double v[W] = {};
  double forcing[W] = {};
  double omega[W] = {};
  double LL[W] = {};
  double tol_rate[W] = {};
  int order = 0;
  bool tangent = false;
};

// Coefficients x[n][lane] of x(tau0 + h) = sum_n x[n] h^n for phi (from n = 1), l and, with the
// tangent, dphi (u) and dl (w). The caller fills the order-0 inputs.
template <int W>
struct alignas(64) series_block {
  double phi0[W] = {};  // phi + phi_lo at tau0, as a value and a compensation term
  double phi0_lo[W] = {};
  double omega_tau[W] = {};  // omega tau0
  double phi[max_order + 1][W] = {};
  double l[max_order + 1][W] = {};
  double u[max_order + 1][W] = {};
  double w[max_order + 1][W] = {};
  double h_tol[W] = {};  // the step the tolerance allows each lane
  double h[W] = {};      // step of each lane; 0 for a lane that does not step
  double d_phi[W] = {};  // sum_{n=1..p} x[n] h^n for x = phi, l, u, w
  double d_l[W] = {};
  double d_u[W] = {};
  double d_w[W] = {};
};
