// The viewer window's construction: the browser view over our URL scheme, the commands
// the settings enable, and the window form, bars and language they ask for.
#include "viewer/FViewer.h"

#include "platform/UPaths.h"
#include "platform/UText.h"
#include "project/UProject.h"
#include "viewer/FAdvancedFind.h"
#include "viewer/UArchiveScheme.h"
#include "viewer/UViewerDialogs.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace vlm::viewer {

namespace {

// A reader's click reaches the engine as input to the view; a navigation that follows
// within this time is the reader's.
constexpr qint64 ClickWindowMs = 1500;

// Our pages navigate inside the view, and nothing of a page leaves the archive by itself:
// only a web or mail link that the reader clicked goes out, to the desktop's browser or mail
// program. Every other address is refused: a script's navigation, a refresh, a frame, and
// any other scheme (file:, smb:...), which a clicked link is told about.
class TViewerPage : public QWebEnginePage {
public:
    TViewerPage(QWebEngineProfile* profile, TfmViewer& window, QObject* parent)
        : QWebEnginePage(profile, parent), FWindow(window) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (IsInsideUrl(url))
            return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
        const bool clicked = type == NavigationTypeLinkClicked && FWindow.ReaderClickedLately();
        FWindow.OutsideAddress(url, clicked);
        return false;
    }
    // A page that asks for a new window (a link with a target, a script) goes on in this view.
    QWebEnginePage* createWindow(WebWindowType) override { return this; }
    // The engine stops a link to a local file in the page itself, before any navigation;
    // its console note is the only sign of it.
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override {
        static const QString blocked = QStringLiteral("Not allowed to load local resource: ");
        if (message.startsWith(blocked) && FWindow.ReaderClickedLately())
            FWindow.OutsideAddress(QUrl(message.mid(blocked.size())), true);
        QWebEnginePage::javaScriptConsoleMessage(level, message, line, source);
    }

private:
    TfmViewer& FWindow;
};

bool SettingFlag(const TArchiveSite& site, const char* name) {
    return site.Flag(name);
}

// Scripts of the site may fetch its members: this engine's fetch() does not serve custom
// schemes, so a site address is fetched through XMLHttpRequest, which does. Runs before any
// script of the page.
const char* const FetchShim = R"JS((function(){
if (!window.fetch || window.__vlmFetch) return;
var own = window.fetch; window.__vlmFetch = true;
window.fetch = function(input, init) {
  var request;
  try { request = new Request(input, init); } catch (e) { return own.apply(this, arguments); }
  if (new URL(request.url).protocol !== 'vlmsite:') return own.apply(this, arguments);
  return new Promise(function(resolve, reject) {
    var x = new XMLHttpRequest();
    x.open(request.method, request.url, true);
    x.responseType = 'arraybuffer';
    request.headers.forEach(function(v, k) { try { x.setRequestHeader(k, v); } catch (e) {} });
    x.onload = function() {
      var headers = new Headers();
      x.getAllResponseHeaders().trim().split(/[\r\n]+/).forEach(function(line) {
        var i = line.indexOf(':');
        if (i > 0) headers.append(line.slice(0, i).trim(), line.slice(i + 1).trim());
      });
      var status = x.status || 200;
      resolve(new Response(status === 204 || status === 304 ? null : x.response,
                           {status: status, statusText: x.statusText, headers: headers}));
    };
    x.onerror = function() { reject(new TypeError('Failed to fetch')); };
    x.onabort = function() { reject(new DOMException('The user aborted a request.', 'AbortError')); };
    if (request.signal) request.signal.addEventListener('abort', function() { x.abort(); });
    x.send();
  });
};
})();)JS";

} // namespace

TfmViewer::TfmViewer(std::unique_ptr<TArchiveSite> site, QWidget* parent)
    : QMainWindow(parent), FSite(std::move(site)) {
    setObjectName(QStringLiteral("fmViewer"));
    CreateView();
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateFindBar();
    statusBar()->setVisible(SettingFlag(*FSite, entry::ShowStatusBar));
    const std::string language = FSite->Value(entry::Language);
    SetLanguage(language.empty() ? QStringLiteral("Default") : QString::fromStdString(language));
    ApplyWindowSettings();
}

