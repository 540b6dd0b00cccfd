"""trivella.periodic_orbit and section_map(rotation=True) give the program's own numbers."""
import numpy as np
import pytest

import trivella
from conftest import ini_text

GUESSES = [(1.5708, 0.0), (0.0, 0.0), (0.5, 5.0), (1.5, 2.0)]


def rows(path):
    return [line.split() for line in path.read_text().splitlines() if not line.startswith("#")]


@pytest.mark.parametrize("h0", [0.1, -0.1])
def test_periodic_orbit_is_the_programs(program_run, h0):
    done, where = program_run(ini_text(GUESSES, 1, h0, 1e-12, 1e-6, 5.0), "--precise",
                              "--periodic", "5")
    assert done.returncode == 0, done.stderr
    points = np.loadtxt(where / "RESULT/lL.txt").reshape(-1, 2)
    at = 0
    for (phi, l), row in zip(GUESSES, rows(where / "RESULT/periodic.txt")):
        # The program rounds ini.txt's numbers to single precision; so do these.
        o = trivella.periodic_orbit(*(float(np.float32(x)) for x in (phi, l)), 5, L=5.0,
                                    tol=float(np.float32(1e-12)), h0=h0)
        assert o.kind == row[13]
        assert (o.q, o.iterations) == (int(row[1]), int(row[5]))
        assert (o.phi, o.l, o.residue) == (float(row[2]), float(row[3]), float(row[7]))
        assert o.points.shape == (o.q, 2)
        np.testing.assert_allclose(o.points, points[at:at + o.q], atol=1e-10)
        at += o.q
        if o.converged:
            assert abs(np.prod(o.multipliers) - 1.0) < 1e-10
    assert at == len(points)


def test_rotations_are_the_programs(program_run):
    done, where = program_run(ini_text(GUESSES, 500, -0.1, 1e-12, 1e-6, 5.0), "--precise",
                              "--chaos", "--rotation")
    assert done.returncode == 0, done.stderr
    # The program rounds ini.txt's numbers to single precision; so do these.
    phi, l = np.array(GUESSES, dtype=np.float32).astype(np.float64).T
    result = trivella.section_map(phi, l, 500, L=5.0, h0=-0.1, tol=float(np.float32(1e-12)),
                                  method="precise", chaos=True, rotation=True)
    assert result.shape == (4, 500, 2) and result.rotation.shape == (4,)
    for r, row in zip(result.rotation, rows(where / "RESULT/rotation.txt")):
        assert r["rotation"] == float(row[3])
        assert r["circulating"] == (row[4] == "circulating")


@pytest.mark.parametrize("call, error, name", [
    (lambda: trivella.periodic_orbit(1.0, 0.0, 0), ValueError, "q"),
    (lambda: trivella.periodic_orbit(1.0, 0.0, 2.5), TypeError, "q"),
    (lambda: trivella.periodic_orbit(1.0, 0.0, 1, tol=0.0), ValueError, "tol"),
    (lambda: trivella.periodic_orbit(1.0, 0.0, 1, h0=0.0), ValueError, "h0"),
    (lambda: trivella.periodic_orbit(1.0, 0.0, 1, params={"z": 1}), ValueError, "params"),
    (lambda: trivella.section_map(1.0, 0.0, 5, L=1.0, h0=0.1, tol=1e-9, eps=1e-6,
                                  rotation=True), ValueError, "rotation"),
    (lambda: trivella.periodic_orbit(1.0, 0.0, 1, keep_going=True), TypeError, "keep_going"),
])
def test_bad_arguments_are_named(call, error, name):
    with pytest.raises(error, match=name):
        call()


def test_keep_going_stops_the_work_and_hands_on_its_error():
    # Each call takes far longer than the first question to keep_going (50 ms).
    stopped = trivella.periodic_orbit(1.5, 1.0, 1000, L=5.0, tol=1e-12,
                                      keep_going=lambda: False)
    assert not stopped.converged and "stopped on request" in stopped.reason
    assert stopped.points.shape == (0, 2)
    rot = trivella.rotation_numbers([1.5, 1.0], [1.0, 2.0], 10**6, L=5.0, h0=0.1, tol=1e-9,
                                    keep_going=lambda: False)
    # catches: the average of a run cut short given as the orbit's rotation number
    assert np.isnan(rot["rotation"]).all()

    def fail():
        raise KeyError("from keep_going")

    with pytest.raises(KeyError, match="from keep_going"):
        trivella.periodic_orbit(1.5, 1.0, 1000, L=5.0, tol=1e-12, keep_going=fail)
