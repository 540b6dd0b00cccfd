"""plot_section.py --color rotation and --periodic PDIR: the colours of the scale, the errors,
and periodic orbits found twice marked once."""
import os
import subprocess
import sys
from pathlib import Path

import matplotlib
import pytest

ROOT = Path(__file__).resolve().parents[2]
TOOL = ROOT / "tools" / "plot_section.py"
PROGRAM = os.environ.get("TRIVELLA_PROGRAM", str(ROOT / "build" / "release" / "trivella"))
sys.path.insert(0, str(TOOL.parent))
import periodic_marks as pm  # noqa: E402
import rotation_colors as rc  # noqa: E402
from section_files import read_ini  # noqa: E402

INI = ("trivella rotation map\n3 4 0.1 1e-12 1e-6\nreference L\n5.0\n"
       "c 1 1 1.5 0.0 ./RESULT/c1.txt\nc 2 2 0.0 6.0 ./RESULT/c2.txt\n"
       "c 3 3 3.1 -3.0 ./RESULT/c3.txt\n")
ROTATION = ("# rotation: ...\n# condition phi0 l0 rotation kind digits points verdict\n"
            "1 1.5 0 0.25 librating 9.5 4 regular\n2 0 6 -1 circulating 12 4 regular\n"
            "3 3.0999999 -3 nan none nan 4 undecided\n")


def run_tool(*args):
    return subprocess.run(["/usr/bin/python3", str(TOOL), *map(str, args)],
                          capture_output=True, text=True, timeout=60)


def make_run(where, rotation=ROTATION):
    (where / "RESULT").mkdir()
    (where / "ini.txt").write_text(INI)
    (where / "RESULT" / "lL.txt").write_text("".join(f"{0.5 * i:15.10f} {0.1 * i:15.10f}\n"
                                                     for i in range(12)))
    if rotation is not None:
        (where / "RESULT" / "rotation.txt").write_text(rotation)
    return where


def test_each_condition_takes_the_colour_of_its_rotation_number(tmp_path):
    run = make_run(tmp_path)
    rows = rc.read_rotation_rows(run, read_ini(run / "ini.txt"))
    turbo = matplotlib.colormaps["turbo"]
    # The scale runs from the smallest number (-1, its bottom) to the largest (0.25, its top);
    # the undecided condition is grey.
    expected = [turbo(1.0), turbo(0.0), "0.6"]
    assert rc.rotation_colours(rows, rc.rotation_norm(rows), turbo) == expected
    done = run_tool(run, "--color", "rotation", "-o", tmp_path / "map.svg")
    assert done.returncode == 0 and done.stderr == "", done.stderr
    svg = (tmp_path / "map.svg").read_text()
    for colour in expected:
        assert f"fill: {matplotlib.colors.to_hex(colour)}" in svg
    assert "rotation number" in svg
    assert f"fill: {matplotlib.colors.to_hex(turbo(0.5))}" not in svg


@pytest.mark.parametrize("rotation, error", [
    (None, "rotation.txt: file not found (--color rotation needs a run of trivella --precise "
           "--rotation)"),
    (ROTATION.replace("0.25 librating", "0.25 spinning"), "kind 'spinning'"),
    (ROTATION.replace("2 0 6 -1", "2 0.7 6 -1"), "line of condition 2 does not match ini.txt"),
])
def test_a_missing_or_foreign_rotation_file_is_an_error(tmp_path, rotation, error):
    done = run_tool(make_run(tmp_path, rotation), "--color", "rotation")
    assert done.returncode == 1 and error in done.stderr
    assert not (tmp_path / "RESULT" / "lL.png").exists()


def run_program(where, ini, *options):
    (where / "RESULT").mkdir(parents=True)
    (where / "ini.txt").write_text(ini)
    subprocess.run([PROGRAM, "-q", "--precise", *options, str(where)], check=True, timeout=120)
    return where


def test_an_orbit_found_from_two_guesses_is_marked_once(tmp_path):
    guesses = ("trivella periodic guesses\n3 1 0.1 1e-12 1e-6\nreference L\n5.0\n"
               "g 1 1 1.5708 0.0 ./RESULT/g1.txt\ng 2 2 1.4 0.3 ./RESULT/g2.txt\n"
               "g 3 3 4.6 0.2 ./RESULT/g3.txt\n")
    pdir = run_program(tmp_path / "p", guesses, "--periodic", "1")
    orbits = pm.read_orbits([pdir, pdir], 5.0)
    # Two islands' centres, one found twice, each once.
    assert [(q, kind, len(g)) for q, kind, g in orbits] == [(1, "elliptic", 1)] * 2
    run_program(tmp_path / "map", INI, "--rotation")
    done = run_tool(tmp_path / "map", "--color", "rotation", "--periodic", pdir)
    assert done.returncode == 0 and done.stderr == "", done.stderr
    done = run_tool(tmp_path / "map", "--periodic", tmp_path / "map")
    assert done.returncode == 1 and "no RESULT/periodic.txt" in done.stderr
