"""Who may use the server and for how long: the Host and Origin a request must carry, the
body type of a POST, and the deadline by which a request must have arrived whole."""

import socket
import threading
import time

REQUEST_DEADLINE = 5.0  # seconds for a request's line, headers and body, and for idling
MAX_CONNECTIONS = 32  # open at once; a browser opens six, each streaming orbit holds one


def refusal(headers, port, method):
    """(status, message) that refuses the request, or None when it may go on.

    Only the server's own names reach it: a foreign page cannot send it a request that runs
    (a POST needs JSON, which only a same-origin fetch may send without asking), and a name
    that resolves to 127.0.0.1 by DNS rebinding is not one of its names.
    """
    own = {f"127.0.0.1:{port}", f"localhost:{port}"}
    if (headers.get("Host") or "").strip().lower() not in own:
        return 421, "this server answers only to its own address, 127.0.0.1 or localhost"
    origin = headers.get("Origin")
    if origin is not None and origin.strip().lower() not in {f"http://{o}" for o in own}:
        return 403, "requests from other pages are refused"
    if method == "POST":
        kind = (headers.get("Content-Type") or "").split(";")[0].strip().lower()
        if kind != "application/json":
            return 415, "the body must be sent as Content-Type: application/json"
    return None


class Deadlines:
    """Connections that must finish arriving by a time; one past its time is shut down, which
    ends any read waiting on it."""

    def __init__(self):
        self._due = {}
        self._lock = threading.Lock()

    def arm(self, sock, seconds):
        with self._lock:
            self._due[sock] = time.monotonic() + seconds

    def disarm(self, sock):
        with self._lock:
            self._due.pop(sock, None)

    def expire(self):
        """Shuts down every connection past its deadline."""
        now = time.monotonic()
        with self._lock:
            late = [sock for sock, due in self._due.items() if due < now]
            for sock in late:
                del self._due[sock]
        for sock in late:
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
