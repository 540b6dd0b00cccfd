"""Ctrl-C stops a long section_map within a fraction of a second and leaves the
interpreter working, however large the result it was to fill."""
import signal
import subprocess
import sys
import time

import pytest

CHILD = """
import signal, sys, time, trivella
# Python's own Ctrl-C handler, even when started with SIGINT ignored.
signal.signal(signal.SIGINT, signal.default_int_handler)
print("started", flush=True)
try:
    trivella.section_map(*eval(sys.argv[1]), L=1.0, h0=0.1, tol=1e-9, eps=1e-6)
except KeyboardInterrupt:
    print("interrupted", flush=True)
print(trivella.section_map(0.0, 0.3, 2, L=1.0, h0=0.1, tol=1e-9, eps=1e-6).shape, flush=True)
"""


# Calls that would take minutes: many points of two conditions, and one condition whose
# result (3.2 GB) would take seconds only to fill, were it filled before the run.
@pytest.mark.parametrize("call", ["[0.0, 1.0], [0.3, 0.5], 10**6", "0.0, 0.3, 2 * 10**8"])
def test_ctrl_c_stops_a_long_call(call):
    child = subprocess.Popen([sys.executable, "-c", CHILD, call], stdout=subprocess.PIPE,
                             text=True)
    try:
        assert child.stdout.readline() == "started\n"
        time.sleep(0.5)  # well inside the call
        child.send_signal(signal.SIGINT)
        start = time.monotonic()
        assert child.stdout.readline() == "interrupted\n"
        latency = time.monotonic() - start
        assert child.stdout.readline() == "(2, 2)\n"
        assert child.wait(timeout=10) == 0
    finally:
        child.kill()
    assert latency < 1.0
