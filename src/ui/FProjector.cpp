#include "ui/FProjector.h"

#include "pipeline/UBuild.h"
#include "platform/UErrors.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "project/UProject.h"
#include "ui/FBuildingProgress.h"
#include "ui/UDesktopHabits.h"
#include "ui/UFrameViewer.h"
#include "ui/UProductInfo.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace vlm::ui {

struct TfmProjector::TActionDef {
    TAction* TfmProjector::*Field;
    TActionSpec Spec;
    void (TfmProjector::*Execute)();
    bool (TfmProjector::*Update)() const; // nullptr: always enabled
    QStyle::StandardPixmap Icon;
    const char* ButtonCaption; // the tool button's caption; nullptr: not on the tool bar
};

using P = TfmProjector;

namespace {
const QSize ButtonSize(63, 44);
} // namespace

// clang-format off
const TfmProjector::TActionDef TfmProjector::ActionDefs[] = {
    {&P::actFileNewBlank, {"actFileNewBlank", "&Blank", "Blank", QKeySequence(QStringLiteral("Ctrl+N"))},
     &P::actFileNewBlankExecute, nullptr, QStyle::SP_FileIcon, "Blank"},
    {&P::actFileNewWizard, {"actFileNewWizard", "&Wizard...", "Wizard", QKeySequence(QStringLiteral("Ctrl+W"))},
     &P::actFileNewWizardExecute, nullptr, QStyle::SP_FileDialogContentsView, "Wizard"},
    {&P::actFileOpen, {"actFileOpen", "&Open...", "Open", QKeySequence(QStringLiteral("Ctrl+O"))},
     &P::actFileOpenExecute, nullptr, QStyle::SP_DialogOpenButton, "Open"},
    {&P::actFileSave, {"actFileSave", "&Save", "Save", QKeySequence(QStringLiteral("Ctrl+S"))},
     &P::actFileSaveExecute, &P::CanSave, QStyle::SP_DialogSaveButton, "Save"},
    {&P::actFileSaveAs, {"actFileSaveAs", "Save &As...", "Save As", QKeySequence(QStringLiteral("Ctrl+Shift+S"))},
     &P::actFileSaveAsExecute, &P::HasProject, QStyle::SP_DialogSaveButton, nullptr},
    {&P::actFileClose, {"actFileClose", "&Close", "Close", QKeySequence()},
     &P::actFileCloseExecute, &P::HasProject, QStyle::SP_DialogCloseButton, nullptr},
    {&P::actFileSelectHomePage, {"actFileSelectHomePage", "Select Home &Page...", "Select Home Page", QKeySequence(QStringLiteral("Ctrl+H"))},
     &P::actFileSelectHomePageExecute, &P::HasProject, QStyle::SP_DirHomeIcon, "Home Page"},
    {&P::actFileOptions, {"actFileOptions", "&Options...", "Options", QKeySequence(QStringLiteral("F11"))},
     &P::actFileOptionsExecute, &P::HasProject, QStyle::SP_FileDialogDetailedView, "Options"},
    {&P::actFileBuild, {"actFileBuild", "&Build", "Build", QKeySequence(QStringLiteral("Ctrl+F9"))},
     &P::actFileBuildExecute, &P::CanBuild, QStyle::SP_DialogApplyButton, "Build"},
    {&P::actFileRun, {"actFileRun", "&Run", "Run", QKeySequence(QStringLiteral("F9"))},
     &P::actFileRunExecute, &P::CanBuild, QStyle::SP_MediaPlay, "Run"},
    {&P::actFileSiteReport, {"actFileSiteReport", "Site Re&port...", "Site Report", QKeySequence()},
     &P::actFileSiteReportExecute, &P::CanBuild, QStyle::SP_FileDialogInfoView, nullptr},
    {&P::actFileExit, {"actFileExit", "E&xit", "Exit", QKeySequence(QStringLiteral("Ctrl+Q"))},
     &P::actFileExitExecute, nullptr, QStyle::SP_TitleBarCloseButton, nullptr},
    {&P::actHelpHelp, {"actHelpHelp", "&Help", "Help", QKeySequence(QStringLiteral("F1"))},
     &P::actHelpHelpExecute, &P::HelpExists, QStyle::SP_DialogHelpButton, nullptr},
    {&P::actHelpHomePageProduct, {"actHelpHomePageProduct", "&Product Home Page", "Product Home Page", QKeySequence()},
     &P::actHelpHomePageProductExecute, nullptr, QStyle::SP_DriveNetIcon, nullptr},
    {&P::actHelpHomePageCompany, {"actHelpHomePageCompany", "&Company Home Page", "Company Home Page", QKeySequence()},
     &P::actHelpHomePageCompanyExecute, nullptr, QStyle::SP_DriveNetIcon, nullptr},
    {&P::actHelpAbout, {"actHelpAbout", "&About...", "About", QKeySequence()},
     &P::actHelpAboutExecute, nullptr, QStyle::SP_MessageBoxInformation, "About"},
};
// clang-format on

