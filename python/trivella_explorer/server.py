"""The explorer's HTTP server: the page's files, GET /api/model, POST /api/ini, which reads an
ini.txt's text with the program's own reader, POST /api/orbit, which streams the orbits of
a list of seeds, POST /api/periodic, which finds a periodic orbit near a guess, and POST
/api/stability, which streams the chaos indicator of a view's cells.

It binds 127.0.0.1 only and answers only to its own address. Nothing it does writes a file.
"""

import json
import os
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path
from urllib.parse import parse_qsl, urlsplit

from trivella import _engine

from . import static_files
from .guards import MAX_CONNECTIONS, REQUEST_DEADLINE, Deadlines, refusal
from .model import model_info, read_ini_text
from .orbit_request import MAX_BODY, BadRequest, check_params, parse_orbit_request
from .orbit_stream import stream_orbits
from .periodic_request import parse_periodic_request
from .periodic_search import answer_periodic
from .stability_request import parse_stability_request
from .stability_stream import stream_stability

WEB_DIR = Path(__file__).resolve().parents[2] / "web"
TIME_LIMIT = 30.0  # seconds of computation per request
MAX_INI_BODY = 1 << 20  # bytes of an ini.txt the page may hand over


class ExplorerHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "trivella-explorer"
    # Seconds one read or write may wait; the whole request has a shorter deadline.
    timeout = 10

    def send_json(self, status, record):
        body = json.dumps(record).encode()
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def handle_one_request(self):
        # The request line, the headers and (for a POST) the body must arrive in time; a
        # connection kept idle between requests is closed by the same deadline.
        self.server.deadlines.arm(self.connection, self.server.request_deadline)
        try:
            super().handle_one_request()
        finally:
            self.server.deadlines.disarm(self.connection)

    def refused(self, method):
        why = refusal(self.headers, self.server.server_address[1], method)
        if why:
            self.send_json(why[0], {"error": why[1]})
        return why is not None

    def do_GET(self):
        self.server.deadlines.disarm(self.connection)
        if self.refused("GET"):
            return
        url = urlsplit(self.path)
        if url.path == "/api/model":
            self.answer_model(url.query)
            return
        entry = self.server.files.get(url.path)
        body = entry and static_files.read_file(self.server.root_fd, entry[0])
        if body is None:
            self.send_json(404, {"error": "no such file"})
            return
        self.send_response(200)
        self.send_header("Content-Type", entry[1])
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-cache")
        self.send_header("X-Content-Type-Options", "nosniff")
        self.end_headers()
        self.wfile.write(body)

    def answer_model(self, query):
        """The constants' names, defaults and MEGNO threshold; with constants in the query
        (?a=0&b=5), also "problem": what makes them meaningless, or ""."""
        info = model_info()
        try:
            params = {k: json.loads(v) for k, v in parse_qsl(query, strict_parsing=bool(query))}
            if params:
                check_params(params)
                info["problem"] = ""
        except (ValueError, BadRequest) as error:
            info["problem"] = str(error)
        self.send_json(200, info)

    def do_POST(self):
        self.close_connection = True
        if self.refused("POST"):
            return
        path = urlsplit(self.path).path
        parsers = {"/api/orbit": parse_orbit_request, "/api/periodic": parse_periodic_request,
                   "/api/stability": parse_stability_request}
        if path not in parsers and path != "/api/ini":
            self.send_json(404, {"error": "the POSTs are /api/orbit, /api/periodic, "
                                          "/api/stability and /api/ini"})
            return
        limit = MAX_INI_BODY if path == "/api/ini" else MAX_BODY
        try:
            length = int(self.headers.get("Content-Length", ""))
        except ValueError:
            self.send_json(400, {"error": "a Content-Length is required"})
            return
        if not 0 <= length <= limit:
            self.send_json(400, {"error": f"the body must be at most {limit} bytes"})
            return
        try:
            body = self.rfile.read(length)
        except OSError:
            return
        self.server.deadlines.disarm(self.connection)
        if len(body) != length:  # the deadline passed, or the client left
            return
        if path == "/api/ini":
            self.answer_ini(body)
            return
        try:
            request = parsers[path](body)
        except BadRequest as error:
            self.send_json(400, {"error": str(error)})
            return
        if path == "/api/periodic":
            answer_periodic(self, request)
        elif path == "/api/stability":
            stream_stability(self, request)
        else:
            stream_orbits(self, request)

    def answer_ini(self, body):
        """{"text": the text of an ini.txt} -> its settings and seeds, read by the program's
        own reader; 400 with the program's message for text it would refuse."""
        try:
            text = json.loads(body)["text"]
            if not isinstance(text, str):
                raise TypeError
        except (ValueError, KeyError, TypeError):
            self.send_json(400, {"error": 'the body must be {"text": the text of an ini.txt}'})
            return
        try:
            self.send_json(200, read_ini_text(text))
        except ValueError as error:
            self.send_json(400, {"error": str(error)})

    def log_message(self, format, *args):  # noqa: A002 (the base class's name)
        if self.server.verbose:
            super().log_message(format, *args)


