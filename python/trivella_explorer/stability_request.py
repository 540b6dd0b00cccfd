"""The body of POST /api/stability: a view of the (phi, l/L) plane cut into cells, some rows of
which are asked for, and the settings their centres are computed with; parsed, checked and
bounded before any work starts."""

import math

import numpy as np
import trivella

from .orbit_request import MAX_POINTS, BadRequest, _kind, _single, check_params, json_object

MAX_SIDE = 400  # cells along either side of the view
MAX_CELLS = 4800  # cells in one request: the page asks for a view's rows a few at a time
MAX_VIEW = 1e4  # the page's bound on the view's numbers
FIELDS = ("n_points", "tol", "h0", "L", "params", "view", "cells", "rows")


def _whole(name, value, lo, hi):
    if isinstance(value, bool) or not isinstance(value, int) or not lo <= value <= hi:
        raise BadRequest(f"{name} must be a whole number from {lo} to {hi}, got {value!r}")
    return value


def _pair(r, name, what):
    value = r[name]
    if not isinstance(value, list) or len(value) != 2:
        raise BadRequest(f"{name} must be an array {what}, got {_kind(value)}")
    return value


def cell_centres(view, nx, ny, first, end, L):
    """(i, j, phi0, l0) of the cells of rows first..end-1 in row order, i across and j up from
    the bottom; l0 = (l/L at the centre) * L, both rounded to single precision as the page's
    seeds are."""
    x0, x1, y0, y1 = view
    with np.errstate(over="ignore"):
        cells = [(i, j, float(np.float32(x0 + (i + 0.5) * (x1 - x0) / nx)),
                  float(np.float32((y0 + (j + 0.5) * (y1 - y0) / ny) * L)))
                 for j in range(first, end) for i in range(nx)]
    if not all(math.isfinite(c[3]) for c in cells):
        raise BadRequest("the view's l/L times L leaves single precision")
    return cells


def parse_stability_request(body):
    """The checked request: the settings as keyword arguments of trivella.stream_map plus
    `cells`, the (i, j, phi0, l0) to compute. n_points is raised to the fewest points that give
    a verdict. Raises BadRequest naming the field that is wrong."""
    r = json_object(body, FIELDS, [name for name in FIELDS if name != "params"])
    n_points = _whole("n_points", r["n_points"], 1, MAX_POINTS)
    values = {name: _single(name, r[name]) for name in ("tol", "h0", "L")}
    if not values["tol"] > 0.0:
        raise BadRequest("tol must be greater than 0 after rounding to single precision")
    for name in ("h0", "L"):
        if values[name] == 0.0:
            raise BadRequest(f"{name} must not be 0 after rounding to single precision")
    params = check_params(r.get("params", {}))

    view = r["view"]
    if not isinstance(view, list) or len(view) != 4:
        raise BadRequest("view must be an array [phi from, phi to, l/L from, l/L to]")
    for k, v in enumerate(view):
        if isinstance(v, bool) or not isinstance(v, (int, float)) or not abs(v) <= MAX_VIEW:
            raise BadRequest(f"view[{k}] must be a number within ±{MAX_VIEW:g}")
    if not (view[0] < view[1] and view[2] < view[3]):
        raise BadRequest("view must run from low to high: phi from < phi to, l/L from < l/L to")
    nx, ny = (_whole(f"cells[{k}]", v, 1, MAX_SIDE)
              for k, v in enumerate(_pair(r, "cells", "[across, up]")))
    first, end = _pair(r, "rows", "[first, end]")
    first = _whole("rows[0]", first, 0, ny - 1)
    end = _whole("rows[1]", end, first + 1, ny)
    if (end - first) * nx > MAX_CELLS:
        raise BadRequest(f"at most {MAX_CELLS} cells in a request, got {(end - first) * nx}")
    fewest = trivella.PERIODS_FOR_VERDICT + 1
    return dict(values, n_points=max(n_points, fewest), params=params,
                cells=cell_centres([float(v) for v in view], nx, ny, first, end, values["L"]))
