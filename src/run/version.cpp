// The version of this build, from the header that CMake writes at configure time.
#include "run/version.hpp"

#include "trivella_version.hpp"

const char* trivella_version() { return trivella_version_text; }
