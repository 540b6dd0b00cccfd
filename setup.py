"""The extension trivella._engine for pip: the engine's sources and the module's, compiled as
CMake compiles them (C++20, no contraction of a * b + c), with the version from VERSION.
Everything else is in pyproject.toml."""

from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

ROOT = Path(__file__).resolve().parent
VERSION = (ROOT / "VERSION").read_text().split()[0]

# The engine and what it uses; src/run is the program's own.
ENGINE_DIRS = ("chaos", "dynamics", "engine", "ini", "precise", "section", "skeleton")
SOURCES = [p.relative_to(ROOT).as_posix() for d in ENGINE_DIRS
           for p in sorted((ROOT / "src" / d).glob("*.cpp"))]
SOURCES += ["python/engine_module.cpp", "python/map_module.cpp", "python/skeleton_module.cpp",
            "python/stream_module.cpp"]

# TRIVELLA_BUILD_JOBS=N compiles N files at once (default: one per core).
ParallelCompile("TRIVELLA_BUILD_JOBS", default=0).install()

engine = Pybind11Extension(
    "trivella._engine", SOURCES, include_dirs=["src"], cxx_std=20,
    define_macros=[("TRIVELLA_VERSION", f'"{VERSION}"')],
    # The points must be bit-identical to the program's: no fused multiply-add contraction.
    # -g0: Python's own flags ask for debug information, which only slows the build.
    extra_compile_args=["-ffp-contract=off", "-O2", "-g0"])

setup(version=VERSION, ext_modules=[engine], cmdclass={"build_ext": build_ext})