TfmViewer::~TfmViewer() {
    // The page must go before the profile it was made with.
    delete FView;
    FView = nullptr;
}

// The engine is set up so that a page reads nothing but its archive: no local files, no
// network, no plug-ins, no permissions, no dropped files, no windows of its own.
void TfmViewer::CreateView() {
    FProfile = new QWebEngineProfile(this); // off the record: nothing is kept on disk
    FHandler = new TArchiveSchemeHandler(*FSite, FTexts, this);
    FProfile->installUrlSchemeHandler(SiteScheme, FHandler);
    FProfile->setUrlRequestInterceptor(new TSiteGuard(*FHandler, this));
    QWebEngineSettings* settings = FProfile->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    settings->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    settings->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::AllowWindowActivationFromJavaScript, false);
    settings->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
    // Other schemes (mailto:, smb:...) reach acceptNavigationRequest only after a click.
    settings->setUnknownUrlSchemePolicy(
        QWebEngineSettings::AllowUnknownUrlSchemesFromUserInteraction);
#if QT_VERSION < QT_VERSION_CHECK(6, 6, 0)
    QWebEngineScript fetch;
    fetch.setName(QStringLiteral("vlmFetch"));
    fetch.setInjectionPoint(QWebEngineScript::DocumentCreation);
    fetch.setRunsOnSubFrames(true);
    fetch.setWorldId(QWebEngineScript::MainWorld);
    fetch.setSourceCode(QString::fromLatin1(FetchShim));
    FProfile->scripts()->insert(fetch);
