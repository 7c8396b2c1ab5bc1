#include "FuzzSupport.h"

#include <dirent.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vlm::fuzz {

TMemoryFile::TMemoryFile(const uint8_t* data, size_t size) {
    FHandle = ::memfd_create("fuzz-input", MFD_CLOEXEC);
    if (FHandle < 0 || ::write(FHandle, data, size) != static_cast<ssize_t>(size))
        std::abort();
}

TMemoryFile::~TMemoryFile() {
    ::close(FHandle);
}

std::string TMemoryFile::Path() const {
    return "/proc/self/fd/" + std::to_string(FHandle);
}

namespace {

void Walk(const std::string& folder, std::vector<std::string>& paths) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = folder + "/" + name;
        paths.push_back(path);
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            Walk(path, paths);
    }
    ::closedir(dir);
}

void RemoveAll(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode)) {
        std::vector<std::string> inside;
        DIR* dir = ::opendir(path.c_str());
        while (dir) {
            dirent* entry = ::readdir(dir);
            if (!entry)
                break;
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                inside.push_back(path + "/" + name);
        }
        if (dir)
            ::closedir(dir);
        for (const std::string& p : inside)
            RemoveAll(p);
        ::rmdir(path.c_str());
    } else {
        ::unlink(path.c_str());
    }
}

} // namespace

TScratchFolder::TScratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/vlmfuzz-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        std::abort();
    FPath = pattern + "/";
}

TScratchFolder::~TScratchFolder() {
    RemoveAll(FPath.substr(0, FPath.size() - 1));
}

std::vector<std::string> TScratchFolder::Contents() const {
    std::vector<std::string> paths;
    Walk(FPath.substr(0, FPath.size() - 1), paths);
    return paths;
}

std::vector<std::string> SplitAtNul(std::string_view input) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t nul = input.find('\0', start);
        parts.emplace_back(input.substr(start, nul == std::string_view::npos ? nul : nul - start));
        if (nul == std::string_view::npos)
            return parts;
        start = nul + 1;
    }
}

} // namespace vlm::fuzz
