"""The body of POST /api/orbit: parsed, checked and bounded before any work starts."""

import json
import math

import numpy as np

from .model import model_info, model_problem

MAX_SEEDS = 64  # orbits per request, as many as a map holds
MAX_BODY = 8192  # bytes; MAX_SEEDS seeds of full precision fit
MAX_POINTS = 20000  # points per orbit
# A finer eps makes a crossing take seconds of retries, and the engine looks at a stop request
# between points only.
MIN_EPS = 1e-12
FIELDS = ("method", "chaos", "n_points", "tol", "eps", "h0", "L", "params", "seeds", "h_start")
REQUIRED = ("method", "n_points", "tol", "eps", "h0", "L", "seeds")


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


def check_params(params):
    """params (name -> number) rounded to single precision; BadRequest for an unknown name, a
    value that is not a finite single, or constants that make the equations meaningless."""
    if not isinstance(params, dict):
        raise BadRequest(f"params must be an object, got {_kind(params)}")
    names = model_info()["names"]
    strange = sorted(set(params) - set(names))
    if strange:
        raise BadRequest(f"params: unknown name {strange[0]!r}; the names are {', '.join(names)}")
    rounded = {k: _single(f"params.{k}", v) for k, v in params.items()}
    problem = model_problem(rounded)
    if problem:
        raise BadRequest(f"params: {problem} makes the equations meaningless")
    return rounded


def json_object(body, fields, required):
    """The body as one JSON object holding every field of `required` and none but `fields`;
    BadRequest otherwise."""
    try:
        r = json.loads(body.decode("utf-8"), parse_constant=_reject_constant)
    except (UnicodeDecodeError, json.JSONDecodeError, RecursionError) as error:
        raise BadRequest(f"the body is not JSON: {error}") from None
    if not isinstance(r, dict):
        raise BadRequest(f"the body must be a JSON object, got {_kind(r)}")
    unknown = sorted(set(r) - set(fields))
    if unknown:
        raise BadRequest(f"unknown field {unknown[0]!r}; the fields are {', '.join(fields)}")
    missing = [name for name in required if name not in r]
    if missing:
        raise BadRequest(f"missing field {missing[0]!r}")
    return r


def parse_orbit_request(body):
    """The checked request as keyword arguments of trivella.stream_map plus `seeds`.

    Raises BadRequest for anything but one JSON object with the known fields, each of its
    type and within its range.
    """
    r = json_object(body, FIELDS, REQUIRED)

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
    check_params(params)

    seeds = r["seeds"]
    if not isinstance(seeds, list) or not 1 <= len(seeds) <= MAX_SEEDS:
        raise BadRequest(f"seeds must be an array of 1 to {MAX_SEEDS} seeds [phi0, l0]")
    for k, seed in enumerate(seeds):
        if not isinstance(seed, list) or len(seed) != 2:
            raise BadRequest(f"seeds[{k}] must be an array [phi0, l0]")
        seeds[k] = [_single(f"seeds[{k}][{i}]", v) for i, v in enumerate(seed)]

    h_start = r.get("h_start")
    if h_start is not None:
        if r["method"] != "classic":
            raise BadRequest("h_start is for the classic method")
        if isinstance(h_start, bool) or not isinstance(h_start, (int, float)):
            raise BadRequest(f"h_start must be a number, got {_kind(h_start)}")
        if h_start == 0 or (h_start > 0) != (values["h0"] > 0) or abs(h_start) > 1e30:
            raise BadRequest("h_start must be the step size an orbit left: not 0, of the sign "
                             "of h0")
    return dict(values, method=r["method"], chaos=chaos, n_points=n, params=params, seeds=seeds,
                h_start=None if h_start is None else float(h_start))
