// Shared pieces of the vlm commands: the command table entry, exit codes, the argument
// parser and the usage error.
#pragma once

#include "platform/UCancel.h"

#include <initializer_list>
#include <istream>
#include <map>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace vlm {
class TStopSignalGuard;
} // namespace vlm

namespace vlm::cli {

enum TExitCode {
    ExitOK = 0,
    ExitError = 1,
    ExitUsage = 2,
    ExitBrokenReferences = 3, // vlm report found references that lead nowhere
    ExitCancelled = 130,
};

using TArgs = std::vector<std::string>;

struct TCommand {
    const char* Name;
    const char* Synopsis;    // the arguments, e.g. "FILE.vlp [--force]"
    const char* Description; // one line
    int (*Run)(const TArgs& args, std::istream& in, std::ostream& out, std::ostream& err);
};

// A wrong command line: vlm prints the message and the usage, and exits with 2.
class EUsage : public std::runtime_error {
public:
    explicit EUsage(const std::string& message) : std::runtime_error(message) {}
};

struct TOptionSpec {
    const char* Name; // "--force", "-o"
    bool TakesValue;
};

struct TParsedArgs {
    std::vector<std::string> Positionals;
    std::map<std::string, std::vector<std::string>> Options;

    bool Has(const std::string& name) const { return Options.count(name) != 0; }
    // The last value given for an option, or fallback.
    std::string Get(const std::string& name, const std::string& fallback = {}) const;
    const std::vector<std::string>& All(const std::string& name) const;
};

// Splits args into options (as specified; "--name=value" and "--name value" both work)
// and positionals; "--" ends the options. Raises EUsage for an unknown option or a
// missing value.
TParsedArgs ParseArgs(const TArgs& args, std::initializer_list<TOptionSpec> specs);

// The value of --jobs: a whole number from 1 to 1024; 0 (the machine's thread count) when
// the option is absent. Raises EUsage for anything else.
int JobsOption(const TParsedArgs& parsed);

// Raises EUsage unless the number of positionals lies in [min, max] (max < 0: no limit).
void RequirePositionals(const TParsedArgs& parsed, int min, int max);

// While one lives, Ctrl+C, SIGTERM and SIGHUP only set a flag that long work checks
// between chunks, so that it can stop cleanly; the previous handlers come back when it ends.
class TInterruptGuard {
public:
    // cancel, when given, is cancelled by a signal too.
    explicit TInterruptGuard(TCancelToken* cancel = nullptr);
    ~TInterruptGuard();
    TInterruptGuard(const TInterruptGuard&) = delete;
    TInterruptGuard& operator=(const TInterruptGuard&) = delete;

private:
    std::unique_ptr<TStopSignalGuard> FSignals;
};

// Whether the stream is the process's own standard input (standard error) and that is a
// terminal. The streams of vlm run inside another program, as the tests run it, never are.
bool IsTerminal(const std::istream& in);
bool IsTerminal(const std::ostream& err);

// Whether one of those signals arrived since the guard was made.
bool Interrupted();

// The exit code of a cancelled command: 128 + the number of the signal that stopped it, as a
// shell reports a process that the signal ended; 130 (Ctrl+C) when the user cancelled
// otherwise.
int CancelledExitCode();

} // namespace vlm::cli
