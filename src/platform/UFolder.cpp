#include "platform/UFolder.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vlm {

TFolderHandle::~TFolderHandle() {
    Close();
}

TFolderHandle::TFolderHandle(TFolderHandle&& other) noexcept : FHandle(other.FHandle) {
    other.FHandle = -1;
}

TFolderHandle& TFolderHandle::operator=(TFolderHandle&& other) noexcept {
    if (this != &other) {
        Close();
        FHandle = other.FHandle;
        other.FHandle = -1;
    }
    return *this;
}

void TFolderHandle::Close() {
    if (FHandle >= 0)
        ::close(FHandle);
    FHandle = -1;
}

int TFolderHandle::Open(std::string_view path) {
    Close();
    const std::string name = path.empty() ? std::string(".") : std::string(path);
    FHandle = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return FHandle >= 0 ? 0 : errno;
}

int TFolderHandle::OpenChild(std::string_view name, bool create, TFolderHandle& child) const {
    const std::string part(name);
    if (create && ::mkdirat(FHandle, part.c_str(), 0777) != 0 && errno != EEXIST)
        return errno;
    const int next =
        ::openat(FHandle, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0)
        return errno == ELOOP ? ENOTDIR : errno;
    child.Close();
    child.FHandle = next;
    return 0;
}

TFolderHandle TFolderHandle::Duplicate() const {
    TFolderHandle copy;
    copy.FHandle = FHandle >= 0 ? ::fcntl(FHandle, F_DUPFD_CLOEXEC, 0) : -1;
    return copy;
}

TEntryKind TFolderHandle::KindOf(std::string_view name) const {
    struct stat st;
    if (::fstatat(FHandle, std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return TEntryKind::None;
    if (S_ISREG(st.st_mode))
        return TEntryKind::File;
    if (S_ISDIR(st.st_mode))
        return TEntryKind::Folder;
    if (S_ISLNK(st.st_mode))
        return TEntryKind::Link;
    return TEntryKind::Other;
}

bool TFolderHandle::RemoveEntry(std::string_view name) const {
    return ::unlinkat(FHandle, std::string(name).c_str(), 0) == 0;
}

} // namespace vlm
