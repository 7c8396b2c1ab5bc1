// The options dialog on projects read from files: what it shows, what Apply and OK write,
// the output format and its file extension, the pickers and the idle-time enabling.
#include "ProjectWindowsSupport.h"
#include "ScriptedDialogs.h"

#include "ui/FProjectEditor.h"
#include "ui/UActionList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <functional>
#include <optional>

using namespace vlm;
using namespace vlm::ui;
using namespace vlm::test;

namespace {

class ProjectEditorTest : public ::testing::Test {
public:
    // Opens the dialog on a project read from text.
    TfmProjectEditor& Open(const std::string& text) {
        Project = ProjectFromText(Dir, text);
        Editor = std::make_unique<TfmProjectEditor>(nullptr, *Project);
        return *Editor;
    }

    QLineEdit& Edit(const char* name) { return Child<QLineEdit>(*Editor, name); }
    QAbstractButton& Button(const char* name) { return Child<QAbstractButton>(*Editor, name); }
    bool ApplyEnabled() { return Button("btnApply").isEnabled(); }
    std::optional<std::string> Entry(const char* name) const {
        if (Project->IndexOfName(name) < 0)
            return std::nullopt;
        return Project->Value(name);
    }

    TTempDir Dir;
    TScriptedDialogs Script;
    std::unique_ptr<TProject> Project;
    std::unique_ptr<TfmProjectEditor> Editor;
};

TEST_F(ProjectEditorTest, OpensOnTheFirstTabWithApplyDisabled) {
    TfmProjectEditor& editor = Open("HomePage=/site/index.htm\r\nMaskInclude=*.htm\r\n");
    EXPECT_EQ(Child<QTabWidget>(editor, "PageControl").currentIndex(), 0);
    EXPECT_EQ(Edit("edHomePage").text(), "/site/index.htm");
    EXPECT_EQ(Edit("edFilesExclude").text(), "");
    EXPECT_FALSE(ApplyEnabled()) << "filling the controls is no change";
    EXPECT_TRUE(Child<QWidget>(editor, "gbLanguage").isHidden());
}

TEST_F(ProjectEditorTest, OpeningFitsTheOutputFileToTheStoredFormat) {
    const struct {
        const char* Type;
        const char* File;
        bool Vlm;
        const char* Shown;
    } cases[] = {
        {"vlm", "/out/site.exe", true, "/out/site.vlm"},
        {"EXE", "/out/site.vlm", false, "/out/site.vlm"}, // EXE is the form's own: no change
        {"Vlm", "", true, ""},
        {"zip", "/out/site.vlm", false, "/out/site.vlm"},
        {"VLM", "/out.d/site", true, "/out.d/site.vlm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Type) + " " + c.File);
        const std::string text =
            std::string("OutputType=") + c.Type + "\r\nOutputFile=" + c.File + "\r\n";
        TfmProjectEditor& editor = Open(text);
        EXPECT_EQ(Checked(editor, "rbOutputVLM"), c.Vlm);
        EXPECT_EQ(Checked(editor, "rbOutputEXE"), !c.Vlm);
        EXPECT_EQ(Edit("edOutputFile").text(), c.Shown);
        EXPECT_FALSE(ApplyEnabled());
        Button("btnOK").click();
        EXPECT_EQ(editor.result(), QDialog::Accepted);
        EXPECT_FALSE(Project->IsModified()) << "OK without a change writes nothing";
        EXPECT_EQ(Project->Text(), text);
    }
}

TEST_F(ProjectEditorTest, SwitchingTheFormatRewritesTheExtension) {
    const struct {
        const char* File;
        const char* Click;
        const char* Shown;
        bool ApplyAfter;
    } cases[] = {
        {"/out/site.vlm", "rbOutputEXE", "/out/site.exe", true},
        {"/out/site", "rbOutputEXE", "/out/site.exe", true},
        {"/out.d/site", "rbOutputEXE", "/out.d/site.exe", true},
        {"", "rbOutputEXE", "", true},                            // nothing to fit, still a change
        {"/out/site.vlm", "rbOutputVLM", "/out/site.vlm", false}, // already checked: no change
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.File) + " " + c.Click);
        Open(std::string("OutputType=VLM\r\nOutputFile=") + c.File + "\r\n");
        Button(c.Click).click();
        EXPECT_EQ(Edit("edOutputFile").text(), c.Shown);
        EXPECT_EQ(ApplyEnabled(), c.ApplyAfter);
    }
}

