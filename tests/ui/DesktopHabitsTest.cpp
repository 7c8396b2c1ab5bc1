// What the main window remembers between runs (recent projects, its geometry, the folders of
// its file dialogs), Help with the packed manual, and the shortcuts in the tool bar's hints.
#include "ProjectorFixture.h"

#include "ui/UApplication.h"
#include "ui/UDesktopHabits.h"

#include <QApplication>
#include <QHelpEvent>
#include <QIcon>
#include <QMenu>
#include <QSettings>
#include <QToolBar>

namespace vlm::test {
namespace {

using ui::TRecentProjects;

class DesktopHabitsTest : public ProjectorTest {
protected:
    void SetUp() override {
        ProjectorTest::SetUp();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Q(SettingsDir.Path()));
    }

    // The Reopen menu as it shows: its items' captions and the paths they open.
    QMenu* Reopen() const { return Window->findChild<QMenu*>(QStringLiteral("miReopen")); }
    QStringList ReopenItems() const {
        emit Reopen()->aboutToShow();
        QStringList items;
        for (const QAction* item : Reopen()->actions())
            items << item->text() + QStringLiteral(" = ") + item->data().toString();
        return items;
    }

    TTempDir SettingsDir;
};

TEST_F(DesktopHabitsTest, ReopenListsOpenedAndSavedProjectsNewestFirst) {
    const std::string a = WriteProject("a.vlp", ""), b = WriteProject("b&c.vlp", "");
    Start({Q(a)});
    Dialogs.ChooseFile(Q(b));
    Trigger("actFileOpen");
    Dialogs.ChooseFile(Q(Dir / "saved.vlp"));
    Trigger("actFileSaveAs");
    EXPECT_EQ(ReopenItems(), QStringList({"&1 saved.vlp = " + Q(Dir / "saved.vlp"),
                                          "&2 b&&c.vlp = " + Q(b), "&3 a.vlp = " + Q(a)}));

    // A project that no longer exists leaves the list; choosing an item opens its project.
    DeleteFile(Dir / "saved.vlp");
    const QStringList items = ReopenItems();
    ASSERT_EQ(items.size(), 2);
    EXPECT_TRUE(items[0].startsWith("&1 b&&c.vlp"));
    Reopen()->actions()[1]->trigger();
    ASSERT_NE(Window->Project(), nullptr);
    EXPECT_EQ(Q(Window->Project()->FileName()), Q(a));
    EXPECT_EQ(TRecentProjects::Files(), QStringList({Q(a), Q(b)}));
    EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(DesktopHabitsTest, ReopenKeepsEightAndIsDisabledWhenEmpty) {
    Start();
    ReopenItems();
    EXPECT_FALSE(Reopen()->isEnabled()) << "nothing to reopen yet";
    QStringList written;
    for (int i = 0; i < 10; ++i)
        written.prepend(Q(WriteProject("p" + std::to_string(i) + ".vlp", "")));
    for (auto it = written.crbegin(); it != written.crend(); ++it)
        TRecentProjects::Add(*it);
    TRecentProjects::Add(written[3]); // again: moves to the top, not listed twice
    QStringList expected = written.mid(0, 8);
    expected.move(3, 0);
    EXPECT_EQ(TRecentProjects::Files(), expected);
    EXPECT_EQ(ReopenItems().size(), 8);
    EXPECT_TRUE(Reopen()->isEnabled());
}

TEST_F(DesktopHabitsTest, AProjectThatCannotBeReopenedIsShownAndForgotten) {
    const std::string a = WriteProject("a.vlp", "");
    Start({Q(a)});
    ReopenItems();
    QAction* item = Reopen()->actions().value(0);
    ASSERT_NE(item, nullptr);
    // Gone between showing the menu and choosing the item, or now a folder.
    DeleteFile(a);
    CreateDir(a);
    item->trigger();
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0].Kind, ui::TMsgKind::Error);
    EXPECT_TRUE(Dialogs.Messages[0].Text.contains(Q(a))) << Dialogs.Messages[0].Text.toStdString();
    EXPECT_TRUE(TRecentProjects::Files().isEmpty());
}

TEST_F(DesktopHabitsTest, TheWindowComesBackWithItsLastGeometry) {
    Start();
    EXPECT_FALSE(ui::RestoreWindowGeometry(*Window)) << "nothing stored yet";
    Window->setGeometry(40, 50, 720, 530);
    Window->show();
    ASSERT_TRUE(Window->close());
    Start();
    EXPECT_TRUE(ui::RestoreWindowGeometry(*Window));
    EXPECT_EQ(Window->size(), QSize(720, 530));
}

