// Elementary functions built from the basic IEEE-754 operations alone (+ - * / sqrt and exact
// scalings), so that they give the same bits on every x86-64 processor: the C library picks
// its exp, log, pow and hypot by processor features, and their last bits differ with FMA.
#pragma once

// ln x within one unit in the last place: -inf at +-0, NaN below 0 and at NaN, +inf at +inf.
double portable_log(double x);

// e^x within one unit in the last place: 0 below about -745.13, +inf above about 709.78.
double portable_exp(double x);

// sqrt(x^2 + y^2) within one unit in the last place, with no overflow or underflow in the
// squares: +inf when either is infinite (even if the other is NaN), else NaN with a NaN.
double portable_hypot(double x, double y);

// The angle of (x, y) in [-pi, pi] within one unit in the last place, with the special values
// of C's atan2: the signs of zeros count, infinities give multiples of pi/4, NaN gives NaN.
double portable_atan2(double y, double x);
