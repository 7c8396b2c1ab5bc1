#include "pipeline/UBuild.h"

#include "archive/arcErrors.h"
#include "archive/arcZip.h"
#include "pipeline/UExecutable.h"
#include "pipeline/ULinks.h"
#include "pipeline/UProgress.h"
#include "pipeline/USiteFiles.h"
#include "platform/UFileStream.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/USafeFile.h"
#include "platform/UText.h"
#include "project/ULanguages.h"
#include "project/UProject.h"

#include <algorithm>
#include <exception>

namespace vlm {

namespace {

std::string LeftOutMessage(const std::vector<TLeftOutFile>& files) {
    // An unreadable folder is reported under its own name (ending in the delimiter).
    size_t folders = 0;
    for (const TLeftOutFile& file : files)
        folders += !file.FileName.empty() && file.FileName.back() == PathDelim ? 1 : 0;
    const size_t plain = files.size() - folders;
    std::string what;
    if (plain > 0)
        what = std::to_string(plain) + (plain == 1 ? " file" : " files");
    if (folders > 0)
        what += (what.empty() ? "" : " and ") + std::to_string(folders) +
                (folders == 1 ? " folder" : " folders");
    return "The output was written without " + what + " of the site:" + LeftOutLines(files);
}

// Everything one build knows: the paths of the data model, the file list and what the
// archive writer reported. It lives for one build.
class TBuildRun {
public:
    TBuildRun(TBuilder& tools, TProject& project, const TBuildSeam& seam, bool runInProgress,
              TOutsideFiles& outside)
        : FTools(tools), FZip(tools.Zip()), FProject(project), FProgress(seam), FRun(runInProgress),
          FOutside(outside) {}

    void Execute();

private:
    void AskOutputFile();
    void FormPaths();
    void Steps();
    void CheckHomePage() const;
    void ConfirmReplace();
    void PrepareFolders();
    void WriteSettings();
    void DiscoverFiles();
    void ConfigureWriter();
    void RunWriter();
    void CommentArchive(const TCompEvents& events);
    void ShowArchiveSize();
    void Join();
    void PlaceArchive();
    void Ending(std::exception_ptr error);
    void RemoveLeftovers();

    void Stage(const std::string& caption);
    std::string WriterFailure(const std::string& what) const;
    void NoteAdded(const std::string& fullPath);

    TBuilder& FTools;
    TZip& FZip;
    TProject& FProject;
    TProgress FProgress;
    const bool FRun;
    TOutsideFiles& FOutside;

