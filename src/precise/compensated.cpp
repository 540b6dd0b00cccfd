// Reduction of a compensated angle modulo 2*pi.
#include "precise/compensated.hpp"

#include <cmath>

void reduce_angle(double& hi, double& lo) {
  // Many turns leave turns * two_pi_lo in lo; folding it into hi and reducing again shrinks
  // it some 2^-55 times per round. A folded lo is at most half an ulp of 2 pi.
  constexpr double folded = 1e-15;
  for (int round = 0; round < 32 && std::isfinite(hi); ++round) {
    if (!(std::fabs(lo) < folded)) {
      two_sum(hi, lo, hi, lo);
    }
    if (0.0 <= hi && hi < two_pi_hi && std::fabs(lo) < folded) {
      return;
    }
    // fmod is exact; the whole turns it removed also carry two_pi_lo each.
    double r = std::fmod(hi, two_pi_hi);
    const double turns = std::nearbyint((hi - r) / two_pi_hi);
    lo = lo - turns * two_pi_lo;
    if (r < 0.0) {
      double s = 0.0;
      double e = 0.0;
      two_sum(r, two_pi_hi, s, e);
      if (s < two_pi_hi) {
        r = s;
        lo = lo + (e + two_pi_lo);
      } else {
        // r is so small a negative that r + 2*pi rounds up to two_pi_hi: keep it in lo.
        lo = lo + r;
        r = 0.0;
      }
    }
    hi = r;
  }
}

namespace {

// Splits a into hi + lo with at most 26 significant bits each (Veltkamp).
void split(double a, double& hi, double& lo) {
  constexpr double factor = 134217729.0;  // 2^27 + 1
  const double t = factor * a;
  hi = t - (t - a);
  lo = a - hi;
}

}  // namespace

void two_prod(double a, double b, double& p, double& e) {
  p = a * b;
  double a_hi = 0.0;
  double a_lo = 0.0;
  double b_hi = 0.0;
  double b_lo = 0.0;
  split(a, a_hi, a_lo);
  split(b, b_hi, b_lo);
  e = ((a_hi * b_hi - p) + a_hi * b_lo + a_lo * b_hi) + a_lo * b_lo;
}
