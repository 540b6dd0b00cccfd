"""The model's constants as the engine holds them: names, defaults, the MEGNO threshold and
what makes the equations meaningless. The server hands these to its page; neither keeps a
copy of the rules."""

import numpy as np
from trivella import _engine as _module


def model_info():
    """{"names": [...], "defaults": {name: value}, "megno_threshold": float}. A default is
    the shortest decimal that reads back as its single-precision value (0.4, not
    0.4000000059604645), as a user would type it."""
    info = dict(_module.model_info())
    info["defaults"] = {k: float(str(np.float32(v))) for k, v in info["defaults"].items()}
    return info


def model_problem(params):
    """What makes the equations meaningless with `params` (name -> single-precision value)
    replacing the defaults, e.g. "b + c = 0"; "" when nothing does."""
    return _module.model_problem(list(params.items()))
