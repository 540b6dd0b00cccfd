// The map's skeleton in a run: --periodic, a periodic orbit from each condition of ini.txt
// instead of its points, and the rotation number of each condition for --rotation.
#pragma once

#include "ini/ini_text.hpp"
#include "run/command_line.hpp"
#include "run/console.hpp"
#include "skeleton/rotation_number.hpp"

// Searches, condition by condition, a periodic orbit of period options.periodic from each
// block of `ini`; writes RESULT/periodic.txt, each found orbit's points to RESULT/lL.txt, the
// empty files of an ordinary run and run_info.txt. Returns the exit status as run_trivella.
int run_periodic(const run_options& options, const ini_contents& ini, console& out);

// The rotation number of condition `condition` (from 1) over the run's n_points points: the
// orbit followed again by the precise method, lifted.
rotation_summary condition_rotation(const run_options& options, const ini_contents& ini,
                                    int condition);
