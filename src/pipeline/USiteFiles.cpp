#include "pipeline/USiteFiles.h"

#include "archive/arcBase.h"
#include "archive/arcErrors.h"
#include "pipeline/UBuild.h"
#include "platform/UErrors.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/UProcessInfo.h"
#include "platform/USafeFile.h"
#include "platform/UText.h"
#include "project/ULanguages.h"
#include "project/UProject.h"

#include <algorithm>

namespace vlm {

void CollectWriterReports(TCompEvents& events, std::vector<TWriterReport>& reports) {
    events.OnError = [&reports](TCompBase&, const std::string& fileName,
                                const std::string& extended, const std::string&, int code) {
        reports.push_back({fileName, WriterReason(code, extended), code});
    };
}

std::string WriterReason(int code, const std::string& extended) {
    std::string reason = ArcErrorText(code);
    if (!extended.empty())
        reason += reason.empty() ? extended : " (" + extended + ")";
    return reason;
}

std::string LeftOutLines(const std::vector<TLeftOutFile>& files) {
    constexpr size_t Listed = 20;
    std::string text;
    for (size_t i = 0; i < files.size() && i < Listed; ++i)
        text += "\n\"" + files[i].FileName + "\": " + files[i].Reason;
    if (files.size() > Listed)
        text += "\n... and " + std::to_string(files.size() - Listed) + " more";
    return text;
}

TSitePaths SitePathsOf(const TProject& project, const std::string& tempFolder,
                       const std::string& programFolder) {
    TSitePaths paths;
    paths.HomePage = project.FullPathOf(entry::HomePage);
    paths.HomeRoot = ExtractFilePath(paths.HomePage);
    paths.SettingsPath = tempFolder + SettingsFileName;
    paths.LanguagesFolder = programFolder + LanguagesFolderName + PathDelim;
    paths.OutputFile = project.FullPathOf(entry::OutputFile);
    // The archive is made in the private folder for both output types; only a complete
    // build puts it (or the executable joined from it) in the output's place.
    paths.ArchivePath = paths.OutputFile.empty()
                            ? std::string()
                            : tempFolder + ChangeFileExt(ExtractFileName(paths.OutputFile), ".vlm");
    return paths;
}

TStringList SettingsList(const TProject& project, const TSitePaths& paths) {
    TStringList settings;
    settings.SetText(project.Text());
    settings.SetValue(entry::HomePage, ExtractFileName(paths.HomePage));
    settings.SetValue(entry::HomeRoot, paths.HomeRoot);
    settings.SetValue(entry::LanguageFilesRoot, paths.LanguagesFolder);
    if (!project.Flag(entry::PasswordEnabled))
        settings.SetValue(entry::Password, "");
    if (!project.Flag(entry::WarningMessageEnabled))
        settings.SetValue(entry::WarningMessage, "");
    return settings;
}

std::string HomePageExcludedBy(const TProject& project, const std::string& homePage) {
    if (project.Flag(entry::ParsingEnabled))
        return {};
    // The writer's own test of its exclusion lines (stored names are full paths here).
    const std::string root = ExtractFilePath(homePage);
    for (const std::string& mask : SplitMaskList(project.Value(entry::MaskExclude))) {
        const std::string line = MaskLine(mask, root);
        if (IsExcluded({{line, line.find(PathDelim) != std::string::npos, line}}, homePage, true))
            return mask;
    }
    return {};
}

TSiteCollection::TSiteCollection(const TProject& project, TSitePaths paths)
    : FProject(project), FPaths(std::move(paths)), FParsing(project.Flag(entry::ParsingEnabled)) {
    KnowOwnOutput();
}

void RequireHomePage(const TProject& project, const std::string& homePage) {
    if (const int reason = FileMissingReason(homePage); reason != 0)
        throw EFOpenError(homePage, reason);
    // The viewer opens an archive at its home page and refuses one without it.
    if (const std::string mask = HomePageExcludedBy(project, homePage); !mask.empty())
        throw EVlmError("The mask \"" + mask + "\" of MaskExclude leaves out the home page \"" +
                        homePage + "\": the viewer cannot open an output without it.");
}

void TSiteCollection::KnowOwnOutput() {
    for (const std::string& target : {FPaths.OutputFile, FPaths.ArchivePath}) {
        if (target.empty())
            continue;
        for (const std::string& name : {target, ResolvedPath(target)})
            if (std::find(FOwnTargets.begin(), FOwnTargets.end(), name) == FOwnTargets.end())
                FOwnTargets.push_back(name);
    }
    FPrivateFolder = ExtractFilePath(FPaths.SettingsPath);
    FOutputExt = ExtractFileExt(FPaths.OutputFile);
    FOutputExists = !FOutputExt.empty() && FileIdOf(FPaths.OutputFile, FOutputId);
}

bool TSiteCollection::IsOwnOutput(const std::string& path) const {
    // Asked about every file a walk lists: the names are looked at in place.
    for (const std::string& target : FOwnTargets)
        if (SameFileName(path, target))
            return true;
    size_t nameStart = path.size();
    while (nameStart > 0 && !IsFolderDelimiter(path[nameStart - 1]))
        --nameStart;
    const std::string_view name = std::string_view(path).substr(nameStart);
    if (!name.empty() && name[0] == '.')
        for (const std::string& target : FOwnTargets)
            if (IsSafeFileTemporaryOf(target, path))
                return true;
    if (StartsText("arc", name) && name.size() > 7 &&
        SameText(name.substr(name.size() - 4), ".tmp") && !FPrivateFolder.empty() &&
        SameFileName(std::string_view(path).substr(0, nameStart), FPrivateFolder))
        return true;
    // Under another name: only a file of the output's kind is looked at.
    TFileId id;
    return FOutputExists && name.size() > FOutputExt.size() &&
           SameText(name.substr(name.size() - FOutputExt.size()), FOutputExt) &&
           FileIdOf(path, id) && id == FOutputId;
}

void TSiteCollection::Discover(TProgress& progress, TRegExpr& include, TRegExpr& exclude,
                               TLinkObserver* observer, int jobs) {
    SetMaskList(include, ConvertMasks(FProject.Value(entry::MaskInclude)));
    SetMaskList(exclude, ConvertMasks(FProject.Value(entry::MaskExclude)));
    {
        TLinkParser parser(progress, include, exclude);
        parser.SetObserver(observer);
        parser.SetJobs(jobs);
        parser.SetOwnFiles([this](const std::string& path) { return IsOwnOutput(path); });
        parser.DiscoverFiles(FPaths.HomePage, FDiscovered);
    }
    // The parser's caches and the workers' page buffers are gone; what they leave in the
    // workers' arenas would otherwise stay resident beside the lists and buffers that the
    // listing and the writer make next.
    ReleaseFreedMemory();
}

// A list of no masks (empty, or only commas) includes every file and excludes none.
std::vector<std::string> TSiteCollection::IncludeLines() const {
    std::vector<std::string> lines =
        TStringList::SplitLines(ConvertMasks(FProject.Value(entry::MaskInclude), FPaths.HomeRoot));
    if (lines.empty())
        return {FPaths.HomeRoot + "*.*"};
    return lines;
}

std::vector<std::string> TSiteCollection::ExcludeLines() const {
    return TStringList::SplitLines(
        ConvertMasks(FProject.Value(entry::MaskExclude), FPaths.HomeRoot));
}

std::string TSiteCollection::LanguageLine() const {
    const std::string language = FProject.Value(entry::Language);
    if (FProject.Flag(entry::ShowLanguageMenu))
        return FPaths.LanguagesFolder + "*" + LanguageFileExt;
    if (language != "Default")
        return FPaths.LanguagesFolder + language + LanguageFileExt;
    return {};
}

void TSiteCollection::ConfigureWriter(TCompOptions& options) {
    // Members are named relative to the home page's folder.
    options.DefaultDir = FPaths.HomeRoot;
    options.StoredDirNames = sdAbsolute;
    options.LiteralSpec.clear();
    options.ExcludeSpec.clear();
    options.FileSpec.clear();
    if (!FDiscovered.Empty()) {
        // Every discovered path names exactly one file: its name is no mask.
        options.RecurseDirs = false;
        options.LiteralSpec = FDiscovered.TakeItems();
    } else {
        options.RecurseDirs = true;
        if (!SplitMaskList(FProject.Value(entry::MaskInclude)).empty())
            options.FileSpec.push_back(FPaths.HomePage);
        for (std::string& line : IncludeLines())
            options.FileSpec.push_back(std::move(line));
        options.ExcludeSpec = ExcludeLines();
    }
    options.SkipFile = [this](const std::string& path) { return IsOwnOutput(path); };
    options.FileSpec.push_back(FPaths.SettingsPath);
    if (const std::string line = LanguageLine(); !line.empty())
        options.FileSpec.push_back(line);
}

} // namespace vlm
