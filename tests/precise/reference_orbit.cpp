// Taylor coefficients of sin phi and cos phi, of the forcing and of the state, in quad
// precision: sigma' = kappa phi', kappa' = -sigma phi'.
#include "precise/reference_orbit.hpp"

#include <quadmath.h>

namespace {

using quad = __float128;
constexpr int order = 32;

struct quad_model {
  quad inv_a, inv_bc, inv_bd, forcing, omega, LL, v;
};

quad_model widen(const model_params& m) {
  const quad a = m.p_a;
  const quad b = m.p_b;
  const quad c = m.p_c;
  const quad d = m.p_d;
  const quad L = m.L;
  quad_model q;
  q.omega = m.omega;
  q.inv_a = 1 / a;
  q.inv_bc = 1 / (b + c);
  q.inv_bd = 1 / (b + d);
  q.forcing = (static_cast<quad>(m.p_e) / a) / q.omega;
  q.LL = L * L;
  q.v = q.inv_bd - q.inv_bc;
  return q;
}

quad product(const quad* x, const quad* y, int n) {
  quad acc = 0;
  for (int i = 0; i <= n; ++i) {
    acc += x[i] * y[n - i];
  }
  return acc;
}

// One step of size h from (t, phi, l).
void step(const quad_model& q, quad t, quad h, quad& phi, quad& l) {
  quad p[order + 1], x[order + 1], sg[order + 1], kp[order + 1], fs[order + 1], fc[order + 1];
  quad a[order + 1], sc[order + 1], ll[order + 1], pd[order + 1];
  p[0] = phi;
  x[0] = l;
  sg[0] = sinq(phi);
  kp[0] = cosq(phi);
  fs[0] = sinq(q.omega * t);
  fc[0] = cosq(q.omega * t);
  for (int n = 0; n < order; ++n) {
    // a = 1/a - cos^2 phi/(b+c) - sin^2 phi/(b+d), sc = sin phi cos phi, ll = l^2 - L^2.
    a[n] = (n == 0 ? q.inv_a : 0) - product(kp, kp, n) * q.inv_bc - product(sg, sg, n) * q.inv_bd;
    sc[n] = product(sg, kp, n);
    ll[n] = product(x, x, n) - (n == 0 ? q.LL : 0);
    pd[n] = product(a, x, n) + q.forcing * fs[n];
    p[n + 1] = pd[n] / (n + 1);
    x[n + 1] = product(sc, ll, n) * q.v / (n + 1);
    sg[n + 1] = product(kp, pd, n) / (n + 1);
    kp[n + 1] = -product(sg, pd, n) / (n + 1);
    fs[n + 1] = q.omega * fc[n] / (n + 1);
    fc[n + 1] = -q.omega * fs[n] / (n + 1);
  }
  quad dp = 0;
  quad dx = 0;
  for (int n = order; 1 <= n; --n) {
    dp = (dp + p[n]) * h;
    dx = (dx + x[n]) * h;
  }
  phi += dp;
  l += dx;
}

}  // namespace

std::vector<std::array<double, 2>> reference_points(const model_params& m, int direction,
                                                    const std::array<double, 2>& y0, int n_points,
                                                    int steps_per_segment) {
  const quad_model q = widen(m);
  const quad pi = acosq(-1);
  quad phi = y0[0];
  quad l = y0[1];
  quad t = 0;
  std::vector<std::array<double, 2>> points;
  for (int k = 0; k < n_points; ++k) {
    const quad t_k = direction > 0 ? (4 * k + 2) * pi / q.omega : -4 * (k + 1) * pi / q.omega;
    const quad h = (t_k - t) / steps_per_segment;
    for (int i = 0; i < steps_per_segment; ++i) {
      step(q, t + i * h, h, phi, l);
    }
    t = t_k;
    const quad turn = 2 * pi;
    const quad reduced = phi - floorq(phi / turn) * turn;
    points.push_back(
        {static_cast<double>(reduced), static_cast<double>(l / static_cast<quad>(m.L))});
  }
  return points;
}
