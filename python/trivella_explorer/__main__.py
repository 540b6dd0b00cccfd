"""python -m trivella_explorer [--port N]: serves the explorer on 127.0.0.1 until Ctrl-C.

The first line printed is the page's URL. The port is --port, else $PORT, else a free one.
"""

import argparse
import os
import sys
import time

from .server import TIME_LIMIT, WEB_DIR, make_server


def port_number(text):
    """A port from 0 to 65535 (0: a free one), for --port and $PORT."""
    try:
        port = int(text, 10)
    except ValueError:
        port = -1
    if not 0 <= port <= 65535:
        raise argparse.ArgumentTypeError(f"expected a port number from 0 to 65535, got {text!r}")
    return port


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python -m trivella_explorer",
                                     description="Serve the trivella explorer on 127.0.0.1.")
    parser.add_argument("--port", type=port_number, default=None,
                        help="port to listen on (default: $PORT, else a free one)")
    parser.add_argument("--web", default=WEB_DIR, help="the page's directory")
    parser.add_argument("--time-limit", type=float, default=TIME_LIMIT,
                        help="seconds an orbit may compute (default %(default)g)")
    parser.add_argument("-v", "--verbose", action="store_true", help="log every request")
    args = parser.parse_args(argv)
    if args.port is None:
        try:
            args.port = port_number(os.environ.get("PORT") or "0")
        except argparse.ArgumentTypeError as error:
            parser.error(f"$PORT: {error}")
    try:
        server = make_server(args.port, web_dir=args.web, time_limit=args.time_limit,
                             verbose=args.verbose)
    except OSError as error:
        where = error.filename or f"127.0.0.1:{args.port}"
        print(f"trivella_explorer: cannot serve {where}: {error.strerror}", file=sys.stderr)
        return 1
    host, port = server.server_address[:2]
    print(f"http://{host}:{port}/", flush=True)
    print("Ctrl-C stops the server.", file=sys.stderr, flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        # Runs in progress stop at their next check, within a fraction of a second.
        server.stopping.set()
        deadline = time.monotonic() + 2.0
        while server.runs and time.monotonic() < deadline:
            time.sleep(0.05)
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
