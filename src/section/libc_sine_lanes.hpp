// sin and cos of up to eight lanes in vector registers, with the bits the C library's sin and
// sincos give one call at a time. glibc (2.28 onwards) reduces x to [-pi/4, pi/4] with pi/2 in
// three parts, looks sin and cos of the nearest k/128 up in a table of double-double values and
// corrects them with short polynomials; its build for processors with FMA fuses every product
// into the addition that uses it. The steps below are its steps, operation for operation, in
// both forms. Lanes past the simple reduction (|x| >= 105414350, inf, nan) are reported, not
// computed: the caller asks the C library for those.
//
// Every function here is inlined into its caller, so no vector crosses a call; a file that
// includes this one silences GCC's note on vectors returned by value (-Wpsabi), which does not
// apply.
#pragma once

#include <cstdint>
#include <cstring>

namespace libc_sine {

// The C library's constants: Taylor coefficients, pi/2 split for the reduction, 2/pi.
constexpr double s1 = -0x1.5555555555555p-3;
constexpr double s2 = 0x1.1111111110ECEp-7;
constexpr double s3 = -0x1.A01A019DB08B8p-13;
constexpr double s4 = 0x1.71DE27B9A7ED9p-19;
constexpr double s5 = -0x1.ADDFFC2FCDF59p-26;
constexpr double sn3 = -1.66666666666664880952546298448555E-01;
constexpr double sn5 = 8.33333214285722277379541354343671E-03;
constexpr double cs2 = 4.99999999999999999999950396842453E-01;
constexpr double cs4 = -4.16666666666664434524222570944589E-02;
constexpr double cs6 = 1.38888874007937613028114285595617E-03;
constexpr double big = 0x1.8p45;  // big + |x| rounds |x| to k/128, k in the low word
constexpr double hp0 = 0x1.921FB54442D18p0;
constexpr double hp1 = 0x1.1A62633145C07p-54;
constexpr double mp1 = 0x1.921FB58000000p0;
constexpr double mp2 = -0x1.DDE973C000000p-27;
constexpr double pp3 = -0x1.CB3B398000000p-55;
constexpr double pp4 = -0x1.d747f23e32ed7p-83;
constexpr double hpinv = 0x1.45F306DC9C883p-1;
constexpr double toint = 0x1.8p52;

// High words of |x| (sign cleared) where the C library changes method.
constexpr std::int64_t sincos_tiny = 0x3e400000;   // sincos: sin = x, cos = 1 below
constexpr std::int64_t sin_tiny = 0x3e500000;      // sin: sin = x below
constexpr std::int64_t near_zero = 0x3feb6000;     // |x| < 0.855469: no reduction
constexpr std::int64_t near_half_pi = 0x400368fd;  // |x| < 2.426265: pi/2 - |x|
constexpr std::int64_t reducible = 0x419921FB;     // |x| < 105414350: three-part reduction

constexpr int table_entries = 110;  // sin, its remainder, cos, its remainder at k/128

// GCC drops a vector size that depends on a template parameter: one specialisation per width.
template <int W>
struct lanes;
template <>
struct lanes<2> {
  using f64 = double __attribute__((vector_size(2 * sizeof(double))));
  using i64 = std::int64_t __attribute__((vector_size(2 * sizeof(std::int64_t))));
};
template <>
struct lanes<4> {
  using f64 = double __attribute__((vector_size(4 * sizeof(double))));
  using i64 = std::int64_t __attribute__((vector_size(4 * sizeof(std::int64_t))));
};
template <>
struct lanes<8> {
  using f64 = double __attribute__((vector_size(8 * sizeof(double))));
  using i64 = std::int64_t __attribute__((vector_size(8 * sizeof(std::int64_t))));
};

template <typename v_to, typename v_from>
[[gnu::always_inline]] inline v_to bit_cast_lanes(const v_from& from) {
  v_to to;
  std::memcpy(&to, &from, sizeof to);
  return to;
}

// a * b + c rounded once, lane by lane: inlined into a function built for FMA, each becomes
// one fused instruction (and GCC packs them); elsewhere the C library's fma.
template <typename f64>
[[gnu::always_inline]] inline f64 fused_lanes(const f64& a, const f64& b, const f64& c) {
  f64 r;
  for (unsigned j = 0; j < sizeof(f64) / sizeof(double); ++j) {
    r[j] = __builtin_fma(a[j], b[j], c[j]);
  }
  return r;
}

template <bool fused, typename f64>
[[gnu::always_inline]] inline f64 mul_add(const f64& a, const f64& b, const f64& c) {
  if constexpr (fused) {
    return fused_lanes(a, b, c);
  } else {
    return a * b + c;
  }
}

// c - a * b
template <bool fused, typename f64>
[[gnu::always_inline]] inline f64 mul_sub_from(const f64& c, const f64& a, const f64& b) {
  if constexpr (fused) {
    return fused_lanes(-a, b, c);
  } else {
    return c - a * b;
  }
}

template <int W>
[[gnu::always_inline]] inline typename lanes<W>::f64 abs_lanes(const typename lanes<W>::f64& x) {
  using L = lanes<W>;
  return bit_cast_lanes<typename L::f64>(bit_cast_lanes<typename L::i64>(x) &
                                         std::int64_t{0x7fffffffffffffff});
}

// |a| with the sign of b.
template <int W>
[[gnu::always_inline]] inline typename lanes<W>::f64 copysign_lanes(
    const typename lanes<W>::f64& a, const typename lanes<W>::f64& b) {
  using L = lanes<W>;
  const typename L::i64 sign = bit_cast_lanes<typename L::i64>(b) & INT64_MIN;
  return bit_cast_lanes<typename L::f64>((bit_cast_lanes<typename L::i64>(a) & INT64_MAX) | sign);
}

template <int W>
struct table_row {
  typename lanes<W>::f64 sn, ssn, cs, ccs;
};

// The table's row for u = big + |x|. An index past the table only comes from a lane whose
// result is not used; it reads the last row instead. Each row is loaded whole and the rows are
// turned into columns.
template <int W>
[[gnu::always_inline]] inline table_row<W> look_up(const double* table,
                                                   const typename lanes<W>::f64& u) {
  using f64 = typename lanes<W>::f64;
  using i64 = typename lanes<W>::i64;
  const auto bits = bit_cast_lanes<i64>(u);
  const double* entry[W];
  for (int j = 0; j < W; ++j) {
    auto k = static_cast<std::uint32_t>(bits[j]);
    k = k < table_entries ? k : table_entries - 1;
    entry[j] = table + 4 * k;
  }
  table_row<W> row;
  if constexpr (W == 4) {
    f64 r[4];
    for (int j = 0; j < 4; ++j) {
      std::memcpy(&r[j], entry[j], sizeof r[j]);
    }
    const f64 t0 = __builtin_shuffle(r[0], r[1], i64{0, 4, 2, 6});
    const f64 t1 = __builtin_shuffle(r[0], r[1], i64{1, 5, 3, 7});
    const f64 t2 = __builtin_shuffle(r[2], r[3], i64{0, 4, 2, 6});
    const f64 t3 = __builtin_shuffle(r[2], r[3], i64{1, 5, 3, 7});
    row.sn = __builtin_shuffle(t0, t2, i64{0, 1, 4, 5});
    row.cs = __builtin_shuffle(t0, t2, i64{2, 3, 6, 7});
    row.ssn = __builtin_shuffle(t1, t3, i64{0, 1, 4, 5});
    row.ccs = __builtin_shuffle(t1, t3, i64{2, 3, 6, 7});
  } else if constexpr (W == 2) {
    f64 lo[2];
    f64 hi[2];
    for (int j = 0; j < 2; ++j) {
      std::memcpy(&lo[j], entry[j], sizeof lo[j]);
      std::memcpy(&hi[j], entry[j] + 2, sizeof hi[j]);
    }
    row.sn = __builtin_shuffle(lo[0], lo[1], i64{0, 2});
    row.ssn = __builtin_shuffle(lo[0], lo[1], i64{1, 3});
    row.cs = __builtin_shuffle(hi[0], hi[1], i64{0, 2});
    row.ccs = __builtin_shuffle(hi[0], hi[1], i64{1, 3});
  } else {
    for (int j = 0; j < W; ++j) {
      row.sn[j] = entry[j][0];
      row.ssn[j] = entry[j][1];
      row.cs[j] = entry[j][2];
      row.ccs[j] = entry[j][3];
    }
  }
  return row;
}

// do_cos and do_sin of the C library for one argument x + dx: both read the row of |x|.
template <int W, bool fused>
[[gnu::always_inline]] inline typename lanes<W>::f64 do_cos(const table_row<W>& r,
                                                            const typename lanes<W>::f64& u,
                                                            const typename lanes<W>::f64& x_in,
                                                            const typename lanes<W>::f64& dx_in) {
  using f64 = typename lanes<W>::f64;
  const f64 dx = x_in < 0.0 ? -dx_in : dx_in;
  const f64 x = abs_lanes<W>(x_in) - (u - big) + dx;
  const f64 xx = x * x;
  const f64 s = mul_add<fused>(x * xx, mul_add<fused>(xx, f64{} + sn5, f64{} + sn3), x);
  const f64 c = xx * mul_add<fused>(xx, mul_add<fused>(xx, f64{} + cs6, f64{} + cs4), f64{} + cs2);
  const f64 cor = mul_sub_from<fused>(
      mul_sub_from<fused>(mul_sub_from<fused>(r.ccs, s, r.ssn), r.cs, c), r.sn, s);
  return r.cs + cor;
}

template <int W, bool fused>
[[gnu::always_inline]] inline typename lanes<W>::f64 do_sin(const table_row<W>& r,
                                                            const typename lanes<W>::f64& u,
                                                            const typename lanes<W>::f64& x,
                                                            const typename lanes<W>::f64& dx) {
  using f64 = typename lanes<W>::f64;
  using i64 = typename lanes<W>::i64;
  const f64 ax = abs_lanes<W>(x);
  const i64 taylor_lanes = ax < 0.126;
  // Otherwise: the table at the nearest k/128 and polynomials in the rest.
  const f64 dx_table = x <= 0.0 ? -dx : dx;
  const f64 xr = ax - (u - big);
  const f64 xx = xr * xr;
  const f64 s =
      xr + mul_add<fused>(xr * xx, mul_add<fused>(xx, f64{} + sn5, f64{} + sn3), dx_table);
  const f64 q = mul_add<fused>(xx, mul_add<fused>(xx, f64{} + cs6, f64{} + cs4), f64{} + cs2);
  const f64 c = mul_add<fused>(xr, dx_table, xx * q);
  const f64 cor =
      mul_add<fused>(r.cs, s, mul_sub_from<fused>(mul_add<fused>(s, r.ccs, r.ssn), r.sn, c));
  const f64 table_value = copysign_lanes<W>(r.sn + cor, x);
  bool any_taylor = false;
  for (int j = 0; j < W; ++j) {
    any_taylor = any_taylor || taylor_lanes[j] != 0;
  }
  if (!any_taylor) {
    return table_value;
  }
  // |x| < 0.126: Taylor series.
  const f64 x2 = x * x;
  f64 p = mul_add<fused>(f64{} + s5, x2, f64{} + s4);
  p = mul_add<fused>(p, x2, f64{} + s3);
  p = mul_add<fused>(p, x2, f64{} + s2);
  p = mul_add<fused>(p, x2, f64{} + s1);
  const f64 taylor = x + mul_add<fused>(mul_add<fused>(p, x, -(0.5 * dx)), x2, dx);
  return taylor_lanes != 0 ? taylor : table_value;
}

// sin and cos of the C library's do_sin and do_cos at a + da.
template <int W, bool fused>
[[gnu::always_inline]] inline void do_sin_cos(const double* table, const typename lanes<W>::f64& a,
                                              const typename lanes<W>::f64& da,
                                              typename lanes<W>::f64& s,
                                              typename lanes<W>::f64& c) {
  const typename lanes<W>::f64 u = big + abs_lanes<W>(a);
  const table_row<W> row = look_up<W>(table, u);
  s = do_sin<W, fused>(row, u, a, da);
  c = do_cos<W, fused>(row, u, a, da);
}

// x reduced by the nearest multiple n of pi/2: a + da, and n mod 4.
template <int W, bool fused>
[[gnu::always_inline]] inline void reduce(const typename lanes<W>::f64& x,
                                          typename lanes<W>::f64& a, typename lanes<W>::f64& da,
                                          typename lanes<W>::i64& n) {
  using f64 = typename lanes<W>::f64;
  const f64 toint_v = f64{} + toint;
  const f64 t = mul_add<fused>(x, f64{} + hpinv, toint_v);
  const f64 xn = t - toint_v;
  const f64 y = mul_sub_from<fused>(mul_sub_from<fused>(x, xn, f64{} + mp1), xn, f64{} + mp2);
  n = bit_cast_lanes<typename lanes<W>::i64>(t) & 3;
  const f64 pp3_v = f64{} + pp3;
  const f64 pp4_v = f64{} + pp4;
  const f64 t2 = mul_sub_from<fused>(y, xn, pp3_v);
  f64 db = mul_sub_from<fused>(y - t2, xn, pp3_v);
  const f64 b = mul_sub_from<fused>(t2, xn, pp4_v);
  db = db + mul_sub_from<fused>(t2 - b, xn, pp4_v);
  a = b;
  da = db;
}

template <int W>
[[gnu::always_inline]] inline typename lanes<W>::i64 high_word(const typename lanes<W>::f64& x) {
  return (bit_cast_lanes<typename lanes<W>::i64>(x) >> 32) & 0x7fffffff;
}

// sin and cos as the C library's sincos gives them. Lanes with `outside` set (nonzero) are
// left for the caller.
template <int W, bool fused>
[[gnu::always_inline]] inline void sincos_lanes(const double* table,
                                                const typename lanes<W>::f64& x_in,
                                                typename lanes<W>::f64& sin_x,
                                                typename lanes<W>::f64& cos_x,
                                                typename lanes<W>::i64& outside) {
  using f64 = typename lanes<W>::f64;
  using i64 = typename lanes<W>::i64;
  const i64 k_in = high_word<W>(x_in);
  outside = k_in >= reducible;
  const f64 x = outside != 0 ? f64{} : x_in;
  const i64 k = high_word<W>(x);
  const i64 in_b = k < near_zero;
  const i64 in_c = (k >= near_zero) & (k < near_half_pi);
  // The argument a + da of do_sin and do_cos in every case.
  const f64 y = hp0 - abs_lanes<W>(x);
  const f64 a_c = y + hp1;
  const f64 da_c = (y - a_c) + hp1;
  f64 a_d;
  f64 da_d;
  i64 n;
  reduce<W, fused>(x, a_d, da_d, n);
  const i64 flip = (n == 1) | (n == 2);
  a_d = flip != 0 ? -a_d : a_d;
  da_d = flip != 0 ? -da_d : da_d;
  const f64 a = in_b != 0 ? x : (in_c != 0 ? a_c : a_d);
  const f64 da = in_b != 0 ? f64{} : (in_c != 0 ? da_c : da_d);
  f64 s;
  f64 c;
  do_sin_cos<W, fused>(table, a, da, s, c);
  // Case d: odd n swaps sin and cos; n & 2 negates the cosine.
  const f64 c_d = (n & 2) != 0 ? -c : c;
  const f64 sin_d = (n & 1) != 0 ? c_d : s;
  const f64 cos_d = (n & 1) != 0 ? s : c_d;
  sin_x = in_b != 0 ? s : (in_c != 0 ? copysign_lanes<W>(c, x) : sin_d);
  cos_x = in_b != 0 ? c : (in_c != 0 ? s : cos_d);
  sin_x = k < sincos_tiny ? x : sin_x;
  cos_x = k < sincos_tiny ? f64{} + 1.0 : cos_x;
}

// sin as the C library's sin gives it; `outside` as for sincos_lanes.
template <int W, bool fused>
[[gnu::always_inline]] inline void sin_lanes(const double* table,
                                             const typename lanes<W>::f64& x_in,
                                             typename lanes<W>::f64& sin_x,
                                             typename lanes<W>::i64& outside) {
  using f64 = typename lanes<W>::f64;
  using i64 = typename lanes<W>::i64;
  outside = high_word<W>(x_in) >= reducible;
  const f64 x = outside != 0 ? f64{} : x_in;
  const i64 k = high_word<W>(x);
  const i64 in_b = k < near_zero;
  const i64 in_c = (k >= near_zero) & (k < near_half_pi);
  f64 a_d;
  f64 da_d;
  i64 n;
  reduce<W, fused>(x, a_d, da_d, n);
  const f64 a = in_b != 0 ? x : (in_c != 0 ? hp0 - abs_lanes<W>(x) : a_d);
  const f64 da = in_b != 0 ? f64{} : (in_c != 0 ? f64{} + hp1 : da_d);
  f64 s;
  f64 c;
  do_sin_cos<W, fused>(table, a, da, s, c);
  const f64 value_d = (n & 1) != 0 ? c : s;
  const f64 signed_d = (n & 2) != 0 ? -value_d : value_d;
  sin_x = in_b != 0 ? s : (in_c != 0 ? copysign_lanes<W>(c, x) : signed_d);
  sin_x = k < sin_tiny ? x : sin_x;
}

// sincos_lanes and sin_lanes on W lanes, C lanes at a time: C is the width of the processor's
// registers, which GCC handles well; wider vectors it takes apart lane by lane.
template <int C, int W, bool fused>
[[gnu::always_inline]] inline void sincos_by_register(const double* table,
                                                      const typename lanes<W>::f64& x,
                                                      typename lanes<W>::f64& sin_x,
                                                      typename lanes<W>::f64& cos_x,
                                                      typename lanes<W>::i64& outside) {
  if constexpr (C >= W) {
    sincos_lanes<W, fused>(table, x, sin_x, cos_x, outside);
  } else {
    for (int i = 0; i < W; i += C) {
      typename lanes<C>::f64 part, part_sin, part_cos;
      typename lanes<C>::i64 part_outside;
      std::memcpy(&part, reinterpret_cast<const double*>(&x) + i, sizeof part);
      sincos_lanes<C, fused>(table, part, part_sin, part_cos, part_outside);
      std::memcpy(reinterpret_cast<double*>(&sin_x) + i, &part_sin, sizeof part_sin);
      std::memcpy(reinterpret_cast<double*>(&cos_x) + i, &part_cos, sizeof part_cos);
      std::memcpy(reinterpret_cast<std::int64_t*>(&outside) + i, &part_outside,
                  sizeof part_outside);
    }
  }
}

template <int C, int W, bool fused>
[[gnu::always_inline]] inline void sin_by_register(const double* table,
                                                   const typename lanes<W>::f64& x,
                                                   typename lanes<W>::f64& sin_x,
                                                   typename lanes<W>::i64& outside) {
  if constexpr (C >= W) {
    sin_lanes<W, fused>(table, x, sin_x, outside);
  } else {
    for (int i = 0; i < W; i += C) {
      typename lanes<C>::f64 part, part_sin;
      typename lanes<C>::i64 part_outside;
      std::memcpy(&part, reinterpret_cast<const double*>(&x) + i, sizeof part);
      sin_lanes<C, fused>(table, part, part_sin, part_outside);
      std::memcpy(reinterpret_cast<double*>(&sin_x) + i, &part_sin, sizeof part_sin);
      std::memcpy(reinterpret_cast<std::int64_t*>(&outside) + i, &part_outside,
                  sizeof part_outside);
    }
  }
}

}  // namespace libc_sine
