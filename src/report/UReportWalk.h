// The site report's walk of the home page's folder: the files a build leaves out, the
// names that differ only in letter case, the dot-folders and the folder links it does not
// enter, and the hint for the files that pages' scripts may load.
#pragma once

#include "pipeline/UProgress.h"
#include "report/UReport.h"

#include <functional>
#include <string>

namespace vlm {

// What the walk asks about a file the build does not take.
struct TLeftOutRules {
    // The exclude line (or list) that left it out, or the empty text.
    std::function<std::string(const std::string& path)> ExcludedBy;
    // Another reason it is left out (the build's own output, a file it cannot read), or
    // the empty text.
    std::function<std::string(const std::string& path)> Reason;
};

// Walks report.HomeRoot against report.Files and fills the report's Orphans, CaseOnlyNames,
// HiddenFolders, SkippedLinks (the links it does not enter) and, in parse mode, Hints. A
// file is taken when a taken file has its path, or when it is no link itself and a taken
// file leads to it (through a link to it or to a folder above it); a link that nothing
// takes is left out. Cancel raises EAbort.
void FindLeftOut(TSiteReport& report, TProgress& progress, const TLeftOutRules& rules);

// The words of the hint for count files that scripts may load left out in parse mode.
std::string ScriptFilesHint(size_t count);

} // namespace vlm
