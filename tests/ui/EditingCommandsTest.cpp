// The main window's Options and Wizard commands: the dialog on the open project, and the
// wizard on a fresh one followed by the build or the run that its result asks for.
#include "ProjectWindowsSupport.h"
#include "ScriptedDialogs.h"

#include "platform/UFileSys.h"
#include "ui/FProjectWizard.h"
#include "ui/FProjector.h"
#include "ui/UActionList.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QUrl>

using namespace vlm;
using namespace vlm::ui;
using namespace vlm::test;

namespace {

class EditingCommandsTest : public ::testing::Test {
public:
    void SetUp() override {
        SetProgramFolder(Dir.Path());
        HomePage = Dir / "site/index.htm";
        WriteFile(HomePage, "<html><body>Home</body></html>");
        Window = std::make_unique<TfmProjector>();
        Window->FormCreate({});
    }
    void TearDown() override {
        Window.reset();
        SetProgramFolder("");
    }

    TAction& Action(const char* name) { return Child<TAction>(*Window, name); }
    // Records the builds asked for instead of running them.
    void RecordBuilds() {
        Action("actFileBuild").OnExecute = [this] {
            Builds.push_back(Window->Project()->Value(entry::OutputFile));
        };
    }
    void Trigger(const char* name) {
        GoIdle();
        Action(name).trigger();
    }

    // A wizard run by the user: the two texts, the format, then Finish with the two boxes.
    TScriptedDialogs::TDialogHandler RunWizard(const std::string& output, bool build, bool run) {
        return [=, this](QDialog& dialog) {
            EXPECT_EQ(dialog.objectName(), "fmProjectWizard");
            EXPECT_EQ(dialog.parent(), Window.get());
            Child<QLineEdit>(dialog, "edHomePage").setText(QString::fromStdString(HomePage));
            Child<QLineEdit>(dialog, "edOutputFile").setText(QString::fromStdString(output));
            if (output.ends_with(".vlm"))
                Child<QAbstractButton>(dialog, "rbOutputVLM").click();
            auto& pages = Child<QStackedWidget>(dialog, "PageControl");
            for (int i = 0; i < 12 && pages.currentWidget()->objectName() != "pgFinish"; ++i) {
                GoIdle();
                Child<QPushButton>(dialog, "btnNext").click();
            }
            Child<QCheckBox>(dialog, "cbFinishBuild").setChecked(build);
            Child<QCheckBox>(dialog, "cbFinishRun").setChecked(run);
            GoIdle();
            Child<QPushButton>(dialog, "btnFinish").click();
            return dialog.result();
        };
    }

    TTempDir Dir;
    std::string HomePage;
    TScriptedDialogs Script;
    std::unique_ptr<TfmProjector> Window;
    std::vector<std::string> Builds;
};

TEST_F(EditingCommandsTest, OptionsShowsTheDialogOnTheOpenProject) {
    TAction& options = Action("actFileOptions");
    EXPECT_EQ(options.text(), "&Options...");
    EXPECT_EQ(options.shortcut(), QKeySequence(Qt::Key_F11));
    TProject* project = Window->Project();
    Script.HandleDialog([](QDialog& dialog) {
        EXPECT_EQ(dialog.objectName(), "fmProjectEditor");
        EXPECT_EQ(dialog.windowTitle(), "Project Options");
        Child<QCheckBox>(dialog, "cbDisplayStatusBar").click();
        Child<QPushButton>(dialog, "btnOK").click();
        return dialog.result();
    });
    Trigger("actFileOptions");
    ASSERT_EQ(Script.Dialogs.size(), 1u);
    EXPECT_EQ(Window->Project(), project);
    EXPECT_EQ(project->Value(entry::ShowStatusBar), "0");
    EXPECT_TRUE(project->IsModified());
}

TEST_F(EditingCommandsTest, WizardBuildsOrRunsAsItsResultSays) {
    RecordBuilds();
    const struct {
        const char* Output;
        bool Build, Run;
        size_t Builds;
        // What Run starts: an executable output itself, an archive in the viewer.
        const char* Started;
    } cases[] = {
        {"/out/site.exe", true, false, 1, nullptr},
        {"/out/site.exe", true, true, 1, "/out/site.exe"},
        {"/out/site.vlm", true, true, 1, "/out/site.vlm"},
        {"/out/site.exe", false, false, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.Output << " build " << c.Build << " run " << c.Run);
        Builds.clear();
        Script.StartedPrograms.clear();
        // The project the previous case left is modified: its save question is declined.
        if (Window->Project()->IsModified())
            Script.Answer(mrNo);
        Script.HandleDialog(RunWizard(c.Output, c.Build, c.Run));
        Trigger("actFileNewWizard");
        TProject* project = Window->Project();
        ASSERT_NE(project, nullptr);
        EXPECT_TRUE(project->IsNew());
        EXPECT_TRUE(project->IsModified());
        EXPECT_EQ(project->Value(entry::HomePage), HomePage);
        EXPECT_EQ(Builds.size(), c.Builds);
        EXPECT_TRUE(Script.OpenedUrls.empty());
        EXPECT_EQ(Script.StartedPrograms.size(), c.Started ? 1u : 0u);
        if (c.Started && !Script.StartedPrograms.empty()) {
            const QString started = QString::fromUtf8(c.Started);
            const bool exe = started.endsWith(".exe");
            EXPECT_EQ(Script.StartedPrograms.back().Program,
                      exe ? started : QString::fromStdString(Dir / "VLMView.exe"));
            EXPECT_EQ(Script.StartedPrograms.back().Arguments,
                      exe ? QStringList() : QStringList{started});
        }
    }
}

TEST_F(EditingCommandsTest, WizardRunBuildsTheArchiveAndStartsTheViewer) {
    const std::string output = Dir / "out/site.vlm";
    ASSERT_TRUE(CreateDir(Dir / "out"));
    Script.HandleDialog(RunWizard(output, true, true));
    Trigger("actFileNewWizard");
    EXPECT_TRUE(FileExists(output));
    ASSERT_EQ(Script.StartedPrograms.size(), 1u);
    EXPECT_EQ(Script.StartedPrograms.back().Arguments, QStringList{QString::fromStdString(output)});
    EXPECT_TRUE(Script.Messages.empty()) << Script.Messages.front().Text.toStdString();
}

TEST_F(EditingCommandsTest, WizardCancelLeavesTheFreshProjectUnchanged) {
    RecordBuilds();
    EXPECT_EQ(Action("actFileNewWizard").shortcut(), QKeySequence(Qt::CTRL | Qt::Key_W));
    Script.HandleDialog([](QDialog& dialog) {
        Child<QLineEdit>(dialog, "edHomePage").setText("/site/index.htm");
        Child<QPushButton>(dialog, "btnCancel").click();
        return dialog.result();
    });
    Trigger("actFileNewWizard");
    TProject* project = Window->Project();
    ASSERT_NE(project, nullptr);
    EXPECT_FALSE(project->IsModified());
    EXPECT_EQ(project->Text(), TProject().Text());
    EXPECT_TRUE(Builds.empty());
}

TEST_F(EditingCommandsTest, WizardIsNotShownWhenClosingTheOpenProjectIsCancelled) {
    TProject* project = Window->Project();
    project->SetValue(entry::MaskInclude, "*.htm");
    Script.Answer(mrCancel);
    Trigger("actFileNewWizard");
    EXPECT_EQ(Script.Messages.size(), 1u);
    EXPECT_TRUE(Script.Dialogs.empty());
    EXPECT_EQ(Window->Project(), project);
}

} // namespace
