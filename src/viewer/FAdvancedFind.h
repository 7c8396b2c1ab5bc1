// Advanced Find: a search over the text of every page in the archive, with a list of the
// pages found; choosing one opens it. The search runs on threads of its own: pages found
// are listed as they are found, and the Search button stops a search under way.
#pragma once

#include "site/UArchiveSite.h"
#include "viewer/UViewerTexts.h"

#include <QDialog>

#include <atomic>
#include <thread>

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
    ~TfmAdvancedFind() override;
    void Retranslate();
    // Starts a search for the text in the edit box, or stops the one under way.
    void Search();
    bool Searching() const { return FWorker.joinable(); }

signals:
    // A page's address.
    void PageChosen(const QString& path);
    void SearchFinished();

private:
    void Choose(QListWidgetItem* item);
    void StopSearch();
    void Finished(size_t found, const QString& text);

    TArchiveSite& FSite;
    const TViewerTexts& FTexts;
    QLabel* FPrompt;
    QLineEdit* FEdit;
    QPushButton* FSearch;
    QListWidget* FResults;
    QLabel* FStatus;
    std::thread FWorker;
    std::atomic<bool> FStop = false;
};

} // namespace vlm::viewer
