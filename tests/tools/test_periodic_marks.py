"""plot_section.py after trivella --precise --periodic: each condition's points are its orbit's
q points, and a periodic.txt left from an earlier run is not read."""
import os
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
TOOL = ROOT / "tools" / "plot_section.py"
PROGRAM = os.environ.get("TRIVELLA_PROGRAM", str(ROOT / "build" / "release" / "trivella"))
sys.path.insert(0, str(TOOL.parent))
import periodic_marks as pm  # noqa: E402
from section_files import read_points  # noqa: E402

INI = ("trivella periodic orbits\n3 40 0.1 1e-12 1e-6\nreference L\n5.0\n"
       "c 1 1 1.5708 0.0 ./RESULT/c1.txt\nc 2 2 0.5 5.0 ./RESULT/c2.txt\n"
       "c 3 3 1.5 2.0 ./RESULT/c3.txt\n")


def run(where, *options):
    (where / "RESULT").mkdir(exist_ok=True)
    (where / "ini.txt").write_text(INI)
    done = subprocess.run([PROGRAM, "-q", *options, str(where)], capture_output=True, text=True,
                          timeout=120)
    assert done.returncode == 0, done.stderr


def test_orbits_are_split_by_their_periods_and_drawn(tmp_path):
    run(tmp_path, "--precise", "--periodic", "5")
    rows = pm.read_periodic(tmp_path)
    # catches: the points split by n_points of ini.txt, or a failed search given points
    assert rows == [(1, "elliptic"), (0, "not-converged"), (5, "elliptic")]
    points = read_points(tmp_path / "RESULT" / "lL.txt")
    groups, missing, extra = pm.split_by_periods(points, rows)
    assert [len(g) for g in groups] == [1, 0, 5] and (missing, extra) == (0, 0)
    done = subprocess.run(["/usr/bin/python3", str(TOOL), str(tmp_path), "-o",
                           str(tmp_path / "marks.png")], capture_output=True, text=True,
                          timeout=60)
    assert done.returncode == 0 and done.stderr == "", done.stderr
    assert (tmp_path / "marks.png").stat().st_size > 0


def test_periodic_file_of_an_earlier_run_is_ignored(tmp_path):
    run(tmp_path, "--precise", "--periodic", "5")
    run(tmp_path, "--precise")
    assert pm.read_periodic(tmp_path) is None
