# Thin wrapper over the CMake presets.
JOBS ?= 2

.PHONY: run test build bench

build:
	cmake --preset release
	cmake --build --preset release -j $(JOBS)

# Runs the program on the shipped example and draws the section map when matplotlib is there.
run: build
	cd example && ../build/release/trivella && echo
	sh tools/plot_if_available.sh example

test: build
	ctest --preset release -j $(JOBS)

# Kernel figures from Google Benchmark, whole-run ratios against the literal oracle, then the
# precise method against GSL's rk8pd.
bench:
	cmake --preset release -DTRIVELLA_BENCH=ON
	cmake --build --preset release -j $(JOBS) --target kernel_bench whole_run_bench precise_bench
	build/release/bench/kernel_bench
	build/release/bench/whole_run_bench $(BENCH_ARGS)
	build/release/bench/precise_bench
