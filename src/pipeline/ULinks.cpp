#include "pipeline/ULinks.h"

#include "archive/arcPipeline.h"
#include "pipeline/UPageScan.h"
#include "pipeline/UProgress.h"
#include "platform/UErrors.h"
#include "platform/UFileStream.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/UText.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vlm {

bool TFileList::Add(const std::string& path, bool matched) {
    if (!FKeys.emplace(FileNameKey(path), matched).second)
        return false;
    FItems.push_back(path);
    return true;
}

TFileList::TKeys::const_iterator TFileList::Find(std::string_view path) const {
    if constexpr (FileNamesIgnoreCase)
        return FKeys.find(FileNameKey(path));
    return FKeys.find(path); // the path is its own key: no copy is made to look it up
}

bool TFileList::Contains(std::string_view path) const {
    return Find(path) != FKeys.end();
}

bool TFileList::ListedAsMatched(std::string_view path) const {
    const auto it = Find(path);
    return it != FKeys.end() && it->second && it->first == path;
}

namespace {

// The bar shows the share of the page read before every byte, and messages and Cancel
// are looked at as the bytes go by. Both are kept cheap: the bar is set only when its
// value changes, and messages are processed every PollBytes bytes (the window itself
// processes them at most every few milliseconds), so a scan costs a comparison per byte.
class TScanProgress {
public:
    TScanProgress(TBuildHost& host, uint64_t size) : FHost(host), FSize(size) {
        FNextChange = size == 0 ? UINT64_MAX : NextChangeAfter(0);
    }

    // The calls Update(p) would make for every p up to and including last, in order: only
    // the byte counts where the bar moves or messages are due do anything.
    void AdvanceTo(uint64_t last) {
        for (uint64_t next = std::min(FNextChange, FNextPoll); next <= last;
             next = std::min(FNextChange, FNextPoll))
            Update(next);
    }

    void Update(uint64_t read) {
        if (read >= FNextChange) {
            const int percent = static_cast<int>(read * 100 / FSize);
            FHost.SetProgress(percent);
            FNextChange = NextChangeAfter(percent);
        }
        if (read >= FNextPoll) {
            FNextPoll = read + PollBytes;
            CheckForCancel(FHost);
        }
    }

private:
    static constexpr uint64_t PollBytes = 4096;

    // The first byte count at which the bar shows more than percent.
    uint64_t NextChangeAfter(int percent) const {
        return (static_cast<uint64_t>(percent + 1) * FSize + 99) / 100;
    }

    TBuildHost& FHost;
    uint64_t FSize;
    uint64_t FNextChange;
    uint64_t FNextPoll = 0;
};

} // namespace

TLinkParser::TLinkParser(TBuildHost& host, TRegExpr& includeMatcher, TRegExpr& excludeMatcher)
    : FHost(host), FInclude(includeMatcher), FExclude(excludeMatcher) {}

namespace {
// Sets files to path alone; the string's memory is reused from one reference to the next.
void SetOnly(std::vector<std::string>& files, const std::string& path) {
    files.resize(1);
    files[0].assign(path);
}
} // namespace

void TLinkParser::SetHomeRoot(std::string homeRoot) {
    FHomeRoot = std::move(homeRoot);
    FLookup.reset();
}

TFolderLookup& TLinkParser::Lookup() {
    if (!FLookup)
        FLookup = std::make_unique<TFolderLookup>(FHomeRoot);
    return *FLookup;
}