TEST_F(ProjectEditorTest, TheOutputPickerSwitchesTheFormatByTheChosenExtension) {
    const struct {
        const char* Type;
        const char* Chosen;
        bool Vlm;
        const char* Shown;
        int FilterIndex;
    } cases[] = {
        {"EXE", "/o/site.zip", true, "/o/site.vlm", 1},
        {"VLM", "/o/site.zip", true, "/o/site.zip", 2}, // no switch, so nothing is fitted
        {"VLM", "/o/site.EXE", false, "/o/site.exe", 2},
        {"EXE", "/o/site.exe", false, "/o/site.exe", 1},
        {"EXE", "/o/site", true, "/o/site.vlm", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Type) + " " + c.Chosen);
        Open(std::string("OutputType=") + c.Type + "\r\nOutputFile=/old/dir/name.exe\r\n");
        Script.ChooseFile(QString::fromUtf8(c.Chosen));
        Button("btnOutputFile").click();
        const TFileDialogSpec& spec = Script.FileDialogs.back();
        EXPECT_EQ(spec.Name, "OutputFileDialog");
        EXPECT_EQ(spec.Title, "Output File");
        EXPECT_EQ(spec.Filter, "Executable Files (*.exe)|*.exe|Vellumar Files (*.vlm)|*.vlm");
        EXPECT_EQ(spec.FilterIndex, c.FilterIndex);
        EXPECT_EQ(spec.DefaultExt, "exe");
        EXPECT_TRUE(spec.Save);
        EXPECT_FALSE(spec.OverwritePrompt);
        EXPECT_EQ(spec.InitialDir, "/old/dir/");
        // Opening fitted the stored name to the stored format.
        EXPECT_EQ(spec.FileName, c.FilterIndex == 1 ? "name.exe" : "name.vlm");
        EXPECT_EQ(Checked(*Editor, "rbOutputVLM"), c.Vlm);
        EXPECT_EQ(Edit("edOutputFile").text(), c.Shown);
        EXPECT_TRUE(ApplyEnabled());
    }
}

TEST_F(ProjectEditorTest, TheHomePagePickerStartsAtTheCurrentPageAndACancelChangesNothing) {
    Open("HomePage=/site/pages/index.htm\r\n");
    Script.CancelFileDialog();
    Button("btnHomePage").click();
    ASSERT_EQ(Script.FileDialogs.size(), 1u);
    const TFileDialogSpec& spec = Script.FileDialogs.back();
    EXPECT_EQ(spec.Name, "HomePageDialog");
    EXPECT_EQ(spec.Title, "Home Page");
    EXPECT_EQ(spec.Filter, "HTML Files (*.htm; *.html)|*.htm;*.html|All Files (*.*)|*.*");
    EXPECT_TRUE(spec.MustExist);
    EXPECT_FALSE(spec.Save);
    EXPECT_EQ(spec.InitialDir, "/site/pages/");
    EXPECT_EQ(spec.FileName, "index.htm");
    EXPECT_EQ(Edit("edHomePage").text(), "/site/pages/index.htm");
    EXPECT_FALSE(ApplyEnabled());

    Script.ChooseFile("/other/start.html");
    Button("btnHomePage").click();
    EXPECT_EQ(Edit("edHomePage").text(), "/other/start.html");
    EXPECT_TRUE(ApplyEnabled());
}

