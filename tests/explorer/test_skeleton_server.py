"""The explorer's server on the skeleton of the map: POST /api/periodic against the module,
its refusals, its time limit, and the rotation numbers after a precise request's points."""

import http.client
import json

import numpy as np
import pytest
import trivella

GUESS = {"period": 3, "guess": [1.0, 2.0], "tol": 1e-12, "h0": 0.1, "L": 5}


def single(x):
    """x as the server reads every number of a request: rounded to single precision."""
    return float(np.float32(x))


def post(server, path, body):
    c = http.client.HTTPConnection("127.0.0.1", server.server_address[1], timeout=30)
    data = body if isinstance(body, bytes) else json.dumps(body).encode()
    c.request("POST", path, data, {"Content-Type": "application/json"})
    r = c.getresponse()
    return r.status, r.read()


def with_(**changes):
    return {k: v for k, v in dict(GUESS, **changes).items() if v is not None}


@pytest.mark.parametrize("body, error", [
    (with_(period=0), "period must be from 1 to 1000, got 0"),
    (with_(period=1001), "period must be from 1 to 1000, got 1001"),
    (with_(period=2.0), "period must be a whole number"),
    (with_(period="3"), "period must be a whole number, got a string"),
    (with_(period=True), "period must be a whole number"),
    (with_(period=None), "missing field 'period'"),
    (with_(guess=[1.0]), "guess must be an array [phi, l]"),
    (with_(guess=[1.0, "x"]), "guess[1] must be a number, got a string"),
    (with_(guess=[1.0, 1e39]), "guess[1] must be a finite number"),
    (json.dumps(GUESS).replace("1e-12", "NaN").encode(), "NaN"),
    (with_(tol=1e-20), "tol must be at least 1e-16"),
    (with_(L=0), "L must not be 0"),
    (with_(params={"a": 0}), "a = 0"),
    (with_(seeds=[[1, 2]]), "unknown field 'seeds'"),
    (b"[3]", "JSON object"),
])
def test_bad_periodic_requests_get_400_and_start_nothing(start_server, body, error):
    server = start_server(slots=1)
    status, answer = post(server, "/api/periodic", body)
    assert status == 400 and error in json.loads(answer)["error"]
    assert server.runs == 0
    # catches: a slot taken by a refused request and never given back
    assert server.slots.acquire(blocking=False)


def test_the_servers_orbit_is_the_modules(start_server):
    status, answer = post(start_server(), "/api/periodic", GUESS)
    o = trivella.periodic_orbit(1.0, 2.0, 3, L=5.0, tol=single(1e-12), h0=0.1)
    record = json.loads(answer)
    assert status == 200 and o.kind == record["kind"] == "elliptic"
    assert (record["q"], record["residue"], record["points"]) == (3, o.residue, o.points.tolist())
    assert record["multipliers"] == [[m.real, m.imag] for m in o.multipliers]


def test_a_search_past_the_time_limit_is_not_a_found_orbit(start_server):
    server = start_server(time_limit=0.01)
    status, answer = post(server, "/api/periodic", with_(period=1000, guess=[1.5, 1.0]))
    record = json.loads(answer)
    assert status == 200 and not record["converged"] and record["kind"] == "not-converged"
    assert record["reason"] == "stopped at the time limit of 0.01 s" and record["points"] == []
    assert server.runs == 0


def test_precise_orbits_are_followed_by_their_rotation_numbers(start_server):
    server = start_server()
    request = {"method": "precise", "n_points": 400, "tol": 1e-9, "eps": 1e-6, "h0": 0.1,
               "L": 5, "seeds": [[1.5, 1.0], [1.0, 2.0], [0.5, 6.0]]}
    status, body = post(server, "/api/orbit", request)
    lines = [json.loads(line) for line in body.splitlines()]
    rotations = [line for line in lines if "rotation" in line]
    expected = trivella.rotation_numbers([1.5, 1.0, 0.5], [1.0, 2.0, 6.0], 400, L=5.0, h0=0.1,
                                         tol=single(1e-9))
    assert [r["orbit"] for r in rotations] == [0, 1, 2] and lines[-1] == {"done": True}
    assert [r["rotation"]["rotation"] for r in rotations] == expected["rotation"].tolist()
    assert [r["rotation"]["circulating"] for r in rotations] == [False, False, True]
    # The classic method's points are not the exact map's: no rotation number for them.
    status, body = post(server, "/api/orbit", dict(request, method="classic"))
    assert status == 200 and b"rotation" not in body