TReferenceOutcome TLinkParser::Locate(const TPageReference& reference, TFileList& list,
                                      TUnlisted& answer) {
    const std::string& path = reference.Path;
    std::vector<std::string>& files = answer.Files;
    TFolderLookup::TFound found;
    if (IsExternalReference(reference.Written)) {
        // An address is no spelling of a file: only a file of exactly its name answers.
        found = FileExists(path) ? TFolderLookup::TFound::File : TFolderLookup::TFound::Missing;
        if (found == TFolderLookup::TFound::File)
            files.push_back(path);
    } else {
        found = Lookup().Locate(path, files);
    }
    if (files.empty()) {
        answer.Outcome = found == TFolderLookup::TFound::NotAFile ? TReferenceOutcome::NotAFile
                                                                  : TReferenceOutcome::Missing;
        return answer.Outcome;
    }
    std::erase_if(files, [&](const std::string& file) {
        std::string link;
        const TFolderLookup::TRefusal why = Lookup().Refused(ExtractFilePath(file), link);
        if (why == TFolderLookup::TRefusal::None)
            return false;
        answer.Refusal = why;
        answer.Link = std::move(link);
        return true;
    });
    if (files.empty()) {
        answer.Outcome = TReferenceOutcome::ThroughLink;
        return answer.Outcome;
    }
    if (FOwn && std::any_of(files.begin(), files.end(), FOwn)) {
        std::erase_if(files, [this](const std::string& file) { return !FOwn(file); });
        answer.Outcome = TReferenceOutcome::OwnOutput;
        return answer.Outcome;
    }
    if (FCheckOnly) {
        const bool held = std::any_of(files.begin(), files.end(), [&list](const std::string& file) {
            return list.Contains(file);
        });
        answer.Outcome = held ? TReferenceOutcome::AlreadyListed : TReferenceOutcome::NotInOutput;
        return answer.Outcome;
    }
    answer.Outcome = TReferenceOutcome::AlreadyListed;
    if (found == TFolderLookup::TFound::File)
        return Append(path, list, true) ? TReferenceOutcome::Taken
                                        : TReferenceOutcome::AlreadyListed;
    bool added = false;
    for (const std::string& file : files)
        added = Append(file, list) || added;
    return added ? TReferenceOutcome::TakenByCase : TReferenceOutcome::AlreadyListed;
}

TReferenceOutcome TLinkParser::Resolve(const TPageReference& reference, TFileList& list) {
    const std::string& path = reference.Path;
    FAnswer = nullptr;
    // A path listed after it passed the matchers passes them again (an observer's
    // references to the pages of a site mostly end here); a check asks only the list.
    if (FCheckOnly ? list.Contains(path) : list.ListedAsMatched(path)) {
        SetOnly(FOne, path);
        FFiles = &FOne;
        return TReferenceOutcome::AlreadyListed;
    }
    // A path that is not listed was looked at once, and its answer kept: pages name the
    // same missing file or letter-case variant over and over. The matchers and the list
    // give it the same answer again (a missing file is never listed later: only files
    // that exist are).
    if (const auto known = FUnlisted.find(path); known != FUnlisted.end()) {
        FAnswer = &known->second;
        FFiles = &known->second.Files;
        return known->second.Outcome;
    }
    // An empty list includes every file and excludes none.
    TUnlisted answer;
    TReferenceOutcome outcome;
    if (!FCheckOnly && FInclude.HasExpression() && !FInclude.Exec(path)) {
        outcome = answer.Outcome = TReferenceOutcome::NotIncluded;
    } else if (!FCheckOnly && FExclude.HasExpression() && FExclude.Exec(path)) {
        outcome = answer.Outcome = TReferenceOutcome::Excluded;
    } else if (!FCheckOnly && list.Contains(path)) {
        SetOnly(FOne, path);
        FFiles = &FOne;
        return TReferenceOutcome::AlreadyListed;
    } else {
        outcome = Locate(reference, list, answer);
        // A file found as written is listed now, and the list answers for it.
        if (outcome == TReferenceOutcome::Taken) {
            SetOnly(FOne, path);
            FFiles = &FOne;
            return outcome;
        }
    }
    if (FUnlisted.size() >= UnlistedLimit)
        FUnlisted.clear();
    FAnswer = &FUnlisted.emplace(path, std::move(answer)).first->second;
    FFiles = &FAnswer->Files;
    return outcome;
}

void TLinkParser::TakeReference(const TPageReference& reference, TFileList& list) {
    const std::string& path = reference.Path;
    // A listed path is the common case (every page names the same style sheets). Once
    // the matchers have run, they are known to have expressions that compile, so for a
    // listed path they could only say what the list says already. An observer hears
    // every reference's own outcome, so it takes the long way.
    if (FObserver == nullptr && FIncludeRan && FExcludeRan && list.Contains(path))
        return;
    TReferenceOutcome outcome = Resolve(reference, list);
    FIncludeRan = true;
    FExcludeRan = FExcludeRan || outcome != TReferenceOutcome::NotIncluded;
    if (FObserver == nullptr)
        return;
    // An address is only reported as such when no file answered to it.
    const std::vector<std::string>& files = *FFiles;
    if (files.empty() && IsExternalReference(reference.Written) &&
        outcome != TReferenceOutcome::ThroughLink)
        outcome = TReferenceOutcome::External;
    TReferenceEvent event{*FPage, reference.Line, reference.Written, path, outcome, files};
    if (outcome == TReferenceOutcome::ThroughLink && FAnswer != nullptr) {
        event.Refusal = FAnswer->Refusal;
        event.Link = FAnswer->Link;
    }
    FObserver->OnReference(event);
}

