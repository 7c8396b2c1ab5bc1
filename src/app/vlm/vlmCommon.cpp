#include "vlm/vlmCommon.h"

#include "platform/USignals.h"
#include "platform/UTerminal.h"

#include <iostream>

namespace vlm::cli {

TInterruptGuard::TInterruptGuard(TCancelToken* cancel)
    : FSignals(std::make_unique<TStopSignalGuard>(cancel)) {}

TInterruptGuard::~TInterruptGuard() = default;

bool IsTerminal(const std::istream& in) {
    return &in == &std::cin && StdInIsTerminal();
}

bool IsTerminal(const std::ostream& err) {
    return &err == &std::cerr && StdErrIsTerminal();
}

bool Interrupted() {
    return StopSignalCaught();
}

int CancelledExitCode() {
    const int sig = CaughtStopSignal();
    return sig != 0 ? 128 + sig : ExitCancelled;
}

std::string TParsedArgs::Get(const std::string& name, const std::string& fallback) const {
    const auto it = Options.find(name);
    return it == Options.end() || it->second.empty() ? fallback : it->second.back();
}

const std::vector<std::string>& TParsedArgs::All(const std::string& name) const {
    static const std::vector<std::string> none;
    const auto it = Options.find(name);
    return it == Options.end() ? none : it->second;
}

TParsedArgs ParseArgs(const TArgs& args, std::initializer_list<TOptionSpec> specs) {
    TParsedArgs parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.Positionals.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::string value;
        bool inlineValue = false;
        if (const size_t eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inlineValue = true;
        }
        const TOptionSpec* spec = nullptr;
        for (const TOptionSpec& s : specs)
            if (name == s.Name)
                spec = &s;
        if (!spec)
            throw EUsage("unknown option " + name);
        if (spec->TakesValue && !inlineValue) {
            if (i + 1 >= args.size())
                throw EUsage("option " + name + " needs a value");
            value = args[++i];
        } else if (!spec->TakesValue && inlineValue) {
            throw EUsage("option " + name + " takes no value");
        }
        parsed.Options[name].push_back(value);
    }
    return parsed;
}

void RequirePositionals(const TParsedArgs& parsed, int min, int max) {
    const int count = static_cast<int>(parsed.Positionals.size());
    if (count < min)
        throw EUsage("missing argument");
    if (max >= 0 && count > max)
        throw EUsage("unexpected argument " + parsed.Positionals[static_cast<size_t>(max)]);
}

int JobsOption(const TParsedArgs& parsed) {
    if (!parsed.Has("--jobs"))
        return 0;
    const std::string text = parsed.Get("--jobs");
    const bool digits = !text.empty() && text.size() <= 4 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    const int jobs = digits ? std::stoi(text) : 0;
    if (jobs < 1 || jobs > 1024)
        throw EUsage("--jobs takes a number from 1 to 1024, not '" + text + "'");
    return jobs;
}

} // namespace vlm::cli
