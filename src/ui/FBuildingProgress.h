// The build's progress window, and the desktop program's answer to what a build asks of a
// window: the output-file prompt, the replace question, the progress fields, text widths,
// message processing and the Cancel button.
#pragma once

#include "pipeline/UBuildHost.h"
#include "ui/UDialogService.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace vlm::ui {

class TfmBuildingProgress : public QDialog, public vlm::TBuildHost {
    Q_OBJECT
public:
    // owner: the main window, which the build disables. It is not the Qt parent, because a
    // disabled parent would disable this window and its Cancel button with it.
    explicit TfmBuildingProgress(QWidget* owner);

    bool AskOutputFile(std::string& fileName) override;
    bool AskReplace(const std::string& question) override;

    void ShowProgress() override;
    void SetOutputFileText(const std::string& text) override;
    void SetStageCaption(const std::string& caption) override;
    void SetProgress(int position) override;
    int Progress() const override;
    void SetSizeCaption(const std::string& caption) override;
    void SetSizeText(const std::string& text) override;
    void SetCurrentFileText(const std::string& text) override;
    int LabelWidth(TProgressLabel label) const override;
    int TextWidth(TProgressLabel label, const std::string& text) const override;

    void ProcessMessages() override;
    bool Cancelled() const override { return FCancelled; }
    void SetCancelled() override { FCancelled = true; }

    void EnableMainWindow() override;
    void ShowFinished(bool waitForUser) override;
    void CloseProgress() override;

    // Escape and the title bar's close button press btnCancel.
    void reject() override;

private:
    void CreateControls();
    void WidenSizeBox();
    void btnCancelClick();
    QLabel* LabelOf(TProgressLabel label) const;

    QWidget* FOwner;
    bool FCancelled = false;
    bool FModal = false;

    QGroupBox* gbInfo = nullptr;
    QGroupBox* gbOutputFile = nullptr;
    QLabel* lblOutputFile = nullptr;
    QGroupBox* gbOutputSize = nullptr;
    QLabel* lblOutputSize = nullptr;
    QGroupBox* gbProgress = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QGroupBox* gbCurrentFile = nullptr;
    QLabel* lblCurrentFile = nullptr;
    QPushButton* btnCancel = nullptr;
};

// The main window's OutputFileDialog, through which a build asks for its output file.
TFileDialogSpec OutputFileDialogSpec();

} // namespace vlm::ui
