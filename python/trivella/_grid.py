"""The plane of a stability map: its two axes checked, and its cells as engine conditions.

An axis is (name, values): an initial coordinate (phi0, l0) or a model constant (a, b, c, d,
e, omega). The cells go in row order, y outer and x inner. Initial coordinates are used as the
doubles given; constants are rounded to single precision, as the model holds them, so every
cell is the condition section_map computes from the same numbers.
"""

from __future__ import annotations

import dataclasses
from typing import Any

import numpy as np

from . import _checks, _engine

INITIAL = ("phi0", "l0")


@dataclasses.dataclass(frozen=True)
class Plane:
    """Two axes and the conditions of their cells, flattened in row order."""

    x_name: str
    x: np.ndarray
    y_name: str
    y: np.ndarray
    phi: np.ndarray
    l: np.ndarray
    varying: list[tuple[str, np.ndarray]]  # constants with one value per cell
    seed: dict[str, float]  # phi0 or l0 where not on an axis and a constant is

    @property
    def shape(self) -> tuple[int, int]:
        return self.y.size, self.x.size

    def cells(self, first: int, last: int) -> tuple[np.ndarray, np.ndarray, list]:
        """phi0, l0 and the varying constants of the cells [first, last)."""
        part = slice(first, last)
        return self.phi[part], self.l[part], [(k, v[part]) for k, v in self.varying]


def axis(arg: str, value: Any) -> tuple[str, np.ndarray]:
    """The axis `arg` ('x' or 'y') as (name, values), constants rounded as the model holds
    them."""
    if not isinstance(value, (tuple, list)) or len(value) != 2:
        raise TypeError(f"{arg} must be a (name, values) pair, got {type(value).__name__}")
    name, values = value
    names = INITIAL + _checks.constant_names()
    if name not in names:
        raise ValueError(f"{arg}: unknown name {name!r}; the names are {', '.join(names)}")
    values = _checks.real_array(arg, values)
    if values.ndim != 1 or values.size == 0:
        raise ValueError(f"{arg} must hold a non-empty 1-d array of values, got shape "
                         f"{values.shape}")
    if name in INITIAL:
        return name, values
    with np.errstate(over="ignore"):
        rounded = values.astype(np.float32).astype(np.float64)
    bad = np.flatnonzero(~np.isfinite(rounded))
    if bad.size:
        raise ValueError(f"{arg}[{bad[0]}] must be within single precision, got "
                         f"{values[bad[0]]!r}")
    return name, rounded


def _check_model(x: tuple[str, np.ndarray], y: tuple[str, np.ndarray],
                 pairs: list[tuple[str, float]]) -> None:
    """ValueError naming the axis on which a constant makes the equations meaningless."""
    on_axes = [(arg, name, np.unique(values)) for arg, (name, values) in (("x", x), ("y", y))
               if name not in INITIAL]
    if len(on_axes) == 1:
        arg, name, values = on_axes[0]
        for v in values.tolist():
            problem = _engine.model_problem(pairs + [(name, v)])
            if problem:
                raise ValueError(f"{arg}: {problem} at {name} = {v!r} makes the equations "
                                 f"meaningless (they divide by it)")
    elif len(on_axes) == 2:
        (_, x_name, xs), (_, y_name, ys) = on_axes
        for u in xs.tolist():
            for v in ys.tolist():
                problem = _engine.model_problem(pairs + [(x_name, u), (y_name, v)])
                if problem:
                    raise ValueError(f"x and y: {problem} at {x_name} = {u!r}, {y_name} = {v!r} "
                                     f"makes the equations meaningless (they divide by it)")


def plane(x: Any, y: Any, phi0: Any, l0: Any, pairs: list[tuple[str, float]]) -> Plane:
    """The checked plane of the axes x and y, with the seed phi0, l0 for what they leave
    open and the overrides `pairs` of the other constants."""
    x = axis("x", x)
    y = axis("y", y)
    if x[0] == y[0]:
        raise ValueError(f"x and y must name two different quantities, both are {x[0]!r}")
    _check_model(x, y, pairs)
    grid_x, grid_y = np.meshgrid(x[1], y[1])
    grid = {x[0]: grid_x.ravel(), y[0]: grid_y.ravel()}
    n = grid_x.size
    seed = {}
    for name, given in (("phi0", phi0), ("l0", l0)):
        if name in grid:
            if given is not None:
                raise ValueError(f"{name} is given by an axis; leave the keyword {name} out")
            continue
        if given is None:
            raise ValueError(f"{name} is needed: no axis gives the initial {name} of the cells")
        seed[name] = _checks.real(name, given)
        grid[name] = np.full(n, seed[name])
    varying = [(name, grid[name]) for name in (x[0], y[0]) if name not in INITIAL]
    return Plane(x[0], x[1], y[0], y[1], np.ascontiguousarray(grid["phi0"]),
                 np.ascontiguousarray(grid["l0"]), varying, seed)
