#include "viewer/UViewerDialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QScreen>
#include <QStyle>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

namespace vlm::viewer {

namespace {

// Longer messages (a site's warning can be pages long) scroll instead of growing the box
// past the screen.
constexpr qsizetype LongMessageChars = 1200;
constexpr qsizetype LongMessageLines = 20;

QMessageBox::Icon IconOf(TViewerMsg kind) {
    return kind == TViewerMsg::Error     ? QMessageBox::Critical
           : kind == TViewerMsg::Warning ? QMessageBox::Warning
                                         : QMessageBox::Information;
}

std::unique_ptr<QDialog> MakeScrolledMessage(QWidget* owner, TViewerMsg kind, const QString& title,
                                             const QString& text) {
    auto dialog = std::make_unique<QDialog>(owner);
    dialog->setWindowTitle(title);
    auto* layout = new QVBoxLayout(dialog.get());
    auto* icon = new QLabel(dialog.get());
    const QStyle::StandardPixmap pixmap = kind == TViewerMsg::Error ? QStyle::SP_MessageBoxCritical
                                          : kind == TViewerMsg::Warning
                                              ? QStyle::SP_MessageBoxWarning
                                              : QStyle::SP_MessageBoxInformation;
    icon->setPixmap(dialog->style()->standardIcon(pixmap).pixmap(32, 32));
    layout->addWidget(icon);
    auto* body = new QPlainTextEdit(text, dialog.get());
    body->setObjectName(QStringLiteral("edMessage"));
    body->setReadOnly(true);
    layout->addWidget(body, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dialog.get());
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog.get(), &QDialog::accept);
    layout->addWidget(buttons);
    const QScreen* screen =
        owner && owner->screen() ? owner->screen() : QApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
    dialog->resize(QSize(640, 480).boundedTo(area.size() * 9 / 10));
    dialog->setMaximumSize(area.size());
    return dialog;
}

class TQtViewerDialogs : public TViewerDialogs {
public:
    void Message(QWidget* owner, TViewerMsg kind, const QString& title,
                 const QString& text) override {
        MakeMessageDialog(owner, kind, title, text)->exec();
    }
    bool AskPassword(QWidget* owner, const QString& title, const QString& prompt,
                     QString& answer) override {
        const std::unique_ptr<QDialog> dialog = MakePasswordDialog(owner, title, prompt);
        if (dialog->exec() != QDialog::Accepted)
            return false;
        answer = dialog->findChild<QLineEdit*>(QStringLiteral("edPassword"))->text();
        return true;
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
    void OpenUrl(const QUrl& url) override { OpenOnDesktop(url); }
};

TViewerDialogs* Installed = nullptr;

} // namespace

std::unique_ptr<QDialog> MakeMessageDialog(QWidget* owner, TViewerMsg kind, const QString& title,
                                           const QString& text) {
    if (text.size() > LongMessageChars || text.count(QLatin1Char('\n')) >= LongMessageLines)
        return MakeScrolledMessage(owner, kind, title, text);
    auto box = std::make_unique<QMessageBox>(IconOf(kind), title, text, QMessageBox::Ok, owner);
    box->setTextFormat(Qt::PlainText);
    return box;
}

std::unique_ptr<QDialog> MakePasswordDialog(QWidget* owner, const QString& title,
                                            const QString& prompt) {
    auto dialog = std::make_unique<QDialog>(owner);
    dialog->setWindowTitle(title);
    auto* layout = new QVBoxLayout(dialog.get());
    auto* label = new QLabel(prompt, dialog.get());
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
    auto* edit = new QLineEdit(dialog.get());
    edit->setObjectName(QStringLiteral("edPassword"));
    edit->setEchoMode(QLineEdit::Password);
    layout->addWidget(edit);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog.get());
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog.get(), &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog.get(), &QDialog::reject);
    layout->addWidget(buttons);
    return dialog;
}

void OpenOnDesktop(const QUrl& url) {
    if (!QDesktopServices::openUrl(url))
        QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromLatin1(url.toEncoded())});
}

QString PlainToolTip(const QString& text) {
    return text.isEmpty() ? text : Qt::convertFromPlainText(text);
}

TViewerDialogs& ViewerDialogs() {
    static TQtViewerDialogs qtService;
    return Installed ? *Installed : qtService;
}

void SetViewerDialogs(TViewerDialogs* service) {
    Installed = service;
}

} // namespace vlm::viewer
