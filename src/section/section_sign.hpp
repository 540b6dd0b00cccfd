// The sign of the section value without the sine, for times well away from its zeros.
#pragma once

#include "dynamics/model.hpp"

// Margin around the section's zeros, in the sine's argument, outside which section_sign
// answers: there |section value| > eps as well, so the answer also settles "|s| > eps".
double sign_margin(double eps);

// +1 or -1, the sign section_value(m, t, y) has, when (omega * t) / 2 lies more than `margin`
// from every multiple of pi; 0 when it may not (then the value must be computed).
int section_sign(const model_params& m, double t, double margin);

// Times already answered, as two intervals on which section_sign is known to be +1 and -1.
// Each interval's ends gave that sign with the same nearest multiple of pi, and every step of
// section_sign is monotonic in t for one multiple, so every time between gives it too.
struct sign_memo {
  double plus_lo = 1.0;  // empty while lo > hi
  double plus_hi = 0.0;
  long long plus_n = 0;
  double minus_lo = 1.0;
  double minus_hi = 0.0;
  long long minus_n = 0;
};

// section_sign(m, t, margin), from the memo when t lies in one of its intervals; `memo` must
// have seen only this m and margin.
int remembered_section_sign(const model_params& m, double t, double margin, sign_memo& memo);
