// vlm run inside the test program: most tests of vlm need no process of their own.
#pragma once

#include "TestSupport.h"

#include <string>
#include <vector>

namespace vlm::test {

struct TVlmRun {
    std::string ProgramFolder{}; // where vlm looks for the viewer, Default.vlp and Languages/
    std::string TempFolder{};    // empty: a private folder under $TMPDIR, as the program makes
    std::string Input{};         // standard input
    std::string WorkDir{};       // the current folder while it runs; empty: unchanged
};

// Runs vlm::cli::VlmMain with args, run.Input as standard input and its output and error
// captured. Whatever the run changes of the process is put back before it returns (program
// and temporary folder, current folder, a stop signal caught); a run that leaves its own
// signal handlers in place fails the test.
TProcessResult RunVlm(const std::vector<std::string>& args, const TVlmRun& run);

} // namespace vlm::test
