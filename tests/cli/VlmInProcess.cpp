#include "VlmInProcess.h"

#include "platform/UFileSys.h"
#include "platform/USignals.h"
#include "vlm/vlmMain.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace vlm::test {

namespace {

// What the three stop signals do now.
std::vector<void (*)(int)> StopSignalHandlers() {
    std::vector<void (*)(int)> handlers;
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        ::sigaction(sig, nullptr, &action);
        handlers.push_back(action.sa_handler);
    }
    return handlers;
}

// The process state one run may change, set for the run and put back after it.
class TRunState {
public:
    explicit TRunState(const TVlmRun& run) : FFolder(std::filesystem::current_path()) {
        SetProgramFolder(run.ProgramFolder);
        SetTempFolder(run.TempFolder);
        if (!run.WorkDir.empty())
            std::filesystem::current_path(run.WorkDir);
        // A stop signal that an earlier run caught is forgotten, as a new process knows none.
        const TStopSignalGuard forget;
    }
    ~TRunState() {
        std::error_code ignored;
        std::filesystem::current_path(FFolder, ignored);
        SetProgramFolder("");
        SetTempFolder("");
    }
    TRunState(const TRunState&) = delete;
    TRunState& operator=(const TRunState&) = delete;

private:
    const std::filesystem::path FFolder;
};

} // namespace

TProcessResult RunVlm(const std::vector<std::string>& args, const TVlmRun& run) {
    const auto handlers = StopSignalHandlers();
    TProcessResult result;
    {
        const TRunState state(run);
        std::istringstream in(run.Input);
        std::ostringstream out, err;
        result.ExitCode = cli::VlmMain(args, in, out, err);
        result.Out = out.str();
        result.Err = err.str();
    }
    EXPECT_EQ(StopSignalHandlers(), handlers)
        << "vlm " << ::testing::PrintToString(args) << " left its signal handlers in place";
    return result;
}

} // namespace vlm::test
