#include "ui/FBuildingProgress.h"

#include "pipeline/UProgress.h"
#include "ui/UDesktopHabits.h"
#include "ui/UFontFit.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWindow>

#include <algorithm>

namespace vlm::ui {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

template <typename T> T* Place(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* control = new T(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(x, y, w, h);
    return control;
}

} // namespace

TFileDialogSpec OutputFileDialogSpec() {
    TFileDialogSpec spec;
    spec.Name = QStringLiteral("OutputFileDialog");
    spec.Title = QStringLiteral("Select Output File");
    spec.Filter = QStringLiteral("Executable Files (*.exe)|*.exe|Vellumar Files (*.vlm)|*.vlm");
    spec.DefaultExt = QStringLiteral("exe");
    spec.Save = true;
    return spec;
}

TfmBuildingProgress::TfmBuildingProgress(QWidget* owner)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      FOwner(owner) {
    setObjectName(QStringLiteral("fmBuildingProgress"));
    setWindowTitle(QStringLiteral("Building..."));
    setFixedSize(350, 250);
    CreateControls();
    WidenSizeBox();
    // Room for the widest texts the build shows here.
    const QStringList stages = {QStringLiteral("Loading settings..."),
                                QStringLiteral("Parsing files..."),
                                QStringLiteral("Compressing files..."),
                                QStringLiteral("Integrating..."), QStringLiteral("Finished")};
    FitToFont(
        this, QSize(350, 250),
        {{gbProgress, stages},
         {gbOutputSize, {QStringLiteral("Current file size"), QStringLiteral("Output file size")}},
         {lblOutputSize, {QStringLiteral("1023.99 MB")}},
         {lblOutputFile, {QStringLiteral("/...")}},
         {btnCancel, {QStringLiteral("Cancel"), QStringLiteral("Finished")}}});
}

void TfmBuildingProgress::CreateControls() {
    gbInfo = Place<QGroupBox>(this, "gbInfo", 10, 10, 330, 190);
    gbOutputFile = Place<QGroupBox>(gbInfo, "gbOutputFile", 10, 10, 311, 51);
    gbOutputFile->setTitle(QStringLiteral("Output file"));
    lblOutputFile = Place<QLabel>(gbOutputFile, "lblOutputFile", 10, 20, 291, 21);
    gbOutputSize = Place<QGroupBox>(gbInfo, "gbOutputSize", 10, 70, 101, 51);
    lblOutputSize = Place<QLabel>(gbOutputSize, "lblOutputSize", 10, 20, 81, 21);
    lblOutputSize->setAlignment(Qt::AlignCenter);
    gbProgress = Place<QGroupBox>(gbInfo, "gbProgress", 120, 70, 201, 51);
    ProgressBar = Place<QProgressBar>(gbProgress, "ProgressBar", 10, 20, 181, 21);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    gbCurrentFile = Place<QGroupBox>(gbInfo, "gbCurrentFile", 10, 130, 311, 51);
    gbCurrentFile->setTitle(QStringLiteral("Current file"));
    lblCurrentFile = Place<QLabel>(gbCurrentFile, "lblCurrentFile", 10, 20, 291, 21);
    btnCancel = Place<QPushButton>(this, "btnCancel", 130, 210, 90, 25);
    btnCancel->setText(QStringLiteral("Cancel"));
    btnCancel->setAutoDefault(false);
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
}

// The size box's longer title, "Current file size", outgrows its 101 pixels with common Linux
// fonts; the box takes the room it needs from the progress box beside it, which has room
// to spare, so that the window keeps its size.
void TfmBuildingProgress::WidenSizeBox() {
    const int need = GroupBoxTitleRight(gbOutputSize, QStringLiteral("Current file size"));
    const int extra = std::clamp(need - gbOutputSize->width(), 0, 60);
    if (extra == 0)
        return;
    gbOutputSize->resize(gbOutputSize->width() + extra, gbOutputSize->height());
    lblOutputSize->resize(lblOutputSize->width() + extra, lblOutputSize->height());
    gbProgress->setGeometry(gbProgress->x() + extra, gbProgress->y(), gbProgress->width() - extra,
                            gbProgress->height());
    ProgressBar->resize(ProgressBar->width() - extra, ProgressBar->height());
}

void TfmBuildingProgress::btnCancelClick() {
    FCancelled = true;
    if (FCancel)
        FCancel->Cancel();
    if (FModal)
        done(mrCancel);
}

void TfmBuildingProgress::reject() {
    btnCancel->click();
}

bool TfmBuildingProgress::AskOutputFile(std::string& fileName) {
    QString chosen = Text(fileName);
    if (!ExecFileDialogRemembering(FOwner, OutputFileDialogSpec(), chosen))
        return false;
    fileName = chosen.toStdString();
    return true;
}

bool TfmBuildingProgress::AskReplace(const std::string& question) {
    return Dialogs().MessageBox(this, TMsgKind::Warning, Text(question),
                                TMsgButton::Yes | TMsgButton::No) == mrYes;
}

void TfmBuildingProgress::Begun(const std::string& outputFile) {
    if (FOwner) {
        move(FOwner->frameGeometry().center() - QPoint(width() / 2, height() / 2));
        winId();
        if (windowHandle() && FOwner->windowHandle())
            windowHandle()->setTransientParent(FOwner->windowHandle());
    }
    show();
    if (FOwner)
        FOwner->setEnabled(false);
    lblOutputFile->setText(Text(Shortened(TProgressLabel::OutputFile, outputFile)));
}

void TfmBuildingProgress::Stage(const std::string& caption) {
    gbProgress->setTitle(Text(caption));
}

void TfmBuildingProgress::Bar(int position, uint64_t, uint64_t) {
    ProgressBar->setValue(position);
}

int TfmBuildingProgress::Progress() const {
    return ProgressBar->value();
}

void TfmBuildingProgress::SizeCaption(const std::string& caption) {
    gbOutputSize->setTitle(Text(caption));
}

void TfmBuildingProgress::Size(std::optional<uint64_t> bytes) {
    lblOutputSize->setText(bytes ? Text(FormatSize(*bytes)) : QString());
}

void TfmBuildingProgress::CurrentFile(const std::string& path) {
    lblCurrentFile->setText(Text(Shortened(TProgressLabel::CurrentFile, path)));
}

std::string TfmBuildingProgress::Shortened(TProgressLabel label, const std::string& path) const {
    return MinimizeName(
        path, [&](const std::string& text) { return TextWidth(label, text); }, LabelWidth(label));
}

void TfmBuildingProgress::Ended(bool finished, bool waitForUser) {
    EnableMainWindow();
    if (finished)
        ShowFinished(waitForUser);
    CloseProgress();
}

QLabel* TfmBuildingProgress::LabelOf(TProgressLabel label) const {
    return label == TProgressLabel::OutputFile ? lblOutputFile : lblCurrentFile;
}

int TfmBuildingProgress::LabelWidth(TProgressLabel label) const {
    return LabelOf(label)->width();
}

int TfmBuildingProgress::TextWidth(TProgressLabel label, const std::string& text) const {
    return QFontMetrics(LabelOf(label)->font()).horizontalAdvance(Text(text));
}

void TfmBuildingProgress::EnableMainWindow() {
    if (FOwner)
        FOwner->setEnabled(true);
}

void TfmBuildingProgress::ShowFinished(bool waitForUser) {
    QFont bold = gbProgress->font();
    bold.setBold(true);
    gbProgress->setFont(bold);
    gbProgress->setTitle(QStringLiteral("Finished"));
    btnCancel->setText(QStringLiteral("Finished"));
    if (!waitForUser)
        return;
    hide();
    btnCancel->setDefault(true);
    FModal = true;
    Dialogs().ExecDialog(*this);
    FModal = false;
}

void TfmBuildingProgress::CloseProgress() {
    hide();
}

} // namespace vlm::ui
