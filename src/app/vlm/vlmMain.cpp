#include "vlm/vlmMain.h"

#include "platform/UErrors.h"
#include "vlm/vlmArchiveCommands.h"
#include "vlm/vlmBuildCommand.h"
#include "vlm/vlmCommon.h"
#include "vlm/vlmProjectCommands.h"
#include "vlm/vlmReadCommands.h"
#include "vlm/vlmReportCommand.h"

#include <array>

namespace vlm::cli {

namespace {

const std::array Commands = {
    TCommand{"new", "FILE.vlp [--force]",
             "write a new project (from Default.vlp beside vlm when it exists)", RunNew},
    TCommand{"set", "FILE.vlp NAME=VALUE...", "write entries (an empty value deletes) and save",
             RunSet},
    TCommand{"get", "FILE.vlp NAME", "print an entry's value (empty when absent)", RunGet},
    TCommand{"build", "PROJECT.vlp [-o OUTPUT] [--yes] [--save] [--quiet] [--jobs N]",
             "build the project's output (-o sets OutputFile and, by its extension, OutputType); "
             "--yes replaces an existing output without asking, --save writes the project's "
             "changes back; N threads compress (default: one per hardware thread, 1: none "
             "beside the writer)",
             RunBuild},
    TCommand{"report", "PROJECT.vlp [--json] [--html FILE] [--quiet]",
             "list the files a build would take and why, broken references, files left out, "
             "names that differ only in letter case and totals, without building (--json for "
             "scripts, --html FILE for a page); exit code 3 when references are broken",
             RunReport},
    TCommand{"zip",
             "ARCHIVE SPEC... [-@] [--exclude SPEC]... [--password P] [--plain-headers] "
             "[--store | --level 1|6|9] [--absolute] [--no-recurse] [--jobs N]",
             "write a new ZIP archive (replacing ARCHIVE) of the files SPEC names: a file, a "
             "folder, or folder/mask; -@ also reads file names from standard input, one a line; "
             "names relative to each SPEC's folder (-@: to the current folder) unless --absolute; "
             "encrypted with P and with enciphered headers unless --plain-headers; N threads "
             "compress (default: one per hardware thread, 1: none beside the writer)",
             RunZip},
    TCommand{"list", "FILE",
             "list the members (sizes, method, flags, CRC, time, name) and the comment of an "
             "archive, an executable output or a ZIP file",
             RunList},
    TCommand{"verify", "FILE [--password P]",
             "read every member back and check it (P defaults to the build's password)", RunVerify},
    TCommand{"extract", "FILE DIR [--password P] [--force]",
             "write the members under DIR only (never replacing a file without --force)",
             RunExtract},
};

void PrintUsage(std::ostream& out) {
    out << "Usage: vlm COMMAND [ARGUMENTS]\n"
           "       vlm --help | --version\n\n"
           "Commands:\n";
    for (const TCommand& command : Commands) {
        out << "  vlm " << command.Name << " " << command.Synopsis << "\n"
            << "      " << command.Description << "\n";
    }
    out << "\nExit codes: 0 done, 1 error, 2 usage, 3 broken references (report), 130 "
           "cancelled by Ctrl+C (129 by SIGHUP, 143 by SIGTERM).\n";
}

int UsageError(std::ostream& err, const std::string& message) {
    err << "vlm: " << message << "\n";
    err << "Try 'vlm --help' for more information.\n";
    return ExitUsage;
}

} // namespace

int VlmMain(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err) {
    if (args.empty())
        return UsageError(err, "missing command");
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        PrintUsage(out);
        return ExitOK;
    }
    if (first == "--version") {
        out << "vlm " << VLM_VERSION << "\n";
        return ExitOK;
    }
    for (const TCommand& command : Commands) {
        if (first != command.Name)
            continue;
        const TArgs rest(args.begin() + 1, args.end());
        try {
            return command.Run(rest, in, out, err);
        } catch (const EUsage& e) {
            err << "vlm " << command.Name << ": " << e.what() << "\n";
            err << "Usage: vlm " << command.Name << " " << command.Synopsis << "\n";
            return ExitUsage;
        } catch (const EAbort&) {
            return CancelledExitCode();
        } catch (const std::exception& e) {
            err << "vlm " << command.Name << ": " << e.what() << "\n";
            return ExitError;
        }
    }
    return UsageError(err, "unknown command '" + first + "'");
}

} // namespace vlm::cli
