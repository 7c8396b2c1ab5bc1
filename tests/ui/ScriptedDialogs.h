// A dialog service for tests: it answers from a script (the next button, the next file
// name, the next dialog result) and records every question, dialog, opening and program
// start. An unscripted question or dialog fails the test.
#pragma once

#include "QtPrinters.h"
#include "ui/UDialogService.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace vlm::test {

class TScriptedDialogs : public ui::TDialogService {
public:
    struct TMessage {
        ui::TMsgKind Kind;
        QString Title;
        QString Text;
        ui::TMsgButtons Buttons;
    };
    struct TDialogCall {
        QString Name;
        QString Title;
    };
    struct TProgramCall {
        QString Program;
        QStringList Arguments;
    };
    using TDialogHandler = std::function<int(QDialog&)>;

    // Installs itself as the program's dialog service; the destructor restores the Qt one.
    TScriptedDialogs();
    ~TScriptedDialogs() override;

    // The script.
    void Answer(ui::TModalResult result) { Answers.push_back(result); }
    void ChooseFile(const QString& fileName) { FileNames.emplace_back(fileName); }
    void CancelFileDialog() { FileNames.emplace_back(std::nullopt); }
    void HandleDialog(TDialogHandler handler) { DialogHandlers.push_back(std::move(handler)); }
    void HandleDialog(int result) {
        HandleDialog([result](QDialog&) { return result; });
    }
    // The next program start fails with reason (else every start succeeds).
    void FailStart(const QString& reason) { StartFailures.push_back(reason); }

    // What happened.
    std::vector<TMessage> Messages;
    std::vector<ui::TFileDialogSpec> FileDialogs;
    std::vector<TDialogCall> Dialogs;
    std::vector<QUrl> OpenedUrls;
    std::vector<TProgramCall> StartedPrograms;

    std::deque<ui::TModalResult> Answers;
    std::deque<std::optional<QString>> FileNames;
    std::deque<TDialogHandler> DialogHandlers;
    std::deque<QString> StartFailures;

    ui::TModalResult MessageBox(QWidget* owner, ui::TMsgKind kind, const QString& text,
                                ui::TMsgButtons buttons) override;
    bool ExecFileDialog(QWidget* owner, const ui::TFileDialogSpec& spec,
                        QString& fileName) override;
    int ExecDialog(QDialog& dialog) override;
    void OpenUrl(QWidget* owner, const QUrl& url) override;
    QString StartProgram(const QString& program, const QStringList& arguments) override;
};

// Processes events until done() or, as a safety net against a hang, a generous deadline;
// returns done().
bool WaitUntil(const std::function<bool()>& done);

} // namespace vlm::test
