#pragma once

#include <QString>

// The version of this build, the project version and where the source stood in git
// ("0.3.0-12-gf3f2826"): what --version prints, "/info" publishes, the window shows and the
// package carries. Made at configure time; only its one source file is compiled again when
// it changes.
QString buildVersion();
