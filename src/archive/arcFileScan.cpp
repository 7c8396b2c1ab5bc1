#include "archive/arcFileScan.h"

#include "platform/UOrderedWork.h"
#include "platform/UPaths.h"

#include <algorithm>
#include <array>
#include <functional>

namespace vlm {

namespace {

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether one member of an attribute set finds its attribute in the word.
bool HasAttribute(uint32_t attr, TArcFileAttr member) {
    switch (member) {
    case fsZeroAttr:
        return attr == 0 || attr == faNormal;
    case fsReadOnly:
        return (attr & faReadOnly) != 0;
    case fsHidden:
        return (attr & faHidden) != 0;
    case fsSysFile:
        return (attr & faSysFile) != 0;
    case fsVolumeID:
        return false;
    case fsDirectory:
        return (attr & faDirectory) != 0;
    case fsArchive:
        return (attr & faArchive) != 0;
    case fsCompressed:
        return (attr & faCompressed) != 0;
    case fsEncrypted:
        return (attr & faEncrypted) != 0;
    }
    return false;
}

constexpr std::array AllArcFileAttrs = {fsZeroAttr, fsReadOnly,   fsHidden,
                                        fsSysFile,  fsVolumeID,   fsDirectory,
                                        fsArchive,  fsCompressed, fsEncrypted};

bool SetFindsAttribute(uint32_t attr, TArcFileAttrs set) {
    for (TArcFileAttr member : AllArcFileAttrs)
        if (set.Contains(member) && HasAttribute(attr, member))
            return true;
    return false;
}

// Made only of spaces and control characters.
bool IsBlankLine(std::string_view line) {
    for (char c : line)
        if (static_cast<unsigned char>(c) > ' ')
            return false;
    return true;
}

} // namespace

bool IsScanCandidate(uint32_t attr, TArcFileAttrs include, TArcFileAttrs exclude) {
    // Not-content-indexed files are taken whatever the include set holds.
    const bool included = (attr & faNotContentIndexed) != 0 || SetFindsAttribute(attr, include);
    return included && !SetFindsAttribute(attr, exclude);
}

TInternalMask::TInternalMask(std::string_view mask) {
    FEndsWithDot = !mask.empty() && mask.back() == '.';
    FItems.reserve(mask.size() + 1);
    bool star = false;
    for (char c : mask) {
        if (c == '*') {
            star = true;
        } else if (c == '?') {
            // "*?" means "*": a star already swallows any one character.
            if (!star)
                FItems.push_back({false, TItem::AnyOne, 0});
        } else {
            FItems.push_back({star, TItem::Literal, AsciiUpper(c)});
            star = false;
        }
    }
    FItems.push_back({star, TItem::EndOfName, 0});
}

bool TInternalMask::ItemMatchesAt(const TItem& item, std::string_view name, size_t length,
                                  size_t pos) const {
    switch (item.Kind) {
    case TItem::EndOfName:
        return pos == length;
    case TItem::AnyOne:
        return pos < length;
    case TItem::Literal:
        // Past the real name lies only the "." that a mask ending in "." supplies.
        return pos < length && AsciiUpper(pos < name.size() ? name[pos] : '.') == item.Upper;
    }
    return false;
}

bool TInternalMask::Matches(std::string_view name) const {
    const bool addDot = FEndsWithDot && name.find('.') == std::string_view::npos;
    const size_t length = name.size() + (addDot ? 1 : 0);
    // Only the most recent star's next position is kept: an earlier star moved further on
    // can only start the later items further on, which the later star has tried already.
    // So this finds exactly what full last-in-first-out backtracking finds.
    bool canBacktrack = false;
    size_t backItem = 0;
    size_t backPos = 0;
    size_t item = 0;
    size_t pos = 0;
    for (;;) {
        const TItem& current = FItems[item];
        if (current.Star) {
            while (pos < length && !ItemMatchesAt(current, name, length, pos))
                ++pos;
            if (!ItemMatchesAt(current, name, length, pos))
                return false;
            if (pos < length) {
                canBacktrack = true;
                backItem = item;
                backPos = pos + 1;
            }
        } else if (!ItemMatchesAt(current, name, length, pos)) {
            if (!canBacktrack)
                return false;
            item = backItem;
            pos = backPos;
            continue;
        }
        if (current.Kind == TItem::EndOfName)
            return true;
        ++item;
        ++pos;
    }
}

bool MatchesMask(std::string_view name, std::string_view mask) {
    return TInternalMask(mask).Matches(name);
}

TArcFileScan::TArcFileScan() = default;

namespace {

// A mask without wildcards matches exactly the names equal to it without regard to ASCII
// letter case (a final "." would also let it match the name without the dot).
bool IsPlainMask(std::string_view mask) {
    return mask.find_first_of("*?") == std::string_view::npos &&
           (mask.empty() || mask.back() != '.');
}

std::string UpperKey(std::string_view text) {
    std::string key(text);
    for (char& c : key)
        c = AsciiUpper(c);
    return key;
}

// One specification group: a folder and the masks and literal names of every line that
// names it.
struct TScanGroup {
    std::string Folder;
    TMaskSet Masks;
    TLiteralNames Literals;
};

// A group's top folder, and its entries when it is a folder.
struct TGroupListing {
    bool IsFolder = false;
    TSearchRec Top;
    TArcFileScan::TListing Listing;
};

// The entries are collected first so that no folder stays open while its subfolders are
// walked: a deep tree cannot run out of file handles.
TArcFileScan::TListing ListEntries(const std::string& folder) {
    TArcFileScan::TListing listing;
    listing.Listed = ListFolder(
        folder,
        [&listing](const TSearchRec& rec) {
            listing.Entries.push_back(rec);
            return true;
        },
        &listing.Error);
    return listing;
}

TGroupListing ListGroupFolder(const std::string& folder) {
    TGroupListing group;
    group.IsFolder = FindEntry(folder, group.Top) && group.Top.IsDirectory();
    if (group.IsFolder)
        group.Listing = ListEntries(folder);
    return group;
}

// The groups' folders are listed in their order on a thread of its own, at most about this
// many entries ahead of the walk: the system's work on the next folders overlaps the walk's
// own on this one. A link-discovered site has hundreds of such folders.
constexpr size_t EntriesAhead = 16384;

} // namespace

void TMaskSet::Append(const std::string& mask) {
    const size_t index = FTexts.size();
    FTexts.push_back(mask);
    if (IsPlainMask(mask)) {
        FPlain.emplace(UpperKey(mask), index);
        FCompiled.emplace_back();
    } else {
        FCompiled.push_back(std::make_unique<TInternalMask>(mask));
        FWildcards.push_back(index);
    }
}

void TMaskSet::Replace(size_t index, const std::string& mask) {
    if (!FCompiled[index]) {
        FPlain.erase(UpperKey(FTexts[index]));
        FWildcards.push_back(index);
    }
    FTexts[index] = mask;
    FCompiled[index] = std::make_unique<TInternalMask>(mask);
}

void TMaskSet::Fold(const std::string& mask) {
    if (IsPlainMask(mask)) {
        // A plain name is accepted by an equal plain mask or by a wildcard mask; it can
        // accept only a mask equal to it, which accepts it first: it never replaces one.
        if (FPlain.count(UpperKey(mask)) != 0)
            return;
        for (const size_t index : FWildcards)
            if (FCompiled[index]->Matches(mask))
                return;
        Append(mask);
        return;
    }
    // A plain mask cannot accept a name with wildcards, so only the others are asked first.
    const TInternalMask compiled(mask);
    for (size_t index = 0; index < FTexts.size(); ++index) {
        if (FCompiled[index] && FCompiled[index]->Matches(mask))
            return;
        if (compiled.Matches(FTexts[index])) {
            Replace(index, mask);
            return;
        }
    }
    Append(mask);
}

const std::string* TMaskSet::Match(std::string_view name) const {
    // An empty mask and "*.*" stand for "*" when a folder is walked.
    if (!FPlain.empty()) {
        auto it = FPlain.find("");
        if (it == FPlain.end())
            it = FPlain.find(UpperKey(name));
        if (it != FPlain.end())
            return &FTexts[it->second];
    }
    for (const size_t index : FWildcards)
        if (FTexts[index] == "*.*" || FCompiled[index]->Matches(name))
            return &FTexts[index];
    return nullptr;
}

void TLiteralNames::Seal() {
    std::sort(FExact.begin(), FExact.end());
    FExact.erase(std::unique(FExact.begin(), FExact.end()), FExact.end());
}

std::vector<bool> TLiteralNames::Taken(const std::vector<TSearchRec>& entries) const {
    std::vector<bool> taken(entries.size(), false);
    if (FExact.empty())
        return taken;
    // The names that exist as written take nothing else.
    std::vector<bool> present(FExact.size(), false);
    size_t presentCount = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].IsDirectory())
            continue;
        const auto it =
            std::lower_bound(FExact.begin(), FExact.end(), std::string_view(entries[i].Name));
        if (it != FExact.end() && *it == entries[i].Name) {
            taken[i] = true;
            present[static_cast<size_t>(it - FExact.begin())] = true;
            ++presentCount;
        }
    }
    // The others take the files whose names differ from them in letter case alone; when all
    // names were found (the usual case) there are none.
    if (presentCount == FExact.size())
        return taken;
    std::unordered_set<std::string> missing;
    for (size_t k = 0; k < FExact.size(); ++k)
        if (!present[k])
            missing.insert(UpperKey(FExact[k]));
    for (size_t i = 0; i < entries.size(); ++i)
        if (!taken[i] && !entries[i].IsDirectory() && missing.count(UpperKey(entries[i].Name)) != 0)
            taken[i] = true;
    return taken;
}

