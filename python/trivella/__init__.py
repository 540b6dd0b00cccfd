"""Section maps of the periodically forced rigid body, computed by the trivella engine.

section_map computes the points of many initial conditions on every core and returns them
as a NumPy array; run runs the program in a directory holding ini.txt; trivella.dask spreads
a sweep over a Dask cluster with the same result; periodic_orbit and rotation_numbers give
the skeleton of the map.
"""

import numpy as np

from . import _checks, _engine
from ._run import run
from .skeleton import ROTATION_DTYPE, PeriodicOrbit, periodic_orbit, rotation_numbers
from .stream import StreamOutcome, stream_map

__all__ = ["INDICATOR_DTYPE", "ROTATION_DTYPE", "PeriodicOrbit", "RunError", "StreamOutcome",
           "periodic_orbit", "rotation_numbers", "run", "section_map", "stream_map"]

# One record per condition of section_map(..., chaos=True).
INDICATOR_DTYPE = np.dtype([("megno", np.float64), ("lyapunov", np.float64),
                            ("chaotic", np.bool_)])


class RunError(RuntimeError):
    """A condition stopped before its last point, or the program failed.

    Attributes
    ----------
    condition : int or None
        The condition (counted from 1) that failed, when known.
    points : numpy.ndarray or None
        From section_map: every point computed before the failure, NaN elsewhere.
    """

    def __init__(self, message, condition=None, points=None):
        super().__init__(message)
        self.condition = condition
        self.points = points


def _indicators(summary, chaotic):
    out = np.empty(len(chaotic), dtype=INDICATOR_DTYPE)
    out["megno"] = summary[:, 0]
    out["lyapunov"] = summary[:, 1]
    out["chaotic"] = chaotic
    return out


class _progress:
    """The callable handed to the engine for `progress`: None, a bar or the user's own."""

    def __init__(self, progress, total):
        self.bar = None
        if progress is None or progress is False:
            self.callback = None
        elif progress is True:
            from tqdm import tqdm

            self.bar = tqdm(total=total, unit="point")
            self.callback = lambda done, _total: self.bar.update(done - self.bar.n)
        elif callable(progress):
            self.callback = progress
        else:
            raise TypeError(f"progress must be a callable, True or None, "
                            f"got {type(progress).__name__}")

    def __enter__(self):
        return self.callback

    def __exit__(self, *exc):
        if self.bar is not None:
            self.bar.close()


def section_map(phi0, l0, n_points, *, L, h0, tol, eps, method="classic", chaos=False,
                params=None, threads=None, progress=None, rotation=False):
    """Section points of the conditions (phi0[i], l0[i]), as the program computes them.

    Parameters
    ----------
    phi0, l0 : array_like of float
        Initial angle and momentum of each condition, one-dimensional, of equal length
        (a scalar is one condition).
    n_points : int
        Points per condition, at least 0.
    L, h0, tol, eps : float
        Reference L, first step size (negative: backwards in time), error bound of a step
        (> 0), bound on the section value at a refined crossing (> 0).
    method : {'classic', 'precise'}
        classic: the adaptive scheme whose step size carries over from one condition to the
        next; precise: points exactly on the section.
    chaos : bool
        With method='precise': also a chaos indicator per condition.
    params : dict, optional
        Overrides of the model's constants a, b, c, d, e, omega.
    threads : int, optional
        Conditions computed at once; default every core.
    progress : callable or True, optional
        progress(done_points, total_points), called a few times a second; True draws a
        tqdm bar.
    rotation : bool
        With method='precise': also the rotation number of each condition (the orbit is
        followed a second time, lifted).

    Returns
    -------
    points : ndarray, shape (conditions, n_points, 2)
        phi reduced to [0, 2*pi) and l / L of each point.
    indicators : structured ndarray of INDICATOR_DTYPE, only with chaos=True
        megno, lyapunov and chaotic of each condition.
    rotations : structured ndarray of ROTATION_DTYPE, only with rotation=True, last
        rotation, circulating and digits of each condition, as rotation_numbers gives them.

    Every number is rounded once to single precision (from the double a Python float holds)
    and widened, as the program rounds the numbers of ini.txt: the same values give the
    same points, and "%15.10f %15.10f\\n" of each point gives the program's RESULT/lL.txt.
    A decimal text whose double lies just beside a tie of two floats can round differently
    than strtof of the text itself; pass such values as np.float32 to be explicit.

    Raises
    ------
    TypeError, ValueError
        For a bad argument, naming it.
    RunError
        When a condition cannot be computed to the end; its `points` hold those computed.
    KeyboardInterrupt
        On Ctrl-C, within a fraction of a second; the engine's threads stop.
    """
    phi, l = _checks.conditions(phi0, l0)
    n_points, settings = _checks.settings(n_points, L, h0, tol, eps, method, chaos, params)
    threads = _checks.threads(threads)
    if not isinstance(rotation, (bool, np.bool_)):
        raise TypeError(f"rotation must be True or False, got {type(rotation).__name__}")
    if rotation and method != "precise":
        raise ValueError("rotation=True needs method='precise': the angle is followed by it")
    with _progress(progress, phi.size * n_points) as callback:
        points, summary, chaotic, _, failure, condition = _engine.run_map(
            phi, l, n_points, threads=threads, progress=callback, **settings)
    if condition:
        raise RunError(f"condition {condition}: {failure}", condition, points)
    results = (points,) + ((_indicators(summary, chaotic),) if chaos else ())
    if rotation:
        results += (rotation_numbers(phi, l, n_points, L=settings["L"], h0=settings["h0"],
                                     tol=settings["tol"], params=params),)
    return results if len(results) > 1 else points
