// The cells of a stability map: two axes, each over an initial coordinate (phi0, l0) or a
// model constant, and the condition and constants of every cell.
#pragma once

#include <array>
#include <string>

#include "dynamics/model.hpp"

// One axis: N values from `from` to `to`, both ends included (from alone when N = 1).
struct grid_axis {
  std::string name;  // phi0, l0, or a constant's name
  float from = 0.0f;
  float to = 0.0f;
  int n = 0;
};

// Most cells a map may have: a million cells of even 300 periods take hours.
constexpr long long max_grid_cells = 1000000;

// Both axes and what the cells start from: `seed`, the first condition of ini.txt, and `m`,
// the constants of ini.txt and --param with L. Only an axis's own coordinate differs.
struct grid_plan {
  std::array<grid_axis, 2> axes;  // x, then y
  std::array<double, 2> seed{};
  model_params m;
};

struct grid_cell {
  std::array<double, 2> xy{};  // the cell's coordinates on the x and y axes
  std::array<double, 2> y0{};  // its initial (phi, l)
  model_params m;              // its constants and L
};

// True for phi0 and l0, false for a constant.
bool is_condition_axis(const std::string& name);

// True when an axis is a model constant, so that the cells' constants differ.
bool has_constant_axis(const grid_plan& p);

// Value i of the axis, from + (to - from) * i / (n - 1), rounded to single precision as a
// number of ini.txt or of --param is, so that a run of the cell alone gives the same value.
float axis_value(const grid_axis& axis, int i);

long long cell_count(const grid_plan& p);

// Cell `index` (from 0) in row order: y outer, x inner.
grid_cell cell_at(const grid_plan& p, long long index);

// Why a cell's constants make the equations meaningless ("cell x = 3, y = 0: a = 0"), or
// empty when every cell's are meaningful.
std::string grid_constant_problem(const grid_plan& p);
