"""POST /api/periodic: one periodic orbit searched by Newton's method from a guess, answered as
one JSON record. The search holds one of the server's slots and stops when the client goes
away, the time limit passes or the server shuts down."""

import math

import trivella

from .orbit_stream import claim_cores, client_gone, end_run, stop_rule


def _number(x):
    """x as JSON allows it: None for NaN and the infinities."""
    return x if math.isfinite(x) else None


def orbit_record(o):
    """A trivella.PeriodicOrbit as the page reads it: the columns of periodic.txt, the
    multipliers as [re, im] pairs and the points as [phi, l/L]."""
    return {"converged": o.converged, "reason": o.reason, "q": o.q, "kind": o.kind,
            "phi": _number(o.phi), "l": _number(o.l), "residual": _number(o.residual),
            "iterations": o.iterations, "trace": _number(o.trace),
            "residue": _number(o.residue), "det": _number(o.det),
            "multipliers": [[_number(m.real), _number(m.imag)] for m in o.multipliers],
            "points": o.points.tolist()}


def answer_periodic(handler, request):
    """Answers `request`, checked by parse_periodic_request, on `handler`'s connection: 200
    with the orbit's record, converged or not (a search stopped at the time limit or by a
    shutdown says so in its reason); 503 when no core frees up within the time limit; 400
    should the engine still refuse an argument; nothing once the client has gone."""
    server = handler.server
    sock = handler.connection
    if not claim_cores(handler, 1):
        return
    keep_going, why_stopped = stop_rule(handler)

    server.count_run(+1)
    try:
        orbit = trivella.periodic_orbit(keep_going=keep_going, **request)
    except (ValueError, TypeError) as error:
        handler.send_json(400, {"error": str(error)})
        return
    finally:
        end_run(server, 1)
    record = orbit_record(orbit)
    if why_stopped:
        if client_gone(sock):
            return
        record["reason"] = why_stopped[0]
    handler.send_json(200, record)
