"""Argument checks shared by trivella.section_map and trivella.dask.section_map.

Every number is rounded to single precision, as the program rounds the numbers of ini.txt,
then widened to double: the same numbers give the same points through either.
"""

import numbers
import operator

import numpy as np

from . import _engine

METHODS = ("classic", "precise")
PARAM_NAMES = ("a", "b", "c", "d", "e", "omega")
MAX_INT = 2**31 - 1


def single(name, value):
    """`value` rounded once to single precision and widened; finite, or ValueError."""
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a real number, got {type(value).__name__}")
    with np.errstate(over="ignore"):
        rounded = float(np.float32(float(value)))
    if not np.isfinite(rounded):
        raise ValueError(f"{name} must be a finite number within single precision, got {value!r}")
    return rounded


def conditions(phi0, l0):
    """phi0 and l0 as equal-length float64 arrays, each value rounded to single precision."""
    arrays = []
    for name, value in (("phi0", phi0), ("l0", l0)):
        try:
            array = np.atleast_1d(np.asarray(value, dtype=np.float64))
        except (TypeError, ValueError) as error:
            raise TypeError(f"{name} must be an array of real numbers: {error}") from None
        if array.ndim != 1:
            raise ValueError(f"{name} must be one-dimensional, got shape {array.shape}")
        with np.errstate(over="ignore"):
            array = array.astype(np.float32).astype(np.float64)
        bad = np.flatnonzero(~np.isfinite(array))
        if bad.size:
            raise ValueError(f"{name}[{bad[0]}] must be a finite number within single "
                             f"precision, got {np.asarray(value).ravel()[bad[0]]!r}")
        arrays.append(np.ascontiguousarray(array))
    if arrays[0].shape != arrays[1].shape:
        raise ValueError(f"phi0 and l0 must have the same length, got {arrays[0].size} "
                         f"and {arrays[1].size}")
    return arrays


def count(name, value, low, high):
    """An integer in [low, high], or TypeError/ValueError naming it."""
    if isinstance(value, (bool, np.bool_)):
        raise TypeError(f"{name} must be an integer, got bool")
    try:
        value = operator.index(value)
    except TypeError:
        raise TypeError(f"{name} must be an integer, got {type(value).__name__}") from None
    if not low <= value <= high:
        raise ValueError(f"{name} must be from {low} to {high}, got {value}")
    return value


def threads(value):
    """Conditions computed at once: None (every core) is 0 for the engine."""
    return 0 if value is None else count("threads", value, 1, 4096)


def params(values):
    """The overrides of the model's constants as (name, value) pairs, checked as --param is."""
    if values is None:
        return []
    if not hasattr(values, "items"):
        raise TypeError(f"params must be a dict, got {type(values).__name__}")
    pairs = []
    for name, value in values.items():
        if name not in PARAM_NAMES:
            raise ValueError(f"params: unknown name {name!r}; the names are "
                             f"{', '.join(PARAM_NAMES)}")
        pairs.append((name, single(f"params[{name!r}]", value)))
    m = dict(_engine.default_params(), **dict(pairs))
    # The equations divide by each of these.
    for why, zero in (("a = 0", m["a"] == 0.0), ("omega = 0", m["omega"] == 0.0),
                      ("b + c = 0", m["b"] + m["c"] == 0.0),
                      ("b + d = 0", m["b"] + m["d"] == 0.0)):
        if zero:
            raise ValueError(f"params: {why} makes the equations meaningless (they divide by it)")
    return pairs


def settings(n_points, L, h0, tol, eps, method, chaos, param_values):
    """n_points and the keyword arguments of _engine.run_map, checked and rounded."""
    n_points = count("n_points", n_points, 0, MAX_INT)
    s = {"L": single("L", L), "h0": single("h0", h0), "tol": single("tol", tol),
         "eps": single("eps", eps)}
    # Values for which the integration would never end, as the program refuses them.
    for name, bad in (("tol", s["tol"] <= 0.0), ("eps", s["eps"] <= 0.0),
                      ("h0", s["h0"] == 0.0)):
        if bad:
            need = "must not be 0" if name == "h0" else "must be greater than 0"
            raise ValueError(f"{name} {need}, got {s[name]!r} after rounding to single precision")
    if method not in METHODS:
        raise ValueError(f"method must be 'classic' or 'precise', got {method!r}")
    if not isinstance(chaos, (bool, np.bool_)):
        raise TypeError(f"chaos must be True or False, got {type(chaos).__name__}")
    if chaos and method != "precise":
        raise ValueError("chaos=True needs method='precise': the indicator follows that method")
    s.update(method=method, chaos=bool(chaos), params=params(param_values))
    return n_points, s
