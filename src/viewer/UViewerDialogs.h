// Everything the viewer asks of the user or hands to the desktop goes through this
// service: message boxes, the password question, file and print dialogs, opening web and
// mail addresses. The program uses the Qt service; tests install a scripted one, so no
// test ever waits for a human.
#pragma once

#include <QString>

#include <memory>

class QDialog;

class QPrinter;
class QUrl;
class QWidget;

namespace vlm::viewer {

enum class TViewerMsg { Error, Warning, Information };

class TViewerDialogs {
public:
    virtual ~TViewerDialogs() = default;
    virtual void Message(QWidget* owner, TViewerMsg kind, const QString& title,
                         const QString& text) = 0;
    // A masked text question; false when the user cancels.
    virtual bool AskPassword(QWidget* owner, const QString& title, const QString& prompt,
                             QString& answer) = 0;
    // An open or save dialog with a "Description (*.ext)" filter; false when cancelled.
    virtual bool FileName(QWidget* owner, bool save, const QString& title, const QString& filter,
                          QString& fileName) = 0;
    // The platform's print dialog; false when cancelled.
    virtual bool Print(QWidget* owner, QPrinter& printer) = 0;
    virtual void OpenUrl(const QUrl& url) = 0;
};

// The Qt service's dialogs, made but not shown (tests look at them). Texts from an archive
// are shown as plain text; a message too long for a box scrolls in a dialog that fits the
// screen.
std::unique_ptr<QDialog> MakeMessageDialog(QWidget* owner, TViewerMsg kind, const QString& title,
                                           const QString& text);
// A masked line edit (objectName "edPassword") under the prompt.
std::unique_ptr<QDialog> MakePasswordDialog(QWidget* owner, const QString& title,
                                            const QString& prompt);
// Hands a web or mail address to the desktop's browser or mail program: the platform's
// opener, else (a session without one, such as an offscreen one) xdg-open.
void OpenOnDesktop(const QUrl& url);

// A tool tip that shows text as it is (tool tips otherwise take text that looks like markup
// for markup).
QString PlainToolTip(const QString& text);

// The service in use: the one installed last, else the Qt one.
TViewerDialogs& ViewerDialogs();
// Installs a service (tests); nullptr restores the Qt one. The caller keeps ownership.
void SetViewerDialogs(TViewerDialogs* service);

} // namespace vlm::viewer
