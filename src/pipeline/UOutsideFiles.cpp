#include "pipeline/UOutsideFiles.h"

#include "archive/arcReader.h"
#include "platform/UPaths.h"

namespace vlm {

bool IsInsideFolder(std::string_view path, std::string_view folder) {
    const std::string root = IncludeTrailingPathDelimiter(ExpandFileName(folder));
    const std::string full = ExpandFileName(path);
    return full.size() > root.size() && StartsWithFileName(root, full);
}

std::vector<std::string> FilesOutsideFolder(const std::vector<std::string>& files,
                                            std::string_view folder) {
    std::vector<std::string> outside;
    for (const std::string& file : files)
        if (!IsInsideFolder(file, folder))
            outside.push_back(file);
    return outside;
}

std::string OutsideFilesWarning(const std::vector<std::string>& outside, std::string_view folder,
                                size_t shown) {
    if (outside.empty())
        return {};
    std::string text =
        std::to_string(outside.size()) + (outside.size() == 1 ? " file was" : " files were") +
        " taken from outside the home page's folder \"" + PrintableName(folder) + "\": ";
    for (size_t i = 0; i < outside.size() && i < shown; ++i)
        text += (i == 0 ? "\"" : ", \"") + PrintableName(outside[i]) + "\"";
    if (outside.size() > shown)
        text += " and " + std::to_string(outside.size() - shown) + " more";
    return text;
}

} // namespace vlm