#endif
    FView = new QWebEngineView;
    FView->setObjectName(QStringLiteral("wvPage"));
    auto* page = new TViewerPage(FProfile, *this, FView);
    FView->setPage(page);
    connect(page, &QWebEnginePage::featurePermissionRequested, page,
            [page](const QUrl& origin, QWebEnginePage::Feature feature) {
                page->setFeaturePermission(origin, feature, QWebEnginePage::PermissionDeniedByUser);
            });
    connect(page, &QWebEnginePage::fileSystemAccessRequested, page,
            [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
    connect(page, &QWebEnginePage::registerProtocolHandlerRequested, page,
            [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
    connect(page, &QWebEnginePage::fullScreenRequested, page,
            [](QWebEngineFullScreenRequest request) { request.reject(); });
    FView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(FView, &QWidget::customContextMenuRequested, this, &TfmViewer::ShowContextMenu);
    if (!SettingFlag(*FSite, entry::EnableCopy))
        BlockCopying();
    connect(FView, &QWebEngineView::titleChanged, this, [this](const QString&) { ShowTitle(); });
    connect(FView, &QWebEngineView::urlChanged, this, [this](const QUrl&) { ShowTitle(); });
    connect(FView->page(), &QWebEnginePage::linkHovered, this,
            [this](const QString& url) { statusBar()->showMessage(url); });
    connect(FView, &QWebEngineView::loadProgress, this,
            [this](int percent) { statusBar()->showMessage(FTexts.Text("Loading").arg(percent)); });
    connect(FView, &QWebEngineView::loadFinished, this,
            [this](bool) { statusBar()->showMessage(FTexts.Text("Done")); });
    // The reader's clicks and keys in the view, whichever of its children takes them.
    qApp->installEventFilter(this);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(FView, 1);
    setCentralWidget(central);
}

// The page's title; a page without one is named by its file name, never by its address.
void TfmViewer::ShowTitle() {
    const QString title = FView->title();
    const QUrl url = FView->url();
    if (!title.isEmpty() && title != url.toString() && title != url.toDisplayString())
        setWindowTitle(title);
    else if (url.scheme() == QLatin1String(SiteScheme))
        setWindowTitle(QString::fromStdString(ExtractFileName(PathOfUrl(url))));
    else
        setWindowTitle(QString::fromStdString(ExtractFileName(FSite->FileName())));
}

bool TfmViewer::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type == QEvent::MouseButtonRelease || type == QEvent::KeyPress) &&
        watched->isWidgetType()) {
        for (auto* w = static_cast<QWidget*>(watched); w; w = w->parentWidget())
            if (w == FView) {
                FLastInput.start();
                break;
            }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TfmViewer::ReaderClickedLately() const {
    return FLastInput.isValid() && FLastInput.elapsed() < ClickWindowMs;
}

void TfmViewer::OutsideAddress(const QUrl& url, bool clicked) {
    const QString scheme = url.scheme();
    const bool web = scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                     scheme == QLatin1String("mailto");
    if (clicked && web) {
        ViewerDialogs().OpenUrl(url);
        return;
    }
    const QString text = FTexts.Text("RefusedAddress").arg(url.toDisplayString());
    statusBar()->showMessage(text);
    if (clicked)
        ViewerDialogs().Message(this, TViewerMsg::Warning, FTexts.Text("WarningTitle"), text);
}

// Copying by keyboard, by the engine's own commands or by dragging a selection all raise
// these events in the page; cancelling them keeps the text off the clipboard.
void TfmViewer::BlockCopying() {
    QWebEngineScript script;
    script.setName(QStringLiteral("vlmNoCopy"));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setRunsOnSubFrames(true);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setSourceCode(
        QStringLiteral("['copy','cut','dragstart'].forEach(function(t){document.addEventListener(t,"
                       "function(e){e.preventDefault();e.stopPropagation();},true);});"));
    FProfile->scripts()->insert(script);
}

QAction* TfmViewer::AddAction(const char* name, const char* textId, const QKeySequence& keys,
                              const QIcon& icon, void (TfmViewer::*slot)()) {
    auto* action = new QAction(icon, QString(), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setProperty("textId", QString::fromLatin1(textId));
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, slot);
    addAction(action); // its shortcut works also while the menu bar is hidden
    return action;
}

void TfmViewer::CreateActions() {
    QStyle* s = style();
    AddAction("actBack", "Back", QKeySequence::Back, s->standardIcon(QStyle::SP_ArrowBack),
              &TfmViewer::Back);
    AddAction("actForward", "Forward", QKeySequence::Forward,
              s->standardIcon(QStyle::SP_ArrowForward), &TfmViewer::Forward);
    AddAction("actHome", "Home", QKeySequence(Qt::ALT | Qt::Key_Home),
              s->standardIcon(QStyle::SP_DirHomeIcon), &TfmViewer::ShowHome);
    AddAction("actReload", "Reload", QKeySequence::Refresh,
              s->standardIcon(QStyle::SP_BrowserReload), &TfmViewer::Reload);
    AddAction("actOpen", "Open", QKeySequence::Open, s->standardIcon(QStyle::SP_DialogOpenButton),
              &TfmViewer::OpenArchive);
    AddAction("actExit", "Exit", QKeySequence(Qt::CTRL | Qt::Key_Q),
              s->standardIcon(QStyle::SP_DialogCloseButton), &TfmViewer::Exit);
    // The optional commands exist only when enabled: no menu entry, no tool button, no
    // context menu entry and no shortcut otherwise.
    if (SettingFlag(*FSite, entry::EnableCopy))
        AddAction("actCopy", "Copy", QKeySequence::Copy,
                  QIcon::fromTheme("edit-copy", s->standardIcon(QStyle::SP_FileIcon)),
                  &TfmViewer::Copy);
    if (SettingFlag(*FSite, entry::EnableSaveObject))
        AddAction("actSaveObject", "SaveObject", QKeySequence::Save,
                  s->standardIcon(QStyle::SP_DialogSaveButton), &TfmViewer::SaveShownObject);
    if (SettingFlag(*FSite, entry::EnablePrint))
        AddAction("actPrint", "Print", QKeySequence::Print,
                  QIcon::fromTheme("document-print", s->standardIcon(QStyle::SP_ComputerIcon)),
                  &TfmViewer::Print);
    if (SettingFlag(*FSite, entry::EnableFind))
        AddAction("actFind", "Find", QKeySequence::Find,
                  s->standardIcon(QStyle::SP_FileDialogContentsView), &TfmViewer::ShowFindBar);
    if (SettingFlag(*FSite, entry::EnableAdvancedFind))
        AddAction("actAdvancedFind", "AdvancedFind", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F),
                  s->standardIcon(QStyle::SP_FileDialogDetailedView), &TfmViewer::ShowAdvancedFind);
}

void TfmViewer::CreateMenus() {
    auto action = [this](const char* name) {
        return findChild<QAction*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
    };
    auto addMenu = [this](const char* name, const char* textId) {
        QMenu* menu = menuBar()->addMenu(QString());
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setProperty("textId", QString::fromLatin1(textId));
        return menu;
    };
    auto addAll = [&](QMenu* menu, std::initializer_list<const char*> names) {
        for (const char* name : names)
            if (!*name)
                menu->addSeparator();
            else if (QAction* a = action(name))
                menu->addAction(a);
    };
    QMenu* file = addMenu("miFile", "FileMenu");
    addAll(file, {"actOpen", "", "actSaveObject", "actPrint"});
    if (!file->isEmpty())
        file->addSeparator();
    addAll(file, {"actExit"});
    QMenu* edit = addMenu("miEdit", "EditMenu");
    addAll(edit, {"actCopy", "actFind", "actAdvancedFind"});
    edit->menuAction()->setVisible(!edit->isEmpty());
    addAll(addMenu("miGo", "GoMenu"), {"actBack", "actForward", "actHome", "actReload"});
    if (SettingFlag(*FSite, entry::ShowLanguageMenu))
        CreateLanguageMenu();
    menuBar()->setVisible(SettingFlag(*FSite, entry::ShowMenuBar));
}

void TfmViewer::CreateLanguageMenu() {
    FLanguageMenu = menuBar()->addMenu(QString());
    FLanguageMenu->setObjectName(QStringLiteral("miLanguage"));
    FLanguageMenu->menuAction()->setProperty("textId", QStringLiteral("LanguageMenu"));
    FLanguageGroup = new QActionGroup(this);
    QStringList names{QStringLiteral("Default")};
    for (const auto& [name, index] : FSite->Languages())
        names << QString::fromStdString(name);
    for (const QString& name : names) {
        QAction* item = FLanguageMenu->addAction(name);
        item->setData(name);
        item->setCheckable(true);
        FLanguageGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this, name] { SetLanguage(name); });
    }
}

