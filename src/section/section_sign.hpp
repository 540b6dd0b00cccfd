// The sign of the section value without the sine, for times well away from its zeros.
#pragma once

#include "dynamics/model.hpp"

// Margin around the section's zeros, in the sine's argument, outside which section_sign
// answers: there |section value| > eps as well, so the answer also settles "|s| > eps".
double sign_margin(double eps);

// +1 or -1, the sign section_value(m, t, y) has, when (omega * t) / 2 lies more than `margin`
// from every multiple of pi; 0 when it may not (then the value must be computed).
int section_sign(const model_params& m, double t, double margin);
