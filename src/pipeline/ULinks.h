// Link discovery: the build's file list grows from the home page by following the
// references in the site's HTML pages. The scan is a plain character scan of tags that
// knows three attribute names, double quotes, "#" and file URLs, not an HTML parser.
#pragma once

#include "pipeline/UBuildHost.h"
#include "pipeline/UMasks.h"

#include <functional>
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

// The reference a tag's text holds: the value of the first of "src=", "href=" and
// "background=" found anywhere in it (letter case ignored), double-quoted or up to the
// next blank, cut before "#". Empty when there is none.
std::string FindReference(std::string_view tag);

// A reference as a path: percent escapes decoded (not one at the very start), the
// "file://" of a file URL removed, and on Windows "|" made ":" and "/" made "\". The empty
// text when the decoded reference holds a NUL character, which no file name can.
std::string ReferenceToPath(std::string_view reference);

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
};

// One reference as link discovery saw it.
struct TReferenceEvent {
    const std::string& Page; // the page that holds it
    uint64_t Line;           // line of the tag's "<" (the first line is 1)
    const std::string& Written;
    const std::string& Path; // resolved full path
    TReferenceOutcome Outcome;
    // For Taken, TakenByCase and AlreadyListed: the files the reference names.
    const std::vector<std::string>& Files;
};

// Watches link discovery: every reference of every scanned page, in scan order. Without
// an observer discovery does no extra work.
class TLinkObserver {
public:
    virtual ~TLinkObserver() = default;
    virtual void OnReference(const TReferenceEvent& event) = 0;
};

// Whether a reference is an address with a scheme ("http:", "mailto:", "javascript:"...)
// other than "file:": two or more letters, digits, "+", "-" or "." (the first a letter)
// before the first ":". A Windows drive letter is one letter and so not a scheme.
bool IsExternalReference(std::string_view reference);

// The files of path's folder whose names differ from path's name in ASCII letter case only
// (never the name itself), full paths in listing order; regular files only.
std::vector<std::string> LetterCaseVariants(const std::string& path);

class TLinkParser {
public:
    TLinkParser(TBuildHost& host, TRegExpr& includeMatcher, TRegExpr& excludeMatcher);

    void SetObserver(TLinkObserver* observer) { FObserver = observer; }
    // Threads for DiscoverFiles: 1 scans every page on the calling thread; more (0: as
    // many as the machine runs at once) read and scan pages ahead on workers, while the
    // calling thread takes their references in list order and raises every event.
    void SetJobs(int jobs) { FJobs = jobs; }

    // Scans one HTML file and appends every referenced file that the include matcher
    // accepts, the exclude matcher does not (a matcher without an expression, from an
    // empty mask list, includes every file and excludes none), that is not listed yet and
    // exists. Relative references are resolved against the file's own folder. A reference
    // names exactly one file: the name as written when that exists, else every file of its
    // folder whose name differs from it in ASCII letter case only. Shows the file, its size and
    // the share read on the progress window; raises EAbort when the user cancels, and
    // EFOpenError or a read error naming the file.
    void ParseLinks(const std::string& fileName, TFileList& list);

    // Lists the home page (tested against no mask) and then scans, in list order, every
    // entry whose extension is exactly ".htm" or ".html" (letter case counts), including
    // the ones the scans append: breadth first from the home page.
    void DiscoverFiles(const std::string& homePage, TFileList& list);

private:
    struct TUnlisted {
        TReferenceOutcome Outcome;
        std::vector<std::string> Files;
    };
    // Paths whose answer is kept at once at most; then the memory starts afresh.
    static constexpr size_t UnlistedLimit = 32768;

    void ShowPage(const std::string& fileName, uint64_t size);
    void Replay(TScannedPage& page, TFileList& list);
    void TakeReference(const TPageReference& reference, TFileList& list);
    // Sets FFiles to the files the reference names.
    TReferenceOutcome Resolve(const std::string& path, TFileList& list);
    bool Append(const std::string& path, TFileList& list, bool matched = false);
    void ReportCounts(const TFileList& list) const;

    TBuildHost& FHost;
    TRegExpr& FInclude;
    TRegExpr& FExclude;
    TLinkObserver* FObserver = nullptr;
    const std::string* FPage = nullptr;
    int FJobs = 1;
    std::unordered_map<std::string, TUnlisted> FUnlisted;
    std::vector<std::string> FOne;                  // a reference's one file
    const std::vector<std::string>* FFiles = &FOne; // the files of the last reference resolved
    bool FIncludeRan = false;
    bool FExcludeRan = false;
    size_t FPagesParsed = 0;
    size_t FPagesFound = 0;
};

} // namespace vlm
