// Expanding file specifications into files: the wildcard masks, the attribute filter and
// the depth-first walk of folders. The scanner never opens a file.
#pragma once

#include "platform/UCancel.h"
#include "platform/UFileSys.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vlm {

enum TArcFileAttr : uint8_t {
    fsZeroAttr = 0,   // no attribute at all, or only "normal" (attribute word 0 or 128)
    fsReadOnly = 1,   // 1
    fsHidden = 2,     // 2
    fsSysFile = 3,    // 4
    fsVolumeID = 4,   // never tested
    fsDirectory = 5,  // 16
    fsArchive = 6,    // 32
    fsCompressed = 7, // 2048
    fsEncrypted = 8,  // 16384
};

// A set of TArcFileAttr (bit n = ordinal n).
class TArcFileAttrs {
public:
    constexpr TArcFileAttrs() = default;
    constexpr TArcFileAttrs(std::initializer_list<TArcFileAttr> attrs) {
        for (TArcFileAttr a : attrs)
            Include(a);
    }
    constexpr bool Contains(TArcFileAttr a) const { return (FBits >> a) & 1u; }
    constexpr void Include(TArcFileAttr a) { FBits = static_cast<uint16_t>(FBits | 1u << a); }
    constexpr void Exclude(TArcFileAttr a) { FBits = static_cast<uint16_t>(FBits & ~(1u << a)); }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr uint16_t Bits() const { return FBits; }
    friend constexpr bool operator==(TArcFileAttrs, TArcFileAttrs) = default;

private:
    uint16_t FBits = 0;
};

inline constexpr TArcFileAttrs DefaultArcFileAttrs{fsZeroAttr, fsReadOnly, fsArchive, fsCompressed,
                                                   fsEncrypted};

// Whether an entry with the attribute word attr passes the filter: the include set finds
// one of its attributes (not-content-indexed always counts) and the exclude set none.
bool IsScanCandidate(uint32_t attr, TArcFileAttrs include, TArcFileAttrs exclude);

// A compiled wildcard mask: "*" any run (backslashes and "/" included), "?" one
// character ("*?" is the same as "*"), other characters literal without regard to ASCII
// letter case; the whole name must be consumed. A mask ending in "." also matches names
// without a dot; "[" is an ordinary character. Matching allocates nothing and keeps a
// single backtracking point, so any number of star runs is accepted and the work stays
// within name length times mask length even for hostile masks.
class TInternalMask {
public:
    explicit TInternalMask(std::string_view mask);
    bool Matches(std::string_view name) const;

private:
    struct TItem {
        bool Star; // preceded by one or more "*"
        enum TKind : uint8_t { Literal, AnyOne, EndOfName } Kind;
        char Upper; // a literal's character, ASCII letters in upper case
    };
    bool ItemMatchesAt(const TItem& item, std::string_view name, size_t length, size_t pos) const;
    std::vector<TItem> FItems;
    bool FEndsWithDot = false;
};

// Compiles mask and matches name against it (for the tests that run once per line).
bool MatchesMask(std::string_view name, std::string_view mask);

// The masks of one specification group. Masks without wildcards (plain names, which link
// discovery hands over by the ten thousand) are also kept in a hash set, so that folding
// the lines of a group and matching a folder's entries take time in proportion to their
// number, not its square.
class TMaskSet {
public:
    // Folds a line's name part in: dropped when an existing mask accepts it as a name; else
    // it replaces the first existing mask that it accepts as a name; else it is appended.
    void Fold(const std::string& mask);
    // The masks in their order.
    const std::vector<std::string>& Texts() const { return FTexts; }
    // Whether any mask matches name; an empty mask and "*.*" match every name here.
    bool Matches(std::string_view name) const { return Match(name) != nullptr; }
    // The text of a mask that matches name, or null.
    const std::string* Match(std::string_view name) const;

private:
    void Append(const std::string& mask);
    void Replace(size_t index, const std::string& mask);

    std::vector<std::string> FTexts;
    std::vector<std::unique_ptr<TInternalMask>> FCompiled; // null for a plain mask
    std::unordered_map<std::string, size_t> FPlain;        // upper-cased plain mask -> index
    std::vector<size_t> FWildcards;                        // indices of the other masks
};

