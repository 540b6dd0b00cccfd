// Literal oracle: every formula written out once, in the documented order, without guards.
#include "oracle/literal_oracle.hpp"

#include <cmath>
#include <cstdio>

namespace oracle {

namespace {
const float p_a = 6.0f;
const float p_b = 5.0f;
const float p_c = 8.0f;
const float p_d = 15.0f;
const float p_e = 0.4f;
const float omega = 1.0f;

double section(double t) { return std::sin((static_cast<double>(omega) * t) / 2.0); }
}  // namespace

double rhs(float L, int component, double t, const double* y) {
  const double pa = static_cast<double>(p_a);
  const double pb = static_cast<double>(p_b);
  const double pc = static_cast<double>(p_c);
  const double pd = static_cast<double>(p_d);
  const double pe = static_cast<double>(p_e);
  const double om = static_cast<double>(omega);
  const double LL = static_cast<double>(L);
  if (component == 0) {
    double q = 1 / pa;
    q = q - (std::cos(y[0]) * std::cos(y[0])) / (pb + pc);
    q = q - (std::sin(y[0]) * std::sin(y[0])) / (pb + pd);
    double f = ((pe / pa) / om) * std::sin(om * t);
    return q * y[1] + f;
  }
  if (component == 1) {
    double u = -(LL * LL - y[1] * y[1]);
    double v = 1 / (pb + pd) - 1 / (pb + pc);
    double w = u * v;
    return std::cos(y[0]) * (std::sin(y[0]) * w);
  }
  return 0.0;
}

double rk4_step(float L, state& s) {
  double k1[2], k2[2], k3[2], k4[2], x_k1[2], x_k2[2], x_k3[2];
  int i;
  for (i = 0; i < 2; i++) {
    k1[i] = rhs(L, i, s.t, s.y) * s.h;
    x_k1[i] = 0.5 * k1[i] + s.y[i];
  }
  for (i = 0; i < 2; i++) {
    k2[i] = rhs(L, i, 0.5 * s.h + s.t, x_k1) * s.h;
    x_k2[i] = 0.5 * k2[i] + s.y[i];
  }
  for (i = 0; i < 2; i++) {
    k3[i] = rhs(L, i, 0.5 * s.h + s.t, x_k2) * s.h;
    x_k3[i] = s.y[i] + k3[i];
  }
  for (i = 0; i < 2; i++) k4[i] = rhs(L, i, s.t + s.h, x_k3) * s.h;
  for (i = 0; i < 2; i++) s.y_new[i] = (2.0 * k2[i] + k1[i] + 2.0 * k3[i] + k4[i]) / 6.0 + s.y[i];
  s.t_new = s.t + s.h;
  double max = 0.0;
  for (i = 0; i < 2; i++) {
    double e = 2 * std::fabs(k1[i] - k2[i] - k3[i] + k4[i]) / 3.0;
    if (max < e) max = e;
  }
  return max;
}

std::string section_map(float L, double tol, double eps, int n_points, state& s, int digits) {
  std::string out;
  while (s.count < n_points) {
    double err = rk4_step(L, s);
    while (tol < err) {
      s.h = s.h / 2.0;
      err = rk4_step(L, s);
    }
    while (err <= tol / 8.0) {
      s.h = s.h + s.h;
      err = rk4_step(L, s);
    }
    double s_prev = section(s.t);
    double s_new = section(s.t_new);
    if (s_prev * s_new < 0.0 && 0.0 < s_prev) {
      double h_saved = s.h;
      s.count = s.count + 1;
      while (std::fabs(s_new) > eps) {
        if (s_prev * s_new < 0.0)
          s.h = s.h * 0.5;
        else
          s.h = s.h * 1.5;
        rk4_step(L, s);
        s_new = section(s.t_new);
      }
      s.h = h_saved;
      const double two_pi = 6.283185307179586;
      const double phi = std::fmod(std::fmod(s.y[0], two_pi) + two_pi, two_pi);
      const double ratio = s.y[1] / static_cast<double>(L);
      char line[2 * 330];
      if (digits == 10) {
        std::snprintf(line, sizeof line, "%15.10f %15.10f\n", phi, ratio);
      } else {
        std::snprintf(line, sizeof line, "%15.*f %15.*f\n", digits, phi, digits, ratio);
      }
      out += line;
    }
    s.y[0] = s.y_new[0];
    s.y[1] = s.y_new[1];
    s.t = s.t_new;
  }
  return out;
}

std::string run(float L, double h0, double tol, double eps, int n_points, const double* initial,
                int n_conditions, int digits) {
  std::string out;
  state s;
  s.h = h0;
  for (int i = 0; i < n_conditions; i++) {
    s.y[0] = initial[2 * i];
    s.y[1] = initial[2 * i + 1];
    s.count = 0;
    s.t = 0.0;
    out += section_map(L, tol, eps, n_points, s, digits);
  }
  return out;
}

}  // namespace oracle
