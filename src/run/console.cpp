// Console output. The classic bytes of standard output are the banner and "%4d" numbers; all
// else goes to standard error, and progress only when standard error is a terminal.
#include "run/console.hpp"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace {

constexpr auto redraw_interval = std::chrono::milliseconds(200);

bool same_terminal(int a, int b) {
  struct stat sa = {};
  struct stat sb = {};
  return isatty(a) != 0 && isatty(b) != 0 && fstat(a, &sa) == 0 && fstat(b, &sb) == 0 &&
         sa.st_rdev == sb.st_rdev;
}

double seconds_since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// Removes the progress text, leaving the cursor where the next output belongs.
void erase_progress(console& c) {
  if (c.drawn) {
    std::fputs(c.shares_line ? "\x1b[K" : "\r\x1b[K", stderr);
    c.drawn = false;
  }
}

void draw_progress(console& c) {
  const double elapsed = seconds_since(c.start);
  const double rate = elapsed > 0.0 ? static_cast<double>(c.points_done) / elapsed : 0.0;
  char text[160];
  int length =
      std::snprintf(text, sizeof text, "condition %d/%d, %lld of %lld points, %.0f points/s",
                    c.condition, c.conditions, c.points_done, c.points_total, rate);
  if (rate > 0.0 && c.points_total > c.points_done && length > 0) {
    const double left = static_cast<double>(c.points_total - c.points_done) / rate;
    length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                            ", %.0f s left", left);
  }
  const int room = c.shares_line ? c.width - c.column % c.width - 2 : c.width - 1;
  if (room < 10) {
    return;
  }
  const int shown = length < room ? length : room;
  if (c.shares_line) {
    // Drawn after the numbers with the cursor saved, so the next number lands where it belongs.
    std::fprintf(stderr,
                 "\x1b"
                 "7 %.*s\x1b[K\x1b"
                 "8",
                 shown, text);
  } else {
    std::fprintf(stderr, "\r%.*s\x1b[K", shown, text);
  }
  std::fflush(stderr);
  c.drawn = true;
}

}  // namespace

console open_console(bool quiet) {
  console c;
  c.quiet = quiet;
  c.progress = isatty(STDERR_FILENO) != 0;
  c.shares_line = !quiet && same_terminal(STDOUT_FILENO, STDERR_FILENO);
  struct winsize size = {};
  if (c.progress && ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    c.width = size.ws_col;
  }
  c.start = std::chrono::steady_clock::now();
  return c;
}

void plan_progress(console& c, int conditions, long long points_total) {
  c.conditions = conditions;
  c.points_total = points_total;
}

void print_banner(console& c) {
  if (c.quiet) {
    return;
  }
  std::fputs("I'm program complex \"Trivella\".\n", stdout);
  std::fputs("I'm working, please wait...\n", stdout);
}

void print_condition(console& c, int condition) {
  c.condition = condition;
  if (c.quiet || c.stdout_failed) {
    return;
  }
  erase_progress(c);
  const int length = std::printf("%4d", condition);
  // A closed pipe or a full disk on standard output ends the numbers, not the run.
  if (length < 0 || std::fflush(stdout) != 0) {
    c.stdout_failed = true;
    return;
  }
  c.column += length;
}

void note_points(console& c, long long points) {
  c.points_done = points;
  if (c.progress && std::chrono::steady_clock::now() - c.last_draw >= redraw_interval) {
    c.last_draw = std::chrono::steady_clock::now();
    draw_progress(c);
  }
}

void report(console& c, const std::string& message) {
  if (!c.stdout_failed) {
    std::fflush(stdout);
  }
  erase_progress(c);
  if (c.shares_line && c.column > 0) {
    std::fputc('\n', stderr);
    c.column = 0;
  }
  std::fprintf(stderr, "trivella: %s\n", message.c_str());
}

void print_summary(console& c, const std::string& file) {
  if (!c.progress) {
    return;
  }
  char text[200];
  std::snprintf(text, sizeof text, "%lld points written to %s in %.1f s", c.points_done,
                file.c_str(), seconds_since(c.start));
  report(c, text);
}
