#include "platform/USafeFile.h"

#include "platform/UErrors.h"
#include "platform/UPaths.h"
#include "platform/UTestHooks.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vlm {

namespace {

// Where the new file goes and what it becomes there.
struct TTargetPlace {
    TFolderHandle Folder;
    std::string Name;    // entry name inside Folder
    std::string Display; // the target as the caller named it
    std::string Where;   // the folder part of the path the file lives at, for messages
    TSafeFileOptions Options;
    mode_t Mode = 0600;
    uid_t Owner = 0;
    gid_t Group = 0;
    bool Existed = false;
};

// The kernel's protected-symlinks rule: in a sticky, world-writable folder a link is
// followed only when its owner is the caller or the folder's owner.
void CheckLinkMayBeFollowed(const std::string& link, const struct stat& linkStat) {
    const std::string folder = ExtractFilePath(link);
    struct stat dir;
    if (::stat(folder.empty() ? "." : folder.c_str(), &dir) != 0)
        return;
    const bool shared = (dir.st_mode & S_ISVTX) != 0 && (dir.st_mode & S_IWOTH) != 0;
    if (shared && linkStat.st_uid != ::geteuid() && linkStat.st_uid != dir.st_uid)
        throw EFCreateError(link, EACCES,
                            "It is a symbolic link of another user in a shared folder; it is "
                            "not followed.");
}

// Follows the links named by path, hop by hop, to the name where the file lives.
std::string FollowTarget(std::string_view path) {
    std::string current(path);
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        CheckLinkMayBeFollowed(current, st);
        std::vector<char> buffer(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1);
        const ssize_t n = ::readlink(current.c_str(), buffer.data(), buffer.size() - 1);
        if (n <= 0)
            return current;
        const std::string target(buffer.data(), static_cast<size_t>(n));
        current = IsAbsolutePath(target) ? target : ExtractFilePath(current) + target;
    }
    return current;
}

void LearnMode(TTargetPlace& place) {
    struct stat st;
    const int flags = place.Options.FollowLinks ? 0 : AT_SYMLINK_NOFOLLOW;
    if (::fstatat(place.Folder.Handle(), place.Name.c_str(), &st, flags) == 0) {
        if (S_ISDIR(st.st_mode))
            throw EFCreateError(place.Display, EISDIR);
        // A rename would put a plain file in the place of a device, FIFO or socket (as root,
        // "-o /dev/full" would replace the device itself): only regular files are replaced.
        if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
            throw EFCreateError(place.Display, EINVAL,
                                "It is not a regular file and is never replaced.");
        if (S_ISREG(st.st_mode)) {
            place.Owner = st.st_uid;
            place.Group = st.st_gid;
            place.Existed = true;
            // An executable must stay startable whatever the file it replaces was.
            if (!place.Options.Executable) {
                place.Mode = st.st_mode & 07777;
                return;
            }
        }
    }
    place.Mode = (place.Options.Executable ? 0777 : 0666) & ~static_cast<mode_t>(ProcessUmask());
}

void PlaceByPath(TTargetPlace& place, std::string_view target) {
    place.Display = std::string(target);
    const std::string resolved =
        place.Options.FollowLinks ? FollowTarget(target) : std::string(target);
    place.Name = ExtractFileName(resolved);
    place.Where = ExtractFilePath(resolved);
    if (place.Name.empty())
        throw EFCreateError(place.Display, EISDIR);
    if (const int error = place.Folder.Open(ExtractFilePath(resolved)); error != 0)
        throw EFCreateError(place.Display, error);
    LearnMode(place);
}

uint64_t RandomBits64() {
    std::random_device device;
    return static_cast<uint64_t>(device()) << 32 | device();
}

// The start of every temporary name of a target's entry name.
std::string TempPrefixOf(std::string_view name) {
    return "." + std::string(name.substr(0, 200)) + ".";
}

