// Entry point of trivella; command-line arguments are ignored.
#include "run/run_driver.hpp"

int main() { return run_trivella(); }
