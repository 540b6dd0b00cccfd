"""The engine's threads as Python sees them: none is left running once a call returns, by
Ctrl-C or by a stop callback, and their number follows the CPUs the process may use."""
import os
import signal
import subprocess
import sys
import time

CHILD = """
import os, signal, time, trivella

def tasks():
    return len(os.listdir("/proc/self/task"))

def tasks_within_a_second(expected):
    deadline = time.monotonic() + 1.0
    while tasks() != expected and time.monotonic() < deadline:
        time.sleep(0.01)
    return tasks()

signal.signal(signal.SIGINT, signal.default_int_handler)
alone = tasks()
# Points of tens of seconds each (L = 1e4): only a stop inside the step loop ends them.
slow = dict(L=1e4, h0=0.1, tol=1e-9, eps=1e-6, threads=2)
print("started", flush=True)
try:
    trivella.section_map([0.0, 1.0, 2.0], [5e3, 4e3, 3e3], 2, **slow)
except KeyboardInterrupt:
    print("interrupted", tasks_within_a_second(alone) - alone, flush=True)

asked = []
def keep_going():
    if time.monotonic() - start > 0.3:
        asked.append(time.monotonic())
    return not asked
for method, tol, L in (("classic", 1e-9, 1e4), ("precise", 1e-10, 1e6)):
    start = time.monotonic()
    outcome = trivella.stream_map([0.0, 1.0, 2.0], [L / 2, L / 3, L / 4], 2, L=L, h0=0.1,
                                  tol=tol, eps=1e-6, method=method, threads=2,
                                  on_points=lambda c, p: None, keep_going=keep_going)
    print(method, outcome.end, round(time.monotonic() - asked[0], 3), tasks() - alone,
          flush=True)
    asked.clear()
"""


def test_a_stop_inside_a_slow_point_leaves_no_engine_thread():
    child = subprocess.Popen([sys.executable, "-c", CHILD], stdout=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "started\n"
        time.sleep(0.5)
        child.send_signal(signal.SIGINT)
        assert child.stdout.readline() == "interrupted 0\n"
        for method in ("classic", "precise"):
            name, end, latency, extra_tasks = child.stdout.readline().split()
            assert (name, end, extra_tasks) == (method, "stopped", "0")
            # keep_going is asked every 50 ms; the workers stop within a step.
            assert float(latency) < 0.25
        assert child.wait(timeout=10) == 0
    finally:
        child.kill()


def test_thread_count_follows_the_affinity_mask():
    code = ("import os, sys, trivella._engine as e; cpus = sorted(os.sched_getaffinity(0));"
            "n = int(sys.argv[1]); os.sched_setaffinity(0, cpus[:n]); print(e.thread_count(0))")
    allowed = len(os.sched_getaffinity(0))
    for n in sorted({1, min(2, allowed)}):
        out = subprocess.run([sys.executable, "-c", code, str(n)], capture_output=True,
                             text=True, check=True).stdout
        assert out == f"{n}\n"
