// The viewer window's commands.
#include "viewer/FAdvancedFind.h"
#include "viewer/FViewer.h"
#include "viewer/UArchiveScheme.h"
#include "viewer/UViewerDialogs.h"
#include "viewer/UViewerStart.h"

#include "platform/UPaths.h"
#include "project/UProject.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QJsonDocument>
#include <QJsonValue>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QStatusBar>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineFindTextResult>
#include <QWebEngineView>

namespace vlm::viewer {

void TfmViewer::ShowHome() {
    FView->setUrl(SiteUrl(FSite->HomeAddress()));
}

void TfmViewer::Back() {
    FView->back();
}
void TfmViewer::Forward() {
    FView->forward();
}
void TfmViewer::Reload() {
    FView->reload();
}
void TfmViewer::Exit() {
    close();
}
void TfmViewer::Copy() {
    FView->page()->triggerAction(QWebEnginePage::Copy);
}

void TfmViewer::SaveShownObject() {
    SaveObject(FContextObject.isEmpty() ? FView->url() : FContextObject);
}

void TfmViewer::SaveObject(const QUrl& url) {
    const std::optional<size_t> member = MemberOfUrl(*FSite, url);
    if (!member)
        return; // our error page, or an address outside the archive: nothing to save
    QString target = QString::fromStdString(ExtractFileName(FSite->Address(*member)));
    if (!ViewerDialogs().FileName(this, true, FTexts.Text("SaveTitle"), FTexts.Text("SaveFilter"),
                                  target))
        return;
    try {
        FSite->SaveMember(*member, target.toStdString());
    } catch (const std::exception& e) {
        ViewerDialogs().Message(this, TViewerMsg::Error, FTexts.Text("ErrorTitle"),
                                QString::fromStdString(e.what()));
    }
}

void TfmViewer::Print() {
    if (FPrinting)
        return;
    auto* printer = new QPrinter(QPrinter::HighResolution);
    if (!ViewerDialogs().Print(this, *printer)) {
        delete printer;
        return;
    }
    // The engine prints asynchronously; the printer lives until it is done, and the window
    // shows that it is working and stays until then.
    FPrinting = true;
    if (QAction* print = findChild<QAction*>(QStringLiteral("actPrint")))
        print->setEnabled(false);
    auto* working = new QLabel(FTexts.Text("Printing"), statusBar());
    working->setObjectName(QStringLiteral("lblPrinting"));
    working->setTextFormat(Qt::PlainText);
    statusBar()->addPermanentWidget(working);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    connect(
        FView, &QWebEngineView::printFinished, this,
        [this, printer, working](bool) {
            delete printer;
            delete working;
            FPrinting = false;
            QApplication::restoreOverrideCursor();
            if (QAction* print = findChild<QAction*>(QStringLiteral("actPrint")))
                print->setEnabled(true);
            if (FCloseWhenPrinted)
                close();
        },
        Qt::SingleShotConnection);
    FView->print(printer);
}

void TfmViewer::closeEvent(QCloseEvent* event) {
    if (FPrinting) {
        FCloseWhenPrinted = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

// Another archive opens in a window of its own, through the same gate as at start; this
// window closes once it shows.
void TfmViewer::OpenArchive() {
    QString file;
    if (!ViewerDialogs().FileName(this, false, FTexts.Text("OpenTitle"), FTexts.Text("OpenFilter"),
                                  file))
        return;
    TViewerStart next = StartViewer(file, {});
    if (!next.Window)
        return;
    next.Window->setAttribute(Qt::WA_DeleteOnClose);
    next.Window.release();
    close();
}

void TfmViewer::ShowFindBar() {
    FFindBar->show();
    FFindEdit->setFocus();
    FFindEdit->selectAll();
}

void TfmViewer::FindOnPage(bool backward) {
    const QString text = FFindEdit->text();
    QWebEnginePage::FindFlags flags;
    if (backward)
        flags |= QWebEnginePage::FindBackward;
    FView->findText(text, flags, [this](const QWebEngineFindTextResult& result) {
        if (result.numberOfMatches() == 0 && !FFindEdit->text().isEmpty())
            statusBar()->showMessage(FTexts.Text("FindNotFound"));
    });
}

void TfmViewer::ShowAdvancedFind() {
    if (!FAdvancedFind) {
        FAdvancedFind = new TfmAdvancedFind(*FSite, FTexts, this);
        connect(FAdvancedFind, &TfmAdvancedFind::PageChosen, this,
                [this](const QString& path) { OpenFound(path.toStdString()); });
    }
    FAdvancedFind->show();
    FAdvancedFind->raise();
    FAdvancedFind->activateWindow();
}

void TfmViewer::OpenFound(const std::string& path) {
    const QUrl url = SiteUrl(path);
    const std::string target = FSite->Value(entry::AdvancedFindTarget);
    if (target.empty()) {
        FView->setUrl(url);
        return;
    }
    // Looks for the named frame in the page and its frames (all of our one origin).
    const QString script =
        QStringLiteral(
            "(function(name,url){function find(w){for(var i=0;i<w.frames.length;++i){"
            "var f=w.frames[i];try{if(f.name===name)return f;var g=find(f);if(g)return g;}"
            "catch(e){}}return null;}var f=find(window);if(!f)return false;"
            "f.location.href=url;return true;})(%1,%2)")
            .arg(QString::fromUtf8(
                     QJsonDocument::fromVariant(QVariantList{QString::fromStdString(target)})
                         .toJson(QJsonDocument::Compact)
                         .mid(1)
                         .chopped(1)),
                 QString::fromUtf8(QJsonDocument::fromVariant(QVariantList{url.toString()})
                                       .toJson(QJsonDocument::Compact)
                                       .mid(1)
                                       .chopped(1)));
    FView->page()->runJavaScript(script, [this, url](const QVariant& done) {
        if (!done.toBool())
            FView->setUrl(url);
    });
}

void TfmViewer::ShowContextMenu(const QPoint& position) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("pmContext"));
    if (const QWebEngineContextMenuRequest* request = FView->lastContextMenuRequest()) {
        FContextObject = !request->mediaUrl().isEmpty() ? request->mediaUrl() : request->linkUrl();
        if (!MemberOfUrl(*FSite, FContextObject))
            FContextObject.clear();
    }
    for (const char* name : {"actBack", "actForward", "actReload", "", "actCopy", "actSaveObject",
                             "actPrint", "actFind"}) {
        if (!*name)
            menu.addSeparator();
        else if (QAction* a = findChild<QAction*>(QString::fromLatin1(name)))
            menu.addAction(a);
    }
    menu.exec(FView->mapToGlobal(position));
    FContextObject.clear();
}

} // namespace vlm::viewer
