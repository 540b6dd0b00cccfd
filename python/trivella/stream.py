"""trivella.stream_map: the points of a run handed to a callback as the engine confirms them."""

from __future__ import annotations

import collections
from typing import Any, Callable, Mapping

from numpy.typing import ArrayLike

from . import _checks, _engine

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


def _callable(name: str, value: Any, optional: bool) -> Any:
    if value is None and optional:
        return None
    if not callable(value):
        raise TypeError(f"{name} must be callable, got {type(value).__name__}")
    return value


def stream_map(phi0: ArrayLike, l0: ArrayLike, n_points: int, *, L: float = 1.0,
               h0: float | None = None, tol: float | None = None, eps: float | None = None,
               method: str = "classic", chaos: bool = False,
               params: Mapping[str, float] | None = None, threads: int | None = None,
               h_start: float | None = None, on_points: Callable[[int, Any], Any],
               on_end: Callable[[int, float, float, bool], Any] | None = None,
               keep_going: Callable[[], bool] | None = None) -> StreamOutcome:
    """Computes the conditions as section_map does, handing over the points as they come.

    Parameters
    ----------
    phi0, l0, n_points, L, h0, tol, eps, method, chaos, params, threads
        As for trivella.section_map; the conditions are taken in the flattened order of
        their broadcast shape.
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
    phi, l, _ = _checks.conditions(phi0, l0)
    n_points, settings, _ = _checks.settings(n_points, L, h0, tol, eps, method, chaos, params)
    threads = _checks.threads(threads)
    if h_start is not None:
        h_start = _checks.real("h_start", h_start)
        if h_start == 0.0 or (h_start > 0) != (settings["h0"] > 0):
            raise ValueError(f"h_start must be finite, not 0 and of the sign of h0, "
                             f"got {h_start!r}")
        settings["h0"] = h_start
    return StreamOutcome(*_engine.stream_map(
        phi, l, n_points, threads=threads, on_points=_callable("on_points", on_points, False),
        on_end=_callable("on_end", on_end, True),
        keep_going=_callable("keep_going", keep_going, True), **settings))
