"""The explorer's server as its own process: clear start-up errors, quiet departures, and no
CPU spent on orbits nobody waits for."""

import json
import os
import signal
import socket
import struct
import subprocess
import sys
import time

import pytest

# Points that take seconds each: the engine is deep inside one when its client leaves.
SLOW = {"method": "classic", "n_points": 5, "tol": 1e-9, "eps": 1e-6, "h0": 0.1, "L": 1e4,
        "seeds": [[0.5, 3000.0]]}
FAST = {"method": "classic", "n_points": 20000, "tol": 1e-9, "eps": 1e-6, "h0": 0.1, "L": 1,
        "seeds": [[0.5, 0.3]]}


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


@pytest.fixture
def server_process(tmp_path):
    """(process, port): the server started as `python -m trivella_explorer`."""
    port = free_port()
    child = subprocess.Popen([sys.executable, "-m", "trivella_explorer"], cwd=tmp_path,
                             env=dict(os.environ, PORT=str(port)), stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
    assert child.stdout.readline() == f"http://127.0.0.1:{port}/\n"
    yield child, port
    child.kill()
    child.wait()


def post(port, body):
    sock = socket.create_connection(("127.0.0.1", port), timeout=30)
    data = json.dumps(body).encode()
    sock.sendall(b"POST /api/orbit HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nContent-Type: "
                 b"application/json\r\nContent-Length: %d\r\n\r\n%s" % (port, len(data), data))
    return sock


def cpu_seconds(pid):
    """utime + stime of the process, all its threads, in seconds."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def threads(pid):
    return len(os.listdir(f"/proc/{pid}/task"))


def cpu_share(pid, seconds):
    """The process's CPU time over `seconds` of wall time, in cores."""
    before = cpu_seconds(pid)
    time.sleep(seconds)
    return (cpu_seconds(pid) - before) / seconds


@pytest.mark.parametrize("value", ["abc", "70000", "-1"])
def test_a_bad_port_is_one_clear_line(value):
    r = subprocess.run([sys.executable, "-m", "trivella_explorer"], capture_output=True,
                       text=True, env=dict(os.environ, PORT=value), timeout=30)
    assert r.returncode == 2 and "Traceback" not in r.stderr
    assert f"$PORT: expected a port number from 0 to 65535, got '{value}'" in r.stderr


def test_a_port_in_use_is_one_clear_line():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        s.listen()
        r = subprocess.run([sys.executable, "-m", "trivella_explorer", "--port",
                            str(s.getsockname()[1])], capture_output=True, text=True, timeout=30)
    assert r.returncode == 1 and r.stderr.count("\n") == 1 and "cannot serve" in r.stderr


def test_abandoned_orbits_stop_using_the_cpu(server_process):
    child, port = server_process
    idle_threads = threads(child.pid)
    # More requests than cores: some compute, the others wait for a core.
    clients = [post(port, SLOW) for _ in range(3)]
    time.sleep(1.0)
    # catches: a measure that cannot see the work (the orbits must be computing now; on a
    # machine shared with others a busy thread may get a small share of a core)
    assert threads(child.pid) > idle_threads and cpu_share(child.pid, 0.5) > 0.05
    for c in clients:
        # An abrupt close (RST), as a tab that is shut.
        c.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        c.close()
    time.sleep(1.0)
    # catches: engine threads that go on computing their point after the server let go
    share = cpu_share(child.pid, 1.0)
    assert share < 0.1, f"{share:.2f} cores still busy a second after the clients left"
    assert threads(child.pid) <= idle_threads


def test_clients_that_leave_early_leave_no_traceback(server_process):
    child, port = server_process
    for _ in range(5):
        c = post(port, FAST)
        c.recv(200)  # the orbit's first points are on their way
        c.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        c.close()
    time.sleep(0.5)
    child.send_signal(signal.SIGINT)
    assert child.wait(timeout=10) == 0
    err = child.stderr.read()
    assert "Traceback" not in err and err.count("\n") <= 1 + 5, err
