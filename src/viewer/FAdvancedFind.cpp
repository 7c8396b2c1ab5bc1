#include "viewer/FAdvancedFind.h"

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

void TfmAdvancedFind::Retranslate() {
    setWindowTitle(FTexts.Text("AdvancedFind").remove(u'&'));
    FPrompt->setText(FTexts.Text("SearchLabel"));
    FSearch->setText(FTexts.Text("SearchButton"));
}

void TfmAdvancedFind::Search() {
    FResults->clear();
    const QString text = FEdit->text().trimmed();
    if (text.isEmpty())
        return;
    std::vector<TSearchHit> hits;
    try {
        hits = FSite.Search(text.toStdString());
    } catch (const std::exception& e) {
        ViewerDialogs().Message(this, TViewerMsg::Error, FTexts.Text("ErrorTitle"),
                                QString::fromStdString(e.what()));
        return;
    }
    for (const TSearchHit& hit : hits) {
        auto* item = new QListWidgetItem(QString::fromStdString(hit.Title) + QStringLiteral(" — ") +
                                             QString::fromStdString(hit.Excerpt),
                                         FResults);
        item->setData(Qt::UserRole, QString::fromStdString(hit.Path));
        item->setToolTip(PlainToolTip(QString::fromStdString(hit.Path)));
    }
    FStatus->setText(hits.empty()       ? FTexts.Text("SearchNothing").arg(text)
                     : hits.size() == 1 ? FTexts.Text("SearchFoundOne")
                                        : FTexts.Text("SearchFound").arg(hits.size()));
}

void TfmAdvancedFind::Choose(QListWidgetItem* item) {
    if (item)
        emit PageChosen(item->data(Qt::UserRole).toString());
}

} // namespace vlm::viewer
