// The engine: conditions computed ahead on every allowed core, delivered strictly in order.
#include "engine/engine.hpp"

#include <algorithm>
#include <chrono>
#include <deque>
#include <stdexcept>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>

#include "engine/condition_job.hpp"
#include "section/lane_trial.hpp"
#include "section/speculative_run.hpp"

namespace {

constexpr auto poll_interval = std::chrono::milliseconds(50);

template <typename... Args>
bool call(const std::function<bool(Args...)>& f, std::type_identity_t<Args>... args) {
  return !f || f(args...);
}

struct engine_state {
  const run_request& r;
  const run_events& e;
  std::deque<condition_job> ahead;  // started, in condition order
  int next = 0;                     // the next condition to start
  int window = 1;                   // jobs in flight at most
  run_outcome outcome;
};

// Conditions a job started at `first` takes: a full block of lanes whatever the run's length,
// since what runs ahead waits on disk, not in memory.
int job_size(const engine_state& st, int first) {
  const int n = static_cast<int>(st.r.y0.size());
  if (st.r.method == run_method::precise) {
    return std::min(precise_job_lanes, n - first);
  }
  // Classic lanes: the conditions left shared evenly among the jobs still to be started in the
  // window, so that 12 conditions on two cores run as 6 + 6 rather than 8 + 4, and 16 as
  // 8 + 8 rather than 8 + 4 + 2 + 1 + 1 (a finished job holds its place until delivered).
  const int free = std::max(1, st.window - static_cast<int>(st.ahead.size()));
  const int share = (n - first + free - 1) / free;
  return std::clamp(share, 1, trial_lanes);
}

// Starts conditions ahead of their turn (the classic method from h0) until the window is full.
// A machine that refuses another thread leaves the rest to be started in turn.
void fill_window(engine_state& st) {
  const int n = static_cast<int>(st.r.y0.size());
  while (st.next < n && static_cast<int>(st.ahead.size()) < st.window) {
    const int count = job_size(st, st.next);
    try {
      st.ahead.push_back(start_job(st.r, st.next, count, st.r.h0, false));
    } catch (const std::system_error&) {
      return;
    }
    st.next += count;
  }
}

// Waits until the first accepted step of the job's slot is known; false when the run is
// stopped meanwhile.
bool wait_first_step(engine_state& st, job_channel& ch, const condition_slot& slot) {
  for (;;) {
    {
      std::unique_lock lock(ch.mutex);
      if (ch.changed.wait_for(lock, poll_interval, [&] { return slot.first_known; })) {
        return true;
      }
    }
    if (!call(st.e.poll)) {
      return false;
    }
  }
}

// Makes the job of the classic condition in turn one whose result holds for the real step size
// `h`: a condition computed ahead is kept when its first accepted step is the one `h` gives.
// Otherwise it is computed anew in its turn, by a job of its own put in front; a job of several
// conditions goes on for the others.
bool confirm_or_restart(engine_state& st, int index, double h) {
  condition_job& job = st.ahead.front();
  if (job.confirmed && index == job.first) {
    return true;
  }
  job_channel& ch = *job.channel;
  const auto offset = static_cast<std::size_t>(index - job.first);
  double first_h = 0.0;
  const bool accepted = first_accepted_step(st.r.m, st.r.config,
                                            st.r.y0[static_cast<std::size_t>(index)], h, first_h);
  // The run from the job's start, then the one from the condition's alternative start.
  for (std::size_t slot = offset; slot < ch.slots.size();
       slot += static_cast<std::size_t>(job.count)) {
    if (!wait_first_step(st, ch, ch.slots[slot])) {
      return false;
    }
    bool same = false;
    {
      const std::lock_guard lock(ch.mutex);
      same = accepted && ch.slots[slot].first_accepted && first_h == ch.slots[slot].first_h;
    }
    if (same) {
      job.use_alternative[offset] = slot != offset;
      return true;
    }
  }
  if (job.count == 1) {
    stop_job(job);
    job = start_job(st.r, index, 1, h, true);
  } else {
    st.ahead.push_front(start_job(st.r, index, 1, h, true));
  }
  return true;
}

// Delivers the points of condition `index` as they come, until it is finished.
bool drain(engine_state& st, condition_job& job, int index) {
  job_channel& ch = *job.channel;
  const std::size_t slot = slot_of(job, index);
  begin_turn(ch, slot);
  point_list taken;
  for (;;) {
    bool finished = false;
    if (!take_points(ch, slot, taken, finished, poll_interval)) {
      st.outcome.message = "cannot read back the points computed ahead of their turn";
      return false;
    }
    if (!taken.empty()) {
      st.outcome.points += static_cast<long long>(taken.size());
      if (!call(st.e.points, index + 1, taken)) {
        return false;
      }
      taken.clear();
    }
    if (!call(st.e.poll)) {
      return false;
    }
    if (finished) {
      return true;
    }
  }
}

run_outcome stop_all(engine_state& st, run_end end, int index) {
  for (condition_job& job : st.ahead) {
    stop_job(job);
  }
  st.ahead.clear();
  st.outcome.end = end;
  st.outcome.condition = index + 1;
  return st.outcome;
}

// Starts the job of condition `index` in its turn, when no job ahead has it.
bool start_in_turn(engine_state& st, int index, double h) {
  if (st.next != index) {
    return true;
  }
  const int count = job_size(st, index);
  try {
    st.ahead.push_back(start_job(st.r, index, count, h, true));
  } catch (const std::system_error& error) {
    st.outcome.message = std::string("cannot start a thread: ") + error.what();
    return false;
  }
  st.next += count;
  return true;
}

run_outcome run_all(engine_state& st) {
  const run_request& r = st.r;
  const run_events& e = st.e;
  const int n = static_cast<int>(r.y0.size());
  double h = r.h0;
  for (int i = 0; i < n; ++i) {
    if (!call(e.begin, i + 1)) {
      return stop_all(st, run_end::stopped, i);
    }
    // Without points to collect a condition changes nothing, not even h.
    if (r.config.n_points <= 0) {
      if ((r.rotation && !call(e.rotation, i + 1, rotation_summary{})) ||
          !call(e.end, i + 1, chaos_summary{})) {
        return stop_all(st, run_end::stopped, i);
      }
      continue;
    }
    if (!start_in_turn(st, i, h)) {
      return stop_all(st, run_end::failed, i);
    }
    fill_window(st);
    if (r.method == run_method::classic && !confirm_or_restart(st, i, h)) {
      return stop_all(st, run_end::stopped, i);
    }
    if (!drain(st, st.ahead.front(), i)) {
      const bool unreadable = !st.outcome.message.empty();
      return stop_all(st, unreadable ? run_end::failed : run_end::stopped, i);
    }
    condition_job& job = st.ahead.front();
    std::string failure;
    chaos_summary chaos;
    rotation_summary rotation;
    {
      const std::lock_guard lock(job.channel->mutex);
      const condition_slot& slot = job.channel->slots[slot_of(job, i)];
      failure = slot.failure;
      chaos = slot.chaos;
      rotation = slot.rotation;
      // h is not reset: each condition starts with the step size the previous one left.
      h = slot.end_h;
    }
    const bool goes_on = e.failed && r.method == run_method::precise;
    if (!failure.empty() && !goes_on) {
      st.outcome.message = failure;
      return stop_all(st, run_end::failed, i);
    }
    // Jobs whose conditions are all delivered leave: the one just drained, and behind a job
    // that computed a condition again, the job of lanes that held it as its last. That lane
    // may still run, unread, so it is told to stop.
    while (!st.ahead.empty() && st.ahead.front().first + st.ahead.front().count <= i + 1) {
      stop_job(st.ahead.front());
      st.ahead.pop_front();
    }
    bool delivered = false;
    if (failure.empty()) {
      delivered = (!r.rotation || call(e.rotation, i + 1, rotation)) && call(e.end, i + 1, chaos);
    } else {
      delivered = e.failed(i + 1, failure);
    }
    if (!delivered) {
      return stop_all(st, run_end::stopped, i);
    }
  }
  st.outcome.end_h = h;
  return st.outcome;
}

// Constants per condition are for the precise method only: the classic one carries its step
// size from one condition to the next, which a change of model would make meaningless.
void check_condition_models(const run_request& r) {
  if (r.rotation && r.method != run_method::precise) {
    throw std::invalid_argument(
        "rotation numbers need the precise method: they follow its lift "
        "of the angle");
  }
  if (r.condition_m.empty()) {
    return;
  }
  if (r.method != run_method::precise) {
    throw std::invalid_argument(
        "constants per condition (condition_m) need the precise method; the classic one takes "
        "one model for every condition");
  }
  if (r.condition_m.size() != r.y0.size()) {
    throw std::invalid_argument("condition_m holds " + std::to_string(r.condition_m.size()) +
                                " models for " + std::to_string(r.y0.size()) + " conditions");
  }
}

}  // namespace

run_outcome run_engine(const run_request& r, const run_events& e) {
  check_condition_models(r);
  engine_state st{r, e, {}, 0, thread_count(r.threads), {}};
  try {
    return run_all(st);
  } catch (...) {
    // A throwing event: the workers stop before the exception leaves.
    stop_all(st, run_end::stopped, 0);
    throw;
  }
}
