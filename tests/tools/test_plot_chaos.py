"""Tests for plot_section.py --color chaos and the method in its title."""
import os
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
TOOL = ROOT / "tools" / "plot_section.py"
PROGRAM = os.environ.get("TRIVELLA_PROGRAM", str(ROOT / "build" / "release" / "trivella"))
sys.path.insert(0, str(TOOL.parent))
import chaos_colors as cc  # noqa: E402

INI = ("trivella chaos map\n3 4 0.1 1e-12 1e-6\nreference L\n5.0\n"
       "c 1 1 1.5 0.0 ./RESULT/c1.txt\nc 2 2 0.0 0.25 ./RESULT/c2.txt\n"
       "c 3 3 3.1 -3.0 ./RESULT/c3.txt\n")
# Threshold 5, not the program's 4: the tool must take it from the file.
CHAOS = ("# chaotic when megno > 5; megno: mean MEGNO\n"
         "# condition phi0 l0 megno lyapunov periods verdict\n"
         "1 1.5 0 1.2 0.0003 999 regular\n2 0 0.25 240 0.03 999 chaotic\n"
         "3 3.0999999 -3 2.1 0.0004 999 regular\n")


def make_run(tmp_path, chaos=CHAOS, info="method precise\ntol 9.99999996e-13\nL 5\nchaos yes\n"):
    result = tmp_path / "RESULT"
    result.mkdir()
    (tmp_path / "ini.txt").write_text(INI)
    (result / "lL.txt").write_text("".join(f"{0.5 * i:15.10f} {0.1 * i:15.10f}\n"
                                           for i in range(12)))
    if chaos is not None:
        (result / "chaos.txt").write_text(chaos)
    if info is not None:
        (result / "run_info.txt").write_text(info)
    return tmp_path


def run_tool(*args):
    return subprocess.run(["/usr/bin/python3", str(TOOL), *map(str, args)],
                          capture_output=True, text=True, timeout=60)


def test_draws_verdicts_threshold_and_method(tmp_path):
    # Condition 3 is undecided (too few points for a period): drawn grey, without a verdict.
    make_run(tmp_path, chaos=CHAOS.replace("2.1 0.0004 999 regular", "nan nan 0 undecided"))
    out = tmp_path / "map.svg"
    r = run_tool(tmp_path, "--color", "chaos", "-o", out)
    assert r.returncode == 0, r.stderr
    text = out.read_text(encoding="utf-8")
    for label in ("precise method, L = 5, tol = 1e-12",
                  r"regular: $\langle Y \rangle$ ≤ 5", r"chaotic: $\langle Y \rangle$ &gt; 5",
                  "after 999 periods",
                  "chaotic above 5"):
        assert label in text


def test_colour_sides_of_the_threshold():
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    norm, cmap = cc.megno_norm(5.0, 500.0), plt.get_cmap("coolwarm")
    assert [float(norm(v)) for v in (0.2, 1.0, 5.0, 500.0, 1e4)] == pytest.approx(
        [0.0, 0.0, 0.5, 1.0, 1.0])
    assert 0.0 < float(norm(2.0)) < float(norm(4.9)) < 0.5 < float(norm(5.1))
    blue, red = cmap(float(norm(2.0))), cmap(float(norm(100.0)))
    assert blue[2] > blue[0] and red[0] > red[2]


@pytest.mark.parametrize("chaos, fragment", [
    (None, "chaos.txt: file not found (--color chaos needs a run of trivella --precise"),
    (CHAOS.replace("2 0 0.25", "2 0.7 0.25"), "line of condition 2 does not match ini.txt"),
    (CHAOS.replace("999 chaotic", "999 wild"), "chaos.txt:4: verdict 'wild' is not one of"),
    (CHAOS.replace("> 5;", "above 5;"), "no '# chaotic when megno > X'"),
    (CHAOS.replace("240 0.03", "240"), "chaos.txt:4: expected 7 fields"),
])
def test_bad_chaos_file_is_one_line_and_exit_1(tmp_path, chaos, fragment):
    make_run(tmp_path, chaos=chaos)
    r = run_tool(tmp_path, "--color", "chaos")
    lines = r.stderr.strip().splitlines()
    assert r.returncode == 1 and len(lines) == 1
    assert lines[0].startswith("plot_section: error:") and fragment in lines[0]
    assert not (tmp_path / "RESULT" / "lL.png").exists()


def test_program_output_is_drawn(tmp_path):
    # The program's own chaos.txt: the island's centre, the separatrix layer and a rotation.
    assert Path(PROGRAM).exists(), f"build the program first ({PROGRAM})"
    (tmp_path / "RESULT").mkdir()
    (tmp_path / "ini.txt").write_text(
        "t t t\n3 301 0.1 1e-12 1e-6\nr L\n5\nc 1 1 1.5 0 RESULT/a\n"
        "c 2 2 0 0.25 RESULT/b\nc 3 3 0 -4.5 RESULT/c\n")
    r = subprocess.run([PROGRAM, "-q", "--precise", "--chaos", str(tmp_path)],
                       capture_output=True, text=True, timeout=60)
    assert r.returncode == 0, r.stderr
    chaos = cc.read_chaos((tmp_path / "RESULT" / "chaos.txt").read_text(), "chaos.txt")
    assert [row["verdict"] for row in chaos["rows"]] == ["regular", "chaotic", "regular"]
    assert [row["periods"] for row in chaos["rows"]] == [300, 300, 300]
    out = tmp_path / "map.svg"
    r = run_tool(tmp_path, "--color", "chaos", "-o", out)
    assert r.returncode == 0, r.stderr
    assert "precise method, L = 5, tol = 1e-12" in out.read_text(encoding="utf-8")


def test_files_of_an_earlier_precise_run_are_not_taken(tmp_path):
    # catches: a classic run after a precise one drawn as precise, coloured by stale verdicts
    make_run(tmp_path)
    later = os.path.getmtime(tmp_path / "RESULT/run_info.txt") + 10
    os.utime(tmp_path / "RESULT/lL.txt", (later, later))
    r = run_tool(tmp_path, "--color", "chaos")
    assert r.returncode == 1 and "belongs to an earlier run" in r.stderr
    out = tmp_path / "map.svg"
    r = run_tool(tmp_path, "-o", out)
    assert r.returncode == 0 and "older than lL.txt" in r.stderr
    assert "precise method" not in out.read_text(encoding="utf-8")
