"""The model's constants as the engine holds them: names, defaults, the MEGNO threshold and
what makes the equations meaningless. The server hands these to its page; neither keeps a
copy of the rules."""

import numpy as np
from trivella import _engine as _module


def model_info():
    """{"names": [...], "defaults": {name: value}, "megno_threshold": float, "max_period":
    int}. A default is the shortest decimal that reads back as its single-precision value
    (0.4, not 0.4000000059604645), as a user would type it."""
    info = dict(_module.model_info())
    info["max_period"] = _module.max_period
    info["defaults"] = {k: float(str(np.float32(v))) for k, v in info["defaults"].items()}
    return info


def model_problem(params):
    """What makes the equations meaningless with `params` (name -> single-precision value)
    replacing the defaults, e.g. "b + c = 0"; "" when nothing does."""
    return _module.model_problem(list(params.items()))


def read_ini_text(text):
    """The settings and seeds of an ini.txt's text as the program reads it: {"n_points", "h0",
    "tol", "eps", "L", "seeds": [[phi0, l0], ...]}, each number the shortest decimal of its
    single-precision value; ValueError with the program's message for text it would refuse."""
    ini = _module.parse_ini(text)

    def short(x):
        return float(str(np.float32(x)))

    read = {name: short(ini[name]) for name in ("h0", "tol", "eps", "L")}
    read["n_points"] = ini["n_points"]
    read["seeds"] = [[short(p), short(q)] for p, q in zip(ini["phi0"], ini["l0"])]
    return read
