"""The rotation numbers of a request's precise orbits, sent after their points: each orbit is
followed a second time, with the same settings, by trivella.rotation_numbers (the run is
deterministic, so these are the very points streamed)."""

import math
from concurrent.futures import ThreadPoolExecutor

import trivella


def rotation_record(row):
    """{"rotation", "circulating", "digits"} of one ROTATION_DTYPE row; None for an orbit too
    short to have one."""
    if not math.isfinite(row["rotation"]):
        return None
    return {"rotation": float(row["rotation"]), "circulating": bool(row["circulating"]),
            "digits": float(row["digits"])}


def send_rotations(request, orbits, out, keep_going, threads):
    """Writes {"orbit": k, "rotation": record or None} for each orbit k of `orbits`, in order,
    computing `threads` at once; stops writing once keep_going() says no."""
    def measure(k):
        phi, l = request["seeds"][k]
        return trivella.rotation_numbers(
            [phi], [l], request["n_points"], L=request["L"], h0=request["h0"],
            tol=request["tol"], params=request["params"], keep_going=keep_going)[0]

    with ThreadPoolExecutor(max_workers=max(1, threads)) as pool:
        for k, row in zip(orbits, pool.map(measure, orbits)):
            if not keep_going():
                break
            out.line({"orbit": k, "rotation": rotation_record(row)})
