// The console on a terminal, run on a pseudo-terminal and replayed on a small emulator of the
// terminal's screen: the condition numbers must read as they would with no progress at all.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e/run_dir.hpp"

namespace {

// A screen that does what a VT100-style terminal does with the bytes the program writes:
// text with autowrap (and the pending wrap at the last column), CR, LF, ESC[K, ESC[J, ESC[nA,
// ESC[nG, and ESC 7 / ESC 8, whose restore drops a pending wrap as common terminals do.
struct screen {
  int width = 80;
  std::vector<std::string> rows{std::string()};
  int row = 0;
  int col = 0;
  bool pending_wrap = false;
  int saved_row = 0;
  int saved_col = 0;
  int widest_text = 0;  // longest run of text written from the start of a row

  std::string& line() {
    rows[static_cast<std::size_t>(row)].resize(static_cast<std::size_t>(width), ' ');
    return rows[static_cast<std::size_t>(row)];
  }
  void down() {
    ++row;
    if (row == static_cast<int>(rows.size())) {
      rows.emplace_back();
    }
  }
  void put(char ch) {
    if (pending_wrap) {
      col = 0;
      down();
      pending_wrap = false;
    }
    line()[static_cast<std::size_t>(col)] = ch;
    widest_text = std::max(widest_text, col + 1);
    if (col == width - 1) {
      pending_wrap = true;
    } else {
      ++col;
    }
  }
  void feed(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const char ch = bytes[i];
      if (ch == '\r') {
        col = 0;
        pending_wrap = false;
      } else if (ch == '\n') {
        down();
        pending_wrap = false;
      } else if (ch == '\x1b' && i + 1 < bytes.size() && bytes[i + 1] != '[') {
        const char what = bytes[++i];
        if (what == '7') {
          saved_row = row;
          saved_col = col;
        } else if (what == '8') {
          row = saved_row;
          col = saved_col;
          pending_wrap = false;
        }
      } else if (ch == '\x1b') {
        std::size_t end = i + 2;
        while (end < bytes.size() && (std::isdigit(bytes[end]) != 0 || bytes[end] == ';')) {
          ++end;
        }
        const int n = end > i + 2 ? std::stoi(bytes.substr(i + 2, end - i - 2)) : 1;
        const char command = end < bytes.size() ? bytes[end] : '?';
        if (command == 'K' || command == 'J') {
          line().replace(static_cast<std::size_t>(col), std::string::npos,
                         static_cast<std::size_t>(width - col), ' ');
          if (command == 'J') {
            rows.resize(static_cast<std::size_t>(row) + 1);
          }
        } else if (command == 'A') {
          row = std::max(0, row - n);
        } else if (command == 'G') {
          col = std::min(width - 1, n - 1);
        }
        pending_wrap = false;
        i = end;
      } else {
        put(ch);
      }
    }
  }
  std::string text() const {
    std::string all;
    for (std::string r : rows) {
      r.erase(r.find_last_not_of(' ') + 1);
      all += r + "\n";
    }
    return all;
  }
};

std::string ini(int n_conditions, int n_points) {
  std::string text = "trivella section map\n" + std::to_string(n_conditions) + " " +
                     std::to_string(n_points) + " 0.1 1e-3 1e-2\nref L\n1\n";
  for (int i = 1; i <= n_conditions; ++i) {
    text += "c x " + std::to_string(i) + " 0." + std::to_string(i % 10) + " 0.5 ./RESULT/c" +
            std::to_string(i) + ".txt\n";
  }
  return text;
}

