// What the viewer reads from a build's output: the archive (a ".vlm" file, or an
// executable with its trailer), its settings member "VLM.settings", and the site's pages
// under the settings' HomeRoot. Members are found by a hash lookup on an index built once
// at open, and served as streams; nothing is extracted to disk.
#pragma once

#include "archive/arcMemberReader.h"
#include "archive/arcReader.h"
#include "project/UStringList.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vlm {

// The name of the settings member a build writes.
inline constexpr const char* SettingsMemberName = "VLM.settings";

// "%41b" -> "Ab": every %XX with two hex digits becomes its byte; anything else stays.
std::string PercentDecode(std::string_view text);

// Whether the file ends in an executable trailer that points at the start of an archive
// inside it (a local header, plain or enciphered): an executable output, or a viewer
// program with its archive joined.
bool HasArchiveTrailer(const std::string& fileName);

struct TSearchHit {
    std::string Path;    // relative to the home root ("docs/a.htm")
    std::string Title;   // the page's <title>, or its path when it has none
    std::string Excerpt; // the text around the first match
};

class TArchiveSite {
public:
    // Opens the archive, reads its settings member and checks that the home page is there.
    // Raises EFOpenError or EArchiveError naming the file and the reason.
    explicit TArchiveSite(const std::string& fileName);

    const std::string& FileName() const { return FReader->FileName(); }
    TArchiveReader& Reader() { return *FReader; }
    const TStringList& Settings() const { return FSettings; }
    std::string Value(std::string_view name) const { return FSettings.Value(name); }
    // Flag text: anything but "0" is true, also an absent line.
    bool Flag(std::string_view name) const;
    const std::string& HomeRoot() const { return FHomeRoot; }
    // The home page relative to the home root.
    const std::string& HomePage() const { return FHomePage; }

    // The member for a path relative to the home root ("/" separators, already
    // percent-decoded): the exact name first, else a name that differs only in ASCII letter
    // case. Empty for a path that leaves the home root or names no member.
    std::optional<size_t> Find(std::string_view path) const;
    // A member's path relative to the home root (or its full name when outside it).
    std::string RelativePath(size_t index) const;
    // A stream of the member's data. Raises EArchiveError.
    std::unique_ptr<TMemberReader> Open(size_t index);
    // The member's whole data (for small members: settings, language files, pages searched).
    std::string ReadAll(size_t index);
    // Writes the member's data to target, replacing it only when complete.
    void SaveMember(size_t index, const std::string& target);

    // Language files in the archive (".lng" members under LanguageFilesRoot): their names
    // without the extension, sorted, and their members.
    std::vector<std::pair<std::string, size_t>> Languages() const;

    // Pages (".htm"/".html", any letter case) under the home root whose text, tags left
    // out, holds text (ASCII letter case ignored), in archive order.
    std::vector<TSearchHit> Search(std::string_view text);

private:
    void ReadSettings();
    void BuildIndex();

    std::unique_ptr<TArchiveReader> FReader;
    TStringList FSettings;
    std::string FHomeRoot;
    std::string FHomePage;
    std::unordered_map<std::string, size_t> FExact;  // relative path -> member
    std::unordered_map<std::string, size_t> FFolded; // lower-cased path -> first member
};

} // namespace vlm
