// The section-map loop of one condition and the line format of the point file.
#pragma once

#include <array>
#include <atomic>
#include <string>
#include <vector>

#include "dynamics/constants.hpp"
#include "dynamics/integration_state.hpp"
#include "dynamics/model.hpp"
#include "dynamics/rk4_step.hpp"
#include "dynamics/run_config.hpp"
#include "section/section_outcome.hpp"

// A step crosses the section when the section value passes from positive to negative; a step
// that starts or ends exactly on a zero does not.
bool is_crossing(double s_prev, double s_new);

// phi reduced to [0, 2*pi).
double angle_0_2pi(double phi);

// A point of the section map as it is written: phi reduced to [0, 2*pi), and l / L.
using section_point = std::array<double, 2>;
using point_list = std::vector<section_point>;

// The point of state y: the reduced angle and l divided by the widened L.
section_point to_section_point(const std::array<double, 2>& y, float L);

// Decimals of a point line unless the user asks for others.
constexpr int default_digits = 10;

// Appends one point line "%15.10f %15.10f\n", with `digits` decimals instead of 10 if asked.
void append_point_line(std::string& lines, const section_point& p, int digits = default_digits);

// Takes one accepted step from (t, y): trials with h halved while the error estimate exceeds
// tol, then doubled while it is at most tol / 8. Leaves the accepted trial in t_new, y_new and
// its step size in h. Returns done, or why no step can be accepted; cancelled as soon as
// *cancel is set (checked before every trial, never changing a step that completes).
section_stop accept_step(trial_kernel& k, const run_config& config, integration_state& s,
                         const std::atomic<bool>* cancel = nullptr);

// Integrates from (t, y) with adaptive steps until count reaches n_points, appending one point
// per positive-to-negative crossing of the section to `points`. Leaves t, y and h as they
// stand at the end. Stops early, with the reason, when the run could never finish, or with
// cancelled within one trial step of *cancel being set (s then holds a state of the run).
section_outcome run_section_map(const model_params& m, const run_config& config,
                                integration_state& s, point_list& points,
                                const std::atomic<bool>* cancel = nullptr);
