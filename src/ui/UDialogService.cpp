#include "ui/UDialogService.h"

#include "ui/UProductInfo.h"
#include "ui/UQtDialogService.h"

namespace vlm::ui {

namespace {

QString& TitleStore() {
    static QString title = QString::fromUtf8(ProductTitle);
    return title;
}

TDialogService* InstalledService = nullptr;

} // namespace

QString ApplicationTitle() {
    return TitleStore();
}

void SetApplicationTitle(const QString& title) {
    TitleStore() = title;
}

QString MessageTitle(TMsgKind kind) {
    switch (kind) {
    case TMsgKind::Warning:
        return QStringLiteral("Warning");
    case TMsgKind::Error:
        return QStringLiteral("Error");
    case TMsgKind::Information:
        return QStringLiteral("Information");
    case TMsgKind::Confirm:
        return QStringLiteral("Confirm");
    case TMsgKind::Plain:
        break;
    }
    return ApplicationTitle();
}

TDialogService& Dialogs() {
    static TQtDialogService qtService;
    return InstalledService ? *InstalledService : qtService;
}

void SetDialogs(TDialogService* service) {
    InstalledService = service;
}

} // namespace vlm::ui
