"""The explorer's server: refusals, the files it serves, its bind, its limits, and stopping the
engine when the client goes away."""

import http.client
import json
import os
import signal
import socket
import subprocess
import sys
import time
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
GOOD = {"method": "classic", "n_points": 50, "tol": 1e-9, "eps": 1e-6, "h0": 0.1, "L": 1,
        "seeds": [[0.5, 0.3]]}
# An orbit that takes many seconds: the tests stop it long before.
LONG = dict(GOOD, n_points=20000, tol=1e-12)


def post(server, body, headers=None):
    c = http.client.HTTPConnection("127.0.0.1", server.server_address[1], timeout=30)
    data = body if isinstance(body, bytes) else json.dumps(body).encode()
    c.request("POST", "/api/orbit", data, headers or {"Content-Type": "application/json"})
    return c.getresponse()


def send(server, body):
    """Sends `body` on a raw socket; returns the socket and its reader."""
    sock = socket.create_connection(("127.0.0.1", server.server_address[1]), timeout=30)
    data = json.dumps(body).encode()
    sock.sendall(b"POST /api/orbit HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n"
                 b"Content-Type: application/json\r\nContent-Length: %d\r\n\r\n%s"
                 % (server.server_address[1], len(data), data))
    return sock, sock.makefile("rb")


def first_chunk(reader):
    """Reads the headers and the size line of the first chunk: the orbit is running."""
    while reader.readline() not in (b"\r\n", b""):
        pass
    return reader.readline()


def wait_until(condition, timeout):
    end = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > end:
            return False
        time.sleep(0.02)
    return True


def with_(**changes):
    return {k: v for k, v in dict(GOOD, **changes).items() if v is not None}


@pytest.mark.parametrize("body, error", [
    (b"{not json", "not JSON"),
    (b"[1, 2]", "JSON object"),
    (json.dumps(GOOD).replace("1e-09", "NaN").encode(), "NaN"),
    (json.dumps(GOOD).replace("1e-09", "-Infinity").encode(), "Infinity"),
    (json.dumps(GOOD).replace("1e-09", "1e400").encode(), "tol must be a finite number"),
    (with_(tol="1e-9"), "tol must be a number"),
    (with_(eps=True), "eps must be a number"),
    (with_(seeds=[[0.5, 0.3], [0.5, 1e39]]), "seeds[1][1] must be a finite number within single"),
    (with_(L=10**400), "L must be a finite number"),
    (with_(colour="red"), "unknown field 'colour'"),
    (with_(params={"f": 1}), "unknown name 'f'"),
    (with_(params={"a": 0}), "a = 0"),
    (with_(params={"b": -8, "c": 8}), "b + c = 0"),
    (with_(seeds=None), "missing field 'seeds'"),
    (with_(seeds=[[1, 2, 3]]), "seeds[0] must be an array"),
    (with_(seeds=[]), "seeds must be an array of 1 to 64"),
    (with_(seeds=[[0, 0]] * 65), "seeds must be an array of 1 to 64"),
    (with_(n_points=0), "n_points must be from 1 to 20000"),
    (with_(n_points=20001), "n_points must be from 1 to 20000"),
    (with_(n_points=3.0), "n_points must be a whole number"),
    (with_(tol=0), "tol must be greater than 0"),
    (with_(eps=1e-46), "eps must be greater than 0 after rounding"),
    (with_(eps=1e-13), "eps must be at least 1e-12"),
    (with_(h0=-1e-46), "h0 must not be 0"),
    (with_(L=0), "L must not be 0"),
    (with_(method="euler"), "method must be"),
    (with_(chaos=True), "chaos needs the precise method"),
    (with_(h_start=-0.1), "h_start must be"),
    (with_(method="precise", h_start=0.1), "h_start is for the classic method"),
    (b"{" + b" " * 9000 + b"}", "at most 8192 bytes"),
])
def test_bad_requests_get_400_and_a_json_error(start_server, body, error):
    server = start_server()
    r = post(server, body)
    assert (r.status, r.getheader("Content-Type")) == (400, "application/json")
    assert error in json.loads(r.read())["error"]
    assert server.runs == 0


