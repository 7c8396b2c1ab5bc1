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

// Whether the text before tag[end] is name (lower-case letters) in either letter case.
bool NameEndsAt(std::string_view tag, size_t end, std::string_view name) {
    if (end < name.size())
        return false;
    const char* p = tag.data() + end - name.size();
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = (p[i] >= 'A' && p[i] <= 'Z') ? static_cast<char>(p[i] - 'A' + 'a') : p[i];
        if (c != name[i])
            return false;
    }
    return true;
}

} // namespace

std::string FindReference(std::string_view tag) {
    // Every name ends in "=": one pass over the "="s finds the first place of each name,
    // and the first name in this order that occurs at all wins.
    static constexpr std::array<std::string_view, 3> Names = {"src", "href", "background"};
    std::array<size_t, 3> starts = {std::string_view::npos, std::string_view::npos,
                                    std::string_view::npos};
    for (size_t eq = tag.find('=');
         eq != std::string_view::npos && starts[0] == std::string_view::npos;
         eq = tag.find('=', eq + 1))
        for (size_t k = 0; k < Names.size(); ++k)
            if (starts[k] == std::string_view::npos && NameEndsAt(tag, eq, Names[k]))
                starts[k] = eq + 1;
    for (const size_t start : starts) {
        if (start == std::string_view::npos)
            continue;
        std::string_view value;
        if (start < tag.size() && tag[start] == '"') {
            const size_t end = tag.find('"', start + 1);
            if (end != std::string_view::npos)
                value = tag.substr(start + 1, end - start - 1);
        } else {
            const size_t end = tag.find(' ', start);
            value = tag.substr(start, end == std::string_view::npos ? end : end - start);
        }
        return std::string(value.substr(0, value.find('#')));
    }
    return {};
}

namespace {

// Decodes escapes as a loop that restarts at the text's first "%" after every decoding
// would, but in one pass: nothing before the decoded character can hold a "%", so the
// search may go on from there; a decoded "%" is put back into the input so that it can
// start a new escape.
std::string PercentDecode(std::string_view text) {
    std::string input(text);
    std::string done;
    size_t i = 0;
    for (;;) {
        const size_t j = input.find('%', i);
        if (j == std::string::npos || done.size() + (j - i) == 0 || input.size() - j < 3)
            break;
        const int high = HexDigitValue(input[j + 1]);
        const int low = HexDigitValue(input[j + 2]);
        if (high < 0 || low < 0)
            break;
        const char decoded = static_cast<char>(high * 16 + low);
        done.append(input, i, j - i);
        if (decoded == '%') {
            input[j + 2] = decoded;
            i = j + 2;
        } else {
            done += decoded;
            i = j + 3;
        }
    }
    done.append(input, i, std::string::npos);
    return done;
}

} // namespace

