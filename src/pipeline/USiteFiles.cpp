#include "pipeline/USiteFiles.h"

#include "archive/arcBase.h"
#include "pipeline/UBuild.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/UProcessInfo.h"
#include "project/UProject.h"

namespace vlm {

TSitePaths SitePathsOf(const TProject& project, const std::string& tempFolder,
                       const std::string& programFolder) {
    TSitePaths paths;
    paths.HomePage = project.FullPathOf(entry::HomePage);
    paths.HomeRoot = ExtractFilePath(paths.HomePage);
    paths.SettingsPath = tempFolder + SettingsFileName;
    paths.LanguagesFolder = programFolder + "Languages" + PathDelim;
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
        if (IsExcluded({{line, line.find(PathDelim) != std::string::npos}}, homePage, true))
            return mask;
    }
    return {};
}

TSiteCollection::TSiteCollection(const TProject& project, TSitePaths paths)
    : FProject(project), FPaths(std::move(paths)), FParsing(project.Flag(entry::ParsingEnabled)) {}

void TSiteCollection::Discover(TBuildHost& host, TRegExpr& include, TRegExpr& exclude,
                               TLinkObserver* observer, int jobs) {
    SetMaskList(include, ConvertMasks(FProject.Value(entry::MaskInclude)));
    SetMaskList(exclude, ConvertMasks(FProject.Value(entry::MaskExclude)));
    {
        TLinkParser parser(host, include, exclude);
        parser.SetObserver(observer);
        parser.SetJobs(jobs);
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
        return FPaths.LanguagesFolder + "*.lng";
    if (language != "Default")
        return FPaths.LanguagesFolder + language + ".lng";
    return {};
}

void TSiteCollection::ConfigureWriter(TCompBase& zip) {
    // Members are named relative to the home page's folder.
    zip.DefaultDir = FPaths.HomeRoot;
    zip.StoredDirNames = sdAbsolute;
    zip.LiteralSpec.clear();
    zip.ExcludeSpec.clear();
    zip.FileSpec.clear();
    if (!FDiscovered.Empty()) {
        // Every discovered path names exactly one file: its name is no mask.
        zip.RecurseDirs = false;
        zip.LiteralSpec = FDiscovered.TakeItems();
    } else {
        zip.RecurseDirs = true;
        if (!SplitMaskList(FProject.Value(entry::MaskInclude)).empty())
            zip.FileSpec.push_back(FPaths.HomePage);
        for (std::string& line : IncludeLines())
            zip.FileSpec.push_back(std::move(line));
        zip.ExcludeSpec = ExcludeLines();
    }
    zip.FileSpec.push_back(FPaths.SettingsPath);
    if (const std::string line = LanguageLine(); !line.empty())
        zip.FileSpec.push_back(line);
}

} // namespace vlm
