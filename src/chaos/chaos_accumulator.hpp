// MEGNO and the finite-time maximal Lyapunov exponent of the stroboscopic map, built from the
// tangent vector that the precise method carries from one section point to the next.
//
// MEGNO (Cincotta & Simo 2000), in its discrete form for a map: with r_k the growth of the
// tangent over period k, Y_n = (2 / n) sum_{k<=n} k ln r_k, and <Y>_n the mean of Y_1..Y_n.
// <Y> tends to 2 on a torus (linear growth of the tangent) and grows like lambda T n / 2 (T the
// map's period) in a chaotic region, so a mean above chaos_threshold reads as chaos.
#pragma once

#include <array>
#include <cstdint>

#include "chaos/chaos_summary.hpp"

// The verdict: chaotic when the mean MEGNO over the run exceeds this.
constexpr double chaos_threshold = 4.0;

// Fewer periods give no verdict: MEGNO's transient alone lifts <Y> of a regular orbit started
// near a separatrix to about 5 at 100 periods; from 300 periods on it stays below 3.3 there.
constexpr std::int64_t min_verdict_periods = 300;

// Sums over the map's periods k = 1..n, with r_k = |tangent at point k| / |tangent at point
// k - 1|: the first point recorded is the reference (k = 0) and adds no period.
struct chaos_accumulator {
  bool started = false;   // the reference point has been recorded
  std::int64_t n = 0;     // periods recorded after it
  double sum_ln = 0.0;    // sum of ln r_k
  double sum_k_ln = 0.0;  // sum of k ln r_k
  double sum_y = 0.0;     // sum of Y_k = (2 / k) * (sum of j ln r_j, j <= k)
};

// Accumulates the tangent vector at the section point just reached, then rescales it
// to unit length, so the next period starts from norm 1 and nothing overflows.
void chaos_record_point(chaos_accumulator& a, std::array<double, 2>& tangent);

// The mean MEGNO <Y>_n, lambda = sum ln r_k / (n * |period|), and the verdict: chaotic above
// chaos_threshold after at least min_verdict_periods periods (fewer: not chaotic, undecided).
// With fewer than two points recorded there is no period: `computed` stays false.
chaos_summary chaos_finish(const chaos_accumulator& a, double period);
