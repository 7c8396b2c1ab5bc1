// The viewer's main window: a browser view of the site in the archive, with the commands,
// bars and window form that the archive's settings member asks for.
#pragma once

#include "site/UArchiveSite.h"
#include "viewer/UViewerTexts.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QUrl>

#include <memory>

class QActionGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QToolBar;
class QWebEngineProfile;
class QWebEngineView;

namespace vlm::viewer {

class TArchiveSchemeHandler;
class TfmAdvancedFind;

class TfmViewer : public QMainWindow {
    Q_OBJECT
public:
    explicit TfmViewer(std::unique_ptr<TArchiveSite> site, QWidget* parent = nullptr);
    ~TfmViewer() override;

    TArchiveSite& Site() { return *FSite; }
    QWebEngineView* View() const { return FView; }
    const TViewerTexts& Texts() const { return FTexts; }
    // Shows the window in the form the settings ask for (maximized or not).
    void ShowAsSet();
    void ShowHome();
    // Opens a page found by Advanced Find: in the frame named by AdvancedFindTarget when
    // the page has one, else in the main view.
    void OpenFound(const std::string& path);
    // Saves the member an address of ours names, asking for the target file.
    void SaveObject(const QUrl& url);
    // "Default" (the built-in texts) or the name of a language file in the archive.
    void SetLanguage(const QString& name);
    QString LanguageName() const { return FLanguage; }
    // Whether the reader clicked or typed in the page a moment ago.
    bool ReaderClickedLately() const;
    // A page asked to go to an address outside the archive: a web or mail link the reader
    // clicked opens on the desktop; anything else is refused (and, when clicked, said so).
    void OutsideAddress(const QUrl& url, bool clicked);
    // No menu of bars to show: the settings decide which bars the reader sees.
    QMenu* createPopupMenu() override { return nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A print in progress is finished before the window closes.
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddAction(const char* name, const char* textId, const QKeySequence& keys,
                       const QIcon& icon, void (TfmViewer::*slot)());
    void CreateView();
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateFindBar();
    void CreateLanguageMenu();
    void ApplyWindowSettings();
    void Retranslate();
    void ShowContextMenu(const QPoint& position);
    void BlockCopying();
    void ShowTitle();

    void OpenArchive();
    void Back();
    void Forward();
    void Reload();
    void Exit();
    void Copy();
    void SaveShownObject();
    void Print();
    void ShowFindBar();
    void FindOnPage(bool backward);
    void ShowAdvancedFind();

    std::unique_ptr<TArchiveSite> FSite;
    TViewerTexts FTexts;
    QString FLanguage = QStringLiteral("Default");
    QWebEngineProfile* FProfile = nullptr;
    TArchiveSchemeHandler* FHandler = nullptr;
    QWebEngineView* FView = nullptr;
    QToolBar* FToolBar = nullptr;
    QWidget* FFindBar = nullptr;
    QLineEdit* FFindEdit = nullptr;
    QLabel* FFindLabel = nullptr;
    QMenu* FLanguageMenu = nullptr;
    QActionGroup* FLanguageGroup = nullptr;
    TfmAdvancedFind* FAdvancedFind = nullptr;
    QUrl FContextObject; // the image or link under the pointer while a context menu is open
    bool FMaximized = false;
    QElapsedTimer FLastInput;
    bool FPrinting = false;
    bool FCloseWhenPrinted = false;
};

} // namespace vlm::viewer
