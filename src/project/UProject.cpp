#include "project/UProject.h"

#include "platform/UErrors.h"
#include "platform/UFileStream.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/USafeFile.h"

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
} // namespace

namespace test_hooks {
TUntitledCounter::TUntitledCounter(int value) : FPrevious(gUntitledCounter) {
    gUntitledCounter = value;
}

TUntitledCounter::~TUntitledCounter() {
    gUntitledCounter = FPrevious;
}
} // namespace test_hooks

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
        if (LoadStoppedAtNul())
            FLoadedWithNul = FFileName;
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

void TProject::Save(const std::function<void()>& beforeChunk) {
    if (FFileName == FLoadedWithNul)
        throw EVlmError("\"" + FFileName +
                        "\" is not a project file (it holds a NUL byte); it is not overwritten");
    // Through a link the file where it lives is replaced; the link stays a link.
    const std::string text = Text();
    TSafeFile file(FFileName);
    constexpr size_t ChunkSize = 65536;
    for (size_t done = 0; done < text.size(); done += ChunkSize) {
        if (beforeChunk)
            beforeChunk();
        file.WriteText(std::string_view(text).substr(done, ChunkSize));
    }
    if (beforeChunk)
        beforeChunk();
    file.Commit();
    FNew = false;
    FModified = false;
}

} // namespace vlm
