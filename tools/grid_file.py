"""RESULT/grid.txt of trivella --precise --chaos --grid, read for plot_section.py.

The file holds a header (the two axes, the settings, the chaos threshold, the column names) and
one line per cell, y outer and x inner; a run that was interrupted leaves the first cells only.
Every problem raises InputError with a one-line message for the user.
"""
import math
import re

import numpy as np

from section_files import InputError, warn

NAMES = ("phi0", "l0", "a", "b", "c", "d", "e", "omega")
VERDICTS = ("regular", "chaotic", "undecided", "failed")
KINDS = ("circulating", "librating", "none")
COLUMNS = ("megno", "lyapunov", "periods", "verdict")
ROTATION_COLUMNS = ("rotation", "kind", "digits")
_THRESHOLD = re.compile(r"chaotic when megno > (\S+) after at least (\d+) periods")


def axis_values(lo, hi, n):
    """The cell coordinates of an axis, as the program makes them: FROM + (TO - FROM) i / (N - 1)
    (FROM alone when N = 1), rounded to single precision as ini.txt's numbers are."""
    i = np.arange(n, dtype=np.float64)
    values = np.full(n, lo) if n == 1 else lo + (hi - lo) * i / (n - 1)
    return values.astype(np.float32).astype(np.float64)


def _number(token, where):
    try:
        return float(token)
    except ValueError:
        raise InputError(f"{where}: '{token}' is not a number") from None


def _axis(fields, where):
    if len(fields) != 5 or fields[1] not in NAMES:
        raise InputError(f"{where}: expected '# {fields[0]} NAME FROM TO N' with NAME one of "
                         f"{', '.join(NAMES)}")
    lo, hi = _number(fields[2], where), _number(fields[3], where)
    if not fields[4].isdigit() or int(fields[4]) < 1 or not math.isfinite(lo + hi):
        raise InputError(f"{where}: expected finite FROM, TO and a cell count N >= 1")
    n = int(fields[4])
    return {"name": fields[1], "from": lo, "to": hi, "n": n, "values": axis_values(lo, hi, n)}


def _pairs(fields, where):
    if len(fields) % 2:
        raise InputError(f"{where}: expected pairs of a name and a value")
    return dict(zip(fields[0::2], fields[1::2]))


def read_header(lines, path):
    """The '#' lines before the first cell: axes, seed, settings, threshold and columns."""
    grid = {"seed": None}
    for num, line in lines:
        fields = line[1:].split()
        where = f"{path}:{num}"
        key = fields[0] if fields else ""
        if key in ("x", "y"):
            grid[key] = _axis(fields, where)
        elif key == "seed":
            grid["seed"] = {k: _number(v, where) for k, v in _pairs(fields[1:], where).items()}
        elif key == "settings":
            grid["settings"] = _pairs(fields[1:], where)
        elif _THRESHOLD.search(line):
            found = _THRESHOLD.search(line)
            grid["threshold"] = _number(found.group(1), where)
            grid["min_periods"] = int(found.group(2))
        elif key in NAMES and "megno" in fields:
            grid["columns"] = fields
    missing = [what for what, key in (("'# x NAME FROM TO N'", "x"), ("'# y NAME FROM TO N'", "y"),
                                      ("'# settings ...'", "settings"),
                                      ("'# chaotic when megno > X after at least P periods'",
                                       "threshold"), ("the column names", "columns"))
               if key not in grid]
    if missing:
        raise InputError(f"{path}: not a grid of trivella --grid: no {missing[0]} line")
    if grid["x"]["name"] == grid["y"]["name"]:
        raise InputError(f"{path}: both axes are {grid['x']['name']}")
    wanted = [grid["x"]["name"], grid["y"]["name"], *COLUMNS]
    if grid["columns"] not in (wanted, wanted + list(ROTATION_COLUMNS)):
        raise InputError(f"{path}: the columns are '{' '.join(grid['columns'])}', expected "
                         f"'{' '.join(wanted)}' (then 'rotation kind digits' with --rotation)")
    return grid


def _cell(grid, fields, k, where):
    """The values of data line k (cell k in row order), checked against its place."""
    columns = grid["columns"]
    if len(fields) != len(columns):
        raise InputError(f"{where}: expected {len(columns)} fields ({' '.join(columns)}), "
                         f"got {len(fields)}")
    row = dict(zip(columns[2:], fields[2:]))
    nx = grid["x"]["n"]
    for token, axis, i in ((fields[0], grid["x"], k % nx), (fields[1], grid["y"], k // nx)):
        value, expected = _number(token, where), axis["values"][i]
        scale = max(abs(axis["from"]), abs(axis["to"]), 1e-30)
        if not abs(value - expected) <= 1e-6 * scale:
            raise InputError(f"{where}: {axis['name']} {token} is not the coordinate of cell "
                             f"{k + 1} ({expected:.9g}); is the header from another grid?")
    if row["verdict"] not in VERDICTS:
        raise InputError(f"{where}: verdict '{row['verdict']}' is not one of "
                         f"{', '.join(VERDICTS)}")
    if "kind" in row and row["kind"] not in KINDS:
        raise InputError(f"{where}: kind '{row['kind']}' is not one of {', '.join(KINDS)}")
    return {name: row[name] if name in ("verdict", "kind") else _number(row[name], where)
            for name in row}


def read_grid(text, path):
    """Parse grid.txt: the header's record plus, per cell, arrays of shape (n_y, n_x) (row 0 at
    the first y): megno, lyapunov, periods, rotation, digits (NaN where absent), verdict and kind
    ('' for a cell the file does not reach), and `count`, the cells it holds."""
    lines = [(num, line) for num, line in enumerate(text.splitlines(), 1) if line.strip()]
    first = next((k for k, (_, line) in enumerate(lines) if not line.startswith("#")),
                 len(lines))
    grid = read_header(lines[:first], path)
    nx, ny = grid["x"]["n"], grid["y"]["n"]
    data = lines[first:]
    if data and not text.endswith("\n"):
        # The program writes each line whole; a run killed mid-write leaves a piece of one.
        warn(f"{path}:{data[-1][0]}: the last line is cut short; it is left out")
        data = data[:-1]
    stray = next((num for num, line in data if line.startswith("#")), None)
    if stray is not None:
        raise InputError(f"{path}:{stray}: a header line among the cells")
    if len(data) > nx * ny:
        raise InputError(f"{path}: {len(data)} cells, the header says {nx} x {ny} = {nx * ny}")
    shape = (ny, nx)
    for name in ("megno", "lyapunov", "periods", "rotation", "digits"):
        grid[name] = np.full(shape, np.nan)
    grid["verdict"] = np.full(shape, "", dtype="U9")
    grid["kind"] = np.full(shape, "", dtype="U11")
    for k, (num, line) in enumerate(data):
        cell = _cell(grid, line.split(), k, f"{path}:{num}")
        for name, value in cell.items():
            grid[name][k // nx, k % nx] = value
    grid["count"] = len(data)
    grid["rotation_columns"] = len(grid["columns"]) > 2 + len(COLUMNS)
    return grid
