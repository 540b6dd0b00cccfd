"""A SectionMap written out: a labelled xarray.Dataset, NetCDF-4 with CF and ACDD attributes,
and the program's own files, so that every tool that reads a run reads this one."""

from __future__ import annotations

import datetime
import os
from pathlib import Path
from typing import Any

# The program's chaos.txt header, the same words and threshold.
CHAOS_HEADER = ("# chaotic when megno > {threshold:g}, undecided under {periods} periods; megno: mean MEGNO <Y> of the stroboscopic "
                "map over `periods` periods of 4 pi / omega from the first point; lyapunov: its "
                "finite-time maximal Lyapunov exponent per unit time\n"
                "# condition phi0 l0 megno lyapunov periods verdict\n")


def command_line(result: Any) -> str:
    """The program's options for these settings; the conditions go in ini.txt."""
    s = result.settings
    words = ["trivella"]
    if s["method"] == "precise":
        words.append("--precise")
    if s["chaos"]:
        words.append("--chaos")
    from . import _engine

    defaults = dict(_engine.model_constants())
    words += [f"--param={name}={value!r}" for name, value in result.constants.items()
              if value != defaults[name]]
    return " ".join(words + ["DIR"])


def _dims(result: Any, dims: tuple[str, ...] | None) -> tuple[str, ...]:
    ndim = result.phi0.ndim
    if dims is None:
        return ("condition",) if ndim == 1 else tuple(f"condition_{i}" for i in range(ndim))
    dims = tuple(dims)
    if len(dims) != ndim or not all(isinstance(d, str) for d in dims):
        raise ValueError(f"dims must name the {ndim} axes of the conditions, got {dims!r}")
    return dims


def attributes(result: Any) -> dict[str, Any]:
    """The dataset's global attributes: ACDD discovery, provenance and every setting and
    constant (None and booleans as NetCDF can hold them)."""
    now = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0).isoformat()
    s = result.settings
    attrs = {
        "Conventions": "CF-1.8, ACDD-1.3",
        "title": f"Section map of the forced rigid body ({s['method']} method)",
        "summary": ("Stroboscopic section points (phi reduced to [0, 2 pi), l / L) of the "
                    "periodically forced rigid body, one series per initial condition."),
        "source": f"trivella {result.version} (Python module trivella)",
        "history": f"{now} trivella.section_map, equivalent to: {command_line(result)}",
        "date_created": now,
        "product_version": result.version,
    }
    for name, value in s.items():
        if value is not None:
            attrs[f"trivella_{name}"] = int(value) if isinstance(value, bool) else value
    for name, value in result.constants.items():
        attrs[f"model_{name}"] = value
    return attrs


def to_xarray(result: Any, dims: tuple[str, ...] | None = None) -> Any:
    import xarray as xr

    cond = _dims(result, dims)
    point = (*cond, "point")
    data = {
        "phi": (point, result.points[..., 0],
                {"long_name": "angle phi at the section, reduced to [0, 2 pi)", "units": "rad"}),
        "l": (point, result.points[..., 1],
              {"long_name": "momentum l at the section divided by L", "units": "1"}),
    }
    if result.chaos is not None:
        c = result.chaos
        data["megno"] = (cond, c["megno"], {"long_name": "mean MEGNO <Y>", "units": "1"})
        data["lyapunov"] = (cond, c["lyapunov"], {
            "long_name": "finite-time maximal Lyapunov exponent", "units": "1/time"})
        data["periods"] = (cond, c["periods"], {"long_name": "periods behind megno"})
        data["verdict"] = (cond, c["verdict"].astype(str), {
            "long_name": "regular, chaotic, or undecided (too few periods)"})
    coords = {
        "phi0": (cond, result.phi0, {"long_name": "initial angle phi", "units": "rad"}),
        "l0": (cond, result.l0, {"long_name": "initial momentum l"}),
        "time": (("point",), result.times, {"long_name": "section time t_k",
                                            "standard_name": "time", "units": "1"}),
    }
    return xr.Dataset(data, coords=coords, attrs=attributes(result))


def to_netcdf(result: Any, path: Any, dims: tuple[str, ...] | None = None) -> None:
    ds = to_xarray(result, dims)
    # The section time is a model time, not a calendar: keep xarray from decoding it.
    ds["time"].attrs["units"] = "1"
    ds.to_netcdf(os.fspath(path), format="NETCDF4", engine="netcdf4")


def _ini_text(result: Any) -> str:
    """An ini.txt naming these conditions (the program would round each number to float)."""
    s = result.settings
    phi0, l0 = result.phi0.ravel(), result.l0.ravel()
    h0 = 1.0 if s["h0"] is None else s["h0"]
    eps = 1e-6 if s["eps"] is None else s["eps"]
    lines = ["written by trivella.SectionMap.write_result",
             f"{phi0.size} {s['n_points']} {h0!r} {s['tol']!r} {eps!r}", "reference L",
             f"{s['L']!r}"]
    lines += [f"condition {i} {i} {p!r} {q!r} ./RESULT/c{i}.txt"
              for i, (p, q) in enumerate(zip(phi0.tolist(), l0.tolist()), 1)]
    return "\n".join(lines) + "\n"


def write_result(result: Any, directory: Any) -> None:
    from . import _engine

    directory = Path(directory)
    out = directory / "RESULT"
    out.mkdir(parents=True, exist_ok=True)
    ini = directory / "ini.txt"
    if not ini.exists():
        ini.write_text(_ini_text(result))
    s = result.settings
    points = result.points.reshape(-1, 2)
    with open(out / "lL.txt", "w") as f:
        f.writelines("%15.10f %15.10f\n" % (p, q) for p, q in points.tolist())
    c = result.constants
    defaults = dict(_engine.model_constants())
    changed = [name for name in c if c[name] != defaults[name]]
    # As the program: run_info.txt for the precise method, or for constants set apart.
    if s["method"] != "precise" and not changed:
        return
    with open(out / "run_info.txt", "w") as f:
        f.write(f"method {s['method']}\ntol {s['tol']:.9g}\n"
                f"direction {'forward' if s['h0'] is None or s['h0'] > 0 else 'backward'}\n"
                f"L {s['L']:.9g}\n")
        f.writelines(f"{name} {c[name]:.9g}\n" for name in c)
        f.write(f"changed {' '.join(changed) if changed else 'none'}\n")
        f.write(f"chaos {'yes' if s['chaos'] else 'no'}\n")
    if result.chaos is None:
        return
    with open(out / "chaos.txt", "w") as f:
        f.write(CHAOS_HEADER.format(threshold=_engine.chaos_threshold,
                                    periods=_engine.periods_for_verdict))
        rows = zip(result.phi0.ravel().tolist(), result.l0.ravel().tolist(),
                   result.chaos.ravel().tolist())
        for i, (p, q, (megno, lyapunov, periods, verdict, _)) in enumerate(rows, 1):
            if periods == 0:
                f.write(f"{i} {p:.9g} {q:.9g} nan nan 0 undecided\n")
            else:
                f.write(f"{i} {p:.9g} {q:.9g} {megno:.6g} {lyapunov:.6g} {periods} {verdict}\n")
