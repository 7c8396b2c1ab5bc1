// Build and Run from the main window: the progress window's stages, Cancel, the "Finished"
// window, the questions of a build, and what Run opens.
#include "ProjectorFixture.h"

#include "archive/arcReader.h"
#include "pipeline/UBuild.h"
#include "ui/FBuildingProgress.h"
#include "ui/UBuildThread.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <optional>

namespace vlm::test {
namespace {

using namespace std::chrono_literals;
using ui::TfmBuildingProgress;

// Looks at the progress window every time the build lets messages in, records what it
// shows and, when told to, presses its Cancel button.
class TProgressWatch {
public:
    explicit TProgressWatch(ui::TfmProjector& window) : FWindow(window) {
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Look(); });
        FTimer.start(0);
    }

    QStringList Stages;
    QString OutputFileText;
    bool MainWindowEverEnabled = false;
    bool RunFlagSeen = false;
    bool CancelPressed = false;
    std::optional<bool> ClosedDuringBuild; // what closing the main window did, once
    std::function<bool(const QString& stage, const QString& currentFile)> CancelWhen;

private:
    void Look() {
        TfmBuildingProgress* progress = FWindow.BuildingProgress();
        if (!progress || !progress->isVisible())
            return;
        const QString stage = progress->findChild<QGroupBox*>("gbProgress")->title();
        if (!stage.isEmpty() && (Stages.isEmpty() || Stages.constLast() != stage))
            Stages << stage;
        OutputFileText = progress->findChild<QLabel*>("lblOutputFile")->text();
        MainWindowEverEnabled = MainWindowEverEnabled || FWindow.isEnabled();
        RunFlagSeen = RunFlagSeen || FWindow.RunInProgress();
        if (!ClosedDuringBuild && !stage.isEmpty())
            ClosedDuringBuild = FWindow.close();
        const QString current = progress->findChild<QLabel*>("lblCurrentFile")->text();
        if (!CancelPressed && CancelWhen && CancelWhen(stage, current)) {
            CancelPressed = true;
            progress->findChild<QPushButton*>("btnCancel")->click();
        }
    }

    ui::TfmProjector& FWindow;
    QTimer FTimer;
};

class BuildFromWindow : public ProjectorTest {
protected:
    void SetUp() override {
        ProjectorTest::SetUp();
        WriteFile(ProgramDir / "VLMView.exe", RandomBytes(5000, 3));
        std::filesystem::create_directories(Dir / "tmp");
        std::filesystem::create_directories(Dir / "out");
        SetTempFolder(Dir / "tmp/");
        Lockstep.emplace();
    }
    void TearDown() override {
        Lockstep.reset();
        SetTempFolder("");
        ProjectorTest::TearDown();
    }

    std::optional<ui::test_hooks::TLockstepRuns> Lockstep;

    // The site with some bulk, so that compressing it takes several progress reports, and a
    // project with the given output that is open in the window.
    void OpenSiteProject(const std::string& output) {
        const std::string index = WriteSite();
        for (int i = 0; i < 4; ++i)
            WriteFile(Dir / ("site/data" + std::to_string(i) + ".bin"), RandomBytes(200000, i));
        WriteFile(index, "<html><body><a id=\"next\" href=\"page2.htm\">next</a>"
                         "<a href=\"data0.bin\">0</a><a href=\"data1.bin\">1</a>"
                         "<a href=\"data2.bin\">2</a><a href=\"data3.bin\">3</a></body></html>");
        std::string extra = "MaskInclude=*.*\r\nMaskExclude=*.tmp,*.bak\r\nLanguage=Default\r\n";
        if (!output.empty())
            extra += "OutputFile=" + output +
                     "\r\nOutputType=" + (output.ends_with(".exe") ? "EXE" : "VLM") + "\r\n";
        Start({Q(WriteProject("p.vlp", index, extra))});
        ASSERT_TRUE(EnabledActions().contains("actFileBuild"));
    }

    bool NoProgressWindowLeft() const {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == "fmBuildingProgress")
                return false;
        }
        return Window->BuildingProgress() == nullptr;
    }
};

