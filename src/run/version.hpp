// The version of this build, for --version.
#pragma once

// Returns the version number from the file VERSION followed by the commit of the source tree
// when the build was last configured (e.g. "1.2.0 (ce7a531)", "1.2.0 (ce7a531-dirty)"), or
// the number alone when that tree is no git checkout or git is missing. Never null.
const char* trivella_version();