std::string TArcFileScan::GroupFolder(const std::string& line) const {
    const std::string folder = ExtractFilePath(line);
    if (!folder.empty())
        return folder;
    if (!RootDir.empty())
        return IncludeTrailingPathDelimiter(RootDir);
    return GetCurrentFolder();
}

namespace {

// The file lines grouped by folder, in the order of their first lines, each group with the
// lines that name its folder; a hash of the folders keeps this linear in the number of lines. The
// literal names look into literal's lines.
std::vector<TScanGroup> GroupLines(const std::vector<std::string>& literal,
                                   const std::vector<std::string>& fileSpec,
                                   const std::function<std::string(const std::string&)>& folderOf) {
    std::vector<TScanGroup> groups;
    std::unordered_map<std::string, size_t> groupOf;
    const auto groupFor = [&](const std::string& line) -> TScanGroup& {
        const std::string folder = folderOf(line);
        const auto [it, added] = groupOf.emplace(FileNameKey(folder), groups.size());
        if (added)
            groups.push_back({folder, {}, {}});
        return groups[it->second];
    };
    // Literal lines come by the tens of thousands, mostly several in a row from one folder:
    // the last folder's group is kept at hand.
    std::string_view lastFolder;
    TScanGroup* lastGroup = nullptr;
    for (const std::string& line : literal) {
        size_t nameStart = line.size(); // 0 without a folder
        while (nameStart > 0 && !IsFolderDelimiter(line[nameStart - 1]))
            --nameStart;
        if (nameStart == line.size() || IsBlankLine(line))
            continue;
        const std::string_view folder(line.data(), nameStart);
        if (lastGroup == nullptr || folder != lastFolder) {
            lastGroup = &groupFor(line);
            lastFolder = folder;
        }
        lastGroup->Literals.Add(std::string_view(line).substr(nameStart));
    }
    for (TScanGroup& group : groups)
        group.Literals.Seal();
    for (const std::string& line : fileSpec)
        if (!IsBlankLine(line))
            groupFor(line).Masks.Fold(ExtractFileName(line));
    return groups;
}

} // namespace

