// The private temporary folder of the process, and the removal of the ones that killed
// processes left behind.
#include "platform/UErrors.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vlm {

namespace {

constexpr std::string_view PrivatePrefix = "vlmpack-";
constexpr size_t RandomPartLength = 6; // mkdtemp's XXXXXX

// The start time of a process in clock ticks since boot (field 22 of /proc/PID/stat), or
// nothing when no such process runs.
std::optional<unsigned long long> ProcessStartTime(long pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char buffer[1024];
    const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (n <= 0)
        return std::nullopt;
    const std::string text(buffer, static_cast<size_t>(n));
    // The command name (field 2) is in parentheses and may hold blanks and parentheses.
    size_t pos = text.rfind(')');
    if (pos == std::string::npos)
        return std::nullopt;
    for (int field = 2; field < 22; ++field) {
        pos = text.find(' ', pos + 1);
        if (pos == std::string::npos)
            return std::nullopt;
    }
    return std::strtoull(text.c_str() + pos + 1, nullptr, 10);
}

bool AllDigits(std::string_view text) {
    if (text.empty() || text.size() > 20)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The process id and start time a private folder's name holds.
bool ParsePrivateName(std::string_view name, long& pid, unsigned long long& start) {
    if (name.substr(0, PrivatePrefix.size()) != PrivatePrefix)
        return false;
    name.remove_prefix(PrivatePrefix.size());
    const size_t dash1 = name.find('-');
    const size_t dash2 = dash1 == std::string_view::npos ? dash1 : name.find('-', dash1 + 1);
    if (dash2 == std::string_view::npos || name.size() - dash2 - 1 != RandomPartLength)
        return false;
    const std::string_view pidText = name.substr(0, dash1);
    const std::string_view startText = name.substr(dash1 + 1, dash2 - dash1 - 1);
    if (!AllDigits(pidText) || !AllDigits(startText) || pidText.size() > 10)
        return false;
    pid = std::strtol(std::string(pidText).c_str(), nullptr, 10);
    start = std::strtoull(std::string(startText).c_str(), nullptr, 10);
    return pid > 0;
}

bool IsOwnPrivateFolder(const struct stat& st) {
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// Empties and removes one stale folder, opened without following links; false when it is
// not ours or holds a subfolder.
bool RemoveStaleFolder(int baseFd, const std::string& name) {
    const int fd = ::openat(baseFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(fd), ::closedir);
    struct stat st;
    if (!dir) {
        ::close(fd);
        return false;
    }
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() || !S_ISDIR(st.st_mode))
        return false;
    std::vector<std::string> files;
    while (dirent* entry = ::readdir(dir.get())) {
        const std::string entryName = entry->d_name;
        if (entryName == "." || entryName == "..")
            continue;
        struct stat entrySt;
        if (::fstatat(fd, entry->d_name, &entrySt, AT_SYMLINK_NOFOLLOW) != 0 ||
            S_ISDIR(entrySt.st_mode))
            return false; // we never make subfolders: this is not what we left
        files.push_back(entryName);
    }
    for (const std::string& file : files)
        ::unlinkat(fd, file.c_str(), 0); // a link goes, never what it points to
    dir.reset();
    return ::unlinkat(baseFd, name.c_str(), AT_REMOVEDIR) == 0;
}

struct TempFolderState {
    std::mutex Lock;
    std::string Made;     // the folder this process made last, if any
    std::string Override; // set by tests
    std::string Cleaned;  // the base folder whose stale folders were removed
    bool ExitHook = false;
};

TempFolderState& TempState() {
    static TempFolderState state;
    return state;
}

void RemoveMadeTempFolder() {
    // Removed only when empty: a file left there is never deleted behind the user's back.
    TempFolderState& state = TempState();
    if (!state.Made.empty())
        ::rmdir(state.Made.c_str());
}

// Whether the folder made earlier is still this user's private folder.
bool StillPrivate(const std::string& folder) {
    struct stat st;
    return !folder.empty() && ::lstat(folder.c_str(), &st) == 0 && IsOwnPrivateFolder(st);
}

std::string MakePrivateFolder(TempFolderState& state) {
    const std::string base = TempBaseFolder();
    if (state.Cleaned != base) {
        state.Cleaned = base;
        RemoveStalePrivateFolders(base);
    }
    const long pid = static_cast<long>(::getpid());
    const std::string name = std::string(PrivatePrefix) + std::to_string(pid) + "-" +
                             std::to_string(ProcessStartTime(pid).value_or(0)) + "-XXXXXX";
    std::string pattern = JoinPath(base, name);
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr)
        throw EVlmError(FormatMessage(
            "Cannot create the private folder \"%s\" in the temporary folder \"%s\". %s",
            {name, base, SysErrorMessage(errno)}));
    state.Made = buffer.data();
    if (!state.ExitHook) {
        state.ExitHook = true;
        std::atexit(RemoveMadeTempFolder);
    }
    return state.Made;
}

} // namespace

std::string TempBaseFolder() {
    const char* base = std::getenv("TMPDIR");
    return base && *base ? std::string(base) : std::string("/tmp");
}

std::string RequireTempFolder() {
    TempFolderState& state = TempState();
    std::lock_guard<std::mutex> guard(state.Lock);
    if (!state.Override.empty()) {
        if (!DirectoryExists(state.Override))
            throw EVlmError(
                FormatMessage("The temporary folder \"%s\" does not exist.", {state.Override}));
        return state.Override;
    }
    // A cleaner of the temporary folder may have removed it since; its name is never
    // taken again, as another user could have made a folder of that name meanwhile.
    if (!StillPrivate(state.Made))
        MakePrivateFolder(state);
    return IncludeTrailingPathDelimiter(state.Made);
}

std::string TempFolder() {
    {
        TempFolderState& state = TempState();
        std::lock_guard<std::mutex> guard(state.Lock);
        if (!state.Override.empty())
            return state.Override;
    }
    try {
        return RequireTempFolder();
    } catch (const EVlmError&) {
        return {};
    }
}

void SetTempFolder(std::string_view folder) {
    TempFolderState& state = TempState();
    std::lock_guard<std::mutex> guard(state.Lock);
    state.Override = folder.empty() ? std::string() : IncludeTrailingPathDelimiter(folder);
}

int RemoveStalePrivateFolders(std::string_view base) {
    // Without the process table no folder can be told stale.
    if (!ProcessStartTime(static_cast<long>(::getpid())))
        return 0;
    const int baseFd = ::open(std::string(base).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (baseFd < 0)
        return 0;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(baseFd), ::closedir);
    if (!dir) {
        ::close(baseFd);
        return 0;
    }
    std::vector<std::string> stale;
    while (dirent* entry = ::readdir(dir.get())) {
        long pid = 0;
        unsigned long long start = 0;
        if (!ParsePrivateName(entry->d_name, pid, start))
            continue;
        struct stat st;
        if (::fstatat(baseFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !IsOwnPrivateFolder(st))
            continue;
        const std::optional<unsigned long long> running = ProcessStartTime(pid);
        if (!running || *running != start)
            stale.push_back(entry->d_name);
    }
    int removed = 0;
    for (const std::string& name : stale)
        removed += RemoveStaleFolder(baseFd, name) ? 1 : 0;
    return removed;
}

} // namespace vlm