void TfmViewer::CreateToolBar() {
    FToolBar = addToolBar(QString());
    FToolBar->setObjectName(QStringLiteral("tbMain"));
    FToolBar->setMovable(false);
    for (const char* name : {"actBack", "actForward", "actHome", "actReload", "actPrint",
                             "actSaveObject", "actFind", "actAdvancedFind"})
        if (QAction* a = findChild<QAction*>(QString::fromLatin1(name)))
            FToolBar->addAction(a);
    const int size = SettingFlag(*FSite, entry::ToolBarLargeIcons) ? 32 : 16;
    FToolBar->setIconSize(QSize(size, size));
    FToolBar->setToolButtonStyle(SettingFlag(*FSite, entry::ToolBarCaptions)
                                     ? Qt::ToolButtonTextUnderIcon
                                     : Qt::ToolButtonIconOnly);
    FToolBar->setVisible(SettingFlag(*FSite, entry::ShowToolBar));
}

void TfmViewer::CreateFindBar() {
    if (!findChild<QAction*>(QStringLiteral("actFind")))
        return;
    FFindBar = new QWidget(centralWidget());
    FFindBar->setObjectName(QStringLiteral("pnFindBar"));
    auto* row = new QHBoxLayout(FFindBar);
    row->setContentsMargins(4, 2, 4, 2);
    FFindLabel = new QLabel(FFindBar);
    FFindLabel->setTextFormat(Qt::PlainText);
    FFindEdit = new QLineEdit(FFindBar);
    FFindEdit->setObjectName(QStringLiteral("edFind"));
    row->addWidget(FFindLabel);
    row->addWidget(FFindEdit, 1);
    for (auto [name, textId, backward] : {std::tuple{"btnFindPrevious", "FindPrevious", true},
                                          std::tuple{"btnFindNext", "FindNext", false}}) {
        auto* button = new QPushButton(FFindBar);
        button->setObjectName(QString::fromLatin1(name));
        button->setProperty("textId", QString::fromLatin1(textId));
        connect(button, &QPushButton::clicked, this, [this, b = backward] { FindOnPage(b); });
        row->addWidget(button);
    }
    auto* close = new QPushButton(FFindBar);
    close->setObjectName(QStringLiteral("btnFindClose"));
    close->setProperty("textId", QStringLiteral("FindClose"));
    connect(close, &QPushButton::clicked, FFindBar, &QWidget::hide);
    row->addWidget(close);
    connect(FFindEdit, &QLineEdit::returnPressed, this, [this] { FindOnPage(false); });
    static_cast<QVBoxLayout*>(centralWidget()->layout())->addWidget(FFindBar);
    FFindBar->hide();
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), FFindBar, FFindBar, &QWidget::hide);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
}

