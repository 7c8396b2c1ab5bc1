// The viewer's side of a build's output: settings, the index of the site's members and
// serving them.
#include "site/UArchiveSite.h"

#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/USafeFile.h"
#include "platform/UText.h"
#include "project/UProject.h"

#include <algorithm>

namespace vlm {

namespace {

// Names in the archive use "/"; a settings member written on Windows spells its folders
// with "\".
std::string SlashPath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// The path with "." and empty segments dropped and ".." applied, without its leading "/";
// as in a file system and a URL, ".." at the top stays at the top.
std::string NormalPath(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result;
    for (std::string_view part : parts) {
        if (!result.empty())
            result += '/';
        result += part;
    }
    return result;
}

} // namespace

bool IsUndeclaredUtf8(std::string_view start, bool complete, bool page, bool styleSheet) {
    for (const std::string_view mark : {"\xEF\xBB\xBF", "\xFE\xFF", "\xFF\xFE"})
        if (start.substr(0, mark.size()) == mark)
            return false;
    if (styleSheet && StartsText("@charset", start))
        return false;
    if (page) {
        const std::string_view head = start.substr(0, 1024);
        for (size_t meta = FindText(head, "<meta"); meta != std::string_view::npos;
             meta = FindText(head, "<meta", meta + 1)) {
            const size_t end = head.find('>', meta);
            if (FindText(head.substr(meta, end == std::string_view::npos ? end : end - meta),
                         "charset") != std::string_view::npos)
                return false;
        }
    }
    if (!IsUtf8(start, !complete))
        return false;
    // An ASCII beginning says nothing of what follows it.
    return complete || std::any_of(start.begin(), start.end(),
                                   [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

bool HasArchiveTrailer(const std::string& fileName) {
    try {
        TFileStream file(fileName, TFileMode::OpenRead);
        const int64_t size = file.Size();
        uint8_t bytes[8];
        if (size < static_cast<int64_t>(sizeof bytes) + 4)
            return false;
        file.SetPosition(size - static_cast<int64_t>(sizeof bytes));
        file.ReadBuffer(bytes, sizeof bytes);
        const uint64_t offset = GetU64(bytes);
        if (offset == 0 || offset > static_cast<uint64_t>(size) - sizeof bytes - 4)
            return false;
        file.SetPosition(static_cast<int64_t>(offset));
        file.ReadBuffer(bytes, 4);
        const uint32_t signature = GetU32(bytes);
        return signature == LocalHeaderSignature || signature == EncipheredLocalHeaderSignature;
    } catch (const EVlmError&) {
        return false;
    }
}

size_t TFoldedHash::operator()(std::string_view text) const {
    uint64_t hash = 1469598103934665603ull; // FNV-1a of the lower-cased bytes
    for (const char c : text)
        hash = (hash ^ static_cast<unsigned char>(AsciiLower(c))) * 1099511628211ull;
    return static_cast<size_t>(hash);
}

namespace {

std::string_view WithoutLeadingSlash(std::string_view name) {
    return !name.empty() && name.front() == '/' ? name.substr(1) : name;
}

bool IsLanguageFile(std::string_view name, std::string_view root) {
    return ExtractFilePath(name) == root && LowerCase(ExtractFileExt(name)) == ".lng";
}

} // namespace

TArchiveSite::TArchiveSite(const std::string& fileName)
    : FReader(std::make_unique<TArchiveReader>(fileName)) {
    ReadSettings();
    BuildIndex();
    if (FHomePage.empty())
        throw EArchiveError(FormatMessage("Cannot show archive \"%s\". %s",
                                          {fileName, "Its settings name no home page."}));
    const std::optional<size_t> home = Find(FHomeAddress);
    if (!home)
        throw EArchiveError(FormatMessage(
            "Cannot show archive \"%s\". %s",
            {fileName, "Its home page \"" + PrintableName(FHomePage) + "\" is not in it."}));
    // A home page that cannot be read is told now rather than as a broken first page. Its
    // first chunk checks the password and the start of its data, however large it is.
    char start[4096];
    Open(*home)->Read(start, sizeof start);
}

bool TArchiveSite::Flag(std::string_view name) const {
    return TextToFlag(FSettings.Value(name));
}

void TArchiveSite::ReadSettings() {
    const auto& members = FReader->Members();
    // The comment holds the settings member's name as the build wrote it; an archive whose
    // comment was lost still has a member of that file name.
    for (size_t i = 0; i < members.size(); ++i) {
        if (members[i].Name == FReader->Comment()) {
            FSettingsMember = i;
            break;
        }
        if (ExtractFileName(members[i].Name) == SettingsFileName && !FSettingsMember)
            FSettingsMember = i;
    }
    if (!FSettingsMember)
        throw EArchiveError(FormatMessage("Cannot show archive \"%s\". %s",
                                          {FileName(), std::string("It has no settings member \"") +
                                                           SettingsFileName +
                                                           "\": it was not written by a build."}));
    FSettings.SetText(ReadAll(*FSettingsMember));
    const std::string root = SlashPath(FSettings.Value(entry::HomeRoot));
    FHomeRoot = "/" + std::string(WithoutLeadingSlash(root));
    if (FHomeRoot.back() != '/')
        FHomeRoot += '/';
    FHomePage = SlashPath(FSettings.Value(entry::HomePage));
    FHomeAddress = FHomeRoot + FHomePage;
}

void TArchiveSite::BuildIndex() {
    const auto& members = FReader->Members();
    const std::string languages =
        IncludeTrailingPathDelimiter(SlashPath(FSettings.Value(entry::LanguageFilesRoot)));
    FExact.reserve(members.size());
    FFolded.reserve(members.size());
    for (size_t i = 0; i < members.size(); ++i) {
        const std::string_view name = WithoutLeadingSlash(members[i].Name);
        if (i == FSettingsMember || name.empty() || name.back() == '/' ||
            IsLanguageFile(members[i].Name, languages))
            continue;
        FExact.emplace(name, i);
        FFolded.emplace(name, i);
    }
}

bool TArchiveSite::IsSiteMember(size_t index) const {
    const auto it = FExact.find(WithoutLeadingSlash(FReader->Members().at(index).Name));
    return it != FExact.end() && it->second == index;
}

std::string TArchiveSite::Address(size_t index) const {
    return "/" + std::string(WithoutLeadingSlash(FReader->Members().at(index).Name));
}

std::optional<size_t> TArchiveSite::Find(std::string_view address) const {
    const std::string full = NormalPath(address);
    if (full.empty())
        return std::nullopt;
    // The same path under the home root, for a root-absolute reference.
    const std::string underHome = NormalPath(FHomeRoot + full);
    const auto in = [](const auto& map, const std::string& key) -> std::optional<size_t> {
        const auto it = map.find(key);
        return it == map.end() ? std::nullopt : std::optional<size_t>(it->second);
    };
    if (auto found = in(FExact, full))
        return found;
    if (auto found = in(FExact, underHome))
        return found;
    if (auto found = in(FFolded, full))
        return found;
    return in(FFolded, underHome);
}

std::unique_ptr<TMemberReader> TArchiveSite::Open(size_t index) {
    return std::make_unique<TMemberReader>(*FReader, index, ArchivePassword);
}

std::string TArchiveSite::ReadAll(size_t index) {
    return FReader->ReadMemberText(index, ArchivePassword);
}

void TArchiveSite::SaveMember(size_t index, const std::string& target) {
    std::unique_ptr<TMemberReader> member = Open(index);
    TSafeFile out(target);
    std::vector<char> buffer(65536);
    while (size_t got = member->Read(buffer.data(), buffer.size()))
        out.Write(buffer.data(), got);
    out.Commit();
}

std::vector<std::pair<std::string, size_t>> TArchiveSite::Languages() const {
    const std::string root =
        IncludeTrailingPathDelimiter(SlashPath(FSettings.Value(entry::LanguageFilesRoot)));
    std::vector<std::pair<std::string, size_t>> result;
    const auto& members = FReader->Members();
    for (size_t i = 0; i < members.size(); ++i) {
        const std::string& name = members[i].Name;
        if (!IsLanguageFile(name, root))
            continue;
        const std::string file = ExtractFileName(name);
        result.emplace_back(file.substr(0, file.size() - 4), i);
    }
    std::sort(result.begin(), result.end());
    return result;
}

} // namespace vlm
