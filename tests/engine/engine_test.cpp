// The engine as its users see it: a condition's bytes do not depend on its neighbours, on
// the threads or on where the points computed ahead wait; a stop leaves no thread behind;
// the default thread count follows the CPUs the process may use.
#include "engine/engine.hpp"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "dynamics/model_rules.hpp"
#include "model_fixture.hpp"

namespace {

struct run_result {
  std::vector<point_list> points;  // of each condition
  std::vector<chaos_summary> chaos;
  run_outcome outcome;
};

// With `why`, failed conditions are reported there (one message per condition, empty for
// those that did not fail) and the run goes on past them.
run_result run(const run_request& r, std::vector<std::string>* why = nullptr) {
  run_result out;
  out.points.resize(r.y0.size());
  out.chaos.resize(r.y0.size());
  run_events e;
  e.points = [&](int condition, std::span<const section_point> p) {
    point_list& to = out.points[static_cast<std::size_t>(condition - 1)];
    to.insert(to.end(), p.begin(), p.end());
    return true;
  };
  e.end = [&](int condition, const chaos_summary& c) {
    out.chaos[static_cast<std::size_t>(condition - 1)] = c;
    return true;
  };
  if (why != nullptr) {
    why->assign(r.y0.size(), "");
    e.failed = [why](int condition, const std::string& message) {
      (*why)[static_cast<std::size_t>(condition - 1)] = message;
      return true;
    };
  }
  out.outcome = run_engine(r, e);
  return out;
}

run_request request(run_method method, int n_points, double tol, double eps, float L,
                    std::vector<std::array<double, 2>> y0) {
  run_request r;
  r.m = default_model();
  r.m.L = L;
  r.config.n_conditions = static_cast<int>(y0.size());
  r.config.n_points = n_points;
  r.config.tol = tol;
  r.config.eps = eps;
  r.h0 = 0.1;
  r.method = method;
  r.y0 = std::move(y0);
  return r;
}

std::vector<std::array<double, 2>> spread(int n) {
  std::vector<std::array<double, 2>> y0;
  for (int i = 0; i < n; ++i) {
    y0.push_back({0.2 + 0.61 * i, -1.4 + 2.8 * (i + 0.5) / n});
  }
  return y0;
}

bool same_bytes(const point_list& a, const point_list& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0;
}

int task_count() {
  int n = 0;
  DIR* dir = opendir("/proc/self/task");
  while (const dirent* entry = readdir(dir)) {
    n += entry->d_name[0] != '.' ? 1 : 0;
  }
  closedir(dir);
  return n;
}

}  // namespace

// catches: a condition computed ahead (classic: from h0, then confirmed; precise: in a lane
// beside others, its points spooled to disk or kept in memory) that differs by one bit from
// the same condition computed alone, one after the other with the step size carried over
TEST(Engine, OneConditionAloneGivesTheBytesItGivesAmongMany) {
  const run_request classic = request(run_method::classic, 200, 1e-9, 1e-6, 1.0f, spread(5));
  const run_request precise = request(run_method::precise, 400, 1e-10, 0.0, 1.0f, spread(11));
  for (run_request many : {classic, precise}) {
    many.chaos = many.method == run_method::precise;
    for (const char* spool : {"", "/nonexistent/spool"}) {
      many.threads = 2;
      many.spool_dir = spool;
      const run_result together = run(many);
      ASSERT_EQ(together.outcome.end, run_end::complete) << together.outcome.message;
      double h = many.h0;
      for (std::size_t i = 0; i < many.y0.size(); ++i) {
        run_request one = many;
        one.threads = 1;
        one.h0 = h;
        one.y0 = {many.y0[i]};
        const run_result alone = run(one);
        // The classic method carries the step size over; the precise one takes only h0's sign.
        h = many.method == run_method::classic ? alone.outcome.end_h : h;
        EXPECT_EQ(alone.points[0].size(), static_cast<std::size_t>(many.config.n_points));
        EXPECT_TRUE(same_bytes(alone.points[0], together.points[i])) << "condition " << i + 1;
        EXPECT_EQ(std::memcmp(&alone.chaos[0].megno, &together.chaos[i].megno, sizeof h), 0);
      }
      if (many.method == run_method::classic) {
        EXPECT_EQ(std::memcmp(&h, &together.outcome.end_h, sizeof h), 0);
      }
    }
  }
}

