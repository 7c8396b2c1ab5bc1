// vlm new, set and get: making and changing project files from scripts.
#pragma once

#include "vlm/vlmCommon.h"

namespace vlm::cli {

int RunNew(const TArgs& args, std::istream& in, std::ostream& out, std::ostream& err);
int RunSet(const TArgs& args, std::istream& in, std::ostream& out, std::ostream& err);
int RunGet(const TArgs& args, std::istream& in, std::ostream& out, std::ostream& err);

} // namespace vlm::cli
