"""Chaos colouring for plot_section.py.

Parses RESULT/chaos.txt (the chaos indicator of each condition) and
RESULT/run_info.txt (how the points were made), and draws the section map
with each condition coloured by its mean MEGNO and marked by its verdict.
Parsers take the file's text and raise ValueError with a message for the user.
"""
import math
import re

VERDICTS = ("regular", "chaotic", "undecided")  # undecided: too few points for a period
SHAPES = {"regular": "o", "chaotic": "X"}  # marker at the start of an orbit, by verdict
MEGNO_FLOOR = 1.0  # bottom of the colour scale; stable periodic orbits (MEGNO -> 0) sit here
# The mean MEGNO in math type: the text font draws ⟨ ⟩ so thin that they read as ( ).
MEAN_Y = r"$\langle Y \rangle$"
NO_INDICATOR = "0.6"  # grey, for conditions without a line in chaos.txt or without a verdict
_THRESHOLD = re.compile(r"chaotic when megno > ([-+0-9.eE]+)")


def read_run_info(text):
    """Return the 'key value' lines of run_info.txt as a dict of strings."""
    info = {}
    for line in text.splitlines():
        fields = line.split(None, 1)
        if len(fields) == 2:
            info[fields[0]] = fields[1].strip()
    return info


def read_chaos(text, path):
    """Parse chaos.txt: {'threshold': float, 'rows': [dict per condition line]}."""
    threshold, columns, rows = None, None, []
    for num, line in enumerate(text.splitlines(), 1):
        if line.startswith("#"):
            found = _THRESHOLD.search(line)
            if found:
                threshold = _number(found.group(1), path, num)
            elif line[1:].split()[:1] == ["condition"]:
                columns = line[1:].split()
            continue
        fields = line.split()
        if not fields:
            continue
        if columns is None:
            raise ValueError(f"{path}:{num}: a condition line before the '# condition' header")
        if len(fields) != len(columns):
            raise ValueError(f"{path}:{num}: expected {len(columns)} fields "
                             f"({' '.join(columns)}), got {len(fields)}")
        row = {name: _number(value, path, num) for name, value in
               zip(columns[:-1], fields[:-1])}
        if fields[-1] not in VERDICTS:
            raise ValueError(f"{path}:{num}: verdict '{fields[-1]}' is not one of "
                             f"{', '.join(VERDICTS)}")
        row["verdict"] = fields[-1]
        rows.append(row)
    if threshold is None or columns is None:
        raise ValueError(f"{path}: no '# chaotic when megno > X' or '# condition ...' header")
    missing = {"condition", "phi0", "l0", "megno"} - set(columns)
    if missing or columns[-1] != "verdict":
        raise ValueError(f"{path}: the header lacks {', '.join(sorted(missing)) or 'verdict'}")
    return {"threshold": threshold, "rows": rows}


def _number(token, path, num):
    try:
        return float(token)
    except ValueError:
        raise ValueError(f"{path}:{num}: '{token}' is not a number") from None


def match_conditions(chaos, ini, path):
    """Row of each condition of ini.txt in order (None past the end of chaos.txt).

    Raises ValueError when chaos.txt belongs to other conditions (a stale file).
    """
    conds = ini["conditions"]
    if len(chaos["rows"]) > len(conds):
        raise ValueError(f"{path}: {len(chaos['rows'])} conditions, ini.txt has {len(conds)}")
    for i, row in enumerate(chaos["rows"]):
        phi0, l0, _ = conds[i]
        # chaos.txt holds ini.txt's numbers rounded to single precision.
        same = all(math.isclose(a, b, rel_tol=1e-6, abs_tol=1e-9)
                   for a, b in ((row["phi0"], phi0), (row["l0"], l0)))
        if row["condition"] != i + 1 or not same:
            raise ValueError(f"{path}: line of condition {i + 1} does not match ini.txt "
                             f"(condition {row['condition']:g}, phi0 {row['phi0']:g}, "
                             f"l0 {row['l0']:g}); is it from another run?")
    return chaos["rows"] + [None] * (len(conds) - len(chaos["rows"]))


def megno_norm(threshold, top):
    """Colour scale: log MEGNO from MEGNO_FLOOR to the threshold fills the lower half, from
    the threshold to `top` the upper half, so the verdict is the colour's side of the middle."""
    from matplotlib.colors import FuncNorm
    import numpy as np
    lo, mid, hi = (math.log(v) for v in (MEGNO_FLOOR, threshold, top))

    def forward(x):
        y = np.log(np.clip(x, MEGNO_FLOOR, top))
        return np.where(y <= mid, 0.5 * (y - lo) / (mid - lo), 0.5 + 0.5 * (y - mid) / (hi - mid))

    def inverse(u):
        u = np.asarray(u, dtype=float)
        return np.exp(np.where(u <= 0.5, lo + 2.0 * u * (mid - lo),
                               mid + (2.0 * u - 1.0) * (hi - mid)))
    return FuncNorm((forward, inverse), vmin=MEGNO_FLOOR, vmax=top)


def draw_chaos(plt, fig, ax, groups, ini, rows, threshold):
    """Draws each condition's points in the colour of its MEGNO, its start marked by verdict."""
    from matplotlib.cm import ScalarMappable
    from matplotlib.lines import Line2D
    decided = [r for r in rows if r is not None and r["verdict"] in SHAPES]
    top = max([10.0 * threshold] + [r["megno"] for r in decided if math.isfinite(r["megno"])])
    norm, cmap = megno_norm(threshold, top), plt.get_cmap("coolwarm")
    for g, (phi0, l0, _), row in zip(groups, ini["conditions"], rows):
        known = row is not None and row["verdict"] in SHAPES
        colour = cmap(float(norm(row["megno"]))) if known else NO_INDICATOR
        ax.plot([p[0] for p in g], [p[1] for p in g], linestyle="none", marker=".",
                markersize=2, color=colour)
        if known and ini["L"] != 0.0:
            ax.plot(phi0 % (2.0 * math.pi), l0 / ini["L"], linestyle="none",
                    marker=SHAPES[row["verdict"]], markersize=7, color=colour,
                    markeredgecolor="black", markeredgewidth=0.8)
    bar = fig.colorbar(ScalarMappable(norm=norm, cmap=cmap), ax=ax, pad=0.02)
    ticks = sorted({t for t in (1, 2, threshold, 10, 100, 1000, 10000) if t <= top})
    bar.set_ticks(ticks, labels=[f"{t:g}" for t in ticks])
    bar.ax.axhline(threshold, color="black", linewidth=1.5)
    bar.set_label(f"mean MEGNO {MEAN_Y} (log scale); chaotic above {threshold:g}")
    handles = [Line2D([], [], linestyle="none", marker=SHAPES[v], markersize=7,
                      color="white", markeredgecolor="black",
                      label=f"{v}: {MEAN_Y} {'≤' if v == 'regular' else '>'} {threshold:g}")
               for v in SHAPES]
    periods = sorted({int(r["periods"]) for r in decided if "periods" in r})
    span = "" if not periods else f" after {periods[0]}" + (
        f"–{periods[-1]}" if len(periods) > 1 else "") + " periods"
    ax.legend(handles=handles, title=f"start of each orbit, verdict{span}",
              loc="upper center", bbox_to_anchor=(0.5, -0.1), ncol=2, fontsize="small",
              frameon=False)
