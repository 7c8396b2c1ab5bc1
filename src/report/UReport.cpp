#include "report/UReport.h"

#include "archive/arcErrors.h"
#include "archive/arcZip.h"
#include "pipeline/UProgress.h"
#include "pipeline/USiteFiles.h"
#include "platform/UErrors.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/UProcessInfo.h"
#include "platform/UText.h"
#include "project/UProject.h"
#include "report/UReportObserver.h"
#include "report/UReportWalk.h"
#include "site/USiteFormat.h"

#include <algorithm>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace vlm {

namespace {

constexpr size_t LargestListed = 20;

class TReportRun {
public:
    TReportRun(const TProject& project, const TBuildSeam& seam)
        : FProject(project), FProgress(seam),
          FCollection(project, SitePathsOf(project, TempFolder(), ProgramFolder())) {}

    TSiteReport Execute();

private:
    void Stage(const std::string& caption);
    void Discover();
    void List();
    void CheckFiles(std::vector<TListedFile>& listed, std::vector<TWriterReport>& reports);
    void Explain(std::vector<TListedFile>& listed);
    void CheckMaskModeLinks();
    void FindOrphans();
    void Totals();

    const TProject& FProject;
    TProgress FProgress;
    TSiteCollection FCollection;
    TSiteReport FReport;
    TRegExpr FInclude{"MaskInclude"};
    TRegExpr FExclude{"MaskExclude"};
    std::unique_ptr<TFirstReferences> FFirst; // parse mode
    TObserved FObserved;                      // what the references found beside the files
    std::unordered_map<std::string, std::string> FExcluded; // mask mode: file -> exclude line
};

void TReportRun::Stage(const std::string& caption) {
    FProgress.Stage(caption);
    FProgress.Events().CurrentFile("");
    FProgress.Check();
}

TSiteReport TReportRun::Execute() {
    const TSitePaths& paths = FCollection.Paths();
    FReport.ProjectFile = FProject.FileName();
    FReport.HomePage = paths.HomePage;
    FReport.HomeRoot = paths.HomeRoot;
    FReport.Parsing = FCollection.Parsing();
    FReport.Executable = UpperCase(FProject.Value(entry::OutputType)) == value::EXE;
    FCollection.CheckHomePage();
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
    TReportObserver observer(FReport, FFirst.get(), &FObserved);
    FCollection.Discover(FProgress, FInclude, FExclude, &observer, 0);
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
        TCompOptions options;
        FCollection.ConfigureWriter(options);
        options.Cancel = &FProgress.Cancel();
        TCompEvents events;
        events.OnFolderSkipped = [this](TCompBase&, const std::string& folder, bool aboveTop) {
            AddSkippedLink(FReport, folder, aboveTop);
        };
        // The writer's errors reach the report as they reach a build.
        std::vector<TWriterReport> reports;
        CollectWriterReports(events, reports);
        const TSettingsFile settings{paths.SettingsPath};
        try {
            SettingsList(FProject, paths).SaveToFile(paths.SettingsPath);
        } catch (const EWriteError& e) {
            throw EVlmError(FormatMessage("Cannot write file \"%s\". %s",
                                          {paths.SettingsPath, SysErrorMessage(e.ErrorNumber)}));
        }
        std::vector<TExcludedFile> excluded;
        const bool complete = zip.ListOnly(std::move(options), events, listed, &excluded);
        FProgress.Check();
        if (!complete)
            throw EVlmError("Cannot list the files of \"" + paths.HomeRoot + "\"");
        for (TExcludedFile& file : excluded)
            FExcluded.emplace(std::move(file.Path), std::move(file.Line));
        CheckFiles(listed, reports);
    }
    Explain(listed);
}

