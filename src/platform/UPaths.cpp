#include "platform/UPaths.h"

#include "platform/UText.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>
#include <vector>

namespace vlm {

bool IsFolderDelimiter(char c) {
#ifdef _WIN32
    return c == '\\' || c == ':';
#else
    return c == '/';
#endif
}

namespace {
size_t NamePartStart(std::string_view path) {
    for (size_t i = path.size(); i > 0; --i)
        if (IsFolderDelimiter(path[i - 1]))
            return i;
    return 0;
}
} // namespace

std::string ExtractFilePath(std::string_view path) {
    return std::string(path.substr(0, NamePartStart(path)));
}

std::string ExtractFileName(std::string_view path) {
    return std::string(path.substr(NamePartStart(path)));
}

std::string ExtractFileExt(std::string_view path) {
    const size_t start = NamePartStart(path);
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < start)
        return {};
    return std::string(path.substr(dot));
}

std::string ExtractFileDrive(std::string_view path) {
#ifdef _WIN32
    if (path.size() >= 2 && path[1] == ':')
        return std::string(path.substr(0, 2));
#else
    (void)path;
#endif
    return {};
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
    const size_t start = NamePartStart(path);
    size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < start)
        dot = path.size();
    return std::string(path.substr(0, dot)) + std::string(ext);
}

std::string IncludeTrailingPathDelimiter(std::string_view folder) {
    std::string result(folder);
    if (result.empty() || result.back() != PathDelim)
        result += PathDelim;
    return result;
}

std::string ExcludeTrailingPathDelimiter(std::string_view folder) {
    std::string result(folder);
    if (!result.empty() && result.back() == PathDelim)
        result.pop_back();
    return result;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    if (folder.empty())
        return std::string(name);
    return IncludeTrailingPathDelimiter(folder) + std::string(name);
}

std::string ToNativeDelimiters(std::string_view path) {
    std::string result(path);
#ifdef _WIN32
    for (char& c : result)
        if (c == '/')
            c = '\\';
#endif
    return result;
}

bool IsAbsolutePath(std::string_view path) {
#ifdef _WIN32
    return (path.size() >= 3 && path[1] == ':' && path[2] == '\\') ||
           (path.size() >= 2 && path[0] == '\\' && path[1] == '\\');
#else
    return !path.empty() && path[0] == '/';
#endif
}

std::string GetCurrentFolder() {
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return std::string(1, PathDelim);
        buffer.resize(buffer.size() * 2);
    }
    return IncludeTrailingPathDelimiter(buffer.data());
}

std::string ExpandFileName(std::string_view path, std::string_view base) {
    std::string full;
    if (IsAbsolutePath(path))
        full = std::string(path);
    else
        full = JoinPath(base.empty() ? GetCurrentFolder() : ExpandFileName(base), path);

    const bool trailing = !full.empty() && full.back() == PathDelim;
    // The result is built in place: "/" or "/a/b", without a trailing delimiter; ".."
    // takes back the last name when there is one.
    std::string result(1, PathDelim);
    result.reserve(full.size() + 1);
    size_t pos = 1; // after the root delimiter
    while (pos <= full.size()) {
        size_t next = full.find(PathDelim, pos);
        if (next == std::string::npos)
            next = full.size();
        const std::string_view part(full.data() + pos, next - pos);
        if (part == "..") {
            if (result.size() > 1)
                result.resize(std::max<size_t>(1, result.rfind(PathDelim)));
        } else if (!part.empty() && part != ".") {
            if (result.size() > 1)
                result += PathDelim;
            result += part;
        }
        pos = next + 1;
    }
    if (trailing && result.size() > 1)
        result += PathDelim;
    return result;
}

bool SameFileName(std::string_view a, std::string_view b) {
    if constexpr (FileNamesIgnoreCase)
        return SameText(a, b);
    return a == b;
}

bool StartsWithFileName(std::string_view prefix, std::string_view path) {
    return path.size() >= prefix.size() && SameFileName(prefix, path.substr(0, prefix.size()));
}

std::string FileNameKey(std::string_view path) {
    if constexpr (FileNamesIgnoreCase)
        return LowerCase(path);
    return std::string(path);
}

} // namespace vlm
