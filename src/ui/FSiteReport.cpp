#include "ui/FSiteReport.h"

#include "platform/UFileSys.h"

#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace vlm::ui {

TfmSiteReport::TfmSiteReport(QWidget* owner, const QString& title, const std::string& htmlFile)
    : QWidget(owner, Qt::Window), FHtmlFile(htmlFile) {
    setObjectName(QStringLiteral("fmSiteReport"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    FView = new QWebEngineView(this);
    FView->setObjectName(QStringLiteral("wbReport"));
    layout->addWidget(FView);
    const QFontMetrics metrics(font());
    resize(metrics.averageCharWidth() * 140, metrics.height() * 45);
    FView->load(QUrl::fromLocalFile(QString::fromStdString(htmlFile)));
}

TfmSiteReport::~TfmSiteReport() {
    if (FileExists(FHtmlFile))
        DeleteFile(FHtmlFile);
}

} // namespace vlm::ui
