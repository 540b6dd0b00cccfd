"""The explorer: a local web server for the page in web/, which draws the section map and
computes an orbit wherever it is clicked.

python -m trivella_explorer serves it on 127.0.0.1; make_server builds the server itself.
"""

from .server import ExplorerServer, make_server

__all__ = ["ExplorerServer", "make_server"]
