"""Rotation-number colouring for plot_section.py: RESULT/rotation.txt (a run of trivella
--precise --rotation) read and matched to the conditions of ini.txt, and the section map drawn
with each condition's points in the colour of its rotation number.
"""
import math
import os

import chaos_colors
from section_files import InputError, read_text, warn

COLUMNS = ["condition", "phi0", "l0", "rotation", "kind", "digits", "points", "verdict"]
KINDS = ("circulating", "librating")
NO_ROTATION = "0.6"  # grey, for conditions without a rotation number
CMAP = "turbo"  # sequential: circulating numbers have any size and sign


def read_rotation(text, path):
    """Parse rotation.txt: a dict per condition line, 'rotation' NaN where it was undecided.
    Raises ValueError with a message naming the line."""
    rows = []
    for num, line in enumerate(text.splitlines(), 1):
        fields = line.split()
        if not fields or line.startswith("#"):
            continue
        if len(fields) != len(COLUMNS):
            raise ValueError(f"{path}:{num}: expected {len(COLUMNS)} fields "
                             f"({' '.join(COLUMNS)}), got {len(fields)}")
        row = dict(zip(COLUMNS, fields))
        for name in ("condition", "phi0", "l0", "rotation", "digits"):
            try:
                row[name] = float(row[name])
            except ValueError:
                raise ValueError(f"{path}:{num}: {name} '{row[name]}' is not a number") from None
        if row["kind"] not in KINDS + ("none",):  # none: undecided, too few points
            raise ValueError(f"{path}:{num}: kind '{row['kind']}' is not one of "
                             f"{', '.join(KINDS)}")
        rows.append(row)
    return rows


def read_rotation_rows(workdir, ini):
    """The rotation.txt row of each condition of ini.txt (None past the end of the file)."""
    path = os.path.join(workdir, "RESULT", "rotation.txt")
    if not os.path.exists(path):
        raise InputError(f"{path}: file not found (--color rotation needs a run of "
                         "trivella --precise --rotation)")
    try:
        rows = chaos_colors.match_conditions({"rows": read_rotation(read_text(path), path)},
                                             ini, path)
    except ValueError as e:
        raise InputError(str(e)) from None
    if None in rows:
        warn(f"{path} has {rows.index(None)} of {len(rows)} conditions (run stopped "
             "early?); the others are drawn grey")
    return rows


def rotation_norm(rows):
    """The colour scale: from the smallest rotation number to the largest."""
    from matplotlib.colors import Normalize
    known = [r["rotation"] for r in rows if r is not None and math.isfinite(r["rotation"])]
    lo, hi = (min(known), max(known)) if known else (0.0, 1.0)
    if lo == hi:
        lo, hi = lo - 0.5, hi + 0.5
    return Normalize(vmin=lo, vmax=hi)


def rotation_colours(rows, norm, cmap):
    """The colour of each condition: its rotation number's on the scale, grey without one."""
    return [cmap(float(norm(r["rotation"])))
            if r is not None and math.isfinite(r["rotation"]) else NO_ROTATION for r in rows]


def draw_rotation(plt, fig, ax, groups, rows):
    """Draws each condition's points in the colour of its rotation number, with the bar."""
    from matplotlib.cm import ScalarMappable
    norm, cmap = rotation_norm(rows), plt.get_cmap(CMAP)
    for g, colour in zip(groups, rotation_colours(rows, norm, cmap)):
        ax.plot([p[0] for p in g], [p[1] for p in g], linestyle="none", marker=".",
                markersize=2, color=colour)
    bar = fig.colorbar(ScalarMappable(norm=norm, cmap=cmap), ax=ax, pad=0.02)
    bar.set_label("rotation number (turns per period; librating: about the island's centre, "
                  "mod 1)", fontsize="small")
