"""Shared helpers of the module's tests: ini.txt text, the built program, point lines."""
import os
import subprocess
from pathlib import Path

import pytest

PROGRAM = os.environ.get("TRIVELLA_PROGRAM",
                         str(Path(__file__).resolve().parents[2] / "build/release/trivella"))


def ini_text(conditions, n_points, h0, tol, eps, L):
    """ini.txt holding the numbers as given, as decimal text."""
    lines = ["sweep from python", f"{len(conditions)} {n_points} {h0} {tol} {eps}",
             "reference L", f"{L}"]
    lines += [f"condition {i} {i} {phi} {l} ./RESULT/c{i}.txt"
              for i, (phi, l) in enumerate(conditions, 1)]
    return "\n".join(lines) + "\n"


def point_lines(points, digits=10):
    return "".join("%15.*f %15.*f\n" % (digits, p, digits, q) for p, q in points.reshape(-1, 2))


@pytest.fixture
def program_run(tmp_path):
    """program_run(ini, *options) runs the program on ini in a fresh directory; returns
    (the completed process, the directory)."""
    def run(ini, *options):
        (tmp_path / "RESULT").mkdir(exist_ok=True)
        (tmp_path / "ini.txt").write_text(ini)
        done = subprocess.run([PROGRAM, "-q", *options, str(tmp_path)], capture_output=True,
                              text=True, timeout=120)
        return done, tmp_path
    return run
