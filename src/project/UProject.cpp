#include "project/UProject.h"

#include "platform/UErrors.h"
#include "platform/UFileStream.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace vlm {

std::string FlagToText(bool value) {
    return value ? "1" : "0";
}

bool TextToFlag(std::string_view text) {
    return text != "0";
}

const std::array<TProjectEntry, 30> ProjectEntries = {{
    {entry::HomeRoot, ""},
    {entry::HomePage, ""},
    {entry::OutputType, "EXE"},
    {entry::OutputFile, ""},
    {entry::WindowSize, "DEFAULT"},
    {entry::WindowHeight, "640"},
    {entry::WindowWidth, "480"},
    {entry::WindowSizeable, "1"},
    {entry::ShowTitleBar, "1"},
    {entry::ShowMenuBar, "1"},
    {entry::ShowToolBar, "1"},
    {entry::ToolBarLargeIcons, "1"},
    {entry::ToolBarCaptions, "1"},
    {entry::ShowStatusBar, "1"},
    {entry::Language, "Default"},
    {entry::ShowLanguageMenu, "1"},
    {entry::LanguageFilesRoot, ""},
    {entry::EnableCopy, "1"},
    {entry::EnableSaveObject, "1"},
    {entry::EnablePrint, "1"},
    {entry::EnableFind, "1"},
    {entry::EnableAdvancedFind, "1"},
    {entry::AdvancedFindTarget, ""},
    {entry::Password, ""},
    {entry::PasswordEnabled, "0"},
    {entry::WarningMessage, ""},
    {entry::WarningMessageEnabled, "0"},
    {entry::ParsingEnabled, "1"},
    {entry::MaskInclude, "*.*"},
    {entry::MaskExclude, "*.tmp,*.bak"},
}};

namespace {
int gUntitledCounter = 0;
// The replacement keeps the old file's permissions and, where allowed, its owner; a new
// file gets the permissions a plain create would give it. Failures leave the private
// mode of the temporary file, which is safe.
void GiveModeOf(int handle, const struct stat* old) {
    int failures = 0;
    if (old) {
        failures += ::fchmod(handle, old->st_mode & 07777) != 0;
        failures += ::fchown(handle, old->st_uid, old->st_gid) != 0;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        failures += ::fchmod(handle, 0666 & ~mask) != 0;
    }
    (void)failures;
}

} // namespace

namespace testing {
void SetUntitledCounter(int value) {
    gUntitledCounter = value;
}
} // namespace testing

TProject::TProject() {
    FFileName = UntitledName + std::to_string(++gUntitledCounter);
    LoadDefaults();
    FNew = true;
    FModified = false;
    UpdateHomePageState();
}

TProject::TProject(std::string_view fileName) {
    if (fileName.empty()) {
        FFileName = UntitledName + std::to_string(++gUntitledCounter);
        LoadDefaults();
        FNew = true;
    } else {
        FFileName = std::string(fileName);
        LoadFromFile(FFileName);
        FNew = false;
    }
    FModified = false;
    UpdateHomePageState();
}

TProject::~TProject() = default;

void TProject::LoadDefaults() {
    const std::string templatePath = ProgramFolder() + TemplateFileName;
    if (FileExists(templatePath)) {
        LoadFromFile(templatePath);
        return;
    }
    for (const TProjectEntry& e : ProjectEntries)
        SetValue(e.Name, e.Default);
}

std::string TProject::Folder() const {
    if (FNew)
        return GetCurrentFolder();
    return ExtractFilePath(ExpandFileName(FFileName));
}

std::string TProject::FullPathOf(std::string_view name) const {
    const std::string value = Value(name);
    // A full path stays as written: the archive's member names follow its spelling.
    if (value.empty() || IsAbsolutePath(value))
        return value;
    return ExpandFileName(value, Folder());
}

void TProject::Changed() {
    try {
        if (!InBatch() && OnChange)
            OnChange(*this);
    } catch (...) {
        // The listener may end the command that made the change (the preview's question
        // about a missing home page does); the change is made all the same and must not
        // escape the save question.
        FModified = true;
        UpdateHomePageState();
        throw;
    }
    FModified = true;
    UpdateHomePageState();
}

void TProject::UpdateHomePageState() {
    FHasHomePage = !Value(entry::HomePage).empty();
}

void TProject::Save() {
    // Through a link the file where it lives is replaced; the link stays a link.
    const std::string target = ResolveFileLink(FFileName);
    const std::string folder = ExtractFilePath(target);

    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;

    std::string tempPath;
    try {
        tempPath = CreateUniqueTempFile(folder.empty() ? "." : folder,
                                        "." + ExtractFileName(target) + ".");
    } catch (const EFCreateError& e) {
        throw EFCreateError(FFileName, e.ErrorNumber);
    }
    try {
        TFileStream stream(tempPath, TFileMode::OpenReadWrite);
        GiveModeOf(stream.Handle(), existed ? &old : nullptr);
        stream.WriteText(Text());
        stream.Sync();
        stream.Close();
        if (!RenameFile(tempPath, target))
            throw EFCreateError(FFileName, errno);
    } catch (...) {
        DeleteFile(tempPath);
        throw;
    }
    FNew = false;
    FModified = false;
}

} // namespace vlm
