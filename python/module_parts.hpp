// The parts of the one extension module trivella._engine, each defined in its own file.
#pragma once

#include <pybind11/pybind11.h>

// run_map and first_accepted_step: whole sweeps into NumPy arrays (map_module.cpp).
void add_map_functions(pybind11::module_& m);

// stream_map: the points handed to callbacks as they come (stream_module.cpp).
void add_stream_functions(pybind11::module_& m);

// periodic_orbit and rotation: the skeleton of the map (skeleton_module.cpp).
void add_skeleton_functions(pybind11::module_& m);
