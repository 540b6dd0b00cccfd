// The cell generator of a stability map: values of the axes and the cells in row order.
#include "run/grid_cells.hpp"

#include <cstdio>

#include "dynamics/model_rules.hpp"

namespace {

// Sets the coordinate or constant `name` of the cell to v.
void place(grid_cell& c, const std::string& name, float v) {
  if (name == "phi0") {
    c.y0[0] = static_cast<double>(v);
  } else if (name == "l0") {
    c.y0[1] = static_cast<double>(v);
  } else {
    set_model_constant(c.m, name, v);
  }
}

}  // namespace

bool is_condition_axis(const std::string& name) { return name == "phi0" || name == "l0"; }

bool has_constant_axis(const grid_plan& p) {
  return !is_condition_axis(p.axes[0].name) || !is_condition_axis(p.axes[1].name);
}

float axis_value(const grid_axis& axis, int i) {
  if (axis.n <= 1) {
    return axis.from;
  }
  const double from = static_cast<double>(axis.from);
  const double to = static_cast<double>(axis.to);
  return static_cast<float>(from +
                            (to - from) * static_cast<double>(i) / static_cast<double>(axis.n - 1));
}

long long cell_count(const grid_plan& p) {
  return static_cast<long long>(p.axes[0].n) * static_cast<long long>(p.axes[1].n);
}

grid_cell cell_at(const grid_plan& p, long long index) {
  grid_cell c;
  c.y0 = p.seed;
  c.m = p.m;
  const long long nx = p.axes[0].n;
  const std::array<int, 2> i = {static_cast<int>(index % nx), static_cast<int>(index / nx)};
  for (std::size_t k = 0; k < 2; ++k) {
    const float v = axis_value(p.axes[k], i[k]);
    c.xy[k] = static_cast<double>(v);
    place(c, p.axes[k].name, v);
  }
  return c;
}

std::string grid_constant_problem(const grid_plan& p) {
  if (!has_constant_axis(p)) {
    return {};
  }
  for (long long k = 0; k < cell_count(p); ++k) {
    const grid_cell c = cell_at(p, k);
    const std::string why = model_problem(c.m);
    if (!why.empty()) {
      char where[96];
      std::snprintf(where, sizeof where, "cell %s = %.9g, %s = %.9g: ", p.axes[0].name.c_str(),
                    c.xy[0], p.axes[1].name.c_str(), c.xy[1]);
      return where + why;
    }
  }
  return {};
}