TEST_F(BuildFromWindow, ABuildShowsItsStagesAndWaitsWithFinished) {
    for (const char* name : {"site.vlm", "site.exe"}) {
        const std::string output = Dir / ("out/" + std::string(name));
        OpenSiteProject(output);
        TProgressWatch watch(*Window);
        Dialogs.HandleDialog([&](QDialog& dialog) {
            EXPECT_EQ(dialog.objectName(), "fmBuildingProgress");
            const auto* stage = dialog.findChild<QGroupBox*>("gbProgress");
            EXPECT_EQ(stage->title(), "Finished");
            EXPECT_TRUE(stage->font().bold());
            EXPECT_EQ(dialog.findChild<QPushButton*>("btnCancel")->text(), "Finished");
            EXPECT_EQ(dialog.findChild<QProgressBar*>("ProgressBar")->value(), 100);
            EXPECT_TRUE(Window->isEnabled()) << "the main window is enabled before the wait";
            return int(ui::mrCancel);
        });
        Trigger("actFileBuild");
        QStringList expected = {"Loading settings...", "Parsing files...", "Compressing files..."};
        if (std::string(name) == "site.exe")
            expected << "Integrating...";
        EXPECT_EQ(watch.Stages, expected) << name;
        EXPECT_EQ(watch.OutputFileText, Q(output)) << name;
        EXPECT_FALSE(watch.MainWindowEverEnabled) << name << ": disabled during the build";
        EXPECT_EQ(watch.ClosedDuringBuild, std::optional<bool>(false))
            << name << ": the window stays while its build runs";
        EXPECT_TRUE(Window->isEnabled()) << name;
        EXPECT_TRUE(Dialogs.Messages.empty()) << name;
        EXPECT_TRUE(NoProgressWindowLeft()) << name;
        TArchiveReader reader(output);
        EXPECT_EQ(reader.IsExecutable(), std::string(name) == "site.exe");
        std::vector<std::string> members;
        for (const TArchiveMember& member : reader.Members())
            members.push_back(ExtractFileName(member.Name));
        std::sort(members.begin(), members.end());
        EXPECT_EQ(members,
                  (std::vector<std::string>{"VLM.settings", "data0.bin", "data1.bin", "data2.bin",
                                            "data3.bin", "index.htm", "page2.htm"}))
            << name;
        Window.reset();
    }
}

// The status bar names the files a build took from outside the home page's folder, and
// is cleared by a build that took none.
TEST_F(BuildFromWindow, TheStatusBarTellsOfFilesFromOutsideTheSite) {
    const std::string output = Dir / "out/site.vlm";
    WriteFile(Dir / "outside.txt", "not the site's");
    const struct {
        const char* Page;
        QString Message;
    } cases[] = {
        {"<a href=\"../outside.txt\">", "1 file was taken from outside the home page's folder \"" +
                                            Q(Dir / "site/") + "\": \"" + Q(Dir / "outside.txt") +
                                            "\""},
        {"<a href=\"page2.htm\">", ""},
    };
    for (const auto& c : cases) {
        OpenSiteProject(output);
        WriteFile(Dir / "site/index.htm", c.Page);
        Dialogs.HandleDialog([](QDialog&) { return int(ui::mrCancel); });
        Trigger("actFileBuild");
        EXPECT_EQ(Window->statusBar()->currentMessage(), c.Message);
        EXPECT_TRUE(Dialogs.Messages.empty());
        Window.reset();
        std::filesystem::remove(output);
    }
}

TEST_F(BuildFromWindow, CancelDuringCompressionEndsWithoutFinishedAndWithoutOutput) {
    for (const char* name : {"site.vlm", "site.exe"}) {
        const std::string output = Dir / ("out/" + std::string(name));
        OpenSiteProject(output);
        TProgressWatch watch(*Window);
        watch.CancelWhen = [](const QString& stage, const QString& currentFile) {
            return stage == "Compressing files..." && !currentFile.isEmpty();
        };
        Trigger("actFileBuild");
        EXPECT_TRUE(watch.CancelPressed) << name;
        EXPECT_EQ(watch.Stages.constLast(), "Compressing files...") << name;
        EXPECT_TRUE(Dialogs.Dialogs.empty()) << name << ": no Finished window";
        EXPECT_TRUE(Dialogs.Messages.empty()) << name;
        EXPECT_FALSE(PathExists(output)) << name;
        EXPECT_TRUE(NoProgressWindowLeft()) << name << ": destroyed at once";
        EXPECT_TRUE(Window->isEnabled()) << name;
        Window.reset();
    }
}

// Run starts the viewer on an archive and an executable output itself; only the executable's
// failure to start is the user's to hear of.
TEST_F(BuildFromWindow, RunBuildsWithoutTheFinishedWindowAndStartsTheResult) {
    const struct {
        const char* Name;
        const char* Failure; // the reason the start fails with, else nullptr
        bool Reported;
    } cases[] = {
        {"site.vlm", nullptr, false},
        {"site.vlm", "No such file or directory", false},
        {"site.exe", nullptr, false},
        {"site.exe", "Permission denied", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.Name << " " << (c.Failure ? c.Failure : ""));
        const std::string output = Dir / ("out/" + std::string(c.Name));
        const bool exe = std::string(c.Name).ends_with(".exe");
        OpenSiteProject(output);
        Dialogs.StartedPrograms.clear();
        Dialogs.Messages.clear();
        if (c.Failure)
            Dialogs.FailStart(c.Failure);
        TProgressWatch watch(*Window);
        Trigger("actFileRun"); // an unscripted modal showing would fail the test
        EXPECT_TRUE(Dialogs.Dialogs.empty());
        EXPECT_TRUE(watch.RunFlagSeen);
        EXPECT_FALSE(Window->RunInProgress());
        EXPECT_TRUE(PathExists(output));
        EXPECT_TRUE(Dialogs.OpenedUrls.empty());
        ASSERT_EQ(Dialogs.StartedPrograms.size(), 1u);
        EXPECT_EQ(Dialogs.StartedPrograms[0].Program,
                  exe ? Q(output) : Q(ProgramDir / "VLMView.exe"));
        EXPECT_EQ(Dialogs.StartedPrograms[0].Arguments,
                  exe ? QStringList() : QStringList{Q(output)});
        if (c.Reported) {
            ASSERT_EQ(Dialogs.Messages.size(), 1u);
            EXPECT_EQ(Dialogs.Messages[0].Kind, ui::TMsgKind::Error);
            EXPECT_EQ(Dialogs.Messages[0].Text,
                      "Cannot start \"" + Q(output) + "\". " + QString::fromUtf8(c.Failure));
        } else {
            EXPECT_TRUE(Dialogs.Messages.empty());
        }
        Window.reset();
        std::filesystem::remove(output);
    }
}

