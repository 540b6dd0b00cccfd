// Console output. The classic bytes of standard output are the banner and "%4d" numbers; all
// else goes to standard error, and progress only when standard error is a terminal.
//
// The progress text owns a line of its own, never wider than the terminal: when the numbers
// share the terminal, it is drawn on the line below them and erased before the next number,
// the cursor going back to where that number belongs. Nothing is drawn over the numbers, and
// the cursor is never saved and restored: a restore drops the pending wrap of a line filled
// to its last column, and the next number would overwrite that column.
#include "run/console.hpp"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "run/interrupts.hpp"

namespace {

constexpr auto redraw_interval = std::chrono::milliseconds(200);
constexpr int narrowest = 12;  // below this the terminal gets no progress at all

bool same_terminal(int a, int b) {
  struct stat sa = {};
  struct stat sb = {};
  return isatty(a) != 0 && isatty(b) != 0 && fstat(a, &sa) == 0 && fstat(b, &sb) == 0 &&
         sa.st_rdev == sb.st_rdev;
}

int terminal_width(int fallback) {
  struct winsize size = {};
  return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : fallback;
}

double seconds_since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// Column of the cursor after the numbers, 0 at the start of a line (a full line wraps there).
int numbers_column(const console& c) { return c.column % c.width; }

// Removes the progress text, leaving the cursor where the next output belongs.
void erase_progress(console& c) {
  if (!c.drawn) {
    return;
  }
  std::fputs("\r\x1b[K", stderr);
  if (c.below_numbers && numbers_column(c) != 0) {
    std::fprintf(stderr, "\x1b[A\x1b[%dG", numbers_column(c) + 1);
  }
  c.drawn = false;
}

// The longest of the progress texts, from fullest to barest, that fits in `room`; empty when
// none does.
std::string progress_text(const console& c, int room) {
  const double elapsed = seconds_since(c.start);
  const double rate = elapsed > 0.0 ? static_cast<double>(c.points_done) / elapsed : 0.0;
  char left[40] = "";
  if (rate > 0.0 && c.points_total > c.points_done) {
    std::snprintf(left, sizeof left, ", %.0f s left",
                  static_cast<double>(c.points_total - c.points_done) / rate);
  }
  const int percent =
      c.points_total > 0 ? static_cast<int>(100 * c.points_done / c.points_total) : 0;
  char texts[4][160];
  if (c.cells) {
    std::snprintf(texts[0], sizeof texts[0], "%lld of %lld cells, %.1f cells/s%s", c.points_done,
                  c.points_total, rate, left);
    std::snprintf(texts[1], sizeof texts[1], "%d%% of the cells%s", percent, left);
    std::snprintf(texts[2], sizeof texts[2], "%d%%%s", percent, left);
    std::snprintf(texts[3], sizeof texts[3], "%d%%", percent);
  } else {
    std::snprintf(texts[0], sizeof texts[0],
                  "condition %d/%d, %lld of %lld points, %.0f points/s%s", c.condition,
                  c.conditions, c.points_done, c.points_total, rate, left);
    std::snprintf(texts[1], sizeof texts[1], "condition %d/%d, %d%% of the points%s", c.condition,
                  c.conditions, percent, left);
    std::snprintf(texts[2], sizeof texts[2], "%d/%d, %d%%%s", c.condition, c.conditions, percent,
                  left);
    std::snprintf(texts[3], sizeof texts[3], "%d%%", percent);
  }
  for (const char* text : texts) {
    if (static_cast<int>(std::char_traits<char>::length(text)) <= room) {
      return text;
    }
  }
  return {};
}

void draw_progress(console& c) {
  if (c.width < narrowest) {
    return;
  }
  // The last column stays free: a text reaching it would leave the cursor waiting to wrap.
  const std::string text = progress_text(c, c.width - 1);
  if (text.empty()) {
    return;
  }
  erase_progress(c);
  c.below_numbers = c.shares_line && c.column > 0;
  if (c.below_numbers) {
    std::fputc('\n', stderr);
  }
  std::fprintf(stderr, "\r%s\x1b[K", text.c_str());
  std::fflush(stderr);
  c.drawn = true;
}

}  // namespace

console open_console(bool quiet) {
  console c;
  c.quiet = quiet;
  c.progress = isatty(STDERR_FILENO) != 0;
  c.shares_line = !quiet && same_terminal(STDOUT_FILENO, STDERR_FILENO);
  if (c.progress) {
    c.width = terminal_width(c.width);
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
  if (!c.progress) {
    return;
  }
  const bool resized = window_resized();
  if (resized) {
    // Erased with the old width, where the cursor went; drawn anew with the new one.
    erase_progress(c);
    c.width = terminal_width(c.width);
  }
  if (resized || std::chrono::steady_clock::now() - c.last_draw >= redraw_interval) {
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
  std::snprintf(text, sizeof text, "%lld %s written to %s in %.1f s", c.points_done,
                c.cells ? "cells" : "points", file.c_str(), seconds_since(c.start));
  report(c, text);
}
