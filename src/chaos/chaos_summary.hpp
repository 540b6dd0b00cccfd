// What the chaos indicator says of one orbit at the end of its run.
#pragma once

#include <cstdint>

struct chaos_summary {
  bool computed = false;     // false when the run had no tangent equations
  double megno = 0.0;        // mean MEGNO <Y> over the run
  double lyapunov = 0.0;     // finite-time maximal Lyapunov exponent, per unit time
  bool chaotic = false;      // the verdict
  std::int64_t periods = 0;  // periods of the stroboscopic map behind megno and lyapunov
};