TEST_F(BuildFromWindow, RunOpensNothingWhenItsBuildIsCancelled) {
    OpenSiteProject(Dir / "out/site.vlm");
    TProgressWatch watch(*Window);
    watch.CancelWhen = [](const QString& stage, const QString&) {
        return stage == "Parsing files...";
    };
    Trigger("actFileRun");
    EXPECT_TRUE(watch.CancelPressed);
    EXPECT_TRUE(Dialogs.StartedPrograms.empty());
    EXPECT_TRUE(Dialogs.OpenedUrls.empty());
    EXPECT_FALSE(Window->RunInProgress());
}

TEST_F(BuildFromWindow, TheOutputPromptAndTheReplaceQuestion) {
    const std::string existing = Dir / "out/site.vlm";
    const struct {
        const char* Name;
        std::function<void(TScriptedDialogs&)> Script;
        std::string OutputEntry; // empty: none in the project
        bool Built;
    } cases[] = {
        {"prompt cancelled", [](TScriptedDialogs& d) { d.CancelFileDialog(); }, "", false},
        {"prompt answered",
         [&](TScriptedDialogs& d) {
             d.ChooseFile(Q(Dir / "out/chosen.EXE"));
             d.HandleDialog(ui::mrCancel);
         },
         "", true},
        {"replace declined", [](TScriptedDialogs& d) { d.Answer(ui::mrNo); }, existing, false},
        {"replace accepted",
         [](TScriptedDialogs& d) {
             d.Answer(ui::mrYes);
             d.HandleDialog(ui::mrCancel);
         },
         existing, true},
    };
    for (const auto& c : cases) {
        WriteFile(existing, "old output");
        OpenSiteProject(c.OutputEntry);
        Dialogs.Messages.clear();
        Dialogs.Dialogs.clear();
        c.Script(Dialogs);
        Trigger("actFileBuild");
        EXPECT_EQ(Dialogs.Dialogs.size(), c.Built ? 1u : 0u) << c.Name;
        if (c.OutputEntry.empty()) {
            EXPECT_EQ(Window->Project()->Value(entry::OutputFile),
                      c.Built ? Dir / "out/chosen.EXE" : "")
                << c.Name;
            EXPECT_EQ(Window->Project()->Value(entry::OutputType), c.Built ? "EXE" : "VLM")
                << c.Name;
            EXPECT_TRUE(Dialogs.Messages.empty()) << c.Name;
        } else {
            ASSERT_EQ(Dialogs.Messages.size(), 1u) << c.Name;
            EXPECT_EQ(Dialogs.Messages[0].Kind, ui::TMsgKind::Warning) << c.Name;
            EXPECT_EQ(Dialogs.Messages[0].Text, "The file \"site.vlm\" already exists.\r"
                                                "Do you want to replace existing file?")
                << c.Name;
            EXPECT_EQ(ReadFile(existing) == "old output", !c.Built) << c.Name;
        }
        EXPECT_TRUE(NoProgressWindowLeft()) << c.Name;
        Window.reset();
    }
}

TEST_F(BuildFromWindow, AFailedBuildShowsFinishedAndThenTheError) {
    DeleteFile(ProgramDir / "VLMView.exe");
    OpenSiteProject(Dir / "out/site.exe");
    size_t messagesAtFinished = 99;
    Dialogs.HandleDialog([&](QDialog&) {
        messagesAtFinished = Dialogs.Messages.size();
        return int(ui::mrCancel);
    });
    Trigger("actFileBuild");
    EXPECT_EQ(messagesAtFinished, 0u) << "the Finished window comes first";
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0].Kind, ui::TMsgKind::Error);
    EXPECT_TRUE(Dialogs.Messages[0].Text.startsWith(
        Q("Cannot open file \"" + (ProgramDir / "VLMView.exe") + "\"")))
        << Dialogs.Messages[0].Text.toStdString();
    EXPECT_TRUE(Window->isEnabled());
    EXPECT_TRUE(NoProgressWindowLeft());
}

} // namespace
} // namespace vlm::test
