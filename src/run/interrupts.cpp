// The one piece of global state: a signal handler can reach nothing else.
#include "run/interrupts.hpp"

#include <csignal>

namespace {

volatile std::sig_atomic_t received = 0;

extern "C" void record_signal(int signal) { received = signal; }

}  // namespace

void install_interrupt_handlers() {
  struct sigaction action = {};
  action.sa_handler = record_signal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

int interrupt_signal() { return received; }
