"""The page's files: the only files the server sends, listed once when it starts."""

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
    """URL path -> (file, content type) for every servable file under web_dir.

    A request is answered only from this table, so no path that a client writes can reach
    outside web_dir; files reached through a link that leaves it are not listed.
    """
    root = Path(web_dir).resolve()
    table = {}
    for file in sorted(root.rglob("*")):
        kind = CONTENT_TYPES.get(file.suffix)
        hidden = any(part.startswith(".") for part in file.relative_to(root).parts)
        if kind is None or hidden or not file.is_file() or not file.resolve().is_relative_to(root):
            continue
        table["/" + file.relative_to(root).as_posix()] = (file, kind)
    if "/index.html" in table:
        table["/"] = table["/index.html"]
    return table
