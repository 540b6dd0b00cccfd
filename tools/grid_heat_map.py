"""The heat map of RESULT/grid.txt for plot_section.py: every cell of the grid in the colour of
its mean MEGNO (on the log scale of chaos_colors, the threshold marked on the bar), of its
Lyapunov exponent or of its rotation number. Cells without a value are neutral grey, cells the
file does not reach (an interrupted run) are left blank."""
import os

import numpy as np

import chaos_colors
from grid_file import read_grid
from section_files import InputError, read_text, warn

FIGSIZE = (8.0, 6.5)  # inches
DPI = 100
UNDECIDED = "0.8"  # light grey: a value too young for a verdict, or no rotation number
FAILED = "0.45"  # dark grey: the integration stopped
LABELS = {"phi0": "phi0 [rad]", "l0": "l0 [same unit as L]"}  # constants go by their name
QUANTITIES = {"megno": f"Mean MEGNO {chaos_colors.MEAN_Y}", "lyapunov": "Lyapunov exponent",
              "rotation": "Rotation number"}


def current_grid(workdir):
    """RESULT/grid.txt of workdir when it holds the directory's latest result (there is no
    lL.txt, or one not newer), else None."""
    result = os.path.join(workdir, "RESULT")
    path, lL = os.path.join(result, "grid.txt"), os.path.join(result, "lL.txt")
    if not os.path.isfile(path):
        return None
    if os.path.exists(lL) and os.path.getmtime(lL) > os.path.getmtime(path):
        return None
    return path


def coloring_of(color, grid, path):
    """The quantity that --color asks for; InputError for one a grid cannot show."""
    coloring = {None: "megno", "chaos": "megno"}.get(color, color)
    if coloring not in QUANTITIES:
        raise InputError(f"--color {color} is for section maps; {path} is coloured by megno "
                         "(the default), lyapunov or rotation")
    if coloring == "rotation" and not grid["rotation_columns"]:
        raise InputError(f"{path} has no rotation columns (--color rotation needs a run of "
                         "trivella --grid ... --rotation)")
    return coloring


def _scale(grid, coloring):
    """(values, cells to colour, norm, colour map) of the quantity."""
    from matplotlib.colors import LogNorm, Normalize
    decided = np.isin(grid["verdict"], ("regular", "chaotic"))
    if coloring == "rotation":
        values = grid["rotation"]
        shown = np.isin(grid["kind"], ("circulating", "librating")) & np.isfinite(values)
        lo, hi = (values[shown].min(), values[shown].max()) if shown.any() else (0.0, 1.0)
        return values, shown, Normalize(lo - 0.5 * (lo == hi), hi + 0.5 * (lo == hi)), "viridis"
    values = grid[coloring]
    shown = decided & np.isfinite(values)
    if coloring == "megno":
        top = max([10.0 * grid["threshold"], *values[shown]])
        return values, shown, chaos_colors.megno_norm(grid["threshold"], top), "coolwarm"
    positive = values[shown & (values > 0.0)]
    lo, hi = (positive.min(), positive.max()) if positive.size else (1e-6, 1.0)
    if lo == hi:
        lo, hi = lo / 10.0, hi * 10.0
    return np.maximum(values, lo), shown, LogNorm(lo, hi, clip=True), "magma"


def _neutral_cells(grid, coloring, shown):
    """[(cells, colour, legend label)] of the cells drawn grey, those present only."""
    verdict = grid["verdict"]
    failed = verdict == "failed"
    if coloring == "rotation":
        groups = [(~shown & (verdict != "") & ~failed, UNDECIDED, "no rotation number"),
                  (failed, FAILED, "failed: the integration stopped")]
    else:
        groups = [(verdict == "undecided", UNDECIDED,
                   f"undecided: fewer than {grid['min_periods']} periods"),
                  (failed, FAILED, "failed: the integration stopped")]
    return [(cells, colour, f"{label} ({cells.sum()} cells)")
            for cells, colour, label in groups if cells.any()]


def _extent(axis):
    """The axis's edges, each cell centred on its coordinate: (first edge, last edge)."""
    v = axis["values"]
    half = 0.05 * max(abs(v[0]), 1.0) if axis["n"] == 1 else 0.5 * (v[-1] - v[0]) / (axis["n"] - 1)
    return v[0] - half, v[-1] + half


def _single(text):
    """A number of the file, which holds single-precision values to 9 digits, as the shortest
    decimal that gives the same single-precision value (0.400000006 reads 0.4)."""
    if text.isdigit():
        return text
    try:
        return str(np.float32(text))
    except ValueError:
        return text


