// Writers of RESULT/rotation.txt and RESULT/periodic.txt.
#include "run/skeleton_files.hpp"

#include <cinttypes>

#include "run/run_files.hpp"

bool open_rotation_file(std::FILE*& f, std::string& error) {
  f = std::fopen(rotation_path, "w");
  if (f == nullptr) {
    error = cannot_create(rotation_path);
    return false;
  }
  std::fprintf(f,
               "# chaotic when digits < %g; rotation: weighted Birkhoff average (Das & Yorke) over "
               "`points` section points, per period of 4 pi / omega: for a circulating orbit the "
               "advance of phi over 2 pi, for a librating one the clockwise advance of the angle "
               "about the orbit's centre over 2 pi, modulo 1; digits: -log10 of the difference "
               "between the numbers of the orbit's two halves\n",
               regular_digits);
  std::fputs("# condition phi0 l0 rotation kind digits points verdict\n", f);
  return true;
}

void write_rotation_line(std::FILE* f, int condition, const std::array<double, 2>& y0,
                         const rotation_summary& r) {
  if (!r.computed) {
    std::fprintf(f, "%d %.9g %.9g nan none nan %" PRId64 " undecided\n", condition, y0[0], y0[1],
                 r.points);
    return;
  }
  std::fprintf(f, "%d %.9g %.9g %.17g %s %.3g %" PRId64 " %s\n", condition, y0[0], y0[1],
               r.rotation, r.kind == rotation_kind::circulating ? "circulating" : "librating",
               r.digits, r.points, regular_digits <= r.digits ? "regular" : "chaotic");
}

bool open_periodic_file(std::FILE*& f, int Q, std::string& error) {
  f = std::fopen(periodic_path, "w");
  if (f == nullptr) {
    error = cannot_create(periodic_path);
    return false;
  }
  std::fprintf(f,
               "# periodic orbits of period Q = %d by Newton's method from each condition; q: "
               "the minimal period, a divisor of Q; residual: |F^q(x*) - x*|, phi taken modulo "
               "2 pi; trace, residue R = (2 - trace) / 4 (Greene), det (1: a check) and "
               "multipliers of the monodromy matrix of F^q; kind: elliptic 0 < R < 1, "
               "hyperbolic R < 0 or R > 1, parabolic R = 0 or 1 within %g, not-converged "
               "followed by the reason\n",
               Q, parabolic_band);
  std::fputs(
      "# condition q phi l residual iterations trace residue det mu1_re mu1_im mu2_re mu2_im "
      "kind\n",
      f);
  return true;
}

void write_periodic_line(std::FILE* f, int condition, const periodic_orbit& o) {
  const orbit_stability& s = o.stability;
  std::fprintf(f, "%d %d %.17g %.17g %.3e %d %.17g %.17g %.17g %.17g %.17g %.17g %.17g %s",
               condition, o.q, o.x[0], o.x[1], o.residual, o.iterations, s.trace, s.residue, s.det,
               s.mu[0][0], s.mu[0][1], s.mu[1][0], s.mu[1][1],
               o.converged ? kind_name(s.kind) : "not-converged");
  if (!o.converged) {
    std::fprintf(f, " %s", o.reason.c_str());
  }
  std::fputc('\n', f);
}

bool close_skeleton_file(std::FILE*& f, const char* path, std::string& error) {
  if (f == nullptr) {
    return true;
  }
  const bool closed = std::fclose(f) == 0;
  f = nullptr;
  if (!closed) {
    error = std::string("writing ") + path + " failed";
  }
  return closed;
}
