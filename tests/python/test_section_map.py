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
SETTINGS = dict(L=1.0, h0=0.1, tol=1e-9, eps=1e-6)


@pytest.mark.parametrize("method", ["classic", "precise"])
@pytest.mark.parametrize("case", CASES)
def test_read_ini_gives_the_programs_bytes(program_run, case, method):
    conditions, n_points, h0, tol, eps, L, params = case
    options = [f"--param={k}={v}" for k, v in params.items()]
    options += ["--precise"] if method == "precise" else []
    done, work = program_run(ini_text(conditions, n_points, h0, tol, eps, L), *options)
    assert done.returncode == 0, done.stderr
    ini = trivella.read_ini(work / "ini.txt")
    points = trivella.section_map(**ini, method=method, params=params, threads=2)
    assert points.shape == (len(conditions), n_points, 2)
    assert point_lines(points) == (work / "RESULT/lL.txt").read_text()


def test_doubles_are_used_unrounded():
    # 0.3, 0.1 and 1e-9 are no floats: each, rounded, is another input with other points.
    for method, name, value in (("classic", "l0", 0.3), ("classic", "h0", 0.1),
                                ("precise", "l0", 0.3), ("precise", "tol", 1e-9)):
        args = dict(SETTINGS, phi0=1.0, l0=0.3, n_points=300, method=method)
        exact = trivella.section_map(**args)
        args[name] = float(np.float32(value))
        assert not np.array_equal(trivella.section_map(**args), exact), (method, name)
    # Two doubles closer than any two floats still give two orbits.
    apart = trivella.section_map(1.0, [0.3, 0.3 + 1e-12], 300, method="precise", tol=1e-12)
    assert not np.array_equal(apart[0], apart[1])


def test_conditions_broadcast_into_the_leading_shape():
    l0 = np.array([0.3, 0.5, 0.7])
    row = trivella.section_map(1.0, l0, 4, **SETTINGS)
    assert row.shape == (3, 4, 2) and row.phi0.shape == (3,)
    assert np.array_equal(row, trivella.section_map([1.0] * 3, l0, 4, **SETTINGS))
    phi, l = np.meshgrid([0.5, 1.5], l0)  # shape (3, 2)
    grid = trivella.section_map(phi, l, 4, method="precise", tol=1e-9, chaos=True)
    flat = trivella.section_map(phi.ravel(), l.ravel(), 4, method="precise", tol=1e-9,
                                chaos=True)
    assert grid.shape == (3, 2, 4, 2) and grid.chaos.shape == (3, 2)
    assert np.array_equal(np.asarray(grid), np.asarray(flat).reshape(3, 2, 4, 2))
    assert np.array_equal(grid.l0, l) and np.array_equal(grid.chaos.ravel(), flat.chaos)
    assert trivella.section_map(1.0, 0.3, 4, **SETTINGS).shape == (4, 2)


def test_run_matches_section_map_and_reports_failures(tmp_path):
    conditions = [(0.25, 0.6), (2.0, -0.8)]
    (tmp_path / "RESULT").mkdir()
    (tmp_path / "ini.txt").write_text(ini_text(conditions, 60, 0.1, 1e-8, 1e-6, 1.2))
    result = trivella.run(tmp_path, params={"d": 14.5}, digits=12, threads=1)
    points = trivella.section_map(**trivella.read_ini(tmp_path), params={"d": 14.5})
    assert result.read_text() == point_lines(points, digits=12)
    with pytest.raises(trivella.RunError, match="cannot open ini.txt"):
        trivella.run(tmp_path / "RESULT")
    with pytest.raises(ValueError, match="ini.txt"):
        trivella.read_ini(tmp_path / "RESULT")


def test_failed_condition_keeps_the_points_before_it(program_run):
    # l0 = 3e38 makes the step size collapse at once.
    done, work = program_run(ini_text([(0.0, 0.3), (0.0, 3e38)], 40, 0.1, 1e-9, 1e-6, 1.0))
    assert done.returncode == 1
    ini = trivella.read_ini(work)
    with pytest.raises(trivella.RunError) as failure:
        trivella.section_map(**ini)
    assert "trivella: " + str(failure.value) + "\n" == done.stderr
    alone = trivella.section_map(ini.pop("phi0")[0], ini.pop("l0")[0], **ini)
    assert failure.value.condition == 2
    assert np.array_equal(failure.value.points[0], alone)
    assert np.isnan(failure.value.points[1]).all()


