"""Cancelling every task of one sweep, including one whose submission Ctrl-C interrupted."""

from __future__ import annotations

from typing import Any, Iterable


def cancel_run(client: Any, key_prefix: str, futures: Iterable[Any]) -> None:
    """Cancels `futures` and every other future of `client` whose key starts with
    `key_prefix`. Ctrl-C can land inside client.submit after the task reached the scheduler
    but before its future was handed back; the client still holds that future by key."""
    from distributed import Future

    by_key = {str(f.key): f for f in futures}
    for key in list(client.futures):
        if str(key).startswith(key_prefix) and str(key) not in by_key:
            by_key[str(key)] = Future(key, client, inform=False)
    if by_key:
        client.cancel(list(by_key.values()), force=True)
