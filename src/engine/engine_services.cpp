// The engine's services beside run_engine, each a call into the folder that owns it.
#include "engine/engine_services.hpp"

#include "chaos/chaos_accumulator.hpp"
#include "section/speculative_run.hpp"

namespace {

precise_config config_of(const skeleton_settings& s) {
  precise_config c;
  c.tol = s.tol;
  c.direction = s.direction;
  c.cancel = s.cancel;
  return c;
}

}  // namespace

bool read_ini_path(const std::string& path, ini_contents& ini, std::string& error) {
  return read_ini(path.c_str(), ini, error);
}

bool read_ini_string(const std::string& text, ini_contents& ini, std::string& error) {
  return read_ini_text(text, ini, error);
}

chaos_verdict verdict_of(const chaos_summary& c) {
  if (!c.computed || c.periods < min_verdict_periods) {
    return chaos_verdict::undecided;
  }
  return c.chaotic ? chaos_verdict::chaotic : chaos_verdict::regular;
}

verdict_rule chaos_verdict_rule() { return {chaos_threshold, min_verdict_periods}; }

bool classic_first_step(const model_params& m, const run_config& config,
                        const std::array<double, 2>& y0, double h, double& first_h) {
  return first_accepted_step(m, config, y0, h, first_h);
}

periodic_orbit periodic_orbit_near(const model_params& m, const skeleton_settings& s,
                                   const std::array<double, 2>& x0, int q) {
  return find_periodic_orbit(m, config_of(s), x0, q);
}

const char* orbit_kind_name(orbit_kind kind) { return kind_name(kind); }

rotation_summary rotation_from(const model_params& m, const skeleton_settings& s,
                               const std::array<double, 2>& y0, std::int64_t n_points) {
  return measure_rotation(m, config_of(s), y0, n_points);
}
