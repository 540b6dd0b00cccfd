// The only global state: a signal handler can reach nothing else.
#include "run/interrupts.hpp"

#include <csignal>

namespace {

volatile std::sig_atomic_t received = 0;
volatile std::sig_atomic_t resized = 0;

extern "C" void record_signal(int signal) { received = signal; }
extern "C" void record_resize(int /*signal*/) { resized = 1; }

}  // namespace

void install_interrupt_handlers() {
  struct sigaction action = {};
  action.sa_handler = record_signal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A resize must not make a blocking open or write fail, as an interrupt deliberately does.
  struct sigaction resize = {};
  resize.sa_handler = record_resize;
  resize.sa_flags = SA_RESTART;
  sigemptyset(&resize.sa_mask);
  sigaction(SIGWINCH, &resize, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

int interrupt_signal() { return received; }

bool window_resized() {
  const bool was = resized != 0;
  resized = 0;
  return was;
}
