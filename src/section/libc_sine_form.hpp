// Which form of the C library's sin and cos the trial lanes can compute themselves: the one
// whose every bit matches this process's sin and sincos on a set of probes, or none.
#pragma once

enum class libc_sine_form {
  library_calls,  // sin and cos are called lane by lane
  separate,       // products and sums rounded apart (glibc's build without FMA)
  fused,          // products fused into their sums (its FMA build); needs AVX2 and FMA
};

// The form for lanes built for AVX2 (`avx2`) or for the baseline x86-64. Decided once per
// process: the C library picks its build by the processor, and the probes tell which it picked.
libc_sine_form libc_sine_form_for(bool avx2);
