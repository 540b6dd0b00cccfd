"""trivella.read_ini: an ini.txt read by the program's own reader."""

from __future__ import annotations

import os
import warnings
from typing import Any

import numpy as np

from . import _engine


def read_ini(path: str | os.PathLike[str]) -> dict[str, Any]:
    """The conditions and settings of an ini.txt, as the program reads them.

    Every number is rounded to single precision as the program rounds it, then widened, so
    ``trivella.section_map(**trivella.read_ini("ini.txt"))`` gives the points of the program's
    RESULT/lL.txt, byte for byte once written with "%15.10f %15.10f\\n". The program's warnings
    about likely slips in the file come as UserWarning.

    Parameters
    ----------
    path : str or os.PathLike
        The file itself (ini.txt), or the directory holding it.

    Returns
    -------
    dict
        phi0 and l0 (float64 arrays, one value per condition the run uses), n_points, L, h0,
        tol and eps: the keyword arguments of section_map.

    Raises
    ------
    ValueError
        With the program's own message when the program would refuse the file.
    """
    path = os.fspath(path)
    if os.path.isdir(path):
        path = os.path.join(path, "ini.txt")
    ini = _engine.read_ini(path)
    for warning in ini.pop("warnings"):
        warnings.warn(f"{path}: {warning}", UserWarning, stacklevel=2)
    ini["phi0"] = np.asarray(ini["phi0"], dtype=np.float64)
    ini["l0"] = np.asarray(ini["l0"], dtype=np.float64)
    return ini
