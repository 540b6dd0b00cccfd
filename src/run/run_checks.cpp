// The checks run in an order that reports the most specific cause first: the constants, then
// the files; none of them changes anything on disk.
#include "run/run_checks.hpp"

#include "chaos/chaos_accumulator.hpp"
#include "run/run_files.hpp"
#include "run/skeleton_files.hpp"
#include "section/start_check.hpp"

run_request request_for(const run_options& options, const ini_contents& ini) {
  run_request r;
  r.m = model_for(options);
  r.m.L = ini.L;
  r.config = ini.config;
  r.h0 = ini.h0;
  r.method = options.method;
  r.chaos = options.chaos;
  r.threads = options.threads;
  // Beside the output: the points computed ahead need at most the room their lines will take.
  r.spool_dir = "./RESULT";
  for (const condition_block& block : ini.blocks) {
    r.y0.push_back(block.y);
  }
  return r;
}

bool writes_run_info(const run_options& options) {
  return options.method == run_method::precise || !options.params.empty();
}

std::vector<std::string> result_files(const run_options& options) {
  std::vector<std::string> results{common_path, points_path, integration_path};
  if (writes_run_info(options)) {
    results.emplace_back(run_info_path);
  }
  if (options.chaos) {
    results.emplace_back(chaos_path);
  }
  if (options.rotation) {
    results.emplace_back(rotation_path);
  }
  return results;
}

std::string start_problem(const run_options& options, const ini_contents& ini,
                          const run_request& request, const std::vector<std::string>& results,
                          std::vector<std::string>& warnings) {
  if (options.chaos && ini.config.n_points - 1 < min_verdict_periods) {
    warnings.push_back("--chaos: n_points = " + std::to_string(ini.config.n_points) +
                       " gives fewer than " + std::to_string(min_verdict_periods) +
                       " periods, too few for a verdict: every condition is \"undecided\" "
                       "(use n_points " +
                       std::to_string(min_verdict_periods + 1) + " or more)");
  }
  if (options.method == run_method::classic) {
    std::string problem = classic_start_problem(request.m, ini.config, request.y0);
    if (!problem.empty()) {
      return problem;
    }
  }
  return overwrite_problem(results, ini.blocks, options.dir);
}
