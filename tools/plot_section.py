#!/usr/bin/env python3
"""Draw the stroboscopic section map written by trivella.

Reads ini.txt and RESULT/lL.txt from a working directory and draws every
initial condition's section points (phi, l/L) in its own colour.
"""
import argparse
import math
import os
import sys

PROG = "plot_section"
FIGSIZE = (8.0, 6.0)  # inches
DPI = 100             # -> 800 x 600 pixels


class InputError(Exception):
    """A missing or malformed input file; the message is shown to the user."""


def warn(msg):
    print(f"{PROG}: warning: {msg}", file=sys.stderr)


def _read_text(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except FileNotFoundError:
        raise InputError(f"{path}: file not found") from None
    except OSError as e:
        raise InputError(f"{path}: cannot read ({e.strerror})") from None


def read_ini(path):
    """Parse ini.txt; return a dict with the run parameters and conditions.

    'conditions' is a list of (phi0, l0, file_name) tuples.
    """
    tokens = _read_text(path).split()
    pos = 0

    def take(kind, what):
        nonlocal pos
        if pos >= len(tokens):
            raise InputError(f"{path}: file ends early, expected {what}")
        tok = tokens[pos]
        pos += 1
        if kind is str:
            return tok
        try:
            return kind(tok)
        except ValueError:
            name = "an integer" if kind is int else "a number"
            raise InputError(f"{path}: token {pos} '{tok}' is not {name} "
                             f"(expected {what})") from None

    for _ in range(3):
        take(str, "a header label")
    ini = {"n_conditions": take(int, "the number of conditions"),
           "n_points": take(int, "the number of points per condition"),
           "h0": take(float, "h0"), "tol": take(float, "tol"),
           "eps": take(float, "eps")}
    take(str, "a label before L")
    take(str, "a label before L")
    ini["L"] = take(float, "L")
    if ini["n_conditions"] < 1:
        raise InputError(f"{path}: number of conditions must be at least 1")
    if ini["n_points"] < 0:
        raise InputError(f"{path}: number of points must not be negative")
    conds = []
    for i in range(1, ini["n_conditions"] + 1):
        what = f"condition {i} of {ini['n_conditions']}"
        take(str, f"the label of {what}")
        take(str, f"the label of {what}")
        take(int, f"the index of {what}")
        conds.append((take(float, f"phi of {what}"),
                      take(float, f"l of {what}"),
                      take(str, f"the file name of {what}")))
    ini["conditions"] = conds
    return ini


def read_points(path):
    """Parse lL.txt into a list of (phi, l/L) float pairs (may be non-finite)."""
    points = []
    for num, line in enumerate(_read_text(path).splitlines(), 1):
        fields = line.split()
        if not fields:
            continue
        try:
            if len(fields) != 2:
                raise ValueError
            points.append((float(fields[0]), float(fields[1])))
        except ValueError:
            raise InputError(f"{path}:{num}: expected two numbers, "
                             f"got '{line.strip()}'") from None
    return points


def split_by_condition(points, n_conditions, n_points):
    """Split points into n_conditions consecutive groups of n_points.

    Returns (groups, missing, extra): a short input leaves the last groups
    short or empty, lines beyond n_conditions * n_points are not used.
    """
    expected = n_conditions * n_points
    groups = [points[i * n_points:(i + 1) * n_points]
              for i in range(n_conditions)]
    return groups, max(0, expected - len(points)), max(0, len(points) - expected)


def drop_non_finite(groups):
    """Return (groups without non-finite points, number of points dropped)."""
    kept = [[p for p in g if math.isfinite(p[0]) and math.isfinite(p[1])]
            for g in groups]
    return kept, sum(len(g) for g in groups) - sum(len(g) for g in kept)


def draw(groups, ini, out_path):
    """Draw the section map to out_path; the format follows its extension."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    n = len(groups)
    cmap = plt.get_cmap("tab10" if n <= 10 else "turbo")
    fig, ax = plt.subplots(figsize=FIGSIZE, dpi=DPI, layout="constrained")
    for i, (g, (phi0, l0, _)) in enumerate(zip(groups, ini["conditions"])):
        colour = cmap(i) if n <= 10 else cmap(i / max(1, n - 1))
        ax.plot([p[0] for p in g], [p[1] for p in g], linestyle="none",
                marker=".", markersize=3, color=colour,
                label=f"φ0={phi0:.2f}, l0={l0:.2f}")
    ax.set_xlim(0.0, 2.0 * math.pi)
    ax.set_xticks([k * math.pi / 2 for k in range(5)])
    ax.set_xticklabels(["0", "π/2", "π", "3π/2", "2π"])
    ax.set_xlabel("φ")
    ax.set_ylabel("l / L")
    ax.set_title(f"Section map  (tol={ini['tol']:g}, eps={ini['eps']:g}, "
                 f"L={ini['L']:g})")
    ax.grid(True, alpha=0.3)
    ax.legend(loc="upper left", bbox_to_anchor=(1.01, 1.0), fontsize="small",
              markerscale=4, ncol=max(1, math.ceil(n / 25)), frameon=False)
    try:
        fig.savefig(out_path, dpi=DPI)
    finally:
        plt.close(fig)


def parse_args(argv):
    p = argparse.ArgumentParser(
        prog="plot_section.py",
        description="Draw the section map of a trivella run from "
                    "DIR/ini.txt and DIR/RESULT/lL.txt.")
    p.add_argument("workdir", nargs="?", default=".", metavar="DIR",
                   help="working directory of the run (default: current "
                        "directory)")
    p.add_argument("-o", "--output", metavar="FILE",
                   help="picture to write (default: DIR/RESULT/lL.png); the "
                        "format follows the extension: .png, .svg or .pdf; "
                        "a relative FILE is relative to the current directory")
    return p.parse_args(argv)


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    out = args.output or os.path.join(args.workdir, "RESULT", "lL.png")
    ext = os.path.splitext(out)[1].lower()
    try:
        if ext not in (".png", ".svg", ".pdf"):
            raise InputError(f"{out}: unsupported picture format "
                             "(use .png, .svg or .pdf)")
        if not os.path.isdir(args.workdir):
            raise InputError(f"{args.workdir}: no such directory")
        ini = read_ini(os.path.join(args.workdir, "ini.txt"))
        lL = os.path.join(args.workdir, "RESULT", "lL.txt")
        points = read_points(lL)
        n_c, n_p = ini["n_conditions"], ini["n_points"]
        groups, missing, extra = split_by_condition(points, n_c, n_p)
        if missing:
            warn(f"{lL} has {len(points)} of {n_c * n_p} points, {missing} "
                 "missing (run stopped early?); drawing what is there")
        if extra:
            warn(f"{lL} has {extra} more points than expected "
                 f"({n_c} x {n_p}); the extra points are ignored")
        groups, dropped = drop_non_finite(groups)
        if dropped:
            warn(f"skipped {dropped} non-finite points (inf/nan)")
        try:
            draw(groups, ini, out)
        except ImportError:
            raise InputError("matplotlib is not available (install it with: "
                             "apt-get install python3-matplotlib)") from None
        except (OSError, ValueError) as e:
            raise InputError(f"{out}: cannot write picture ({e})") from None
    except InputError as e:
        print(f"{PROG}: error: {e}", file=sys.stderr)
        return 1
    print(f"{PROG}: wrote {out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
