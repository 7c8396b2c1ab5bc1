// vlm zip: the archive writer as a general encrypting archiver.
#pragma once

#include "vlm/vlmCommon.h"

namespace vlm::cli {

int RunZip(const TArgs& args, std::istream& in, std::ostream& out, std::ostream& err);

} // namespace vlm::cli
