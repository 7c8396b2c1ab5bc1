// A handle on an open folder: what work inside a folder that others may change meanwhile
// needs (extraction below a destination folder), so that a name is looked up in the
// folder that was checked, never again through a path.
#pragma once

#include <string_view>

namespace vlm {

// What a name in a folder leads to, the name itself not followed when it is a link.
enum class TEntryKind { None, File, Folder, Link, Other };

class TFolderHandle {
public:
    TFolderHandle() = default;
    ~TFolderHandle();
    TFolderHandle(TFolderHandle&& other) noexcept;
    TFolderHandle& operator=(TFolderHandle&& other) noexcept;
    TFolderHandle(const TFolderHandle&) = delete;
    TFolderHandle& operator=(const TFolderHandle&) = delete;

    // Opens path as a folder (links followed); 0 or the system's error number.
    int Open(std::string_view path);
    // Opens the folder name inside this one, creating it first when create is set and it
    // is missing. A link is never followed: a link or a file at name gives ENOTDIR.
    // 0 or the system's error number.
    int OpenChild(std::string_view name, bool create, TFolderHandle& child) const;
    TFolderHandle Duplicate() const;
    TEntryKind KindOf(std::string_view name) const;
    bool RemoveEntry(std::string_view name) const;

    bool IsOpen() const { return FHandle >= 0; }
    int Handle() const { return FHandle; }

private:
    void Close();
    int FHandle = -1;
};

} // namespace vlm
