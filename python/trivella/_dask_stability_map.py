"""trivella.dask.stability_map: a stability map computed on a dask.distributed cluster, a few
rows of cells per task. Every cell is computed on its own, so the tasks are independent and
the result is the local one, bit for bit."""

from __future__ import annotations

import uuid
from typing import Any, Mapping

import numpy as np
from numpy.typing import ArrayLike

from . import _checks
from ._dask_cancel import cancel_run
from ._section_map import Progress, progress_callback
from ._stability_map import compute_cells, dataset, prepare
from ._worker_check import check_workers


def _run_rows(phi: np.ndarray, l: np.ndarray, varying: list, n_points: int,
              engine: dict[str, Any], threads: int, rotation: bool) -> dict[str, np.ndarray]:
    """One task: the variables of the cells of a few rows. A cell that fails is part of the
    result, not an exception, so that Dask does not retry what would fail again."""
    return compute_cells(phi, l, varying, n_points, engine, threads, rotation)


def stability_map(client: Any, x: tuple[str, ArrayLike], y: tuple[str, ArrayLike],
                  n_points: int, *, L: float = 1.0, params: Mapping[str, float] | None = None,
                  phi0: float | None = None, l0: float | None = None, tol: float = 1e-10,
                  h0: float | None = None, rotation: bool = False, rows: int = 1,
                  threads: int | None = 1, retries: int = 3, progress: Progress = None) -> Any:
    """trivella.stability_map computed on the cluster of `client`, with the same Dataset.

    Parameters
    ----------
    client : distributed.Client
    x, y, n_points, L, params, phi0, l0, tol, h0, rotation
        As for trivella.stability_map.
    rows : int
        Rows of cells (values of y) per task.
    threads, retries, progress
        As for trivella.dask.section_map; progress counts the points of the tasks gathered.

    Raises
    ------
    WorkerMismatch
        Before anything is submitted, naming each worker that cannot import trivella or runs
        another version or build.
    As trivella.stability_map otherwise. Every exit cancels the tasks not yet gathered.
    """
    p, n_points, engine, attrs = prepare(x, y, n_points, L, params, phi0, l0, tol, h0, rotation)
    rows = _checks.count("rows", rows, 1, _checks.MAX_INT)
    threads = _checks.threads(threads)
    retries = _checks.count("retries", retries, 0, 1000)
    n_y, n_x = p.shape
    total = p.phi.size * n_points
    with progress_callback(progress, total) as callback:
        check_workers(client)
        key_prefix = f"trivella-rows-{uuid.uuid4().hex}-"
        pending: dict[Any, tuple[int, int]] = {}
        try:
            for k, row in enumerate(range(0, n_y, rows)):
                first, last = row * n_x, min(row + rows, n_y) * n_x
                future = client.submit(_run_rows, *p.cells(first, last), n_points, engine,
                                       threads, bool(rotation), key=f"{key_prefix}{k}",
                                       retries=retries, pure=False)
                pending[future] = (first, last)
            cells = _gather(client, pending, p.phi.size, n_points, total, callback)
        finally:
            cancel_run(client, key_prefix, pending)
    return dataset(p, cells, attrs)


def _gather(client: Any, pending: dict[Any, tuple[int, int]], n: int, per_cell: int,
            total: int, callback: Any) -> dict[str, np.ndarray]:
    """The tasks' variables placed at their cells, gathered as they complete; each gathered
    task leaves `pending`."""
    from distributed import as_completed

    cells: dict[str, np.ndarray] = {}
    done = 0
    for future in as_completed(list(pending)):
        part = future.result()
        first, last = pending.pop(future)
        future.release()
        for name, values in part.items():
            cells.setdefault(name, np.empty(n, dtype=values.dtype))[first:last] = values
        done += (last - first) * per_cell
        if callback is not None:
            callback(done, total)
    return cells
