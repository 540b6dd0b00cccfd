"""One orbit computed for one request, its points streamed back as newline-delimited JSON in
a chunked response while they are computed. The run stops when the client goes away or the
time limit passes."""

import json
import select
import socket
import time

import trivella


def client_gone(sock):
    """True once the peer has closed its end: the socket reads as ready with no data."""
    try:
        ready, _, _ = select.select([sock], [], [], 0)
        return bool(ready) and sock.recv(1, socket.MSG_PEEK) == b""
    except OSError:
        return True


class ChunkedLines:
    """Writes JSON lines as chunks of one response; the status line goes out with the first."""

    def __init__(self, handler):
        self.handler = handler
        self.started = False

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
        data = (json.dumps(record, separators=(",", ":"), allow_nan=False) + "\n").encode()
        self.handler.wfile.write(b"%x\r\n%s\r\n" % (len(data), data))

    def finish(self):
        self.handler.wfile.write(b"0\r\n\r\n")


def wait_for_core(server, sock, deadline):
    """Takes one of the server's slots, one per core; False if the client leaves or the
    deadline passes first."""
    while not server.slots.acquire(timeout=0.1):
        if client_gone(sock) or time.monotonic() > deadline or server.stopping.is_set():
            return False
    return True


def stream_orbit(handler, request):
    """Answers `request`, checked by parse_orbit_request, on `handler`'s connection: 200 with
    the points as they come and a last line saying how the run ended; 503 when no core frees
    up within the time limit; 400 should the engine still refuse an argument."""
    server = handler.server
    sock = handler.connection
    if not wait_for_core(server, sock, time.monotonic() + server.time_limit):
        handler.send_json(503, {"error": "every core is busy; try again"})
        return
    out = ChunkedLines(handler)
    deadline = time.monotonic() + server.time_limit
    why_stopped = []
    chaos = {}

    def keep_going():
        if server.stopping.is_set():
            why_stopped.append("the server is shutting down")
        elif time.monotonic() > deadline:
            why_stopped.append(f"stopped at the time limit of {server.time_limit:g} s")
        elif client_gone(sock):
            why_stopped.append("the client went away")
        return not why_stopped

    def on_end(_condition, megno, lyapunov, chaotic):
        chaos.update(megno=megno, lyapunov=lyapunov, chaotic=chaotic)

    seed = request["seed"]
    args = {k: v for k, v in request.items() if k != "seed"}
    server.count_run(+1)
    try:
        outcome = trivella.stream_map(
            seed[0], seed[1], threads=1, keep_going=keep_going, on_end=on_end,
            on_points=lambda _condition, points: out.line({"points": points.tolist()}), **args)
    except (ValueError, TypeError) as error:
        if out.started:
            raise
        handler.send_json(400, {"error": str(error)})
        return
    except OSError:  # the client went away while points were being written
        return
    finally:
        server.count_run(-1)
        server.slots.release()
    try:
        if outcome.end == "complete":
            out.line({"end": "complete", "count": outcome.points, "end_h": outcome.end_h,
                      "chaos": chaos if request["chaos"] else None})
        else:
            message = outcome.message if outcome.end == "failed" else "; ".join(why_stopped)
            out.line({"end": outcome.end, "count": outcome.points, "message": message})
        out.finish()
    except OSError:
        pass
