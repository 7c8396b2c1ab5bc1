// The window framework: actions and their idle-time updates, the command wrapper, message
// titles, file-dialog filters and the throttle of message processing.
#include "ScriptedDialogs.h"
#include "TestSupport.h"

#include "platform/UErrors.h"
#include "ui/UActionList.h"
#include "ui/UQtDialogService.h"

#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>

using namespace vlm;
using namespace vlm::ui;
using vlm::test::TScriptedDialogs;

namespace {

// Lets the event loop run until it waits once, as it does whenever the program is idle.
void GoIdle() {
    QEventLoop loop;
    QTimer::singleShot(1, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST(Framework, UpdateHandlersRunWhenTheEventLoopGoesIdle) {
    QWidget owner;
    TActionList list(&owner);
    bool allowed = false;
    TAction* action = list.Add(
        {"actTest", "&Test", "Test", QKeySequence()}, [] {}, [&] { return allowed; });
    EXPECT_FALSE(action->isEnabled());
    allowed = true;
    EXPECT_FALSE(action->isEnabled()) << "nothing re-evaluates before the loop is idle";
    GoIdle();
    EXPECT_TRUE(action->isEnabled());
    allowed = false;
    GoIdle();
    EXPECT_FALSE(action->isEnabled());
}

TEST(Framework, ExecuteFromCodeReevaluatesTheEnablingFirst) {
    QWidget owner;
    TActionList list(&owner);
    bool allowed = true;
    int runs = 0;
    TAction* action = list.Add(
        {"actTest", "&Test", "Test", QKeySequence()}, [&] { ++runs; }, [&] { return allowed; });
    allowed = false; // stale: the action still shows enabled
    ASSERT_TRUE(action->isEnabled());
    EXPECT_FALSE(action->Execute());
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(action->isEnabled());
    allowed = true;
    EXPECT_TRUE(action->Execute());
    EXPECT_EQ(runs, 1);
}

TEST(Framework, ActionCarriesCaptionHintAndShortcut) {
    QWidget owner;
    TActionList list(&owner);
    list.Add({"actFileOpen", "&Open...", "Open", QKeySequence(QStringLiteral("Ctrl+O"))}, [] {});
    TAction* action = list.Find(QStringLiteral("actFileOpen"));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->objectName(), "actFileOpen");
    EXPECT_EQ(action->text(), "&Open...");
    EXPECT_EQ(action->toolTip(), "Open");
    EXPECT_EQ(action->statusTip(), "Open");
    EXPECT_EQ(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(list.Find(QStringLiteral("actNone")), nullptr);
}

TEST(Framework, TheCommandWrapperSwallowsTheAbortAndShowsOtherErrors) {
    const struct {
        const char* Name;
        std::function<void()> Command;
        bool Completed;
        const char* Shown; // nullptr: no message
    } cases[] = {
        {"ends normally", [] {}, true, nullptr},
        {"silent abort", [] { throw EAbort(); }, false, nullptr},
        {"file error", [] { throw EFOpenError("/x/p.vlp", ENOENT); }, false,
         "Cannot open file \"/x/p.vlp\". No such file or directory"},
        {"any exception", [] { throw std::runtime_error("Stream write error"); }, false,
         "Stream write error"},
    };
    for (const auto& c : cases) {
        TScriptedDialogs dialogs;
        EXPECT_EQ(RunCommand(nullptr, c.Command), c.Completed) << c.Name;
        if (!c.Shown) {
            EXPECT_TRUE(dialogs.Messages.empty()) << c.Name;
            continue;
        }
        ASSERT_EQ(dialogs.Messages.size(), 1u) << c.Name;
        EXPECT_EQ(dialogs.Messages[0].Kind, TMsgKind::Error) << c.Name;
        EXPECT_EQ(dialogs.Messages[0].Title, "Error") << c.Name;
        EXPECT_EQ(dialogs.Messages[0].Text, c.Shown) << c.Name;
        EXPECT_EQ(dialogs.Messages[0].Buttons, TMsgButtons(TMsgButton::OK)) << c.Name;
    }
}

TEST(Framework, ATriggeredActionRunsInsideTheWrapper) {
    QWidget owner;
    TActionList list(&owner);
    TAction* failing = list.Add({"actFail", "&Fail", "Fail", QKeySequence()},
                                [] { throw EVlmError("it failed"); });
    TAction* aborting =
        list.Add({"actAbort", "&Abort", "Abort", QKeySequence()}, [] { throw EAbort(); });
    TScriptedDialogs dialogs;
    aborting->trigger();
    EXPECT_TRUE(dialogs.Messages.empty());
    failing->trigger();
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Text, "it failed");
}

TEST(Framework, ALinkedItemHasItsOwnCaptionAndFollowsItsAction) {
    QWidget owner;
    TActionList list(&owner);
    bool allowed = true;
    int runs = 0;
    TAction* action = list.Add(
        {"actHelpHomePageCompany", "&Company Home Page", "Company Home Page", QKeySequence()},
        [&] { ++runs; }, [&] { return allowed; });
    QAction* item = list.AddLinkedItem("miHelpHomePage", QStringLiteral("Home &Page"), action);
    EXPECT_EQ(item->objectName(), "miHelpHomePage");
    EXPECT_EQ(item->text(), "Home &Page");
    EXPECT_EQ(item->statusTip(), "Company Home Page");
    item->trigger();
    EXPECT_EQ(runs, 1);
    allowed = false;
    list.UpdateAll();
    EXPECT_FALSE(item->isEnabled());
}

TEST(Framework, MessageTitlesFollowTheKind) {
    SetApplicationTitle(QStringLiteral("p.vlp - Vellumar(R) Packer"));
    const struct {
        TMsgKind Kind;
        const char* Title;
    } cases[] = {
        {TMsgKind::Warning, "Warning"},
        {TMsgKind::Error, "Error"},
        {TMsgKind::Confirm, "Confirm"},
        {TMsgKind::Information, "Information"},
        {TMsgKind::Plain, "p.vlp - Vellumar(R) Packer"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MessageTitle(c.Kind), c.Title);
    SetApplicationTitle(QStringLiteral("Vellumar(R) Packer"));
}

TEST(Framework, FileDialogFiltersKeepTheirDescriptions) {
    const struct {
        const char* Filter;
        QStringList Expected;
    } cases[] = {
        {"Project files (*.vlp)|*.vlp|All Files (*.*)|*.*",
         {"Project files (*.vlp) (*.vlp)", "All Files (*.*) (*)"}},
        {"HTML Files (*.htm; *.html)|*.htm;*.html|All Files (*.*)|*.*",
         {"HTML Files (*.htm; *.html) (*.htm *.html)", "All Files (*.*) (*)"}},
        {"Executable Files (*.exe)|*.exe|Vellumar Files (*.vlm)|*.vlm",
         {"Executable Files (*.exe) (*.exe)", "Vellumar Files (*.vlm) (*.vlm)"}},
        {"", {}},
        {"Lonely description", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QtNameFilters(QString::fromUtf8(c.Filter)), c.Expected) << c.Filter;
}

// The desktop's program starter: a program runs with its arguments, one that cannot start
// gives the system's reason and nothing else.
TEST(Framework, AStartedProgramRunsOrGivesTheReason) {
    vlm::test::TTempDir dir;
    const std::string program = dir / "program.exe";
    vlm::test::WriteFile(program,
                         "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/started\"\n");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    vlm::test::WriteFile(dir / "plain.txt", "a file, not a folder");
    const struct {
        std::string Program;
        QString Reason;
    } cases[] = {
        {program, {}},
        {dir / "missing.exe", QStringLiteral("No such file or directory")},
        {dir / "plain.txt/program.exe", QStringLiteral("Not a directory")},
    };
    TQtDialogService service;
    for (const auto& c : cases) {
        EXPECT_EQ(service.StartProgram(QString::fromStdString(c.Program), {QStringLiteral("x y")}),
                  c.Reason)
            << c.Program;
    }
    // The program got its argument; the other two left nothing behind.
    const std::string started = dir / "started";
    EXPECT_TRUE(vlm::test::WaitUntil(
        [&] { return vlm::test::PathExists(started) && vlm::test::ReadFile(started) == "x y"; }));
}

} // namespace