// The exact names that literal lines give one folder. A name takes the folder's file of
// exactly that name; only when the folder holds no such file does it take every file whose
// name differs from it in ASCII letter case alone (a site written on a case-insensitive
// system). Wildcard characters are ordinary characters here.
// The names are views: what they look into must outlive the object.
class TLiteralNames {
public:
    void Add(std::string_view name) { FExact.push_back(name); }
    // After the last Add: sorts the names and drops repeated ones.
    void Seal();
    bool Empty() const { return FExact.empty(); }
    // For each of a folder's entries, whether a name takes it (folders are never taken).
    std::vector<bool> Taken(const std::vector<TSearchRec>& entries) const;

private:
    std::vector<std::string_view> FExact; // sorted once sealed
};

// Walks the folders of file specifications (lines of folder + one mask) and reports every
// accepted entry.
class TArcFileScan {
public:
    TArcFileScan();

    // Specification lines; the scan consumes its own copy.
    std::vector<std::string> FileSpec;
    // Full paths of single files, taken by the literal-name rule of TLiteralNames and never
    // as masks (link discovery's references). Their folders are grouped before FileSpec's,
    // and only the group's own folder is looked into, not its subfolders.
    std::vector<std::string> LiteralSpec;
    TArcFileAttrs Attributes = DefaultArcFileAttrs;
    TArcFileAttrs AttributesEx;
    bool IncludeHiddenDirs = false;
    bool UpdateList = true;
    bool RecurseDirs = true;
    // Folder for a line without a folder part; empty means the current folder.
    std::string RootDir;

    // After each accepted file: its bare name, the running count and the running byte total.
    std::function<void(const std::string& name, int count, uint64_t size)> OnScanFile;
    // Once per specification group, with the group's folder, before it is walked.
    std::function<void(const std::string& folder)> OnRootDirChange;
    // On entering every folder, the group's top folder included.
    std::function<void(const std::string& folder)> OnRecurseDir;
    // Each accepted entry: the folder path (with trailing delimiter; for a folder entry its
    // own path) and the entry's record.
    std::function<void(const std::string& folder, const TSearchRec& rec)> OnEntry;
    // A folder of the walk that cannot be listed (its files are missing from the list), with
    // the system's error number.
    std::function<void(const std::string& folder, int errorNumber)> OnFolderError;
    // A folder (a link, as a rule) that the walk does not enter because it leads to a
    // folder being walked (aboveTop false: "loop -> .") or to one above the group's folder
    // (aboveTop true: "up -> ..", which would take the walk out of it).
    std::function<void(const std::string& folder, bool aboveTop)> OnFolderSkipped;
    // After each entry, so that a window stays responsive.
    std::function<void()> ProcessMessages;

    // Points the cancel flag at the owner's flag (by default the scanner's own).
    void SetCancelFlag(const bool* flag) { FCancelFlag = flag ? flag : &FOwnCancel; }
    void Cancel() { FOwnCancel = true; }
    // A token that stops the scan as the flag does; the thread that lists folders ahead of
    // the walk looks at it too (the flag belongs to the calling thread).
    const TCancelToken* CancelToken = nullptr;

    void Scan();

    // While OnEntry reports a file: the mask that took it (empty for a literal name).
    const std::string& MatchedMask() const { return FMatched ? *FMatched : FNoMask; }

    int FilesCount() const { return FFilesCount; }
    uint64_t FilesSize() const { return FFilesSize; }

private:
    using TFolderId = TFileId;
    // The folders above the group's folder, as its path names them and as the file system
    // has them (found when the walk first meets a subfolder).
    struct TAbove {
        bool Known = false;
        std::string Top;
        std::vector<TFileId> Ids;
    };

public:
    // A folder's entries, listed before its walk.
    struct TListing {
        bool Listed = false;
        int Error = 0; // the system's, when it could not be listed
        std::vector<TSearchRec> Entries;
    };

private:
    std::string GroupFolder(const std::string& line) const;
    // listing: the folder's entries when they were listed ahead, else null.
    void WalkFolder(const std::string& folder, const TMaskSet& masks, const TLiteralNames* literals,
                    std::vector<TFolderId>& ancestors, TListing* listing = nullptr);
    void VisitEntry(const std::string& folder, const TSearchRec& rec, const TMaskSet& masks,
                    bool literal, std::vector<TFolderId>& ancestors);

    bool Stopped() const { return *FCancelFlag || (CancelToken && CancelToken->Cancelled()); }

    bool FOwnCancel = false;
    const bool* FCancelFlag = &FOwnCancel;
    TAbove FAbove;
    const std::string* FMatched = nullptr;
    const std::string FNoMask;
    int FFilesCount = 0;
    uint64_t FFilesSize = 0;
};

} // namespace vlm
