"""The orbits of one request computed together, their points streamed back as
newline-delimited JSON in a chunked response while they are computed. The run stops when the
client goes away or the time limit passes; a failed orbit does not stop the ones after it."""

import json
import select
import time

import trivella

from .orbit_rotation import send_rotations

# The peer closed or reset its end. POLLRDHUP sees the close even when bytes it sent are still
# unread, which a zero-length peek would not.
_GONE = select.POLLRDHUP | select.POLLHUP | select.POLLERR | select.POLLNVAL


def client_gone(sock):
    """True once the peer has closed its end of the connection."""
    try:
        poller = select.poll()
        poller.register(sock, _GONE)
        return bool(poller.poll(0))
    except (OSError, ValueError):
        return True


class ChunkedLines:
    """Writes JSON lines as chunks of one response; the status line goes out with the first."""

    def __init__(self, handler):
        self.handler = handler
        self.started = False
        self.complete = []  # the orbits whose end "complete" went out

    def line(self, record):
        if not self.started:
            self.started = True
            h = self.handler
            h.send_response(200)
            h.send_header("Content-Type", "application/x-ndjson")
            h.send_header("Transfer-Encoding", "chunked")
            h.send_header("Cache-Control", "no-store")
            h.send_header("Connection", "close")
            h.end_headers()
        if record.get("end") == "complete":
            self.complete.append(record["orbit"])
        data = (json.dumps(record, separators=(",", ":"), allow_nan=False) + "\n").encode()
        self.handler.wfile.write(b"%x\r\n%s\r\n" % (len(data), data))

    def finish_quietly(self):
        """Ends the response; called once the run is over and its slots are free, so that a
        client that has read the whole answer finds the server idle."""
        try:
            self.handler.wfile.write(b"0\r\n\r\n")
        except OSError:
            pass


def take_cores(server, sock, deadline, wanted):
    """Takes one of the server's slots, one per core, waiting for it, then up to wanted - 1
    more that are free; the number taken, 0 if the client leaves or the deadline passes."""
    while not server.slots.acquire(timeout=0.1):
        if client_gone(sock) or time.monotonic() > deadline or server.stopping.is_set():
            return 0
    taken = 1
    while taken < wanted and server.slots.acquire(blocking=False):
        taken += 1
    return taken


def end_run(server, threads):
    """The run is over: it counts no more, and its `threads` cores are free."""
    server.count_run(-1)
    for _ in range(threads):
        server.slots.release()


def claim_cores(handler, wanted):
    """take_cores for a request until its time limit; 0 after answering 503 when no slot freed
    up (nothing is sent to a client that has gone)."""
    server, sock = handler.server, handler.connection
    threads = take_cores(server, sock, time.monotonic() + server.time_limit, wanted)
    if not threads and not client_gone(sock):
        handler.send_json(503, {"error": "every core is busy; try again"})
    return threads


def stop_rule(handler):
    """(keep_going, why_stopped): the engine's question, false from the moment the server shuts
    down, the request's time limit passes or the client goes away, and the list that then
    holds the reason."""
    server, sock = handler.server, handler.connection
    deadline = time.monotonic() + server.time_limit
    why_stopped = []

    def keep_going():
        if server.stopping.is_set():
            why_stopped.append("the server is shutting down")
        elif time.monotonic() > deadline:
            why_stopped.append(f"stopped at the time limit of {server.time_limit:g} s")
        elif client_gone(sock):
            why_stopped.append("the client went away")
        return not why_stopped

    return keep_going, why_stopped


def _run(request, first, h_start, threads, out, keep_going):
    """Runs the seeds from index `first` on; writes each orbit's points and, for every one but
    the run's last, its end. Returns (outcome, the last orbit's end record or None)."""
    seeds = request["seeds"][first:]
    counts = [0] * len(seeds)
    ends = {}
    args = {k: v for k, v in request.items() if k not in ("seeds", "h_start")}

    def on_points(condition, points):
        counts[condition - 1] += len(points)
        out.line({"orbit": first + condition - 1, "points": points.tolist()})

    def on_end(condition, megno, lyapunov, chaotic):
        record = {"orbit": first + condition - 1, "end": "complete",
                  "count": counts[condition - 1],
                  "chaos": dict(megno=megno, lyapunov=lyapunov, chaotic=chaotic)
                  if request["chaos"] else None}
        if condition < len(seeds):
            out.line(record)
        else:
            ends["last"] = record

    outcome = trivella.stream_map(
        [s[0] for s in seeds], [s[1] for s in seeds], threads=threads, h_start=h_start,
        on_points=on_points, on_end=on_end, keep_going=keep_going, **args)
    if outcome.end != "complete":
        ends["last"] = {"orbit": first + outcome.condition - 1, "end": outcome.end,
                        "count": counts[outcome.condition - 1]}
    return outcome, ends.get("last") or {"orbit": first + len(seeds) - 1, "end": "complete",
                                         "count": counts[-1], "chaos": None}


def stream_orbits(handler, request):
    """Answers `request`, checked by parse_orbit_request, on `handler`'s connection: 200 with
    lines {"orbit": k, "points": [...]} as they come and one {"orbit": k, "end": ...} per orbit
    that ends, with the precise method then {"orbit": k, "rotation": ...} for each complete
    orbit, and {"done": true}; 503 when no core frees up within the time limit; 400
    should the engine still refuse an argument.

    A failed orbit is reported and the next one starts afresh from h0 (the step size it left
    is unknown); a stop (time limit, client gone, shutdown) ends the request, leaving the
    orbits after it unreported.
    """
    server = handler.server
    seeds = request["seeds"]
    threads = claim_cores(handler, len(seeds))
    if not threads:
        return
    out = ChunkedLines(handler)
    keep_going, why_stopped = stop_rule(handler)

    first = 0
    h_start = request["h_start"]
    server.count_run(+1)
    answered = False
    try:
        while first < len(seeds):
            outcome, last = _run(request, first, h_start, threads, out, keep_going)
            if outcome.end == "complete":
                if request["method"] == "classic":
                    last["end_h"] = outcome.end_h
                out.line(last)
                break
            last["message"] = outcome.message if outcome.end == "failed" else "; ".join(
                why_stopped)
            out.line(last)
            if outcome.end == "stopped":
                break
            first = last["orbit"] + 1
            h_start = None
        if request["method"] == "precise" and not why_stopped:
            send_rotations(request, out.complete, out, keep_going, threads)
        out.line({"done": True})
        answered = True
    except (ValueError, TypeError) as error:
        if out.started:
            raise
        handler.send_json(400, {"error": str(error)})
    except OSError:  # the client went away while points were being written
        pass
    finally:
        end_run(server, threads)
    if answered:
        out.finish_quietly()
