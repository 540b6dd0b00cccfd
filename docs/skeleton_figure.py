#!/usr/bin/env python3
"""Draw docs/skeleton.png: the L = 5 section map with its periodic orbits marked.

Usage: docs/skeleton_figure.py TRIVELLA [OUTPUT]

Runs the program in a temporary directory: the 42 conditions of example/chaos with
--precise --rotation, then --precise --periodic Q for Q = 1..5 from a grid of guesses,
and marks each distinct orbit found: elliptic as circles, hyperbolic as crosses.
"""
import math
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
L = 5.0


def run(program, work, ini, *options):
    with open(os.path.join(work, "ini.txt"), "w") as f:
        f.write(ini)
    subprocess.run([program, "-q", "--precise", *options, work], check=True)


def read_rows(path):
    with open(path) as f:
        return [line.split() for line in f if not line.startswith("#")]


def main():
    program = sys.argv[1]
    output = sys.argv[2] if len(sys.argv) > 2 else os.path.join(HERE, "skeleton.png")
    work = tempfile.mkdtemp()
    try:
        os.mkdir(os.path.join(work, "RESULT"))
        with open(os.path.join(HERE, "..", "example", "chaos", "ini.txt")) as f:
            example = f.read().replace("./RESULT/", work + "/RESULT/")
        run(program, work, example, "--rotation")
        with open(os.path.join(work, "RESULT", "lL.txt")) as f:
            background = [tuple(map(float, line.split())) for line in f]
        guesses = [(0.35 + 0.7 * i, L * (-0.9 + 0.3 * j)) for i in range(9) for j in range(7)]
        ini = "skeleton guesses grid\n%d 1 0.1 1e-12 1e-6\nreference L\n%g\n" % (len(guesses), L)
        ini += "".join("g %d 0 %.6f %.6f %s/RESULT/g.txt\n" % (k + 1, p, l, work)
                       for k, (p, l) in enumerate(guesses))
        orbits = {}
        for q in range(1, 6):
            run(program, work, ini, "--periodic", str(q))
            with open(os.path.join(work, "RESULT", "lL.txt")) as f:
                points = [tuple(map(float, line.split())) for line in f]
            # lL.txt holds the q points of each converged orbit, in the order of periodic.txt.
            at = 0
            for row in read_rows(os.path.join(work, "RESULT", "periodic.txt")):
                q = int(row[1])
                if row[13] in ("elliptic", "hyperbolic"):
                    # One orbit found from several guesses starts at different points.
                    key = (q, min((round(p[0], 5) % round(2 * math.pi, 5), round(p[1], 5))
                                  for p in points[at:at + q]))
                    orbits[key] = (row[13], points[at:at + q])
                    at += q
    finally:
        shutil.rmtree(work)

    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, ax = plt.subplots(figsize=(8.0, 6.0), dpi=100, layout="constrained")
    ax.scatter([p[0] for p in background], [p[1] for p in background], s=0.3, c="0.55",
               linewidths=0)
    seen = set()
    for (q, _), (kind, points) in sorted(orbits.items()):
        colour = plt.cm.tab10((q - 1) % 10)
        label = "period %d, %s" % (q, kind)
        style = ({"marker": "o", "facecolors": "none", "edgecolors": [colour]}
                 if kind == "elliptic" else {"marker": "x", "c": [colour]})
        ax.scatter([p[0] for p in points], [p[1] for p in points], s=36, linewidths=1.4,
                   label=None if label in seen else label, zorder=3, **style)
        seen.add(label)
    ax.set_xlim(0.0, 2.0 * math.pi)
    ax.set_xticks([k * math.pi / 2 for k in range(5)])
    ax.set_xticklabels(["0", "π/2", "π", "3π/2", "2π"])
    ax.set_xlabel("φ")
    ax.set_ylabel("l / L")
    ax.set_title("Skeleton of the section map: periodic orbits of period 1 to 5  (L=5)")
    ax.legend(loc="upper right", fontsize=7, ncol=2, framealpha=0.9)
    ax.grid(True, alpha=0.3)
    fig.savefig(output, dpi=100)
    plt.close(fig)
    print("%d orbits marked; written %s" % (len(orbits), output))


if __name__ == "__main__":
    main()
