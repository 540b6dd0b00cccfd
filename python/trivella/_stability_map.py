"""trivella.stability_map: the chaos indicator, and optionally the rotation number, of every cell
of a plane of initial conditions or of model constants, as an xarray.Dataset."""

from __future__ import annotations

from typing import Any, Callable, Mapping

import numpy as np
from numpy.typing import ArrayLike

from . import _checks, _engine
from ._grid import Plane, plane
from ._section_map import Progress, progress_callback
from ._stability_result import attributes, dataset

def compute_cells(phi: np.ndarray, l: np.ndarray, varying: list, n_points: int,
                  engine: dict[str, Any], threads: int, rotation: bool,
                  report: Callable[[int], Any] | None = None) -> dict[str, np.ndarray]:
    """megno, lyapunov, periods and verdict codes (failed included) of the cells (phi[i], l[i])
    with the constants `varying` and, with rotation, the rotation number, circulating and
    digits the lanes measure from each cell's points. A cell that stops early is marked failed
    and the run goes on with the next; report(done) counts the points of the cells in order."""
    progress = None if report is None else (lambda done, _total: report(done))
    _, megno, lyapunov, periods, verdict, _, _, _, turns = _engine.run_map(
        phi, l, n_points, threads=threads, progress=progress, varying=varying, keep_points=False,
        rotation=rotation, go_on=True, **engine)
    out = {"megno": megno, "lyapunov": lyapunov, "periods": periods, "verdict": verdict}
    if rotation:
        out["rotation"], out["circulating"], out["digits"] = turns
    return out


def prepare(x: Any, y: Any, n_points: Any, L: Any, params: Any, phi0: Any, l0: Any, tol: Any,
            h0: Any, rotation: Any) -> tuple[Plane, int, dict[str, Any], dict[str, Any]]:
    """The checked plane, n_points, run_map's keyword arguments and the dataset's
    attributes."""
    n_points, engine, _ = _checks.settings(n_points, L, h0, tol, None, "precise", True, params)
    if not isinstance(rotation, (bool, np.bool_)):
        raise TypeError(f"rotation must be True or False, got {type(rotation).__name__}")
    p = plane(x, y, phi0, l0, engine["params"])
    return p, n_points, engine, attributes(p, n_points, engine, bool(rotation))


def stability_map(x: tuple[str, ArrayLike], y: tuple[str, ArrayLike], n_points: int, *,
                  L: float = 1.0, params: Mapping[str, float] | None = None,
                  phi0: float | None = None, l0: float | None = None, tol: float = 1e-10,
                  h0: float | None = None, rotation: bool = False,
                  threads: int | None = None, progress: Progress = None) -> Any:
    """The chaos indicator of every cell of the plane x by y, by the precise method.

    Parameters
    ----------
    x, y : (name, values)
        The axes: name is 'phi0', 'l0' or a model constant ('a', 'b', 'c', 'd', 'e',
        'omega'), values a non-empty 1-d array of finite numbers. The two names differ.
    n_points : int
        Section points per cell; a verdict needs more than trivella.PERIODS_FOR_VERDICT.
    L : float
        Reference L (default 1.0), held in single precision.
    params : dict, optional
        Overrides of the constants; an axis overrides its own constant.
    phi0, l0 : float, optional
        The initial angle and momentum of every cell where no axis gives them (needed with a
        constant axis, refused where an axis gives them).
    tol : float
        Error bound of the precise method (> 0).
    h0 : float, optional
        Only its sign counts: the direction of time (default forwards).
    rotation : bool
        Also the rotation number of each cell, measured from its points as they come.
    threads : int, optional
        Cells computed at once; default every core.
    progress : callable or True, optional
        As for section_map, counted in points.

    Returns
    -------
    xarray.Dataset
        Over the dimensions (y name, x name), with those coordinates as used (constants
        rounded to single precision; phi0 and l0 as given), the seed as scalar coordinates,
        and the variables megno, lyapunov, periods, verdict ('regular', 'chaotic',
        'undecided' or 'failed', where the integration stopped: NaN indicator) and chaotic;
        with rotation also rotation, rotation_digits and rotation_kind ('circulating',
        'librating' or 'none'). Every setting and constant is in the attributes. A cell
        equals section_map(phi0, l0, n_points, method='precise', chaos=True) with the same
        numbers, bit for bit.

    Raises
    ------
    TypeError, ValueError
        For a bad argument, naming it, before anything is computed.
    KeyboardInterrupt
        On Ctrl-C, within a fraction of a second; the engine's threads stop.
    """
    p, n_points, engine, attrs = prepare(x, y, n_points, L, params, phi0, l0, tol, h0, rotation)
    threads = _checks.threads(threads)
    total = p.phi.size * n_points
    with progress_callback(progress, total) as callback:
        report = None if callback is None else (lambda done: callback(done, total))
        cells = compute_cells(p.phi, p.l, p.varying, n_points, engine, threads, rotation, report)
    return dataset(p, cells, attrs)
