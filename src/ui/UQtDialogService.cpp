#include "ui/UQtDialogService.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

namespace vlm::ui {

namespace {

QMessageBox::Icon IconOf(TMsgKind kind) {
    switch (kind) {
    case TMsgKind::Warning:
        return QMessageBox::Warning;
    case TMsgKind::Error:
        return QMessageBox::Critical;
    case TMsgKind::Information:
        return QMessageBox::Information;
    case TMsgKind::Confirm:
        return QMessageBox::Question;
    case TMsgKind::Plain:
        break;
    }
    return QMessageBox::NoIcon;
}

struct TButtonMap {
    TMsgButton Button;
    QMessageBox::StandardButton Standard;
    TModalResult Result;
};

// In the order in which the first present button becomes the default one.
constexpr TButtonMap ButtonMap[] = {
    {TMsgButton::Yes, QMessageBox::Yes, mrYes},
    {TMsgButton::OK, QMessageBox::Ok, mrOK},
    {TMsgButton::No, QMessageBox::No, mrNo},
    {TMsgButton::Cancel, QMessageBox::Cancel, mrCancel},
};

// The extension a save dialog gives a name typed without one while it shows the filter
// entry shownFilter (as the dialog names it: the description, with or without its masks):
// the entry's own when its pattern is a single "*.ext", else spec's DefaultExt.
QString DefaultSuffixFor(const TFileDialogSpec& spec, const QString& shownFilter) {
    const QStringList parts = spec.Filter.split(QLatin1Char('|'));
    const QStringList qtFilters = QtNameFilters(spec.Filter);
    // One mask of the form "*.ext" names one extension; "*.*", "*.htm;*.html" and the like
    // leave the dialog's own default.
    static const QRegularExpression single(QStringLiteral("^\\*\\.([^*?.;\\[\\]]+)$"));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i] != shownFilter && qtFilters.value(i / 2) != shownFilter)
            continue;
        const QRegularExpressionMatch match = single.match(parts[i + 1].trimmed());
        return match.hasMatch() ? match.captured(1) : spec.DefaultExt;
    }
    return spec.DefaultExt;
}

} // namespace

TModalResult TQtDialogService::MessageBox(QWidget* owner, TMsgKind kind, const QString& text,
                                          TMsgButtons buttons) {
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(IconOf(kind), MessageTitle(kind), shown, QMessageBox::NoButton, owner);
    bool haveDefault = false;
    for (const TButtonMap& map : ButtonMap) {
        if (!buttons.testFlag(map.Button))
            continue;
        box.addButton(map.Standard);
        if (!haveDefault)
            box.setDefaultButton(map.Standard);
        haveDefault = true;
    }
    const int pressed = box.exec();
    for (const TButtonMap& map : ButtonMap) {
        if (pressed == map.Standard)
            return map.Result;
    }
    return buttons.testFlag(TMsgButton::Cancel) ? mrCancel : mrNone;
}

bool TQtDialogService::ExecFileDialog(QWidget* owner, const TFileDialogSpec& spec,
                                      QString& fileName) {
    QFileDialog dialog(owner, spec.Title, spec.InitialDir);
    dialog.setObjectName(spec.Name);
    // The desktop's own dialog where the platform offers one (a portal or the desktop's
    // theme), else Qt's.
    dialog.setOptions(QFileDialog::HideNameFilterDetails);
    const QStringList nameFilters = QtNameFilters(spec.Filter);
    dialog.setNameFilters(nameFilters);
    if (spec.FilterIndex >= 1 && spec.FilterIndex <= nameFilters.size())
        dialog.selectNameFilter(nameFilters[spec.FilterIndex - 1]);
    if (spec.Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !spec.OverwritePrompt);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(spec.MustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    }
    if (spec.Save) {
        // A name typed without an extension gets that of the file type shown, so the type the
        // user chose is the type of the name the dialog gives back.
        const auto followFilter = [&dialog, &spec](const QString& shown) {
            dialog.setDefaultSuffix(DefaultSuffixFor(spec, shown));
        };
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, followFilter);
        followFilter(dialog.selectedNameFilter());
    } else {
        dialog.setDefaultSuffix(spec.DefaultExt);
    }
    if (!spec.FileName.isEmpty())
        dialog.selectFile(spec.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName = dialog.selectedFiles().constFirst();
    return true;
}

int TQtDialogService::ExecDialog(QDialog& dialog) {
    return dialog.exec();
}

void TQtDialogService::OpenUrl(QWidget* /*owner*/, const QUrl& url) {
    QDesktopServices::openUrl(url);
}

QString TQtDialogService::StartProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (process.startDetached())
        return {};
    // Qt names the system call it failed in ("execv: Permission denied"); the user needs
    // only the reason.
    QString reason = process.errorString();
    static const QRegularExpression call(QStringLiteral("^exec\\w*: "));
    reason.remove(call);
    return reason.isEmpty() ? QStringLiteral("The program did not start.") : reason;
}

QStringList QtNameFilters(const QString& filter) {
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList masks = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& mask : masks) {
            mask = mask.trimmed();
            // "*.*" means every file, also one without an extension.
            if (mask == QStringLiteral("*.*"))
                mask = QStringLiteral("*");
        }
        result << parts[i] + QStringLiteral(" (") + masks.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return result;
}

} // namespace vlm::ui
