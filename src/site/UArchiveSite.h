// What the viewer reads from a build's output: the archive (a ".vlm" file, or an
// executable with its trailer), its settings member "VLM.settings", and the site's pages
// under the settings' HomeRoot. Members are found by a hash lookup on an index built once
// at open, and served as streams; nothing is extracted to disk.
#pragma once

#include "archive/arcMemberReader.h"
#include "archive/arcReader.h"
#include "platform/UText.h"
#include "project/UStringList.h"
#include "site/USiteFormat.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vlm {

// Whether the file ends in an executable trailer that points at the start of an archive
// inside it (a local header, plain or enciphered): an executable output, or a viewer
// program with its archive joined.
bool HasArchiveTrailer(const std::string& fileName);

// The largest member handed to the browser engine: a page or image beyond it would only
// grow the renderer's memory without end.
inline constexpr uint64_t MaxServedMember = uint64_t{256} << 20;

// Whether a text member should be labelled UTF-8 for the browser engine: it declares no
// character set of its own (no byte-order mark; a page no "charset" in a <meta> of its
// first 1024 bytes, a style sheet no @charset) and its bytes are UTF-8. start is the
// member's beginning, whole when complete; an ASCII start of an incomplete member decides
// nothing. The engine would otherwise read such text in a legacy single-byte encoding.
bool IsUndeclaredUtf8(std::string_view start, bool complete, bool page, bool styleSheet);

// Lookups of member names in either ASCII letter case, without copying them.
struct TFoldedHash {
    size_t operator()(std::string_view text) const;
};
struct TFoldedEqual {
    bool operator()(std::string_view a, std::string_view b) const { return SameText(a, b); }
};

class TArchiveSite {
public:
    // Opens the archive, reads its settings member and checks that the home page is there
    // and begins to read. Raises EFOpenError or EArchiveError naming the file and the reason.
    explicit TArchiveSite(const std::string& fileName);

    const std::string& FileName() const { return FReader->FileName(); }
    TArchiveReader& Reader() { return *FReader; }
    const TStringList& Settings() const { return FSettings; }
    std::string Value(std::string_view name) const { return FSettings.Value(name); }
    // Flag text: anything but "0" is true, also an absent line.
    bool Flag(std::string_view name) const;
    // The home page relative to the home root.
    const std::string& HomePage() const { return FHomePage; }

    // A site's pages are served under their members' full names as the build stored them
    // ("/srv/site/docs/a.htm"; a name without a leading "/" gets one): its address. So every
    // reference between members resolves as it did on the building machine, "../" out of
    // the home page's folder included. The settings member and the language files are the
    // viewer's own and have no address.
    std::string Address(size_t index) const;
    const std::string& HomeAddress() const { return FHomeAddress; }

    // The site member an address names ("/"-separated, already percent-decoded; "." and
    // ".." are resolved): the member of that full name; else, as a root-absolute reference
    // ("/license.html"), the member of that path under the home root. Each is looked for
    // by its exact name first, then by a name that differs only in ASCII letter case.
    // Empty when no site member answers.
    std::optional<size_t> Find(std::string_view address) const;
    // A stream of the member's data. Raises EArchiveError.
    std::unique_ptr<TMemberReader> Open(size_t index);
    // The member's whole data (for small members: settings, language files, pages searched).
    std::string ReadAll(size_t index);
    // Writes the member's data to target, replacing it only when complete.
    void SaveMember(size_t index, const std::string& target);

    // Language files in the archive (".lng" members under LanguageFilesRoot): their names
    // without the extension, sorted, and their members.
    std::vector<std::pair<std::string, size_t>> Languages() const;

    // Whether member index is one of the site's (it has an address).
    bool IsSiteMember(size_t index) const;

private:
    void ReadSettings();
    void BuildIndex();
    std::optional<size_t> Lookup(std::string_view key) const;

    std::unique_ptr<TArchiveReader> FReader;
    TStringList FSettings;
    std::string FHomeRoot; // the home root's address, ending in "/"
    std::string FHomePage;
    std::string FHomeAddress;
    std::optional<size_t> FSettingsMember;
    // A member's name without its leading "/" (a view into the reader's member list) ->
    // the member; the folded map keeps the first of names that differ in letter case only.
    std::unordered_map<std::string_view, size_t> FExact;
    std::unordered_map<std::string_view, size_t, TFoldedHash, TFoldedEqual> FFolded;
};

} // namespace vlm
