"""The Dataset of a stability map: its cells' variables over the plane's two axes, with every
setting and constant as attributes."""

from __future__ import annotations

from typing import Any

import numpy as np

from . import _checks, _engine
from ._grid import Plane
from ._result import VERDICTS

# A cell whose integration stopped before its last point: no indicator.
FAILED = _engine.failed_verdict
CELL_VERDICTS = VERDICTS + ("failed",)


def attributes(p: Plane, n_points: int, engine: dict[str, Any], rotation: bool) -> dict[str, Any]:
    """The dataset's attributes: every setting, constant and the verdict's rule, as NetCDF
    holds them."""
    attrs: dict[str, Any] = {
        "Conventions": "CF-1.8",
        "title": "Stability map of the forced rigid body (precise method, MEGNO)",
        "source": f"trivella {_engine.__version__} (Python module trivella)",
        "product_version": _engine.__version__,
        "trivella_x": p.x_name, "trivella_y": p.y_name,
        "trivella_n_points": n_points, "trivella_tol": engine["tol"], "trivella_L": engine["L"],
        "trivella_direction": "forward" if engine["h0"] > 0 else "backward",
        "trivella_rotation": int(rotation),
        "trivella_chaos_threshold": _engine.chaos_threshold,
        "trivella_periods_for_verdict": _engine.periods_for_verdict,
    }
    attrs.update({f"trivella_seed_{name}": value for name, value in p.seed.items()})
    attrs.update({f"model_{name}": value
                  for name, value in _checks.constants(engine["params"]).items()})
    return attrs


def dataset(p: Plane, cells: dict[str, np.ndarray], attrs: dict[str, Any]) -> Any:
    """The xarray.Dataset of the computed cells of plane p."""
    import xarray as xr

    dims = (p.y_name, p.x_name)

    def grid(values: np.ndarray) -> np.ndarray:
        return values.reshape(p.shape)

    verdict = np.asarray(CELL_VERDICTS)[cells["verdict"]]
    data = {
        "megno": (dims, grid(cells["megno"]), {"long_name": "mean MEGNO <Y>", "units": "1"}),
        "lyapunov": (dims, grid(cells["lyapunov"]), {
            "long_name": "finite-time maximal Lyapunov exponent", "units": "1/time"}),
        "periods": (dims, grid(cells["periods"]), {"long_name": "periods behind megno"}),
        "verdict": (dims, grid(verdict), {
            "long_name": "regular, chaotic, undecided (too few periods) or failed"}),
        "chaotic": (dims, grid(verdict == "chaotic"), {"long_name": "verdict is chaotic"}),
    }
    if "rotation" in cells:
        kind = np.where(cells["circulating"], "circulating", "librating")
        kind[np.isnan(cells["rotation"])] = "none"
        data["rotation"] = (dims, grid(cells["rotation"]), {"long_name": "rotation number"})
        data["rotation_digits"] = (dims, grid(cells["digits"]), {
            "long_name": "digits to which the rotation numbers of the orbit's halves agree"})
        data["rotation_kind"] = (dims, grid(kind), {
            "long_name": "circulating, librating or none (too few points)"})
    coords: dict[str, Any] = {p.x_name: (p.x_name, p.x), p.y_name: (p.y_name, p.y)}
    coords.update(p.seed)
    return xr.Dataset(data, coords=coords, attrs=attrs)
