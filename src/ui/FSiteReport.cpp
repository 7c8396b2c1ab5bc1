#include "ui/FSiteReport.h"

#include "platform/UFileStream.h"
#include "platform/UFileSys.h"
#include "platform/USafeFile.h"
#include "ui/UActionList.h"
#include "ui/UDesktopHabits.h"
#include "ui/UDialogService.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

#include <vector>

namespace vlm::ui {

namespace {

// Copies the page into target through the safe replace: target holds either what it held or
// the whole page.
void CopyPage(const std::string& page, const std::string& target) {
    TFileStream source(page, TFileMode::OpenRead);
    TSafeFile file(target);
    std::vector<char> buffer(64 * 1024);
    while (const size_t count = source.Read(buffer.data(), buffer.size()))
        file.Write(buffer.data(), count);
    file.Commit();
}

} // namespace

TFileDialogSpec SiteReportSaveDialogSpec() {
    TFileDialogSpec spec;
    spec.Name = QStringLiteral("SiteReportSaveDialog");
    spec.Title = QStringLiteral("Save Site Report");
    spec.Filter = QStringLiteral("HTML Files (*.htm; *.html)|*.htm;*.html|All Files (*.*)|*.*");
    spec.DefaultExt = QStringLiteral("html");
    spec.Save = true;
    spec.OverwritePrompt = true;
    return spec;
}

TfmSiteReport::TfmSiteReport(QWidget* owner, const QString& title, const std::string& htmlFile,
                             const QString& suggestedName)
    : QWidget(owner, Qt::Window), FHtmlFile(htmlFile), FSuggestedName(suggestedName) {
    setObjectName(QStringLiteral("fmSiteReport"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    FView = new QWebEngineView(this);
    FView->setObjectName(QStringLiteral("wbReport"));
    layout->addWidget(FView, 1);

    auto* buttons = new QHBoxLayout;
    const int margin = fontMetrics().height() / 2;
    buttons->setContentsMargins(margin, margin / 2, margin, margin);
    btnSaveAs = new QPushButton(QStringLiteral("Save &As..."), this);
    btnSaveAs->setObjectName(QStringLiteral("btnSaveAs"));
    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    buttons->addWidget(btnSaveAs);
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    layout->addLayout(buttons);
    connect(btnSaveAs, &QPushButton::clicked, this, [this] { btnSaveAsClick(); });
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    // The keys close the window wherever the focus is, the page included.
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }

    const QFontMetrics metrics(font());
    resize(metrics.averageCharWidth() * 140, metrics.height() * 45);
    FView->load(QUrl::fromLocalFile(QString::fromStdString(htmlFile)));
}

TfmSiteReport::~TfmSiteReport() {
    if (FileExists(FHtmlFile))
        DeleteFile(FHtmlFile);
}

void TfmSiteReport::btnSaveAsClick() {
    RunCommand(this, [this] {
        TFileDialogSpec spec = SiteReportSaveDialogSpec();
        spec.FileName = FSuggestedName;
        QString chosen;
        if (!ExecFileDialogRemembering(this, spec, chosen))
            return;
        CopyPage(FHtmlFile, chosen.toStdString());
    });
}

} // namespace vlm::ui
