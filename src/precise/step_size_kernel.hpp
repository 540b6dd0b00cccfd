// The tolerance step of every lane of a block at once: tolerance_step's rule with
// portable_log and portable_exp computed lane by lane by their very operations, for the
// arguments where they take their main path. Lanes outside it are left to the scalar
// tolerance_step. Included only where the kernels are compiled for each instruction set
// (lane_kernels.cpp).
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "precise/lane_math.hpp"
#include "precise/taylor_series.hpp"

// The 64 bits of each lane as unsigned integers (one specialisation per width, as lanes<W>).
template <int W>
struct lane_bits_of;
template <>
struct lane_bits_of<1> {
  using type = std::uint64_t;
};
template <>
struct lane_bits_of<2> {
  using type = std::uint64_t __attribute__((vector_size(2 * sizeof(std::uint64_t))));
};
template <>
struct lane_bits_of<4> {
  using type = std::uint64_t __attribute__((vector_size(4 * sizeof(std::uint64_t))));
};
template <>
struct lane_bits_of<8> {
  using type = std::uint64_t __attribute__((vector_size(8 * sizeof(std::uint64_t))));
};

template <int W>
using lane_bits = typename lane_bits_of<W>::type;

// Vectors pass by reference: returned by value they would change the calling convention with
// the instruction set.
template <int W>
[[gnu::always_inline]] inline void to_bits(lane_bits<W>& u, const lanes<W>& x) {
  std::memcpy(&u, &x, sizeof u);
}

template <int W>
[[gnu::always_inline]] inline void from_bits(lanes<W>& x, const lane_bits<W>& u) {
  std::memcpy(&x, &u, sizeof x);
}

// 1.5 * 2^52: a double below 2^51 in size added to it rounds to an integer (ties to even, as
// nearbyint does), which its low bits then hold in two's complement.
constexpr double integer_magic = 6755399441055744.0;

// portable_log of lanes whose x is normal, positive and finite: x = 2^k m, the exponent field
// read as a double exactly (2^52 + field, less 2^52), and the same operations after that.
template <int W>
[[gnu::always_inline]] inline void log_of_normal(lanes<W>& out, const lanes<W>& x) {
  using V = lanes<W>;
  constexpr double ln2_hi = 0x1.62e42feep-1;
  constexpr double ln2_lo = 0x1.a39ef35793c76p-33;
  constexpr double sqrt2 = 0x1.6a09e667f3bcdp0;
  lane_bits<W> bits;
  to_bits<W>(bits, x);
  V field;
  V m;
  from_bits<W>(field, (bits >> 52) | 0x4330000000000000ULL);
  from_bits<W>(m, (bits & 0x000fffffffffffffULL) | 0x3ff0000000000000ULL);
  field = field - 0x1p52;
  V dk = field - 1023.0;
  const auto halve = sqrt2 < m;
  m = halve ? m / 2.0 : m;
  dk = halve ? dk + 1.0 : dk;
  const V f = m - 1.0;
  const V s = f / (2.0 + f);
  const V z = s * s;
  const V w = z * z;
  V even = V{} + 2.0 / 23.0;
  for (const double a : {2.0 / 19.0, 2.0 / 15.0, 2.0 / 11.0, 2.0 / 7.0, 2.0 / 3.0}) {
    even = even * w + a;
  }
  V odd = V{} + 2.0 / 21.0;
  for (const double a : {2.0 / 17.0, 2.0 / 13.0, 2.0 / 9.0, 2.0 / 5.0}) {
    odd = odd * w + a;
  }
  const V r = z * (even + z * odd);
  const V hfsq = 0.5 * (f * f);
  out = dk * ln2_hi - ((hfsq - (s * (hfsq + r) + dk * ln2_lo)) - f);
}

// portable_exp of lanes with |x| <= exp_lane_limit, whose results are normal: k rounded by
// integer_magic as nearbyint rounds it, and the scaling by 2^k an exact product.
constexpr double exp_lane_limit = 700.0;