TEST_F(ProjectEditorTest, ApplyWritesEachControlInItsEntryForm) {
    using TChange = std::function<void(ProjectEditorTest&)>;
    const struct {
        const char* Name;
        TChange Change;
        const char* Entry;
        std::optional<std::string> Value; // nullopt: the line is gone
    } cases[] = {
        {"skip parsing", [](auto& t) { t.Button("cbFilesParsingSkip").click(); },
         entry::ParsingEnabled, "0"},
        {"clear exclude", [](auto& t) { t.Edit("edFilesExclude").clear(); }, entry::MaskExclude,
         std::nullopt},
        {"maximized", [](auto& t) { t.Button("rbWindowSizeMaximized").click(); }, entry::WindowSize,
         "MAXIMIZED"},
        {"custom", [](auto& t) { t.Button("rbWindowSizeCustom").click(); }, entry::WindowSize,
         "CUSTOM"},
        {"no title bar", [](auto& t) { t.Button("cbDisplayTitleBar").click(); },
         entry::ShowTitleBar, "0"},
        {"archive", [](auto& t) { t.Button("rbOutputVLM").click(); }, entry::OutputType, "VLM"},
        {"password", [](auto& t) { t.Edit("edProtectionPassword").setText("Se=cret "); },
         entry::Password, "Se=cret "},
        {"warning on", [](auto& t) { t.Button("cbProtectionWarning").click(); },
         entry::WarningMessageEnabled, "1"},
        {"height", [](auto& t) { t.Edit("edWindowHeight").setText("abc"); }, entry::WindowHeight,
         "abc"},
        {"language",
         [](auto& t) { Child<QComboBox>(*t.Editor, "edLanguage").setEditText("German"); },
         entry::Language, "German"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Open("MaskExclude=*.tmp\r\nWindowSize=DEFAULT\r\nWarningMessageEnabled=0\r\n");
        c.Change(*this);
        ASSERT_TRUE(ApplyEnabled());
        Button("btnApply").click();
        EXPECT_FALSE(ApplyEnabled());
        EXPECT_TRUE(Project->IsModified());
        EXPECT_EQ(Entry(c.Entry), c.Value);
    }
}

TEST_F(ProjectEditorTest, AClearedFieldOpensEmptyAgain) {
    Open("MaskExclude=*.tmp,*.bak\r\n");
    Edit("edFilesExclude").clear();
    Button("btnOK").click();
    EXPECT_EQ(Project->IndexOfName(entry::MaskExclude), -1);
    TfmProjectEditor again(nullptr, *Project);
    EXPECT_EQ(Child<QLineEdit>(again, "edFilesExclude").text(), "");
}

TEST_F(ProjectEditorTest, FlagsAndEnumerationsReadAsTheProjectFileHasThem) {
    const struct {
        const char* Text;
        const char* Control;
        bool Checked;
    } cases[] = {
        {"", "cbProtectionPassword", true}, // an absent flag reads true
        {"PasswordEnabled=0\r\n", "cbProtectionPassword", false},
        {"PasswordEnabled=no\r\n", "cbProtectionPassword", true},
        {"ParsingEnabled=0\r\n", "cbFilesParsingSkip", true},
        {"ParsingEnabled=1\r\n", "cbFilesParsingSkip", false},
        {"", "cbFilesParsingSkip", false},
        {"WindowSize=custom\r\n", "rbWindowSizeCustom", true},
        {"WindowSize=Maximized\r\n", "rbWindowSizeMaximized", true},
        {"WindowSize=huge\r\n", "rbWindowSizeDefault", true},
        {"ShowToolBar=0\r\n", "cbDisplayToolBar", false},
        {"ShowLanguageMenu=0\r\n", "cbShowLanguageMenu", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Text) + c.Control);
        EXPECT_EQ(Checked(Open(c.Text), c.Control), c.Checked);
    }
}

TEST_F(ProjectEditorTest, ApplyThenCancelKeepsWhatWasApplied) {
    TfmProjectEditor& editor = Open("MaskInclude=*.*\r\nShowMenuBar=1\r\n");
    Edit("edFilesInclude").setText("*.htm");
    Button("btnApply").click();
    Button("cbDisplayMenuBar").click();
    Button("btnCancel").click();
    EXPECT_EQ(editor.result(), QDialog::Rejected);
    EXPECT_EQ(Project->Value(entry::MaskInclude), "*.htm");
    EXPECT_EQ(Project->Value(entry::ShowMenuBar), "1") << "Cancel writes nothing";
}

