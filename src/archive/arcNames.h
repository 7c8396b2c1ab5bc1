// Member names: the stored name of a file under each naming mode, its written form in the
// records, extension lists and the exclusion lines of a scan.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vlm {

// How a member's stored name is derived from the file's full path.
enum TStoredDirNames : uint8_t {
    sdNone,                          // the name part only
    sdAbsolute,                      // the full path
    sdAbsoluteNoDrv,                 // the full path without its drive
    sdAbsoluteNoRoot,                // ... and without the leading delimiter
    sdRelative,                      // relative to the group's root folder
    sdRelativeStoreStart,            // relative, keeping the root's last folder
    sdExplorer_Auto,                 // relative to DefaultDir, found by the writer
    sdExplorer_UserDefineDefaultDir, // relative to DefaultDir, set by the caller
};

// The stored name of fullPath under mode, with root the current group's folder (with a
// trailing delimiter) and defaultDir the explorer modes' folder.
std::string StoredNameOf(TStoredDirNames mode, std::string_view fullPath, std::string_view root,
                         std::string_view defaultDir);

// The form a stored name takes in the records: "/" separators. Names are kept as the
// file system spells them (no code-page conversion).
std::string WrittenNameOf(std::string_view storedName);
// Whether a written name needs the UTF-8 flag (general purpose bit 11): any byte > 0x7F.
bool NeedsUtf8Flag(std::string_view writtenName);

// Whether name's extension (from its last dot after the last delimiter) is one of
// extensions, without regard to letter case.
bool HasExtensionIn(std::string_view name, const std::vector<std::string>& extensions);

// The exclusion test of one candidate (stored form). Each line is given in stored form
// together with whether the original line names a folder.
struct TExcludeLine {
    std::string Stored;
    bool HasFolder = false;
    std::string Line; // as given, for the one who asks which line excluded a file
};
// The first line that excludes candidate, or null.
const TExcludeLine* FindExcluding(const std::vector<TExcludeLine>& lines,
                                  std::string_view candidate, bool recurseDirs);
bool IsExcluded(const std::vector<TExcludeLine>& lines, std::string_view candidate,
                bool recurseDirs);

// The folder common to every line (with a trailing delimiter), for sdExplorer_Auto.
std::string CommonFolderOf(const std::vector<std::string>& lines);

} // namespace vlm
