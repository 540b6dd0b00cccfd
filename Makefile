# Thin wrapper over the CMake presets. Each goal first installs the Debian packages it needs
# that are missing: as root through apt-get; any other user is shown the command to run.
JOBS ?= 2
PREFIX ?= /usr/local

# What each goal needs on Debian 12. Each list adds to the one before it.
RUN_PACKAGES = cmake make g++ python3-matplotlib
TEST_PACKAGES = $(RUN_PACKAGES) libgtest-dev libbenchmark-dev python3-pytest python3-numpy \
  pybind11-dev python3-pybind11 python3-dev python3-distributed python3-dask \
  python3-tqdm python3-selenium chromium chromium-driver nodejs python3-xarray python3-netcdf4 \
  python3-setuptools python3-venv python3-pip qemu-user
BENCH_PACKAGES = $(TEST_PACKAGES) libgsl-dev
# The Python module, which make install adds and make run leaves out.
MODULE_PACKAGES = pybind11-dev python3-pybind11 python3-dev python3-numpy python3-tqdm

.PHONY: build run chaos-example test install bench explore mutation

# The program alone. The first configure of a build tree leaves the tests out, so running
# needs neither GoogleTest nor the test tools; make test turns them on.
CONFIGURE = cmake --preset release $(if $(wildcard build/release/CMakeCache.txt),,-DBUILD_TESTING=OFF)

build:
	sh tools/ensure_packages.sh $(RUN_PACKAGES)
	$(CONFIGURE)
	cmake --build --preset release -j $(JOBS) --target trivella

# Runs the program on the shipped example and draws its section map.
run: build
	cd example && ../build/release/trivella && echo
	sh tools/plot_if_available.sh example

# Runs the precise method with the chaos indicator in example/chaos and draws its section map
# coloured by each orbit's MEGNO to example/chaos/RESULT/lL.png.
chaos-example: build
	build/release/trivella --precise --chaos example/chaos && echo
	sh tools/plot_if_available.sh example/chaos --color chaos

test:
	sh tools/ensure_packages.sh $(TEST_PACKAGES)
	cmake --preset release -DBUILD_TESTING=ON
	cmake --build --preset release -j $(JOBS)
	ctest --preset release -j $(JOBS)

# Known faults put into the code one at a time, each rebuilt and run against the C++ tests:
# which are caught, and the score. Slow (a rebuild and a suite run per fault); not in test.
mutation:
	sh tools/ensure_packages.sh $(TEST_PACKAGES)
	cmake --preset release -DBUILD_TESTING=ON
	cmake --build --preset release -j $(JOBS)
	JOBS=$(JOBS) python3 tools/mutation_check.py

# Every install rule of the release build: the program and the picture tool trivella-plot in
# $(PREFIX)/bin (its code in $(PREFIX)/share/trivella), the Python package where that prefix's
# python3 looks: lib/python3.X/dist-packages under /usr/local (Debian), the user site
# lib/python3.X/site-packages under ~/.local, site-packages for any other prefix (a venv).
# pip install --no-build-isolation . installs the package alone.
PYTHON_DIR = $(shell /usr/bin/python3 tools/python_site_dir.py $(PREFIX))
install:
	sh tools/ensure_packages.sh $(RUN_PACKAGES) $(MODULE_PACKAGES)
	$(CONFIGURE) -DTRIVELLA_PYTHON_DIR=$(PYTHON_DIR)
	cmake --build --preset release -j $(JOBS) --target installable
	cmake --install build/release --prefix $(PREFIX)
	@echo "the Python package is in $(PREFIX)/$(PYTHON_DIR)/trivella"

# The explorer: a server on 127.0.0.1 for the page in web/ (PORT=N chooses the port). Its URL
# is the first line on standard output: the build's own output goes to standard error.
explore:
	@sh tools/ensure_packages.sh $(RUN_PACKAGES) $(MODULE_PACKAGES) >&2
	@$(CONFIGURE) >&2
	@cmake --build --preset release -j $(JOBS) --target trivella trivella_python >&2
	@PYTHONPATH=build/release/python:python /usr/bin/python3 -m trivella_explorer

# Kernel figures from Google Benchmark, whole-run ratios against the literal oracle, the
# precise method against GSL's rk8pd, long engine runs, then stability maps through the engine.
bench:
	sh tools/ensure_packages.sh $(BENCH_PACKAGES)
	cmake --preset release -DBUILD_TESTING=ON -DTRIVELLA_BENCH=ON
	cmake --build --preset release -j $(JOBS) --target kernel_bench whole_run_bench precise_bench engine_bench grid_bench
	build/release/bench/kernel_bench
	build/release/bench/whole_run_bench $(BENCH_ARGS)
	build/release/bench/precise_bench
	build/release/bench/engine_bench
	build/release/bench/grid_bench
