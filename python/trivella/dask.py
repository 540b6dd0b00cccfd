"""Sweeps of many conditions on a dask.distributed cluster, identical to one local run.

The conditions are cut into chunks of `chunk` consecutive conditions; each chunk is one task,
and its inputs follow from its index alone, so a task that is retried, or rerun after its
worker was lost, gives the same result.

The precise method computes every condition on its own: the chunks are independent.

The classic method carries the step size over from one condition to the next, so a chunk's
true start is the step size the previous chunk left. Every chunk is started at once from h0,
a guess that lies on the lattice h0 * 2**k that every step size lies on. Chunk by chunk in
order, each is confirmed by taking the first accepted step of its first condition both from
h0 and from the step size the previous chunk really left: the same step size means the same
run, byte for byte, as the engine confirms conditions computed ahead of their turn. A chunk
that fails the check is computed again on the cluster from the real step size.

Every exit from section_map, Ctrl-C included, cancels the tasks it submitted: an interrupted
sweep leaves nothing queued on the cluster, even where the caller (IPython, Jupyter) keeps the
traceback and with it section_map's frame.

stability_map spreads a stability map over the cluster a few rows per task, with the same
Dataset as trivella.stability_map.
"""

from __future__ import annotations

import uuid
from typing import Any, Mapping

import numpy as np
from numpy.typing import ArrayLike

from . import _checks, _engine
from ._result import SectionMap
from ._dask_cancel import cancel_run
from ._dask_stability_map import stability_map
from ._section_map import Progress, RunError, assemble, progress_callback
from ._worker_check import WorkerMismatch, check_workers

__all__ = ["RunError", "WorkerMismatch", "check_workers", "section_map", "section_map_stats",
           "stability_map"]

def _run_chunk(phi: np.ndarray, l: np.ndarray, n_points: int, engine: dict[str, Any],
               h_start: float, threads: int) -> tuple:
    """One task: the chunk's conditions from step size h_start. A condition that stops early
    is part of the result, not an exception, so that Dask does not retry what would fail
    again."""
    return _engine.run_map(phi, l, n_points, threads=threads, progress=None,
                           **dict(engine, h0=h_start))


def _confirmed(phi: float, l: float, h_guess: float, h_real: float,
               engine: dict[str, Any]) -> bool:
    """The run from h_guess is the run from h_real: both take the same first accepted step."""
    if h_guess == h_real:
        return True
    args = {k: engine[k] for k in ("L", "tol", "eps", "params")}
    guessed = _engine.first_accepted_step(phi, l, h_guess, **args)
    real = _engine.first_accepted_step(phi, l, h_real, **args)
    return guessed is not None and guessed == real


def section_map(client: Any, phi0: ArrayLike, l0: ArrayLike, n_points: int, *,
                L: float = 1.0, h0: float | None = None, tol: float | None = None,
                eps: float | None = None, method: str = "classic", chaos: bool = False,
                params: Mapping[str, float] | None = None, chunk: int = 64,
                threads: int | None = 1, retries: int = 3,
                progress: Progress = None) -> SectionMap:
    """trivella.section_map computed on the cluster of `client`, with the same result.

    Parameters
    ----------
    client : distributed.Client
    phi0, l0, n_points, L, h0, tol, eps, method, chaos, params
        As for trivella.section_map.
    chunk : int
        Conditions per task.
    threads : int or None
        Conditions each task computes at once, as for trivella.section_map (None: every
        core of the worker). 1 suits workers with one thread per core.
    retries : int
        Times a task that raised is run again; tasks of a lost worker are rerun by the
        scheduler in any case.
    progress : callable or True, optional
        As for trivella.section_map, counted in points of the chunks as they complete.

    Returns
    -------
    SectionMap, as trivella.section_map; section_map_stats also says which chunks were
    computed twice.

    Raises
    ------
    WorkerMismatch
        Before anything is submitted, naming each worker that cannot import trivella or runs
        another version or build.
    As trivella.section_map otherwise; RunError names the condition across the whole sweep.
    """
    result, _ = section_map_stats(
        client, phi0, l0, n_points, L=L, h0=h0, tol=tol, eps=eps, method=method, chaos=chaos,
        params=params, chunk=chunk, threads=threads, retries=retries, progress=progress)
    return result


