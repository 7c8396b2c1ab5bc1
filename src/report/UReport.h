// The site report: what a build of a project would take, and why, found by the build's
// own file collection without writing an archive; the references that lead nowhere; the
// files of the site that the build would leave out; names that differ only in letter case;
// and totals with an estimate of the output's size.
#pragma once

#include "pipeline/UBuildSeam.h"
#include "pipeline/ULinks.h"
#include "pipeline/USiteFiles.h"
#include "report/UReportSpool.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace vlm {

class TProject;

// Why the build takes a file.
enum class TTakenBy : uint8_t { HomePage, Reference, Mask, Settings, LanguageFile };

struct TReportFile {
    std::string Path;
    std::string StoredName;
    uint64_t Size = 0;
    TTakenBy By = TTakenBy::Mask;
    // Reference: the page that first referenced the file, the tag's line and the reference
    // as written; Mask: the include line that matched (folder and mask).
    std::string Page;
    uint64_t Line = 0;
    std::string Written;
    bool ByLetterCase = false; // the reference named it only by letter case
};

// A file under the home page's folder that the build would not take.
struct TOrphanFile {
    std::string Path;
    uint64_t Size = 0;
    std::string ExcludedBy; // the exclude line that matches it, when one does
    std::string Reason;     // another reason it is left out (OwnOutputReason), or empty
};

// Why the build's own output (and its temporary files) are never members.
inline constexpr const char* OwnOutputReason = "the build's own output";

// A folder link that the build does not follow, and why.
struct TSkippedLink {
    std::string Path; // the link (without a final delimiter)
    std::string Reason;
};

struct TTypeTotal {
    std::string Extension; // lower case with its dot; empty for names without one
    uint64_t Files = 0;
    uint64_t Bytes = 0;
};

struct TSiteReport {
    std::string ProjectFile;
    std::string HomePage;
    std::string HomeRoot;
    bool Parsing = false;
    bool Executable = false;
    std::vector<TReportFile> Files; // in member order
    TBrokenReferences Broken;       // spooled to a file: a large site holds very many
    std::vector<TOrphanFile> Orphans;
    std::vector<std::vector<std::string>> CaseOnlyNames; // groups of two or more paths
    TCaseReferences CaseReferences;                      // spooled as the broken ones
    // Indices into Files: the ones taken from outside the home page's folder.
    std::vector<size_t> OutsideFiles;
    uint64_t ExternalReferences = 0;
    uint64_t TotalBytes = 0;
    uint64_t EstimatedOutputBytes = 0;
    std::vector<TTypeTotal> Types;          // most bytes first
    std::vector<size_t> Largest;            // indices into Files, the largest twenty, largest first
    std::vector<std::string> HiddenFolders; // under the home page's folder, not looked into
    std::vector<TSkippedLink> SkippedLinks; // folder links that lead back up, not entered
    std::vector<std::string> Hints;         // advice beyond the problems
    // What a build would fail on: files it cannot read, folders it cannot list, in the
    // archive writer's words.
    std::vector<TLeftOutFile> Errors;

    bool HasProblems() const { return !Broken.empty(); }
    bool HasErrors() const { return !Errors.empty(); }
};

// Makes the report of project. Its events show the stages and the current page, and its
// cancel token raises EAbort; errors that end a build before it writes (a missing home page, a
// page that cannot be read, a mask that does not compile) raise the exception the build
// raises, naming the file and the reason; the files and folders a build would fail to
// read are collected in Errors, as the archive writer reports them. The project is not
// changed; the settings member is written into the private temporary folder for the
// listing and removed again. The broken references and the ones found by letter case are
// spooled in the private temporary folder: the spool goes with the report, or at once when
// a Cancel or an error ends it.
TSiteReport MakeSiteReport(const TProject& project, const TBuildSeam& seam);

// The writers go through the report once, from the first byte to the last, and write as
// they go: a report of a large site is never held whole in memory. A stream that raises its
// write errors (set its exceptions) ends the writing at the first one.
//
// The report as text for a terminal: a summary and the problems.
void WriteReportText(const TSiteReport& report, std::ostream& out);
// The report as one JSON object (docs/vlm.md lists its fields).
void WriteReportJson(const TSiteReport& report, std::ostream& out);
// The report as one self-contained HTML page: sortable tables and a bar of sizes by type,
// no network access needed.
void WriteReportHtml(const TSiteReport& report, std::ostream& out);

// Runs write on a stream that hands what it writes to out in chunks of 64 KiB: a stream
// that writes through to a file or pipe on every put (standard output) would spend more
// time per character than the report does. out's write errors reach write.
void WriteBuffered(const std::function<void(std::ostream&)>& write, std::ostream& out);

// Writes what write puts into its stream to fileName safely: into a new private file
// beside it that then takes its name, so that fileName never holds a partial page; a
// device or pipe there (/dev/stdout) is written into as it is. Raises an error naming the
// file and the reason.
void SaveReportFile(const std::string& fileName, const std::function<void(std::ostream&)>& write);
// The HTML page of report, saved so.
void SaveReportHtml(const std::string& fileName, const TSiteReport& report);

// Why a folder link is not followed: it leads to a folder being walked (or the home
// folder), or to a folder above the home page's.
std::string SkippedLinkReason(bool aboveHome);

// The words of a broken reference's reason ("missing", "excluded by a mask"...).
std::string BrokenReason(const TBrokenReference& broken);
std::string TakenByText(TTakenBy by);
// Why the build takes a file, in words (the referring page and line, or the mask).
std::string FileReason(const TReportFile& file);

} // namespace vlm
