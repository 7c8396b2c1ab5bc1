#include "vlm/vlmReportCommand.h"

#include "platform/UErrors.h"
#include "platform/UPaths.h"
#include "platform/UTerminal.h"
#include "project/UProject.h"
#include "report/UReport.h"

#include <cerrno>
#include <ostream>

namespace vlm::cli {

namespace {

// The report's window on a terminal: a line per stage on standard error unless quiet;
// Ctrl+C is the Cancel button. The report asks nothing.
class TReportLines : public TSilentBuildEvents {
public:
    TReportLines(std::ostream& err, bool quiet) : FErr(err), FQuiet(quiet) {}

    void Stage(const std::string& caption) override {
        if (!FQuiet)
            FErr << caption << "\n" << std::flush;
    }

private:
    std::ostream& FErr;
    const bool FQuiet;
};

// Writes the report to standard output. One that cannot take it all (a full disk, a pipe
// closed early) fails the command: a cut-off JSON object must not pass for a report.
void WriteToOutput(const std::function<void(std::ostream&)>& write, std::ostream& out) {
    struct TExceptions {
        std::ostream& Out;
        const std::ios::iostate Saved = Out.exceptions();
        ~TExceptions() {
            Out.clear();
            Out.exceptions(Saved);
        }
    } restore{out};
    try {
        errno = 0;
        out.exceptions(std::ios::badbit | std::ios::failbit);
        WriteBuffered(write, out);
        out.flush();
    } catch (const std::ios_base::failure&) {
        const int error = errno;
        throw EVlmError("Cannot write the report to standard output" +
                        (error != 0 ? ". " + SysErrorMessage(error) : std::string()));
    }
}

} // namespace

int RunReport(const TArgs& args, std::istream&, std::ostream& out, std::ostream& err) {
    const TParsedArgs parsed =
        ParseArgs(args, {{"--json", false}, {"--html", true}, {"--quiet", false}});
    RequirePositionals(parsed, 1, 1);
    if (parsed.Positionals[0].empty())
        throw EUsage("the project file name is empty");
    if (parsed.Has("--html") && parsed.Get("--html").empty())
        throw EUsage("the HTML file name is empty");
    const TProject project(parsed.Positionals[0]);
    if (project.Value(entry::HomePage).empty())
        throw EVlmError("The project \"" + project.FileName() +
                        "\" has no home page (HomePage is empty)");
    TReportLines lines(err, parsed.Has("--quiet") || parsed.Has("--json"));
    TDecliningQuestions questions; // the report asks nothing
    TCancelToken cancel;
    const TInterruptGuard interrupts(&cancel);
    const TSiteReport report = MakeSiteReport(project, {lines, questions, cancel});
    if (parsed.Has("--html"))
        SaveReportHtml(parsed.Get("--html"), report);
    WriteToOutput(
        [&](std::ostream& stream) {
            if (parsed.Has("--json"))
                WriteReportJson(report, stream);
            else
                WriteReportText(report, stream);
        },
        out);
    // A build of the project would fail: the report says so as the build would.
    if (report.HasErrors()) {
        err << "vlm report: a build would leave out what it cannot read:"
            << LeftOutLines(report.Errors) << "\n";
        return ExitError;
    }
    return report.HasProblems() ? ExitBrokenReferences : ExitOK;
}

} // namespace vlm::cli
