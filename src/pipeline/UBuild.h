// The build: a project becomes its output file. The settings member is derived from the
// project, the site's files are collected by following links or by masks, the archive
// writer compresses them into one encrypted archive, and for executable output the viewer
// program, the archive and a trailer are joined. The window that runs the build is seen
// only through the build's seam (UBuildSeam.h): its events, its questions and its cancel
// token.
#pragma once

#include "pipeline/UBuildSeam.h"
#include "pipeline/UMasks.h"
#include "pipeline/UOutsideFiles.h"
#include "pipeline/USiteFiles.h"
#include "platform/UErrors.h"
#include "site/USiteFormat.h"

#include <memory>
#include <string>
#include <vector>

namespace vlm {

class TProject;
class TZip;

// Raised after a build whose output was written without some of the site's files: the
// output lacks them, so the build did not do what was asked.
class EBuildIncomplete : public EVlmError {
public:
    explicit EBuildIncomplete(std::vector<TLeftOutFile> files);
    const std::vector<TLeftOutFile>& Files() const { return FFiles; }

private:
    std::vector<TLeftOutFile> FFiles;
};

// The tools a build uses, made once and kept as long as the main window: the archive
// writer and the two matchers of parse mode.
class TBuilder {
public:
    TBuilder();
    ~TBuilder();
    TBuilder(const TBuilder&) = delete;
    TBuilder& operator=(const TBuilder&) = delete;

    // Builds the open project. Returns when the output is written; raises EAbort when the
    // user declined a question or pressed Cancel (a previous output stays as it was),
    // EBuildIncomplete when the output was written but files were left out, and any
    // other exception for an error (its text names the file and the reason). The project
    // changes only through the output-file prompt and the Language fallback. Under Run
    // (runInProgress) the "Finished" window does not wait for the user.
    void Build(TProject& project, const TBuildSeam& seam, bool runInProgress = false);

    // The files the last build took from outside the home page's folder, in the order they
    // were added (the settings member and the language files, which are the program's own,
    // are not counted). Empty before the first build.
    const TOutsideFiles& OutsideFiles() const { return FOutsideFiles; }

    TZip& Zip() { return *FZip; }
    // Threads of link discovery and of the archive writer (TCompOptions::Jobs).
    int Jobs = 0;
    TRegExpr& IncludeMatcher() { return FIncludeMatcher; }
    TRegExpr& ExcludeMatcher() { return FExcludeMatcher; }

private:
    std::unique_ptr<TZip> FZip;
    TRegExpr FIncludeMatcher{"MaskInclude"};
    TRegExpr FExcludeMatcher{"MaskExclude"};
    TOutsideFiles FOutsideFiles;
};

// Writes a chosen output file into the project: OutputFile, and OutputType "EXE" when
// the extension is ".exe" in any letter case, else "VLM".
void SetOutputFile(TProject& project, const std::string& fileName);

// Whether the Build command is enabled: a project is open, it has a home page, and the
// preview shows a file.
bool CanBuild(const TProject* project, bool previewShowsFile);

} // namespace vlm
