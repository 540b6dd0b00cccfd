// The circle constant, named once for every method: the section's period, the angle's range,
// the map's period in the indicators. Doubling and quadrupling are exact in binary.
#pragma once

constexpr double pi = 3.141592653589793;
constexpr double two_pi = 2.0 * pi;
constexpr double four_pi = 4.0 * pi;
constexpr double inv_pi = 1.0 / pi;  // rounded once, as 0.3183098861837907
