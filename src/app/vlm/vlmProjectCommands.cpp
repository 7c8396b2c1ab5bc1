#include "vlm/vlmProjectCommands.h"

#include "platform/UErrors.h"
#include "platform/UFileSys.h"
#include "project/UProject.h"

#include <cerrno>

namespace vlm::cli {

namespace {
// Ctrl+C stops a save between chunks; the temporary file then goes and the file stays.
void SaveUnlessInterrupted(TProject& project) {
    const TInterruptGuard interrupts;
    project.Save([] {
        if (Interrupted())
            throw EAbort();
    });
}

// The project file argument; an empty name would silently mean an untitled project.
const std::string& ProjectFileArg(const TParsedArgs& parsed) {
    if (parsed.Positionals[0].empty())
        throw EUsage("the project file name is empty");
    return parsed.Positionals[0];
}
} // namespace

int RunNew(const TArgs& args, std::istream&, std::ostream& out, std::ostream& err) {
    (void)out;
    const TParsedArgs parsed = ParseArgs(args, {{"--force", false}});
    RequirePositionals(parsed, 1, 1);
    const std::string& fileName = ProjectFileArg(parsed);
    if (PathEntryExists(fileName) && !parsed.Has("--force")) {
        err << "vlm new: \"" << fileName << "\" already exists (use --force to replace it)\n";
        return ExitError;
    }
    if (DirectoryExists(fileName))
        throw EFCreateError(fileName, EISDIR);
    TProject project;
    project.SetFileName(fileName);
    SaveUnlessInterrupted(project);
    return ExitOK;
}

int RunSet(const TArgs& args, std::istream&, std::ostream& out, std::ostream& err) {
    (void)out;
    (void)err;
    const TParsedArgs parsed = ParseArgs(args, {});
    RequirePositionals(parsed, 2, -1);
    std::vector<std::pair<std::string, std::string>> entries;
    for (size_t i = 1; i < parsed.Positionals.size(); ++i) {
        const std::string& assignment = parsed.Positionals[i];
        const size_t eq = assignment.find('=');
        if (eq == std::string::npos || eq == 0)
            throw EUsage("expected NAME=VALUE, got '" + assignment + "'");
        // The project file is one entry a line: a line break would write other entries.
        if (assignment.find_first_of("\r\n") != std::string::npos)
            throw EUsage("an entry cannot hold a line break: '" +
                         assignment.substr(0, assignment.find_first_of("\r\n")) + "...'");
        entries.emplace_back(assignment.substr(0, eq), assignment.substr(eq + 1));
    }
    TProject project(ProjectFileArg(parsed));
    for (const auto& [name, value] : entries)
        project.SetValue(name, value);
    SaveUnlessInterrupted(project);
    return ExitOK;
}

int RunGet(const TArgs& args, std::istream&, std::ostream& out, std::ostream& err) {
    (void)err;
    const TParsedArgs parsed = ParseArgs(args, {});
    RequirePositionals(parsed, 2, 2);
    const TProject project(ProjectFileArg(parsed));
    out << project.Value(parsed.Positionals[1]) << "\n";
    return ExitOK;
}

} // namespace vlm::cli
