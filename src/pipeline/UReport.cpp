#include "pipeline/UReport.h"

#include "archive/arcFileScan.h"
#include "archive/arcZip.h"
#include "pipeline/UProgress.h"
#include "pipeline/UReportObserver.h"
#include "pipeline/UReportWalk.h"
#include "pipeline/USiteFiles.h"
#include "platform/UErrors.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/UProcessInfo.h"
#include "platform/UText.h"
#include "project/UProject.h"

#include <algorithm>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace vlm {

namespace {

constexpr size_t LargestListed = 20;

// The include line of mask mode that takes path: the first whose folder holds the file
// (the walk goes into subfolders) and whose mask matches its name.
std::string MatchingLine(const std::vector<std::string>& lines, const std::string& path) {
    const std::string name = ExtractFileName(path);
    for (const std::string& line : lines) {
        const std::string mask = ExtractFileName(line);
        if (StartsWithFileName(ExtractFilePath(line), path) &&
            (mask.empty() || mask == "*.*" || MatchesMask(name, mask)))
            return line;
    }
    return {};
}

// The exclude line that matches path, by name or by folder and name.
std::string ExcludingLine(const std::vector<std::string>& lines, const std::string& path) {
    const std::string name = ExtractFileName(path);
    for (const std::string& line : lines)
        if (StartsWithFileName(ExtractFilePath(line), path) &&
            MatchesMask(name, ExtractFileName(line)))
            return line;
    return {};
}

class TReportRun {
public:
    TReportRun(const TProject& project, TBuildHost& host)
        : FProject(project), FHost(host),
          FCollection(project, SitePathsOf(project, TempFolder(), ProgramFolder())) {}

    TSiteReport Execute();

private:
    void Stage(const std::string& caption);
    void Discover();
    void List();
    void Explain(std::vector<TListedFile>& listed);
    void CheckMaskModeLinks();
    void FindOrphans();
    void Totals();

