"""The check trivella.dask runs before a sweep: every worker imports the client's build."""

from __future__ import annotations

from typing import Any

import cloudpickle

from . import _engine, _probe

# The probe runs on workers that may lack trivella: it travels by value.
cloudpickle.register_pickle_by_value(_probe)


class WorkerMismatch(RuntimeError):
    """Workers that cannot import trivella, or run another version or build than the
    client's: no task was submitted."""


def check_workers(client: Any) -> None:
    """Raises WorkerMismatch naming every worker of `client` that cannot import trivella or
    whose version or results differ from this process's."""
    mine = {"version": _engine.__version__, "fingerprint": _probe.fingerprint(_engine)}
    answers = client.run(_probe.probe, on_error="return")
    if not answers:
        raise WorkerMismatch("the cluster has no workers")
    problems = []
    for worker, answer in sorted(answers.items()):
        if isinstance(answer, BaseException):
            problems.append(f"{worker}: the check failed: {type(answer).__name__}: {answer}")
        elif "error" in answer:
            problems.append(f"{worker} ({answer['python']}) cannot import trivella: "
                            f"{answer['error']}")
        elif answer["version"] != mine["version"]:
            problems.append(f"{worker} ({answer['python']}) runs trivella {answer['version']} "
                            f"from {answer['path']}, this client {mine['version']}")
        elif answer["fingerprint"] != mine["fingerprint"]:
            problems.append(f"{worker} ({answer['python']}) runs a build of trivella "
                            f"{answer['version']} from {answer['path']} whose results differ "
                            f"from this client's")
    if problems:
        raise WorkerMismatch(
            "every worker must import the same build of trivella as the client: "
            + "; ".join(problems) + ". Install that build into each worker's Python, or put "
            "its directory on the workers' PYTHONPATH (see docs/python.md)")