TfmProjector::TfmProjector(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("fmProjector"));
    FViewer = new TFrameViewer(this);
    FViewer->setObjectName(QStringLiteral("Viewer"));
    FViewer->OnHotSpotTargetClick = [this](const QUrl& url, bool& handled) {
        ViewerHotSpotTargetClick(url, handled);
    };
    setCentralWidget(FViewer);
    CreateActions();
    CreateMenus();
    CreateToolBar();
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    // The design size, widened where the style needs more room to show the whole tool bar.
    const QToolBar* bar = findChild<QToolBar*>(QStringLiteral("ToolBar"));
    resize(std::max(500, bar->sizeHint().width()), 400);
    UpdateCaption();
    // The browser engine inside the preview takes drops itself; they are seen first here.
    qApp->installEventFilter(this);
}

TfmProjector::~TfmProjector() = default;

void TfmProjector::CreateActions() {
    FActions = new TActionList(this);
    for (const TActionDef& def : ActionDefs) {
        std::function<bool()> update;
        if (def.Update)
            update = [this, fn = def.Update] { return (this->*fn)(); };
        TAction* action = FActions->Add(
            def.Spec, [this, fn = def.Execute] { (this->*fn)(); }, std::move(update));
        action->setIcon(style()->standardIcon(def.Icon));
        if (def.ButtonCaption)
            action->setIconText(QString::fromUtf8(def.ButtonCaption));
        this->*def.Field = action;
    }
}

void TfmProjector::CreateMenus() {
    QMenu* project = menuBar()->addMenu(QStringLiteral("&Project"));
    project->setObjectName(QStringLiteral("miProject"));
    QMenu* newMenu = project->addMenu(QStringLiteral("&New"));
    newMenu->setObjectName(QStringLiteral("miNew"));
    newMenu->addActions({actFileNewBlank, actFileNewWizard});
    project->addAction(actFileOpen);
    QMenu* reopen = project->addMenu(QStringLiteral("R&eopen"));
    reopen->setObjectName(QStringLiteral("miReopen"));
    SetUpReopenMenu(reopen, [this](const QString& fileName) { ReopenProject(fileName); });
    project->addActions({actFileSave, actFileSaveAs, actFileClose});
    project->addSeparator();
    project->addActions({actFileSelectHomePage, actFileOptions, actFileBuild, actFileRun});
    project->addAction(actFileSiteReport);
    project->addSeparator();
    project->addAction(actFileExit);

    // Present but hidden while they hold no commands.
    for (const auto& [name, caption] :
         {std::pair{"miTools", "&Tools"}, {"miLanguage", "&Language"}}) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(caption));
        menu->setObjectName(QString::fromLatin1(name));
        menu->menuAction()->setVisible(false);
    }

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("miHelp"));
    help->addAction(actHelpHelp);
    help->addSeparator();
    help->addAction(FActions->AddLinkedItem("miHelpHomePage", QStringLiteral("Home &Page"),
                                            actHelpHomePageCompany));
    help->addAction(FActions->AddLinkedItem("miHelpSupport", QStringLiteral("&Support"),
                                            actHelpHomePageProduct));
    help->addSeparator();
    help->addAction(actHelpAbout);
}

