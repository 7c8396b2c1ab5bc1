// vlm list, verify and extract: reading archives, executable outputs and plain ZIP files.
#pragma once

#include "vlm/vlmCommon.h"

namespace vlm::cli {

int RunList(const TArgs& args, std::istream& in, std::ostream& out, std::ostream& err);
int RunVerify(const TArgs& args, std::istream& in, std::ostream& out, std::ostream& err);
int RunExtract(const TArgs& args, std::istream& in, std::ostream& out, std::ostream& err);

} // namespace vlm::cli
