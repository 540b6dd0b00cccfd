"""The body of POST /api/orbit: parsed, checked and bounded before any work starts."""

import json
import math

import numpy as np

MAX_BODY = 4096  # bytes; a request is a few hundred
MAX_POINTS = 20000  # points per orbit
# A finer eps makes a crossing take seconds of retries, and the engine looks at a stop request
# between points only.
MIN_EPS = 1e-12
PARAM_NAMES = ("a", "b", "c", "d", "e", "omega")
FIELDS = ("method", "chaos", "n_points", "tol", "eps", "h0", "L", "params", "seed", "h_start")
REQUIRED = ("method", "n_points", "tol", "eps", "h0", "L", "seed")


class BadRequest(ValueError):
    """A request refused with HTTP 400; the message names the field."""


def _reject_constant(name):
    raise BadRequest(f"{name} is not a number JSON allows")


def _kind(value):
    return {dict: "an object", list: "an array", str: "a string", bool: "true or false",
            type(None): "null"}.get(type(value), "a number")


def _single(name, value):
    """value rounded to single precision, as the program reads numbers; finite or refused."""
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise BadRequest(f"{name} must be a number, got {_kind(value)}")
    try:
        with np.errstate(over="ignore"):
            rounded = float(np.float32(float(value)))
    except OverflowError:  # an integer beyond any float
        rounded = math.inf
    if not math.isfinite(rounded):
        raise BadRequest(f"{name} must be a finite number within single precision, got {value!r}")
    return rounded


def _check_model(params):
    """The equations divide by a, omega, b + c and b + d."""
    m = dict(a=6.0, b=5.0, c=8.0, d=15.0, e=0.4, omega=1.0)
    m.update({k: _single(f"params.{k}", v) for k, v in params.items()})
    for why, value in (("a", m["a"]), ("omega", m["omega"]), ("b + c", m["b"] + m["c"]),
                       ("b + d", m["b"] + m["d"])):
        if value == 0.0:
            raise BadRequest(f"params: {why} = 0 makes the equations meaningless")


def parse_orbit_request(body):
    """The checked request as keyword arguments of trivella.stream_map plus `seed`.

    Raises BadRequest for anything but one JSON object with the known fields, each of its
    type and within its range.
    """
    try:
        r = json.loads(body.decode("utf-8"), parse_constant=_reject_constant)
    except (UnicodeDecodeError, json.JSONDecodeError, RecursionError) as error:
        raise BadRequest(f"the body is not JSON: {error}") from None
    if not isinstance(r, dict):
        raise BadRequest(f"the body must be a JSON object, got {_kind(r)}")
    unknown = sorted(set(r) - set(FIELDS))
    if unknown:
        raise BadRequest(f"unknown field {unknown[0]!r}; the fields are {', '.join(FIELDS)}")
    missing = [name for name in REQUIRED if name not in r]
    if missing:
        raise BadRequest(f"missing field {missing[0]!r}")

    if r["method"] not in ("classic", "precise"):
        raise BadRequest(f"method must be 'classic' or 'precise', got {r['method']!r}")
    chaos = r.get("chaos", False)
    if not isinstance(chaos, bool):
        raise BadRequest(f"chaos must be true or false, got {_kind(chaos)}")
    if chaos and r["method"] != "precise":
        raise BadRequest("chaos needs the precise method")
    n = r["n_points"]
    if isinstance(n, bool) or not isinstance(n, int):
        raise BadRequest(f"n_points must be a whole number, got {_kind(n)} {n!r}")
    if not 1 <= n <= MAX_POINTS:
        raise BadRequest(f"n_points must be from 1 to {MAX_POINTS}, got {n}")
    values = {name: _single(name, r[name]) for name in ("tol", "eps", "h0", "L")}
    for name in ("tol", "eps"):
        if not values[name] > 0.0:
            raise BadRequest(f"{name} must be greater than 0 after rounding to single precision")
    if values["eps"] < _single("the bound", MIN_EPS):
        raise BadRequest(f"eps must be at least {MIN_EPS:g} here, got {r['eps']!r}")
    for name in ("h0", "L"):
        if values[name] == 0.0:
            raise BadRequest(f"{name} must not be 0 after rounding to single precision")

    params = r.get("params", {})
    if not isinstance(params, dict):
        raise BadRequest(f"params must be an object, got {_kind(params)}")
    strange = sorted(set(params) - set(PARAM_NAMES))
    if strange:
        raise BadRequest(f"params: unknown name {strange[0]!r}; the names are "
                         f"{', '.join(PARAM_NAMES)}")
    _check_model(params)

    seed = r["seed"]
    if not isinstance(seed, list) or len(seed) != 2:
        raise BadRequest("seed must be an array [phi0, l0]")
    seed = [_single("seed[0]", seed[0]), _single("seed[1]", seed[1])]

    h_start = r.get("h_start")
    if h_start is not None:
        if r["method"] != "classic":
            raise BadRequest("h_start is for the classic method")
        if isinstance(h_start, bool) or not isinstance(h_start, (int, float)):
            raise BadRequest(f"h_start must be a number, got {_kind(h_start)}")
        if h_start == 0 or (h_start > 0) != (values["h0"] > 0) or abs(h_start) > 1e30:
            raise BadRequest("h_start must be the step size an orbit left: not 0, of the sign "
                             "of h0")
    return dict(values, method=r["method"], chaos=chaos, n_points=n, params=params, seed=seed,
                h_start=None if h_start is None else float(h_start))
