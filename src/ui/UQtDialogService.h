// The dialog service of the running program: Qt message boxes and file dialogs, exec() of
// our own dialogs, the desktop's opener and detached programs.
#pragma once

#include "ui/UDialogService.h"

namespace vlm::ui {

class TQtDialogService : public TDialogService {
public:
    TModalResult MessageBox(QWidget* owner, TMsgKind kind, const QString& text,
                            TMsgButtons buttons) override;
    bool ExecFileDialog(QWidget* owner, const TFileDialogSpec& spec, QString& fileName) override;
    int ExecDialog(QDialog& dialog) override;
    void OpenUrl(QWidget* owner, const QUrl& url) override;
    QString StartProgram(const QString& program, const QStringList& arguments) override;
};

// Turns a "description|pattern|..." filter into Qt name filters. Each keeps its description
// as shown and gets its masks appended in the form Qt reads, "(*.htm *.html)", which the
// dialog hides again (QFileDialog::HideNameFilterDetails).
QStringList QtNameFilters(const QString& filter);

} // namespace vlm::ui
