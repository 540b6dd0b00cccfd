"""The explorer's server against other pages and slow or many clients: Host, Origin and body
type checks before any work, the request deadline, the connection limit, links in web/, and
a batch of orbits in which one fails while the others go on."""

import http.client
import json
import os
import socket
import time

import numpy as np
import pytest
from program_map import program_map

from trivella_explorer.guards import MAX_CONNECTIONS

GOOD = {"method": "precise", "n_points": 40, "tol": 1e-9, "eps": 1e-6, "h0": 0.1, "L": 1,
        "seeds": [[0.5, 0.3]]}
SETTINGS = dict(L=1, h0=0.1, tol=1e-9, eps=1e-6)


def request(server, method, path, headers, body=None):
    c = http.client.HTTPConnection("127.0.0.1", server.server_address[1], timeout=10)
    c.putrequest(method, path, skip_host=True, skip_accept_encoding=True)
    for k, v in headers.items():
        c.putheader(k, v)
    data = json.dumps(body).encode() if body is not None else b""
    if method == "POST":
        c.putheader("Content-Length", str(len(data)))
    c.endheaders(data)
    r = c.getresponse()
    return r.status, r.read()


def records(body):
    return [json.loads(line) for line in body.splitlines()]


def test_only_the_servers_own_name_and_json_from_its_own_page_are_answered(start_server):
    server = start_server()
    port = server.server_address[1]
    own, js = f"127.0.0.1:{port}", "application/json"
    cases = [
        # DNS rebinding: a foreign name that resolves to 127.0.0.1 reads nothing.
        ("GET", "/", {"Host": f"rebound.example:{port}"}, 421),
        ("GET", "/api/model", {"Host": "127.0.0.1:1"}, 421),
        ("GET", "/", {}, 421),
        ("POST", "/api/orbit", {"Host": f"evil.example:{port}", "Content-Type": js}, 421),
        ("POST", "/api/orbit", {"Host": own, "Content-Type": js,
                                "Origin": "http://evil.example"}, 403),
        ("POST", "/api/orbit", {"Host": own, "Content-Type": js, "Origin": "null"}, 403),
        # A no-cors form or fetch from another page can send only these.
        ("POST", "/api/orbit", {"Host": own, "Content-Type": "text/plain"}, 415),
        ("POST", "/api/orbit", {"Host": own}, 415),
        ("POST", "/api/orbit", {"Host": f"localhost:{port}", "Content-Type": js + "; charset=utf-8",
                                "Origin": f"http://localhost:{port}"}, 200),
        ("GET", "/", {"Host": f"LOCALHOST:{port}"}, 200),
    ]
    for method, path, headers, status in cases:
        got, body = request(server, method, path, headers, GOOD if method == "POST" else None)
        assert (got, method, headers) == (status, method, headers)
        if status != 200:
            assert json.loads(body)["error"]
    assert server.runs == 0


def test_slow_idle_and_surplus_connections_are_closed(start_server):
    server = start_server(request_deadline=1.0)
    port = server.server_address[1]
    slow = socket.create_connection(("127.0.0.1", port), timeout=10)
    idle = socket.create_connection(("127.0.0.1", port), timeout=10)
    started = time.monotonic()
    closed = None
    try:
        # One byte every 0.2 s: each read is quick, the request never arrives whole.
        for byte in b"GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n" % port:
            slow.sendall(bytes([byte]))
            time.sleep(0.2)
    except OSError:
        closed = time.monotonic() - started
    assert closed is not None and closed < 3
    assert idle.recv(1) == b""  # closed without a byte sent
    # Past the limit a connection is closed at once; those before it hold.
    crowd = [socket.create_connection(("127.0.0.1", port), timeout=10)
             for _ in range(MAX_CONNECTIONS + 3)]
    crowd[-1].settimeout(0.5)
    assert crowd[-1].recv(1) == b""
    for s in crowd + [slow, idle]:
        s.close()
    got, _ = request(server, "GET", "/", {"Host": f"127.0.0.1:{port}"})
    assert got == 200