void TfmProjector::CreateToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Standard"));
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setMovable(false);
    bar->setIconSize(QSize(24, 24));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const QList<TAction*> buttons[] = {
        {actFileNewBlank, actFileNewWizard},
        {actFileOpen, actFileSave},
        {actFileSelectHomePage, actFileOptions, actFileBuild, actFileRun},
        {actHelpAbout}};
    // The buttons keep their size; their captions get a font small enough to fit in them.
    QFont font = bar->font();
    const auto fits = [&] {
        const QFontMetrics metrics(font);
        for (const QList<TAction*>& group : buttons) {
            for (const TAction* action : group) {
                if (metrics.horizontalAdvance(action->iconText()) > ButtonSize.width() - 8)
                    return false;
            }
        }
        return true;
    };
    while (!fits() && font.pointSizeF() > 6)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    bar->setFont(font);
    bool first = true;
    for (const QList<TAction*>& group : buttons) {
        if (!first)
            bar->addSeparator();
        first = false;
        for (TAction* action : group) {
            bar->addAction(action);
            QWidget* button = bar->widgetForAction(action);
            button->setObjectName(QStringLiteral("tb") + action->iconText().remove(' '));
            // Taller where a large font needs more room under the image.
            const int height = bar->iconSize().height() + QFontMetrics(font).height() + 4;
            button->setFixedSize(ButtonSize.width(), std::max(ButtonSize.height(), height));
        }
    }
    ShowShortcutsInHints(bar);
}

void TfmProjector::FormCreate(const QStringList& args) {
    // The help file is the program's path with the extension ".chm"; whether it exists is
    // decided once, here.
    FHelpFile = QString::fromStdString(
        ChangeFileExt(ProgramFolder() + ExtractFileName(ProgramPath()), ".chm"));
    FHelpExists = FileExists(FHelpFile.toStdString());
    // Without one, Help shows the user manual that the build packs beside the program.
    FManualFile = QString::fromStdString(
        ChangeFileExt(ProgramFolder() + ExtractFileName(ProgramPath()), ".vlm"));
    FManualExists = FileExists(FManualFile.toStdString());
    FRunInProgress = false;
    FBuilder = std::make_unique<TBuilder>();

    RunCommand(this, [&] {
        if (args.isEmpty())
            actFileNewBlank->Execute();
        else
            OpenProject(ExpandFileName(args.constFirst().toStdString()));
        resize(width() + 1, height() + 1);
    });
    if (!FProject)
        ShowNoProject(); // the project named could not be opened

    FActions->UpdateAll();
}

void TfmProjector::UpdateCaption() {
    QString title = QString::fromUtf8(ProductTitle);
    if (FProject)
        title = QString::fromStdString(ExtractFileName(FProject->FileName())) +
                QStringLiteral(" - ") + title;
    SetApplicationTitle(title);
    setWindowTitle(title);
}

void TfmProjector::closeEvent(QCloseEvent* event) {
    // The build runs inside a command on this thread; closing now would pull the project and
    // the archive writer from under it.
    if (FProgress) {
        event->ignore();
        return;
    }
    if (RunCommand(this, [this] { actFileClose->Execute(); })) {
        SaveWindowGeometry(*this);
        event->accept();
    } else
        event->ignore();
}

QString TfmProjector::DroppedProject(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls()) {
        const QString file = url.isLocalFile() ? url.toLocalFile() : QString();
        if (file.endsWith(QStringLiteral(".vlp"), Qt::CaseInsensitive))
            return file;
    }
    return {};
}

bool TfmProjector::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QMainWindow::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || (widget != this && !isAncestorOf(widget)))
        return QMainWindow::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    const QString project = DroppedProject(drop->mimeData());
    // Nothing is taken while a build runs or a dialog of this window is up.
    if (project.isEmpty() || FProgress || !isEnabled() || QApplication::activeModalWidget()) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (type == QEvent::Drop) {
        // Opened once the drag has ended: the save question must not run inside it.
        QTimer::singleShot(0, this, [this, project] {
            RunCommand(this, [&] { ReplaceProject(ExpandFileName(project.toStdString())); });
            FActions->UpdateAll();
        });
    }
    return true;
}

bool TfmProjector::HasProject() const {
    return FProject != nullptr;
}

bool TfmProjector::CanSave() const {
    return FProject && (FProject->IsNew() || FProject->IsModified());
}

bool TfmProjector::CanBuild() const {
    return FBuilder && vlm::CanBuild(FProject.get(), !FViewer->CurrentFile().isEmpty());
}

} // namespace vlm::ui
