// The vlm command line: dispatch, usage, version and error reporting.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vlm::cli {

// Runs vlm with the given arguments (without the program name); returns the exit code.
int VlmMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace vlm::cli
