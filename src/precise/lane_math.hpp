// The lanes of a block as one value, and sin and cos computed lane by lane with the same
// operations whatever the lane count or instruction set, so that lanes match the scalar path.
#pragma once

#include <cstring>
#include <initializer_list>

// A GCC vector of 8, 4 or 2 doubles, or a plain double for one lane. Its arithmetic is lane by lane
// and rounds exactly as the scalar operations do. (A vector size that depends on a template
// parameter would be dropped by GCC, hence one specialisation per width.)
template <int W>
struct lane_vector;
template <>
struct lane_vector<1> {
  using type = double;
};
template <>
struct lane_vector<2> {
  using type = double __attribute__((vector_size(2 * sizeof(double))));
};
template <>
struct lane_vector<4> {
  using type = double __attribute__((vector_size(4 * sizeof(double))));
};
template <>
struct lane_vector<8> {
  using type = double __attribute__((vector_size(8 * sizeof(double))));
};

template <int W>
using lanes = typename lane_vector<W>::type;

template <int W>
[[gnu::always_inline]] inline void load(lanes<W>& v, const double (&row)[W]) {
  std::memcpy(&v, row, sizeof v);
}

template <int W>
[[gnu::always_inline]] inline void store(double (&row)[W], const lanes<W>& v) {
  std::memcpy(row, &v, sizeof v);
}

// The W lanes that start at `row`: a whole row, or part of a wider block's row.
template <int W>
[[gnu::always_inline]] inline void load_at(lanes<W>& v, const double* row) {
  std::memcpy(&v, row, sizeof v);
}

template <int W>
[[gnu::always_inline]] inline void store_at(double* row, const lanes<W>& v) {
  std::memcpy(row, &v, sizeof v);
}

// sin x and cos x for |x| <= 2^20, within about one unit in the last place: x is reduced by
// the nearest multiple k of pi/2 in three parts (k * pio2_1 and k * pio2_2 are exact), then
// Taylor polynomials on |r| <= pi/4 whose first omitted terms are below 1e-19.
template <typename V>
[[gnu::always_inline]] inline void sin_cos(const V& x, V& sin_x, V& cos_x) {
  constexpr double round_magic = 6755399441055744.0;  // 1.5 * 2^52: adding it rounds to integer
  constexpr double two_over_pi = 0.63661977236758138;
  constexpr double pio2_1 = 1.57079632673412561417e+00;  // first 33 bits of pi/2
  constexpr double pio2_2 = 6.07710050630396597660e-11;  // next 33 bits
  constexpr double pio2_3 = 2.02226624879595063154e-21;  // the rest
  const V k = (x * two_over_pi + round_magic) - round_magic;
  const V r = ((x - k * pio2_1) - k * pio2_2) - k * pio2_3;
  const V r2 = r * r;
  V ps = V{} - 1.0 / 355687428096000.0;  // -1/17! in every lane
  for (const double a : {1.0 / 1307674368000.0, -1.0 / 6227020800.0, 1.0 / 39916800.0,
                         -1.0 / 362880.0, 1.0 / 5040.0, -1.0 / 120.0, 1.0 / 6.0}) {
    ps = ps * r2 + a;
  }
  V pc = V{} + 1.0 / 20922789888000.0;  // 1/16!
  for (const double a : {1.0 / 87178291200.0, 1.0 / 479001600.0, 1.0 / 3628800.0, 1.0 / 40320.0,
                         1.0 / 720.0, 1.0 / 24.0}) {
    pc = pc * (-r2) + a;
  }
  const V s = r - (r * r2) * ps;
  const V c = (1.0 - 0.5 * r2) + (r2 * r2) * pc;
  // Quadrant q = k mod 4, its halves h = floor(q / 2) and parity o, all small integers held
  // as doubles: rounding q / 2 - 0.25 or k / 4 - 0.375 never meets a tie. Selecting and
  // negating by multiplying with 0 and +-1 is exact and needs no per-lane branch.
  const V q = k - 4.0 * (((k / 4.0 - 0.375) + round_magic) - round_magic);
  const V h = ((q / 2.0 - 0.25) + round_magic) - round_magic;
  const V o = q - 2.0 * h;
  const V d = h - o;  // 0 where cos keeps its sign, +-1 where it flips (q = 1, 2)
  sin_x = (1.0 - 2.0 * h) * ((1.0 - o) * s + o * c);
  cos_x = (1.0 - 2.0 * (d * d)) * ((1.0 - o) * c + o * s);
}
