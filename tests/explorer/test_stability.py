"""POST /api/stability: the cells' indicators are the module's for the cell centres, requests
are refused as the orbit requests are, and a request stops when its client leaves."""

import http.client
import json
import math
import socket
import time

import numpy as np
import pytest
from program_map import program_map

# L = 5 over the whole phi range and l/L from -1 to 1: the chaotic layer crosses four cells.
GOOD = {"n_points": 301, "tol": 1e-9, "h0": 0.1, "L": 5, "view": [0, 2 * math.pi, -1, 1],
        "cells": [6, 4], "rows": [1, 4]}
HEADERS = {"Content-Type": "application/json"}


def post(server, body, headers=HEADERS):
    c = http.client.HTTPConnection("127.0.0.1", server.server_address[1], timeout=60)
    c.request("POST", "/api/stability", json.dumps(body).encode(), headers)
    response = c.getresponse()
    return response.status, response.read()


def test_cells_are_the_modules_indicators_of_their_centres(start_server):
    status, body = post(start_server(), dict(GOOD, n_points=120))
    lines = [json.loads(line) for line in body.splitlines()]
    assert status == 200 and lines[0] == {"n_points": 301}  # raised to give a verdict
    assert lines[-1] == {"done": True, "stopped": ""}
    cells = lines[1:-1]
    # Rows 1 to 3 of 4, in row order, centred in their cells, rounded as ini.txt's numbers.
    assert [c["cell"] for c in cells] == [[i, j] for j in (1, 2, 3) for i in range(6)]
    single = np.float32
    assert [c["seed"] for c in cells] == [
        [float(single((i + 0.5) * 2 * math.pi / 6)), float(single((-1 + (j + 0.5) / 2) * 5))]
        for j in (1, 2, 3) for i in range(6)]
    seeds = np.array([c["seed"] for c in cells])
    expected = program_map(seeds[:, 0], seeds[:, 1], 301, method="precise", chaos=True,
                           L=5, tol=1e-9, h0=0.1).chaos
    assert [c["megno"] for c in cells] == expected["megno"].tolist()
    assert [c["lyapunov"] for c in cells] == expected["lyapunov"].tolist()
    assert [c["verdict"] for c in cells] == expected["verdict"].tolist()
    assert {"regular", "chaotic"} == set(expected["verdict"])


@pytest.mark.parametrize("change, error", [
    ({"view": [1, 0, -1, 1]}, "view must run from low to high"),
    ({"view": [0, 1, -1, 1e5]}, "view[3] must be a number within"),
    ({"view": [0, 1, -1]}, "view must be an array"),
    ({"cells": [401, 2]}, "cells[0] must be a whole number from 1 to 400"),
    ({"cells": [400, 40], "rows": [0, 13]}, "at most 4800 cells in a request, got 5200"),
    ({"rows": [2, 2]}, "rows[1] must be a whole number from 3 to 4"),
    ({"rows": [0, 5]}, "rows[1] must be a whole number from 1 to 4"),
    ({"n_points": 20001}, "n_points must be a whole number from 1 to 20000"),
    ({"L": 3e38, "view": [0, 1, -1e4, 1e4]}, "leaves single precision"),
    ({"params": {"b": -8, "c": 8}}, "b + c = 0"),
    ({"seeds": [[0, 0]]}, "unknown field 'seeds'"),
    ({"tol": 0}, "tol must be greater than 0"),
])
def test_bad_requests_are_refused_before_any_work(start_server, change, error):
    server = start_server()
    status, body = post(server, dict(GOOD, **change))
    assert status == 400 and error in json.loads(body)["error"]
    assert server.runs == 0


def test_foreign_pages_are_refused(start_server):
    server = start_server()
    origin = dict(HEADERS, Origin="http://evil.example")
    assert post(server, GOOD, origin)[0] == 403
    assert post(server, GOOD, {"Content-Type": "text/plain"})[0] == 415


def test_the_engine_stops_when_the_client_leaves(start_server):
    server = start_server()
    body = json.dumps(dict(GOOD, n_points=20000, cells=[40, 40], rows=[0, 40])).encode()
    sock = socket.create_connection(("127.0.0.1", server.server_address[1]), timeout=30)
    sock.sendall(b"POST /api/stability HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n"
                 b"Content-Type: application/json\r\nContent-Length: %d\r\n\r\n%s"
                 % (server.server_address[1], len(body), body))
    reader = sock.makefile("rb")
    while reader.readline() not in (b"\r\n", b""):
        pass
    assert reader.readline()  # the first chunk: the cells are being computed
    assert server.runs == 1
    reader.close()
    sock.close()
    end = time.monotonic() + 1.0
    while server.runs and time.monotonic() < end:
        time.sleep(0.02)
    assert server.runs == 0
