"""The module's section map of numbers as the explorer's server takes them."""

import numpy as np
import trivella


def program_map(phi0, l0, n_points, method="classic", chaos=False, params=None, **numbers):
    """trivella.section_map of the numbers as the server takes them: each rounded to single
    precision, as the program reads ini.txt (section_map itself uses the doubles given)."""
    def single(x):
        return np.float32(x).astype(np.float64)

    numbers = {k: float(single(v)) for k, v in numbers.items()}
    return trivella.section_map(single(phi0), single(l0), n_points, method=method, chaos=chaos,
                                params=params, **numbers)
