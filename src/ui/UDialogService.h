// Everything a window asks of the user or hands to the desktop goes through this service:
// message boxes, file dialogs, modal showing of our own dialogs, opening documents and web
// addresses, and starting programs. The program uses TQtDialogService; tests put a scripted
// service in its place, so every command, also the ones that ask, runs without a human.
#pragma once

#include <QFlags>
#include <QString>
#include <QStringList>

class QDialog;
class QUrl;
class QWidget;

namespace vlm::ui {

// The kinds of message boxes: their titles are "Warning", "Error", "Confirm" and
// "Information"; a plain message has no icon and carries the application title.
enum class TMsgKind { Warning, Error, Information, Confirm, Plain };

enum class TMsgButton { OK = 1, Cancel = 2, Yes = 4, No = 8 };
Q_DECLARE_FLAGS(TMsgButtons, TMsgButton)

// The result of a modal showing. The values match QDialog::Rejected (Cancel) and
// QDialog::Accepted (OK), so a dialog's exec() result reads directly as one of them.
enum TModalResult : int { mrNone = -1, mrCancel = 0, mrOK = 1, mrYes = 2, mrNo = 3 };

// A common open or save dialog. Filter is pairs of description and pattern separated by
// "|", e.g. "Project files (*.vlp)|*.vlp|All Files (*.*)|*.*"; a pattern may list several
// masks separated by ";".
struct TFileDialogSpec {
    QString Name; // the dialog's name, e.g. "OpenDialog" (tests tell the dialogs apart by it)
    QString Title;
    QString Filter;
    int FilterIndex = 1; // the filter entry selected when the dialog opens, counted from 1
    QString DefaultExt;  // without the dot; appended when the typed name has no extension
    QString InitialDir;
    QString FileName;
    bool Save = false;            // a save dialog rather than an open dialog
    bool MustExist = false;       // the path and the file must exist
    bool OverwritePrompt = false; // ask before choosing an existing file (save dialogs)
};

class TDialogService {
public:
    virtual ~TDialogService() = default;

    // Shows a message box with the given buttons (the first one is the default) and returns
    // the button pressed as mrOK, mrCancel, mrYes or mrNo. A "\r" in text is a line break.
    virtual TModalResult MessageBox(QWidget* owner, TMsgKind kind, const QString& text,
                                    TMsgButtons buttons) = 0;
    // Shows a file dialog; false when the user cancels, else fileName holds the full path.
    virtual bool ExecFileDialog(QWidget* owner, const TFileDialogSpec& spec, QString& fileName) = 0;
    // Shows one of our own dialogs modally and returns its result.
    virtual int ExecDialog(QDialog& dialog) = 0;
    // Hands a document or a web address to the desktop's opener; the result is ignored.
    virtual void OpenUrl(QWidget* owner, const QUrl& url) = 0;
    // Starts a program with its arguments, detached. Returns the empty text when it started,
    // else the system's reason ("No such file or directory"); showing it is the caller's
    // choice.
    virtual QString StartProgram(const QString& program, const QStringList& arguments) = 0;
};

// The application title: the product name, or the open project's name and the product name
// (the main window keeps it up to date). Plain messages carry it as their caption.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

// The title of a message box of the given kind.
QString MessageTitle(TMsgKind kind);

// The dialog service the program runs with: the one installed last, else a TQtDialogService.
TDialogService& Dialogs();
// Installs a service (tests); nullptr restores the Qt one. The caller keeps ownership.
void SetDialogs(TDialogService* service);

} // namespace vlm::ui

Q_DECLARE_OPERATORS_FOR_FLAGS(vlm::ui::TMsgButtons)
