// Looking names up in a site's folders for link discovery: the letter-case fallback of a
// reference's folders and file name, and the folder links that discovery does not follow.
// A folder is listed at most once however many references look into it (a site that
// names hundreds of missing files in a folder of hundreds of thousands would otherwise
// list it for each); the listings kept are bounded in size, the oldest going first.
#pragma once

#include "platform/UFileSys.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vlm {

class TFolderLookup {
public:
    // homeRoot: the home page's folder, ending in the delimiter.
    explicit TFolderLookup(std::string homeRoot);

    enum class TFound : uint8_t { File, ByCase, NotAFile, Missing };
    // The files path names: the regular file at path; only when there is none, the files
    // whose paths differ from it in the ASCII letter case of folders or name, each part
    // as written first (where a folder exists as written, no other spelling of it is looked
    // into). Full paths, each folder's in its listing order. NotAFile: something other than
    // a regular file is at path (a folder, a FIFO, a device).
    TFound Locate(const std::string& path, std::vector<std::string>& files);

    enum class TRefusal : uint8_t {
        None,
        Walked,   // a link to a folder above it on its own path, or to the home folder
        AboveHome // a link to a folder above the home folder
    };
    // Whether discovery reaches folder (ending in the delimiter) through a folder link it
    // does not follow: one that would take it around the site again (`loop -> .`), or out
    // of it upwards (`up -> ..`). link gets the link's path. The home folder's own path
    // and the folders above it are never refused.
    TRefusal Refused(const std::string& folder, std::string& link);

    // The bytes of names kept at once at most.
    static constexpr size_t NamesLimit = size_t{32} << 20;

private:
    // A folder's names in one block, in listing order, with an index sorted without regard
    // to ASCII letter case for the search.
    struct TNames {
        std::string Bytes;             // each name followed by a NUL
        std::vector<uint32_t> Starts;  // in listing order
        std::vector<uint32_t> ByUpper; // indices into Starts
        std::string_view Name(uint32_t index) const;
    };
    const TNames& NamesOf(const std::string& folder);
    // The names of folder that equal name without regard to ASCII letter case, name itself
    // left out, in listing order.
    void Variants(const std::string& folder, std::string_view name, std::vector<std::string>& out);
    std::vector<std::string> CaseFolders(const std::string& folder, int depth);
    bool IdOf(const std::string& folder, TFileId& id);

    struct TRefused {
        TRefusal Why = TRefusal::None;
        std::string Link;
    };

    std::string FHomeRoot;
    TFileId FHome;
    bool FHaveHome = false;
    std::vector<TFileId> FAboveHome;
    std::unordered_map<std::string, TNames> FNames;
    std::deque<std::string> FNamesOrder;
    size_t FNamesBytes = 0;
    std::unordered_map<std::string, TRefused> FRefused;
    std::unordered_map<std::string, std::pair<bool, TFileId>> FIds;
};

} // namespace vlm
