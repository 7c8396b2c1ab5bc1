#include "archive/arcNames.h"

#include "archive/arcFileScan.h"
#include "platform/UPaths.h"
#include "platform/UText.h"

namespace vlm {

namespace {
std::string_view WithoutPrefix(std::string_view path, std::string_view prefix) {
    if (!prefix.empty() && StartsWithFileName(prefix, path))
        return path.substr(prefix.size());
    return path;
}

std::string_view WithoutDrive(std::string_view path) {
    return path.substr(ExtractFileDrive(path).size());
}
} // namespace

std::string StoredNameOf(TStoredDirNames mode, std::string_view fullPath, std::string_view root,
                         std::string_view defaultDir) {
    switch (mode) {
    case sdNone:
        return ExtractFileName(fullPath);
    case sdAbsolute:
        return std::string(fullPath);
    case sdAbsoluteNoDrv:
        return std::string(WithoutDrive(fullPath));
    case sdAbsoluteNoRoot: {
        std::string_view path = WithoutDrive(fullPath);
        while (!path.empty() && path.front() == PathDelim)
            path.remove_prefix(1);
        return std::string(path);
    }
    case sdRelative:
        return std::string(WithoutPrefix(fullPath, root));
    case sdRelativeStoreStart: {
        // Keeps the root's own folder: the prefix removed is the root's parent.
        const std::string parent = ExtractFilePath(ExcludeTrailingPathDelimiter(root));
        if (!StartsWithFileName(root, fullPath))
            return std::string(fullPath);
        return std::string(WithoutPrefix(fullPath, parent));
    }
    case sdExplorer_Auto:
    case sdExplorer_UserDefineDefaultDir:
        if (defaultDir.empty())
            return std::string(fullPath);
        return std::string(WithoutPrefix(fullPath, IncludeTrailingPathDelimiter(defaultDir)));
    }
    return std::string(fullPath);
}

std::string WrittenNameOf(std::string_view storedName) {
    std::string written(storedName);
    if constexpr (PathDelim != '/') {
        for (char& c : written)
            if (c == PathDelim)
                c = '/';
    }
    return written;
}

bool NeedsUtf8Flag(std::string_view writtenName) {
    for (const char c : writtenName)
        if (static_cast<unsigned char>(c) > 0x7F)
            return true;
    return false;
}

bool HasExtensionIn(std::string_view name, const std::vector<std::string>& extensions) {
    const std::string ext = ExtractFileExt(name);
    if (ext.empty())
        return false;
    for (const std::string& candidate : extensions)
        if (SameText(candidate, ext))
            return true;
    return false;
}

const TExcludeLine* FindExcluding(const std::vector<TExcludeLine>& lines,
                                  std::string_view candidate, bool recurseDirs) {
    const std::string folder = ExtractFilePath(candidate);
    const std::string name = ExtractFileName(candidate);
    for (const TExcludeLine& line : lines) {
        if (!recurseDirs) {
            if (MatchesMask(candidate, line.Stored))
                return &line;
        } else if (line.HasFolder) {
            // A folder prefix: the line also excludes in every folder below its own.
            if (StartsWithFileName(ExtractFilePath(line.Stored), folder) &&
                MatchesMask(name, ExtractFileName(line.Stored)))
                return &line;
        } else if (MatchesMask(name, line.Stored)) {
            return &line;
        }
    }
    return nullptr;
}

bool IsExcluded(const std::vector<TExcludeLine>& lines, std::string_view candidate,
                bool recurseDirs) {
    return FindExcluding(lines, candidate, recurseDirs) != nullptr;
}

std::string CommonFolderOf(const std::vector<std::string>& lines) {
    std::string common;
    bool first = true;
    for (const std::string& line : lines) {
        const std::string folder = ExtractFilePath(line);
        if (first) {
            common = folder;
            first = false;
            continue;
        }
        size_t n = 0;
        while (n < common.size() && n < folder.size() &&
               SameFileName(common.substr(n, 1), folder.substr(n, 1)))
            ++n;
        common.resize(n);
    }
    // Cut back to whole folder names.
    return ExtractFilePath(common);
}

} // namespace vlm
