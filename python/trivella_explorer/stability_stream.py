"""The cells of a stability request computed with the precise method and the chaos indicator,
each streamed back as newline-delimited JSON as soon as the engine has its indicator. The run
stops, as an orbit request does, when the client goes away, the time limit passes or the
server stops; it takes the server's slots like one, leaving one core to the orbits."""

import math

import trivella

from .orbit_stream import ChunkedLines, claim_cores, end_run, stop_rule


def _finite(x):
    return x if math.isfinite(x) else None


def verdict(megno, chaotic, n_points):
    """The program's verdict of a complete cell: chaotic, or too few periods (or no indicator)
    for one, or regular."""
    if chaotic:
        return "chaotic"
    if n_points - 1 < trivella.PERIODS_FOR_VERDICT or not math.isfinite(megno):
        return "undecided"
    return "regular"


def _cell_line(cell, megno, lyapunov, kind):
    i, j, phi0, l0 = cell
    return {"cell": [i, j], "seed": [phi0, l0], "megno": _finite(megno),
            "lyapunov": _finite(lyapunov), "verdict": kind}


def stream_stability(handler, request):
    """Answers `request`, checked by parse_stability_request, on `handler`'s connection: 200
    with {"n_points": n} (the points each cell is computed with), one {"cell": [i, j], "seed",
    "megno", "lyapunov", "verdict"} per cell in row order, and {"done": true, "stopped": why or
    ""}; 503 when no core frees up within the time limit. A failed cell is reported with
    verdict "failed" and the next one computed; a stop ends the request."""
    server = handler.server
    cells = request["cells"]
    n_points = request["n_points"]
    # With more than one core, one stays free so that clicked orbits start at once.
    wanted = min(len(cells), max(1, server.slot_count - 1))
    threads = claim_cores(handler, wanted)
    if not threads:
        return
    out = ChunkedLines(handler)
    keep_going, why_stopped = stop_rule(handler)

    settings = {k: request[k] for k in ("tol", "h0", "L", "params")}
    server.count_run(+1)
    answered = False
    try:
        out.line({"n_points": n_points})
        first = 0
        while first < len(cells):
            rest = cells[first:]

            def on_end(condition, megno, lyapunov, chaotic, rest=rest):
                out.line(_cell_line(rest[condition - 1], megno, lyapunov,
                                    verdict(megno, chaotic, n_points)))

            outcome = trivella.stream_map(
                [c[2] for c in rest], [c[3] for c in rest], n_points, method="precise",
                chaos=True, threads=threads, on_points=lambda condition, points: None,
                on_end=on_end, keep_going=keep_going, **settings)
            if outcome.end != "failed":
                break
            out.line(_cell_line(rest[outcome.condition - 1], math.nan, math.nan, "failed"))
            first += outcome.condition
        out.line({"done": True, "stopped": "; ".join(why_stopped)})
        answered = True
    except OSError:  # the client went away while cells were being written
        pass
    finally:
        end_run(server, threads)
    if answered:
        out.finish_quietly()