def section_map_stats(client: Any, phi0: ArrayLike, l0: ArrayLike, n_points: int, *,
                      L: float = 1.0, h0: float | None = None, tol: float | None = None,
                      eps: float | None = None, method: str = "classic", chaos: bool = False,
                      params: Mapping[str, float] | None = None, chunk: int = 64,
                      threads: int | None = 1, retries: int = 3,
                      progress: Progress = None) -> tuple[SectionMap, list[int]]:
    """As section_map, returning (result, recomputed): the indices of the chunks computed
    again because their guessed start did not hold."""
    phi, l, shape = _checks.conditions(phi0, l0)
    n_points, engine, settings = _checks.settings(n_points, L, h0, tol, eps, method, chaos,
                                                  params)
    chunk = _checks.count("chunk", chunk, 1, _checks.MAX_INT)
    threads = _checks.threads(threads)
    retries = _checks.count("retries", retries, 0, 1000)
    with progress_callback(progress, phi.size * n_points) as callback:
        check_workers(client)
        sweep = _Sweep(client, phi, l, n_points, engine, chunk, threads, retries)
        try:
            run = sweep.gather(callback)
        finally:
            sweep.cancel()
    return assemble(shape, phi, l, n_points, settings, engine["params"], run), sweep.recomputed


class _Sweep:
    """The tasks of one sweep, gathered in condition order as they complete."""

    def __init__(self, client: Any, phi: np.ndarray, l: np.ndarray, n_points: int,
                 engine: dict[str, Any], chunk: int, threads: int, retries: int) -> None:
        self.client, self.phi, self.l, self.n_points = client, phi, l, n_points
        self.engine, self.chunk, self.threads, self.retries = engine, chunk, threads, retries
        self.run_id = uuid.uuid4().hex
        self.pending: dict[str, Any] = {}  # key -> future, not yet gathered
        self.recomputed: list[int] = []

    def submit(self, k: int, h_start: float) -> Any:
        part = slice(k * self.chunk, (k + 1) * self.chunk)
        future = self.client.submit(
            _run_chunk, self.phi[part], self.l[part], self.n_points, self.engine, h_start,
            self.threads, key=f"trivella-chunk-{self.run_id}-{k}-{h_start!r}",
            retries=self.retries, pure=False)
        self.pending[future.key] = future
        return future

    def cancel(self) -> None:
        """Cancels every task not yet gathered and drops the references to them."""
        cancel_run(self.client, f"trivella-chunk-{self.run_id}-", self.pending.values())
        self.pending = {}

    def gather(self, callback: Any) -> tuple:
        """run_map's result for the whole sweep."""
        from distributed import as_completed

        n = self.phi.size
        # Left uninitialised: every chunk gathered writes its rows, and a failure fills the rest.
        points = np.empty((n, self.n_points, 2))
        megno, lyapunov = np.full(n, np.nan), np.full(n, np.nan)
        periods, verdict = np.zeros(n, dtype=np.int64), np.zeros(n, dtype=np.int8)
        h_guess = self.engine["h0"]
        owner = {}
        for k in range(-(-n // self.chunk)):
            owner[self.submit(k, h_guess).key] = (k, h_guess)
        total, done, next_k, h = n * self.n_points, 0, 0, h_guess
        arrived: dict[int, tuple] = {}
        completed = as_completed(list(self.pending.values()))
        for future in completed:
            k, h_start = owner[future.key]
            arrived[k] = (future.result(), h_start)
            del self.pending[future.key]
            future.release()
            done += len(arrived[k][0][0]) * self.n_points
            if callback is not None:
                callback(min(done, total), total)
            while next_k in arrived:
                run, h_start = arrived.pop(next_k)
                first = next_k * self.chunk
                if self.engine["method"] == "classic" and not _confirmed(
                        self.phi[first], self.l[first], h_start, h, self.engine):
                    self.recomputed.append(next_k)
                    total += len(run[0]) * self.n_points
                    again = self.submit(next_k, h)
                    owner[again.key] = (next_k, h)
                    completed.add(again)
                    break
                part_points, part_megno, part_lyapunov, part_periods, part_verdict, h, failure, \
                    condition = run[:8]
                part = slice(first, first + len(part_points))
                points[part] = part_points
                megno[part], lyapunov[part] = part_megno, part_lyapunov
                periods[part], verdict[part] = part_periods, part_verdict
                if condition:
                    points[part.stop:] = np.nan
                    return points, megno, lyapunov, periods, verdict, h, failure, \
                        condition + first
                next_k += 1
        return points, megno, lyapunov, periods, verdict, h, "", 0
