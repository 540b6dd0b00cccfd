#!/usr/bin/env python3
"""Draw the stroboscopic section map written by trivella.

Reads ini.txt and RESULT/lL.txt from a working directory and draws every
initial condition's section points (phi, l/L) in its own colour, or with
--color chaos in the colour of its chaos indicator from RESULT/chaos.txt, or with --color
rotation in the colour of its rotation number from RESULT/rotation.txt. After a run of
trivella --precise --periodic Q it marks each periodic orbit found by its kind; --periodic DIR
marks those of such a run over the map. A directory whose latest result is RESULT/grid.txt
(trivella --grid) gets its heat map instead.
"""
import argparse
import math
import os
import sys

import chaos_colors
import grid_heat_map
import periodic_marks
import rotation_colors
from section_files import (InputError, drop_non_finite, read_extras, read_ini,
                           read_points, split_by_condition, warn)

FIGSIZE = (8.0, 6.0)  # inches
DPI = 100             # -> 800 x 600 pixels
# The map's place in the figure, as fractions of it: the same for any number of conditions,
# so that maps of different runs compare at a glance. The right part holds the legend.
MAP_RECT = (0.08, 0.09, 0.62, 0.81)
KEY_RECT = (0.73, 0.09, 0.025, 0.81)  # the colour bar that replaces a long legend
MAX_LEGEND = 12  # more conditions than this get a colour bar instead of one entry each


def title(ini, info, coloured_by_chaos, periodic=False, coloured_by_rotation=False):
    """The picture's title: the method, L, tol and every constant set apart from its default
    (info: run_info.txt as a dict, or None for a classic run without one)."""
    what = ("Section map coloured by MEGNO " + chaos_colors.MEAN_Y if coloured_by_chaos
            else "Section map")
    if coloured_by_rotation:
        what = "Section map coloured by rotation number"
    if periodic:
        what = "Periodic orbits"
    info = info or {}
    tol = info.get("tol", ini["tol"])
    try:
        tol = float(tol)
    except ValueError:
        pass
    parts = [f"{info.get('method', 'classic')} method", f"L = {ini['L']:g}", f"tol = {tol:g}"]
    for name in info.get("changed", "none").split():
        if name != "none":
            parts.append(f"{name} = {_number_text(info.get(name, '?'))}")
    return f"{what}\n" + ", ".join(parts)


def _number_text(text):
    try:
        return f"{float(text):g}"
    except ValueError:
        return text


def draw(groups, ini, out_path, info=None, chaos=None, periodic=None, rotation=None,
         marks=None):
    """Draw the section map to out_path; the format follows its extension.

    chaos: None, or (rows, threshold) from chaos_colors to colour by MEGNO.
    periodic: None, or the (q, kind) rows of periodic_marks to mark periodic orbits.
    rotation: None, or the rows of rotation_colors to colour by rotation number.
    marks: None, or the orbits of periodic_marks.read_orbits to mark over the map.
    """
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    if periodic is not None:
        fig, ax = plt.subplots(figsize=FIGSIZE, dpi=DPI, layout="constrained")
        periodic_marks.draw_periodic(plt, ax, groups, periodic, ini)
    elif rotation is not None:
        fig, ax = plt.subplots(figsize=FIGSIZE, dpi=DPI, layout="constrained")
        rotation_colors.draw_rotation(plt, fig, ax, groups, rotation)
    elif chaos is None:
        fig = plt.figure(figsize=FIGSIZE, dpi=DPI)
        ax = fig.add_axes(MAP_RECT)
        draw_conditions(plt, fig, ax, groups, ini)
    else:
        fig, ax = plt.subplots(figsize=FIGSIZE, dpi=DPI, layout="constrained")
        chaos_colors.draw_chaos(plt, fig, ax, groups, ini, *chaos)
    if marks:
        periodic_marks.draw_marks(ax, marks)
    ax.set_xlim(0.0, 2.0 * math.pi)
    ax.set_xticks([k * math.pi / 2 for k in range(5)])
    ax.set_xticklabels(["0", "π/2", "π", "3π/2", "2π"])
    ax.set_xlabel("φ")
    ax.set_ylabel("l / L")
    ax.set_title(title(ini, info, chaos is not None, periodic is not None, rotation is not None),
                 fontsize="medium")
    ax.grid(True, alpha=0.3)
    try:
        fig.savefig(out_path, dpi=DPI)
    finally:
        plt.close(fig)


