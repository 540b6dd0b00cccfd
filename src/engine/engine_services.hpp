// The engine's services beside run_engine, for the Python module: ini.txt read as the program
// reads it, the chaos verdict's rule, the classic method's first accepted step, and the skeleton
// of the map (periodic orbits, rotation numbers, with their records and the longest period
// searched for, max_periodic_period). The module reaches the other folders only here.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "chaos/chaos_summary.hpp"
#include "dynamics/model.hpp"
#include "dynamics/run_config.hpp"
#include "ini/ini_text.hpp"
#include "skeleton/periodic_orbit.hpp"
#include "skeleton/rotation_number.hpp"

// Reads and checks the ini.txt at `path`, or the whole text of one, as the program does.
// False, with `error` the program's one-line message, where the program would refuse it.
bool read_ini_path(const std::string& path, ini_contents& ini, std::string& error);
bool read_ini_string(const std::string& text, ini_contents& ini, std::string& error);

// The last word of a chaos.txt line, in this order.
enum class chaos_verdict : std::int8_t { undecided, regular, chaotic };

// The verdict on `c`: undecided without the indicator or with fewer than the rule's periods.
chaos_verdict verdict_of(const chaos_summary& c);

// Chaotic when the mean MEGNO exceeds `threshold` after at least `min_periods` periods.
struct verdict_rule {
  double threshold = 0.0;
  std::int64_t min_periods = 0;
};
verdict_rule chaos_verdict_rule();

// Classic method: the step size of the first accepted step from (0, y0) starting with h.
// False when no step is accepted.
bool classic_first_step(const model_params& m, const run_config& config,
                        const std::array<double, 2>& y0, double h, double& first_h);

// The precise method's settings for the skeleton: tolerance, direction of time (+1, -1), and
// a flag that, once set, stops the integration at its next step.
struct skeleton_settings {
  double tol = 0.0;
  int direction = 1;
  const std::atomic<bool>* cancel = nullptr;
};

// The periodic orbit of period q (or a divisor of it) found by Newton's method from x0.
periodic_orbit periodic_orbit_near(const model_params& m, const skeleton_settings& s,
                                   const std::array<double, 2>& x0, int q);

// "elliptic", "hyperbolic" or "parabolic".
const char* orbit_kind_name(orbit_kind kind);

// The rotation summary of the n_points precise section points from y0.
rotation_summary rotation_from(const model_params& m, const skeleton_settings& s,
                               const std::array<double, 2>& y0, std::int64_t n_points);
