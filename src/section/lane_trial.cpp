// The trial step of rk4_step.cpp on up to eight lanes. GCC's vector arithmetic rounds lane by lane
// exactly as the scalar operations do (no contraction: -ffp-contract=off), so each lane keeps
// the scalar bits; what the lanes gain is that eight conditions' independent sin and cos calls
// and divisions overlap in the processor instead of each waiting on the one before.
#include "section/lane_trial.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// The first W lanes of a batch as one vector: a batch whose later lanes take no trial runs on
// a narrower one. (GCC drops a vector size that depends on a template parameter, hence one
// specialisation per width.)
template <int W>
struct lane_width;
template <>
struct lane_width<2> {
  using vec = double __attribute__((vector_size(2 * sizeof(double))));
  using bits = std::uint64_t __attribute__((vector_size(2 * sizeof(std::uint64_t))));
};
template <>
struct lane_width<4> {
  using vec = double __attribute__((vector_size(4 * sizeof(double))));
  using bits = std::uint64_t __attribute__((vector_size(4 * sizeof(std::uint64_t))));
};
template <>
struct lane_width<8> {
  using vec = double __attribute__((vector_size(8 * sizeof(double))));
  using bits = std::uint64_t __attribute__((vector_size(8 * sizeof(std::uint64_t))));
};
static_assert(trial_lanes == 8, "one lane_width per width up to trial_lanes");

// The rate constants of every lane; lanes may belong to different models.
template <typename vec>
struct lane_constants {
  vec inv_p_a{};
  vec p_bc{};
  vec p_bd{};
  vec forcing{};
  vec v{};
  vec LL{};
};

struct lane_mask {
  bool on[trial_lanes] = {};
};

// rates() of rk4_step's model on every lane: sin and cos from the C library for the lanes that
// are on (the others hold zeros and their results are not read), the rest as rates() forms it.
template <int W, typename vec>
[[gnu::always_inline]] inline void rates_lanes(const lane_constants<vec>& c, const lane_mask& mask,
                                               const vec& sin_omega_t, const vec& x0, const vec& x1,
                                               vec& r0, vec& r1) {
  vec sin_phi{};
  vec cos_phi{};
  for (int j = 0; j < W; ++j) {
    if (mask.on[j]) {
      sin_phi[j] = std::sin(x0[j]);
      cos_phi[j] = std::cos(x0[j]);
    }
  }
  vec q = c.inv_p_a;
  q = q - (cos_phi * cos_phi) / c.p_bc;
  q = q - (sin_phi * sin_phi) / c.p_bd;
  const vec f = c.forcing * sin_omega_t;
  const vec u = -(c.LL - x1 * x1);
  const vec w = u * c.v;
  r0 = q * x1 + f;
  r1 = cos_phi * (sin_phi * w);
}

// Error estimate lane by lane: 2 * |d| / 3, the sign bit of d cleared as std::fabs does.
// (Vectors pass by reference: by value they would change the ABI between the two targets.)
template <typename vec, typename vec_bits>
[[gnu::always_inline]] inline void error_lanes(const vec& d, vec& e) {
  vec_bits bits;
  std::memcpy(&bits, &d, sizeof bits);
  bits &= ~(std::uint64_t{1} << 63);
  vec abs;
  std::memcpy(&abs, &bits, sizeof abs);
  e = 2.0 * abs / 3.0;
}

// sin(omega * time[j]) from each lane's memo, for the lanes that are on.
template <int W, typename vec>
[[gnu::always_inline]] inline void sin_omega_lanes(std::array<trial_lane, trial_lanes>& lanes,
                                                   const lane_mask& mask, const vec& time,
                                                   vec& value) {
  value = vec{};
  for (int j = 0; j < W; ++j) {
    if (mask.on[j]) {
      trial_kernel& k = *lanes[j].k;
      value[j] = sin_omega(k.c, k.memo, time[j]);
    }
  }
}