TEST_F(ProjectEditorTest, ACheckedAndUncheckedBoxStillWritesEveryEntry) {
    Open("HomePage=/s/i.htm\r\nKeep=me\r\n");
    Button("cbCommandPrint").click();
    Button("cbCommandPrint").click();
    EXPECT_TRUE(ApplyEnabled());
    Button("btnOK").click();
    EXPECT_TRUE(Project->IsModified());
    // Absent flags read true and are written so; empty texts write no line.
    EXPECT_EQ(Project->Text(), "HomePage=/s/i.htm\r\nKeep=me\r\n"
                               "OutputType=EXE\r\nWindowSize=DEFAULT\r\n"
                               "WindowSizeable=1\r\nShowTitleBar=1\r\nShowMenuBar=1\r\n"
                               "ShowToolBar=1\r\nToolBarLargeIcons=1\r\nToolBarCaptions=1\r\n"
                               "ShowStatusBar=1\r\nShowLanguageMenu=1\r\n"
                               "EnableCopy=1\r\nEnableSaveObject=1\r\nEnablePrint=1\r\n"
                               "EnableFind=1\r\nEnableAdvancedFind=1\r\n"
                               "PasswordEnabled=1\r\nWarningMessageEnabled=1\r\n"
                               "ParsingEnabled=1\r\n");
}

TEST_F(ProjectEditorTest, OKWritesOnlyWhatApplyHasNotWritten) {
    Open("ShowStatusBar=1\r\n");
    Button("cbDisplayStatusBar").click();
    Button("btnApply").click();
    Project->Save();
    ASSERT_FALSE(Project->IsModified());
    Button("btnOK").click();
    EXPECT_FALSE(Project->IsModified());
    EXPECT_EQ(Project->Value(entry::ShowStatusBar), "0");
}

TEST_F(ProjectEditorTest, UntouchedTextKeepsItsBytes) {
    // A project written in a single-byte code page: its text is no valid UTF-8.
    Open("WarningMessage=Caf\xe9 \xa9\r\nHomePage=/s/\xe4.htm\r\n");
    Button("cbCommandCopy").click();
    Button("btnApply").click();
    EXPECT_EQ(Project->Value(entry::WarningMessage), "Caf\xe9 \xa9");
    EXPECT_EQ(Project->Value(entry::HomePage), "/s/\xe4.htm");
}

TEST_F(ProjectEditorTest, DependentControlsFollowTheirBoxWhenIdle) {
    const struct {
        const char* Master;
        std::vector<const char*> Dependents;
    } cases[] = {
        {"rbWindowSizeCustom",
         {"edWindowHeight", "edWindowWidth", "lblWindowHeight", "lblWindowWidth",
          "cbWindowSizeable"}},
        {"cbDisplayToolBar", {"cbDisplayToolBarLargeIcons", "cbDisplayToolBarCaptions"}},
        {"cbCommandAdvancedFind", {"edCommandAdvancedFindTarget", "lblCommandAdvancedFindTarget"}},
        {"cbProtectionPassword", {"edProtectionPassword"}},
        {"cbProtectionWarning", {"edProtectionWarning"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Master);
        // Every master starts off: the custom size is unchecked, the boxes read "0".
        Open("WindowSize=DEFAULT\r\nShowToolBar=0\r\nEnableAdvancedFind=0\r\n"
             "PasswordEnabled=0\r\nWarningMessageEnabled=0\r\nWindowWidth=300\r\n");
        for (const char* name : c.Dependents)
            EXPECT_FALSE(Child<QWidget>(*Editor, name).isEnabled()) << name;
        Button(c.Master).click();
        GoIdle();
        for (const char* name : c.Dependents)
            EXPECT_TRUE(Child<QWidget>(*Editor, name).isEnabled()) << name;
    }
    // A disabled control keeps its value and is written all the same.
    Button("rbWindowSizeDefault").click();
    GoIdle();
    EXPECT_FALSE(Edit("edWindowWidth").isEnabled());
    Button("btnApply").click();
    EXPECT_EQ(Project->Value(entry::WindowWidth), "300");
}

} // namespace
