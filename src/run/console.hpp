// What the user sees: the banner and condition numbers on standard output, progress and
// messages on standard error, each message on a line of its own.
#pragma once

#include <chrono>
#include <string>

struct console {
  bool quiet = false;
  bool stdout_failed = false;  // a write to standard output failed: no more numbers
  bool progress = false;       // standard error is a terminal: progress is drawn there
  bool shares_line = false;    // standard output is that terminal: progress goes below the numbers
  int width = 80;              // of the terminal, read again after each SIGWINCH
  int column = 0;              // characters on the line of condition numbers
  bool drawn = false;          // a progress text is on screen
  bool below_numbers = false;  // it is on the line below the numbers
  bool cells = false;          // a stability map: the progress counts cells, not points
  int conditions = 0;
  long long points_total = 0;
  long long points_done = 0;
  int condition = 0;
  std::chrono::steady_clock::time_point start{};
  std::chrono::steady_clock::time_point last_draw{};
};

console open_console(bool quiet);

// Before a run: how much work there is, for the progress line.
void plan_progress(console& c, int conditions, long long points_total);

void print_banner(console& c);

// The condition's number, "%4d", flushed at once.
void print_condition(console& c, int condition);

// Records points done and redraws the progress at most a few times a second, and at once
// after the terminal was resized.
void note_points(console& c, long long points);

// "trivella: <message>" on standard error, starting on a fresh line of the terminal.
void report(console& c, const std::string& message);

// After a complete run, on a terminal: the summary line.
void print_summary(console& c, const std::string& file);
