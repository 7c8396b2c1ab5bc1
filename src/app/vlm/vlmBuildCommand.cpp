#include "vlm/vlmBuildCommand.h"

#include "archive/arcZip.h"
#include "pipeline/UBuild.h"
#include "pipeline/UProgress.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/UTerminal.h"
#include "project/UProject.h"

#include <algorithm>
#include <chrono>
#include <iostream>

namespace vlm::cli {

namespace {

enum class TProgressMode { Quiet, Lines, Line };

// Columns a UTF-8 text takes, one per character.
int Columns(const std::string& text) {
    int columns = 0;
    for (const char c : text)
        columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return columns;
}

// The build's window on a terminal: one progress line on standard error that updates in
// place when it is a terminal, a line per stage otherwise, nothing when quiet. Ctrl+C is
// the Cancel button (the interrupt guard cancels the token). The question whether to replace
// an existing output is asked there and answered on standard input when that is a terminal.
class TTerminalBuild : public TBuildEvents, public TBuildQuestions {
public:
    TTerminalBuild(std::istream& in, std::ostream& err, TProgressMode mode, bool yes,
                   std::string outputFile)
        : FIn(in), FErr(err), FMode(mode), FYes(yes), FOutputFile(std::move(outputFile)) {}

    bool AskOutputFile(std::string&) override {
        throw EUsage("the project names no output file; give one with -o OUTPUT");
    }
    bool AskReplace(const std::string& question) override;

    void Begun(const std::string&) override {}
    void Stage(const std::string& caption) override;
    void Bar(int position, uint64_t, uint64_t) override {
        FBar = position;
        DrawNowAndThen();
    }
    void SizeCaption(const std::string&) override {}
    void Size(std::optional<uint64_t>) override {}
    void CurrentFile(const std::string& path) override { FCurrentFile = path; }
    void Links(size_t pagesParsed, size_t pagesFound, size_t filesFound) override;
    void Ended(bool, bool) override { ClearLine(); }

private:
    std::string Prefix() const;
    void DrawNowAndThen();
    void Draw();
    void ClearLine();

