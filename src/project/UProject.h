// The project: an ordered list of Name=Value lines with its file name and state.
#pragma once

#include "project/UStringList.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>

namespace vlm {

// Flag text: "1" for true, "0" for false. Only the exact text "0" reads false, so an
// absent entry (the empty text) reads true.
std::string FlagToText(bool value);
bool TextToFlag(std::string_view text);

// Entry names as the system writes them.
namespace entry {
inline constexpr const char* HomeRoot = "HomeRoot";
inline constexpr const char* HomePage = "HomePage";
inline constexpr const char* OutputType = "OutputType";
inline constexpr const char* OutputFile = "OutputFile";
inline constexpr const char* WindowSize = "WindowSize";
inline constexpr const char* WindowHeight = "WindowHeight";
inline constexpr const char* WindowWidth = "WindowWidth";
inline constexpr const char* WindowSizeable = "WindowSizeable";
inline constexpr const char* ShowTitleBar = "ShowTitleBar";
inline constexpr const char* ShowMenuBar = "ShowMenuBar";
inline constexpr const char* ShowToolBar = "ShowToolBar";
inline constexpr const char* ToolBarLargeIcons = "ToolBarLargeIcons";
inline constexpr const char* ToolBarCaptions = "ToolBarCaptions";
inline constexpr const char* ShowStatusBar = "ShowStatusBar";
inline constexpr const char* Language = "Language";
inline constexpr const char* ShowLanguageMenu = "ShowLanguageMenu";
inline constexpr const char* LanguageFilesRoot = "LanguageFilesRoot";
inline constexpr const char* EnableCopy = "EnableCopy";
inline constexpr const char* EnableSaveObject = "EnableSaveObject";
inline constexpr const char* EnablePrint = "EnablePrint";
inline constexpr const char* EnableFind = "EnableFind";
inline constexpr const char* EnableAdvancedFind = "EnableAdvancedFind";
inline constexpr const char* AdvancedFindTarget = "AdvancedFindTarget";
inline constexpr const char* Password = "Password";
inline constexpr const char* PasswordEnabled = "PasswordEnabled";
inline constexpr const char* WarningMessage = "WarningMessage";
inline constexpr const char* WarningMessageEnabled = "WarningMessageEnabled";
inline constexpr const char* ParsingEnabled = "ParsingEnabled";
inline constexpr const char* MaskInclude = "MaskInclude";
inline constexpr const char* MaskExclude = "MaskExclude";
} // namespace entry

// Enumerated values, written in capitals and compared after upper-casing.
namespace value {
inline constexpr const char* EXE = "EXE";
inline constexpr const char* VLM = "VLM";
inline constexpr const char* Default = "DEFAULT";
inline constexpr const char* Maximized = "MAXIMIZED";
inline constexpr const char* Custom = "CUSTOM";
} // namespace value

struct TProjectEntry {
    const char* Name;
    const char* Default; // "" when the entry is absent from a new project
};

// Every entry in the order in which the built-in defaults create them.
extern const std::array<TProjectEntry, 30> ProjectEntries;

// The name a project without a file gets: "Untitled" and the untitled counter.
inline constexpr const char* UntitledName = "Untitled";
// The template beside the program.
inline constexpr const char* TemplateFileName = "Default.vlp";

class TProject : public TStringList {
public:
    using TChangeEvent = std::function<void(TProject&)>;

    // A project without a file: named Untitled<n>, filled by LoadDefaults; New.
    TProject();
    // A project loaded from fileName (not New, not Modified); an empty name counts as none.
    // Raises EFOpenError ("Cannot open file ...") when the file cannot be read.
    explicit TProject(std::string_view fileName);
    ~TProject() override;

    const std::string& FileName() const { return FFileName; }
    void SetFileName(std::string_view fileName) { FFileName = std::string(fileName); }

    bool IsNew() const { return FNew; }
    bool IsModified() const { return FModified; }
    bool HasHomePage() const { return FHasHomePage; }

    // The folder that relative file names of the project are taken against: the project
    // file's folder, with its trailing delimiter; the current folder for a project that has
    // no file yet (New).
    std::string Folder() const;
    // The full path an entry's file name stands for (HomePage, OutputFile): a relative
    // name is taken against Folder(), so that a project moves with its site to another
    // folder or machine; a full path is returned as written. The entry itself keeps what
    // the user wrote. Empty for an empty entry.
    std::string FullPathOf(std::string_view name) const;

    bool Flag(std::string_view name) const { return TextToFlag(Value(name)); }
    void SetFlag(std::string_view name, bool on) { SetValue(name, FlagToText(on)); }

    // Loads "Default.vlp" from the program folder when it exists, else writes the built-in
    // defaults in table order.
    void LoadDefaults();

    // Writes all lines to FileName and clears New and Modified. The file is replaced as a
    // whole: the new bytes go to a temporary file beside it, which is then renamed over it,
    // so a failed save leaves the old file as it was. Raises EFCreateError or EWriteError
    // and then keeps New and Modified as they were. A file whose loading stopped at a NUL
    // byte is not a project file and is never overwritten (EVlmError). beforeChunk, when
    // given, runs before each chunk is written and before the file takes its name; an
    // exception from it (a cancel) ends the save with the old file untouched.
    void Save(const std::function<void()>& beforeChunk = {});

    // The one change listener; called before Modified and HasHomePage reflect the change.
    TChangeEvent OnChange;

protected:
    void Changed() override;

private:
    void UpdateHomePageState();

    std::string FFileName;
    std::string FLoadedWithNul; // the file this project was loaded from when it held a NUL
    bool FNew = false;
    bool FModified = false;
    bool FHasHomePage = false;
};

namespace test_hooks {
// Sets the process-wide untitled counter while it lives (the next untitled project gets
// value + 1); the counter's previous value comes back when it ends.
class TUntitledCounter {
public:
    explicit TUntitledCounter(int value);
    ~TUntitledCounter();
    TUntitledCounter(const TUntitledCounter&) = delete;
    TUntitledCounter& operator=(const TUntitledCounter&) = delete;

private:
    int FPrevious;
};
} // namespace test_hooks

} // namespace vlm