template <int W>
[[gnu::always_inline]] inline void exp_of_moderate(lanes<W>& out, const lanes<W>& x) {
  using V = lanes<W>;
  constexpr double ln2_hi = 0x1.62e42feep-1;
  constexpr double ln2_lo = 0x1.a39ef35793c76p-33;
  constexpr double inv_ln2 = 0x1.71547652b82fep0;
  const V shifted = x * inv_ln2 + integer_magic;
  const V k = shifted - integer_magic;
  const V hi = x - k * ln2_hi;
  const V lo = k * ln2_lo;
  const V r = hi - lo;
  const V c = (hi - r) - lo;
  const V w = r * r;
  V even = V{} + 1.0 / 87178291200.0;
  for (const double a :
       {1.0 / 479001600.0, 1.0 / 3628800.0, 1.0 / 40320.0, 1.0 / 720.0, 1.0 / 24.0, 0.5}) {
    even = even * w + a;
  }
  V odd = V{} + 1.0 / 1307674368000.0;
  for (const double a : {1.0 / 6227020800.0, 1.0 / 39916800.0, 1.0 / 362880.0, 1.0 / 5040.0,
                         1.0 / 120.0, 1.0 / 6.0}) {
    odd = odd * w + a;
  }
  const V q = even + r * odd;
  // two_sum(1, r)
  const V one_r = 1.0 + r;
  const V bb = one_r - 1.0;
  const V one_r_lo = (1.0 - (one_r - bb)) + (r - bb);
  const V rest = one_r_lo + (w * q + c * (1.0 + r));
  // 2^k from k's bits in `shifted`: (k + 1023) << 52 for k in [-1010, 1010].
  lane_bits<W> k_bits;
  lane_bits<W> magic_bits;
  to_bits<W>(k_bits, shifted);
  to_bits<W>(magic_bits, V{} + integer_magic);
  V scale;
  from_bits<W>(scale, ((k_bits - magic_bits) + 1023ULL) << 52);
  out = (one_r + rest) * scale;
}

// Whether lane j of a comparison's result is true.
[[gnu::always_inline]] inline bool lane_true(bool mask, int /*j*/) { return mask; }
template <typename Mask>
[[gnu::always_inline]] inline bool lane_true(const Mask& mask, int j) {
  return mask[j] != 0;
}

// tolerance_step for W lanes of a block of BW from lane `first` on, into b.h_tol. Returns the
// lanes (bit first + j for lane first + j) whose arguments leave the main path of portable_log
// or portable_exp: their h_tol must come from tolerance_step itself.
template <int W, int BW>
[[gnu::always_inline]] inline unsigned step_sizes_for(const lane_constants<BW>& k,
                                                      series_block<BW>& b, int first = 0) {
  using V = lanes<W>;
  const int p = k.order;
  V phi_pm1;
  V phi_p;
  V l_pm1;
  V l_p;
  V tol_rate;
  load_at<W>(phi_pm1, b.phi[p - 1] + first);
  load_at<W>(phi_p, b.phi[p] + first);
  load_at<W>(l_pm1, b.l[p - 1] + first);
  load_at<W>(l_p, b.l[p] + first);
  load_at<W>(tol_rate, k.tol_rate + first);
  // Magnitudes: the sign bit cleared, as fabs does.
  lane_bits<W> bits;
  V a_pm1;
  V b_pm1;
  V a_p;
  V b_p;
  constexpr std::uint64_t magnitude = 0x7fffffffffffffffULL;
  to_bits<W>(bits, phi_pm1);
  from_bits<W>(a_pm1, bits & magnitude);
  to_bits<W>(bits, l_pm1);
  from_bits<W>(b_pm1, bits & magnitude);
  to_bits<W>(bits, phi_p);
  from_bits<W>(a_p, bits & magnitude);
  to_bits<W>(bits, l_p);
  from_bits<W>(b_p, bits & magnitude);
  // fmax, but for a NaN in the first operand, which makes x NaN: such a lane goes to the
  // scalar path.
  const V e_pm1 = a_pm1 < b_pm1 ? b_pm1 : a_pm1;
  const V e_p = a_p < b_p ? b_p : a_p;
  const V x_pm1 = tol_rate / e_pm1;
  const V x_p = tol_rate / e_p;
  V log_pm1;
  V log_p;
  log_of_normal<W>(log_pm1, x_pm1);
  log_of_normal<W>(log_p, x_p);
  const V q_pm1 = log_pm1 / static_cast<double>(p - 2);
  const V q_p = log_p / static_cast<double>(p - 1);
  const V q = q_p < q_pm1 ? q_p : q_pm1;
  V h_tol;
  exp_of_moderate<W>(h_tol, q);
  store_at<W>(b.h_tol + first, h_tol);
  // Normal, positive and finite logarithms' arguments (NaN fails every comparison), and a
  // normal result of exp.
  const V smallest = V{} + 0x1p-1022;
  const V largest = V{} + 0x1.fffffffffffffp1023;
  const V limit = V{} + exp_lane_limit;
  const auto main_path = smallest <= x_pm1 && x_pm1 <= largest && smallest <= x_p &&
                         x_p <= largest && -limit <= q && q <= limit;
  unsigned scalar = 0;
  for (int j = 0; j < W; ++j) {
    if (!lane_true(main_path, j)) {
      scalar |= 1U << (first + j);
    }
  }
  return scalar;
}