void TArcFileScan::Scan() {
    FFilesCount = 0;
    FFilesSize = 0;
    const std::vector<TScanGroup> groups = GroupLines(
        LiteralSpec, FileSpec, [this](const std::string& line) { return GroupFolder(line); });
    FileSpec.clear();
    // The literal names look into LiteralSpec's lines: it goes when the walk is done.
    const std::vector<std::string> literalLines = std::move(LiteralSpec);
    LiteralSpec.clear();

    TOrderedWork<std::string, TGroupListing> listings(
        groups.size() > 1 ? 1 : 0, EntriesAhead,
        [this] {
            return [this](std::string& folder) {
                return CancelToken && CancelToken->Cancelled() ? TGroupListing{}
                                                               : ListGroupFolder(folder);
            };
        },
        [](const TGroupListing& group) { return group.Listing.Entries.size() + 1; });
    for (const TScanGroup& group : groups)
        listings.Add(group.Folder);
    for (const TScanGroup& group : groups) {
        if (Stopped())
            break;
        if (OnRootDirChange)
            OnRootDirChange(group.Folder);
        TGroupListing listed = listings.Take();
        if (listed.IsFolder) {
            FAbove = {false, group.Folder, {}};
            std::vector<TFolderId> ancestors{{listed.Top.Device, listed.Top.Inode}};
            WalkFolder(group.Folder, group.Masks, &group.Literals, ancestors, &listed.Listing);
        }
    }
}

