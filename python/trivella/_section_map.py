"""trivella.section_map: a sweep on every core of this machine."""

from __future__ import annotations

from typing import Any, Callable, Mapping, Union

import numpy as np
from numpy.typing import ArrayLike

from . import _checks, _engine
from .skeleton import rotation_numbers
from ._result import SectionMap, indicators

Progress = Union[None, bool, Callable[[int, int], Any]]


class RunError(RuntimeError):
    """A condition stopped before its last point, or the program failed.

    Attributes
    ----------
    condition : int or None
        The condition (counted from 1, in the flattened order of the conditions) that failed,
        when known.
    points : numpy.ndarray or None
        From section_map: every point computed before the failure, NaN elsewhere, of the
        shape the result would have had.
    """

    def __init__(self, message: str, condition: int | None = None,
                 points: np.ndarray | None = None) -> None:
        super().__init__(message)
        self.condition = condition
        self.points = points


class progress_callback:
    """The callable handed to the engine for `progress`: None, a bar or the user's own."""

    def __init__(self, progress: Progress, total: int) -> None:
        self.bar = None
        self.callback: Callable[[int, int], Any] | None = None
        if progress is None or progress is False:
            return
        if progress is True:
            # tqdm.auto: a widget in a notebook, the console bar elsewhere.
            from tqdm.auto import tqdm

            bar = tqdm(total=total, unit="point")
            self.bar = bar
            self.callback = lambda done, _total: bar.update(done - bar.n)
        elif callable(progress):
            self.callback = progress
        else:
            raise TypeError(f"progress must be a callable, True or None, "
                            f"got {type(progress).__name__}")

    def __enter__(self) -> Callable[[int, int], Any] | None:
        return self.callback

    def __exit__(self, *exc: Any) -> None:
        if self.bar is not None:
            self.bar.close()


def assemble(shape: tuple[int, ...], phi: np.ndarray, l: np.ndarray, n_points: int,
             settings: dict[str, Any], pairs: list[tuple[str, float]], run: tuple) -> SectionMap:
    """The SectionMap of run_map's result; RunError when a condition failed."""
    points, megno, lyapunov, periods, verdict, end_h, failure, condition = run[:8]
    points = points.reshape(*shape, n_points, 2)
    if condition:
        raise RunError(f"condition {condition}: {failure}", condition, points)
    chaos = indicators(megno, lyapunov, periods, verdict, shape) if settings["chaos"] else None
    return SectionMap(points, phi.reshape(shape), l.reshape(shape), chaos, settings,
                      _checks.constants(pairs), _engine.__version__, end_h)


def section_map(phi0: ArrayLike, l0: ArrayLike, n_points: int, *, L: float = 1.0,
                h0: float | None = None, tol: float | None = None, eps: float | None = None,
                method: str = "classic", chaos: bool = False,
                params: Mapping[str, float] | None = None, threads: int | None = None,
                progress: Progress = None, rotation: bool = False) -> SectionMap:
    """Section points of the conditions (phi0, l0), as the program computes them.

    Parameters
    ----------
    phi0, l0 : array_like of float
        Initial angle and momentum, broadcast together (a scalar with an array, a meshgrid):
        the result's leading axes take their broadcast shape.
    n_points : int
        Points per condition, at least 0.
    L : float
        Reference L (default 1.0); the model holds it in single precision.
    h0 : float
        Classic: the first step size (negative: backwards in time). Precise: only its sign
        counts, the direction of time (default forwards).
    tol : float
        Error bound of a step (> 0).
    eps : float
        Classic: bound on the section value at a refined crossing (> 0); precise: unused.
    method : {'classic', 'precise'}
        classic: the adaptive scheme whose step size carries over from one condition to the
        next; precise: points exactly on the section times t_k.
    chaos : bool
        With method='precise': also the chaos indicator of each condition.
    params : dict, optional
        Overrides of the model's constants a, b, c, d, e, omega (held in single precision).
    threads : int, optional
        Conditions computed at once; default every core.
    progress : callable or True, optional
        progress(done_points, total_points), called a few times a second; True draws a tqdm
        bar (a notebook widget in Jupyter).
    rotation : bool
        With method='precise': also the rotation number of each condition, in the result's
        `rotation` (a structured array of ROTATION_DTYPE; the orbit is followed once more).

    Returns
    -------
    SectionMap
        Behaves as the points array of shape (*conditions, n_points, 2): phi in [0, 2*pi)
        and l / L. Also carries times, the chaos record, settings, constants and version,
        and converts with to_xarray, to_netcdf and write_result.

    Every double is used as given: phi0, l0, h0, tol and eps are not rounded. The program
    rounds the numbers of ini.txt to single precision; read_ini does the same, so
    section_map(**read_ini(path)) gives the program's points byte for byte.

    Raises
    ------
    TypeError, ValueError
        For a bad argument, naming it.
    RunError
        When a condition cannot be computed to the end; its `points` hold those computed.
    KeyboardInterrupt
        On Ctrl-C, within a fraction of a second; the engine's threads stop.
    """
    phi, l, shape = _checks.conditions(phi0, l0)
    n_points, engine, settings = _checks.settings(n_points, L, h0, tol, eps, method, chaos,
                                                  params)
    threads = _checks.threads(threads)
    if not isinstance(rotation, (bool, np.bool_)):
        raise TypeError(f"rotation must be True or False, got {type(rotation).__name__}")
    if rotation and method != "precise":
        raise ValueError("rotation=True needs method='precise': the angle is followed by it")
    with progress_callback(progress, phi.size * n_points) as callback:
        run = _engine.run_map(phi, l, n_points, threads=threads, progress=callback, **engine)
    result = assemble(shape, phi, l, n_points, settings, engine["params"], run)
    if rotation:
        result.rotation = rotation_numbers(phi, l, n_points, L=L, h0=1.0 if h0 is None else h0,
                                           tol=tol, params=params).reshape(shape)
    return result
