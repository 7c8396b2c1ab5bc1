#include "viewer/FAdvancedFind.h"

#include "site/USiteSearch.h"
#include "viewer/UViewerDialogs.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace vlm::viewer {

TfmAdvancedFind::TfmAdvancedFind(TArchiveSite& site, const TViewerTexts& texts, QWidget* parent)
    : QDialog(parent), FSite(site), FTexts(texts), FPrompt(new QLabel(this)),
      FEdit(new QLineEdit(this)), FSearch(new QPushButton(this)), FResults(new QListWidget(this)),
      FStatus(new QLabel(this)) {
    setObjectName(QStringLiteral("fmAdvancedFind"));
    FEdit->setObjectName(QStringLiteral("edSearch"));
    FSearch->setObjectName(QStringLiteral("btnSearch"));
    FSearch->setDefault(true);
    FResults->setObjectName(QStringLiteral("lbResults"));
    FStatus->setObjectName(QStringLiteral("lblStatus"));
    FPrompt->setTextFormat(Qt::PlainText);
    FStatus->setTextFormat(Qt::PlainText);
    auto* grid = new QGridLayout(this);
    grid->addWidget(FPrompt, 0, 0, 1, 2);
    grid->addWidget(FEdit, 1, 0);
    grid->addWidget(FSearch, 1, 1);
    grid->addWidget(FResults, 2, 0, 1, 2);
    grid->addWidget(FStatus, 3, 0, 1, 2);
    connect(FSearch, &QPushButton::clicked, this, &TfmAdvancedFind::Search);
    connect(FEdit, &QLineEdit::returnPressed, this, &TfmAdvancedFind::Search);
    connect(FResults, &QListWidget::itemActivated, this, &TfmAdvancedFind::Choose);
    resize(480, 360);
    Retranslate();
}

TfmAdvancedFind::~TfmAdvancedFind() {
    StopSearch();
}

void TfmAdvancedFind::Retranslate() {
    setWindowTitle(FTexts.Text("AdvancedFind").remove(u'&'));
    FPrompt->setText(FTexts.Text("SearchLabel"));
    FSearch->setText(FTexts.Text(Searching() ? "SearchStop" : "SearchButton"));
}

void TfmAdvancedFind::StopSearch() {
    FStop = true;
    if (FWorker.joinable())
        FWorker.join();
}

void TfmAdvancedFind::Search() {
    if (Searching()) {
        FStop = true; // the search ends after the page in hand and says what it found
        return;
    }
    FResults->clear();
    const QString text = FEdit->text().trimmed();
    if (text.isEmpty())
        return;
    FStop = false;
    FStatus->setText(FTexts.Text("Searching"));
    // Pages come back in archive order, each as it is found; this window hears of them
    // through its event queue, and the thread is joined before the window goes.
    FWorker = std::thread([this, text, words = text.toStdString()] {
        size_t found = 0;
        try {
            found =
                TSiteSearch(FSite, words)
                    .Run(
                        [this](TSearchHit&& hit) {
                            QMetaObject::invokeMethod(
                                this,
                                [this, hit = std::move(hit)] {
                                    auto* item =
                                        new QListWidgetItem(QString::fromStdString(hit.Title) +
                                                                QStringLiteral(" \u2014 ") +
                                                                QString::fromStdString(hit.Excerpt),
                                                            FResults);
                                    item->setData(Qt::UserRole, QString::fromStdString(hit.Path));
                                    item->setToolTip(
                                        PlainToolTip(QString::fromStdString(hit.Path)));
                                },
                                Qt::QueuedConnection);
                        },
                        &FStop);
        } catch (const std::exception& e) {
            const QString reason = QString::fromStdString(e.what());
            QMetaObject::invokeMethod(
                this,
                [this, reason] {
                    ViewerDialogs().Message(this, TViewerMsg::Error, FTexts.Text("ErrorTitle"),
                                            reason);
                },
                Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(
            this, [this, found, text] { Finished(found, text); }, Qt::QueuedConnection);
    });
    FSearch->setText(FTexts.Text("SearchStop"));
}

void TfmAdvancedFind::Finished(size_t found, const QString& text) {
    if (FWorker.joinable())
        FWorker.join();
    FSearch->setText(FTexts.Text("SearchButton"));
    FStatus->setText(found == 0   ? FTexts.Text("SearchNothing").arg(text)
                     : found == 1 ? FTexts.Text("SearchFoundOne")
                                  : FTexts.Text("SearchFound").arg(found));
    emit SearchFinished();
}

void TfmAdvancedFind::Choose(QListWidgetItem* item) {
    if (item)
        emit PageChosen(item->data(Qt::UserRole).toString());
}

} // namespace vlm::viewer
