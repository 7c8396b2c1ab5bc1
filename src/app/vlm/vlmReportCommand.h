// vlm report: what a build of a project would take, and why, without building it.
#pragma once

#include "vlm/vlmCommon.h"

namespace vlm::cli {

// vlm report PROJECT.vlp [--json] [--html FILE] [--quiet]
int RunReport(const TArgs& args, std::istream& in, std::ostream& out, std::ostream& err);

} // namespace vlm::cli
