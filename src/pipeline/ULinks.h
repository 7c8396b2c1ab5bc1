// Link discovery: the build's file list grows from the home page by following what a
// browser loads from the site's pages, stylesheets and SVG pictures (UReferences.h says
// which references those are). The scan is a character scan of tags and stylesheets, not
// an HTML parser: addresses that scripts build at run time are out of its reach.
#pragma once

#include "pipeline/UFolderLookup.h"
#include "pipeline/UMasks.h"
#include "pipeline/UProgress.h"
#include "pipeline/UReferences.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vlm {

struct TPageReference;
struct TScannedPage;

// The build's ordered list of full paths. Two paths are one entry when they name the
// same file under the platform's identity rule; the "already listed" test is a hash
// lookup, so a site of tens of thousands of files is walked in linear time.
class TFileList {
public:
    // Appends path unless it is listed already; returns whether it was appended. matched:
    // the path, as it is given, passed the include and exclude masks.
    bool Add(const std::string& path, bool matched = false);
    bool Contains(std::string_view path) const;
    // Whether path is listed and passed the masks when it was added as it is given here.
    bool ListedAsMatched(std::string_view path) const;
    size_t Count() const { return FItems.size(); }
    bool Empty() const { return FItems.empty(); }
    const std::string& operator[](size_t index) const { return FItems[index]; }
    const std::vector<std::string>& Items() const { return FItems; }
    // Hands the paths over and leaves the list empty.
    std::vector<std::string> TakeItems() {
        TKeys().swap(FKeys);
        return std::exchange(FItems, {});
    }

private:
    struct TKeyHash {
        using is_transparent = void;
        size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
    };
    // key: whether the path passed the masks
    using TKeys = std::unordered_map<std::string, bool, TKeyHash, std::equal_to<>>;
    TKeys::const_iterator Find(std::string_view path) const;

    std::vector<std::string> FItems;
    TKeys FKeys;
};

// What became of one reference that a page holds.
enum class TReferenceOutcome : uint8_t {
    Taken,         // its file was appended to the list
    TakenByCase,   // no file has the name as written; files differing in letter case were
    AlreadyListed, // its file (or every letter-case variant) is listed already
    External,      // a web, mail or other address with a scheme: not a local file
    NotIncluded,   // the include masks do not accept the path
    Excluded,      // the exclude masks accept the path
    NotAFile,      // something that is not a regular file is there (a folder, a device)
    Missing,       // nothing is there
    ThroughLink,   // its file lies beyond a folder link that discovery does not follow
    OwnOutput,     // the build's own output (or a temporary file of it): never a member
    NotInOutput,   // checking a list of members: the file is there, the list lacks it
};

// One reference as link discovery saw it.
struct TReferenceEvent {
    const std::string& Page; // the page that holds it
    uint64_t Line;           // line of the tag's "<" (the first line is 1)
    const std::string& Written;
    const std::string& Path; // resolved full path
    TReferenceOutcome Outcome;
    // For Taken, TakenByCase, AlreadyListed, OwnOutput and NotInOutput: the files the
    // reference names.
    const std::vector<std::string>& Files;
    // For ThroughLink: the link not followed, and why.
    TFolderLookup::TRefusal Refusal = TFolderLookup::TRefusal::None;
    std::string_view Link = {};
};

// Watches link discovery: every reference of every scanned page, in scan order. Without
// an observer discovery does no extra work.
class TLinkObserver {
public:
    virtual ~TLinkObserver() = default;
    virtual void OnReference(const TReferenceEvent& event) = 0;
};

class TLinkParser {
public:
    TLinkParser(TProgress& progress, TRegExpr& includeMatcher, TRegExpr& excludeMatcher);

