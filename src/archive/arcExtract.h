// Extracting members into a folder without ever writing outside it: member names are
// turned into relative paths ("\" is a separator, drive letters and leading separators are
// dropped, ".." is refused), folders are created and entered without following links, and
// each file is written to a temporary name and renamed only when its CRC and size check.
#pragma once

#include "archive/arcReader.h"
#include "platform/UFolder.h"

#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vlm {

struct TMemberPath {
    std::vector<std::string> Components; // never empty, never "." or ".."
    bool IsFolder = false;               // the name ended in a separator
    std::string Text() const;            // the components joined by the delimiter
};

// The relative path a member name stands for; false with a reason when the name cannot be
// placed inside a folder safely (a ".." component, a NUL byte, nothing left).
bool MakeMemberPath(std::string_view name, TMemberPath& path, std::string& reason);

class TArchiveExtractor {
public:
    // Opens folder (creating it and its parents when missing). Raises EFCreateError.
    TArchiveExtractor(TArchiveReader& reader, const std::string& folder);
    TArchiveExtractor(const TArchiveExtractor&) = delete;
    TArchiveExtractor& operator=(const TArchiveExtractor&) = delete;

    std::string Password;
    // Replace files that existed before the extraction.
    bool Force = false;
    // Runs before each chunk is written; it may raise (EAbort) to stop, and the member's
    // temporary file is then removed.
    std::function<void()> BeforeChunk;

    // Writes member index below the folder and returns its relative path. Raises
    // EArchiveError naming the member; nothing is then left under the member's name.
    std::string ExtractMember(size_t index);

private:
    TFolderHandle OpenParentFolder(const TMemberPath& path, size_t index);
    void WriteFile(const TFolderHandle& folder, const std::string& name, const TMemberPath& path,
                   size_t index);
    [[noreturn]] void Fail(size_t index, const std::string& reason) const;

    TArchiveReader& FReader;
    std::string FFolder;
    TFolderHandle FHandle;
    // Files this extraction wrote: a later member of the same name may replace them.
    std::set<std::string> FWritten;
};

} // namespace vlm