def test_files_replaced_by_links_after_start_are_not_served(start_server, tmp_path):
    web = tmp_path / "web"
    (web / "js").mkdir(parents=True)
    (web / "index.html").write_text("<p>page</p>")
    (web / "js" / "main.js").write_text("ok")
    secret = tmp_path / "secret.txt"
    secret.write_text("not for the page")
    server = start_server(web_dir=web)
    host = {"Host": f"127.0.0.1:{server.server_address[1]}"}
    assert request(server, "GET", "/js/main.js", host) == (200, b"ok")
    (web / "index.html").unlink()
    (web / "index.html").symlink_to(secret)
    os.rename(web / "js", tmp_path / "js")
    (tmp_path / "js" / "main.js").write_text("moved")
    (web / "js").symlink_to(tmp_path / "js")
    for path in ("/", "/index.html", "/js/main.js"):
        assert request(server, "GET", path, host)[0] == 404


@pytest.mark.parametrize("method", ["precise", "classic"])
def test_a_failed_orbit_is_reported_and_the_others_go_on(start_server, method):
    server = start_server()
    seeds = [[0.5, 0.3], [0.5, 1e20], [1.0, 0.2], [2.0, -0.4]]  # l0 = 1e20 has no usable step
    status, body = request(server, "POST", "/api/orbit",
                           {"Host": f"127.0.0.1:{server.server_address[1]}",
                            "Content-Type": "application/json"},
                           dict(GOOD, method=method, seeds=seeds))
    lines = records(body)
    assert status == 200 and lines[-1] == {"done": True}
    ends = {r["orbit"]: r for r in lines if "end" in r}
    assert [ends[k]["end"] for k in range(4)] == ["complete", "failed", "complete", "complete"]
    assert "step size" in ends[1]["message"]
    points = [[p for r in lines if r.get("orbit") == k for p in r.get("points", [])]
              for k in range(4)]
    # The failed orbit's successors start afresh: one run of the module from h0 gives them.
    expected = program_map([1.0, 2.0], [0.2, -0.4], 40, method=method, **SETTINGS)
    assert np.array_equal(points[2:], expected)
    assert np.array_equal(points[0], program_map(0.5, 0.3, 40, method=method, **SETTINGS))
    assert [ends[k]["count"] for k in (0, 2, 3)] == [40, 40, 40]
    assert ("end_h" in ends[3]) == (method == "classic")


def test_the_model_comes_from_the_engine(start_server):
    server = start_server()
    host = {"Host": f"127.0.0.1:{server.server_address[1]}"}
    status, body = request(server, "GET", "/api/model", host)
    info = json.loads(body)
    assert status == 200 and info["names"] == ["a", "b", "c", "d", "e", "omega"]
    assert info["defaults"]["e"] == 0.4 and info["megno_threshold"] == 4.0
    for query, problem in (("a=6&omega=2", ""), ("b=-8&c=8", "b + c = 0"), ("omega=0", "omega = 0"),
                           ("f=1", "unknown name 'f'"), ("a=x", "")):
        answer = json.loads(request(server, "GET", f"/api/model?{query}", host)[1])["problem"]
        assert problem in answer and bool(answer) == (problem != "" or query == "a=x")


def test_an_ini_text_is_read_by_the_programs_reader(start_server):
    server = start_server()
    headers = {"Host": f"127.0.0.1:{server.server_address[1]}",
               "Content-Type": "application/json"}
    text = ("title  of\tmap\r\n2 150 0.05 1e-8 +1E-7\nreference L\n -2.\n"
            "condition 1 1 .5 -1.25 ./RESULT/a.txt\nc 2 2 5.27 3 b.txt\nnot read at all")
    status, body = request(server, "POST", "/api/ini", headers, {"text": text})
    assert status == 200
    assert json.loads(body) == {"n_points": 150, "h0": 0.05, "tol": 1e-8, "eps": 1e-7,
                                "L": -2.0, "seeds": [[0.5, -1.25], [5.27, 3.0]]}
    for bad, words in (("a b c\n1 10 0.1 1e-9 1e-6\nr L\n1\nc 1 1 0.5", ("condition 1", "initial l")),
                       ("a b c\n1.5 10 0.1 1e-9 1e-6", ("n_conditions",))):
        status, body = request(server, "POST", "/api/ini", headers, {"text": bad})
        assert status == 400 and all(w in json.loads(body)["error"] for w in words), body