// A new private file beside the target, named "." + name + "." + the process id + "." +
// 16 random hex digits + ".tmp", created exclusively: another user who made names there in
// advance cannot hit ours. The process id tells a later run whether the file was left by a
// process that is gone (killed while it copied).
int CreateTemp(const TTargetPlace& place, std::string& tempName) {
    const std::string base = TempPrefixOf(place.Name) + std::to_string(::getpid()) + ".";
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        if ((error = hook_state::StepFailure(TFileStep::Create)) != 0)
            break;
        char digits[24];
        std::snprintf(digits, sizeof digits, "%016llx",
                      static_cast<unsigned long long>(RandomBits64()));
        tempName = base + digits + ".tmp";
        const int fd = ::openat(place.Folder.Handle(), tempName.c_str(),
                                O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0)
            return fd;
        error = errno;
    }
    throw EFCreateError(place.Display, error);
}

// Mode first after the owner: a change of owner clears the set-id bits.
void ApplyMode(int handle, const TTargetPlace& place) {
    struct stat st;
    if (place.Existed && ::fstat(handle, &st) == 0 &&
        (st.st_uid != place.Owner || st.st_gid != place.Group))
        (void)::fchown(handle, place.Owner, place.Group); // kept where the process may
    (void)::fchmod(handle, place.Mode); // a failure keeps the private mode, which is safe
}

