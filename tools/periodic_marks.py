"""The periodic orbits of a run of trivella --precise --periodic Q, for plot_section.py.

RESULT/periodic.txt has one line per condition with the orbit's minimal period q and its
kind; RESULT/lL.txt holds the q points of each converged orbit, in condition order.
"""
import os

from section_files import InputError, read_text

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
