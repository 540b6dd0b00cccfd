"""The input files of plot_section.py: ini.txt, RESULT/lL.txt, and the optional
RESULT/run_info.txt and RESULT/chaos.txt. Every problem raises InputError with a
one-line message for the user."""
import math
import os
import sys

import chaos_colors


class InputError(Exception):
    """A missing or malformed input file; the message is shown to the user."""


def warn(msg):
    print(f"plot_section: warning: {msg}", file=sys.stderr)


def read_text(path):
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
    tokens = read_text(path).split()
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
    for num, line in enumerate(read_text(path).splitlines(), 1):
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


def read_extras(workdir, ini, color):
    """run_info.txt (None when absent: the classic method) and, for --color chaos, the
    (rows, threshold) of chaos.txt."""
    result = os.path.join(workdir, "RESULT")
    info_path = os.path.join(result, "run_info.txt")
    info = None
    # A precise run writes run_info.txt after its last point; a later classic run leaves it
    # in place but rewrites lL.txt after it.
    if os.path.exists(info_path):
        if os.path.getmtime(info_path) >= os.path.getmtime(os.path.join(result, "lL.txt")):
            info = chaos_colors.read_run_info(read_text(info_path))
        else:
            print(f"warning: {info_path} is older than lL.txt: it belongs to an earlier run",
                  file=sys.stderr)
    if color != "chaos":
        return info, None
    path = os.path.join(result, "chaos.txt")
    if not os.path.exists(path):
        raise InputError(f"{path}: file not found (--color chaos needs a run of "
                         "trivella --precise --chaos)")
    if info is None or info.get("chaos") != "yes":
        raise InputError(f"{path} belongs to an earlier run, not to the points in lL.txt "
                         "(--color chaos needs a run of trivella --precise --chaos)")
    try:
        chaos = chaos_colors.read_chaos(read_text(path), path)
        rows = chaos_colors.match_conditions(chaos, ini, path)
    except ValueError as e:
        raise InputError(str(e)) from None
    if None in rows:
        warn(f"{path} has {rows.index(None)} of {len(rows)} conditions (run stopped "
             "early?); the others are drawn grey")
    return info, (rows, chaos["threshold"])
