"""trivella.dask.section_map on a two-process LocalCluster equals one local run."""
import logging
import os

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


@pytest.fixture(scope="module")
def client():
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None, silence_logs=logging.ERROR) as cluster:
        with Client(cluster) as c:
            yield c


def test_sweep_equals_local_with_a_chunk_computed_again(client):
    local = trivella.section_map(PHI0, L0, 20, **SETTINGS)
    points, _, recomputed = trivella.dask.section_map_stats(client, PHI0, L0, 20, chunk=3,
                                                            **SETTINGS)
    assert 1 in recomputed
    assert np.array_equal(points, local)
    # The chunk as guessed would not do: its first condition would give other points.
    guessed = trivella.section_map(PHI0[3], L0[3], 20, **SETTINGS)
    assert not np.array_equal(guessed[0], local[3])


def test_failure_names_the_condition_of_the_sweep(client):
    with pytest.raises(trivella.RunError) as failure:
        trivella.dask.section_map(client, [0.0] * 5, [0.3, 0.5, 0.7, 0.9, 3e38], 10, chunk=2,
                                  **SETTINGS)
    assert failure.value.condition == 5
    local = trivella.section_map([0.0] * 4, [0.3, 0.5, 0.7, 0.9], 10, **SETTINGS)
    assert np.array_equal(failure.value.points[:4], local)


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
