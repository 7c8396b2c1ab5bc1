// The viewer's side of a build's output: settings, the index of the site's members and
// serving them.
#include "pipeline/UArchiveSite.h"

#include "pipeline/UBuild.h"
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

// The path with "." and empty segments dropped and ".." applied; empty when ".." climbs
// above the start.
std::optional<std::string> NormalPath(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part == "..") {
            if (parts.empty())
                return std::nullopt;
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

std::string PercentDecode(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
            HexDigitValue(text[i + 2]) >= 0) {
            result +=
                static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            result += text[i];
        }
    }
    return result;
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

TArchiveSite::TArchiveSite(const std::string& fileName)
    : FReader(std::make_unique<TArchiveReader>(fileName)) {
    ReadSettings();
    BuildIndex();
    if (FHomePage.empty())
        throw EArchiveError(FormatMessage("Cannot show archive \"%s\". %s",
                                          {fileName, "Its settings name no home page."}));
    const std::optional<size_t> home = Find(FHomePage);
    if (!home)
        throw EArchiveError(FormatMessage(
            "Cannot show archive \"%s\". %s",
            {fileName, "Its home page \"" + PrintableName(FHomePage) + "\" is not in it."}));
    // A damaged home page is told now rather than as a broken first page.
    FReader->ReadMember(*home, ArchivePassword, [](const char*, size_t) {});
}

bool TArchiveSite::Flag(std::string_view name) const {
    return TextToFlag(FSettings.Value(name));
}

void TArchiveSite::ReadSettings() {
    const auto& members = FReader->Members();
    // The comment holds the settings member's name as the build wrote it; an archive whose
    // comment was lost still has a member of that file name.
    std::optional<size_t> settings;
    for (size_t i = 0; i < members.size(); ++i) {
        if (members[i].Name == FReader->Comment()) {
            settings = i;
            break;
        }
        if (ExtractFileName(members[i].Name) == SettingsMemberName && !settings)
            settings = i;
    }
    if (!settings)
        throw EArchiveError(FormatMessage("Cannot show archive \"%s\". %s",
                                          {FileName(), std::string("It has no settings member \"") +
                                                           SettingsMemberName +
                                                           "\": it was not written by a build."}));
    FSettings.SetText(ReadAll(*settings));
    FHomeRoot = IncludeTrailingPathDelimiter(SlashPath(FSettings.Value(entry::HomeRoot)));
    if (FSettings.Value(entry::HomeRoot).empty())
        FHomeRoot.clear();
    FHomePage = SlashPath(FSettings.Value(entry::HomePage));
}

void TArchiveSite::BuildIndex() {
    const auto& members = FReader->Members();
    FExact.reserve(members.size());
    FFolded.reserve(members.size());
    for (size_t i = 0; i < members.size(); ++i) {
        const std::string& name = members[i].Name;
        if (name.size() <= FHomeRoot.size() || name.compare(0, FHomeRoot.size(), FHomeRoot) != 0)
            continue;
        std::string relative = name.substr(FHomeRoot.size());
        FFolded.emplace(LowerCase(relative), i);
        FExact.emplace(std::move(relative), i);
    }
}

std::optional<size_t> TArchiveSite::Find(std::string_view path) const {
    const std::optional<std::string> normal = NormalPath(path);
    if (!normal || normal->empty())
        return std::nullopt;
    if (auto it = FExact.find(*normal); it != FExact.end())
        return it->second;
    if (auto it = FFolded.find(LowerCase(*normal)); it != FFolded.end())
        return it->second;
    return std::nullopt;
}

std::string TArchiveSite::RelativePath(size_t index) const {
    const std::string& name = FReader->Members().at(index).Name;
    if (name.compare(0, FHomeRoot.size(), FHomeRoot) == 0)
        return name.substr(FHomeRoot.size());
    return name;
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
        if (ExtractFilePath(name) != root || LowerCase(ExtractFileExt(name)) != ".lng")
            continue;
        const std::string file = ExtractFileName(name);
        result.emplace_back(file.substr(0, file.size() - 4), i);
    }
    std::sort(result.begin(), result.end());
    return result;
}

} // namespace vlm
