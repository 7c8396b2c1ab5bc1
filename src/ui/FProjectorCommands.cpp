// The main window's project commands and the preview of the project's home page.
#include "ui/FProjector.h"

#include "platform/UErrors.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "project/UProject.h"
#include "ui/FProjectEditor.h"
#include "ui/FProjectWizard.h"
#include "ui/UDesktopHabits.h"
#include "ui/UFrameViewer.h"

#include <QApplication>
#include <QPalette>
#include <QTimer>

namespace vlm::ui {

namespace {

const QString ProjectFilter = QStringLiteral("Project files (*.vlp)|*.vlp|All Files (*.*)|*.*");

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// System colour 5, the window colour, and 12, the application workspace.
QColor WindowColour() {
    return QApplication::palette().color(QPalette::Base);
}

QColor WorkspaceColour() {
    return QApplication::palette().color(QPalette::Dark);
}

} // namespace

TFileDialogSpec OpenDialogSpec() {
    TFileDialogSpec spec;
    spec.Name = QStringLiteral("OpenDialog");
    spec.Filter = ProjectFilter;
    spec.MustExist = true;
    return spec;
}

TFileDialogSpec SaveDialogSpec() {
    TFileDialogSpec spec;
    spec.Name = QStringLiteral("SaveDialog");
    spec.Filter = ProjectFilter;
    spec.DefaultExt = QStringLiteral("vlp");
    spec.Save = true;
    spec.OverwritePrompt = true;
    return spec;
}

TFileDialogSpec HomePageDialogSpec() {
    TFileDialogSpec spec;
    spec.Name = QStringLiteral("HomePageDialog");
    spec.Filter = QStringLiteral("HTML Files (*.htm; *.html)|*.htm;*.html|All Files (*.*)|*.*");
    spec.MustExist = true;
    return spec;
}

void TfmProjector::OpenProject(const std::string& fileName) {
    FProject =
        fileName.empty() ? std::make_unique<TProject>() : std::make_unique<TProject>(fileName);
    FProject->OnChange = [this](TProject&) { ProjectChanged(); };
    if (!fileName.empty())
        TRecentProjects::Add(Q(fileName));
    UpdateCaption();
    ShowHomePage();
}

void TfmProjector::ProjectChanged() {
    if (Q(FProject->FullPathOf(entry::HomePage)) != FViewer->CurrentFile())
        ShowHomePage();
}

void TfmProjector::ShowHomePage() {
    FViewer->SetDefBackground(WindowColour());
    const std::string homePage = FProject->FullPathOf(entry::HomePage);
    if (homePage.empty()) {
        FViewer->Clear();
        return;
    }
    if (FileExists(homePage)) {
        if (FViewer->CurrentFile() != Q(homePage))
            FViewer->LoadFromFile(Q(homePage));
        return;
    }
    const QString question =
        QStringLiteral("The Home Page defined in the project does not exists:\r\"") + Q(homePage) +
        QStringLiteral("\".\r") + QStringLiteral("Do you want to change it to existing one?");
    if (Dialogs().MessageBox(this, TMsgKind::Error, question, TMsgButton::Yes | TMsgButton::No) !=
        mrYes)
        throw EAbort();
    actFileSelectHomePage->Execute();
}

void TfmProjector::ViewerHotSpotTargetClick(const QUrl& /*url*/, bool& handled) {
    handled = true;
    // The engine asks from inside its navigation; the message waits until that has returned.
    QTimer::singleShot(0, this, [this] {
        Dialogs().MessageBox(
            this, TMsgKind::Plain,
            QStringLiteral("Sorry, Vellumar(R) Packer does not allow to browse the site.\r"
                           "It is capable just only to preview Home Page of the project."),
            TMsgButton::OK);
    });
}

void TfmProjector::actFileNewBlankExecute() {
    actFileClose->Execute();
    OpenProject({});
}

void TfmProjector::actFileNewWizardExecute() {
    actFileNewBlank->Execute();
    int result = mrCancel;
    {
        TfmProjectWizard wizard(this, *FProject);
        result = Dialogs().ExecDialog(wizard);
    }
    // The wizard may have given the project its home page: Build and Run may start now.
    actFileBuild->Update();
    actFileRun->Update();
    if (result == mrOK)
        actFileBuild->Execute();
    else if (result == mrYes)
        actFileRun->Execute();
}

void TfmProjector::actFileOpenExecute() {
    QString fileName;
    if (!ExecFileDialogRemembering(this, OpenDialogSpec(), fileName))
        return;
    ReplaceProject(fileName.toStdString());
}

void TfmProjector::ReplaceProject(const std::string& fileName) {
    actFileClose->Execute(); // nothing when no project is open
    OpenProject(fileName);
}

void TfmProjector::ReopenProject(const QString& fileName) {
    RunCommand(this, [&] {
        actFileClose->Execute();
        try {
            OpenProject(fileName.toStdString());
        } catch (const EAbort&) {
            throw;
        } catch (...) {
            TRecentProjects::Remove(fileName);
            throw;
        }
    });
}

void TfmProjector::actFileSaveExecute() {
    if (FProject->IsNew())
        actFileSaveAs->Execute();
    else
        FProject->Save();
}

void TfmProjector::actFileSaveAsExecute() {
    TFileDialogSpec spec = SaveDialogSpec();
    spec.FileName = Q(FProject->FileName());
    QString fileName;
    if (!ExecFileDialogRemembering(this, spec, fileName))
        throw EAbort();
    FProject->SetFileName(fileName.toStdString());
    FProject->Save();
    TRecentProjects::Add(fileName);
    UpdateCaption();
    // A relative home page now lies beside the project's new file.
    ProjectChanged();
}

void TfmProjector::actFileCloseExecute() {
    if (FProject->IsModified()) {
        const QString question =
            QStringLiteral("Save changes to \"") + Q(FProject->FileName()) + QStringLiteral("\"?");
        const TModalResult answer =
            Dialogs().MessageBox(this, TMsgKind::Confirm, question,
                                 TMsgButton::Yes | TMsgButton::No | TMsgButton::Cancel);
        if (answer != mrYes && answer != mrNo)
            throw EAbort();
        if (answer == mrYes)
            actFileSave->Execute();
    }
    FProject.reset();
    UpdateCaption();
    ShowNoProject();
}

void TfmProjector::ShowNoProject() {
    FViewer->Clear();
    FViewer->SetDefBackground(WorkspaceColour());
}

void TfmProjector::actFileSelectHomePageExecute() {
    const std::string homePage = FProject->FullPathOf(entry::HomePage);
    TFileDialogSpec spec = HomePageDialogSpec();
    spec.Title = actFileSelectHomePage->statusTip();
    spec.InitialDir = Q(ExtractFilePath(homePage));
    spec.FileName = Q(ExtractFileName(homePage));
    QString fileName;
    if (!ExecFileDialogRemembering(this, spec, fileName))
        throw EAbort();
    FProject->SetValue(entry::HomePage, fileName.toStdString());
    ShowHomePage();
}

void TfmProjector::actFileOptionsExecute() {
    TfmProjectEditor editor(this, *FProject);
    Dialogs().ExecDialog(editor);
}

void TfmProjector::actFileExitExecute() {
    close();
}

} // namespace vlm::ui
