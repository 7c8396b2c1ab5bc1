// vlm build: the build of the desktop program's Build command, on the command line.
#pragma once

#include "vlm/vlmCommon.h"

namespace vlm::cli {

// vlm build PROJECT.vlp [-o OUTPUT] [--yes] [--save] [--quiet]
int RunBuild(const TArgs& args, std::istream& in, std::ostream& out, std::ostream& err);

} // namespace vlm::cli
