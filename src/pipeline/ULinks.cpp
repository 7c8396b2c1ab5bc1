#include "pipeline/ULinks.h"

#include "archive/arcPipeline.h"
#include "pipeline/UPageScan.h"
#include "pipeline/UProgress.h"
#include "platform/UErrors.h"
#include "platform/UFileStream.h"
#include "platform/UFileSys.h"
#include "platform/UOrderedWork.h"
#include "platform/UPaths.h"
#include "platform/UText.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vlm {

namespace {
// Documents read ahead of the one taken, for each worker.
constexpr size_t AheadPerWorker = 8;
} // namespace

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

TLinkParser::TLinkParser(TProgress& progress, TRegExpr& includeMatcher, TRegExpr& excludeMatcher)
    : FProgress(progress), FInclude(includeMatcher), FExclude(excludeMatcher) {}

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
    FProgress.Events().Links(FPagesParsed, FPagesFound, list.Count());
}

void TLinkParser::ShowPage(const std::string& fileName, uint64_t size) {
    FProgress.Events().CurrentFile(fileName);
    FProgress.Events().Size(size);
    FProgress.SetBar(0, 0, size);
    FNextChange = size == 0 ? UINT64_MAX : NextChangeAfter(0, size);
    FProgress.Check();
}

// The first byte count at which the bar of a document of size bytes shows more than
// percent.
uint64_t TLinkParser::NextChangeAfter(int percent, uint64_t size) {
    return (static_cast<uint64_t>(percent + 1) * size + 99) / 100;
}

// The bar goes through every share of the document up to read, as it would if the bytes
// were counted one by one, each with the bytes behind it; Cancel is looked at here, where
// each reference is taken and at the document's end.
void TLinkParser::Advance(uint64_t read, uint64_t size) {
    while (FNextChange <= read) {
        const int percent = static_cast<int>(FNextChange * 100 / size);
        FProgress.SetBar(percent, FNextChange, size);
        FNextChange = NextChangeAfter(percent, size);
    }
    FProgress.Check();
}

void TLinkParser::TakePage(TScannedPage& page, TFileList& list) {
    if (page.OpenFailed)
        std::rethrow_exception(page.Error);
    ShowPage(page.Page, page.Size);
    FPage = &page.Page;
    for (const TPageReference& reference : page.References) {
        Advance(reference.Advance, page.Size);
        TakeReference(reference, list);
    }
    Advance(page.LastAdvance, page.Size);
    if (page.Error)
        std::rethrow_exception(page.Error);
}

void TLinkParser::ParseLinks(const std::string& fileName, TFileList& list) {
    TScannedPage page = ScanDocument(fileName, FObserver != nullptr, FHomeRoot,
                                     [this] { return FProgress.Cancelled(); });
    TakePage(page, list);
}

void TLinkParser::DiscoverFiles(const std::string& homePage, TFileList& list) {
    FPagesParsed = 0;
    FPagesFound = 0;
    if (FHomeRoot.empty())
        SetHomeRoot(ExtractFilePath(ExpandFileName(homePage)));
    for (size_t i = 0; i < list.Count(); ++i)
        FPagesFound += IsDocument(list[i]);
    Append(homePage, list);
    // Workers read and scan the documents that follow in the list while this thread takes
    // their references in list order; with one job the scans run here, as they are taken.
    const unsigned threads = FJobs == 1 ? 0 : WorkerCount(FJobs);
    const size_t ahead = AheadPerWorker * std::max(threads, 1u);
    const bool countLines = FObserver != nullptr;
    const std::string homeRoot = FHomeRoot;
    const TCancelToken& cancel = FProgress.Cancel();
    TOrderedWork<std::string, TScannedPage> reader(threads, ahead, [&] {
        return [&](std::string& page) {
            return ScanDocument(page, countLines, homeRoot, [&] { return cancel.Cancelled(); });
        };
    });
    size_t asked = 0; // the list entries looked at for the reader
    for (size_t i = 0; i < list.Count(); ++i) {
        if (!IsDocument(list[i]))
            continue;
        for (; asked < list.Count() && reader.Pending() < ahead; ++asked)
            if (IsDocument(list[asked]))
                reader.Add(list[asked]);
        TScannedPage page = reader.Take();
        TakePage(page, list);
        ++FPagesParsed;
        ReportCounts(list);
    }
}

} // namespace vlm
