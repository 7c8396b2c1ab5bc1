#include "ui/UFrameViewer.h"

#include "platform/UErrors.h"

#include <QChildEvent>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMenu>
#include <QPalette>
#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineSettings>

namespace vlm::ui {

namespace {

// The preview's page: navigation that the user starts by clicking is a hot-spot click;
// loading the file itself, reloading and the frames of a frameset pass.
class TPreviewPage : public QWebEnginePage {
public:
    TPreviewPage(TFrameViewer* viewer, bool popup)
        : QWebEnginePage(viewer), FViewer(viewer), FPopup(popup) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (FPopup) {
            // A page made only to catch a link that asked for a new window.
            deleteLater();
            if (FViewer)
                FViewer->HotSpotClick(url);
            return false;
        }
        switch (type) {
        case NavigationTypeLinkClicked:
        case NavigationTypeFormSubmitted:
            return FViewer ? !FViewer->HotSpotClick(url) : false;
        case NavigationTypeBackForward:
            // The preview keeps no trail to walk back along.
            return false;
        default:
            return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
        }
    }

    QWebEnginePage* createWindow(WebWindowType /*type*/) override {
        return FViewer ? new TPreviewPage(FViewer, true) : nullptr;
    }

private:
    QPointer<TFrameViewer> FViewer;
    bool FPopup;
};

} // namespace

TFrameViewer::TFrameViewer(QWidget* parent) : QWebEngineView(parent) {
    setPage(new TPreviewPage(this, false));
    QWebEngineSettings* settings = page()->settings();
    settings->setFontFamily(QWebEngineSettings::StandardFont, QStringLiteral("Times New Roman"));
    settings->setFontFamily(QWebEngineSettings::SerifFont, QStringLiteral("Times New Roman"));
    settings->setFontFamily(QWebEngineSettings::FixedFont, QStringLiteral("Courier New"));
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    FBlank = new QWidget(this);
    FBlank->setObjectName(QStringLiteral("Blank"));
    FBlank->setAutoFillBackground(true);
    ShowBlank(true);
}

void TFrameViewer::ShowBlank(bool blank) {
    FBlank->setGeometry(rect());
    FBlank->setVisible(blank);
    if (blank)
        FBlank->raise();
}

void TFrameViewer::resizeEvent(QResizeEvent* event) {
    QWebEngineView::resizeEvent(event);
    if (FBlank)
        FBlank->setGeometry(rect());
}

void TFrameViewer::childEvent(QChildEvent* event) {
    QWebEngineView::childEvent(event);
    // The engine makes its drawing surface anew as pages come and go; the panel stays on
    // top of it while nothing is shown.
    if (FBlank && event->added() && event->child() != FBlank && FBlank->isVisible())
        FBlank->raise();
}

void TFrameViewer::LoadFromFile(const QString& fileName) {
    if (!QFileInfo(fileName).isFile())
        throw EVlmError("Can't locate file: " + fileName.toStdString());
    FCurrentFile = fileName;
    ShowBlank(false);
    load(QUrl::fromLocalFile(fileName));
    emit LoadingFile(fileName);
}

void TFrameViewer::Clear() {
    FCurrentFile.clear();
    setHtml(QString());
    ShowBlank(true);
}

QColor TFrameViewer::DefBackground() const {
    return page()->backgroundColor();
}

void TFrameViewer::SetDefBackground(const QColor& color) {
    page()->setBackgroundColor(color);
    QPalette palette = FBlank->palette();
    palette.setColor(QPalette::Window, color);
    FBlank->setPalette(palette);
}

bool TFrameViewer::HotSpotClick(const QUrl& url) {
    bool handled = false;
    if (OnHotSpotTargetClick)
        OnHotSpotTargetClick(url, handled);
    return handled;
}

void TFrameViewer::contextMenuEvent(QContextMenuEvent* event) {
    // Selection and copying only: the engine's full menu would navigate and open windows.
    QMenu menu(this);
    menu.addAction(page()->action(QWebEnginePage::Copy));
    menu.addAction(page()->action(QWebEnginePage::SelectAll));
    menu.exec(event->globalPos());
}

} // namespace vlm::ui
