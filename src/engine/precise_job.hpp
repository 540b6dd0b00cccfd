// The worker of a precise job.
#pragma once

#include "engine/engine_request.hpp"
#include "engine/job_channel.hpp"

// Computes the conditions of r (a job's share of the run) by the precise method, each with its
// own model where r.condition_m is given, and hands their points and indicators over through
// ch. Conditions are independent, so they advance together in SIMD lanes; a lane that stops
// leaves the others going. Returns early once the job is cancelled.
void run_precise_job(const run_request& r, job_channel& ch);
