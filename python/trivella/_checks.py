"""Argument checks shared by every entry point: trivella.section_map, trivella.stream_map,
trivella.run and trivella.dask.section_map check their arguments here, the same way.

Numbers are real numbers everywhere (a string or a bool is refused wherever a number is due).
phi0, l0, h0, tol and eps are used as the doubles given. L and the model's constants are held
in single precision by the model, as the program holds them: they are rounded to the nearest
float. The names of the constants, their defaults and what makes them meaningless come from
the engine (trivella._engine), which has them from the program's own rules.
"""

from __future__ import annotations

import numbers
import operator
from typing import Any, Mapping

import numpy as np

from . import _engine

METHODS = ("classic", "precise")
MAX_INT = 2**31 - 1
MAX_THREADS = 4096


def constant_names() -> tuple[str, ...]:
    """The names of the model's constants, in the program's order."""
    return tuple(name for name, _ in _engine.model_constants())


def real(name: str, value: Any) -> float:
    """`value` as a finite double, or TypeError/ValueError naming it."""
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a real number, got {type(value).__name__}")
    value = float(value)
    if not np.isfinite(value):
        raise ValueError(f"{name} must be a finite number, got {value!r}")
    return value


def single(name: str, value: Any) -> float:
    """`value` rounded to the float the model holds, widened; finite there, or ValueError."""
    value = real(name, value)
    with np.errstate(over="ignore"):
        rounded = float(np.float32(value))
    if not np.isfinite(rounded):
        raise ValueError(f"{name} must be within single precision, got {value!r}")
    return rounded


def real_array(name: str, value: Any) -> np.ndarray:
    """`value` as a float64 array of finite numbers: integers and floats only."""
    array = np.asarray(value)
    if array.dtype.kind not in "iuf":
        kind = "bool" if array.dtype.kind == "b" else str(array.dtype)
        raise TypeError(f"{name} must hold real numbers, got an array of {kind}")
    array = array.astype(np.float64)
    bad = np.argwhere(~np.isfinite(array))
    if bad.size:
        where = "".join(f"[{i}]" for i in bad[0])
        raise ValueError(f"{name}{where} must be a finite number, got {array[tuple(bad[0])]!r}")
    return array


def conditions(phi0: Any, l0: Any) -> tuple[np.ndarray, np.ndarray, tuple[int, ...]]:
    """phi0 and l0 broadcast together: both flattened to contiguous 1-D float64 arrays, and
    the broadcast shape that the result's leading axes take."""
    phi = real_array("phi0", phi0)
    l = real_array("l0", l0)
    try:
        phi, l = np.broadcast_arrays(phi, l)
    except ValueError:
        raise ValueError(f"phi0 and l0 must broadcast together, got shapes {phi.shape} and "
                         f"{l.shape}") from None
    shape = phi.shape
    return np.ascontiguousarray(phi.ravel()), np.ascontiguousarray(l.ravel()), shape


def count(name: str, value: Any, low: int, high: int) -> int:
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


def threads(value: Any) -> int:
    """Conditions computed at once: None (every core) is 0 for the engine."""
    return 0 if value is None else count("threads", value, 1, MAX_THREADS)


def params(values: Mapping[str, Any] | None) -> list[tuple[str, float]]:
    """The overrides of the model's constants as (name, value) pairs, checked as --param is."""
    if values is None:
        return []
    if not isinstance(values, Mapping):
        raise TypeError(f"params must be a dict, got {type(values).__name__}")
    names = constant_names()
    pairs = []
    for name, value in values.items():
        if name not in names:
            raise ValueError(f"params: unknown name {name!r}; the names are {', '.join(names)}")
        pairs.append((name, single(f"params[{name!r}]", value)))
    problem = _engine.model_problem(pairs)
    if problem:
        raise ValueError(f"params: {problem} makes the equations meaningless (they divide by it)")
    return pairs


def constants(pairs: list[tuple[str, float]]) -> dict[str, float]:
    """Every constant of the model with these overrides, as the model holds it."""
    return dict(_engine.model_constants(), **dict(pairs))


def method_and_chaos(method: Any, chaos: Any) -> tuple[str, bool]:
    if method not in METHODS:
        raise ValueError(f"method must be 'classic' or 'precise', got {method!r}")
    if not isinstance(chaos, (bool, np.bool_)):
        raise TypeError(f"chaos must be True or False, got {type(chaos).__name__}")
    if chaos and method != "precise":
        raise ValueError("chaos=True needs method='precise': the indicator follows that method")
    return method, bool(chaos)


def settings(n_points: Any, L: Any, h0: Any, tol: Any, eps: Any, method: Any, chaos: Any,
             param_values: Any) -> tuple[int, dict[str, Any], dict[str, Any]]:
    """(n_points, the keyword arguments of _engine.run_map, the settings as the result
    records them). What the method does not use may be None: eps for precise, and h0 there,
    whose sign alone is the direction of time (None: forward)."""
    n_points = count("n_points", n_points, 0, MAX_INT)
    method, chaos = method_and_chaos(method, chaos)
    precise = method == "precise"
    values = {"L": single("L", L)}
    for name, value, needed in (("h0", h0, not precise), ("tol", tol, True),
                                ("eps", eps, not precise)):
        if value is None and needed:
            raise TypeError(f"method={method!r} needs {name}")
        values[name] = None if value is None else real(name, value)
    # Values for which the integration would never end, as the program refuses them.
    for name, bad in (("tol", values["tol"] <= 0.0),
                      ("eps", values["eps"] is not None and values["eps"] <= 0.0),
                      ("h0", values["h0"] == 0.0)):
        if bad:
            need = "must not be 0" if name == "h0" else "must be greater than 0"
            raise ValueError(f"{name} {need}, got {values[name]!r}")
    pairs = params(param_values)
    engine = dict(values, method=method, chaos=chaos, params=pairs)
    # The precise method reads neither eps nor the size of h0.
    if engine["h0"] is None:
        engine["h0"] = 1.0
    if engine["eps"] is None:
        engine["eps"] = float("nan")
    recorded = dict(values, n_points=n_points, method=method, chaos=chaos)
    return n_points, engine, recorded