class ExplorerServer(ThreadingHTTPServer):
    """The server and what its requests share: the file table, one slot per core, the time
    limit, the request deadlines, and the number of orbit and stability requests being
    computed."""

    daemon_threads = True
    request_queue_size = 2 * MAX_CONNECTIONS  # the listen backlog: beyond it connects stall

    def __init__(self, port, web_dir, time_limit, slots, verbose, request_deadline):
        self.request_deadline = request_deadline
        self.files = static_files.list_files(web_dir)
        self.root_fd = static_files.open_root(web_dir)
        self.time_limit = time_limit
        self.slots = threading.BoundedSemaphore(slots)
        self.slot_count = slots
        self.stopping = threading.Event()
        self.verbose = verbose
        self.deadlines = Deadlines()
        self._runs = 0
        self._connections = 0
        self._lock = threading.Lock()
        try:
            super().__init__(("127.0.0.1", port), ExplorerHandler)
        except BaseException:
            os.close(self.root_fd)
            raise

    def count_run(self, change):
        with self._lock:
            self._runs += change

    @property
    def runs(self):
        """Orbit and stability requests being computed now."""
        with self._lock:
            return self._runs

    def process_request(self, request, client_address):
        # Past the limit a connection is closed at once, before a thread is spent on it.
        with self._lock:
            full = self._connections >= MAX_CONNECTIONS
            self._connections += 0 if full else 1
        if full:
            self.shutdown_request(request)
            return
        super().process_request(request, client_address)

    def process_request_thread(self, request, client_address):
        try:
            super().process_request_thread(request, client_address)
        finally:
            with self._lock:
                self._connections -= 1

    def service_actions(self):
        self.deadlines.expire()

    def handle_error(self, request, client_address):
        # A client that leaves early is no error of the server's; anything else is one line.
        error = sys.exc_info()[1]
        if not isinstance(error, (ConnectionError, TimeoutError)):
            print(f"trivella_explorer: a request from port {client_address[1]} failed: "
                  f"{type(error).__name__}: {error}", file=sys.stderr)

    def server_close(self):
        super().server_close()
        os.close(self.root_fd)


def make_server(port=0, *, web_dir=WEB_DIR, time_limit=TIME_LIMIT, slots=None, verbose=False,
                request_deadline=REQUEST_DEADLINE):
    """An ExplorerServer on 127.0.0.1:port (0: a free port), not yet serving.

    Parameters
    ----------
    port : int
        The port; 0 picks a free one (server.server_address holds it).
    web_dir : path
        The page's files.
    time_limit : float
        Seconds an orbit request may compute before it is stopped.
    slots : int, optional
        Orbits computed at once; default one per core this process may run on.
    verbose : bool
        Log every request on standard error.
    request_deadline : float
        Seconds a request may take to arrive whole, and a connection may stay idle.
    """
    return ExplorerServer(port, web_dir, time_limit, slots or _engine.thread_count(0), verbose,
                          request_deadline)
