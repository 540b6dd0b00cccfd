"""Tests for tools/plot_section.py (run: /usr/bin/python3 -m pytest -q tests/tools)."""
import math
import struct
import subprocess
import sys
from pathlib import Path

import pytest

TOOL = Path(__file__).resolve().parents[2] / "tools" / "plot_section.py"
sys.path.insert(0, str(TOOL.parent))
import plot_section as ps  # noqa: E402

INI = ("trivella section map\r\n{nc} {np} 0.1 1e-9 1e-6\r\nreference L\r\n1.0\r\n"
       "start 1 1 0.0 0.5 ./RESULT/c01.txt\r\nstart 2 2 1.5 -0.3 ./RESULT/c02.txt\r\n"
       "start 3 3 3.0 0.25 ./RESULT/c03.txt\r\ntrailing words are ignored\r\n")


def make_run(tmp_path, n_lines, nc=3, np_=4, bad=()):
    """Write ini.txt and RESULT/lL.txt; indices in `bad` get non-finite l/L."""
    (tmp_path / "RESULT").mkdir(exist_ok=True)
    (tmp_path / "ini.txt").write_text(INI.format(nc=nc, np=np_))
    texts = ["inf", "-inf", "nan", "-nan"]
    with open(tmp_path / "RESULT" / "lL.txt", "w") as f:
        for i in range(n_lines):
            if i in bad:
                f.write("%15.10f %15s\n" % (0.1 * i, texts[i % 4]))
            else:
                f.write("%15.10f %15.10f\n" % (0.1 * i, math.cos(i)))
    return tmp_path


def run_tool(*args):
    return subprocess.run(["/usr/bin/python3", str(TOOL), *map(str, args)],
                          capture_output=True, text=True, timeout=60)


def test_split_exact_short_and_extra():
    pts = [(float(i), float(-i)) for i in range(12)]
    groups, missing, extra = ps.split_by_condition(pts, 3, 4)
    assert groups == [pts[0:4], pts[4:8], pts[8:12]] and (missing, extra) == (0, 0)
    groups, missing, extra = ps.split_by_condition(pts[:6], 3, 4)
    assert groups == [pts[0:4], pts[4:6], []] and (missing, extra) == (6, 0)
    groups, missing, extra = ps.split_by_condition(pts + [(99.0, 99.0)] * 2, 3, 4)
    assert groups == [pts[0:4], pts[4:8], pts[8:12]] and (missing, extra) == (0, 2)


def test_read_ini_crlf_and_trailing_tokens(tmp_path):
    ini = ps.read_ini(make_run(tmp_path, 0) / "ini.txt")
    assert (ini["n_conditions"], ini["n_points"]) == (3, 4)
    assert (ini["h0"], ini["tol"], ini["eps"], ini["L"]) == (0.1, 1e-9, 1e-6, 1.0)
    assert ini["conditions"] == [(0.0, 0.5, "./RESULT/c01.txt"),
                                 (1.5, -0.3, "./RESULT/c02.txt"),
                                 (3.0, 0.25, "./RESULT/c03.txt")]


def test_read_points_and_drop_non_finite(tmp_path):
    make_run(tmp_path, 8, bad={1, 2, 3, 6})
    with open(tmp_path / "RESULT" / "lL.txt", "a") as f:
        f.write("\r\n   \n")  # blank lines at the end are harmless
    pts = ps.read_points(tmp_path / "RESULT" / "lL.txt")
    assert len(pts) == 8 and pts[0] == (0.0, 1.0)
    assert math.isinf(pts[1][1]) and math.isnan(pts[3][1])
    kept, dropped = ps.drop_non_finite(ps.split_by_condition(pts, 2, 4)[0])
    assert dropped == 4
    assert [len(g) for g in kept] == [1, 3]


def test_early_stop_and_non_finite_warnings(tmp_path):
    make_run(tmp_path, 7, bad={0, 5})
    r = run_tool(tmp_path)
    assert r.returncode == 0, r.stderr
    assert "7 of 12 points, 5 missing" in r.stderr
    assert "skipped 2 non-finite points" in r.stderr
    assert (tmp_path / "RESULT" / "lL.png").stat().st_size > 1000
    assert str(tmp_path / "RESULT" / "lL.png") in r.stdout