    void SetObserver(TLinkObserver* observer) { FObserver = observer; }
    // Threads for DiscoverFiles: 1 scans every page on the calling thread; more (0: as
    // many as the machine runs at once) read and scan pages ahead on workers, while the
    // calling thread takes their references in list order and raises every event.
    void SetJobs(int jobs) { FJobs = jobs; }
    // The home page's folder, for references from the site's root and for the folder
    // links not followed (DiscoverFiles sets it from the home page).
    void SetHomeRoot(std::string homeRoot);
    // The build's own output and its temporary files: files for which own answers true
    // are never taken (OwnOutput).
    void SetOwnFiles(std::function<bool(const std::string&)> own) { FOwn = std::move(own); }
    // ParseLinks then checks the references against the list it is given, which holds an
    // output's members, instead of following them: nothing is appended, and a reference
    // to a file the list lacks is NotInOutput. The masks are not asked.
    void SetCheckOnly(bool checkOnly) { FCheckOnly = checkOnly; }

    // Scans one document (a page, or by its extension a stylesheet or SVG picture) and
    // appends every referenced file that the include matcher accepts, the exclude matcher
    // does not (a matcher without an expression, from an empty mask list, includes every
    // file and excludes none), that is not listed yet and exists. Relative references are
    // resolved against the file's own folder. A reference names exactly one file: the
    // name as written when that exists, else every file whose path differs from it in the
    // ASCII letter case of its folders or name only. Files beyond a folder link that leads
    // back up (TFolderLookup::Refused) and the build's own files are not taken. Shows the
    // file, its size and the share read on the progress window; raises EAbort when the
    // user cancels, and EFOpenError or a read error naming the file.
    void ParseLinks(const std::string& fileName, TFileList& list);

    // Lists the home page (tested against no mask) and then scans, in list order, every
    // entry that is a page (extension exactly ".htm" or ".html", letter case counts), a
    // stylesheet (".css") or an SVG picture (".svg"), including the ones the scans append:
    // breadth first from the home page.
    void DiscoverFiles(const std::string& homePage, TFileList& list);

private:
    // What a path that is not listed led to, kept for the references that name it again.
    struct TUnlisted {
        TReferenceOutcome Outcome; // the outcome of the references that follow
        std::vector<std::string> Files;
        TFolderLookup::TRefusal Refusal = TFolderLookup::TRefusal::None;
        std::string Link;
    };
    // Paths whose answer is kept at once at most; then the memory starts afresh.
    static constexpr size_t UnlistedLimit = 32768;

    void ShowPage(const std::string& fileName, uint64_t size);
    void Advance(uint64_t read, uint64_t size);
    static uint64_t NextChangeAfter(int percent, uint64_t size);
    void TakePage(TScannedPage& page, TFileList& list);
    void TakeReference(const TPageReference& reference, TFileList& list);
    // Sets FFiles (and FUnlistedNow) to what the reference names.
    TReferenceOutcome Resolve(const TPageReference& reference, TFileList& list);
    // Finds the files of a path that no list or memory answered: answer gets them and the
    // outcome of the references to come; returns this reference's outcome.
    TReferenceOutcome Locate(const TPageReference& reference, TFileList& list, TUnlisted& answer);
    bool Append(const std::string& path, TFileList& list, bool matched = false);
    void ReportCounts(const TFileList& list) const;
    TFolderLookup& Lookup();

    TProgress& FProgress;
    TRegExpr& FInclude;
    TRegExpr& FExclude;
    TLinkObserver* FObserver = nullptr;
    const std::string* FPage = nullptr;
    int FJobs = 1;
    std::string FHomeRoot;
    std::unique_ptr<TFolderLookup> FLookup;
    std::function<bool(const std::string&)> FOwn;
    bool FCheckOnly = false;
    std::unordered_map<std::string, TUnlisted> FUnlisted;
    std::vector<std::string> FOne;                  // a reference's one file
    const std::vector<std::string>* FFiles = &FOne; // the files of the last reference resolved
    const TUnlisted* FAnswer = nullptr;             // its kept answer, when it has one
    bool FIncludeRan = false;
    bool FExcludeRan = false;
    size_t FPagesParsed = 0;
    size_t FPagesFound = 0;
    uint64_t FNextChange = 0; // the byte count at which the current document's bar moves
};

} // namespace vlm
