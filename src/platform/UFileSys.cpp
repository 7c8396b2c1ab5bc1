#include "platform/UFileSys.h"

#include "platform/UErrors.h"
#include "platform/UPaths.h"
#include "platform/UTestHooks.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vlm {

namespace {

bool StatPath(std::string_view path, struct stat& st) {
    return !path.empty() && ::stat(std::string(path).c_str(), &st) == 0;
}

uint32_t AttrOf(const struct stat& st, std::string_view name) {
    uint32_t attr = S_ISDIR(st.st_mode) ? faDirectory : faArchive;
    if ((st.st_mode & S_IWUSR) == 0)
        attr |= faReadOnly;
    if (!name.empty() && name[0] == '.')
        attr |= faHidden;
    return attr;
}

bool IsFileOrFolder(const struct stat& st) {
    return S_ISREG(st.st_mode) || S_ISDIR(st.st_mode);
}

void FillRecord(const struct stat& st, std::string_view name, TSearchRec& rec) {
    rec.Name = std::string(name);
    rec.Attr = AttrOf(st, name);
    rec.Size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
    rec.Time = st.st_mtime;
    rec.Device = st.st_dev;
    rec.Inode = st.st_ino;
}

} // namespace

bool FileExists(std::string_view path) {
    struct stat st;
    return StatPath(path, st) && S_ISREG(st.st_mode);
}

int FileMissingReason(std::string_view path) {
    struct stat st;
    errno = 0;
    if (!StatPath(path, st))
        return errno != 0 ? errno : ENOENT;
    if (S_ISREG(st.st_mode))
        return 0;
    return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
}

