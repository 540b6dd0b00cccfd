// The version of this build, for --version.
#pragma once

// Returns `git describe --always --dirty --tags` of the source tree when the build was last
// configured (e.g. "c3d324e", "v1.2-3-gc3d324e-dirty"), or the project version (e.g. "1.0.0")
// when that tree is no git checkout or git is missing. Never null.
const char* trivella_version();