std::string ReferenceToPath(std::string_view reference) {
    std::string path = reference.find('%') == std::string_view::npos ? std::string(reference)
                                                                     : PercentDecode(reference);
    if (path.find('\0') != std::string::npos)
        return {};
    if (path.find('/') == std::string::npos)
        return path;
    if constexpr (PathDelim == '\\') {
        if (const size_t pos = FindText(path, "file:///"); pos != std::string::npos)
            path.erase(pos, 8);
        else if (const size_t pos7 = FindText(path, "file://"); pos7 != std::string::npos)
            path.erase(pos7, 7);
        std::replace(path.begin(), path.end(), '|', ':');
        std::replace(path.begin(), path.end(), '/', '\\');
    } else {
        // "file:///home/a.htm" keeps the slash that starts the absolute path.
        if (path.find(':') == std::string::npos)
            return path;
        if (const size_t pos = FindText(path, "file://"); pos != std::string::npos)
            path.erase(pos, 7);
    }
    return path;
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

namespace {

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace

bool IsExternalReference(std::string_view reference) {
    const size_t colon = reference.find(':');
    if (colon == std::string_view::npos || colon < 2 || !IsAsciiLetter(reference[0]))
        return false;
    for (size_t i = 1; i < colon; ++i) {
        const char c = reference[i];
        if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return false;
    }
    return !SameText(reference.substr(0, colon), "file");
}

std::vector<std::string> LetterCaseVariants(const std::string& path) {
    const std::string folder = ExtractFilePath(path);
    const std::string name = ExtractFileName(path);
    std::vector<std::string> variants;
    if (folder.empty() || name.empty())
        return variants;
    for (const std::string& entry : FolderNames(folder))
        if (entry != name && SameText(entry, name) && FileExists(folder + entry))
            variants.push_back(folder + entry);
    return variants;
}

TLinkParser::TLinkParser(TBuildHost& host, TRegExpr& includeMatcher, TRegExpr& excludeMatcher)
    : FHost(host), FInclude(includeMatcher), FExclude(excludeMatcher) {}

namespace {
// Sets files to path alone; the string's memory is reused from one reference to the next.
void SetOnly(std::vector<std::string>& files, const std::string& path) {
    files.resize(1);
    files[0].assign(path);
}
} // namespace

TReferenceOutcome TLinkParser::Resolve(const std::string& path, TFileList& list) {
    // A path listed after it passed the matchers passes them again (an observer's
    // references to the pages of a site mostly end here).
    if (list.ListedAsMatched(path)) {
        SetOnly(FOne, path);
        FFiles = &FOne;
        return TReferenceOutcome::AlreadyListed;
    }
    // A path that is not listed was looked at once, and its answer kept: pages name the
    // same missing file or letter-case variant over and over. The matchers and the list
    // give it the same answer again (a missing file is never listed later: only files
    // that exist are).
    if (const auto known = FUnlisted.find(path); known != FUnlisted.end()) {
        FFiles = &known->second.Files;
        return FFiles->empty() ? known->second.Outcome : TReferenceOutcome::AlreadyListed;
    }
    // An empty list includes every file and excludes none.
    TReferenceOutcome outcome;
    std::vector<std::string> files;
    if (FInclude.HasExpression() && !FInclude.Exec(path)) {
        outcome = TReferenceOutcome::NotIncluded;
    } else if (FExclude.HasExpression() && FExclude.Exec(path)) {
        outcome = TReferenceOutcome::Excluded;
    } else if (list.Contains(path)) {
        SetOnly(FOne, path);
        FFiles = &FOne;
        return TReferenceOutcome::AlreadyListed;
    } else if (FileExists(path)) {
        SetOnly(FOne, path);
        FFiles = &FOne;
        Append(path, list, true);
        return TReferenceOutcome::Taken;
    } else {
        // Only now is the folder listed: a reference that finds its file as written costs
        // nothing more.
        files = LetterCaseVariants(path);
        if (files.empty()) {
            outcome =
                FileGetAttr(path) >= 0 ? TReferenceOutcome::NotAFile : TReferenceOutcome::Missing;
        } else {
            bool added = false;
            for (const std::string& file : files)
                added = Append(file, list) || added;
            outcome = added ? TReferenceOutcome::TakenByCase : TReferenceOutcome::AlreadyListed;
        }
    }
    if (FUnlisted.size() >= UnlistedLimit)
        FUnlisted.clear();
    FFiles = &FUnlisted.emplace(path, TUnlisted{outcome, std::move(files)}).first->second.Files;
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
    TReferenceOutcome outcome = Resolve(path, list);
    FIncludeRan = true;
    FExcludeRan = FExcludeRan || outcome != TReferenceOutcome::NotIncluded;
    if (FObserver == nullptr)
        return;
    // An address is only reported as such when no file answered to it.
    const std::vector<std::string>& files = *FFiles;
    if (files.empty() && IsExternalReference(reference.Written))
        outcome = TReferenceOutcome::External;
    FObserver->OnReference({*FPage, reference.Line, reference.Written, path, outcome, files});
}

namespace {
// The pages link discovery scans: the extension exactly ".htm" or ".html".
bool IsPage(const std::string& path) {
    const std::string ext = ExtractFileExt(path);
    return ext == ".htm" || ext == ".html";
}
} // namespace

bool TLinkParser::Append(const std::string& path, TFileList& list, bool matched) {
    if (!list.Add(path, matched))
        return false;
    if (IsPage(path))
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
    const std::string folder = ExtractFilePath(ExpandFileName(fileName));
    TFileStream in(fileName, TFileMode::OpenRead);
    const uint64_t size = static_cast<uint64_t>(std::max<int64_t>(in.Size(), 0));
    ShowPage(fileName, size);
    TScanProgress progress(FHost, size);
    FPage = &fileName;
    ScanPage(
        in, size, folder, FObserver != nullptr, [&](uint64_t n) { progress.AdvanceTo(n); },
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
    for (size_t i = 0; i < list.Count(); ++i)
        FPagesFound += IsPage(list[i]);
    Append(homePage, list);
    const unsigned threads = FJobs == 1 ? 0 : WorkerCount(FJobs);
    std::unique_ptr<TPageReader> reader;
    if (threads > 0)
        reader = std::make_unique<TPageReader>(threads, FObserver != nullptr);
    size_t asked = 0; // the list entries looked at for the reader
    for (size_t i = 0; i < list.Count(); ++i) {
        if (!IsPage(list[i]))
            continue;
        if (!reader) {
            const std::string page = list[i]; // the list grows while the page is scanned
            ParseLinks(page, list);
        } else {
            // The reader is kept busy with the pages that follow in the list.
            for (size_t room = reader->Room(); asked < list.Count() && room > 0; ++asked)
                if (IsPage(list[asked])) {
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
