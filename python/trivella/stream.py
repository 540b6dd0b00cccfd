"""trivella.stream_map: the points of a run handed to a callback as the engine confirms them."""

import collections
import math
import numbers

from . import _checks, _stream

StreamOutcome = collections.namedtuple("StreamOutcome", "end condition message end_h points")
StreamOutcome.__doc__ = """How a streamed run ended.

end : {'complete', 'failed', 'stopped'}
condition : int
    The condition (from 1) in turn when the run failed or was stopped; 0 when complete.
message : str
    Why the condition failed; empty otherwise.
end_h : float
    Classic method, complete run: the step size the last condition left. A run started from
    it (h_start) continues this one: together they give the points of one run.
points : int
    Points delivered in all.
"""


def _callable(name, value, optional):
    if value is None and optional:
        return None
    if not callable(value):
        raise TypeError(f"{name} must be callable, got {type(value).__name__}")
    return value


def stream_map(phi0, l0, n_points, *, L, h0, tol, eps, method="classic", chaos=False,
               params=None, threads=None, h_start=None, on_points, on_end=None,
               keep_going=None):
    """Computes the conditions as section_map does, handing over the points as they come.

    Parameters
    ----------
    phi0, l0, n_points, L, h0, tol, eps, method, chaos, params, threads
        As for trivella.section_map.
    h_start : float, optional
        Classic method: the step size the first condition starts with, instead of h0; the
        end_h of an earlier run continues that run. Taken as it is, not rounded.
    on_points : callable
        on_points(condition, points), with points of shape (n, 2) holding phi in [0, 2*pi)
        and l / L, in order, a few times a second. An exception it raises stops the run and
        is raised again here.
    on_end : callable, optional
        on_end(condition, megno, lyapunov, chaotic) after a condition's last point; the
        indicator's values are meaningful with chaos=True.
    keep_going : callable, optional
        keep_going() -> bool, asked a few times a second; False stops the run.

    Returns
    -------
    StreamOutcome
        A failed condition is reported there, not raised: its points were delivered.

    Raises
    ------
    TypeError, ValueError
        For a bad argument, naming it, before anything is computed.
    """
    phi, l = _checks.conditions(phi0, l0)
    n_points, settings = _checks.settings(n_points, L, h0, tol, eps, method, chaos, params)
    threads = _checks.threads(threads)
    if h_start is not None:
        if isinstance(h_start, bool) or not isinstance(h_start, numbers.Real):
            raise TypeError(f"h_start must be a real number, got {type(h_start).__name__}")
        h_start = float(h_start)
        if not math.isfinite(h_start) or h_start == 0.0 or (h_start > 0) != (settings["h0"] > 0):
            raise ValueError(f"h_start must be finite, not 0 and of the sign of h0, "
                             f"got {h_start!r}")
        settings["h0"] = h_start
    return StreamOutcome(*_stream.stream_map(
        phi, l, n_points, threads=threads, on_points=_callable("on_points", on_points, False),
        on_end=_callable("on_end", on_end, True),
        keep_going=_callable("keep_going", keep_going, True), **settings))
