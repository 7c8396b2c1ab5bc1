// The main window: at most one open project, the preview of its home page, and every
// command in one action list reachable from the menu, the tool bar and the keyboard.
#pragma once

#include "ui/UActionList.h"
#include "ui/UDialogService.h"

#include <QMainWindow>
#include <QMimeData>
#include <QStringList>

#include <memory>
#include <string>

namespace vlm {
class TBuilder;
class TProject;
} // namespace vlm

namespace vlm::ui {

class TFrameViewer;
class TfmBuildingProgress;

class TfmProjector : public QMainWindow {
    Q_OBJECT
public:
    explicit TfmProjector(QWidget* parent = nullptr);
    ~TfmProjector() override;

    // Start-up: the help file, the build's tools, then the project named by the first of
    // args (the program's arguments without its name), or a blank one.
    void FormCreate(const QStringList& args);

    TProject* Project() const { return FProject.get(); }
    TFrameViewer* Viewer() const { return FViewer; }
    TActionList* ActionList() const { return FActions; }
    const QString& HelpFile() const { return FHelpFile; }
    const QString& ManualFile() const { return FManualFile; }
    bool RunInProgress() const { return FRunInProgress; }
    // The build's progress window while a build runs, else nullptr.
    TfmBuildingProgress* BuildingProgress() const { return FProgress; }

    void UpdateCaption();
    void ShowHomePage();
    // Project > Reopen: closes the open project (asking to save it) and opens fileName; a
    // file that cannot be opened leaves the recent list.
    void ReopenProject(const QString& fileName);

protected:
    void closeEvent(QCloseEvent* event) override; // FormClose
    // Files dragged onto the window, the preview included: a project file opens, anything
    // else is refused without a word (the preview would take it as a navigation).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TActionDef;
    static const TActionDef ActionDefs[];

    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void OpenProject(const std::string& fileName); // empty: a blank project
    // Open and a dropped project file: the open project is closed (with its save question)
    // first.
    void ReplaceProject(const std::string& fileName);
    // The project file among dropped URLs; empty when there is none.
    static QString DroppedProject(const QMimeData* data);
    void ProjectChanged();
    // The empty preview in the application-workspace colour: no project is open.
    void ShowNoProject();
    void ViewerHotSpotTargetClick(const QUrl& url, bool& handled);

    // Update handlers.
    bool HasProject() const;
    bool CanSave() const;
    bool CanBuild() const;
    bool HelpExists() const { return FHelpExists || FManualExists; }

    // Execute handlers.
    void actFileNewBlankExecute();
    void actFileNewWizardExecute();
    void actFileOpenExecute();
    void actFileSaveExecute();
    void actFileSaveAsExecute();
    void actFileCloseExecute();
    void actFileSelectHomePageExecute();
    void actFileOptionsExecute();
    void actFileBuildExecute();
    void actFileRunExecute();
    void actFileSiteReportExecute();
    void actFileExitExecute();
    void actHelpHelpExecute();
    void actHelpHomePageProductExecute();
    void actHelpHomePageCompanyExecute();
    void actHelpAboutExecute();

    std::unique_ptr<TProject> FProject;
    // The archive writer and the two matchers, made at start-up and kept with the window.
    std::unique_ptr<TBuilder> FBuilder;
    TFrameViewer* FViewer = nullptr;
    TActionList* FActions = nullptr;
    TfmBuildingProgress* FProgress = nullptr;
    QString FHelpFile;
    bool FHelpExists = false;
    QString FManualFile; // the packed user manual, shown in the viewer when no help file exists
    bool FManualExists = false;
    bool FRunInProgress = false;

    TAction* actFileNewBlank = nullptr;
    TAction* actFileNewWizard = nullptr;
    TAction* actFileOpen = nullptr;
    TAction* actFileSave = nullptr;
    TAction* actFileSaveAs = nullptr;
    TAction* actFileClose = nullptr;
    TAction* actFileSelectHomePage = nullptr;
    TAction* actFileOptions = nullptr;
    TAction* actFileBuild = nullptr;
    TAction* actFileRun = nullptr;
    TAction* actFileSiteReport = nullptr;
    TAction* actFileExit = nullptr;
    TAction* actHelpHelp = nullptr;
    TAction* actHelpHomePageProduct = nullptr;
    TAction* actHelpHomePageCompany = nullptr;
    TAction* actHelpAbout = nullptr;
};

// The main window's file dialogs.
TFileDialogSpec OpenDialogSpec();
TFileDialogSpec SaveDialogSpec();
TFileDialogSpec HomePageDialogSpec();

} // namespace vlm::ui
