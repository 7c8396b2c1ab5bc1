#include "viewer/UViewerDialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QUrl>

namespace vlm::viewer {

namespace {

class TQtViewerDialogs : public TViewerDialogs {
public:
    void Message(QWidget* owner, TViewerMsg kind, const QString& title,
                 const QString& text) override {
        const QMessageBox::Icon icon = kind == TViewerMsg::Error     ? QMessageBox::Critical
                                       : kind == TViewerMsg::Warning ? QMessageBox::Warning
                                                                     : QMessageBox::Information;
        QMessageBox box(icon, title, text, QMessageBox::Ok, owner);
        box.exec();
    }
    bool AskPassword(QWidget* owner, const QString& title, const QString& prompt,
                     QString& answer) override {
        bool ok = false;
        answer = QInputDialog::getText(owner, title, prompt, QLineEdit::Password, {}, &ok);
        return ok;
    }
    bool FileName(QWidget* owner, bool save, const QString& title, const QString& filter,
                  QString& fileName) override {
        const QString chosen = save ? QFileDialog::getSaveFileName(owner, title, fileName, filter)
                                    : QFileDialog::getOpenFileName(owner, title, fileName, filter);
        if (chosen.isEmpty())
            return false;
        fileName = chosen;
        return true;
    }
    bool Print(QWidget* owner, QPrinter& printer) override {
        QPrintDialog dialog(&printer, owner);
        return dialog.exec() == QDialog::Accepted;
    }
    void OpenUrl(const QUrl& url) override { QDesktopServices::openUrl(url); }
};

TViewerDialogs* Installed = nullptr;

} // namespace

TViewerDialogs& ViewerDialogs() {
    static TQtViewerDialogs qtService;
    return Installed ? *Installed : qtService;
}

void SetViewerDialogs(TViewerDialogs* service) {
    Installed = service;
}

} // namespace vlm::viewer
