"""Periodic orbits and rotation numbers: the skeleton of the section map.

periodic_orbit finds a periodic orbit of the stroboscopic map near a guess by Newton's
method, with its stability; rotation_numbers gives the rotation number of each condition by
weighted Birkhoff averages. Both follow the precise method, as trivella --precise does.
"""

import dataclasses

import numpy as np

from . import _checks
from . import _engine as _skeleton

# One record per condition of section_map(..., rotation=True).
ROTATION_DTYPE = np.dtype([("rotation", np.float64), ("circulating", np.bool_),
                           ("digits", np.float64)])


@dataclasses.dataclass(frozen=True)
class PeriodicOrbit:
    """A periodic orbit of the stroboscopic map: the columns of RESULT/periodic.txt.

    Attributes
    ----------
    converged : bool
    reason : str
        Why not, when not converged; empty otherwise.
    q : int
        Minimal period, a divisor of the period asked for; 0 when not converged.
    phi, l : float
        The point found, phi in [0, 2*pi) and l (not divided by L); the last iterate when
        not converged.
    residual : float
        |F^q(x*) - x*|, the phi difference taken modulo 2*pi.
    iterations : int
        Newton steps taken.
    trace, residue, det : float
        Of the monodromy matrix M of F^q: trace, Greene's residue (2 - trace) / 4 and the
        determinant (1 for this area-preserving map: a check).
    multipliers : numpy.ndarray of complex, shape (2,)
        Eigenvalues of M.
    kind : str
        'elliptic', 'hyperbolic', 'parabolic' or 'not-converged'.
    points : numpy.ndarray, shape (q, 2)
        The orbit's points, phi and l / L as section_map gives them; empty when not converged.
    """

    converged: bool
    reason: str
    q: int
    phi: float
    l: float
    residual: float
    iterations: int
    trace: float
    residue: float
    det: float
    multipliers: np.ndarray
    kind: str
    points: np.ndarray


# The longest period periodic_orbit and trivella --periodic search for.
MAX_PERIOD = _skeleton.max_period


def periodic_orbit(phi, l, q, *, L=1.0, params=None, tol=1e-14, h0=1.0, keep_going=None):
    """The periodic orbit of period q (or a divisor of it) found from the guess (phi, l).

    Parameters
    ----------
    phi, l : float
        The guess, a point of the section; l not divided by L.
    q : int
        The period, 1 to MAX_PERIOD (1000).
    L : float
        Reference L.
    params : dict, optional
        Overrides of the model's constants a, b, c, d, e, omega.
    tol : float
        Error bound of the precise method (> 0).
    h0 : float
        Its sign is the direction of time; a negative one searches on the inverse map.
    keep_going : callable, optional
        keep_going() -> bool, asked a few times a second; False stops the search, which then
        ends not converged.

    Returns
    -------
    PeriodicOrbit

    Every number is rounded once to single precision and widened, as the program rounds the
    numbers of ini.txt: the same values give the orbit of trivella --precise --periodic.
    """
    phi = _checks.real("phi", phi)
    l = _checks.real("l", l)
    q = _checks.count("q", q, 1, MAX_PERIOD)
    s = _precise_settings(L, tol, h0, params)
    d = _skeleton.periodic_orbit(phi, l, q, keep_going=_keep_going(keep_going), **s)
    (re1, im1), (re2, im2) = d.pop("multipliers")
    return PeriodicOrbit(multipliers=np.array([complex(re1, im1), complex(re2, im2)]), **d)


def rotation_numbers(phi0, l0, n_points, *, L, h0, tol, params=None, keep_going=None):
    """The rotation number of each condition over its n_points section points.

    Returns a structured array of ROTATION_DTYPE: rotation (for a circulating orbit the mean
    advance of phi per period over 2*pi; for a librating one the clockwise advance of the
    angle about the orbit's centre, modulo 1), circulating, and digits (to which the numbers
    of the orbit's two halves agree: chaotic orbits below about 4). NaN for orbits of fewer
    than 8 points. keep_going() -> bool, asked a few times a second, stops the run when it
    answers False: the conditions not finished by then get NaN.
    """
    phi, l, _ = _checks.conditions(phi0, l0)
    n_points = _checks.count("n_points", n_points, 0, _checks.MAX_INT)
    s = _precise_settings(L, tol, h0, params)
    number, circulating, digits = _skeleton.rotation(phi, l, n_points,
                                                     keep_going=_keep_going(keep_going), **s)
    out = np.empty(phi.size, dtype=ROTATION_DTYPE)
    out["rotation"] = number
    out["circulating"] = circulating
    out["digits"] = digits
    return out


def _keep_going(value):
    if value is not None and not callable(value):
        raise TypeError(f"keep_going must be callable, got {type(value).__name__}")
    return value


def _precise_settings(L, tol, h0, params):
    s = {"L": _checks.single("L", L), "tol": _checks.real("tol", tol)}
    h0 = _checks.real("h0", h0)
    if s["tol"] <= 0.0:
        raise ValueError(f"tol must be greater than 0, got {s['tol']!r} after rounding to "
                         f"single precision")
    if h0 == 0.0:
        raise ValueError("h0 must not be 0")
    s.update(direction=1 if h0 > 0.0 else -1, params=_checks.params(params))
    return s
