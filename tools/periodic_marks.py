"""The periodic orbits of a run of trivella --precise --periodic Q, for plot_section.py: drawn
as the run's own map, or (--periodic DIR) as marks over the map of another run.

RESULT/periodic.txt has one line per condition with the orbit's minimal period q and its
kind; RESULT/lL.txt holds the q points of each converged orbit, in condition order.
"""
import math
import os

from section_files import InputError, read_ini, read_points, read_text

MARKERS = {"elliptic": "o", "hyperbolic": "x", "parabolic": "D"}


def read_periodic(workdir):
    """[(q, kind)] per condition from RESULT/periodic.txt, or None when the points of lL.txt
    are not those of a periodic run (no periodic.txt, or one older than lL.txt)."""
    result = os.path.join(workdir, "RESULT")
    path = os.path.join(result, "periodic.txt")
    lL = os.path.join(result, "lL.txt")
    if not os.path.exists(path) or not os.path.exists(lL):
        return None
    if os.path.getmtime(path) < os.path.getmtime(lL):
        return None
    rows = []
    for number, line in enumerate(read_text(path).splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        words = line.split()
        try:
            q = int(words[1])
            kind = words[13]
        except (IndexError, ValueError):
            raise InputError(f"{path}:{number}: not a line of trivella --periodic") from None
        rows.append((q if kind in MARKERS else 0, kind))
    return rows


def split_by_periods(points, rows):
    """The points of each condition: q of them for a converged orbit, none otherwise.
    Returns (groups, missing, extra) as split_by_condition does."""
    groups, at = [], 0
    for q, _ in rows:
        groups.append(points[at:at + q])
        at += q
    return groups, max(0, at - len(points)), max(0, len(points) - at)


def draw_periodic(plt, ax, groups, rows, ini):
    """Each orbit marked by its kind (circle elliptic, cross hyperbolic, diamond parabolic),
    in the colour of its condition; conditions that found nothing are left out."""
    n = len(groups)
    cmap = plt.get_cmap("tab10" if n <= 10 else "turbo")
    for i, (g, (q, kind), (phi0, l0, _)) in enumerate(zip(groups, rows, ini["conditions"])):
        if not g:
            continue
        colour = cmap(i) if n <= 10 else cmap(i / max(1, n - 1))
        marker = MARKERS[kind]
        ax.plot([p[0] for p in g], [p[1] for p in g], linestyle="none", marker=marker,
                markersize=7, markerfacecolor="none" if marker != "x" else colour,
                markeredgecolor=colour, markeredgewidth=1.5,
                label=f"φ0={phi0:.2f}, l0={l0:.2f}: period {q}, {kind}")
    ax.legend(loc="upper left", bbox_to_anchor=(1.01, 1.0), fontsize="small",
              ncol=max(1, -(-n // 25)), frameon=False)


def read_orbits(workdirs, L):
    """The distinct orbits [(q, kind, points)] of the periodic runs in `workdirs`, for marks
    over another run's map of the same L. One orbit found from several guesses counts once."""
    orbits = {}
    for workdir in workdirs:
        rows = read_periodic(workdir)
        if rows is None:
            raise InputError(f"{workdir}: no RESULT/periodic.txt of the points in its lL.txt "
                             "(a run of trivella --precise --periodic Q)")
        ini = read_ini(os.path.join(workdir, "ini.txt"))
        if ini["L"] != L:
            raise InputError(f"{workdir}: L = {ini['L']:g}, the map's is {L:g}")
        groups, missing, _ = split_by_periods(read_points(os.path.join(workdir, "RESULT",
                                                                       "lL.txt")), rows)
        if missing:
            raise InputError(f"{workdir}/RESULT/lL.txt lacks {missing} points of periodic.txt")
        for (q, kind), g in zip(rows, groups):
            if g:
                start = min((round(p[0], 5) % round(2 * math.pi, 5), round(p[1], 5)) for p in g)
                orbits[(q, start)] = (q, kind, g)
    return [orbits[key] for key in sorted(orbits)]


def draw_marks(ax, orbits):
    """Marks over a coloured map, black edged in white to show on any colour: a filled circle
    on each point of an elliptic orbit, a cross on a hyperbolic one, a diamond on a parabolic
    one; the legend names the kinds and the periods there are."""
    from matplotlib.lines import Line2D
    for _, kind, g in orbits:
        ax.plot([p[0] for p in g], [p[1] for p in g], linestyle="none",
                marker={"elliptic": "o", "hyperbolic": "X", "parabolic": "D"}[kind],
                markersize=6 if kind == "elliptic" else 7, color="black",
                markeredgecolor="white", markeredgewidth=0.8,
                zorder=3)
    handles = []
    for kind, marker in (("elliptic", "o"), ("hyperbolic", "X"), ("parabolic", "D")):
        periods = sorted({q for q, k, _ in orbits if k == kind})
        if periods:
            handles.append(Line2D([], [], linestyle="none", marker=marker, markersize=7,
                                  color="black", markeredgecolor="white",
                                  label=f"{kind}, period {_span(periods)}"))
    ax.legend(handles=handles, loc="upper center", bbox_to_anchor=(0.5, -0.1), ncol=3,
              fontsize="small", frameon=False, title="periodic orbits")


def _span(periods):
    return f"{periods[0]}" if len(periods) == 1 else f"{periods[0]}–{periods[-1]}"