def draw_conditions(plt, fig, ax, groups, ini):
    """Each condition in its own colour. Up to MAX_LEGEND conditions are labelled by their
    start (phi0, l0/L: on the scale of the axis) in a legend; more get a colour bar of the
    condition numbers, which keeps the key as small as the map."""
    n = len(groups)
    many = n > MAX_LEGEND
    cmap = plt.get_cmap("turbo" if many else "tab10" if n <= 10 else "tab20")
    L = ini["L"]
    for i, (g, (phi0, l0, _)) in enumerate(zip(groups, ini["conditions"])):
        colour = cmap(i / max(1, n - 1)) if many else cmap(i)
        ax.plot([p[0] for p in g], [p[1] for p in g], linestyle="none",
                marker=".", markersize=3, color=colour,
                label=f"φ0 = {phi0:.3g}, l0/L = {l0 / L:.3g}")
    if not many:
        ax.legend(loc="upper left", bbox_to_anchor=(1.02, 1.0), fontsize="small",
                  markerscale=4, frameon=False, title="start of each condition")
        return
    from matplotlib.cm import ScalarMappable
    from matplotlib.colors import BoundaryNorm
    norm = BoundaryNorm([k + 0.5 for k in range(n + 1)], cmap.N)
    bar = fig.colorbar(ScalarMappable(norm=norm, cmap=cmap), cax=fig.add_axes(KEY_RECT))
    step = max(1, math.ceil(n / 10))
    bar.set_ticks(list(range(1, n + 1, step)))
    bar.set_label(f"condition (1 to {n}, in the order of ini.txt)")


def parse_args(argv):
    p = argparse.ArgumentParser(
        prog="plot_section.py",
        description="Draw the section map of a trivella run from "
                    "DIR/ini.txt and DIR/RESULT/lL.txt.")
    p.add_argument("workdir", nargs="?", default=".", metavar="DIR",
                   help="working directory of the run (default: current "
                        "directory)")
    p.add_argument("-o", "--output", metavar="FILE",
                   help="picture to write (default: DIR/RESULT/lL.png, or grid.png); the "
                        "format follows the extension: .png, .svg or .pdf; "
                        "a relative FILE is relative to the current directory")
    p.add_argument("--color", choices=("condition", "chaos", "rotation", "megno", "lyapunov"),
                   help="condition: one colour per condition (default); chaos: the "
                        "colour of its mean MEGNO from DIR/RESULT/chaos.txt, written by "
                        "trivella --precise --chaos; rotation: the colour of its rotation "
                        "number from DIR/RESULT/rotation.txt (trivella --precise --rotation). "
                        "A grid (DIR/RESULT/grid.txt, drawn to grid.png) is coloured by megno "
                        "(default), lyapunov or rotation")
    p.add_argument("--periodic", action="append", default=[], metavar="PDIR",
                   help="mark the periodic orbits of PDIR, a run of trivella --precise "
                        "--periodic Q at the same L, over the map (repeatable)")
    return p.parse_args(argv)


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    grid = grid_heat_map.current_grid(args.workdir)
    out = args.output or os.path.join(args.workdir, "RESULT", "grid.png" if grid else "lL.png")
    ext = os.path.splitext(out)[1].lower()
    try:
        if ext not in (".png", ".svg", ".pdf"):
            raise InputError(f"{out}: unsupported picture format "
                             "(use .png, .svg or .pdf)")
        if not os.path.isdir(args.workdir):
            raise InputError(f"{args.workdir}: no such directory")
        if grid:
            if args.periodic:
                raise InputError("--periodic marks orbits over a section map, not over "
                                 "RESULT/grid.txt")
            grid_heat_map.plot_grid(grid, out, args.color)
            print(f"plot_section: wrote {out}")
            return 0
        if args.color in ("megno", "lyapunov"):
            raise InputError(f"--color {args.color} draws RESULT/grid.txt of trivella --grid, "
                             f"which {args.workdir} does not hold")
        ini = read_ini(os.path.join(args.workdir, "ini.txt"))
        lL = os.path.join(args.workdir, "RESULT", "lL.txt")
        points = read_points(lL)
        n_c, n_p = ini["n_conditions"], ini["n_points"]
        periodic = periodic_marks.read_periodic(args.workdir)
        if periodic is not None:
            groups, missing, extra = periodic_marks.split_by_periods(points, periodic)
            n_p = "q"
        else:
            groups, missing, extra = split_by_condition(points, n_c, n_p)
        if missing:
            warn(f"{lL} has {len(points)} of {len(points) + missing} points, {missing} "
                 "missing (run stopped early?); drawing what is there")
        if extra:
            warn(f"{lL} has {extra} more points than expected "
                 f"({n_c} x {n_p}); the extra points are ignored")
        if ini["L"] == 0.0:
            raise InputError(f"{args.workdir}/ini.txt: L = 0, so every l / L is inf or nan: "
                             "there is nothing to draw")
        groups, dropped = drop_non_finite(groups)
        if dropped:
            warn(f"skipped {dropped} non-finite points (inf/nan)")
        if not any(groups):
            raise InputError(f"{lL}: no finite point to draw")
        info, chaos = read_extras(args.workdir, ini, args.color)
        rotation = (rotation_colors.read_rotation_rows(args.workdir, ini)
                    if args.color == "rotation" else None)
        marks = periodic_marks.read_orbits(args.periodic, ini["L"]) if args.periodic else None
        try:
            draw(groups, ini, out, info, chaos, periodic, rotation, marks)
        except ImportError:
            raise InputError("matplotlib is not available (install it with: "
                             "apt-get install python3-matplotlib)") from None
        except (OSError, ValueError) as e:
            raise InputError(f"{out}: cannot write picture ({e})") from None
    except InputError as e:
        print(f"plot_section: error: {e}", file=sys.stderr)
        return 1
    print(f"plot_section: wrote {out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
