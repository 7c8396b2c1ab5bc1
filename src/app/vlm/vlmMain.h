// The vlm command line: dispatch, usage, version and error reporting.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace vlm::cli {

// Runs vlm with the given arguments (without the program name) on the given standard input,
// output and error; returns the exit code. The program passes std::cin, std::cout and
// std::cerr; other streams are never taken for a terminal.
int VlmMain(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err);

} // namespace vlm::cli
