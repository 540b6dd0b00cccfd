# Thin wrapper over the CMake presets.
JOBS ?= 2

.PHONY: run test build

build:
	cmake --preset release
	cmake --build --preset release -j $(JOBS)

# Runs the program on the shipped example and draws the section map when matplotlib is there.
run: build
	cd example && ../build/release/trivella && echo
	sh tools/plot_if_available.sh example

test: build
	ctest --preset release -j $(JOBS)