    std::string FTempFolder, FSettingsPath, FHomePage, FHomeRoot, FOutputFile, FOutputFolder;
    std::string FProgramFolder, FLanguagesFolder, FArchivePath;
    bool FExe = false;
    std::unique_ptr<TSiteCollection> FCollection;
    TCompOptions FWriter; // what the archive writer is to do
    std::vector<TWriterReport> FReports;
    std::string FAdding;    // the file the writer is adding
    bool FComplete = false; // the output is in place
};

void TBuildRun::Stage(const std::string& caption) {
    FProgress.Stage(caption);
}

void TBuildRun::AskOutputFile() {
    if (!FProject.Value(entry::OutputFile).empty())
        return;
    std::string fileName;
    if (!FProgress.Questions().AskOutputFile(fileName))
        throw EAbort();
    SetOutputFile(FProject, fileName);
}

void TBuildRun::FormPaths() {
    // The settings member's path waits for the private folder, made when the build starts.
    FProgramFolder = ProgramFolder();
    const TSitePaths paths = SitePathsOf(FProject, {}, FProgramFolder);
    FHomePage = paths.HomePage;
    FHomeRoot = paths.HomeRoot;
    FLanguagesFolder = paths.LanguagesFolder;
    FOutside.Folder = FHomeRoot;
    FOutputFile = FProject.FullPathOf(entry::OutputFile);
    FOutputFolder = ExtractFilePath(FOutputFile);
}

void TBuildRun::Execute() {
    if (FProject.Value(entry::HomePage).empty())
        throw EVlmError("The project \"" + FProject.FileName() +
                        "\" has no home page (HomePage is empty)");
    AskOutputFile();
    FormPaths();
    FProgress.Events().Begun(FOutputFile);
    std::exception_ptr error;
    try {
        Steps();
    } catch (...) {
        error = std::current_exception();
    }
    Ending(error);
}

void TBuildRun::Steps() {
    CheckHomePage();
    ConfirmReplace();
    PrepareFolders();
    WriteSettings();
    if (FCollection->Parsing())
        DiscoverFiles();
    ConfigureWriter();
    RunWriter();
    ShowArchiveSize();
    if (FExe)
        Join();
    else
        PlaceArchive();
    FComplete = true;
}

// Without its home page the site is not there: an output of the settings member alone would
// be no build at all, nor would one that its masks left the home page out of. The build
// ends with the error before anything is replaced or written.
void TBuildRun::CheckHomePage() const {
    RequireHomePage(FProject, FHomePage);
}

// The old output stays until the new one replaces it whole, so a build that fails or is
// cancelled leaves the user's file as it was. A dangling link is an existing name too: the
// build would write through it.
void TBuildRun::ConfirmReplace() {
    if (!FileExists(FOutputFile) && !IsSymbolicLink(FOutputFile))
        return;
    const std::string question = "The file \"" + ExtractFileName(FOutputFile) +
                                 "\" already exists.\rDo you want to replace existing file?";
    if (!FProgress.Questions().AskReplace(question)) {
        FProgress.Cancel().Cancel();
        throw EAbort();
    }
}

void TBuildRun::PrepareFolders() {
    // The settings member may hold the viewer's password: it is written only into the
    // private folder of this process, which is never made again under its known name in
    // a shared folder (one that has gone is made anew under a new name).
    FTempFolder = RequireTempFolder();
    const TSitePaths paths = SitePathsOf(FProject, FTempFolder, FProgramFolder);
    FSettingsPath = paths.SettingsPath;
    FCollection = std::make_unique<TSiteCollection>(FProject, paths);
    if (!FOutputFolder.empty() && !DirectoryExists(FOutputFolder))
        CreateDir(FOutputFolder);
    // A build killed while it copied its output into place left its temporary file beside
    // the output, where nothing else would ever remove it.
    RemoveSafeFileLeftovers(FOutputFile);
    // The output is written last, after all the work: a folder that cannot take it is told
    // before any. (A link is followed to where the file lives when it is replaced.)
    if (!IsSymbolicLink(FOutputFile)) {
        if (const int error = ProbeFolder(FOutputFolder.empty() ? "." : FOutputFolder, "arc");
            error != 0)
            throw EFCreateError(FOutputFile, error);
    }
    const std::string language = FProject.Value(entry::Language);
    if (!FileExists(FLanguagesFolder + language + LanguageFileExt))
        FProject.SetValue(entry::Language, "Default");
}

void TBuildRun::WriteSettings() {
    Stage("Loading settings...");
    const TStringList settings = SettingsList(FProject, FCollection->Paths());
    FProgress.Step(40);
    if (FileExists(FSettingsPath))
        DeleteFile(FSettingsPath);
    try {
        settings.SaveToFile(FSettingsPath);
    } catch (const EWriteError& e) {
        throw EVlmError(FormatMessage("Cannot write file \"%s\". %s",
                                      {FSettingsPath, SysErrorMessage(e.ErrorNumber)}));
    }
    FProgress.Step(50);
}

void TBuildRun::DiscoverFiles() {
    FProgress.ClearFileBoxes("Current file size");
    Stage("Parsing files...");
    FCollection->Discover(FProgress, FTools.IncludeMatcher(), FTools.ExcludeMatcher(), nullptr,
                          FTools.Jobs);
}

void TBuildRun::ConfigureWriter() {
    FProgress.ClearFileBoxes("Current file size");
    Stage("Compressing files...");
    FExe = UpperCase(FProject.Value(entry::OutputType)) == value::EXE;
    // The archive is made in the private folder for both output types: the writer puts what
    // it has in its archive's place also when it is cancelled, and the output's place takes
    // only a complete build's archive (or the executable joined from it).
    FArchivePath = FCollection->Paths().ArchivePath;
    if (FileExists(FArchivePath))
        DeleteFile(FArchivePath);
    FProgress.Step(5);

    FWriter = {};
    FWriter.ArchiveFile = FArchivePath;
    // The archive is written exactly where the output is to be, also when its name has no
    // extension (the writer would otherwise add one).
    FWriter.DefaultExt.clear();
    FWriter.Password = ArchivePassword;
    FWriter.EncryptHeaders = true;
    FWriter.Jobs = FTools.Jobs;
    FWriter.Cancel = &FProgress.Cancel();
    FCollection->ConfigureWriter(FWriter);
    FProgress.Step(10);
}

std::string TBuildRun::WriterFailure(const std::string& what) const {
    std::string text = what;
    for (const TWriterReport& report : FReports)
        text += report.FileName.empty() ? "\n" + report.Reason
                                        : "\n\"" + report.FileName + "\": " + report.Reason;
    return text;
}

void TBuildRun::RunWriter() {
    TCompEvents events;
    CollectWriterReports(events, FReports);
    // The writer looks at the build's cancel token itself (FWriter.Cancel), while it lists
    // files and while it compresses.
    events.OnProgress = [this](TCompBase&, const TProgressInfo& progress) {
        (void)ArchiveProgress(FProgress, progress.ProgressByArchive, FZip.CurrentFileName(),
                              static_cast<uint64_t>(std::max<int64_t>(FZip.CurrentFileSize(), 0)));
    };
    events.OnBegin = [this](TCompBase&, const std::string& fileName, int, bool&) {
        FAdding = fileName;
    };
    events.OnEnd = [this](TCompBase&, const std::string&, bool) { NoteAdded(FAdding); };
    // The comment goes into the archive before it takes its name (see CommentArchive).
    FWriter.ArchiveComment = FSettingsPath;
    const int added = FZip.Compress(std::move(FWriter), events);
    const bool archived = added > 0 && FileExists(FArchivePath);
    if (FProgress.Cancelled())
        throw EAbort();
    if (added == 0 || !archived)
        throw EVlmError(WriterFailure("Cannot write the archive \"" + FArchivePath + "\":"));
    if (!FZip.WroteComment())
        CommentArchive(events);
}

// Link discovery follows references wherever they lead: the files it took from outside the
// home page's folder are told to the user after the build.
void TBuildRun::NoteAdded(const std::string& fullPath) {
    const bool ours = SameFileName(fullPath, FSettingsPath) ||
                      (SameFileName(ExtractFilePath(fullPath), FLanguagesFolder) &&
                       ExtractFileExt(fullPath) == LanguageFileExt);
    if (!ours && !IsInsideFolder(fullPath, FHomeRoot))
        FOutside.Files.push_back(ExpandFileName(fullPath));
}

// Compress writes the comment into the archive; only when it did not is the archive
// reopened and given its comment here.
void TBuildRun::CommentArchive(const TCompEvents& events) {
    const size_t leftOut = FReports.size();
    TCompOptions edit;
    edit.ArchiveFile = FArchivePath;
    edit.DefaultExt.clear();
    FZip.BeginCommentEdit(edit, events);
    FZip.SetArchiveComment(FSettingsPath.data(), static_cast<int16_t>(FSettingsPath.size()));
    if (!FZip.CommitCommentEdit()) {
        FReports.erase(FReports.begin(), FReports.begin() + static_cast<ptrdiff_t>(leftOut));
        throw EVlmError(
            WriterFailure("Cannot write the comment of the archive \"" + FArchivePath + "\":"));
    }
}

void TBuildRun::ShowArchiveSize() {
    if (FileExists(FSettingsPath))
        DeleteFile(FSettingsPath);
    int64_t size = 0;
    {
        TFileStream archive(FArchivePath, TFileMode::OpenRead);
        size = archive.Size();
    }
    FProgress.Events().SizeCaption("Output file size");
    FProgress.Events().Size(static_cast<uint64_t>(std::max<int64_t>(size, 0)));
    FProgress.SetBar(100);
    FProgress.Events().CurrentFile("");
    FProgress.Check();
}

void TBuildRun::Join() {
    Stage("Integrating...");
    JoinExecutable(FProgress, FProgramFolder + ViewerProgramName, FArchivePath, FOutputFile);
}

// The finished archive takes the output's place in one step (a rename, or across file
// systems a copy beside the output that is renamed over it); Cancel is honoured while it
// is copied. The replaced file's mode and owner are kept.
void TBuildRun::PlaceArchive() {
    TFileStream archive(FArchivePath, TFileMode::OpenRead);
    try {
        ReplaceFileWith(archive, FOutputFile, {}, [this] { FProgress.Check(); });
    } catch (const EWriteError& e) {
        throw EVlmError(FormatMessage("Cannot write file \"%s\". %s",
                                      {FOutputFile, SysErrorMessage(e.ErrorNumber)}));
    }
}

// Our temporary files go on every path out of the build: they live in the private folder
// of this process, which no later build of another process would clean. The output's
// place is written only by the last step, whole, so nothing there is ever removed.
void TBuildRun::RemoveLeftovers() {
    if (FileExists(FSettingsPath))
        DeleteFile(FSettingsPath);
    if (!FArchivePath.empty() && FileExists(FArchivePath))
        DeleteFile(FArchivePath);
}

void TBuildRun::Ending(std::exception_ptr error) {
    FWriter = {}; // it asks the collection
    FCollection.reset();
    RemoveLeftovers();
    // A Cancel that comes once the output is in place is too late: the build is done.
    if (FProgress.Cancelled() && !FComplete) {
        FProgress.Events().Ended(false, false);
        throw EAbort();
    }
    FProgress.Events().Ended(true, !FRun);
    if (error)
        std::rethrow_exception(error);
    std::vector<TLeftOutFile> leftOut;
    for (const TWriterReport& report : FReports)
        leftOut.push_back({report.FileName, report.Reason});
    if (!leftOut.empty())
        throw EBuildIncomplete(std::move(leftOut));
}

} // namespace

EBuildIncomplete::EBuildIncomplete(std::vector<TLeftOutFile> files)
    : EVlmError(LeftOutMessage(files)), FFiles(std::move(files)) {}

TBuilder::TBuilder() : FZip(std::make_unique<TZip>()) {}

TBuilder::~TBuilder() = default;

void TBuilder::Build(TProject& project, const TBuildSeam& seam, bool runInProgress) {
    FOutsideFiles = {};
    TBuildRun(*this, project, seam, runInProgress, FOutsideFiles).Execute();
}

void SetOutputFile(TProject& project, const std::string& fileName) {
    project.SetValue(entry::OutputFile, fileName);
    const bool exe = LowerCase(ExtractFileExt(fileName)) == ".exe";
    project.SetValue(entry::OutputType, exe ? value::EXE : value::VLM);
}

bool CanBuild(const TProject* project, bool previewShowsFile) {
    return project != nullptr && project->HasHomePage() && previewShowsFile;
}

} // namespace vlm
