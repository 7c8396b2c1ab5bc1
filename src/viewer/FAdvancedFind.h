// Advanced Find: a search over the text of every page in the archive, with a list of the
// pages found; choosing one opens it.
#pragma once

#include "site/UArchiveSite.h"
#include "viewer/UViewerTexts.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace vlm::viewer {

class TfmAdvancedFind : public QDialog {
    Q_OBJECT
public:
    TfmAdvancedFind(TArchiveSite& site, const TViewerTexts& texts, QWidget* parent);
    void Retranslate();
    // Searches for the text in the edit box and lists the pages found.
    void Search();

signals:
    // A page's path relative to the home root.
    void PageChosen(const QString& path);

private:
    void Choose(QListWidgetItem* item);

    TArchiveSite& FSite;
    const TViewerTexts& FTexts;
    QLabel* FPrompt;
    QLineEdit* FEdit;
    QPushButton* FSearch;
    QListWidget* FResults;
    QLabel* FStatus;
};

} // namespace vlm::viewer