namespace {
// The documents link discovery reads: pages, stylesheets and SVG pictures.
bool IsDocument(const std::string& path) {
    return DocumentKindOf(path) != TDocumentKind::None;
}
} // namespace

bool TLinkParser::Append(const std::string& path, TFileList& list, bool matched) {
    if (!list.Add(path, matched))
        return false;
    if (IsDocument(path))
        ++FPagesFound;
    ReportCounts(list);
    return true;
}

void TLinkParser::ReportCounts(const TFileList& list) const {
    FHost.LinksFound(FPagesParsed, FPagesFound, list.Count());
}

void TLinkParser::ShowPage(const std::string& fileName, uint64_t size) {
    FHost.SetCurrentFileText(MinimizeForLabel(FHost, TProgressLabel::CurrentFile, fileName));
    FHost.SetSizeText(FormatSize(size));
    FHost.SetProgress(0);
    FHost.ProcessMessages();
}

void TLinkParser::ParseLinks(const std::string& fileName, TFileList& list) {
    const TScanPlace place{ExtractFilePath(ExpandFileName(fileName)), FHomeRoot};
    // A file given to scan is a page unless its name says it is a stylesheet or picture.
    const TDocumentKind kind = DocumentKindOf(fileName) == TDocumentKind::None
                                   ? TDocumentKind::Html
                                   : DocumentKindOf(fileName);
    TFileStream in(fileName, TFileMode::OpenRead);
    const uint64_t size = static_cast<uint64_t>(std::max<int64_t>(in.Size(), 0));
    ShowPage(fileName, size);
    TScanProgress progress(FHost, size);
    FPage = &fileName;
    ScanPage(
        in, size, kind, place, FObserver != nullptr, [&](uint64_t n) { progress.AdvanceTo(n); },
        [&](TPageReference&& reference) { TakeReference(reference, list); });
}

// The events of a page a worker scanned, as ParseLinks would have raised them.
void TLinkParser::Replay(TScannedPage& page, TFileList& list) {
    if (page.OpenFailed)
        std::rethrow_exception(page.Error);
    ShowPage(page.Page, page.Size);
    TScanProgress progress(FHost, page.Size);
    FPage = &page.Page;
    for (const TPageReference& reference : page.References) {
        progress.AdvanceTo(reference.Advance);
        TakeReference(reference, list);
    }
    progress.AdvanceTo(page.LastAdvance);
    if (page.Error)
        std::rethrow_exception(page.Error);
}

void TLinkParser::DiscoverFiles(const std::string& homePage, TFileList& list) {
    FPagesParsed = 0;
    FPagesFound = 0;
    if (FHomeRoot.empty())
        SetHomeRoot(ExtractFilePath(ExpandFileName(homePage)));
    for (size_t i = 0; i < list.Count(); ++i)
        FPagesFound += IsDocument(list[i]);
    Append(homePage, list);
    const unsigned threads = FJobs == 1 ? 0 : WorkerCount(FJobs);
    std::unique_ptr<TPageReader> reader;
    if (threads > 0)
        reader = std::make_unique<TPageReader>(threads, FObserver != nullptr, FHomeRoot);
    size_t asked = 0; // the list entries looked at for the reader
    for (size_t i = 0; i < list.Count(); ++i) {
        if (!IsDocument(list[i]))
            continue;
        if (!reader) {
            const std::string page = list[i]; // the list grows while the page is scanned
            ParseLinks(page, list);
        } else {
            // The reader is kept busy with the pages that follow in the list.
            for (size_t room = reader->Room(); asked < list.Count() && room > 0; ++asked)
                if (IsDocument(list[asked])) {
                    reader->Ask(list[asked]);
                    --room;
                }
            TScannedPage page = reader->Take();
            Replay(page, list);
        }
        ++FPagesParsed;
        ReportCounts(list);
    }
}

} // namespace vlm