// The trials of lanes 0 .. W - 1; the later lanes take none.
template <int W>
[[gnu::always_inline]] inline void trial_body(std::array<trial_lane, trial_lanes>& lanes,
                                              const lane_rates* shared) {
  using vec = typename lane_width<W>::vec;
  using vec_bits = typename lane_width<W>::bits;
  lane_mask on;
  lane_mask begin;
  lane_constants<vec> c;
  vec t{};
  vec h{};
  vec y0{};
  vec y1{};
  vec rate0{};
  vec rate1{};
  bool any_begin = false;
  if (shared != nullptr) {
    std::memcpy(&c.inv_p_a, shared->inv_p_a.data(), sizeof(vec));
    std::memcpy(&c.p_bc, shared->p_bc.data(), sizeof(vec));
    std::memcpy(&c.p_bd, shared->p_bd.data(), sizeof(vec));
    std::memcpy(&c.forcing, shared->forcing.data(), sizeof(vec));
    std::memcpy(&c.v, shared->v.data(), sizeof(vec));
    std::memcpy(&c.LL, shared->LL.data(), sizeof(vec));
  }
  for (int j = 0; j < W; ++j) {
    const trial_lane& lane = lanes[j];
    on.on[j] = lane.s != nullptr;
    if (!on.on[j]) {
      continue;
    }
    begin.on[j] = lane.begin;
    any_begin = any_begin || lane.begin;
    if (shared == nullptr) {
      const rate_constants& rc = lane.k->c;
      c.inv_p_a[j] = rc.inv_p_a;
      c.p_bc[j] = rc.p_bc;
      c.p_bd[j] = rc.p_bd;
      c.forcing[j] = rc.forcing;
      c.v[j] = rc.v;
      c.LL[j] = rc.LL;
    }
    t[j] = lane.s->t;
    h[j] = lane.s->h;
    y0[j] = lane.s->y[0];
    y1[j] = lane.s->y[1];
    rate0[j] = lane.k->start_rate[0];
    rate1[j] = lane.k->start_rate[1];
  }
  if (any_begin) {
    // begin_step: the rates at (t, y), which every trial from there shares.
    vec sin_t;
    sin_omega_lanes<W>(lanes, begin, t, sin_t);
    vec b0;
    vec b1;
    rates_lanes<W>(c, begin, sin_t, y0, y1, b0, b1);
    for (int j = 0; j < W; ++j) {
      if (begin.on[j]) {
        rate0[j] = b0[j];
        rate1[j] = b1[j];
        lanes[j].k->start_rate = {b0[j], b1[j]};
      }
    }
  }
  const vec k1_0 = rate0 * h;
  const vec k1_1 = rate1 * h;
  const vec x_k1_0 = 0.5 * k1_0 + y0;
  const vec x_k1_1 = 0.5 * k1_1 + y1;
  vec sin_mid;
  sin_omega_lanes<W>(lanes, on, 0.5 * h + t, sin_mid);
  vec r0;
  vec r1;
  rates_lanes<W>(c, on, sin_mid, x_k1_0, x_k1_1, r0, r1);
  const vec k2_0 = r0 * h;
  const vec k2_1 = r1 * h;
  const vec x_k2_0 = 0.5 * k2_0 + y0;
  const vec x_k2_1 = 0.5 * k2_1 + y1;
  rates_lanes<W>(c, on, sin_mid, x_k2_0, x_k2_1, r0, r1);
  const vec k3_0 = r0 * h;
  const vec k3_1 = r1 * h;
  const vec x_k3_0 = y0 + k3_0;
  const vec x_k3_1 = y1 + k3_1;
  const vec t_new = t + h;
  vec sin_end;
  sin_omega_lanes<W>(lanes, on, t_new, sin_end);
  rates_lanes<W>(c, on, sin_end, x_k3_0, x_k3_1, r0, r1);
  const vec k4_0 = r0 * h;
  const vec k4_1 = r1 * h;
  const vec y_new_0 = (2.0 * k2_0 + k1_0 + 2.0 * k3_0 + k4_0) / 6.0 + y0;
  const vec y_new_1 = (2.0 * k2_1 + k1_1 + 2.0 * k3_1 + k4_1) / 6.0 + y1;
  vec e0;
  vec e1;
  error_lanes<vec, vec_bits>(k1_0 - k2_0 - k3_0 + k4_0, e0);
  error_lanes<vec, vec_bits>(k1_1 - k2_1 - k3_1 + k4_1, e1);
  for (int j = 0; j < W; ++j) {
    if (!on.on[j]) {
      continue;
    }
    integration_state& s = *lanes[j].s;
    s.y_new = {y_new_0[j], y_new_1[j]};
    s.t_new = t_new[j];
    // As in trial_step: strictly greater replaces, so a NaN estimate leaves max as it is.
    double max = 0.0;
    if (max < e0[j]) {
      max = e0[j];
    }
    if (max < e1[j]) {
      max = e1[j];
    }
    lanes[j].err = max;
  }
}

// The same body for AVX2 (four lanes a register) and for the baseline x86-64 (two).
template <int W>
__attribute__((target("avx2"))) void trial_avx2(std::array<trial_lane, trial_lanes>& lanes,
                                                const lane_rates* shared) {
  trial_body<W>(lanes, shared);
}

template <int W>
void trial_baseline(std::array<trial_lane, trial_lanes>& lanes, const lane_rates* shared) {
  trial_body<W>(lanes, shared);
}

template <int W>
void trial_width(std::array<trial_lane, trial_lanes>& lanes, trial_isa isa,
                 const lane_rates* shared) {
  if (isa == trial_isa::avx2) {
    trial_avx2<W>(lanes, shared);
  } else {
    trial_baseline<W>(lanes, shared);
  }
}

}  // namespace

lane_rates repeat_rates(const rate_constants& c) {
  lane_rates r;
  r.inv_p_a.fill(c.inv_p_a);
  r.p_bc.fill(c.p_bc);
  r.p_bd.fill(c.p_bd);
  r.forcing.fill(c.forcing);
  r.v.fill(c.v);
  r.LL.fill(c.LL);
  return r;
}

trial_isa best_trial_isa() {
  return __builtin_cpu_supports("avx2") ? trial_isa::avx2 : trial_isa::baseline;
}

void trial_step_lanes(std::array<trial_lane, trial_lanes>& lanes, trial_isa isa,
                      const lane_rates* shared) {
  // The arithmetic of an empty lane costs as much as that of a full one: a batch runs on the
  // narrowest vector that holds its last lane with a trial.
  int used = 0;
  for (int j = 0; j < trial_lanes; ++j) {
    if (lanes[j].s != nullptr) {
      used = j + 1;
    }
  }
  if (used > 4) {
    trial_width<8>(lanes, isa, shared);
  } else if (used > 2) {
    trial_width<4>(lanes, isa, shared);
  } else if (used > 0) {
    trial_width<2>(lanes, isa, shared);
  }
}
