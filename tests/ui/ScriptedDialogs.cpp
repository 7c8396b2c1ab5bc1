#include "ScriptedDialogs.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

namespace vlm::test {

using namespace vlm::ui;

TScriptedDialogs::TScriptedDialogs() {
    SetDialogs(this);
}

TScriptedDialogs::~TScriptedDialogs() {
    SetDialogs(nullptr);
    EXPECT_TRUE(Answers.empty()) << Answers.size() << " scripted answers were not asked for";
    EXPECT_TRUE(FileNames.empty()) << FileNames.size() << " scripted file names were not used";
    EXPECT_TRUE(DialogHandlers.empty()) << DialogHandlers.size() << " dialogs were not shown";
    EXPECT_TRUE(StartFailures.empty()) << StartFailures.size() << " failures were not met";
}

TModalResult TScriptedDialogs::MessageBox(QWidget* /*owner*/, TMsgKind kind, const QString& text,
                                          TMsgButtons buttons) {
    Messages.push_back({kind, MessageTitle(kind), text, buttons});
    if (buttons == TMsgButtons(TMsgButton::OK) && Answers.empty())
        return mrOK; // a message to acknowledge, not a question
    if (Answers.empty()) {
        ADD_FAILURE() << "unscripted question: " << text.toStdString();
        return buttons.testFlag(TMsgButton::Cancel) ? mrCancel : mrNo;
    }
    const TModalResult answer = Answers.front();
    Answers.pop_front();
    return answer;
}

bool TScriptedDialogs::ExecFileDialog(QWidget* /*owner*/, const TFileDialogSpec& spec,
                                      QString& fileName) {
    FileDialogs.push_back(spec);
    if (FileNames.empty()) {
        ADD_FAILURE() << "unscripted file dialog " << spec.Name.toStdString();
        return false;
    }
    const std::optional<QString> next = FileNames.front();
    FileNames.pop_front();
    if (!next)
        return false;
    fileName = *next;
    return true;
}

int TScriptedDialogs::ExecDialog(QDialog& dialog) {
    Dialogs.push_back({dialog.objectName(), dialog.windowTitle()});
    if (DialogHandlers.empty()) {
        ADD_FAILURE() << "unscripted dialog " << dialog.objectName().toStdString();
        return QDialog::Rejected;
    }
    const TDialogHandler handler = DialogHandlers.front();
    DialogHandlers.pop_front();
    return handler(dialog);
}

void TScriptedDialogs::OpenUrl(QWidget* /*owner*/, const QUrl& url) {
    OpenedUrls.push_back(url);
}

QString TScriptedDialogs::StartProgram(const QString& program, const QStringList& arguments) {
    StartedPrograms.push_back({program, arguments});
    if (StartFailures.empty())
        return {};
    const QString reason = StartFailures.front();
    StartFailures.pop_front();
    return reason;
}

bool WaitUntil(const std::function<bool()>& done) {
    QDeadlineTimer deadline(60000);
    while (!done() && !deadline.hasExpired()) {
        // A real event loop turn, which also lets the idle-time updates run.
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

} // namespace vlm::test
