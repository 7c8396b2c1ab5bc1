#include "report/UReportWalk.h"

#include "pipeline/UProgress.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/UText.h"
#include "report/UReportObserver.h"

#include <algorithm>
#include <unordered_set>

namespace vlm {

namespace {

struct TFileIdHash {
    size_t operator()(const TFileId& id) const {
        return std::hash<uint64_t>{}(static_cast<uint64_t>(id.Device) * 0x9E3779B97F4A7C15ull ^
                                     static_cast<uint64_t>(id.Inode));
    }
};

// What pages' scripts typically fetch: scripts, data, style sheets, fonts and pictures.
bool ScriptsMayLoad(const std::string& path) {
    static const std::unordered_set<std::string> extensions = {
        ".js",  ".mjs", ".json", ".css", ".woff", ".woff2", ".ttf", ".otf", ".eot",
        ".png", ".jpg", ".jpeg", ".gif", ".svg",  ".webp",  ".ico", ".bmp", ".avif"};
    return extensions.count(LowerCase(ExtractFileExt(path))) != 0;
}

class TLeftOutWalk {
public:
    TLeftOutWalk(TSiteReport& report, TProgress& progress, const TLeftOutRules& rules)
        : FReport(report), FProgress(progress), FRules(rules) {
        // Views of the report's own paths (or, where names ignore case, of their keys): a
        // site's worth of names is not copied again.
        FKeys.reserve(FileNamesIgnoreCase ? report.Files.size() : 0); // the views stay valid
        FTaken.reserve(report.Files.size());
        for (const TReportFile& file : report.Files) {
            if constexpr (FileNamesIgnoreCase)
                FTaken.insert(FKeys.emplace_back(FileNameKey(file.Path)));
            else
                FTaken.insert(file.Path);
        }
    }

    void Run() {
        TSearchRec top;
        if (!FindEntry(FReport.HomeRoot, top) || !top.IsDirectory())
            return;
        std::vector<TFileId> ancestors{{top.Device, top.Inode}};
        FAboveHome = FolderAncestorIds(FReport.HomeRoot);
        Walk(FReport.HomeRoot, ancestors);
    }

private:
    bool IsTaken(const std::string& path) const {
        if constexpr (FileNamesIgnoreCase)
            return FTaken.count(FileNameKey(path)) != 0;
        else
            return FTaken.count(path) != 0;
    }
    // Whether a taken file leads where id does: looked at only for files not taken by
    // their path, and then once for all taken files.
    bool TakenAsFile(const TFileId& id) {
        if (!FIdsKnown) {
            FIdsKnown = true;
            for (const TReportFile& file : FReport.Files)
                if (TFileId taken; FileIdOf(file.Path, taken))
                    FTakenIds.insert(taken);
        }
        return FTakenIds.count(id) != 0;
    }
    // plain: the listing says the entry is a regular file, no link.
    void LeftOut(const std::string& path, const TSearchRec& rec, bool plain);
    void Walk(const std::string& folder, std::vector<TFileId>& ancestors);
    void CaseOnlyNames(const std::string& folder, const std::vector<TFolderEntry>& entries,
                       std::vector<std::pair<std::string, size_t>>& files);

    TSiteReport& FReport;
    TProgress& FProgress;
    const TLeftOutRules& FRules;
    std::vector<std::string> FKeys;
    std::unordered_set<std::string_view> FTaken;
    bool FIdsKnown = false;
    std::unordered_set<TFileId, TFileIdHash> FTakenIds;
    std::vector<TFileId> FAboveHome;
};

void TLeftOutWalk::LeftOut(const std::string& path, const TSearchRec& rec, bool plain) {
    // A file taken through a link (to it, or to its folder) is taken; a link of its own
    // that nothing names is a name the output lacks.
    if ((plain || !IsSymbolicLink(path)) && TakenAsFile({rec.Device, rec.Inode}))
        return;
    FReport.Orphans.push_back({path, rec.Size, FRules.ExcludedBy ? FRules.ExcludedBy(path) : "",
                               FRules.Reason ? FRules.Reason(path) : ""});
}

void TLeftOutWalk::Walk(const std::string& folder, std::vector<TFileId>& ancestors) {
    FProgress.Check();
    std::vector<TFolderEntry> entries;
    ListFolderEntries(folder, entries);
    // The files of the folder by upper-cased name, for the names that differ in case alone.
    std::vector<std::pair<std::string, size_t>> files;
    std::string path;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string& name = entries[i].Name;
        path.assign(folder).append(name);
        // A file the build takes is looked at only when the listing cannot tell that it is
        // a plain file: a site's folders hold mostly such files.
        if (entries[i].RegularFile && IsTaken(path)) {
            files.emplace_back(UpperCase(name), i);
            continue;
        }
        TSearchRec rec;
        if (!FindEntry(path, rec))
            continue; // gone, dangling, or neither a file nor a folder
        if (!rec.IsDirectory()) {
            files.emplace_back(UpperCase(name), i);
            if (!IsTaken(path))
                LeftOut(path, rec, entries[i].RegularFile);
            continue;
        }
        // Dot-folders (version control, editor state) are named, not listed file by file.
        if (!name.empty() && name[0] == '.') {
            FReport.HiddenFolders.push_back(path + PathDelim);
            continue;
        }
        // The build's walk does not enter a link back up; nor does this one.
        const TFileId id{rec.Device, rec.Inode};
        const bool walked = std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end();
        if (walked || std::find(FAboveHome.begin(), FAboveHome.end(), id) != FAboveHome.end()) {
            AddSkippedLink(FReport, path, !walked);
            continue;
        }
        ancestors.push_back(id);
        Walk(path + PathDelim, ancestors);
        ancestors.pop_back();
    }
    CaseOnlyNames(folder, entries, files);
}

void TLeftOutWalk::CaseOnlyNames(const std::string& folder,
                                 const std::vector<TFolderEntry>& entries,
                                 std::vector<std::pair<std::string, size_t>>& files) {
    std::stable_sort(files.begin(), files.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t first = 0; first < files.size();) {
        size_t last = first + 1;
        while (last < files.size() && files[last].first == files[first].first)
            ++last;
        if (last - first > 1) {
            std::vector<std::string> group;
            for (size_t k = first; k < last; ++k)
                group.push_back(folder + entries[files[k].second].Name);
            FReport.CaseOnlyNames.push_back(std::move(group));
        }
        first = last;
    }
}

} // namespace

std::string ScriptFilesHint(size_t count) {
    return std::to_string(count) +
           " files that scripts may load were left out; mask mode takes them";
}

void FindLeftOut(TSiteReport& report, TProgress& progress, const TLeftOutRules& rules) {
    TLeftOutWalk(report, progress, rules).Run();
    if (!report.Parsing)
        return;
    // Link discovery cannot know what scripts fetch: files of the kinds they fetch that
    // nothing but a mask left out are worth a word.
    size_t count = 0;
    for (const TOrphanFile& orphan : report.Orphans)
        count += orphan.ExcludedBy.empty() && orphan.Reason.empty() && ScriptsMayLoad(orphan.Path);
    if (count > 0)
        report.Hints.push_back(ScriptFilesHint(count));
}

} // namespace vlm
