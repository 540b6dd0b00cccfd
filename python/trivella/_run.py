"""trivella.run: the program itself, run in a directory as a child process.

A child process runs exactly what the command line runs: its signal handlers, working
directory, lock and output stay its own, so the caller's Ctrl-C handling and working directory
are untouched, and several runs may go on at once from different threads.
"""

from __future__ import annotations

import os
import shutil
import signal
import subprocess
import sys
import sysconfig
from pathlib import Path
from typing import Any, Mapping

from . import _checks

try:  # written by the CMake build and by make install; pip installs the package alone
    from ._program import PROGRAM
except ImportError:
    PROGRAM = None


def program() -> str:
    """The trivella program: $TRIVELLA_PROGRAM, the one the build or make install put beside
    this package, the one in this Python's scripts directory (a venv's bin), or the first on
    PATH."""
    here = os.path.dirname(os.path.abspath(__file__))
    candidates = [os.environ.get("TRIVELLA_PROGRAM"),
                  os.path.join(here, PROGRAM) if PROGRAM else None,
                  os.path.join(sysconfig.get_path("scripts"), "trivella"),
                  shutil.which("trivella")]
    for path in candidates:
        if path and os.path.isfile(path) and os.access(path, os.X_OK):
            return os.path.normpath(path)
    raise FileNotFoundError("the trivella program was not found beside the package or on "
                            "PATH; set TRIVELLA_PROGRAM to its path")


def command_line(directory: Any, method: str, chaos: bool, threads: int | None,
                 digits: int | None, params: Mapping[str, float] | None,
                 quiet: bool) -> list[str]:
    """The program's arguments for these options, checked as section_map checks them."""
    args = [program()]
    if quiet:
        args.append("--quiet")
    if threads is not None:
        args.append(f"--threads={_checks.count('threads', threads, 1, 4096)}")
    method, chaos = _checks.method_and_chaos(method, chaos)
    if method == "precise":
        args.append("--precise")
    if chaos:
        args.append("--chaos")
    if digits is not None:
        args.append(f"--digits={_checks.count('digits', digits, 1, 17)}")
    # repr of the double that holds the rounded float reads back as that very float.
    args += [f"--param={name}={value!r}" for name, value in _checks.params(params)]
    return args + ["--", os.fspath(directory)]


def run(directory: str | os.PathLike[str], *, method: str = "classic", chaos: bool = False,
        threads: int | None = None, digits: int | None = None,
        params: Mapping[str, float] | None = None, quiet: bool = True) -> Path:
    """Runs the program on directory/ini.txt, as `trivella [options] directory` does.

    Parameters
    ----------
    directory : str or os.PathLike
        Holds ini.txt and the RESULT directory.
    method, chaos, threads, params
        As for section_map; they become --precise, --chaos, --threads and --param.
    digits : int, optional
        Decimals of the point lines, 1 to 17 (default 10).
    quiet : bool
        False shows the banner and condition numbers on standard output.

    Returns
    -------
    pathlib.Path
        directory/RESULT/lL.txt, complete.

    Raises
    ------
    RunError
        With the program's message when it fails (exit status 1); its points up to there are
        on disk.
    KeyboardInterrupt
        On Ctrl-C: the program is interrupted too and keeps the points computed so far.
    """
    from ._section_map import RunError

    args = command_line(directory, method, chaos, threads, digits, params, quiet)
    with subprocess.Popen(args, stdout=None if not quiet else subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True, errors="replace") as child:
        try:
            _, err = child.communicate()
        except BaseException:
            # A terminal's Ctrl-C reaches the child as well; anything else must be passed on.
            child.send_signal(signal.SIGINT)
            child.wait()
            raise
    lines = [line for line in err.splitlines() if line]
    failure = [line for line in lines if not line.startswith("trivella: warning:")]
    for line in lines:
        if line not in failure:
            print(line, file=sys.stderr)
    if child.returncode == 128 + signal.SIGINT:
        raise KeyboardInterrupt(failure[-1] if failure else "")
    if child.returncode != 0:
        message = failure[-1] if failure else f"exit status {child.returncode}"
        raise RunError(message.removeprefix("trivella: "))
    return Path(directory) / "RESULT" / "lL.txt"
