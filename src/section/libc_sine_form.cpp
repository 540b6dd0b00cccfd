// libc_sine_lanes.hpp returns vectors from functions that are always inlined: no vector
// crosses a call, so GCC's note on the vector ABI does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#include "section/libc_sine_form.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "section/libc_sine_lanes.hpp"
#include "section/libc_sine_table.hpp"

namespace {

using f64 = libc_sine::lanes<8>::f64;
using i64 = libc_sine::lanes<8>::i64;

struct probe_values {
  f64 sin_sincos, cos_sincos, sin;
  i64 outside_sincos, outside_sin;
};

template <bool fused>
[[gnu::always_inline]] inline void probe_body(const double* table, const f64& x, probe_values& v) {
  libc_sine::sincos_lanes<8, fused>(table, x, v.sin_sincos, v.cos_sincos, v.outside_sincos);
  libc_sine::sin_lanes<8, fused>(table, x, v.sin, v.outside_sin);
}

void probe_baseline(const double* table, const f64& x, probe_values& v) {
  probe_body<false>(table, x, v);
}

[[gnu::target("avx2")]] void probe_avx2(const double* table, const f64& x, probe_values& v) {
  probe_body<false>(table, x, v);
}

[[gnu::target("avx2,fma")]] void probe_fma(const double* table, const f64& x, probe_values& v) {
  probe_body<true>(table, x, v);
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Inputs where the two builds of the C library differ, then a spread over the ranges of its
// methods and the magnitudes that times and angles reach.
constexpr double telling_probes[] = {
    -0x1.1cd3bf08d765bp-1, 0x1.13cd1721168bp-2,  0x1.9f56e368ad6adp+5, -0x1.ac7808d1807f2p+5,
    0x1.697ba90fb970fp+6,  -0x1.12b0a66f7c22p+3, 0x1.bb851b013c943p-3, 0x1.e2ebc004943ap-2};
constexpr int spread_probes = 1024;

double spread_probe(std::uint64_t& state) {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  constexpr double scales[] = {1e-9, 0.1, 0.9, 2.5, 10.0, 300.0, 1e4, 1e6, 1e8};
  const double unit = static_cast<double>(state >> 11) * 0x1p-53 * 2.0 - 1.0;
  return unit * scales[state % 9];
}

// Every probe that the lanes compute has the bits of ::sincos and ::sin.
bool matches(void (*probe)(const double*, const f64&, probe_values&), const double* table) {
  std::uint64_t state = 88172645463325252u;
  double x[8];
  int filled = 0;
  const int total = static_cast<int>(std::size(telling_probes)) + spread_probes;
  for (int i = 0; i < total; ++i) {
    x[filled++] =
        i < static_cast<int>(std::size(telling_probes)) ? telling_probes[i] : spread_probe(state);
    if (filled < 8) {
      continue;
    }
    filled = 0;
    f64 lanes;
    std::memcpy(&lanes, x, sizeof lanes);
    probe_values v;
    probe(table, lanes, v);
    for (int j = 0; j < 8; ++j) {
      double sin_x = 0.0;
      double cos_x = 0.0;
      ::sincos(x[j], &sin_x, &cos_x);
      if ((v.outside_sincos[j] == 0 &&
           (!same_bits(sin_x, v.sin_sincos[j]) || !same_bits(cos_x, v.cos_sincos[j]))) ||
          (v.outside_sin[j] == 0 && !same_bits(::sin(x[j]), v.sin[j]))) {
        return false;
      }
    }
  }
  return true;
}

libc_sine_form choose(bool avx2) {
  const double* table = libc_sine_table();
  if (table == nullptr || (avx2 && !__builtin_cpu_supports("avx2"))) {
    return libc_sine_form::library_calls;
  }
  if (avx2 && __builtin_cpu_supports("fma") && matches(probe_fma, table)) {
    return libc_sine_form::fused;
  }
  if (matches(avx2 ? probe_avx2 : probe_baseline, table)) {
    return libc_sine_form::separate;
  }
  return libc_sine_form::library_calls;
}

}  // namespace

libc_sine_form libc_sine_form_for(bool avx2) {
  if (avx2) {
    static const libc_sine_form with_avx2 = choose(true);
    return with_avx2;
  }
  static const libc_sine_form baseline = choose(false);
  return baseline;
}
