"""What the picture says: the title names the run, the legend uses the axis's scale, many
conditions keep the map's size, nothing is drawn from points that say nothing, and make
install provides the tool as trivella-plot."""
import os
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
TOOL = ROOT / "tools" / "plot_section.py"
PROGRAM = os.environ.get("TRIVELLA_PROGRAM", str(ROOT / "build" / "release" / "trivella"))
sys.path.insert(0, str(TOOL.parent))
import plot_section as ps  # noqa: E402


def write_run(tmp_path, n, L="2.0", points=None):
    (tmp_path / "RESULT").mkdir(parents=True, exist_ok=True)
    blocks = "".join(f"c x {i} 0.{i % 10} {0.1 * i:.1f} ./RESULT/c{i}.txt\n"
                     for i in range(1, n + 1))
    (tmp_path / "ini.txt").write_text(f"t t t\n{n} 3 0.1 1e-9 1e-6\nref L\n{L}\n{blocks}")
    lines = points or [f"{0.1 * k:15.10f} {0.01 * k:15.10f}\n" for k in range(3 * n)]
    (tmp_path / "RESULT" / "lL.txt").write_text("".join(lines))
    return tmp_path


def test_title_names_method_L_tol_and_changed_constants(tmp_path):
    # catches: a picture of e = 0.2, omega = 1.5 titled as if it were the default model
    assert Path(PROGRAM).exists(), f"build the program first ({PROGRAM})"
    write_run(tmp_path, 2)
    r = subprocess.run([PROGRAM, "-q", "--param", "e=0.2", "--param", "omega=1.5",
                        str(tmp_path)], capture_output=True, text=True, timeout=60)
    assert r.returncode == 0, r.stderr
    ini = ps.read_ini(tmp_path / "ini.txt")
    info, _ = ps.read_extras(str(tmp_path), ini, "condition")
    assert ps.title(ini, info, False).splitlines()[1] == (
        "classic method, L = 2, tol = 1e-09, e = 0.2, omega = 1.5")
    r = subprocess.run([PROGRAM, "-q", "--precise", str(tmp_path)], capture_output=True,
                       text=True, timeout=60)
    info, _ = ps.read_extras(str(tmp_path), ini, "condition")
    assert ps.title(ini, info, False).splitlines()[1] == "precise method, L = 2, tol = 1e-09"


def drawn_figure(monkeypatch, tmp_path, n):
    """Draws a run of n conditions and returns the figure, kept open."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    monkeypatch.setattr(plt, "close", lambda fig: None)
    write_run(tmp_path, n)
    assert ps.main([str(tmp_path), "-o", str(tmp_path / "map.png")]) == 0
    return plt.gcf()


def test_legend_on_the_axis_scale_and_map_size_kept(monkeypatch, tmp_path):
    # catches: l0 shown unscaled beside an axis of l / L; a legend of 40 entries squeezing the
    # map to a sliver
    few = drawn_figure(monkeypatch, tmp_path / "few", 3)
    labels = [t.get_text() for t in few.axes[0].get_legend().get_texts()]
    assert labels == ["φ0 = 0.1, l0/L = 0.05", "φ0 = 0.2, l0/L = 0.1", "φ0 = 0.3, l0/L = 0.15"]
    many = drawn_figure(monkeypatch, tmp_path / "many", 40)
    assert many.axes[0].get_legend() is None
    assert "condition (1 to 40" in many.axes[1].get_ylabel()
    assert (many.axes[0].get_position().bounds == pytest.approx(few.axes[0].get_position().bounds))


@pytest.mark.parametrize("L, points, fragment", [
    ("0", None, "L = 0"),
    ("1", ["      0.1000000000             nan\n", "      0.2000000000             inf\n"] * 3,
     "no finite point"),
])
def test_nothing_to_draw_is_an_error(tmp_path, L, points, fragment):
    # catches: an empty picture written, exit 0, for a run whose points are all inf or nan
    write_run(tmp_path, 2, L, points)
    r = subprocess.run(["/usr/bin/python3", str(TOOL), str(tmp_path)], capture_output=True,
                       text=True, timeout=60)
    assert r.returncode == 1 and fragment in r.stderr
    assert not (tmp_path / "RESULT" / "lL.png").exists()


def test_make_install_provides_trivella_plot(tmp_path):
    # catches: the picture tool left in the source tree, out of reach after make install
    build = Path(PROGRAM).parent
    r = subprocess.run(["cmake", "--install", str(build), "--prefix", str(tmp_path / "usr"),
                        "--component", "Unspecified"], capture_output=True, text=True,
                       timeout=120)
    assert r.returncode == 0, r.stderr
    run = write_run(tmp_path / "run", 2)
    r = subprocess.run([str(tmp_path / "usr" / "bin" / "trivella-plot"), str(run)],
                       capture_output=True, text=True, timeout=60)
    assert r.returncode == 0, r.stderr
    assert (run / "RESULT" / "lL.png").read_bytes()[:4] == b"\x89PNG"
