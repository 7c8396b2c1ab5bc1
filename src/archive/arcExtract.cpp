#include "archive/arcExtract.h"

#include "platform/UFileSys.h"
#include "platform/UPaths.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace vlm {

namespace {

// A descriptor closed on every path out.
class TFd {
public:
    explicit TFd(int handle = -1) : FHandle(handle) {}
    ~TFd() { Reset(); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FHandle; }
    void Reset(int handle = -1) {
        if (FHandle >= 0)
            ::close(FHandle);
        FHandle = handle;
    }
    int Release() {
        const int handle = FHandle;
        FHandle = -1;
        return handle;
    }

private:
    int FHandle;
};

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The DOS date and time of a member as a time of this machine's local clock.
time_t DosToTime(uint16_t date, uint16_t time) {
    struct tm t {};
    t.tm_year = (date >> 9) + 80;
    t.tm_mon = ((date >> 5) & 15) - 1;
    t.tm_mday = date & 31;
    t.tm_hour = time >> 11;
    t.tm_min = (time >> 5) & 63;
    t.tm_sec = (time & 31) * 2;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

// Creates folder and its missing parents; false with errno set when it cannot.
bool ForceFolders(const std::string& folder) {
    if (DirectoryExists(folder))
        return true;
    const std::string parent = ExtractFilePath(ExcludeTrailingPathDelimiter(folder));
    if (!parent.empty() && parent != folder && !ForceFolders(parent))
        return false;
    return ::mkdir(ExcludeTrailingPathDelimiter(folder).c_str(), 0777) == 0 || errno == EEXIST;
}

// Renames temp to name within folder; without replace an existing name is kept.
bool PutInPlace(int folder, const std::string& temp, const std::string& name, bool replace) {
    if (replace)
        return ::renameat(folder, temp.c_str(), folder, name.c_str()) == 0;
    if (::renameat2(folder, temp.c_str(), folder, name.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the no-replace rename: a hard link fails on an existing name.
    if (::linkat(folder, temp.c_str(), folder, name.c_str(), 0) != 0)
        return false;
    ::unlinkat(folder, temp.c_str(), 0);
    return true;
}

} // namespace

std::string TMemberPath::Text() const {
    std::string text;
    for (const std::string& component : Components)
        text += (text.empty() ? "" : std::string(1, PathDelim)) + component;
    return text;
}

bool MakeMemberPath(std::string_view name, TMemberPath& path, std::string& reason) {
    path = TMemberPath();
    if (name.find('\0') != std::string_view::npos) {
        reason = "its name holds a NUL character.";
        return false;
    }
    // Names written on Windows may carry a drive and backslashes.
    if (name.size() >= 2 && IsAsciiLetter(name[0]) && name[1] == ':')
        name.remove_prefix(2);
    std::string component;
    const auto endComponent = [&]() {
        if (!component.empty() && component != ".")
            path.Components.push_back(component);
        component.clear();
    };
    for (const char c : name) {
        if (c == '/' || c == '\\')
            endComponent();
        else
            component += c;
    }
    path.IsFolder = component.empty() && !name.empty();
    endComponent();
    for (const std::string& part : path.Components) {
        if (part == "..") {
            reason = "its name leads out of the destination folder (\"..\").";
            return false;
        }
    }
    if (path.Components.empty()) {
        reason = "its name holds no file name.";
        return false;
    }
    return true;
}

TArchiveExtractor::TArchiveExtractor(TArchiveReader& reader, const std::string& folder)
    : FReader(reader), FFolder(IncludeTrailingPathDelimiter(folder)) {
    if (ForceFolders(FFolder))
        FHandle = ::open(FFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (FHandle < 0)
        throw EVlmError(
            FormatMessage("Cannot create folder \"%s\". %s", {FFolder, SysErrorMessage(errno)}));
}

TArchiveExtractor::~TArchiveExtractor() {
    if (FHandle >= 0)
        ::close(FHandle);
}

void TArchiveExtractor::Fail(size_t index, const std::string& reason) const {
    throw EArchiveError(
        FormatMessage("Cannot extract \"%s\" from \"%s\". %s",
                      {PrintableName(FReader.Members()[index].Name), FReader.FileName(), reason}));
}

int TArchiveExtractor::OpenParentFolder(const TMemberPath& path, size_t index) {
    TFd folder(::dup(FHandle));
    const size_t folders = path.Components.size() - (path.IsFolder ? 0 : 1);
    std::string walked = FFolder;
    for (size_t i = 0; i < folders; ++i) {
        const std::string& part = path.Components[i];
        walked += part + PathDelim;
        if (::mkdirat(folder.Get(), part.c_str(), 0777) != 0 && errno != EEXIST)
            Fail(index, FormatMessage("Cannot create folder \"%s\". %s",
                                      {PrintableName(walked), SysErrorMessage(errno)}));
        // A link planted inside the destination is never followed.
        const int next =
            ::openat(folder.Get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0)
            Fail(index, FormatMessage("\"%s\" is a link or a file, not a folder.",
                                      {PrintableName(walked)}));
        folder.Reset(next);
    }
    return folder.Release();
}

std::string TArchiveExtractor::ExtractMember(size_t index) {
    const TArchiveMember& member = FReader.Members().at(index);
    TMemberPath path;
    std::string reason;
    if (!MakeMemberPath(member.Name, path, reason))
        Fail(index, "The member's name is refused: " + reason);
    // A second member of a name written already would silently replace the first.
    if (!path.IsFolder && FWritten.count(path.Text()) != 0)
        Fail(index, "An earlier member of the archive was extracted to \"" +
                        PrintableName(FFolder + path.Text()) + "\" already; it is kept.");
    const TFd folder(OpenParentFolder(path, index));
    if (!path.IsFolder) {
        const std::string& name = path.Components.back();
        struct stat st;
        if (::fstatat(folder.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISDIR(st.st_mode))
                Fail(index, "\"" + PrintableName(FFolder + path.Text()) + "\" is a folder.");
            if (!Force)
                Fail(index, "\"" + PrintableName(FFolder + path.Text()) +
                                "\" already exists (use --force to replace it).");
        }
        WriteFile(folder.Get(), name, path, index);
        FWritten.insert(path.Text());
    }
    return path.Text();
}

void TArchiveExtractor::WriteFile(int folder, const std::string& name, const TMemberPath& path,
                                  size_t index) {
    static std::mt19937 random(static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^ ::getpid()));
    std::string temp;
    TFd file;
    for (int attempt = 0; attempt < 1000 && file.Get() < 0; ++attempt) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(random() & 0xFFFF));
        temp = std::string("arc") + digits + ".tmp";
        file.Reset(::openat(folder, temp.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (file.Get() < 0 && errno != EEXIST)
            break;
    }
    // Member names may hold control characters; messages show them as "?".
    const std::string target = PrintableName(FFolder + path.Text());
    if (file.Get() < 0)
        Fail(index, FormatMessage("Cannot create file \"%s\". %s",
                                  {ExtractFilePath(target) + temp, SysErrorMessage(errno)}));
    try {
        FReader.ReadMember(index, Password, [&](const char* data, size_t size) {
            if (BeforeChunk)
                BeforeChunk();
            while (size > 0) {
                const ssize_t n = ::write(file.Get(), data, size);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    Fail(index, FormatMessage("Cannot write \"%s\". %s",
                                              {target, SysErrorMessage(n < 0 ? errno : ENOSPC)}));
                data += n;
                size -= static_cast<size_t>(n);
            }
        });
        const TCentralHeader& c = FReader.Members()[index].Central;
        const time_t modified = DosToTime(c.Date, c.Time);
        const struct timespec times[2] = {{modified, 0}, {modified, 0}};
        ::futimens(file.Get(), times);
        if (::close(file.Release()) != 0)
            Fail(index, FormatMessage("Cannot write \"%s\". %s", {target, SysErrorMessage(errno)}));
        // Without --force an existing file is never replaced, even one that appeared
        // meanwhile.
        if (!PutInPlace(folder, temp, name, Force))
            Fail(index,
                 FormatMessage("Cannot create file \"%s\". %s", {target, SysErrorMessage(errno)}));
    } catch (...) {
        ::unlinkat(folder, temp.c_str(), 0);
        throw;
    }
}

} // namespace vlm
