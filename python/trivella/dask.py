"""Sweeps of many conditions on a dask.distributed cluster, identical to one local run.

The conditions are cut into chunks of `chunk` consecutive conditions; each chunk is one task,
and its inputs follow from its index alone, so a task that is retried, or rerun after its
worker was lost, gives the same result.

The precise method computes every condition on its own: the chunks are independent.

The classic method carries the step size over from one condition to the next, so a chunk's
true start is the step size the previous chunk left. Every chunk is started at once from h0,
a guess that lies on the lattice h0 * 2**k that every step size lies on. When the results are
gathered in order, each chunk is confirmed by taking the first accepted step of its first
condition both from h0 and from the step size the previous chunk really left: the same step
size means the same run, byte for byte, as the engine confirms conditions computed ahead of
their turn. A chunk that fails the check is computed again on the cluster from the real step
size, and the chunks after it are checked against what it leaves.
"""

import uuid

import numpy as np

from . import RunError, _checks, _engine, _indicators


def _run_chunk(phi, l, n_points, settings, h_start, threads):
    """One task: the chunk's conditions from step size h_start. A condition that stops early
    is part of the result, not an exception, so that Dask does not retry what would fail
    again."""
    return _engine.run_map(phi, l, n_points, threads=threads, progress=None,
                           **dict(settings, h0=h_start))


def _confirmed(phi, l, h_guess, h_real, settings):
    """The run from h_guess is the run from h_real: both take the same first accepted step."""
    if h_guess == h_real:
        return True
    args = {k: settings[k] for k in ("L", "tol", "eps", "params")}
    guessed = _engine.first_accepted_step(phi, l, h_guess, **args)
    real = _engine.first_accepted_step(phi, l, h_real, **args)
    return guessed is not None and guessed == real


def section_map(client, phi0, l0, n_points, *, L, h0, tol, eps, method="classic", chaos=False,
                params=None, chunk=64, threads=1, retries=3):
    """trivella.section_map computed on the cluster of `client`, with the same result.

    Parameters
    ----------
    client : distributed.Client
    phi0, l0, n_points, L, h0, tol, eps, method, chaos, params
        As for trivella.section_map.
    chunk : int
        Conditions per task.
    threads : int
        Conditions each task computes at once; 1 suits workers with one thread per core.
    retries : int
        Times a task that raised is run again; tasks of a lost worker are rerun by the
        scheduler in any case.

    Returns
    -------
    As trivella.section_map; section_map_stats also says which chunks were computed twice.

    Raises
    ------
    As trivella.section_map; RunError names the condition across the whole sweep.
    """
    points, indicators, _ = section_map_stats(
        client, phi0, l0, n_points, L=L, h0=h0, tol=tol, eps=eps, method=method, chaos=chaos,
        params=params, chunk=chunk, threads=threads, retries=retries)
    return (points, indicators) if chaos else points


def section_map_stats(client, phi0, l0, n_points, *, L, h0, tol, eps, method="classic",
                      chaos=False, params=None, chunk=64, threads=1, retries=3):
    """As section_map, returning (points, indicators, recomputed): the indices of the
    chunks computed again because their guessed start did not hold."""
    phi, l = _checks.conditions(phi0, l0)
    n_points, settings = _checks.settings(n_points, L, h0, tol, eps, method, chaos, params)
    chunk = _checks.count("chunk", chunk, 1, _checks.MAX_INT)
    threads = _checks.count("threads", threads, 1, 4096)
    retries = _checks.count("retries", retries, 0, 1000)
    n = phi.size
    points = np.full((n, n_points, 2), np.nan)
    summary = np.full((n, 2), np.nan)
    chaotic = np.zeros(n, dtype=bool)
    run_id = uuid.uuid4().hex

    def submit(k, h_start):
        part = slice(k * chunk, (k + 1) * chunk)
        return client.submit(_run_chunk, phi[part], l[part], n_points, settings, h_start,
                             threads, key=f"trivella-chunk-{run_id}-{k}-{h_start!r}",
                             retries=retries, pure=False)

    h_guess = settings["h0"]
    futures = [submit(k, h_guess) for k in range(-(-n // chunk))]
    recomputed = []
    h = h_guess
    for k, future in enumerate(futures):
        first = k * chunk
        result = future.result()
        future.release()
        if settings["method"] == "classic" and not _confirmed(phi[first], l[first], h_guess, h,
                                                              settings):
            recomputed.append(k)
            again = submit(k, h)
            result = again.result()
            again.release()
        part_points, part_summary, part_chaotic, h, failure, condition = result
        part = slice(first, first + len(part_points))
        points[part] = part_points
        summary[part] = part_summary
        chaotic[part] = part_chaotic
        if condition:
            condition += first
            raise RunError(f"condition {condition}: {failure}", condition, points)
    return points, _indicators(summary, chaotic), recomputed
