"""plot_section.py on RESULT/grid.txt: a heat map whose cells sit where the grid puts them, in
the colour the MEGNO scale gives; interrupted files drawn, bad ones refused in one line."""
import os
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

ROOT = Path(__file__).resolve().parents[2]
TOOL = ROOT / "tools" / "plot_section.py"
sys.path.insert(0, str(TOOL.parent))
import chaos_colors  # noqa: E402
import plot_section as ps  # noqa: E402

# As the program writes them: single-precision values to 9 digits.
SETTINGS = "n_points 1000 tol 1.00000001e-10 L 5 a 6 b 5 c 8 d 15 e 0.4 omega 1 direction forward"


def grid_text(x, y, cells, rotation=False, seed=None):
    """grid.txt as the program writes it: axes (name, from, to, n) and the cells' data columns
    in row order (their coordinates are added here)."""
    xs = [x[1] + (x[2] - x[1]) * i / max(1, x[3] - 1) for i in range(x[3])]
    ys = [y[1] + (y[2] - y[1]) * j / max(1, y[3] - 1) for j in range(y[3])]
    head = [f"# grid: x {x[0]} from {x[1]} to {x[2]} in {x[3]} cells, y {y[0]} ...",
            "# x %s %.9g %.9g %d" % x, "# y %s %.9g %.9g %d" % y]
    if seed:
        head.append(f"# seed {seed}")
    head += [f"# settings {SETTINGS}", "# chaotic when megno > 4 after at least 300 periods",
             f"# {x[0]} {y[0]} megno lyapunov periods verdict" + (
                 " rotation kind digits" if rotation else "")]
    lines = ["%.9g %.9g %s" % (float(np.float32(xs[k % x[3]])), float(np.float32(ys[k // x[3]])),
                               cell) for k, cell in enumerate(cells)]
    return "\n".join(head + lines) + "\n"


def write_run(tmp_path, text):
    (tmp_path / "RESULT").mkdir(parents=True, exist_ok=True)
    (tmp_path / "RESULT" / "grid.txt").write_text(text)
    return tmp_path


def run_tool(*args):
    return subprocess.run(["/usr/bin/python3", str(TOOL), *map(str, args)],
                          capture_output=True, text=True, timeout=60)


def drawn(monkeypatch, run, *options):
    """Draws the run to grid.png and returns (figure kept open, pixels as 0..255 RGB)."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.image
    import matplotlib.pyplot as plt
    monkeypatch.setattr(plt, "close", lambda fig: None)
    assert ps.main([str(run), *options]) == 0
    pixels = matplotlib.image.imread(run / "RESULT" / "grid.png")[:, :, :3]
    return plt.gcf(), np.round(pixels * 255.0)


def pixel_at(fig, pixels, x, y):
    px, py = fig.axes[0].transData.transform((x, y))
    return pixels[int(pixels.shape[0] - py), int(px)]


def test_chaotic_quadrant_red_regular_blue_grey_without_verdict(monkeypatch, tmp_path):
    # A 4 x 4 grid with l0 running downwards: chaotic where phi0 >= 2 and l0 >= 0. Catches
    # cells placed upside down, in the wrong order, or coloured off the scale.
    def cell(k):
        i, j = k % 4, k // 4
        if (i, j) == (0, 3):
            return "nan nan 0 failed"
        if (i, j) == (1, 3):
            return "2.2 1e-4 99 undecided"
        return "50 0.02 999 chaotic" if i >= 2 and j <= 1 else "2.05 1e-5 999 regular"

    run = write_run(tmp_path, grid_text(("phi0", 0, 3, 4), ("l0", 1.5, -1.5, 4),
                                        [cell(k) for k in range(16)]))
    fig, pixels = drawn(monkeypatch, run)
    import matplotlib.pyplot as plt
    norm, cmap = chaos_colors.megno_norm(4.0, 50.0), plt.get_cmap("coolwarm")
    red, blue = (np.round(np.array(cmap(float(norm(v)))[:3]) * 255.0) for v in (50.0, 2.05))
    assert red[0] > red[2] and blue[2] > blue[0]
    for k in range(16):
        x, y = k % 4, 1.5 - (k // 4)
        got = pixel_at(fig, pixels, x, y)
        want = {12: [115] * 3, 13: [204] * 3}.get(k, red if x >= 2 and y >= 0 else blue)
        assert np.abs(got - want).max() <= 1, (k, got, want)
    labels = [t.get_text() for t in fig.axes[0].get_legend().get_texts()]
    assert labels == ["undecided: fewer than 300 periods (1 cells)",
                      "failed: the integration stopped (1 cells)"]
    assert fig.axes[0].get_xlabel() == "phi0 [rad]"
    assert fig.axes[0].get_ylabel() == "l0 [same unit as L]"
    assert "chaotic above 4" in fig.axes[1].get_ylabel()


def test_interrupted_file_with_a_single_column_draws(tmp_path):
    # One e on x, three omegas on y, a run killed while writing its third cell.
    text = grid_text(("e", 0.3, 0.3, 1), ("omega", 0.5, 1.5, 3),
                     ["2 1e-5 999 regular", "9 0.01 999 chaotic"], seed="phi0 0.1 l0 0.2")
    run = write_run(tmp_path, text + "0.3 1.5 2.0")
    out = tmp_path / "grid.svg"
    r = run_tool(run, "-o", out)
    assert r.returncode == 0, r.stderr
    assert "cut short" in r.stderr and "2 of 3 cells" in r.stderr
    svg = out.read_text(encoding="utf-8")
    for text in ("2 of 3 cells (the run was interrupted)", "every cell from phi0 = 0.1, l0 = 0.2",
                 "blank: not computed (1 cells)",
                 "precise method, n_points = 1000, tol = 1e-10, L = 5, forward"):
        assert text in svg
    assert "e = 0.4" not in svg and "omega = 1," not in svg  # the axes' constants vary


def test_lyapunov_and_rotation_colourings(tmp_path):
    cells = ["2 1e-5 999 regular 0.25 librating 6", "9 0.01 999 chaotic nan none nan"]
    run = write_run(tmp_path, grid_text(("phi0", 0, 1, 2), ("l0", 0, 0, 1), cells, True))
    for colour, label in (("lyapunov", "finite-time Lyapunov exponent"),
                          ("rotation", "no rotation number (1 cells)")):
        out = tmp_path / f"{colour}.svg"
        r = run_tool(run, "--color", colour, "-o", out)
        assert r.returncode == 0, r.stderr
        assert label in out.read_text(encoding="utf-8")


GOOD = grid_text(("phi0", 0, 1, 2), ("l0", 0, 1, 2), ["2 1e-5 999 regular"] * 4)


@pytest.mark.parametrize("text, options, fragment", [
    (GOOD, ["--color", "rotation"], "has no rotation columns"),
    (GOOD, ["--color", "condition"], "--color condition is for section maps"),
    (GOOD, ["--periodic", "elsewhere"], "--periodic marks orbits over a section map"),
    ("hello\n", [], "not a grid of trivella --grid: no '# x NAME FROM TO N' line"),
    ("\x00\x89PNG\x1a\xff\n", [], "not a grid of trivella --grid"),
    (GOOD.replace("# x phi0", "# x psi"), [], "NAME one of phi0, l0"),
    (GOOD.replace("999 regular\n1", "999 wild\n1", 1), [], "verdict 'wild' is not one of"),
    (GOOD.replace("1e-5 999", "1e-5"), [], "expected 6 fields"),
    (GOOD.replace("periods verdict", "verdict periods"), [], "the columns are"),
    (GOOD.replace("# y l0 0 1 2", "# y l0 0 2 2"), [], "is the header from another grid?"),
    (GOOD + "1 1 2 1e-5 999 regular\n", [], "5 cells, the header says 2 x 2 = 4"),
    (GOOD.split("# phi0 l0")[0] + "# phi0 l0 megno lyapunov periods verdict\n", [],
     "no cell yet"),
])
def test_bad_grid_file_is_one_line_and_exit_1(tmp_path, text, options, fragment):
    run = write_run(tmp_path, text)
    r = run_tool(run, *options)
    lines = r.stderr.strip().splitlines()
    assert r.returncode == 1 and len(lines) == 1, r.stderr
    assert lines[0].startswith("plot_section: error:") and fragment in lines[0]
    assert not (tmp_path / "RESULT" / "grid.png").exists()


def test_a_newer_section_map_is_drawn_instead_of_an_old_grid(tmp_path):
    run = write_run(tmp_path, GOOD)
    (run / "ini.txt").write_text("t t t\n1 2 0.1 1e-9 1e-6\nref L\n1\nc 1 1 0.5 0.5 RESULT/a\n")
    (run / "RESULT" / "lL.txt").write_text("0.5 0.5\n0.6 0.4\n")
    later = os.path.getmtime(run / "RESULT" / "grid.txt") + 10
    os.utime(run / "RESULT" / "lL.txt", (later, later))
    r = run_tool(run)
    assert r.returncode == 0 and "lL.png" in r.stdout and not (run / "RESULT/grid.png").exists()
    r = run_tool(run, "--color", "megno")
    assert r.returncode == 1 and "does not hold" in r.stderr
