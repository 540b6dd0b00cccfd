"""trivella.dask.section_map on a two-process LocalCluster equals one local run; it checks its
workers first and leaves nothing on the cluster however it ends."""
import logging
import os
import signal
import subprocess
import sys
import time

import numpy as np
import pytest
from distributed import Client, LocalCluster, WorkerPlugin

import trivella
import trivella.dask

# A chunk boundary (before the fourth condition) where the step size the third condition
# leaves and the guessed h0 give different first steps: that chunk must be computed again.
PHI0 = [4.4, 0.42, 5.06, 4.29, 1.0, 2.0, 3.0]
L0 = [-1.07, -0.11, -1.35, 0.91, 0.5, -0.2, 0.8]
SETTINGS = dict(L=1.0, h0=0.1, tol=1e-9, eps=1e-6)


def cluster(n_workers):
    # Every server of the cluster on 127.0.0.1, dashboards included.
    return LocalCluster(n_workers=n_workers, threads_per_worker=1, processes=True,
                        host="127.0.0.1", dashboard_address="127.0.0.1:0",
                        worker_dashboard_address="127.0.0.1:0", silence_logs=logging.ERROR)


@pytest.fixture(scope="module")
def client():
    with cluster(2) as c, Client(c) as connected:
        yield connected


def trivella_tasks(client):
    return client.run_on_scheduler(
        lambda dask_scheduler: [k for k in dask_scheduler.tasks if "trivella-" in str(k)])


def test_sweep_equals_local_with_a_chunk_computed_again(client):
    local = trivella.section_map(PHI0, L0, 20, **SETTINGS)
    calls = []
    swept, recomputed = trivella.dask.section_map_stats(
        client, PHI0, L0, 20, chunk=3, threads=None, progress=lambda *a: calls.append(a),
        **SETTINGS)
    assert 1 in recomputed
    assert np.array_equal(swept, local) and swept.version == local.version
    assert calls[-1][0] == calls[-1][1] and len(calls) >= 3  # one call per chunk gathered
    # The chunk as guessed would not do: its first condition would give other points.
    guessed = trivella.section_map(PHI0[3], L0[3], 20, **SETTINGS)
    assert not np.array_equal(guessed, local[3])
    assert not trivella_tasks(client)


def test_failure_names_the_condition_of_the_sweep(client):
    with pytest.raises(trivella.RunError) as failure:
        trivella.dask.section_map(client, [0.0] * 5, [0.3, 0.5, 0.7, 0.9, 3e38], 10, chunk=2,
                                  **SETTINGS)
    assert failure.value.condition == 5
    local = trivella.section_map([0.0] * 4, [0.3, 0.5, 0.7, 0.9], 10, **SETTINGS)
    assert np.array_equal(failure.value.points[:4], local)
    assert np.isnan(failure.value.points[4]).all()


def test_a_killed_worker_changes_nothing(client, tmp_path):
    marker = str(tmp_path / "killed")

    class KillOnce(WorkerPlugin):
        """Kills the worker that starts the first chunk to start, once, as it starts."""

        def transition(self, key, start, finish, **kwargs):
            if finish == "executing" and str(key).startswith("trivella-chunk"):
                try:  # only the first to create the marker dies
                    os.close(os.open(marker, os.O_CREAT | os.O_EXCL))
                except FileExistsError:
                    return
                os._exit(1)

    before = set(client.scheduler_info()["workers"])
    client.register_worker_plugin(KillOnce(), name="kill-once")
    try:
        points = trivella.dask.section_map(client, PHI0, L0, 20, chunk=2, **SETTINGS)
    finally:
        client.unregister_worker_plugin("kill-once")
    assert before - set(client.scheduler_info()["workers"])  # one of them is gone
    assert np.array_equal(points, trivella.section_map(PHI0, L0, 20, **SETTINGS))