def test_extra_lines_warning(tmp_path, capsys):
    make_run(tmp_path, 15)
    assert ps.main([str(tmp_path)]) == 0
    err = capsys.readouterr().err
    assert "3 more points than expected" in err and "ignored" in err
    assert "missing" not in err and "non-finite" not in err


@pytest.mark.parametrize("case, fragment", [
    ("no_ini", "ini.txt: file not found"),
    ("no_lL", "lL.txt: file not found"),
    ("bad_count", "'x3' is not an integer"),
    ("bad_index", "'two' is not an integer (expected the index of condition 2"),
    ("bad_float", "'1.0e' is not a number"),
    ("short_ini", "file ends early, expected the file name of condition 3"),
    ("bad_line", "lL.txt:2: expected two numbers"),
    ("bad_ext", "unsupported picture format"),
])
def test_errors_exit_1_without_traceback(tmp_path, case, fragment):
    make_run(tmp_path, 12)
    ini, lL = tmp_path / "ini.txt", tmp_path / "RESULT" / "lL.txt"
    args = [tmp_path]
    if case == "no_ini":
        ini.unlink()
    elif case == "no_lL":
        lL.unlink()
    elif case == "bad_count":
        ini.write_text(INI.format(nc="x3", np=4))
    elif case == "bad_index":
        ini.write_text(INI.format(nc=3, np=4).replace("start 2 2", "start 2 two"))
    elif case == "bad_float":
        ini.write_text(INI.format(nc=3, np=4).replace("1.0\r\n", "1.0e\r\n"))
    elif case == "short_ini":
        ini.write_text(INI.format(nc=3, np=4).split("./RESULT/c03")[0])
    elif case == "bad_line":
        lL.write_text("0.1 0.2\n0.3 oops\n")
    elif case == "bad_ext":
        args += ["-o", tmp_path / "map.gif"]
    r = run_tool(*args)
    assert r.returncode == 1
    assert "Traceback" not in r.stderr
    lines = r.stderr.strip().splitlines()
    assert len(lines) == 1 and lines[0].startswith("plot_section: error:")
    assert fragment in lines[0]
    assert not (tmp_path / "RESULT" / "lL.png").exists()


def test_png_size_matches_figsize_and_dpi(tmp_path):
    make_run(tmp_path, 12)
    out = tmp_path / "map.png"
    assert ps.main([str(tmp_path), "-o", str(out)]) == 0
    data = out.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n" and data[12:16] == b"IHDR"
    width, height = struct.unpack(">II", data[16:24])
    assert (width, height) == (800, 600)
    assert (width, height) == tuple(round(v * ps.DPI) for v in ps.FIGSIZE)


@pytest.mark.parametrize("ext, head", [("svg", b"<svg"), ("pdf", b"%PDF-")])
def test_vector_formats_follow_extension(tmp_path, ext, head):
    make_run(tmp_path, 12)
    out = tmp_path / f"map.{ext}"
    assert ps.main([str(tmp_path), "-o", str(out)]) == 0
    data = out.read_bytes()
    if ext == "svg":
        assert data.startswith(b"<?xml") and head in data[:2000]
        text = data.decode("utf-8")  # text is kept as comments next to the glyphs
        for label in ("<!-- φ0 = 1.5, l0/L = -0.3 -->", "<!-- 3π/2 -->", "<!-- l / L -->",
                      "classic method, L = 1, tol = 1e-09"):
            assert label in text
    else:
        assert data.startswith(head)


def test_plot_if_available_with_and_without_matplotlib(tmp_path):
    script = TOOL.with_name("plot_if_available.sh")
    make_run(tmp_path, 12)
    r = subprocess.run(["sh", str(script), str(tmp_path)], capture_output=True,
                       text=True, timeout=60)
    assert r.returncode == 0 and "wrote" in r.stdout
    assert (tmp_path / "RESULT" / "lL.png").exists()
    fake = tmp_path / "fake" / "matplotlib"
    fake.mkdir(parents=True)
    (fake / "__init__.py").write_text("raise ImportError('hidden for the test')\n")
    r = subprocess.run(["sh", str(script), str(tmp_path)], capture_output=True, text=True,
                       timeout=60, env={"PATH": "/usr/bin:/bin", "PYTHONPATH": str(fake.parent)})
    assert r.returncode == 0 and r.stdout.count("\n") == 1
    assert "apt-get install python3-matplotlib" in r.stdout
