"""trivella.stability_map against section_map cell by cell, the integrable case, the Dask
version against the local one, and bad arguments."""

import os

import numpy as np
import pytest
import xarray as xr
from distributed import Client, LocalCluster

import trivella
import trivella.dask

PRECISE = dict(method="precise", tol=1e-10, chaos=True)
# L = 5 with the default constants: (0.2, 1.0) and (1.36, 2.5) are chaotic, the others regular.
CHAOS_PLANE = dict(x=("phi0", [0.2, 1.36]), y=("l0", [1.0, 2.5]), n_points=310, L=5.0,
                   tol=1e-10)
# A plane of constants: e = 0.4 is rounded to single precision.
CONSTANT_PLANE = dict(x=("e", [0.0, 0.4]), y=("omega", [0.9, 1.3]), n_points=40, L=5.0,
                      phi0=0.2, l0=1.0, tol=1e-10, rotation=True)


def test_initial_condition_plane_equals_section_map_with_a_failed_cell(tmp_path):
    # l0 = 3e38 stops the integration at once: that cell fails, the ones after it go on.
    phi0, l0 = [0.5, 2.0, 4.1], [0.3, 3e38, -0.7]
    calls = []
    ds = trivella.stability_map(("phi0", phi0), ("l0", l0), 30, L=1.0, tol=1e-10,
                                rotation=True, progress=lambda *a: calls.append(a))
    assert calls[-1] == (9 * 30, 9 * 30)  # the failed cells count whole
    assert ds.megno.dims == ("l0", "phi0") and ds.phi0.values.tolist() == phi0
    assert (ds.verdict[1] == "failed").all() and np.isnan(ds.megno[1]).all()
    phi, l = np.meshgrid(phi0, [l0[0], l0[2]])
    local = trivella.section_map(phi, l, 30, L=1.0, **PRECISE, rotation=True)
    kept = ds.isel(l0=[0, 2])
    for name in ("megno", "lyapunov", "periods", "verdict", "chaotic"):
        assert np.array_equal(kept[name].values, local.chaos[name]), name
    assert np.array_equal(kept.rotation.values, local.rotation["rotation"])
    assert np.array_equal(kept.rotation_kind.values == "circulating",
                          local.rotation["circulating"])
    # Every attribute is one NetCDF holds: the file reads back as the same Dataset.
    ds.to_netcdf(tmp_path / "map.nc")
    with xr.open_dataset(tmp_path / "map.nc") as back:
        assert back.identical(ds)


@pytest.mark.parametrize("plane, seed", [
    (dict(x=("e", [0.0, 0.4]), y=("omega", [0.9, 1.3])), dict(phi0=0.2, l0=1.0)),
    (dict(x=("phi0", [0.2, 2.5]), y=("d", [15.0, 11.3])), dict(l0=1.0)),
])
def test_constant_plane_equals_section_map_cell_by_cell(plane, seed):
    ds = trivella.stability_map(**plane, **seed, n_points=40, L=5.0, rotation=True)
    (x, xs), (y, ys) = plane["x"], plane["y"]
    assert ds.megno.dims == (y, x)
    for j, yv in enumerate(ds[y].values):
        for i, xv in enumerate(ds[x].values):
            cell = dict(seed, **{x: xv, y: yv})
            params = {k: v for k, v in cell.items() if k not in ("phi0", "l0")}
            # The coordinates are the constants the model holds.
            assert all(v == np.float32(v) for v in params.values())
            one = trivella.section_map(cell["phi0"], cell["l0"], 40, L=5.0, params=params,
                                       **PRECISE).chaos
            got = ds.isel({y: j, x: i})
            assert (got.megno, got.lyapunov) == (one["megno"], one["lyapunov"]), cell
            rotation = trivella.rotation_numbers(cell["phi0"], cell["l0"], 40, L=5.0, h0=1.0,
                                                 tol=1e-10, params=params)[0]
            assert got.rotation == rotation["rotation"], cell


def test_without_forcing_every_cell_is_regular():
    forced = trivella.stability_map(**CHAOS_PLANE)
    assert forced.chaotic.sum() == 2
    free = trivella.stability_map(**CHAOS_PLANE, params={"e": 0.0})
    assert (free.verdict == "regular").all() and free.attrs["model_e"] == 0.0
    # The same on a plane of e: the forced column has the chaotic cell, the free one none.
    by_e = trivella.stability_map(("e", [0.0, 0.4]), CHAOS_PLANE["y"], 310, L=5.0, phi0=0.2)
    assert by_e.chaotic.sel(e=0.0).sum() == 0 and by_e.chaotic.isel(e=1).sum() == 1
    assert (by_e.verdict.sel(e=0.0) == "regular").all()


def test_dask_equals_local_bit_for_bit():
    # Two rows per task over three rows: the last task is short; the middle row fails.
    failing = dict(x=("phi0", [0.5, 2.0, 4.1]), y=("l0", [0.3, 3e38, -0.7]), n_points=30)
    calls = []
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=False,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        swept = trivella.dask.stability_map(client, **CONSTANT_PLANE,
                                            progress=lambda *a: calls.append(a))
        uneven = trivella.dask.stability_map(client, **failing, rows=2)
    assert swept.identical(trivella.stability_map(**CONSTANT_PLANE))
    assert calls[-1] == (4 * 40, 4 * 40) and len(calls) == 2  # one call per row
    assert uneven.identical(trivella.stability_map(**failing))
    assert (uneven.verdict[1] == "failed").all() and (uneven.verdict[2] != "failed").all()


def test_an_interrupt_of_a_map_with_rotation_leaves_no_engine_thread():
    # Threads of earlier tests (a closing Dask cluster) may end meanwhile: only new ones count.
    before = set(os.listdir("/proc/self/task"))

    def interrupt(done, total):
        if done > total // 4:
            raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):
        trivella.stability_map(("phi0", np.linspace(0, 6, 200)), ("l0", [0.3, 2.0]), 2000,
                               rotation=True, threads=2, progress=interrupt)
    assert set(os.listdir("/proc/self/task")) <= before


GOOD = dict(x=("phi0", [0.1, 0.2]), y=("l0", [0.3]), n_points=5)


@pytest.mark.parametrize("change, error, match", [
    (dict(x="phi0"), TypeError, "x must be a"),
    (dict(y=("f", [1.0])), ValueError, "y: unknown name 'f'"),
    (dict(x=("phi0", [])), ValueError, "non-empty"),
    (dict(x=("phi0", [[0.1, 0.2]])), ValueError, "1-d"),
    (dict(y=("l0", [0.3, np.nan])), ValueError, r"y\[1\]"),
    (dict(y=("phi0", [0.3])), ValueError, "different"),
    (dict(x=("a", [1.0, 0.0]), phi0=0.1), ValueError, "x: a = 0"),
    (dict(x=("b", [-8.0, 1.0]), y=("c", [8.0]), phi0=0.1, l0=0.3), ValueError,
     r"x and y: b \+ c = 0"),
    (dict(x=("omega", [1e39]), phi0=0.1), ValueError, "single precision"),
    (dict(x=("e", [0.1])), ValueError, "phi0 is needed"),
    (dict(phi0=0.1), ValueError, "phi0 is given by an axis"),
    (dict(tol=0.0), ValueError, "tol"),
    (dict(rotation=1), TypeError, "rotation"),
])
def test_bad_arguments_are_named(change, error, match):
    with pytest.raises(error, match=match):
        trivella.stability_map(**dict(GOOD, **change))
