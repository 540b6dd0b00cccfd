// The trial step of rk4_step.cpp on up to eight lanes. GCC's vector arithmetic rounds lane by lane
// exactly as the scalar operations do (no contraction: -ffp-contract=off), so each lane keeps
// the scalar bits. sin and cos are the C library's: computed in the lanes by its own method
// where the process's library is one libc_sine_form.hpp recognises, else called lane by lane,
// where eight conditions' independent calls overlap in the processor.
// libc_sine_lanes.hpp returns vectors from functions that are always inlined: no vector
// crosses a call, so GCC's note on the vector ABI does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#include "section/lane_trial.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "section/libc_sine_form.hpp"
#include "section/libc_sine_lanes.hpp"
#include "section/libc_sine_table.hpp"

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

// rates() of rk4_step's model on every lane: sin and cos as the C library gives them for the
// lanes that are on (the others hold zeros and their results are not read), the rest as
// rates() forms it.
template <int W, int C, libc_sine_form F, typename vec>
[[gnu::always_inline]] inline void rates_lanes(const double* table, const lane_constants<vec>& c,
                                               const lane_mask& mask, const vec& sin_omega_t,
                                               const vec& x0, const vec& x1, vec& r0, vec& r1) {
  vec sin_phi{};
  vec cos_phi{};
  if constexpr (F == libc_sine_form::library_calls) {
    for (int j = 0; j < W; ++j) {
      if (mask.on[j]) {
        sin_phi[j] = std::sin(x0[j]);
        cos_phi[j] = std::cos(x0[j]);
      }
    }
  } else {
    typename libc_sine::lanes<W>::i64 outside;
    libc_sine::sincos_by_register<C, W, F == libc_sine_form::fused>(table, x0, sin_phi, cos_phi,
                                                                    outside);
    for (int j = 0; j < W; ++j) {
      if (mask.on[j] && outside[j] != 0) {
        sin_phi[j] = std::sin(x0[j]);
        cos_phi[j] = std::cos(x0[j]);
      }
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

// sin(omega * time[j]) for the lanes that are on: from each lane's memo, else computed (all
// such lanes at once) and kept there, as sin_omega does one lane at a time.
template <int W, int C, libc_sine_form F, typename vec>
[[gnu::always_inline]] inline void sin_omega_lanes(const double* table,
                                                   std::array<trial_lane, trial_lanes>& lanes,
                                                   const lane_mask& mask, const vec& time,
                                                   vec& value) {
  value = vec{};
  vec arg{};
  lane_mask missing;
  bool any_missing = false;
  for (int j = 0; j < W; ++j) {
    if (mask.on[j] && !find_sin_omega(lanes[j].k->memo, time[j], value[j])) {
      missing.on[j] = true;
      any_missing = true;
      arg[j] = lanes[j].k->c.omega * time[j];
    }
  }
  if (!any_missing) {
    return;
  }
  vec computed{};
  typename libc_sine::lanes<W>::i64 outside{};
  if constexpr (F != libc_sine_form::library_calls) {
    libc_sine::sin_by_register<C, W, F == libc_sine_form::fused>(table, arg, computed, outside);
  } else {
    outside = outside == 0;
  }
  for (int j = 0; j < W; ++j) {
    if (missing.on[j]) {
      value[j] = outside[j] != 0 ? std::sin(arg[j]) : computed[j];
      keep_sin_omega(lanes[j].k->memo, time[j], value[j]);
    }
  }
}

// The trials of lanes 0 .. W - 1; the later lanes take none.
template <int W, int C, libc_sine_form F>
[[gnu::always_inline]] inline void trial_body(std::array<trial_lane, trial_lanes>& lanes,
                                              const lane_rates* shared, const double* table) {
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
    sin_omega_lanes<W, C, F>(table, lanes, begin, t, sin_t);
    vec b0;
    vec b1;
    rates_lanes<W, C, F>(table, c, begin, sin_t, y0, y1, b0, b1);
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
  sin_omega_lanes<W, C, F>(table, lanes, on, 0.5 * h + t, sin_mid);
  vec r0;
  vec r1;
  rates_lanes<W, C, F>(table, c, on, sin_mid, x_k1_0, x_k1_1, r0, r1);
  const vec k2_0 = r0 * h;
  const vec k2_1 = r1 * h;
  const vec x_k2_0 = 0.5 * k2_0 + y0;
  const vec x_k2_1 = 0.5 * k2_1 + y1;
  rates_lanes<W, C, F>(table, c, on, sin_mid, x_k2_0, x_k2_1, r0, r1);
  const vec k3_0 = r0 * h;
  const vec k3_1 = r1 * h;
  const vec x_k3_0 = y0 + k3_0;
  const vec x_k3_1 = y1 + k3_1;
  const vec t_new = t + h;
  vec sin_end;
  sin_omega_lanes<W, C, F>(table, lanes, on, t_new, sin_end);
  rates_lanes<W, C, F>(table, c, on, sin_end, x_k3_0, x_k3_1, r0, r1);
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

// The same body for AVX2 (four lanes a register), AVX2 with FMA (for the C library's FMA form of
// sin and cos) and the baseline x86-64 (two).
template <int W, libc_sine_form F>
__attribute__((target("avx2"))) void trial_avx2(std::array<trial_lane, trial_lanes>& lanes,
                                                const lane_rates* shared, const double* table) {
  trial_body<W, 4, F>(lanes, shared, table);
}

template <int W>
__attribute__((target("avx2,fma"))) void trial_avx2_fma(std::array<trial_lane, trial_lanes>& lanes,
                                                        const lane_rates* shared,
                                                        const double* table) {
  trial_body<W, 4, libc_sine_form::fused>(lanes, shared, table);
}

template <int W, libc_sine_form F>
void trial_baseline(std::array<trial_lane, trial_lanes>& lanes, const lane_rates* shared,
                    const double* table) {
  trial_body<W, 2, F>(lanes, shared, table);
}

template <int W>
void trial_width(std::array<trial_lane, trial_lanes>& lanes, trial_isa isa,
                 const lane_rates* shared) {
  const bool avx2 = isa == trial_isa::avx2;
  // Two lanes of the C library's calls overlap well enough; computing the sines in lanes pays
  // from four.
  const libc_sine_form form = W == 2 ? libc_sine_form::library_calls : libc_sine_form_for(avx2);
  const double* table = libc_sine_table();
  if (avx2 && form == libc_sine_form::fused) {
    trial_avx2_fma<W>(lanes, shared, table);
  } else if (avx2 && form == libc_sine_form::separate) {
    trial_avx2<W, libc_sine_form::separate>(lanes, shared, table);
  } else if (avx2) {
    trial_avx2<W, libc_sine_form::library_calls>(lanes, shared, table);
  } else if (form == libc_sine_form::separate) {
    trial_baseline<W, libc_sine_form::separate>(lanes, shared, table);
  } else {
    trial_baseline<W, libc_sine_form::library_calls>(lanes, shared, table);
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
  int with_trial = 0;
  for (int j = 0; j < trial_lanes; ++j) {
    if (lanes[j].s != nullptr) {
      used = j + 1;
      ++with_trial;
    }
  }
  // One lane alone: the scalar step, whose every value the lanes repeat, costs least.
  if (with_trial == 1) {
    trial_lane& lane = lanes[static_cast<std::size_t>(used - 1)];
    if (lane.begin) {
      begin_step(*lane.k, *lane.s);
    }
    lane.err = trial_step(*lane.k, *lane.s);
    return;
  }
  if (used > 4) {
    trial_width<8>(lanes, isa, shared);
  } else if (used > 2) {
    trial_width<4>(lanes, isa, shared);
  } else if (used > 0) {
    trial_width<2>(lanes, isa, shared);
  }
}