// catches: a condition computed with the run's model or a neighbour's (series constants,
// Taylor order, section times, the indicator's period, the point's L), and messages that name
// another condition's constants
TEST(Engine, EachConditionOfItsOwnModelGivesTheBytesItGivesAlone) {
  run_request many = request(run_method::precise, 320, 1e-10, 0.0, 1.5f, spread(13));
  many.chaos = true;
  many.threads = 2;
  std::mt19937_64 g(7);
  for (std::size_t i = 0; i < many.y0.size(); ++i) {
    many.condition_m.push_back(random_model(g, 1.5f, 0.1, 10.0));
  }
  run_result forward;
  for (double h0 : {0.1, -0.1}) {
    many.h0 = h0;
    const run_result together = run(many);
    if (h0 > 0) {
      forward = together;
    }
    ASSERT_EQ(together.outcome.end, run_end::complete) << together.outcome.message;
    for (std::size_t i = 0; i < many.y0.size(); ++i) {
      run_request one = many;
      one.m = many.condition_m[i];
      one.condition_m.clear();
      one.y0 = {many.y0[i]};
      const run_result alone = run(one);
      EXPECT_TRUE(same_bytes(alone.points[0], together.points[i])) << "condition " << i + 1;
      const chaos_summary& a = alone.chaos[0];
      const chaos_summary& t = together.chaos[i];
      EXPECT_EQ(a.periods, 319);
      EXPECT_EQ(t.periods, a.periods);
      EXPECT_EQ(t.chaotic, a.chaotic);
      EXPECT_EQ(std::memcmp(&a.megno, &t.megno, sizeof a.megno), 0) << "condition " << i + 1;
      EXPECT_EQ(std::memcmp(&a.lyapunov, &t.lyapunov, sizeof a.lyapunov), 0);
    }
  }
  // The third condition's own omega makes its step collapse: the run fails there, names that
  // omega, and delivers the two before it whole.
  many.h0 = 0.1;
  many.condition_m[2].omega = 1e30f;
  const run_result failed = run(many);
  EXPECT_EQ(failed.outcome.end, run_end::failed);
  EXPECT_EQ(failed.outcome.condition, 3);
  EXPECT_NE(failed.outcome.message.find("omega = 1e+30"), std::string::npos)
      << failed.outcome.message;
  EXPECT_EQ(failed.outcome.points, 2 * 320);
  // Told to go on (a map's cells), it reports that one and delivers every other one whole.
  std::vector<std::string> why;
  const run_result past = run(many, &why);
  EXPECT_EQ(past.outcome.end, run_end::complete);
  for (std::size_t i = 0; i < many.y0.size(); ++i) {
    EXPECT_EQ(why[i].find("omega = 1e+30") != std::string::npos, i == 2) << why[i];
    if (i != 2) {
      EXPECT_TRUE(same_bytes(past.points[i], forward.points[i])) << "condition " << i + 1;
    }
  }
}

// catches: constants per condition silently ignored by the classic method, or read past the
// end of a list shorter than y0
TEST(Engine, ConditionModelsAreRefusedWhereTheyCannotApply) {
  run_request classic = request(run_method::classic, 10, 1e-9, 1e-6, 1.0f, spread(3));
  classic.condition_m.assign(3, classic.m);
  bool began = false;
  run_events e;
  e.begin = [&](int) { return began = true; };
  EXPECT_THROW(run_engine(classic, e), std::invalid_argument);
  run_request precise = request(run_method::precise, 10, 1e-10, 0.0, 1.0f, spread(3));
  precise.condition_m.assign(2, precise.m);
  EXPECT_THROW(run_engine(precise, e), std::invalid_argument);
  EXPECT_FALSE(began);
}

// catches: a stop checked only between points (the classic step loop, its refinement, the
// precise step loop), and workers left running after run_engine returns
TEST(Engine, StopInsideASlowPointReturnsPromptlyWithNoThreadLeft) {
  const std::vector<run_request> slow = {
      // Steps of some 1e-7 for a point 4 pi away: tens of seconds a point.
      request(run_method::classic, 2, 1e-9, 1e-6, 1e4f, {{0.0, 5e3}, {1.0, 4e3}, {2.0, 3e3}}),
      // eps below what the section's rounding allows near most crossings: retries by the
      // million before the proof of unreachability.
      request(run_method::classic, 50, 1e-9, 1e-13, 1.0f, {{0.0, 0.3}, {1.0, 0.5}, {2.0, 0.7}}),
      request(run_method::precise, 2, 1e-10, 0.0, 1e6f, {{0.0, 5e5}, {1.0, 4e5}}),
  };
  const int tasks_before = task_count();
  for (run_request r : slow) {
    r.threads = 2;
    std::atomic<bool> stop{false};
    run_events e;
    e.poll = [&] { return !stop.load(); };
    e.points = [&](int, std::span<const section_point>) { return !stop.load(); };
    run_outcome outcome;
    std::thread caller([&] { outcome = run_engine(r, e); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto asked = std::chrono::steady_clock::now();
    stop = true;
    caller.join();
    const std::chrono::duration<double> latency = std::chrono::steady_clock::now() - asked;
    EXPECT_EQ(outcome.end, run_end::stopped);
    EXPECT_EQ(task_count(), tasks_before) << "workers still running after the stop";
    // The engine looks at poll every 50 ms; the rest is the workers' next step.
    EXPECT_LT(latency.count(), 0.25) << "L = " << r.m.L << ", eps = " << r.config.eps;
  }
}

// catches: a thread count taken from the machine's cores rather than from the CPUs this
// process may run on (taskset, container cpusets)
TEST(Engine, ThreadCountIsTheNumberOfCpusAllowed) {
  EXPECT_EQ(thread_count(3), 3);
  cpu_set_t allowed;
  ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
  std::vector<int> cpus;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &allowed)) {
      cpus.push_back(cpu);
    }
  }
  for (std::size_t n = 1; n <= std::min<std::size_t>(2, cpus.size()); ++n) {
    const pid_t child = fork();
    if (child == 0) {
      cpu_set_t some;
      CPU_ZERO(&some);
      for (std::size_t i = 0; i < n; ++i) {
        CPU_SET(cpus[i], &some);
      }
      _exit(sched_setaffinity(0, sizeof some, &some) == 0 ? thread_count(0) : 100);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(n));
  }
}
