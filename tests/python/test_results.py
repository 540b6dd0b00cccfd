"""SectionMap: the array it behaves as, and what it writes: NetCDF through xarray, and the
program's own files, byte for byte, which the picture tool draws."""
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest
import xarray as xr
from conftest import ini_text

import trivella

ROOT = Path(__file__).resolve().parents[2]
CONDITIONS = [(0.0, 0.3), (1.57, 0.1), (3.3, 4.6)]


def test_behaves_as_its_points():
    result = trivella.section_map([0.5, 1.5], 0.2, 6, method="precise", tol=1e-9)
    points = np.asarray(result)
    assert isinstance(points, np.ndarray) and points.shape == (2, 6, 2) == result.shape
    assert np.array_equal(result[1, :, 0], points[1, :, 0])
    assert np.array_equal(result + 1.0, points + 1.0)
    assert np.array_equal(result.reshape(-1, 2), points.reshape(-1, 2))
    # Forwards the precise points lie on t_k = (4k + 2) pi / omega, omega = 1 by default.
    assert np.allclose(result.times, (4 * np.arange(6) + 2) * np.pi, rtol=1e-15)
    assert result.version == trivella.__version__
    assert result.constants == trivella.model_constants()


def test_netcdf_round_trip_keeps_data_and_attributes(tmp_path):
    phi, l = np.meshgrid([0.5, 1.5, 2.5], [0.2, -0.4])
    result = trivella.section_map(phi, l, 5, method="precise", tol=1e-10, h0=-1.0, chaos=True,
                                  params={"e": 0.7}, L=1.5)
    result.to_netcdf(tmp_path / "map.nc", dims=("l0_axis", "phi0_axis"))
    with xr.open_dataset(tmp_path / "map.nc") as ds:
        assert ds["phi"].dims == ("l0_axis", "phi0_axis", "point")
        assert np.array_equal(ds["phi"].values, result[..., 0])
        assert np.array_equal(ds["l"].values, result[..., 1])
        assert np.array_equal(ds["phi0"].values, phi) and np.array_equal(ds["l0"].values, l)
        assert np.array_equal(ds["time"].values, result.times)
        assert np.array_equal(ds["megno"].values, result.chaos["megno"])
        assert list(ds["verdict"].values.ravel()) == list(result.chaos["verdict"].ravel())
        a = ds.attrs
        assert "ACDD" in a["Conventions"] and a["title"]
        assert trivella.__version__ in a["source"]
        assert "trivella --precise --chaos --param=e=" in a["history"]
        assert a["trivella_tol"] == 1e-10 and a["trivella_h0"] == -1.0
        assert a["trivella_L"] == 1.5 and a["trivella_chaos"] == 1
        assert "trivella_eps" not in a  # not given, not used
        assert a["model_e"] == np.float32(0.7) and a["model_omega"] == 1.0


def test_write_result_writes_the_programs_files(program_run):
    # 310 points: a verdict for every condition under the program's rule.
    done, work = program_run(ini_text(CONDITIONS, 310, 0.1, 1e-9, 1e-6, 5.0), "--precise",
                             "--chaos", "--param=e=0.7")
    assert done.returncode == 0, done.stderr
    result = trivella.section_map(**trivella.read_ini(work), method="precise", chaos=True,
                                  params={"e": 0.7})
    out = work / "from_python"
    result.write_result(out)
    for name in ("lL.txt", "chaos.txt", "run_info.txt"):
        assert (out / "RESULT" / name).read_bytes() == (work / "RESULT" / name).read_bytes()
    # The picture tool reads the written ini.txt and RESULT/ and draws them.
    drawn = subprocess.run([sys.executable, ROOT / "tools/plot_section.py", out, "--color",
                            "chaos", "-o", out / "map.png"], capture_output=True, text=True,
                           timeout=120)
    assert drawn.returncode == 0, drawn.stderr
    assert (out / "map.png").stat().st_size > 0


@pytest.mark.parametrize("method", ["classic", "precise"])
def test_written_ini_reads_back_as_the_same_run(tmp_path, method):
    result = trivella.section_map([0.25, 2.0], [0.6, -0.8], 30, h0=0.1, tol=1e-8, eps=1e-6,
                                  method=method)
    result.write_result(tmp_path)
    again = trivella.read_ini(tmp_path)
    # The program's ini.txt holds single precision: the same run once rounded.
    assert np.array_equal(again["l0"], np.float32([0.6, -0.8]))
    assert again["n_points"] == 30
