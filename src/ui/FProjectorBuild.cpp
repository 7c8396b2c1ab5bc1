// The main window's build, run and help commands and the product's web pages.
#include "ui/FProjector.h"

#include "pipeline/UBuild.h"
#include "platform/UErrors.h"
#include "platform/UFileSys.h"
#include "platform/UText.h"
#include "project/UProject.h"
#include "ui/FAbout.h"
#include "ui/FBuildingProgress.h"
#include "ui/UProductInfo.h"

#include <QUrl>

namespace vlm::ui {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

void TfmProjector::actFileBuildExecute() {
    // The progress window lives for this one build; a cancelled build leaves it hidden and it
    // goes here, at once.
    std::unique_ptr<TfmBuildingProgress> progress = std::make_unique<TfmBuildingProgress>(this);
    FProgress = progress.get();
    struct TReset {
        TfmBuildingProgress*& Field;
        ~TReset() { Field = nullptr; }
    } reset{FProgress};
    FBuilder->Build(*FProject, *progress, FRunInProgress);
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
    if (UpperCase(FProject->Value(entry::OutputType)) != value::EXE)
        Dialogs().StartProgram(Q(ProgramFolder() + "VLMView.exe"), {Q(outputFile)});
    else
        Dialogs().OpenUrl(this, QUrl::fromLocalFile(Q(outputFile)));
}

void TfmProjector::actHelpHelpExecute() {
    if (FHelpExists)
        Dialogs().OpenUrl(this, QUrl::fromLocalFile(FHelpFile));
    else
        Dialogs().StartProgram(Q(ProgramFolder() + "VLMView.exe"), {FManualFile});
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