def test_progress_reaches_the_total():
    calls = []
    trivella.section_map([0.0, 1.0], [0.3, 0.5], 200, **SETTINGS,
                         progress=lambda done, total: calls.append((done, total)))
    assert calls[-1] == (400, 400)
    assert [d for d, _ in calls] == sorted(d for d, _ in calls)


GOOD = dict(phi0=[0.0, 1.0], l0=[0.3, 0.5], n_points=5, L=1.0, h0=0.1, tol=1e-9, eps=1e-6)


@pytest.mark.parametrize("change, error, name", [
    (dict(phi0=[0.0, 1.0, 2.0]), ValueError, "broadcast"),
    (dict(l0=[[0.3, 0.5], [0.1, 0.2], [0.0, 0.1]], phi0=[[1.0, 2.0, 3.0]]), ValueError,
     "broadcast"),
    (dict(phi0=[0.0, np.nan]), ValueError, r"phi0\[1\]"),
    (dict(l0=[0.3, np.inf]), ValueError, r"l0\[1\]"),
    (dict(phi0="ab"), TypeError, "phi0"),
    (dict(phi0=["0.1"]), TypeError, "phi0"),
    (dict(l0=[True, False]), TypeError, "l0"),
    (dict(n_points=-1), ValueError, "n_points"),
    (dict(n_points=2.5), TypeError, "n_points"),
    (dict(tol=0.0), ValueError, "tol"),
    (dict(tol=None), TypeError, "needs tol"),
    (dict(eps=-1e-6), ValueError, "eps"),
    (dict(eps=None), TypeError, "needs eps"),
    (dict(h0=0.0), ValueError, "h0"),
    (dict(h0=None), TypeError, "needs h0"),
    (dict(L=float("inf")), ValueError, "L"),
    (dict(L=1e39), ValueError, "single precision"),
    (dict(L="1"), TypeError, "L"),
    (dict(h0="0.1"), TypeError, "h0"),
    (dict(method="fast"), ValueError, "method"),
    (dict(chaos=True), ValueError, "chaos"),
    (dict(params={"f": 1.0}), ValueError, "unknown name 'f'"),
    (dict(params={"a": "1"}), TypeError, r"params\['a'\]"),
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


def test_what_a_method_ignores_may_be_left_out():
    # Precise: eps unused, h0 only a direction (default forwards); L defaults to 1.
    given = trivella.section_map(0.5, 0.2, 20, method="precise", L=1.0, h0=0.7, tol=1e-9,
                                 eps=1e-3)
    bare = trivella.section_map(0.5, 0.2, 20, method="precise", tol=1e-9)
    assert np.array_equal(given, bare) and bare.settings["eps"] is None
    backwards = trivella.section_map(0.5, 0.2, 20, method="precise", tol=1e-9, h0=-1.0)
    assert not np.array_equal(backwards, bare)
    assert np.all(backwards.times < 0) and np.all(bare.times > 0)


def test_chaos_indicators_are_the_programs(program_run):
    # 310 points: past the periods a verdict needs, so every condition has one; 0 and 1
    # point make no period: NaN and undecided, as the program writes them.
    conditions = [(0.0, 0.3), (1.57, 0.1), (3.3, 4.6)]
    for n_points in (310, 0, 1):
        done, work = program_run(ini_text(conditions, n_points, 0.1, 1e-9, 1e-6, 5.0),
                                 "--precise", "--chaos")
        assert done.returncode == 0, done.stderr
        record = trivella.section_map(**trivella.read_ini(work), method="precise",
                                      chaos=True).chaos
        rows = [line.split() for line in (work / "RESULT/chaos.txt").read_text().splitlines()
                if not line.startswith("#")]
        assert [r[-1] for r in rows] == list(record["verdict"])
        assert [int(r[5]) for r in rows] == list(record["periods"])
        assert list(record["chaotic"]) == [r[-1] == "chaotic" for r in rows]
        for row, megno, lyapunov in zip(rows, record["megno"], record["lyapunov"]):
            assert float(row[3]) == pytest.approx(megno, rel=1e-5, nan_ok=True)
            assert float(row[4]) == pytest.approx(lyapunov, rel=1e-5, nan_ok=True)
        if n_points < 2:
            assert np.isnan(record["megno"]).all() and set(record["verdict"]) == {"undecided"}
        else:
            assert "chaotic" in list(record["verdict"]) and "regular" in list(record["verdict"])