void TfmViewer::ApplyWindowSettings() {
    if (!SettingFlag(*FSite, entry::ShowTitleBar))
        setWindowFlag(Qt::FramelessWindowHint, true);
    const std::string size = UpperCase(FSite->Value(entry::WindowSize));
    const QRect screen = QApplication::primaryScreen()
                             ? QApplication::primaryScreen()->availableGeometry()
                             : QRect(0, 0, 1024, 768);
    QSize wanted(screen.width() * 3 / 4, screen.height() * 3 / 4);
    if (size == "CUSTOM") {
        bool okWidth = false, okHeight = false;
        const int width = QString::fromStdString(FSite->Value(entry::WindowWidth)).toInt(&okWidth);
        const int height =
            QString::fromStdString(FSite->Value(entry::WindowHeight)).toInt(&okHeight);
        // A size that is no number, or none, leaves the default size.
        if (okWidth && okHeight && width > 0 && height > 0)
            wanted = QSize(width, height);
    }
    FMaximized = size == "MAXIMIZED";
    // A size from the archive never exceeds the screen.
    wanted = wanted.boundedTo(screen.size()).expandedTo(QSize(200, 150));
    resize(wanted);
    if (!SettingFlag(*FSite, entry::WindowSizeable) && !FMaximized)
        setFixedSize(wanted);
}

void TfmViewer::ShowAsSet() {
    if (FMaximized)
        showMaximized();
    else
        show();
}

void TfmViewer::Retranslate() {
    for (QObject* object : findChildren<QObject*>()) {
        const QVariant id = object->property("textId");
        if (!id.isValid())
            continue;
        const QString text = FTexts.Text(id.toString().toLatin1().constData());
        if (auto* a = qobject_cast<QAction*>(object)) {
            a->setText(text);
            a->setToolTip(PlainToolTip(QString(text).remove(QLatin1Char('&'))));
        } else if (auto* button = qobject_cast<QPushButton*>(object))
            button->setText(text);
    }
    if (FFindLabel)
        FFindLabel->setText(FTexts.Text("FindLabel"));
    if (FLanguageMenu && !FLanguageMenu->actions().isEmpty())
        FLanguageMenu->actions().first()->setText(FTexts.Text("DefaultLanguage"));
    if (FAdvancedFind)
        FAdvancedFind->Retranslate();
}

void TfmViewer::SetLanguage(const QString& name) {
    TViewerTexts texts;
    QString chosen = QStringLiteral("Default");
    for (const auto& [language, index] : FSite->Languages()) {
        if (QString::fromStdString(language) != name)
            continue;
        try {
            texts.Load(FSite->ReadAll(index));
            chosen = name;
        } catch (const std::exception& e) {
            ViewerDialogs().Message(this, TViewerMsg::Error, FTexts.Text("ErrorTitle"),
                                    QString::fromStdString(e.what()));
        }
        break;
    }
    FTexts = texts;
    FLanguage = chosen;
    if (FLanguageGroup)
        for (QAction* item : FLanguageGroup->actions())
            item->setChecked(item->data().toString() == chosen);
    Retranslate();
}

} // namespace vlm::viewer