def test_precise_sweep_equals_local(client):
    phi, l = np.meshgrid(PHI0[:3], L0[:4])
    local = trivella.section_map(phi, l, 20, method="precise", tol=1e-9, chaos=True)
    swept = trivella.dask.section_map(client, phi, l, 20, method="precise", tol=1e-9,
                                      chaos=True, chunk=5)
    assert swept.shape == (4, 3, 20, 2) and np.array_equal(swept, local)
    assert np.array_equal(swept.chaos, local.chaos)


# Ctrl-C in the middle of a sweep, with the traceback kept alive as IPython keeps it.
INTERRUPTED = """
import signal, sys, time, trivella.dask
from distributed import Client
signal.signal(signal.SIGINT, signal.default_int_handler)
client = Client(sys.argv[1])
print("started", flush=True)
try:
    trivella.dask.section_map(client, [0.1 * i for i in range(60)], 0.3, 20000, chunk=1,
                              h0=0.1, tol=1e-9, eps=1e-6, method="precise")
except KeyboardInterrupt:
    sys.last_type, sys.last_value, sys.last_traceback = sys.exc_info()
    print("interrupted", flush=True)
sys.stdin.readline()  # stays connected, the traceback alive, until the test has looked
"""


def test_an_interrupted_sweep_leaves_no_task():
    with cluster(1) as c, Client(c) as watcher:
        child = subprocess.Popen([sys.executable, "-c", INTERRUPTED, c.scheduler_address],
                                 stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        try:
            assert child.stdout.readline() == "started\n"
            deadline = time.monotonic() + 60
            while len(trivella_tasks(watcher)) < 10:  # the sweep is on the scheduler
                assert time.monotonic() < deadline
                time.sleep(0.1)
            child.send_signal(signal.SIGINT)
            assert child.stdout.readline() == "interrupted\n"
            assert trivella_tasks(watcher) == []
            child.stdin.write("\n")
            child.stdin.flush()
            assert child.wait(timeout=30) == 0
        finally:
            child.kill()


def test_ctrl_c_inside_a_submission_leaves_no_task(client, monkeypatch):
    held = []  # as a kept traceback would hold the future submit never handed back
    real_submit = client.submit

    def interrupted_submit(*args, **kwargs):
        if len(held) == 3:
            held.append(real_submit(*args, **kwargs))
            raise KeyboardInterrupt
        held.append(real_submit(*args, **kwargs))
        return held[-1]

    monkeypatch.setattr(client, "submit", interrupted_submit)
    sweeps = [lambda: trivella.dask.section_map(client, PHI0, L0, 20000, chunk=1, **SETTINGS),
              lambda: trivella.dask.stability_map(client, ("phi0", PHI0), ("l0", L0), 20000)]
    for sweep in sweeps:
        held.clear()
        with pytest.raises(KeyboardInterrupt):
            sweep()
        assert len(held) == 4 and trivella_tasks(client) == []


def test_a_worker_without_the_module_is_named_within_30_s(tmp_path):
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    with cluster(0) as c:
        worker = subprocess.Popen([sys.executable, "-m", "distributed.cli.dask_worker",
                                   c.scheduler_address, "--nthreads", "1", "--no-nanny",
                                   "--host", "127.0.0.1", "--dashboard-address", "127.0.0.1:0"],
                                  env=env, cwd=tmp_path,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            with Client(c) as client:
                client.wait_for_workers(1, timeout=60)
                address = next(iter(client.scheduler_info()["workers"]))
                start = time.monotonic()
                with pytest.raises(trivella.dask.WorkerMismatch) as error:
                    trivella.dask.section_map(client, PHI0, L0, 5, **SETTINGS)
                assert time.monotonic() - start < 30
                assert address in str(error.value) and "cannot import trivella" in str(error.value)
                assert "PYTHONPATH" in str(error.value)
                assert not trivella_tasks(client)
        finally:
            worker.kill()
            worker.wait()