bool DirectoryExists(std::string_view path) {
    struct stat st;
    return StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool CreateDir(std::string_view path) {
    return !path.empty() && ::mkdir(ExcludeTrailingPathDelimiter(path).c_str(), 0777) == 0;
}

bool DeleteFile(std::string_view path) {
    return !path.empty() && ::unlink(std::string(path).c_str()) == 0;
}

bool RemoveDir(std::string_view path) {
    return !path.empty() && ::rmdir(std::string(path).c_str()) == 0;
}

bool PathEntryExists(std::string_view path) {
    struct stat st;
    return !path.empty() && ::lstat(std::string(path).c_str(), &st) == 0;
}

bool IsSymbolicLink(std::string_view path) {
    struct stat st;
    return !path.empty() && ::lstat(std::string(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

int ForceFolders(std::string_view folder) {
    if (DirectoryExists(folder))
        return 0;
    const std::string path = ExcludeTrailingPathDelimiter(folder);
    if (path.empty())
        return ENOENT;
    const std::string parent = ExtractFilePath(path);
    if (!parent.empty() && ExcludeTrailingPathDelimiter(parent) != path)
        if (const int error = ForceFolders(parent); error != 0)
            return error;
    return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST ? 0 : errno;
}

int64_t FileSizeOf(std::string_view path) {
    struct stat st;
    if (!StatPath(path, st) || !S_ISREG(st.st_mode))
        return -1;
    return st.st_size;
}

int64_t FileGetAttr(std::string_view path) {
    struct stat st;
    if (!StatPath(path, st) || !IsFileOrFolder(st))
        return -1;
    return AttrOf(st, ExtractFileName(ExcludeTrailingPathDelimiter(path)));
}

bool FindEntry(std::string_view path, TSearchRec& rec) {
    struct stat st;
    if (!StatPath(path, st) || !IsFileOrFolder(st))
        return false;
    FillRecord(st, ExtractFileName(ExcludeTrailingPathDelimiter(path)), rec);
    return true;
}

bool FileIdOf(std::string_view path, TFileId& id) {
    struct stat st;
    if (!StatPath(path, st))
        return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

std::vector<TFileId> FolderAncestorIds(std::string_view folder) {
    std::vector<TFileId> ids;
    const auto add = [&ids](const TFileId& id) {
        if (std::find(ids.begin(), ids.end(), id) == ids.end())
            ids.push_back(id);
    };
    TFileId self;
    if (!FileIdOf(folder, self))
        return ids;
    // As the path names them.
    std::string path = ExcludeTrailingPathDelimiter(folder);
    for (;;) {
        const std::string parent = ExtractFilePath(path);
        if (parent.empty())
            break;
        TFileId id;
        if (FileIdOf(parent, id) && !(id == self))
            add(id);
        const std::string next = ExcludeTrailingPathDelimiter(parent);
        if (next.empty() || next == path)
            break;
        path = next;
    }
    // As the file system has them: ".." after ".." until the root, whose ".." is itself.
    std::string up = IncludeTrailingPathDelimiter(folder);
    TFileId last = self;
    for (int depth = 0; depth < 256; ++depth) {
        up += "..";
        up += PathDelim;
        TFileId id;
        if (!FileIdOf(up, id) || id == last)
            break;
        add(id);
        last = id;
    }
    return ids;
}

namespace {
using TFolderHandle = std::unique_ptr<DIR, int (*)(DIR*)>;

// The folder opened for listing; null (and errorNumber when given) when it cannot be.
TFolderHandle OpenFolder(std::string_view folder, int* errorNumber) {
    const std::string dirPath = IncludeTrailingPathDelimiter(folder);
    if (const int failure = hook_state::OpenFailure(dirPath); failure != 0) {
        if (errorNumber)
            *errorNumber = failure;
        return TFolderHandle(nullptr, ::closedir);
    }
    TFolderHandle dir(::opendir(dirPath.c_str()), ::closedir);
    if (!dir && errorNumber)
        *errorNumber = errno;
    return dir;
}
} // namespace

namespace {
std::string RealPathOf(const std::string& path) {
    std::unique_ptr<char, void (*)(void*)> resolved(::realpath(path.c_str(), nullptr), std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}
} // namespace

std::string ResolvedPath(std::string_view path) {
    const std::string given(path);
    if (std::string whole = RealPathOf(given); !whole.empty())
        return whole;
    const std::string folder = ExtractFilePath(given);
    if (std::string resolved = RealPathOf(folder.empty() ? "." : folder); !resolved.empty())
        return IncludeTrailingPathDelimiter(resolved) + ExtractFileName(given);
    return given;
}

int FileOpenError(std::string_view path) {
    if (const int failure = hook_state::OpenFailure(path); failure != 0)
        return failure;
    const int fd = ::open(std::string(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat st;
    int error = ::fstat(fd, &st) != 0 ? errno : 0;
    if (error == 0 && !S_ISREG(st.st_mode))
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    return error;
}

bool ListFolder(std::string_view folder, const std::function<bool(const TSearchRec&)>& onEntry,
                int* errorNumber) {
    const TFolderHandle dir = OpenFolder(folder, errorNumber);
    if (!dir)
        return false;
    const int dirFd = ::dirfd(dir.get());
    TSearchRec rec;
    while (dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        if (::fstatat(dirFd, entry->d_name, &st, 0) != 0 || !IsFileOrFolder(st))
            continue;
        FillRecord(st, name, rec);
        if (!onEntry(rec))
            break;
    }
    return true;
}

bool ListFolderEntries(std::string_view folder, std::vector<TFolderEntry>& entries,
                       int* errorNumber) {
    const TFolderHandle dir = OpenFolder(folder, errorNumber);
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            entries.push_back({std::string(name), entry->d_type == DT_REG});
    }
    return true;
}

std::vector<std::string> FolderNames(std::string_view folder) {
    std::vector<TFolderEntry> entries;
    ListFolderEntries(folder, entries);
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (TFolderEntry& entry : entries)
        names.push_back(std::move(entry.Name));
    return names;
}

uint32_t DateTimeToDosDateTime(time_t time) {
    struct tm local {};
    if (localtime_r(&time, &local) == nullptr || local.tm_year < 80)
        return (1u << 5 | 1u) << 16; // 1980-01-01 00:00
    if (local.tm_year > 207)
        return ((127u << 9 | 12u << 5 | 31u) << 16) | (23u << 11 | 59u << 5 | 29u);
    const uint32_t date =
        static_cast<uint32_t>((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
    const uint32_t dosTime =
        static_cast<uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
    return date << 16 | dosTime;
}

std::string CreateUniqueTempFile(std::string_view folder, std::string_view prefix) {
    static std::mt19937 generator(static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^ ::getpid()));
    const std::string base = folder.empty() ? std::string() : IncludeTrailingPathDelimiter(folder);
    int lastError = EEXIST;
    for (int attempt = 0; attempt < 65536; ++attempt) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(generator() & 0xFFFF));
        const std::string path = base + std::string(prefix) + digits + ".tmp";
        if ((lastError = hook_state::StepFailure(TFileStep::Create)) != 0)
            break;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        lastError = errno;
        if (lastError != EEXIST)
            break;
    }
    throw EFCreateError(base + std::string(prefix) + "????.tmp", lastError);
}

int ProbeFolder(std::string_view folder, std::string_view prefix) {
    const std::string base = IncludeTrailingPathDelimiter(folder) + std::string(prefix);
    std::random_device device;
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        if ((error = hook_state::StepFailure(TFileStep::Create)) != 0)
            break;
        char digits[24];
        std::snprintf(digits, sizeof digits, "%08X%08X", device(), device());
        const std::string path = base + digits + ".tmp";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(path.c_str());
            return 0;
        }
        error = errno;
    }
    return error;
}

namespace {
std::string& ProgramFolderOverride() {
    static std::string folder;
    return folder;
}
} // namespace

std::string ProgramPath() {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return {};
    return std::string(buffer.data(), static_cast<size_t>(n));
}

std::string ProgramFolder() {
    if (!ProgramFolderOverride().empty())
        return ProgramFolderOverride();
    if (const char* env = std::getenv("VLM_PROGRAM_DIR"); env && *env)
        return IncludeTrailingPathDelimiter(env);
    return ExtractFilePath(ProgramPath());
}

void SetProgramFolder(std::string_view folder) {
    ProgramFolderOverride() = folder.empty() ? std::string() : IncludeTrailingPathDelimiter(folder);
}

} // namespace vlm
