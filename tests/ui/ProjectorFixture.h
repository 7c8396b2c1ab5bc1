// A main window started the way the program starts it, with the program folder pointed at
// a folder of the test's and every dialog answered from a script.
#pragma once

#include "ScriptedDialogs.h"
#include "TestSupport.h"

#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "project/UProject.h"
#include "ui/FProjector.h"
#include "ui/UFrameViewer.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>
#include <memory>

namespace vlm::test {

class ProjectorTest : public ::testing::Test {
protected:
    void SetUp() override { SetProgramFolder(ProgramDir.Path()); }
    void TearDown() override {
        Window.reset();
        SetProgramFolder("");
    }

    // Creates the main window and runs its start-up with args; waits for the preview when
    // the start-up loads a page.
    ui::TfmProjector& Start(const QStringList& args = {}) {
        Window = std::make_unique<ui::TfmProjector>();
        QSignalSpy loaded(Window->Viewer(), &QWebEngineView::loadFinished);
        Window->FormCreate(args);
        if (!Window->Viewer()->CurrentFile().isEmpty()) {
            EXPECT_TRUE(WaitUntil([&] { return loaded.count() > 0; })) << "the preview loads";
        }
        return *Window;
    }

    ui::TAction* Action(const char* name) const {
        auto* action = Window->findChild<ui::TAction*>(QString::fromLatin1(name));
        EXPECT_NE(action, nullptr) << name;
        return action;
    }

    // Runs a command as the user does: after the window went idle (which updates the
    // enabling), through the action's trigger. Waits for a page it starts to load.
    void Trigger(const char* name, bool waitForLoad = false) {
        QSignalSpy loaded(Window->Viewer(), &QWebEngineView::loadFinished);
        GoIdle();
        Action(name)->trigger();
        if (waitForLoad) {
            EXPECT_TRUE(WaitUntil([&] { return loaded.count() > 0; })) << name << " loads a page";
        }
    }

    // A small site: index.htm links to page2.htm (also in a new window) and shows an image.
    std::string WriteSite() {
        WriteFile(Dir / "site/index.htm",
                  "<html><body><h1>Home</h1><img src=\"logo.gif\">"
                  "<a id=\"next\" href=\"page2.htm\">next</a> "
                  "<a id=\"popup\" href=\"page2.htm\" target=\"_blank\">popup</a>"
                  "</body></html>");
        WriteFile(Dir / "site/page2.htm",
                  "<html><body><a href=\"index.htm\">back</a></body></html>");
        WriteFile(Dir / "site/logo.gif", "GIF89a");
        return Dir / "site/index.htm";
    }

    // A saved project whose home page is homePage (none when empty).
    std::string WriteProject(const std::string& name, const std::string& homePage,
                             const std::string& extra = {}) {
        std::string text = extra + "OutputType=VLM\r\n"; // extra's lines come first and win
        if (!homePage.empty())
            text += "HomePage=" + homePage + "\r\n";
        WriteFile(Dir / name, text);
        return Dir / name;
    }

    // Lets the event loop go idle once, which re-evaluates every command's enabling.
    static void GoIdle() {
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }

    // The names of the enabled commands, sorted, after the window went idle.
    QStringList EnabledActions() const {
        GoIdle();
        QStringList names;
        for (const ui::TAction* action : Window->ActionList()->Actions()) {
            if (action->isEnabled())
                names << action->objectName();
        }
        names.sort();
        return names;
    }

    QString Q(const std::string& text) const { return QString::fromStdString(text); }

    TTempDir ProgramDir;
    TTempDir Dir;
    TScriptedDialogs Dialogs;
    std::unique_ptr<ui::TfmProjector> Window;
};

} // namespace vlm::test
