#!/usr/bin/env python3
"""Puts known faults into the code one at a time and runs the C++ suite against each.

Each fault is a file, a piece of its text and what that text becomes. For every fault the
file is changed, the build tree is rebuilt incrementally, CTest runs the C++ tests (stopping
at the first failure) and the file is restored, also on Ctrl-C or any error. A fault that no
test fails is reported as surviving. The score is the share of faults caught.

    tools/mutation_check.py [--build-dir build/release] [--only NAME]...

The build tree must be configured with BUILD_TESTING=ON (make test or make mutation does it).
Exit status: 0 when every fault is caught, 1 when one survives, 2 on a setup problem.
"""
import argparse
import os
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# The Python module's and the explorer's tests are left out: the C++ suite alone must catch
# these faults.
CTEST_EXCLUDE = "pytest|explorer"


@dataclass
class Fault:
    name: str
    path: str
    original: str
    mutated: str
    breaks: str


FAULTS = [
    Fault("halving-at-tol", "src/section/section_map.cpp",
          "while (config.tol < err) {", "while (config.tol <= err) {",
          "a step whose error estimate equals tol is halved"),
    Fault("growth-below-eighth", "src/section/section_map.cpp",
          "while (err <= config.tol / 8.0) {", "while (err < config.tol / 8.0) {",
          "a step whose estimate equals tol / 8 is not doubled"),
    Fault("crossing-from-zero", "src/section/section_map.cpp",
          "return s_prev * s_new < 0.0 && 0.0 < s_prev;",
          "return s_prev * s_new <= 0.0 && 0.0 <= s_prev;",
          "a step starting or ending on a zero of the section counts as a crossing"),
    Fault("step-not-restored", "src/section/section_map.cpp",
          "      s.h = h_saved;\n", "      (void)h_saved;\n",
          "the refinement's step size is carried into the next step"),
    Fault("error-estimate-factor", "src/dynamics/rk4_step.cpp",
          "2.0 * std::fabs(k1[i] - k2[i] - k3[i] + k4) / 3.0",
          "std::fabs(k1[i] - k2[i] - k3[i] + k4) / 3.0",
          "the error estimate is half as large"),
    Fault("lane-time-compensation", "src/precise/lane_block.cpp",
          "if (plan[j].lands) {", "if (false && plan[j].lands) {",
          "the precise points come 5e-16 time units early each"),
    Fault("lyapunov-period", "src/engine/precise_job.cpp",
          "const double period = four_pi / ", "const double period = two_pi / ",
          "every Lyapunov exponent doubled"),
    Fault("step-size-not-carried", "src/engine/engine.cpp",
          "h = slot.end_h;", "h = r.h0;",
          "each condition starts from h0 instead of the step size the last one left"),
    Fault("no-first-step-confirmation", "src/engine/engine.cpp",
          "same = accepted && ch.slots[slot].first_accepted && first_h == ch.slots[slot].first_h;",
          "same = true;",
          "a condition computed ahead from a guessed step size is kept unconfirmed"),
    Fault("megno-factor", "src/chaos/chaos_accumulator.cpp",
          "a.sum_y += 2.0 * a.sum_k_ln", "a.sum_y += a.sum_k_ln",
          "MEGNO halved"),
    Fault("tol-zero-accepted", "src/ini/config_reader.cpp",
          "if (0.0f < value) {", "if (0.0f <= value) {",
          "tol = 0 or eps = 0 accepted: the run never ends"),
    Fault("angle-not-reduced", "src/section/section_map.cpp",
          "std::fmod(std::fmod(phi, two_pi) + two_pi, two_pi)", "std::fmod(phi, two_pi)",
          "negative angles written below 0"),
]


def run(cmd, log):
    """Runs cmd, its output to log; returns the exit status."""
    log.write(f"$ {' '.join(cmd)}\n")
    log.flush()
    return subprocess.run(cmd, cwd=ROOT, stdout=log, stderr=subprocess.STDOUT).returncode


def build(build_dir, log):
    return run(["cmake", "--build", str(build_dir), "-j", os.environ.get("JOBS", "2")], log)


def suite(build_dir, log):
    return run(["ctest", "--test-dir", str(build_dir), "-j", os.environ.get("JOBS", "2"),
                "-E", CTEST_EXCLUDE, "--stop-on-failure", "--output-on-failure"], log)


def check_fault(fault, build_dir, log):
    """'caught', 'survived' or 'build failed' (a fault that does not compile proves nothing)."""
    path = ROOT / fault.path
    text = path.read_text()
    if text.count(fault.original) != 1:
        raise SystemExit(f"mutation_check: {fault.name}: the text to change is not once in "
                         f"{fault.path}; update the fault list")
    # Ctrl-C and SIGTERM must not leave the fault in the source.
    handlers = {s: signal.getsignal(s) for s in (signal.SIGINT, signal.SIGTERM)}

    def interrupted(signum, _frame):
        raise KeyboardInterrupt(signum)

    try:
        signal.signal(signal.SIGTERM, interrupted)
        path.write_text(text.replace(fault.original, fault.mutated))
        if build(build_dir, log) != 0:
            return "build failed"
        return "survived" if suite(build_dir, log) == 0 else "caught"
    finally:
        path.write_text(text)
        for s, h in handlers.items():
            signal.signal(s, h)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default="build/release")
    parser.add_argument("--only", action="append", help="run only the fault of this name")
    parser.add_argument("--log", default=None, help="build and test output (default: in the "
                        "build tree, mutation_check.log)")
    args = parser.parse_args()
    build_dir = (ROOT / args.build_dir).resolve()
    if not (build_dir / "CTestTestfile.cmake").exists():
        print(f"mutation_check: {build_dir} is not a configured build tree", file=sys.stderr)
        return 2
    faults = [f for f in FAULTS if not args.only or f.name in args.only]
    log_path = Path(args.log) if args.log else build_dir / "mutation_check.log"
    results = []
    with open(log_path, "w") as log:
        # The suite must pass without faults, or every fault would look caught.
        if build(build_dir, log) != 0 or suite(build_dir, log) != 0:
            print(f"mutation_check: the suite fails without faults; see {log_path}",
                  file=sys.stderr)
            return 2
        try:
            for fault in faults:
                start = time.monotonic()
                verdict = check_fault(fault, build_dir, log)
                results.append((fault, verdict))
                print(f"{verdict:>12}  {fault.name:<28} {fault.path}  "
                      f"({time.monotonic() - start:.0f} s)", flush=True)
        finally:
            # Leaves the build tree matching the restored sources.
            build(build_dir, log)
    judged = [r for r in results if r[1] != "build failed"]
    caught = sum(1 for _, v in judged if v == "caught")
    for fault, verdict in results:
        if verdict == "survived":
            print(f"survived: {fault.name}: {fault.breaks}")
    print(f"score: {caught}/{len(judged)} faults caught by the C++ suite")
    return 0 if caught == len(judged) else 1


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        print("mutation_check: interrupted; the sources are restored", file=sys.stderr)
        sys.exit(130)
