"""Prints where a Python package belongs under PREFIX, relative to it: the directory of
this Python's path (or user site) that lies under PREFIX, so that the package is imported
without PYTHONPATH. Debian's python3 reads /usr/local/lib/python3.X/dist-packages; the user
site (PREFIX=~/.local) and a venv read lib/python3.X/site-packages, the answer for any other
prefix too.

Usage: python3 tools/python_site_dir.py PREFIX
"""
import os
import site
import sys


def site_dir(prefix):
    prefix = os.path.realpath(os.path.expanduser(prefix))
    candidates = [p for p in sys.path if p]
    if os.path.realpath(site.USER_BASE) == prefix:
        candidates.insert(0, site.getusersitepackages())
    for path in candidates:
        relative = os.path.relpath(os.path.realpath(path), prefix)
        if relative.startswith("lib" + os.sep) and os.path.basename(relative) in (
                "site-packages", "dist-packages"):
            return relative
    return f"lib/python{sys.version_info.major}.{sys.version_info.minor}/site-packages"


if __name__ == "__main__":
    print(site_dir(sys.argv[1]))