def test_a_body_without_length_is_refused(start_server):
    server = start_server()
    r = post(server, b"", {"Transfer-Encoding": "chunked", "Content-Type": "application/json"})
    assert r.status == 400 and "Content-Length" in json.loads(r.read())["error"]


@pytest.mark.parametrize("path", ["/../README.md", "/%2e%2e/Makefile", "/js/../../Makefile",
                                  "//etc/passwd", "/..%2fMakefile", "/web/index.html",
                                  "/js/%2e%2e/%2e%2e/Makefile", "/index.html/../../Makefile",
                                  "/../python/trivella_explorer/server.py"])
def test_paths_outside_the_page_are_not_found(start_server, path):
    c = http.client.HTTPConnection("127.0.0.1", start_server().server_address[1], timeout=10)
    c.request("GET", path)
    r = c.getresponse()
    assert r.status == 404 and json.loads(r.read())["error"]


def test_the_pages_files_are_served_as_they_are(start_server):
    c = http.client.HTTPConnection("127.0.0.1", start_server().server_address[1], timeout=10)
    for path, kind in (("/", "text/html"), ("/js/main.js", "text/javascript"),
                       ("/style.css", "text/css")):
        c.request("GET", path)
        r = c.getresponse()
        file = ROOT / "web" / (path.lstrip("/") or "index.html")
        assert (r.status, r.read()) == (200, file.read_bytes())
        assert r.getheader("Content-Type").startswith(kind)


def test_it_listens_on_loopback_only(start_server):
    server = start_server()
    host, port = server.server_address[:2]
    assert host == "127.0.0.1"
    # 127.0.0.2 reaches this machine too; a server bound to every address would answer there.
    with pytest.raises(ConnectionRefusedError):
        socket.create_connection(("127.0.0.2", port), timeout=5).close()


@pytest.mark.parametrize("stray", [b"", b"\r\n\r\nstray bytes after the body"])
def test_the_engine_stops_when_the_client_goes_away(start_server, stray):
    server = start_server()
    sock, reader = send(server, dict(GOOD, n_points=20000, eps=1e-12))  # seconds per point
    # catches: a departure hidden by unread bytes (a zero-length peek sees them, not the close)
    sock.sendall(stray)
    assert wait_until(lambda: server.runs == 1, 10)
    time.sleep(0.2)
    reader.close()
    sock.close()
    # catches: a run that goes on for nobody until it has a point to write
    assert wait_until(lambda: server.runs == 0, 2)


def test_an_orbit_stops_at_the_time_limit(start_server):
    server = start_server(time_limit=0.5)
    started = time.monotonic()
    r = post(server, LONG)
    lines = [json.loads(line) for line in r.read().splitlines()]
    assert time.monotonic() - started < 5
    assert lines[-1] == {"done": True}
    assert lines[-2]["end"] == "stopped" and "time limit of 0.5 s" in lines[-2]["message"]
    assert sum(len(line.get("points", [])) for line in lines) == lines[-2]["count"] < 20000


def test_one_orbit_per_slot_at_a_time(start_server):
    server = start_server(slots=1)
    first = send(server, LONG)
    assert first_chunk(first[1])
    second = send(server, GOOD)
    time.sleep(0.3)
    assert server.runs == 1  # the second waits for the slot
    for f in reversed(first):
        f.close()
    # Once the slot is free the second orbit runs to its end.
    body = second[1].read()
    assert b'"end":"complete","count":50' in body


def test_the_command_prints_its_url_first_and_stops_on_ctrl_c(tmp_path):
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    env = dict(os.environ, PORT=str(port))
    child = subprocess.Popen([sys.executable, "-m", "trivella_explorer"], cwd=tmp_path, env=env,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        assert child.stdout.readline() == f"http://127.0.0.1:{port}/\n"
        c = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        c.request("GET", "/")
        assert c.getresponse().status == 200
        child.send_signal(signal.SIGINT)
        assert child.wait(timeout=10) == 0
    finally:
        child.kill()
        child.wait()
    assert list(tmp_path.iterdir()) == []  # nothing written where it ran
