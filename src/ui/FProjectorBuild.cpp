// The main window's build, run and help commands and the product's web pages.
#include "ui/FProjector.h"

#include "pipeline/UBuild.h"
#include "platform/UErrors.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/UText.h"
#include "project/UProject.h"
#include "report/UReport.h"
#include "ui/FAbout.h"
#include "ui/FBuildingProgress.h"
#include "ui/FSiteReport.h"
#include "ui/UBuildThread.h"
#include "ui/UProductInfo.h"

#include <QStatusBar>
#include <QUrl>

namespace vlm::ui {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

namespace {

// The build works on a copy of the project (the window goes on reading its own while the
// build runs on its thread); what the build changed in it comes back afterwards, on every
// path: the output file the user chose and a Language that fell back to "Default".
void TakeBuildChanges(TProject& project, const TProject& built) {
    for (const char* name : {entry::OutputFile, entry::OutputType, entry::Language})
        if (built.Value(name) != project.Value(name))
            project.SetValue(name, built.Value(name));
}

} // namespace

void TfmProjector::actFileBuildExecute() {
    // The progress window lives for this one build; a cancelled build leaves it hidden and it
    // goes here, at once.
    std::unique_ptr<TfmBuildingProgress> progress = std::make_unique<TfmBuildingProgress>(this);
    FProgress = progress.get();
    struct TReset {
        TfmBuildingProgress*& Field;
        ~TReset() {
            Field->EnableMainWindow(); // also when the run ended in a way nobody foresaw
            Field = nullptr;
        }
    } reset{FProgress};
    // The status bar tells which files came from outside the home page's folder.
    statusBar()->clearMessage();
    const auto showOutside = [this] {
        if (const std::string warning = FBuilder->OutsideFiles().Warning(); !warning.empty())
            statusBar()->showMessage(Q(warning));
    };
    TProject project = *FProject;
    project.OnChange = {};
    const bool run = FRunInProgress;
    try {
        RunOffThread(*progress,
                     [&](const TBuildSeam& seam) { FBuilder->Build(project, seam, run); });
    } catch (const EBuildIncomplete&) {
        TakeBuildChanges(*FProject, project);
        showOutside(); // the output was written without some files
        throw;
    } catch (...) {
        TakeBuildChanges(*FProject, project);
        throw;
    }
    TakeBuildChanges(*FProject, project);
    showOutside();
}

void TfmProjector::actFileRunExecute() {
    FRunInProgress = true;
    bool built = false;
    try {
        built = actFileBuild->Execute();
    } catch (...) {
        FRunInProgress = false;
        throw;
    }
    FRunInProgress = false;
    if (!built)
        return;
    const std::string outputFile = FProject->FullPathOf(entry::OutputFile);
    if (UpperCase(FProject->Value(entry::OutputType)) != value::EXE) {
        // The viewer is the platform's business: a missing one shows nothing.
        Dialogs().StartProgram(Q(ProgramFolder() + ViewerProgramName), {Q(outputFile)});
        return;
    }
    // An executable output is a program of its own: the desktop's opener has no method for
    // it, so it is started directly, and a failure is the user's to know.
    if (const QString reason = Dialogs().StartProgram(Q(outputFile), {}); !reason.isEmpty())
        throw EVlmError("Cannot start \"" + outputFile + "\". " + reason.toStdString());
}

// The report runs with the build's progress window and Cancel, and its page opens in a
// window of its own; the main window stays usable beside it.
void TfmProjector::actFileSiteReportExecute() {
    std::unique_ptr<TfmBuildingProgress> progress = std::make_unique<TfmBuildingProgress>(this);
    FProgress = progress.get();
    struct TReset {
        TfmBuildingProgress*& Field;
        ~TReset() {
            if (Field) {
                Field->EnableMainWindow();
                Field->CloseProgress();
            }
            Field = nullptr;
        }
    } reset{FProgress};
    progress->Begun(FProject->FileName());
    TProject project = *FProject;
    project.OnChange = {};
    TSiteReport report;
    RunOffThread(*progress,
                 [&](const TBuildSeam& seam) { report = MakeSiteReport(project, seam); });
    if (progress->Cancelled())
        throw EAbort();
    const std::string folder = TempFolder();
    if (folder.empty())
        throw EVlmError("There is no private temporary folder for the site report");
    static int reports = 0;
    const std::string htmlFile = folder + "SiteReport" + std::to_string(++reports) + ".html";
    SaveReportHtml(htmlFile, report);
    const QString name = Q(ExtractFileName(FProject->FileName()));
    const QString base = Q(ChangeFileExt(ExtractFileName(FProject->FileName()), ""));
    auto* window = new TfmSiteReport(
        this,
        QStringLiteral("Site Report - %1").arg(name.isEmpty() ? QStringLiteral("Untitled") : name),
        htmlFile,
        base.isEmpty() ? QStringLiteral("Site Report.html")
                       : base + QStringLiteral(" report.html"));
    window->show();
}

void TfmProjector::actHelpHelpExecute() {
    if (FHelpExists)
        Dialogs().OpenUrl(this, QUrl::fromLocalFile(FHelpFile));
    else
        Dialogs().StartProgram(Q(ProgramFolder() + ViewerProgramName), {FManualFile});
}

void TfmProjector::actHelpHomePageProductExecute() {
    Dialogs().OpenUrl(this, QUrl(QString::fromUtf8(ProductSupportUrl)));
}

void TfmProjector::actHelpHomePageCompanyExecute() {
    Dialogs().OpenUrl(this, QUrl(QString::fromUtf8(ProductHomeUrl)));
}

void TfmProjector::actHelpAboutExecute() {
    TfrmAbout about(this);
    Dialogs().ExecDialog(about);
}

} // namespace vlm::ui
