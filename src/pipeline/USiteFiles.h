// The build's file collection, shared by the build and the site report so that both take
// the same files by construction: link discovery (parse mode) or the masks (mask mode),
// the settings member and the language files, handed to the archive writer's scanner.
#pragma once

#include "pipeline/ULinks.h"
#include "pipeline/UMasks.h"
#include "pipeline/UProgress.h"
#include "platform/UFileSys.h"
#include "project/UStringList.h"

#include <string>
#include <vector>

namespace vlm {

class TProject;
struct TCompOptions;
struct TCompEvents;

// A file the archive writer could not take (or a folder, ending in the delimiter, whose
// files it could not list), and why.
struct TLeftOutFile {
    std::string FileName;
    std::string Reason;
};

// A report of the archive writer: its error code and the text it gives for it.
struct TWriterReport {
    std::string FileName;
    std::string Reason;
    int Code;
};

// Makes the writer report into reports (its OnError). The build and the site report both
// take the writer's errors so, and so agree on them.
void CollectWriterReports(TCompEvents& events, std::vector<TWriterReport>& reports);
// The reason the writer gives for code, with its extended message.
std::string WriterReason(int code, const std::string& extended);
// The lines of a list of files left out: "\"file\": reason" each, the first twenty.
std::string LeftOutLines(const std::vector<TLeftOutFile>& files);

// Without its home page the site is not there: raises EFOpenError naming it and the reason
// when no regular file is at homePage, and an error naming the mask when mask mode's
// MaskExclude leaves it out. The build and the report both start so.
void RequireHomePage(const TProject& project, const std::string& homePage);

// The paths a collection is made of.
struct TSitePaths {
    std::string HomePage;        // as the project holds it
    std::string HomeRoot;        // its folder, ending in the delimiter
    std::string SettingsPath;    // the settings member in the private temporary folder
    std::string LanguagesFolder; // the program's "Languages" folder, ending in the delimiter
    std::string OutputFile;      // the project's output, a full path (empty when it has none)
    std::string ArchivePath;     // where the archive is written: the output, or for an
                                 // executable output its ".vlm" in the temporary folder
};

// The paths of project: the settings member (and an executable output's archive) in
// tempFolder, the language files under programFolder.
TSitePaths SitePathsOf(const TProject& project, const std::string& tempFolder,
                       const std::string& programFolder);

// The settings member's text: the project's entries with the viewer's view of the paths,
// and without the password and warning when they are switched off.
TStringList SettingsList(const TProject& project, const TSitePaths& paths);

// Mask mode: the mask of MaskExclude, as written, that leaves the home page (a full path)
// out of the archive; empty when none does. Parse mode takes the home page whatever the
// masks say, so there it is always empty.
std::string HomePageExcludedBy(const TProject& project, const std::string& homePage);

class TSiteCollection {
public:
    TSiteCollection(const TProject& project, TSitePaths paths);

    bool Parsing() const { return FParsing; }
    // RequireHomePage of the collection's home page.
    void CheckHomePage() const { RequireHomePage(FProject, FPaths.HomePage); }
    const TSitePaths& Paths() const { return FPaths; }

    // Parse mode: loads the matchers from the project's masks and follows the links from
    // the home page. The observer, when given, sees every reference.
    // jobs as for TLinkParser::SetJobs.
    void Discover(TProgress& progress, TRegExpr& include, TRegExpr& exclude,
                  TLinkObserver* observer = nullptr, int jobs = 1);
    const TFileList& Discovered() const { return FDiscovered; }

    // Gives the writer the member naming and the file specification: the discovered files as
    // literal names (parse mode) or the home page and the include masks with the exclude masks
    // (mask mode), then the settings member and the language files. The discovered list is
    // handed over: one copy of tens of thousands of paths is enough.
    void ConfigureWriter(TCompOptions& options);

    // The mask-mode include lines as the scanner gets them (folder and mask), in order.
    std::vector<std::string> IncludeLines() const;
    std::vector<std::string> ExcludeLines() const;
    // The language-file line, or the empty text when none is added.
    std::string LanguageLine() const;

    // Whether path is the build's own output, which is never a member (an old output is
    // kept until the new one replaces it, and may lie in the site): the output file, an
    // executable output's archive, the safe-replace temporary files beside either (under
    // its own name and the name its links lead to), a file that is the output under
    // another name (a link, by its extension and identity), and the archive writer's
    // "arc*.tmp" files in the private temporary folder.
    bool IsOwnOutput(const std::string& path) const;

private:
    void KnowOwnOutput();

    const TProject& FProject;
    TSitePaths FPaths;
    bool FParsing;
    TFileList FDiscovered;
    std::vector<std::string> FOwnTargets;
    std::string FPrivateFolder;
    std::string FOutputExt;
    bool FOutputExists = false;
    TFileId FOutputId;
};

} // namespace vlm
