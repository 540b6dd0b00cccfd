// Writers of RESULT/run_info.txt and RESULT/chaos.txt.
#include "run/run_info.hpp"

#include <cerrno>
#include <cinttypes>
#include <cstring>

#include "chaos/chaos_accumulator.hpp"
#include "dynamics/model_rules.hpp"
#include "run/run_files.hpp"

bool write_run_info(const run_request& r, std::string& error) {
  std::FILE* f = std::fopen(run_info_path, "w");
  if (f == nullptr) {
    error = cannot_create(run_info_path);
    return false;
  }
  const auto wide = [](float x) { return static_cast<double>(x); };
  std::fprintf(f, "method %s\ntol %.9g\ndirection %s\nL %.9g\n",
               r.method == run_method::precise ? "precise" : "classic", r.config.tol,
               0.0 < r.h0 ? "forward" : "backward", wide(r.m.L));
  std::fprintf(f, "a %.9g\nb %.9g\nc %.9g\nd %.9g\ne %.9g\nomega %.9g\n", wide(r.m.p_a),
               wide(r.m.p_b), wide(r.m.p_c), wide(r.m.p_d), wide(r.m.p_e), wide(r.m.omega));
  // The constants set apart from their defaults, for whoever labels a picture of the points.
  std::string changed;
  const model_params defaults = default_model();
  for (const model_constant& c : model_constants) {
    if (r.m.*c.field != defaults.*c.field) {
      changed += std::string(changed.empty() ? "" : " ") + c.name;
    }
  }
  std::fprintf(f, "changed %s\n", changed.empty() ? "none" : changed.c_str());
  std::fprintf(f, "chaos %s\n", r.chaos ? "yes" : "no");
  if (!close_written(f)) {
    error = std::string("writing ") + run_info_path + " failed: " + std::strerror(errno);
    return false;
  }
  return true;
}

bool open_chaos_file(std::FILE*& chaos, std::string& error) {
  chaos = std::fopen(chaos_path, "w");
  if (chaos == nullptr) {
    error = cannot_create(chaos_path);
    return false;
  }
  std::fprintf(chaos,
               "# chaotic when megno > %g, undecided under %lld periods; megno: mean MEGNO <Y> of "
               "the stroboscopic map over "
               "`periods` periods of 4 pi / omega from the first point; lyapunov: its finite-time "
               "maximal Lyapunov exponent per unit time\n",
               chaos_threshold, static_cast<long long>(min_verdict_periods));
  std::fputs("# condition phi0 l0 megno lyapunov periods verdict\n", chaos);
  return true;
}

void write_chaos_line(std::FILE* chaos, int condition, const std::array<double, 2>& y0,
                      const chaos_summary& summary) {
  // Without a period (fewer than two points) there is nothing to judge.
  if (!summary.computed) {
    std::fprintf(chaos, "%d %.9g %.9g nan nan 0 undecided\n", condition, y0[0], y0[1]);
    return;
  }
  std::fprintf(chaos, "%d %.9g %.9g %.6g %.6g %" PRId64 " %s\n", condition, y0[0], y0[1],
               summary.megno, summary.lyapunov, summary.periods, chaos_verdict(summary));
}

const char* chaos_verdict(const chaos_summary& summary) {
  if (!summary.computed || summary.periods < min_verdict_periods) {
    return "undecided";
  }
  return summary.chaotic ? "chaotic" : "regular";
}

bool close_written(std::FILE* f) {
  // A full disk shows at the flush; fclose would report it too, but errno must be kept.
  const bool flushed = std::fflush(f) == 0 && std::ferror(f) == 0;
  const int reason = errno;
  const bool closed = std::fclose(f) == 0;
  if (!flushed) {
    errno = reason;
  }
  return flushed && closed;
}
