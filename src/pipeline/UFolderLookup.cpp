#include "pipeline/UFolderLookup.h"

#include "platform/UPaths.h"

#include <algorithm>
#include <cerrno>

namespace vlm {

namespace {

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// a < b without regard to ASCII letter case.
bool LessUpper(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char x = Upper(a[i]);
        const char y = Upper(b[i]);
        if (x != y)
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    return a.size() < b.size();
}

// Spellings of a missing folder looked into at most (every level may have several).
constexpr size_t FolderSpellings = 16;
// Folders whose answers are kept at once at most; then the memory starts afresh.
constexpr size_t FolderAnswers = 65536;

} // namespace

std::string_view TFolderLookup::TNames::Name(uint32_t index) const {
    return std::string_view(Bytes.data() + Starts[index]);
}

TFolderLookup::TFolderLookup(std::string homeRoot) : FHomeRoot(std::move(homeRoot)) {
    if (!FHomeRoot.empty() && FileIdOf(FHomeRoot, FHome)) {
        FHaveHome = true;
        FAboveHome = FolderAncestorIds(FHomeRoot);
    }
}

const TFolderLookup::TNames& TFolderLookup::NamesOf(const std::string& folder) {
    if (const auto it = FNames.find(folder); it != FNames.end())
        return it->second;
    TNames names;
    const std::vector<std::string> listed = FolderNames(folder);
    size_t bytes = 0;
    for (const std::string& name : listed)
        bytes += name.size() + 1;
    names.Bytes.reserve(bytes);
    names.Starts.reserve(listed.size());
    for (const std::string& name : listed) {
        names.Starts.push_back(static_cast<uint32_t>(names.Bytes.size()));
        names.Bytes.append(name).push_back('\0');
    }
    names.ByUpper.resize(listed.size());
    for (uint32_t i = 0; i < names.ByUpper.size(); ++i)
        names.ByUpper[i] = i;
    std::sort(names.ByUpper.begin(), names.ByUpper.end(),
              [&names](uint32_t a, uint32_t b) { return LessUpper(names.Name(a), names.Name(b)); });
    const size_t size = names.Bytes.size() + 8 * names.Starts.size() + folder.size();
    while (!FNamesOrder.empty() && FNamesBytes + size > NamesLimit) {
        const auto old = FNames.find(FNamesOrder.front());
        FNamesBytes -= old->second.Bytes.size() + 8 * old->second.Starts.size() + old->first.size();
        FNames.erase(old);
        FNamesOrder.pop_front();
    }
    FNamesBytes += size;
    FNamesOrder.push_back(folder);
    return FNames.emplace(folder, std::move(names)).first->second;
}

void TFolderLookup::Variants(const std::string& folder, std::string_view name,
                             std::vector<std::string>& out) {
    const TNames& names = NamesOf(folder);
    const auto [first, last] = std::equal_range(
        names.ByUpper.begin(), names.ByUpper.end(), name, [&names](const auto& a, const auto& b) {
            if constexpr (std::is_same_v<std::decay_t<decltype(a)>, std::string_view>)
                return LessUpper(a, names.Name(b));
            else
                return LessUpper(names.Name(a), b);
        });
    std::vector<uint32_t> hits(first, last);
    std::sort(hits.begin(), hits.end()); // listing order
    for (const uint32_t hit : hits)
        if (names.Name(hit) != name)
            out.push_back(folder + std::string(names.Name(hit)));
}

std::vector<std::string> TFolderLookup::CaseFolders(const std::string& folder, int depth) {
    if (DirectoryExists(folder))
        return {folder};
    const std::string trimmed = ExcludeTrailingPathDelimiter(folder);
    const std::string parent = ExtractFilePath(trimmed);
    const std::string name = ExtractFileName(trimmed);
    if (depth > 255 || parent.empty() || name.empty() || parent == folder)
        return {};
    std::vector<std::string> found;
    std::vector<std::string> spellings;
    for (const std::string& above : CaseFolders(parent, depth + 1)) {
        if (above != parent && DirectoryExists(above + name)) {
            found.push_back(above + name + PathDelim);
        } else {
            spellings.clear();
            Variants(above, name, spellings);
            for (const std::string& spelling : spellings)
                if (DirectoryExists(spelling))
                    found.push_back(spelling + PathDelim);
        }
        if (found.size() >= FolderSpellings) {
            found.resize(FolderSpellings);
            break;
        }
    }
    return found;
}

TFolderLookup::TFound TFolderLookup::Locate(const std::string& path,
                                            std::vector<std::string>& files) {
    files.clear();
    if (FileExists(path)) {
        files.push_back(path);
        return TFound::File;
    }
    const std::string folder = ExtractFilePath(path);
    const std::string name = ExtractFileName(path);
    if (!folder.empty() && !name.empty()) {
        std::vector<std::string> spellings;
        for (const std::string& spelling : CaseFolders(folder, 0)) {
            if (spelling != folder && FileExists(spelling + name)) {
                files.push_back(spelling + name);
                continue;
            }
            spellings.clear();
            Variants(spelling, name, spellings);
            for (std::string& file : spellings)
                if (FileExists(file))
                    files.push_back(std::move(file));
        }
        if (!files.empty())
            return TFound::ByCase;
    }
    const int reason = FileMissingReason(path);
    return reason == EISDIR || reason == EINVAL ? TFound::NotAFile : TFound::Missing;
}

bool TFolderLookup::IdOf(const std::string& folder, TFileId& id) {
    if (FIds.size() >= FolderAnswers)
        FIds.clear();
    auto [it, added] = FIds.try_emplace(folder);
    if (added)
        it->second.first = FileIdOf(folder, it->second.second);
    id = it->second.second;
    return it->second.first;
}

TFolderLookup::TRefusal TFolderLookup::Refused(const std::string& folder, std::string& link) {
    // The home folder's own path is the user's: its links are taken as they are.
    if (!FHaveHome || folder.empty() || StartsWithFileName(folder, FHomeRoot))
        return TRefusal::None;
    if (const auto known = FRefused.find(folder); known != FRefused.end()) {
        link = known->second.Link;
        return known->second.Why;
    }
    TRefused answer;
    const std::string trimmed = ExcludeTrailingPathDelimiter(folder);
    const std::string parent = ExtractFilePath(trimmed);
    if (!parent.empty() && parent != folder)
        answer.Why = Refused(parent, answer.Link);
    TFileId id;
    if (answer.Why == TRefusal::None && IsSymbolicLink(trimmed) && FileIdOf(folder, id)) {
        if (id == FHome) {
            answer.Why = TRefusal::Walked;
        } else if (std::find(FAboveHome.begin(), FAboveHome.end(), id) != FAboveHome.end()) {
            answer.Why = TRefusal::AboveHome;
        } else {
            // A folder above the link on its own path: the link leads around it again.
            std::string above = parent;
            for (int depth = 0; answer.Why == TRefusal::None && !above.empty() && depth < 4096;
                 ++depth) {
                TFileId aboveId;
                if (IdOf(above, aboveId) && aboveId == id)
                    answer.Why = TRefusal::Walked;
                const std::string next = ExtractFilePath(ExcludeTrailingPathDelimiter(above));
                if (next == above)
                    break;
                above = next;
            }
        }
        if (answer.Why != TRefusal::None)
            answer.Link = trimmed;
    }
    if (FRefused.size() >= FolderAnswers)
        FRefused.clear();
    link = answer.Link;
    const TRefusal why = answer.Why;
    FRefused.emplace(folder, std::move(answer));
    return why;
}

} // namespace vlm
