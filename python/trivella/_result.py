"""SectionMap: the points of a sweep as an array, with what made them."""

from __future__ import annotations

import math
from typing import Any, Iterator

import numpy as np
from numpy.lib.mixins import NDArrayOperatorsMixin

# The verdict codes of _engine.run_map, in order.
VERDICTS = ("undecided", "regular", "chaotic")

# One record per condition of a run with chaos=True.
INDICATOR_DTYPE = np.dtype([("megno", np.float64), ("lyapunov", np.float64),
                            ("periods", np.int64), ("verdict", "U9"), ("chaotic", np.bool_)])


def indicators(megno: np.ndarray, lyapunov: np.ndarray, periods: np.ndarray,
               verdict: np.ndarray, shape: tuple[int, ...]) -> np.ndarray:
    """The chaos record of shape `shape` from run_map's per-condition arrays."""
    out = np.empty(len(megno), dtype=INDICATOR_DTYPE)
    out["megno"] = megno
    out["lyapunov"] = lyapunov
    out["periods"] = periods
    out["verdict"] = np.asarray(VERDICTS)[verdict]
    out["chaotic"] = verdict == VERDICTS.index("chaotic")
    return out.reshape(shape)


def section_times(n_points: int, omega: float, forward: bool) -> np.ndarray:
    """The times t_k of the section points: (4k + 2) pi / omega forwards, -4 (k + 1) pi / omega
    backwards, k from 0 (the first crossing of sin(omega t / 2) from positive to negative)."""
    k = np.arange(n_points, dtype=np.float64)
    if forward:
        return (4.0 * k + 2.0) * math.pi / omega
    return -4.0 * (k + 1.0) * math.pi / omega


class SectionMap(NDArrayOperatorsMixin):
    """The result of section_map: behaves as its points array and carries their metadata.

    np.asarray(result), result[...], result.shape, arithmetic and every other ndarray
    attribute (result.reshape, result.mean, ...) act on `points`, of shape
    (*conditions, n_points, 2), where `conditions` is the broadcast shape of phi0 and l0.

    Attributes
    ----------
    points : ndarray
        phi reduced to [0, 2*pi) and l / L of each point.
    phi0, l0 : ndarray
        The initial conditions, broadcast to the shape of the conditions.
    times : ndarray, shape (n_points,)
        The section times t_k. The precise method's points lie exactly on them; the classic
        method's lie on the section within eps of its value, so t_k is their time to within
        about 2 eps / omega.
    chaos : structured ndarray of INDICATOR_DTYPE or None
        With chaos=True: megno, lyapunov, periods and verdict ('regular', 'chaotic' or
        'undecided', as the program writes them; chaotic is verdict == 'chaotic') of each
        condition. Fewer than two points give NaN and 'undecided'.
    settings : dict
        n_points, L (as the model holds it), h0, tol, eps (None where not given and not
        used), method and chaos.
    constants : dict
        The model's constants a, b, c, d, e, omega as the model holds them.
    version : str
        trivella.__version__ of the build that computed it.
    end_h : float
        Classic method: the step size the last condition left.
    """

    def __init__(self, points: np.ndarray, phi0: np.ndarray, l0: np.ndarray,
                 chaos: np.ndarray | None, settings: dict[str, Any],
                 constants: dict[str, float], version: str, end_h: float) -> None:
        self.points = points
        self.phi0 = phi0
        self.l0 = l0
        self.chaos = chaos
        self.settings = settings
        self.constants = constants
        self.version = version
        self.end_h = end_h
        forward = settings["h0"] is None or settings["h0"] > 0.0
        self.times = section_times(settings["n_points"], constants["omega"], forward)

    # The array interface: the points.
    def __array__(self, dtype: Any = None, copy: Any = None) -> np.ndarray:
        return self.points if dtype is None else self.points.astype(dtype)

    def __array_ufunc__(self, ufunc: Any, method: str, *inputs: Any, **kwargs: Any) -> Any:
        inputs = tuple(x.points if isinstance(x, SectionMap) else x for x in inputs)
        return getattr(ufunc, method)(*inputs, **kwargs)

    def __getattr__(self, name: str) -> Any:
        # The ndarray's own methods and attributes (reshape, mean, T, ...) act on the points.
        if name.startswith("_") or name == "points":
            raise AttributeError(name)
        return getattr(self.points, name)

    def __getitem__(self, index: Any) -> Any:
        return self.points[index]

    def __len__(self) -> int:
        return len(self.points)

    def __iter__(self) -> Iterator[Any]:
        return iter(self.points)

    @property
    def shape(self) -> tuple[int, ...]:
        return self.points.shape

    def __repr__(self) -> str:
        return (f"SectionMap(shape={self.shape}, method={self.settings['method']!r}, "
                f"chaos={self.settings['chaos']}, version={self.version!r})")

    # Conversions, in _export.
    def to_xarray(self, dims: tuple[str, ...] | None = None) -> Any:
        """An xarray.Dataset: phi and l (l / L) over (*dims, 'point'), with the coordinates
        phi0, l0 and time, the chaos record, and every setting and constant as attributes.
        `dims` names the axes of the conditions (default 'condition', or 'condition_0', ...
        for several)."""
        from ._export import to_xarray

        return to_xarray(self, dims)

    def to_netcdf(self, path: Any, dims: tuple[str, ...] | None = None) -> None:
        """Writes to_xarray(dims) to `path` as NetCDF-4, with CF and ACDD attributes."""
        from ._export import to_netcdf

        to_netcdf(self, path, dims)

    def write_result(self, directory: Any) -> None:
        """Writes the program's files into directory/RESULT: lL.txt, and for the precise
        method run_info.txt and (with chaos) chaos.txt; also directory/ini.txt if there is
        none, so that the picture tool (tools/plot_section.py) draws it."""
        from ._export import write_result

        write_result(self, directory)

    def command_line(self) -> str:
        """The program's command line with these options (the conditions go in ini.txt)."""
        from ._export import command_line

        return command_line(self)