    const TProject& FProject;
    TBuildHost& FHost;
    TSiteCollection FCollection;
    TSiteReport FReport;
    TRegExpr FInclude{"MaskInclude"};
    TRegExpr FExclude{"MaskExclude"};
    std::unique_ptr<TFirstReferences> FFirst; // parse mode
    std::vector<std::string> FOwnReferenced;  // the build's own output, named by pages
};

void TReportRun::Stage(const std::string& caption) {
    FHost.SetStageCaption(caption);
    FHost.SetProgress(0);
    FHost.SetCurrentFileText("");
    FHost.ProcessMessages();
    CheckForCancel(FHost);
}

TSiteReport TReportRun::Execute() {
    const TSitePaths& paths = FCollection.Paths();
    FReport.ProjectFile = FProject.FileName();
    FReport.HomePage = paths.HomePage;
    FReport.HomeRoot = paths.HomeRoot;
    FReport.Parsing = FCollection.Parsing();
    FReport.Executable = UpperCase(FProject.Value(entry::OutputType)) == value::EXE;
    if (FCollection.Parsing())
        Discover();
    List();
    if (!FCollection.Parsing())
        CheckMaskModeLinks();
    FindOrphans();
    Totals();
    // A spool that cannot be written fails the report, not its output.
    FReport.Broken.Flush();
    FReport.CaseReferences.Flush();
    return std::move(FReport);
}

void TReportRun::Discover() {
    Stage("Parsing files...");
    FFirst = std::make_unique<TFirstReferences>(FCollection.Discovered());
    TReportObserver observer(FReport, FFirst.get(), &FOwnReferenced);
    FCollection.Discover(FHost, FInclude, FExclude, &observer, 0);
    FFirst->Index();
}

// The settings member exists only while the files are listed, as in a build.
struct TSettingsFile {
    const std::string& Path;
    ~TSettingsFile() {
        if (FileExists(Path))
            DeleteFile(Path);
    }
};

void TReportRun::List() {
    Stage("Listing files...");
    const TSitePaths& paths = FCollection.Paths();
    if (TempFolder().empty() || !DirectoryExists(ExtractFilePath(paths.SettingsPath)))
        throw EVlmError("The private temporary folder \"" + TempFolder() +
                        "\" does not exist; the settings member cannot be written");
    std::vector<TListedFile> listed;
    {
        // The writer holds its own copy of every name; it goes before the list grows again.
        TZip zip;
        FCollection.ConfigureWriter(zip);
        zip.OnFolderSkipped = [this](TCompBase&, const std::string& folder, bool aboveTop) {
            AddSkippedLink(FReport, folder, aboveTop);
        };
        zip.ProcessMessages = [this, &zip] {
            FHost.ProcessMessages();
            if (FHost.Cancelled() && !zip.GetCancel())
                zip.SetCancel(true);
        };
        const TSettingsFile settings{paths.SettingsPath};
        try {
            SettingsList(FProject, paths).SaveToFile(paths.SettingsPath);
        } catch (const EWriteError& e) {
            throw EVlmError(FormatMessage("Cannot write file \"%s\". %s",
                                          {paths.SettingsPath, SysErrorMessage(e.ErrorNumber)}));
        }
        const bool complete = zip.ListOnly(listed);
        CheckForCancel(FHost);
        if (!complete)
            throw EVlmError("Cannot list the files of \"" + paths.HomeRoot + "\"");
    }
    Explain(listed);
}

void TReportRun::Explain(std::vector<TListedFile>& listed) {
    const TSitePaths& paths = FCollection.Paths();
    const std::vector<std::string> includeLines = FCollection.IncludeLines();
    const std::string languageLine = FCollection.LanguageLine();
    FReport.Files.reserve(listed.size());
    for (TListedFile& file : listed) {
        TReportFile item;
        item.Path = std::move(file.Path);
        item.StoredName = std::move(file.StoredName);
        item.Size = file.Size;
        if (SameFileName(item.Path, paths.SettingsPath)) {
            item.By = TTakenBy::Settings;
        } else if (!languageLine.empty() && StartsWithFileName(paths.LanguagesFolder, item.Path) &&
                   MatchesMask(ExtractFileName(item.Path), ExtractFileName(languageLine))) {
            item.By = TTakenBy::LanguageFile;
        } else if (SameFileName(item.Path, paths.HomePage)) {
            item.By = TTakenBy::HomePage;
        } else if (FFirst) {
            item.By = TTakenBy::Reference;
            FFirst->Take(item.Path, item);
        } else {
            item.By = TTakenBy::Mask;
            item.Page = MatchingLine(includeLines, item.Path);
        }
        const bool site = item.By == TTakenBy::HomePage || item.By == TTakenBy::Reference ||
                          item.By == TTakenBy::Mask;
        if (site && !StartsWithFileName(paths.HomeRoot, item.Path))
            FReport.OutsideFiles.push_back(FReport.Files.size());
        FReport.Files.push_back(std::move(item));
    }
    if (FFirst)
        FFirst->Clear();
}

// Mask mode follows no links, so the references of the pages it takes are checked
// afterwards: one that names no file, or a file the output does not hold, is broken.
void TReportRun::CheckMaskModeLinks() {
    Stage("Checking links...");
    TFileList taken;
    for (const TReportFile& file : FReport.Files)
        taken.Add(file.Path);
    FInclude.SetExpression("(?s).*");
    FExclude.SetExpression("(?!)");
    TReportObserver observer(FReport, nullptr, &FOwnReferenced);
    TLinkParser parser(FHost, FInclude, FExclude);
    parser.SetObserver(&observer);
    parser.SetHomeRoot(FReport.HomeRoot);
    parser.SetOwnFiles([this](const std::string& path) { return FCollection.IsOwnOutput(path); });
    for (size_t i = 0; i < FReport.Files.size(); ++i) {
        const TReportFile& file = FReport.Files[i];
        const std::string ext = ExtractFileExt(file.Path);
        if (file.By != TTakenBy::Settings && (ext == ".htm" || ext == ".html"))
            parser.ParseLinks(file.Path, taken);
    }
}

void TReportRun::FindOrphans() {
    Stage("Looking for files left out...");
    const std::vector<std::string> excludeLines = FCollection.ExcludeLines();
    TLeftOutRules rules;
    rules.ExcludedBy = [&excludeLines](const std::string& path) {
        return ExcludingLine(excludeLines, path);
    };
    rules.OwnOutput = [this](const std::string& path) { return FCollection.IsOwnOutput(path); };
    FindLeftOut(FReport, FHost, rules);
    // The build's own output that pages name is left out wherever it lies.
    for (const std::string& path : FOwnReferenced) {
        const bool named = std::any_of(FReport.Orphans.begin(), FReport.Orphans.end(),
                                       [&path](const TOrphanFile& o) { return o.Path == path; });
        if (!named)
            FReport.Orphans.push_back(
                {path, static_cast<uint64_t>(std::max<int64_t>(FileSizeOf(path), 0)), "",
                 OwnOutputReason});
    }
}

bool HasExtension(const std::string& ext, std::initializer_list<const char*> list) {
    for (const char* item : list)
        if (ext == item)
            return true;
    return false;
}

// A member's share of the output: headers (local 30 and central 46 bytes, the name twice,
// 12 bytes of encryption header) and the data, deflated at a typical ratio by type.
uint64_t EstimatedMemberBytes(const TReportFile& file) {
    const std::string ext = LowerCase(ExtractFileExt(file.Path));
    const std::vector<std::string> stored = DefaultStoreFilesOfType();
    uint64_t data = file.Size;
    if (std::find(stored.begin(), stored.end(), UpperCase(ext)) != stored.end() ||
        HasExtension(ext, {".gif", ".jpg", ".jpeg", ".png", ".webp", ".ico", ".mp3", ".mp4", ".ogg",
                           ".webm", ".woff", ".woff2", ".pdf", ".avif"}))
        data = file.Size;
    else if (HasExtension(ext, {".htm", ".html", ".css", ".js", ".txt", ".xml", ".svg", ".json",
                                ".md", ".csv", ".settings", ".lng"}))
        data = file.Size * 22 / 100; // measured on a large documentation site
    else
        data = file.Size * 9 / 10;
    return data + 30 + 46 + 12 + 2 * file.StoredName.size();
}

void TReportRun::Totals() {
    std::map<std::string, TTypeTotal> types;
    uint64_t estimate = 22 + FCollection.Paths().SettingsPath.size();
    for (const TReportFile& file : FReport.Files) {
        FReport.TotalBytes += file.Size;
        const std::string ext = LowerCase(ExtractFileExt(file.Path));
        TTypeTotal& type = types[ext];
        type.Extension = ext;
        ++type.Files;
        type.Bytes += file.Size;
        estimate += EstimatedMemberBytes(file);
    }
    if (FReport.Executable)
        estimate += static_cast<uint64_t>(
                        std::max<int64_t>(FileSizeOf(ProgramFolder() + "VLMView.exe"), 0)) +
                    8;
    FReport.EstimatedOutputBytes = estimate;
    for (auto& [ext, type] : types)
        FReport.Types.push_back(type);
    std::stable_sort(FReport.Types.begin(), FReport.Types.end(),
                     [](const TTypeTotal& a, const TTypeTotal& b) { return a.Bytes > b.Bytes; });
    std::vector<size_t> order(FReport.Files.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    const size_t count = std::min(order.size(), LargestListed);
    std::partial_sort(order.begin(), order.begin() + static_cast<ptrdiff_t>(count), order.end(),
                      [this](size_t a, size_t b) {
                          return FReport.Files[a].Size > FReport.Files[b].Size ||
                                 (FReport.Files[a].Size == FReport.Files[b].Size && a < b);
                      });
    order.resize(count);
    FReport.Largest = std::move(order);
}

} // namespace

TSiteReport MakeSiteReport(const TProject& project, TBuildHost& host) {
    return TReportRun(project, host).Execute();
}

} // namespace vlm
