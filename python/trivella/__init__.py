"""Section maps of the periodically forced rigid body, computed by the trivella engine.

section_map computes the points of many initial conditions on every core and returns a
SectionMap, which behaves as the points array and carries their times, chaos record, settings
and version, and converts to xarray and NetCDF. read_ini reads an ini.txt as the program
does; run runs the program itself; stream_map hands points over as they come; stability_map
gives the chaos indicator over a plane of initial conditions or constants as an
xarray.Dataset; trivella.dask spreads a sweep over a Dask cluster with the same result.
"""

from . import _engine
from ._ini import read_ini
from ._result import INDICATOR_DTYPE, VERDICTS, SectionMap
from ._run import run
from ._section_map import RunError, section_map
from ._stability_map import stability_map
from .skeleton import ROTATION_DTYPE, PeriodicOrbit, periodic_orbit, rotation_numbers
from .stream import StreamOutcome, stream_map

__version__: str = _engine.__version__
# The chaos verdict's rule, as the program applies it: chaotic when the mean MEGNO exceeds the
# threshold, undecided with fewer periods behind it than PERIODS_FOR_VERDICT.
CHAOS_THRESHOLD: float = _engine.chaos_threshold
PERIODS_FOR_VERDICT: int = _engine.periods_for_verdict

__all__ = ["CHAOS_THRESHOLD", "INDICATOR_DTYPE", "PERIODS_FOR_VERDICT", "ROTATION_DTYPE",
           "VERDICTS", "PeriodicOrbit", "RunError", "SectionMap", "StreamOutcome", "__version__",
           "model_constants", "periodic_orbit", "read_ini", "rotation_numbers", "run",
           "section_map", "stability_map", "stream_map"]


def model_constants() -> dict[str, float]:
    """The model's constants a, b, c, d, e, omega and their defaults, as the program has
    them (in single precision, widened)."""
    return dict(_engine.model_constants())