// 0 or the system's error number.
int RenameInto(int fromFolder, const std::string& from, const TTargetPlace& place) {
    if (const int error = hook_state::StepFailure(TFileStep::Rename); error != 0)
        return error;
    const int to = place.Folder.Handle();
    if (place.Options.Replace)
        return ::renameat(fromFolder, from.c_str(), to, place.Name.c_str()) == 0 ? 0 : errno;
    if (::renameat2(fromFolder, from.c_str(), to, place.Name.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the no-replace rename: a hard link fails on an existing name.
    if (::linkat(fromFolder, from.c_str(), to, place.Name.c_str(), 0) != 0)
        return errno;
    ::unlinkat(fromFolder, from.c_str(), 0);
    return 0;
}

} // namespace

struct TSafeFile::TState {
    TTargetPlace Place;
    std::string TempName; // inside Place.Folder; empty once gone or committed
    std::unique_ptr<TFileStream> Stream;
    std::string FolderText; // the folder part of the temporary file's path, for messages
};

TSafeFile::TSafeFile(std::string_view target, const TSafeFileOptions& options)
    : F(std::make_unique<TState>()) {
    F->Place.Options = options;
    PlaceByPath(F->Place, target);
    F->FolderText = F->Place.Where;
    const int fd = CreateTemp(F->Place, F->TempName);
    F->Stream = std::make_unique<TFileStream>(fd, F->FolderText + F->TempName);
}

TSafeFile::TSafeFile(const TFolderHandle& folder, std::string_view name,
                     std::string_view displayName, const TSafeFileOptions& options)
    : F(std::make_unique<TState>()) {
    F->Place.Options = options;
    F->Place.Options.FollowLinks = false;
    F->Place.Display = std::string(displayName);
    F->Place.Name = std::string(name);
    F->Place.Folder = folder.Duplicate();
    if (!F->Place.Folder.IsOpen())
        throw EFCreateError(F->Place.Display, EBADF);
    LearnMode(F->Place);
    F->FolderText = ExtractFilePath(displayName);
    const int fd = CreateTemp(F->Place, F->TempName);
    F->Stream = std::make_unique<TFileStream>(fd, F->FolderText + F->TempName);
}

TSafeFile::~TSafeFile() {
    Cancel();
}

const std::string& TSafeFile::FileName() const {
    return F->Place.Display;
}

std::string TSafeFile::TempPath() const {
    return F->TempName.empty() ? std::string() : F->FolderText + F->TempName;
}

TFileStream& TSafeFile::Stream() {
    if (!F->Stream)
        throw EWriteError(F->Place.Display, EBADF);
    return *F->Stream;
}

void TSafeFile::Write(const void* data, size_t count) {
    try {
        Stream().WriteBuffer(data, count);
    } catch (const EWriteError& e) {
        throw EWriteError(F->Place.Display, e.ErrorNumber);
    }
}

void TSafeFile::Commit() {
    TFileStream& stream = Stream();
    try {
        ApplyMode(stream.Handle(), F->Place);
        stream.Sync();
        stream.Close();
    } catch (const EWriteError& e) {
        Cancel();
        throw EWriteError(F->Place.Display, e.ErrorNumber);
    }
    if (const int error = RenameInto(F->Place.Folder.Handle(), F->TempName, F->Place); error != 0) {
        Cancel();
        throw EFCreateError(F->Place.Display, error);
    }
    F->TempName.clear();
    F->Stream.reset();
    (void)::fsync(F->Place.Folder.Handle()); // the rename itself reaches the device
}

void TSafeFile::Cancel() {
    F->Stream.reset();
    if (!F->TempName.empty())
        F->Place.Folder.RemoveEntry(F->TempName);
    F->TempName.clear();
}

bool ReplaceFileWith(TFileStream& source, std::string_view target, const TSafeFileOptions& options,
                     const std::function<void()>& beforeChunk) {
    const std::string sourceName = source.FileName();
    int error = 0;
    {
        TTargetPlace place;
        place.Options = options;
        PlaceByPath(place, target);
        try {
            ApplyMode(source.Handle(), place);
            source.Sync();
            source.Close();
        } catch (const EWriteError& e) {
            throw EWriteError(place.Display, e.ErrorNumber);
        }
        error = RenameInto(AT_FDCWD, sourceName, place);
        if (error == 0) {
            (void)::fsync(place.Folder.Handle());
            return true;
        }
        if (error != EXDEV)
            throw EFCreateError(place.Display, error);
    }
    TSafeFile copy(target, options);
    TFileStream in(sourceName, TFileMode::OpenRead);
    try {
        CopyStream(in, copy.Stream(), -1, beforeChunk);
    } catch (const EWriteError& e) {
        throw EWriteError(copy.FileName(), e.ErrorNumber);
    }
    copy.Commit();
    return false;
}

namespace {

bool AllHex(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// The process id in a temporary name of target's entry name ("." + name + "." + pid + "." +
// hex + ".tmp"); 0 for a name of the earlier form without one, -1 for any other name.
long TempNameProcess(std::string_view name, std::string_view entry) {
    const std::string prefix = TempPrefixOf(name);
    constexpr std::string_view Suffix = ".tmp";
    if (entry.size() < prefix.size() + 16 + Suffix.size() ||
        entry.substr(0, prefix.size()) != prefix ||
        entry.substr(entry.size() - Suffix.size()) != Suffix)
        return -1;
    const std::string_view middle =
        entry.substr(prefix.size(), entry.size() - prefix.size() - Suffix.size());
    const std::string_view random = middle.substr(middle.size() - 16);
    if (!AllHex(random))
        return -1;
    if (middle.size() == 16)
        return 0;
    const std::string_view pid = middle.substr(0, middle.size() - 16);
    if (pid.size() < 2 || pid.size() > 11 || pid.back() != '.' ||
        pid.find_first_not_of("0123456789") != pid.size() - 1 || pid[0] == '0')
        return -1;
    return std::stol(std::string(pid.substr(0, pid.size() - 1)));
}

bool ProcessIsGone(long pid) {
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

bool IsSafeFileTemporaryOf(std::string_view target, std::string_view candidate) {
    return ExtractFilePath(candidate) == ExtractFilePath(target) &&
           TempNameProcess(ExtractFileName(target), ExtractFileName(candidate)) >= 0;
}

void RemoveSafeFileLeftovers(std::string_view target) {
    std::string resolved;
    try {
        resolved = FollowTarget(target);
    } catch (const EFCreateError&) {
        return; // a link that is not followed: its folder is none of ours
    }
    const std::string name = ExtractFileName(resolved);
    const std::string folder = ExtractFilePath(resolved);
    DIR* dir = name.empty() ? nullptr : ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> gone;
    while (const dirent* entry = ::readdir(dir)) {
        const long pid = TempNameProcess(name, entry->d_name);
        if (pid > 0 && pid != ::getpid() && ProcessIsGone(pid))
            gone.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& entry : gone)
        (void)::unlink((folder + entry).c_str());
}

uint32_t ProcessUmask() {
    // Read from the kernel's status text: setting the mask to read it back would change
    // it for a moment for every thread of the process.
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<uint32_t>(std::stoul(line.substr(6), nullptr, 8)) & 0777;
    }
    return 022;
}

} // namespace vlm