void TArcFileScan::WalkFolder(const std::string& folder, const TMaskSet& masks,
                              const TLiteralNames* literals, std::vector<TFolderId>& ancestors,
                              TListing* listing) {
    if (OnRecurseDir)
        OnRecurseDir(folder);
    TListing own;
    if (listing == nullptr) {
        own = ListEntries(folder);
        listing = &own;
    }
    if (!listing->Listed && OnFolderError)
        OnFolderError(folder, listing->Error);
    const std::vector<TSearchRec>& entries = listing->Entries;
    const std::vector<bool> literal =
        literals != nullptr ? literals->Taken(entries) : std::vector<bool>(entries.size(), false);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (Stopped())
            return;
        VisitEntry(folder, entries[i], masks, literal[i], ancestors);
        if (ProcessMessages)
            ProcessMessages();
    }
}

void TArcFileScan::VisitEntry(const std::string& folder, const TSearchRec& rec,
                              const TMaskSet& masks, bool literal,
                              std::vector<TFolderId>& ancestors) {
    const bool candidate = IsScanCandidate(rec.Attr, Attributes, AttributesEx);
    const std::string subFolder = rec.IsDirectory() ? folder + rec.Name + PathDelim : "";
    if (candidate && rec.IsDirectory() && UpdateList && OnEntry)
        OnEntry(subFolder, rec);
    FMatched = candidate && !rec.IsDirectory() && !literal ? masks.Match(rec.Name) : nullptr;
    if (candidate && !rec.IsDirectory() && (literal || FMatched != nullptr)) {
        ++FFilesCount;
        FFilesSize += rec.Size;
        if (OnScanFile)
            OnScanFile(rec.Name, FFilesCount, FFilesSize);
        if (UpdateList && OnEntry)
            OnEntry(folder, rec);
    }
    // Below a folder that only literal lines name no file can match: its subfolders are
    // not walked (a build's tens of thousands of literal names would otherwise have every
    // folder's whole subtree listed and looked at once per folder above it).
    if (!RecurseDirs || !rec.IsDirectory() || masks.Texts().empty())
        return;
    if ((rec.Attr & faHidden) != 0 && !IncludeHiddenDirs)
        return;
    // A link back to a folder that is being walked higher up would never end; one to a
    // folder above the group's would walk what lies around it.
    const TFolderId id{rec.Device, rec.Inode};
    const bool walked = std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end();
    if (!walked && !FAbove.Known) {
        FAbove.Ids = FolderAncestorIds(FAbove.Top);
        FAbove.Known = true;
    }
    if (walked || std::find(FAbove.Ids.begin(), FAbove.Ids.end(), id) != FAbove.Ids.end()) {
        if (OnFolderSkipped)
            OnFolderSkipped(subFolder, !walked);
        return;
    }
    ancestors.push_back(id);
    WalkFolder(subFolder, masks, nullptr, ancestors);
    ancestors.pop_back();
}

} // namespace vlm
