// The records of a run: what the engine is asked to compute, the events through which it
// delivers the points, and how the run ended.
#pragma once

#include <array>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "chaos/chaos_summary.hpp"
#include "dynamics/model.hpp"
#include "dynamics/run_config.hpp"
#include "section/section_map.hpp"
#include "skeleton/rotation_number.hpp"

enum class run_method { classic, precise };

struct run_request {
  model_params m;     // the model's constants and L
  run_config config;  // n_points, tol, eps (n_conditions is the size of y0 here)
  double h0 = 0.0;    // classic: the first condition's step size; precise: its sign is the
                      // direction of time
  run_method method = run_method::classic;
  bool chaos = false;  // precise only: tangent equations and indicators
  // Precise only: the rotation number of each orbit, from its points, which a lane holds
  // lifted until the orbit ends (24 bytes a point).
  bool rotation = false;
  int threads = 0;                        // conditions computed at once; 0: every core
  std::vector<std::array<double, 2>> y0;  // initial (phi, l) of each condition
  // The model of each condition, where the constants vary from one condition to the next (a
  // grid of constants): empty, or one per condition of y0, each with m's L. Precise only.
  std::vector<model_params> condition_m;
  std::string spool_dir;  // where points computed ahead of their turn wait, in unnamed files;
                          // empty: $TMPDIR, else /tmp
};

// Called on the thread that called run_engine, in condition order (conditions count from 1).
// Any of them may be empty; one that returns false stops the run at once: run_engine returns
// after its workers have stopped, within a step of each (milliseconds). An exception thrown
// by one stops the workers the same way before it leaves run_engine.
struct run_events {
  std::function<bool(int condition)> begin;  // before the condition's first point
  std::function<bool(int condition, std::span<const section_point> points)> points;
  // With run_request::rotation: the orbit's rotation number, just before end.
  std::function<bool(int condition, const rotation_summary& rotation)> rotation;
  std::function<bool(int condition, const chaos_summary& chaos)> end;  // after its last point
  // Where set, a precise condition that fails is reported here in place of its end, and the
  // run goes on with the next (a map's failed cell); unset, the run stops there as failed.
  std::function<bool(int condition, const std::string& why)> failed;
  std::function<bool()> poll;  // at least every 100 ms while the engine waits
};

enum class run_end { complete, failed, stopped };

struct run_outcome {
  run_end end = run_end::complete;
  int condition = 0;     // the condition in turn when the run failed or stopped
  long long points = 0;  // points delivered in all
  std::string message;   // why the condition failed
  double end_h = 0.0;    // classic, complete run: the step size the last condition left (h0
                         // when no condition ran); a run continued from it gives the same points
};
