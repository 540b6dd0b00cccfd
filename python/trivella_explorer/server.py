"""The explorer's HTTP server: the page's files, and POST /api/orbit, which streams one orbit.

It binds 127.0.0.1 only. Nothing it does writes a file.
"""

import json
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path
from urllib.parse import urlsplit

from trivella import _engine

from . import static_files
from .orbit_request import MAX_BODY, BadRequest, parse_orbit_request
from .orbit_stream import stream_orbit

WEB_DIR = Path(__file__).resolve().parents[2] / "web"
TIME_LIMIT = 30.0  # seconds of computation per request


class ExplorerHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "trivella-explorer"
    # Seconds a read or write may wait: a client that stops sending or reading is let go.
    timeout = 30

    def send_json(self, status, record):
        body = json.dumps(record).encode()
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def do_GET(self):
        entry = self.server.files.get(urlsplit(self.path).path)
        if entry is None:
            self.send_json(404, {"error": "no such file"})
            return
        file, kind = entry
        body = file.read_bytes()
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-cache")
        self.send_header("X-Content-Type-Options", "nosniff")
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        self.close_connection = True
        if urlsplit(self.path).path != "/api/orbit":
            self.send_json(404, {"error": "the only POST is /api/orbit"})
            return
        try:
            length = int(self.headers.get("Content-Length", ""))
        except ValueError:
            self.send_json(400, {"error": "a Content-Length is required"})
            return
        if not 0 <= length <= MAX_BODY:
            self.send_json(400, {"error": f"the body must be at most {MAX_BODY} bytes"})
            return
        try:
            body = self.rfile.read(length)
        except TimeoutError:
            return
        try:
            request = parse_orbit_request(body)
        except BadRequest as error:
            self.send_json(400, {"error": str(error)})
            return
        stream_orbit(self, request)

    def log_message(self, format, *args):  # noqa: A002 (the base class's name)
        if self.server.verbose:
            super().log_message(format, *args)


class ExplorerServer(ThreadingHTTPServer):
    """The server and what its requests share: the file table, one slot per core, the time
    limit, and the number of orbits being computed."""

    daemon_threads = True

    def __init__(self, port, web_dir, time_limit, slots, verbose):
        self.files = static_files.list_files(web_dir)
        self.time_limit = time_limit
        self.slots = threading.BoundedSemaphore(slots)
        self.stopping = threading.Event()
        self.verbose = verbose
        self._runs = 0
        self._runs_lock = threading.Lock()
        super().__init__(("127.0.0.1", port), ExplorerHandler)

    def count_run(self, change):
        with self._runs_lock:
            self._runs += change

    @property
    def runs(self):
        """Orbits being computed now."""
        with self._runs_lock:
            return self._runs


def make_server(port=0, *, web_dir=WEB_DIR, time_limit=TIME_LIMIT, slots=None, verbose=False):
    """An ExplorerServer on 127.0.0.1:port (0: a free port), not yet serving.

    Parameters
    ----------
    port : int
        The port; 0 picks a free one (server.server_address holds it).
    web_dir : path
        The page's files.
    time_limit : float
        Seconds an orbit may compute before it is stopped.
    slots : int, optional
        Orbits computed at once; default one per core.
    verbose : bool
        Log every request on standard error.
    """
    return ExplorerServer(port, web_dir, time_limit, slots or _engine.thread_count(0), verbose)
