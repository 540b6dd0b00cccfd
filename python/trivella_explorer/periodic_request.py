"""The body of POST /api/periodic: parsed, checked and bounded before any work starts."""

from trivella.skeleton import MAX_PERIOD

from .orbit_request import BadRequest, _kind, _single, check_params, json_object

FIELDS = ("period", "guess", "tol", "h0", "L", "params")
REQUIRED = ("period", "guess", "tol", "h0", "L")
# Finer than this the integration's own rounding is above the bound and each Newton step
# costs many times more for nothing.
MIN_TOL = 1e-16


def parse_periodic_request(body):
    """The checked request as keyword arguments of trivella.periodic_orbit: phi, l, q, L, tol,
    h0, params. Raises BadRequest for anything but one JSON object with the known fields,
    each of its type and within its range."""
    r = json_object(body, FIELDS, REQUIRED)

    q = r["period"]
    if isinstance(q, bool) or not isinstance(q, int):
        raise BadRequest(f"period must be a whole number, got {_kind(q)} {q!r}")
    if not 1 <= q <= MAX_PERIOD:
        raise BadRequest(f"period must be from 1 to {MAX_PERIOD}, got {q}")
    guess = r["guess"]
    if not isinstance(guess, list) or len(guess) != 2:
        raise BadRequest("guess must be an array [phi, l]")
    phi, l = (_single(f"guess[{i}]", v) for i, v in enumerate(guess))
    values = {name: _single(name, r[name]) for name in ("tol", "h0", "L")}
    if not values["tol"] >= _single("the bound", MIN_TOL):
        raise BadRequest(f"tol must be at least {MIN_TOL:g}, got {r['tol']!r}")
    for name in ("h0", "L"):
        if values[name] == 0.0:
            raise BadRequest(f"{name} must not be 0 after rounding to single precision")
    params = check_params(r.get("params", {}))
    return dict(values, phi=phi, l=l, q=q, params=params)