def title(grid, coloring):
    """What is drawn over which axes and how many cells; the method's settings; the constants
    but the axes' own, and where the cells start when an axis is a constant."""
    x, y = grid["x"]["name"], grid["y"]["name"]
    total = grid["x"]["n"] * grid["y"]["n"]
    cells = f"{grid['x']['n']} × {grid['y']['n']} cells" if grid["count"] == total else (
        f"{grid['count']} of {total} cells (the run was interrupted)")
    settings = {k: _single(v) for k, v in grid["settings"].items() if k not in (x, y)}
    method = ["precise method"] + [f"{k} = {settings.pop(k)}" for k in ("n_points", "tol", "L")
                                   if k in settings] + [settings.pop("direction", "forward")]
    constants = [f"{k} = {v}" for k, v in settings.items()]
    if grid["seed"]:
        start = [f"{k} = {v:g}" for k, v in grid["seed"].items() if k not in (x, y)]
        if start:
            constants.append("every cell from " + ", ".join(start))
    return "\n".join([f"{QUANTITIES[coloring]} over {x} × {y}, {cells}", ", ".join(method),
                      ", ".join(constants)])


def draw_grid(grid, coloring, out_path):
    """Draws the heat map of `grid` (read by grid_file.read_grid) to out_path."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from matplotlib.cm import ScalarMappable
    from matplotlib.colors import to_rgba
    from matplotlib.patches import Patch

    values, shown, norm, cmap_name = _scale(grid, coloring)
    cmap = plt.get_cmap(cmap_name)
    rgba = np.zeros(values.shape + (4,))  # transparent: a cell the file does not reach
    rgba[shown] = cmap(norm(values[shown]))
    neutral = _neutral_cells(grid, coloring, shown)
    for cells, colour, _ in neutral:
        rgba[cells] = to_rgba(colour)
    fig, ax = plt.subplots(figsize=FIGSIZE, dpi=DPI, layout="constrained")
    (x0, x1), (y0, y1) = _extent(grid["x"]), _extent(grid["y"])
    ax.imshow(rgba, origin="lower", extent=(x0, x1, y0, y1), aspect="auto",
              interpolation="nearest")
    ax.set_xlim(min(x0, x1), max(x0, x1))
    ax.set_ylim(min(y0, y1), max(y0, y1))
    for axis, set_label, set_ticks in ((grid["x"], ax.set_xlabel, ax.set_xticks),
                                       (grid["y"], ax.set_ylabel, ax.set_yticks)):
        set_label(LABELS.get(axis["name"], axis["name"]))
        if axis["n"] == 1:
            set_ticks([axis["values"][0]])
    bar = fig.colorbar(ScalarMappable(norm=norm, cmap=cmap), ax=ax, pad=0.02)
    if coloring == "megno":
        threshold = grid["threshold"]
        ticks = sorted({t for t in (1, 2, threshold, 10, 100, 1000, 10000) if t <= norm.vmax})
        bar.set_ticks(ticks, labels=[f"{t:g}" for t in ticks])
        bar.ax.axhline(threshold, color="black", linewidth=1.5)
        bar.set_label(f"mean MEGNO {chaos_colors.MEAN_Y} (log scale); chaotic above "
                      f"{threshold:g}, the black line")
    else:
        bar.set_label("finite-time Lyapunov exponent (log scale)" if coloring == "lyapunov"
                      else "rotation number")
    handles = [Patch(facecolor=colour, edgecolor="0.3", label=label)
               for _, colour, label in neutral]
    missing = grid["x"]["n"] * grid["y"]["n"] - grid["count"]
    if missing:
        handles.append(Patch(facecolor="white", edgecolor="0.3",
                             label=f"blank: not computed ({missing} cells)"))
    if handles:
        ax.legend(handles=handles, loc="upper center", bbox_to_anchor=(0.5, -0.1),
                  ncol=min(3, len(handles)), fontsize="small", frameon=False)
    ax.set_title(title(grid, coloring), fontsize="medium")
    try:
        fig.savefig(out_path, dpi=DPI)
    finally:
        plt.close(fig)


def plot_grid(path, out_path, color):
    """Reads grid.txt at `path` and draws it to out_path; InputError for what cannot be."""
    grid = read_grid(read_text(path), path)
    coloring = coloring_of(color, grid, path)
    total = grid["x"]["n"] * grid["y"]["n"]
    if grid["count"] == 0:
        raise InputError(f"{path}: no cell yet; there is nothing to draw")
    if grid["count"] < total:
        warn(f"{path} has {grid['count']} of {total} cells (run stopped early?); the others "
             "are left blank")
    try:
        draw_grid(grid, coloring, out_path)
    except ImportError:
        raise InputError("matplotlib is not available (install it with: "
                         "apt-get install python3-matplotlib)") from None
    except (OSError, ValueError) as e:
        raise InputError(f"{out_path}: cannot write picture ({e})") from None
