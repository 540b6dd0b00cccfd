"""What a Dask worker says of its trivella, sent to it by value so that it runs even where
trivella cannot be imported (trivella.dask registers this module with cloudpickle)."""

from __future__ import annotations

import hashlib
import sys
from typing import Any


def fingerprint(engine: Any) -> str:
    """A digest of a small fixed run of both methods with the chaos indicator: equal digests
    mean builds that give the same bits on these machines."""
    import numpy as np

    digest = hashlib.sha256()
    for method, chaos in (("classic", False), ("precise", True)):
        run = engine.run_map(np.array([0.8, 2.2]), np.array([0.3, -1.1]), 40, L=1.0, h0=0.1,
                             tol=1e-9, eps=1e-6, method=method, chaos=chaos, params=[],
                             threads=1, progress=None)
        for part in run[:6]:
            digest.update(np.ascontiguousarray(part).tobytes())
    return digest.hexdigest()


def probe() -> dict[str, Any]:
    """On a worker: its Python, and the version and fingerprint of its trivella, or why
    trivella cannot be imported there."""
    out: dict[str, Any] = {"python": sys.executable}
    try:
        from trivella import _engine
    except Exception as error:  # reported to the client, which names the worker
        out["error"] = f"{type(error).__name__}: {error}"
        return out
    out["version"] = _engine.__version__
    out["path"] = _engine.__file__
    out["fingerprint"] = fingerprint(_engine)
    return out