TEST_F(DesktopHabitsTest, EachFileDialogStartsInItsOwnLastFolder) {
    const std::string a = WriteProject("one/a.vlp", "");
    WriteFile(Dir / "two/index.htm", "<html></html>");
    Start();
    Dialogs.ChooseFile(Q(a));
    Trigger("actFileOpen");
    Dialogs.CancelFileDialog();
    Trigger("actFileOpen");
    Dialogs.ChooseFile(Q(Dir / "two/index.htm"));
    Trigger("actFileSelectHomePage", true);
    Dialogs.Answer(ui::mrNo); // the changed home page is not saved
    Trigger("actFileNewBlank");
    Dialogs.CancelFileDialog(); // Save As of a new project names no folder of its own
    Trigger("actFileSaveAs");
    ASSERT_EQ(Dialogs.FileDialogs.size(), 4u);
    const struct {
        const char* Name;
        std::string InitialDir;
    } expected[] = {{"OpenDialog", ""},
                    {"OpenDialog", Dir / "one"},
                    {"HomePageDialog", ""},
                    {"SaveDialog", ""}};
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(Dialogs.FileDialogs[i].Name, expected[i].Name) << i;
        EXPECT_EQ(Dialogs.FileDialogs[i].InitialDir, Q(expected[i].InitialDir)) << i;
    }
    EXPECT_EQ(ui::RememberedFolder("HomePageDialog"), Q(Dir / "two"));
}

TEST_F(DesktopHabitsTest, HelpShowsTheHelpFileElseThePackedManualInTheViewer) {
    const std::string stem = ProgramDir / ExtractFileName(ProgramPath());
    const std::string chm = ChangeFileExt(stem, ".chm"), manual = ChangeFileExt(stem, ".vlm");
    const struct {
        bool Chm, Manual;
        const char* Opens; // "chm", "manual" or "" (Help disabled)
    } cases[] = {
        {false, false, ""}, {false, true, "manual"}, {true, true, "chm"}, {true, false, "chm"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "chm " << c.Chm << ", manual " << c.Manual);
        DeleteFile(chm);
        DeleteFile(manual);
        if (c.Chm)
            WriteFile(chm, "help");
        if (c.Manual)
            WriteFile(manual, "PL\3\4");
        Dialogs.OpenedUrls.clear();
        Dialogs.StartedPrograms.clear();
        Start();
        EXPECT_EQ(EnabledActions().contains("actHelpHelp"), *c.Opens != '\0');
        Trigger("actHelpHelp");
        const std::string opens = c.Opens;
        EXPECT_EQ(Dialogs.OpenedUrls.size(), opens == "chm" ? 1u : 0u);
        ASSERT_EQ(Dialogs.StartedPrograms.size(), opens == "manual" ? 1u : 0u);
        if (opens == "manual") {
            EXPECT_EQ(Dialogs.StartedPrograms[0].Program, Q(ProgramDir / "VLMView.exe"));
            EXPECT_EQ(Dialogs.StartedPrograms[0].Arguments, QStringList({Q(manual)}));
        }
        Window.reset();
    }
}

TEST_F(DesktopHabitsTest, ToolButtonHintsShowTheShortcuts) {
    Start();
    const auto* bar = Window->findChild<QToolBar*>(QStringLiteral("ToolBar"));
    const struct {
        const char* Button;
        QString Hint;
    } cases[] = {
        {"tbOpen",
         "Open (" + QKeySequence(QKeySequence::Open).toString(QKeySequence::NativeText) + ")"},
        {"tbBuild", "Build (" +
                        QKeySequence(QStringLiteral("Ctrl+F9")).toString(QKeySequence::NativeText) +
                        ")"},
        {"tbAbout", "About"},
    };
    for (const auto& c : cases) {
        auto* button = bar->findChild<QWidget*>(QString::fromLatin1(c.Button));
        ASSERT_NE(button, nullptr) << c.Button;
        QHelpEvent event(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(button, &event);
        EXPECT_EQ(button->toolTip(), c.Hint) << c.Button;
    }
    EXPECT_EQ(Action("actFileOpen")->toolTip(), "Open") << "the action's own hint stays";
}

TEST(DesktopIdentity, TheProgramsIconsRender) {
    ui::SetUpDesktopIdentity();
    EXPECT_FALSE(QApplication::windowIcon().pixmap(32, 32).isNull());
    EXPECT_FALSE(QIcon(QStringLiteral(":/icons/VLMView.svg")).pixmap(48, 48).isNull());
}

} // namespace
} // namespace vlm::test
