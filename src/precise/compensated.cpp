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