    std::istream& FIn;
    std::ostream& FErr;
    const TProgressMode FMode;
    const bool FYes;
    const std::string FOutputFile;
    std::string FStage;
    std::string FCurrentFile;
    int FBar = 0;
    // Link discovery's counts while it runs: a site can hold tens of thousands of pages.
    bool FCounting = false;
    size_t FPagesParsed = 0, FPagesFound = 0, FFilesFound = 0;
    bool FLineShown = false;
    std::chrono::steady_clock::time_point FLastDraw{};
};

// One line of answer from in. The process's standard input is waited on in short steps, so
// that Ctrl+C cancels a question nobody answers (its handler restarts a waiting read).
bool ReadAnswer(std::istream& in, std::string& answer) {
    if (&in == &std::cin && !WaitForStdIn(Interrupted))
        return false;
    return std::getline(in, answer) && !Interrupted();
}

bool TTerminalBuild::AskReplace(const std::string& question) {
    if (FYes)
        return true;
    if (!IsTerminal(FIn))
        throw EVlmError("\"" + FOutputFile +
                        "\" already exists; there is no terminal to ask whether to replace it "
                        "(give --yes to replace it)");
    ClearLine();
    std::string prompt = question;
    for (char& c : prompt)
        if (c == '\r')
            c = '\n';
    FErr << prompt << " [y/N] " << std::flush;
    std::string answer;
    if (!ReadAnswer(FIn, answer))
        return false;
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

std::string TTerminalBuild::Prefix() const {
    std::string prefix = FStage + " ";
    if (FCounting)
        prefix += std::to_string(FPagesParsed) + "/" + std::to_string(FPagesFound) + " pages, " +
                  std::to_string(FFilesFound) + (FFilesFound == 1 ? " file " : " files ");
    return prefix + std::to_string(FBar) + "% ";
}

void TTerminalBuild::Links(size_t pagesParsed, size_t pagesFound, size_t filesFound) {
    FCounting = true;
    FPagesParsed = pagesParsed;
    FPagesFound = pagesFound;
    FFilesFound = filesFound;
    DrawNowAndThen();
}

void TTerminalBuild::Stage(const std::string& caption) {
    // The counts that link discovery ended with are shown once more before the next stage.
    if (FCounting && FMode == TProgressMode::Line)
        Draw();
    FCounting = false;
    FStage = caption;
    FCurrentFile.clear();
    if (FMode == TProgressMode::Lines)
        FErr << caption << "\n" << std::flush;
    else if (FMode == TProgressMode::Line)
        Draw();
}

// The line is drawn at most every tenth of a second.
void TTerminalBuild::DrawNowAndThen() {
    if (FMode != TProgressMode::Line)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - FLastDraw >= std::chrono::milliseconds(100))
        Draw();
}

void TTerminalBuild::Draw() {
    FLastDraw = std::chrono::steady_clock::now();
    // The current file is shortened to the columns the rest of the line leaves it.
    const std::string prefix = Prefix();
    const int room = std::max(10, TerminalColumns() - 1 - Columns(prefix));
    FErr << "\r" << prefix << MinimizeName(FCurrentFile, Columns, room) << "\x1b[K" << std::flush;
    FLineShown = true;
}

void TTerminalBuild::ClearLine() {
    if (FLineShown)
        FErr << "\r\x1b[K" << std::flush;
    FLineShown = false;
}

TProgressMode ModeOf(const TParsedArgs& parsed, const std::ostream& err) {
    if (parsed.Has("--quiet"))
        return TProgressMode::Quiet;
    return IsTerminal(err) ? TProgressMode::Line : TProgressMode::Lines;
}

} // namespace

int RunBuild(const TArgs& args, std::istream& in, std::ostream& out, std::ostream& err) {
    (void)out;
    const TParsedArgs parsed = ParseArgs(
        args,
        {{"-o", true}, {"--yes", false}, {"--save", false}, {"--quiet", false}, {"--jobs", true}});
    RequirePositionals(parsed, 1, 1);
    if (parsed.Positionals[0].empty())
        throw EUsage("the project file name is empty");
    const int jobs = JobsOption(parsed);
    TProject project(parsed.Positionals[0]);
    const std::string before = project.Text();
    if (parsed.Has("-o")) {
        if (parsed.Get("-o").empty())
            throw EUsage("the output file name is empty");
        SetOutputFile(project, ExpandFileName(parsed.Get("-o")));
    } else if (project.Value(entry::OutputFile).empty()) {
        throw EUsage("the project names no output file; give one with -o OUTPUT");
    }
    const std::string output = project.FullPathOf(entry::OutputFile);
    const TProgressMode mode = ModeOf(parsed, err);
    TTerminalBuild terminal(in, err, mode, parsed.Has("--yes"), output);
    TCancelToken cancel;
    const TInterruptGuard interrupts(&cancel);
    TBuilder builder;
    builder.Jobs = jobs;
    const auto save = [&] {
        if (parsed.Has("--save") && project.Text() != before)
            project.Save();
    };
    // Files from outside the site are taken (real sites rely on it) but always told.
    const auto warnOutside = [&] {
        if (const std::string warning = builder.OutsideFiles().Warning(); !warning.empty())
            err << "vlm build: warning: " << warning << "\n";
    };
    try {
        builder.Build(project, {terminal, terminal, cancel});
    } catch (const EBuildIncomplete&) {
        save(); // the output was written; only some of the site's files are missing
        warnOutside();
        throw;
    }
    save();
    warnOutside();
    if (mode != TProgressMode::Quiet) {
        const int64_t size = std::max<int64_t>(FileSizeOf(output), 0);
        err << "Finished: " << output << " (" << FormatSize(static_cast<uint64_t>(size)) << ")\n";
    }
    return ExitOK;
}

} // namespace vlm::cli
