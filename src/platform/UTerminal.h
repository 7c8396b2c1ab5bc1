// The terminal a command-line program runs in: whether its streams are terminals, the
// width of the screen, questions asked on the controlling terminal, and Ctrl+C turned
// into a request to cancel.
#pragma once

#include <memory>
#include <string>

namespace vlm {

bool StdErrIsTerminal();
bool StdInIsTerminal();
// Columns of the terminal standard error writes to; 80 when unknown.
int TerminalColumns();

// Writes prompt to the controlling terminal and reads one line of answer from it. False
// when there is no controlling terminal or the reading was interrupted (Ctrl+C).
bool AskTerminal(const std::string& prompt, std::string& answer);

// While one lives, Ctrl+C (SIGINT) only sets a flag that long work polls: the work ends
// by itself and cleans up. The previous handling is restored afterwards.
class TInterruptCatcher {
public:
    TInterruptCatcher();
    ~TInterruptCatcher();
    TInterruptCatcher(const TInterruptCatcher&) = delete;
    TInterruptCatcher& operator=(const TInterruptCatcher&) = delete;

    static bool Interrupted();

private:
    struct TSaved;
    std::unique_ptr<TSaved> FSaved;
};

} // namespace vlm
