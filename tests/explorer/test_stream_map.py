"""trivella.stream_map, which the server streams from: section_map's points, batch by batch."""

import numpy as np
import pytest
import trivella

SETTINGS = dict(L=1.0, h0=0.1, tol=1e-9, eps=1e-6)
# The second condition's points from h0 differ from those it gives after the first.
PHI, L0 = [6.2, 2.55], [0.1, -0.79]


def test_runs_continued_with_h_start_are_one_run():
    expected = trivella.section_map(PHI, L0, 30, **SETTINGS)
    orbits, h_start = [], None
    for phi, l in zip(PHI, L0):
        batches = []
        out = trivella.stream_map(phi, l, 30, h_start=h_start, **SETTINGS,
                                  on_points=lambda _c, p: batches.append(p.copy()))
        assert (out.end, out.condition, out.points) == ("complete", 0, 30)
        orbits.append(np.concatenate(batches))
        h_start = out.end_h
    assert np.array_equal(orbits, expected)
    alone = trivella.section_map(PHI[1], L0[1], 30, **SETTINGS)
    assert not np.array_equal(alone, expected[1])  # the case above is not vacuous


def test_callbacks_stop_the_run():
    out = trivella.stream_map(PHI, L0, 5000, **SETTINGS, on_points=lambda c, p: None,
                              keep_going=lambda: False)
    assert out.end == "stopped" and out.condition == 1 and out.points < 5000

    def fail(_condition, _points):
        raise BrokenPipeError("the page went away")

    with pytest.raises(BrokenPipeError):
        trivella.stream_map(PHI, L0, 5000, **SETTINGS, on_points=fail)
    with pytest.raises(ValueError, match="h_start"):
        trivella.stream_map(PHI, L0, 5, **SETTINGS, h_start=-0.1, on_points=print)