// Runs the program in `dir` on a new pseudo-terminal `width` columns wide; after `resize_after`
// bytes of output (if > 0) the terminal becomes `new_width` wide. Returns every byte written.
std::string run_on_terminal(const run_dir& dir, int width, std::size_t resize_after = 0,
                            int new_width = 0, std::size_t* resized_at = nullptr) {
  int master = -1;
  winsize size = {};
  size.ws_row = 24;
  size.ws_col = static_cast<unsigned short>(width);
  const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
  if (pid == 0) {
    if (chdir(dir.path.c_str()) == 0) {
      execl(TRIVELLA_PROGRAM, TRIVELLA_PROGRAM, "--threads", "1", static_cast<char*>(nullptr));
    }
    _exit(127);
  }
  std::string out;
  char buffer[4096];
  bool resized = false;
  for (;;) {
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) {
      break;  // EIO once the program has exited and closed the terminal
    }
    out.append(buffer, static_cast<std::size_t>(n));
    if (resize_after > 0 && !resized && out.size() >= resize_after) {
      size.ws_col = static_cast<unsigned short>(new_width);
      ioctl(master, TIOCSWINSZ, &size);  // the kernel sends SIGWINCH to the program
      resized = true;
      if (resized_at != nullptr) {
        *resized_at = out.size();
      }
    }
  }
  close(master);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return out;
}

// "   1   2 ..." as the terminal shows it without any progress: wrapped at `width`.
std::string numbers_as_shown(int n, int width) {
  std::string line;
  for (int i = 1; i <= n; ++i) {
    char number[8];
    std::snprintf(number, sizeof number, "%4d", i);
    line += number;
  }
  std::string shown;
  for (std::size_t at = 0; at < line.size(); at += static_cast<std::size_t>(width)) {
    shown += line.substr(at, static_cast<std::size_t>(width)) + "\n";
  }
  return shown;
}

// catches: progress drawn at the right margin with the cursor saved and restored, so that in
// a 40-column terminal "10" showed as "1"; progress cut to the room left on the line
TEST(Console, NumbersReadAsWithoutProgressAndProgressFitsTheLine) {
  run_dir dir;
  constexpr int conditions = 18;
  dir.write("ini.txt", ini(conditions, 5000));
  const std::string bytes = run_on_terminal(dir, 40);
  ASSERT_NE(bytes.find("/18, "), std::string::npos) << "no progress was drawn";
  screen s;
  s.width = 40;
  s.feed(bytes);
  const std::string banner = "I'm program complex \"Trivella\".\nI'm working, please wait...\n";
  const std::string expected = banner + numbers_as_shown(conditions, 40);
  EXPECT_EQ(s.text().substr(0, expected.size()), expected) << s.text();
  EXPECT_NE(s.text().find("\ntrivella: 90000 points written to"), std::string::npos) << s.text();
  EXPECT_LE(s.widest_text, 40);
}

// catches: the width read once at the start, so that after the terminal narrowed every
// progress line wrapped into fragments
TEST(Console, ProgressFollowsAResizedTerminal) {
  run_dir dir;
  dir.write("ini.txt", ini(16, 12000));
  std::size_t resized_at = 0;
  const std::string bytes = run_on_terminal(dir, 100, 120, 30, &resized_at);
  ASSERT_GT(resized_at, 0U);
  // Each progress text runs from a CR to the erase that ends it, with no control byte between.
  // The first one after the resize may have been under way when the signal came.
  std::vector<std::size_t> lengths;
  for (std::size_t at = bytes.find('\r', resized_at); at != std::string::npos;
       at = bytes.find('\r', at + 1)) {
    const std::size_t end = bytes.find("\x1b[K", at);
    const std::string text = bytes.substr(at + 1, end == std::string::npos ? 0 : end - at - 1);
    if (!text.empty() && text.find_first_of("\r\n\x1b") == std::string::npos) {
      lengths.push_back(text.size());
    }
  }
  ASSERT_GE(lengths.size(), 2U) << "too few progress lines after the resize";
  const std::size_t longest_late = *std::max_element(lengths.begin() + 1, lengths.end());
  const std::size_t draws_late = lengths.size() - 1;
  EXPECT_GT(draws_late, 0U);
  EXPECT_LE(longest_late, 29U);
}

}  // namespace
