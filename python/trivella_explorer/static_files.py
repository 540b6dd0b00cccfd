"""The page's files: listed once when the server starts, read at each request without
following links, so that a file of web/ replaced by a link later is not served through it."""

import os
import stat
from pathlib import Path

CONTENT_TYPES = {
    ".html": "text/html; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".css": "text/css; charset=utf-8",
    ".svg": "image/svg+xml",
    ".png": "image/png",
    ".txt": "text/plain; charset=utf-8",
}


def list_files(web_dir):
    """URL path -> (path parts relative to web_dir, content type) for every servable file.

    A request is answered only from this table, so no path that a client writes can reach
    outside web_dir. Links are left out.
    """
    root = Path(web_dir).resolve()
    table = {}
    for file in sorted(root.rglob("*")):
        kind = CONTENT_TYPES.get(file.suffix)
        parts = file.relative_to(root).parts
        hidden = any(part.startswith(".") for part in parts)
        if kind is None or hidden or file.is_symlink() or not file.is_file():
            continue
        table["/" + "/".join(parts)] = (parts, kind)
    if "/index.html" in table:
        table["/"] = table["/index.html"]
    return table


def open_root(web_dir):
    """A descriptor of web_dir, held while the server runs: files are read under it even if
    the name web_dir comes to mean another directory."""
    return os.open(Path(web_dir).resolve(), os.O_RDONLY | os.O_DIRECTORY)


def read_file(root_fd, parts):
    """The bytes of the regular file at parts under root_fd, each component opened with
    O_NOFOLLOW; None when a component is a link, is missing or is not a regular file."""
    fds = []
    try:
        fd = root_fd
        for part in parts[:-1]:
            fd = os.open(part, os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW, dir_fd=fd)
            fds.append(fd)
        # O_NONBLOCK: a FIFO put in place of a file must not hold the request.
        fd = os.open(parts[-1], os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK, dir_fd=fd)
        fds.append(fd)
        if not stat.S_ISREG(os.fstat(fd).st_mode):
            return None
        with os.fdopen(os.dup(fd), "rb") as file:
            return file.read()
    except OSError:
        return None
    finally:
        for fd in fds:
            os.close(fd)
