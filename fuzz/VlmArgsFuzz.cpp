// libFuzzer target: vlm's argument parsing. The input is a command line (arguments cut at
// NUL bytes), parsed with the option sets of vlm's commands; a wrong line may only end in
// EUsage, and a parsed one keeps its positionals in order and every value of an option.
// Lines that no command runs on (an unknown command, --help, --version) go through vlm's
// dispatch as well; commands that would touch files are never run.
#include "FuzzSupport.h"
#include "vlm/vlmCommon.h"
#include "vlm/vlmMain.h"

#include <algorithm>
#include <sstream>

namespace {

using vlm::cli::TArgs;
using vlm::cli::TOptionSpec;

void CheckParsed(const TArgs& args, const vlm::cli::TParsedArgs& parsed,
                 std::initializer_list<TOptionSpec> specs) {
    // The positionals appear among the arguments in their order.
    size_t at = 0;
    for (const std::string& positional : parsed.Positionals) {
        while (at < args.size() && args[at] != positional)
            ++at;
        if (at == args.size())
            vlm::fuzz::Finding();
        ++at;
    }
    for (const auto& [name, values] : parsed.Options) {
        bool known = false;
        for (const TOptionSpec& spec : specs)
            known = known || name == spec.Name;
        if (!known)
            vlm::fuzz::Finding();
        if (values.empty() || parsed.Get(name) != values.back())
            vlm::fuzz::Finding();
    }
    if (parsed.Positionals.size() > args.size())
        vlm::fuzz::Finding();
}

void Parse(const TArgs& args, std::initializer_list<TOptionSpec> specs) {
    try {
        const vlm::cli::TParsedArgs parsed = vlm::cli::ParseArgs(args, specs);
        CheckParsed(args, parsed, specs);
        vlm::cli::RequirePositionals(parsed, 1, 2);
    } catch (const vlm::cli::EUsage&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TArgs args = vlm::fuzz::SplitAtNul({reinterpret_cast<const char*>(data), size});
    if (size == 0)
        args.clear();
    Parse(args, {});
    Parse(args, {{"--force", false}});
    Parse(args, {{"--password", true}, {"--force", false}});
    Parse(
        args,
        {{"-o", true}, {"--yes", false}, {"--save", false}, {"--quiet", false}, {"--jobs", true}});
    Parse(args, {{"--json", false}, {"--html", true}, {"--quiet", false}});
    Parse(args, {{"--exclude", true},
                 {"--password", true},
                 {"--plain-headers", false},
                 {"--store", false},
                 {"--level", true},
                 {"--absolute", false},
                 {"--no-recurse", false},
                 {"--jobs", true}});
    static const char* const Commands[] = {"new",  "set",    "get",     "build", "report",
                                           "list", "verify", "extract", "zip"};
    if (!args.empty() &&
        std::find(std::begin(Commands), std::end(Commands), args[0]) == std::end(Commands)) {
        std::istringstream in;
        std::ostringstream out, err;
        const int code = vlm::cli::VlmMain(args, in, out, err);
        if (code != 0 && code != 2)
            vlm::fuzz::Finding();
    }
    return 0;
}
