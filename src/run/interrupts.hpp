// SIGINT and SIGTERM ask the run to stop at a whole line; a closed pipe is no reason to die;
// a resized terminal asks for the progress line to be drawn anew.
#pragma once

// Installs the handlers: SIGINT and SIGTERM are recorded, SIGWINCH is recorded (restarting
// what it interrupts), SIGPIPE is ignored so that writes to a closed standard output fail with
// EPIPE instead of killing the run.
void install_interrupt_handlers();

// The signal received since the handlers were installed, or 0.
int interrupt_signal();

// True once after each SIGWINCH.
bool window_resized();
