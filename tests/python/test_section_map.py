"""trivella.section_map and trivella.run against the built program, and bad arguments."""
import numpy as np
import pytest
from conftest import ini_text, point_lines

import trivella

# (conditions, n_points, h0, tol, eps, L, params): numbers that need rounding to single
# precision, both directions of time, a changed model and no points at all.
CASES = [
    ([(0.0, 0.3), (0.0, 0.9), (0.8, -0.4), (1.57, 0.1)], 150, 0.1, 1e-9, 1e-6, 1.0, {}),
    ([(3.3, 0.7), (0.1, -1.3), (2.2, 0.45)], 120, -0.3, 1e-7, 1e-5, 1.7, {}),
    ([(0.5, 0.2), (4.0, 1.1)], 100, 0.05, 3e-8, 2e-6, 0.9, {"e": 0.7, "omega": 1.3}),
    ([(0.5, 0.2)], 0, 0.1, 1e-9, 1e-6, 1.0, {}),
]


@pytest.mark.parametrize("method", ["classic", "precise"])
@pytest.mark.parametrize("case", CASES)
def test_points_are_the_programs_bytes(program_run, case, method):
    conditions, n_points, h0, tol, eps, L, params = case
    options = [f"--param={k}={v}" for k, v in params.items()]
    options += ["--precise"] if method == "precise" else []
    done, work = program_run(ini_text(conditions, n_points, h0, tol, eps, L), *options)
    assert done.returncode == 0, done.stderr
    phi0, l0 = zip(*conditions)
    points = trivella.section_map(phi0, l0, n_points, L=L, h0=h0, tol=tol, eps=eps,
                                  method=method, params=params, threads=2)
    assert points.shape == (len(conditions), n_points, 2)
    assert point_lines(points) == (work / "RESULT/lL.txt").read_text()


def test_run_matches_section_map_and_reports_failures(tmp_path):
    conditions = [(0.25, 0.6), (2.0, -0.8)]
    (tmp_path / "RESULT").mkdir()
    (tmp_path / "ini.txt").write_text(ini_text(conditions, 60, 0.1, 1e-8, 1e-6, 1.2))
    result = trivella.run(tmp_path, params={"d": 14.5}, digits=12, threads=1)
    points = trivella.section_map([0.25, 2.0], [0.6, -0.8], 60, L=1.2, h0=0.1, tol=1e-8,
                                  eps=1e-6, params={"d": 14.5})
    assert result.read_text() == point_lines(points, digits=12)
    with pytest.raises(trivella.RunError, match="cannot open ini.txt"):
        trivella.run(tmp_path / "RESULT")


def test_failed_condition_keeps_the_points_before_it(program_run):
    # l0 = 3e38 makes the step size collapse at once.
    done, _ = program_run(ini_text([(0.0, 0.3), (0.0, 3e38)], 40, 0.1, 1e-9, 1e-6, 1.0))
    assert done.returncode == 1
    with pytest.raises(trivella.RunError) as failure:
        trivella.section_map([0.0, 0.0], [0.3, 3e38], 40, L=1.0, h0=0.1, tol=1e-9, eps=1e-6)
    assert "trivella: " + str(failure.value) + "\n" == done.stderr
    alone = trivella.section_map(0.0, 0.3, 40, L=1.0, h0=0.1, tol=1e-9, eps=1e-6)
    assert failure.value.condition == 2
    assert np.array_equal(failure.value.points[:1], alone)
    assert np.isnan(failure.value.points[1]).all()


def test_progress_reaches_the_total():
    calls = []
    trivella.section_map([0.0, 1.0], [0.3, 0.5], 200, L=1.0, h0=0.1, tol=1e-9, eps=1e-6,
                         progress=lambda done, total: calls.append((done, total)))
    assert calls[-1] == (400, 400)
    assert [d for d, _ in calls] == sorted(d for d, _ in calls)


GOOD = dict(phi0=[0.0, 1.0], l0=[0.3, 0.5], n_points=5, L=1.0, h0=0.1, tol=1e-9, eps=1e-6)


@pytest.mark.parametrize("change, error, name", [
    (dict(phi0=[0.0]), ValueError, "same length"),
    (dict(l0=[[0.3, 0.5]]), ValueError, "l0"),
    (dict(phi0=[0.0, np.nan]), ValueError, r"phi0\[1\]"),
    (dict(l0=[0.3, 1e39]), ValueError, r"l0\[1\]"),
    (dict(phi0="ab"), TypeError, "phi0"),
    (dict(n_points=-1), ValueError, "n_points"),
    (dict(n_points=2.5), TypeError, "n_points"),
    (dict(tol=0.0), ValueError, "tol"),
    (dict(tol=1e-50), ValueError, "tol"),  # 0 in single precision
    (dict(eps=-1e-6), ValueError, "eps"),
    (dict(h0=0.0), ValueError, "h0"),
    (dict(L=float("inf")), ValueError, "L"),
    (dict(h0="0.1"), TypeError, "h0"),
    (dict(method="fast"), ValueError, "method"),
    (dict(chaos=True), ValueError, "chaos"),
    (dict(params={"f": 1.0}), ValueError, "unknown name 'f'"),
    (dict(params={"a": 0.0}), ValueError, "a = 0"),
    (dict(params={"b": -8.0}), ValueError, r"b \+ c = 0"),
    (dict(params={"b": -15.0}), ValueError, r"b \+ d = 0"),
    (dict(params={"omega": 0.0}), ValueError, "omega = 0"),
    (dict(params=[("a", 1.0)]), TypeError, "params"),
    (dict(threads=0), ValueError, "threads"),
    (dict(progress=3), TypeError, "progress"),
])
def test_bad_arguments_are_named(change, error, name):
    kwargs = dict(GOOD, **change)
    with pytest.raises(error, match=name):
        trivella.section_map(kwargs.pop("phi0"), kwargs.pop("l0"), kwargs.pop("n_points"),
                             **kwargs)


def test_chaos_indicators_are_the_programs(program_run):
    conditions = [(0.0, 0.3), (1.57, 0.1), (3.3, 4.6)]
    done, work = program_run(ini_text(conditions, 60, 0.1, 1e-9, 1e-6, 5.0), "--precise",
                             "--chaos")
    assert done.returncode == 0, done.stderr
    phi0, l0 = zip(*conditions)
    _, indicators = trivella.section_map(phi0, l0, 60, L=5.0, h0=0.1, tol=1e-9, eps=1e-6,
                                         method="precise", chaos=True)
    rows = [line.split() for line in (work / "RESULT/chaos.txt").read_text().splitlines()
            if not line.startswith("#")]
    assert [r[-1] == "chaotic" for r in rows] == list(indicators["chaotic"])
    for row, megno, lyapunov in zip(rows, indicators["megno"], indicators["lyapunov"]):
        assert float(row[3]) == pytest.approx(megno, rel=1e-5)
        assert float(row[4]) == pytest.approx(lyapunov, rel=1e-5)
