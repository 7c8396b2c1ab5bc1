// The build's progress window: it shows a build's events (on the window's thread; a build
// that runs on a worker thread reaches it through UBuildThread), asks its questions (the
// output-file prompt, the replace question), and its Cancel button cancels the build's
// token. Paths are shortened here to the widths of their labels.
#pragma once

#include "pipeline/UBuildSeam.h"
#include "ui/UDialogService.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace vlm::ui {

// The two labels of the window whose paths are shortened to their width.
enum class TProgressLabel { OutputFile, CurrentFile };

class TfmBuildingProgress : public QDialog, public vlm::TBuildEvents, public vlm::TBuildQuestions {
    Q_OBJECT
public:
    // owner: the main window, which the build disables. It is not the Qt parent, because a
    // disabled parent would disable this window and its Cancel button with it.
    explicit TfmBuildingProgress(QWidget* owner);

    bool AskOutputFile(std::string& fileName) override;
    bool AskReplace(const std::string& question) override;

    // Shows the window without making it modal and disables the main window.
    void Begun(const std::string& outputFile) override;
    void Stage(const std::string& caption) override;
    void Bar(int position, uint64_t done, uint64_t known) override;
    void SizeCaption(const std::string& caption) override;
    void Size(std::optional<uint64_t> bytes) override;
    void CurrentFile(const std::string& path) override;
    // Enables the main window; a finished build shows "Finished" (and when waitForUser
    // waits modally for the button); then the window hides.
    void Ended(bool finished, bool waitForUser) override;

    // The token that the Cancel button cancels (the build's own).
    void SetCancelToken(TCancelToken* cancel) { FCancel = cancel; }
    bool Cancelled() const { return FCancelled; }
    int Progress() const;
    // Width of a label and of a text in that label's font.
    int LabelWidth(TProgressLabel label) const;
    int TextWidth(TProgressLabel label, const std::string& text) const;
    void EnableMainWindow();
    void CloseProgress();

    // Escape and the title bar's close button press btnCancel.
    void reject() override;

private:
    void CreateControls();
    void WidenSizeBox();
    void btnCancelClick();
    QLabel* LabelOf(TProgressLabel label) const;

    void ShowFinished(bool waitForUser);
    std::string Shortened(TProgressLabel label, const std::string& path) const;

    QWidget* FOwner;
    TCancelToken* FCancel = nullptr;
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