// A build opens every file it lists; one that cannot be opened fails it and is not a
// member. The report opens each too (and reads nothing), takes the reason as the writer
// words it, and leaves the file out as the build does.
void TReportRun::CheckFiles(std::vector<TListedFile>& listed, std::vector<TWriterReport>& reports) {
    size_t kept = 0;
    for (size_t i = 0; i < listed.size(); ++i) {
        if (i % 256 == 0)
            FProgress.Check();
        if (const int error = FileOpenError(listed[i].Path); error != 0) {
            reports.push_back(
                {listed[i].Path, WriterReason(errOpenFile, SysErrorMessage(error)), errOpenFile});
            continue;
        }
        if (kept != i)
            listed[kept] = std::move(listed[i]);
        ++kept;
    }
    listed.resize(kept);
    for (TWriterReport& report : reports)
        if (report.Code != errUserCanceled)
            FReport.Errors.push_back({std::move(report.FileName), std::move(report.Reason)});
}

void TReportRun::Explain(std::vector<TListedFile>& listed) {
    const TSitePaths& paths = FCollection.Paths();
    const std::string languageLine = FCollection.LanguageLine();
    FReport.Files.reserve(listed.size());
    for (TListedFile& file : listed) {
        TReportFile item;
        item.Path = std::move(file.Path);
        item.StoredName = std::move(file.StoredName);
        item.Size = file.Size;
        if (SameFileName(item.Path, paths.SettingsPath)) {
            item.By = TTakenBy::Settings;
        } else if (!languageLine.empty() && SameFileName(file.Spec, languageLine)) {
            item.By = TTakenBy::LanguageFile;
        } else if (SameFileName(item.Path, paths.HomePage)) {
            item.By = TTakenBy::HomePage;
        } else if (FFirst) {
            item.By = TTakenBy::Reference;
            FFirst->Take(item.Path, item);
        } else {
            item.By = TTakenBy::Mask;
            item.Page = std::move(file.Spec); // the line the writer's walk took it by
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
    TFileList members;
    for (const TReportFile& file : FReport.Files)
        members.Add(file.Path);
    TReportObserver observer(FReport, nullptr, &FObserved);
    TLinkParser parser(FProgress, FInclude, FExclude);
    parser.SetObserver(&observer);
    parser.SetHomeRoot(FReport.HomeRoot);
    parser.SetOwnFiles([this](const std::string& path) { return FCollection.IsOwnOutput(path); });
    parser.SetCheckOnly(true);
    for (size_t i = 0; i < FReport.Files.size(); ++i) {
        const TReportFile& file = FReport.Files[i];
        if (file.By != TTakenBy::Settings && DocumentKindOf(file.Path) != TDocumentKind::None)
            parser.ParseLinks(file.Path, members);
    }
}

void TReportRun::FindOrphans() {
    Stage("Looking for files left out...");
    // Why a file is excluded is what the collection said: the writer's exclude line in mask
    // mode, the exclude masks for a reference that named it in parse mode.
    const std::string masks = FProject.Value(entry::MaskExclude);
    TLeftOutRules rules;
    rules.ExcludedBy = [this, &masks](const std::string& path) {
        if (const auto it = FExcluded.find(path); it != FExcluded.end())
            return it->second;
        return FObserved.Excluded.count(path) != 0 ? masks : std::string();
    };
    std::unordered_map<std::string, std::string> unreadable;
    for (const TLeftOutFile& error : FReport.Errors)
        unreadable.emplace(error.FileName, error.Reason);
    rules.Reason = [this, &unreadable](const std::string& path) -> std::string {
        if (FCollection.IsOwnOutput(path))
            return OwnOutputReason;
        const auto it = unreadable.find(path);
        return it != unreadable.end() ? it->second : std::string();
    };
    FindLeftOut(FReport, FProgress, rules);
    // The build's own output that pages name is left out wherever it lies.
    for (const std::string& path : FObserved.OwnOutputs) {
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
                        std::max<int64_t>(FileSizeOf(ProgramFolder() + ViewerProgramName), 0)) +
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

TSiteReport MakeSiteReport(const TProject& project, const TBuildSeam& seam) {
    return TReportRun(project, seam).Execute();
}

} // namespace vlm
