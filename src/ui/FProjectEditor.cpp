#include "ui/FProjectEditor.h"

#include "platform/UErrors.h"
#include "ui/UActionList.h"
#include "ui/UProjectControls.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vlm::ui {

namespace {

QWidget* NewTab(QTabWidget* tabs, const char* name, const char* caption) {
    auto* tab = new QWidget(tabs);
    tab->setObjectName(QString::fromLatin1(name));
    tabs->addTab(tab, QString::fromUtf8(caption));
    return tab;
}

QGroupBox* NewGroup(QWidget* parent, const char* name, const char* title) {
    auto* group = new QGroupBox(QString::fromUtf8(title), parent);
    group->setObjectName(QString::fromLatin1(name));
    return group;
}

} // namespace

TfmProjectEditor::TfmProjectEditor(QWidget* owner, TProject& project)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      FProject(project) {
    setObjectName(QStringLiteral("fmProjectEditor"));
    setWindowTitle(QStringLiteral("Project Options"));
    FControls = new TProjectControls(this, FProject);
    FControls->OnDataChange = [this] { HandleDataChange(); };
    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("PageControl"));
    layout->addWidget(tabs, 1);
    AddGeneralTab(tabs);
    AddViewTab(tabs);
    AddAdvancedTab(tabs);
    AddFilesTab(tabs);

    // The update handler drives the controls, so the action comes after them.
    FActions = new TActionList(this);
    actApply = FActions->Add(
        {"actApply", "&Apply", "", QKeySequence()}, [this] { actApplyExecute(); },
        [this] { return actApplyUpdate(); });
    CreateButtons();
    FitToContents();

    FControls->LoadControls();
    // Filling the controls reported changes; none of them is the user's.
    actApply->setEnabled(false);
    FControls->UpdateDependentControls();
    tabs->setCurrentIndex(0);
}

void TfmProjectEditor::AddGeneralTab(QTabWidget* tabs) {
    QWidget* tab = NewTab(tabs, "tsGeneral", "General");
    auto* layout = new QVBoxLayout(tab);
    QGroupBox* source = NewGroup(tab, "gbSource", "Source");
    FControls->FillHomePage(source);
    QGroupBox* output = NewGroup(tab, "gbOutput", "Output");
    FControls->FillOutput(output, true);
    layout->addWidget(source);
    layout->addWidget(output);
    layout->addStretch();
}

void TfmProjectEditor::AddViewTab(QTabWidget* tabs) {
    QWidget* tab = NewTab(tabs, "tsView", "View");
    auto* layout = new QVBoxLayout(tab);
    auto* row = new QHBoxLayout;
    row->addWidget(FControls->AddWindowSize(tab), 1);
    row->addWidget(FControls->AddDisplay(tab), 1);
    layout->addLayout(row);
    // The viewer's language stays as the project has it: the group is kept, unseen, so that
    // the value travels through the dialog like every other.
    QGroupBox* language = NewGroup(tab, "gbLanguage", "Language");
    FControls->FillLanguage(language);
    language->setVisible(false);
    layout->addWidget(language);
    layout->addStretch();
}

void TfmProjectEditor::AddAdvancedTab(QTabWidget* tabs) {
    QWidget* tab = NewTab(tabs, "tsAdvanced", "Advanced");
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(FControls->AddCommands(tab));
    QGroupBox* protection = NewGroup(tab, "gbProtection", "Protection");
    FControls->FillProtection(protection);
    layout->addWidget(protection);
    layout->addStretch();
}

void TfmProjectEditor::AddFilesTab(QTabWidget* tabs) {
    QWidget* tab = NewTab(tabs, "tsFiles", "Files");
    auto* layout = new QVBoxLayout(tab);
    auto* parsing = new QWidget(tab);
    FControls->FillParsing(parsing, QStringLiteral("Skip parsing of HTML files for links and use "
                                                   "only the file masks specified below"));
    parsing->layout()->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(parsing);
    layout->addWidget(FControls->AddInclude(tab));
    layout->addWidget(FControls->AddExclude(tab));
    layout->addWidget(FControls->AddFilesNote(tab));
    layout->addStretch();
}

void TfmProjectEditor::FitToContents() {
    // The design size, or more where the desktop's font needs more room: no caption and no
    // paragraph may be cut.
    const auto fit = [this](QSize design, int width) {
        width = std::max(design.width(), width);
        const int height = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width)
                                                         : layout()->totalSizeHint().height();
        return QSize(width, std::max(design.height(), height));
    };
    layout()->activate();
    setMinimumSize(fit(QSize(505, 420), layout()->totalMinimumSize().width()));
    resize(fit(QSize(508, 429), layout()->totalSizeHint().width()));
}

void TfmProjectEditor::CreateButtons() {
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    auto* apply = new QPushButton(this);
    apply->setObjectName(QStringLiteral("btnApply"));
    FActions->LinkButton(apply, actApply);
    for (QPushButton* button : {ok, cancel, apply}) {
        button->setAutoDefault(false);
        row->addWidget(button);
    }
    static_cast<QVBoxLayout*>(layout())->addLayout(row);
    connect(ok, &QPushButton::clicked, this,
            [this] { RunCommand(this, [this] { btnOKClick(); }); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmProjectEditor::HandleDataChange() {
    if (actApply) // not while the controls are being made
        actApply->setEnabled(true);
}

void TfmProjectEditor::actApplyExecute() {
    try {
        FControls->StoreControls();
    } catch (const EAbort&) {
        // The preview's question ended the command after every entry was written: there is
        // nothing left to apply.
        actApply->setEnabled(false);
        throw;
    }
    actApply->setEnabled(false);
}

bool TfmProjectEditor::actApplyUpdate() {
    FControls->UpdateDependentControls();
    // Apply's own state follows the changes, not the idle-time rules (and it starts off).
    return actApply && actApply->isEnabled();
}

void TfmProjectEditor::btnOKClick() {
    if (actApply->isEnabled())
        actApply->Execute();
    accept();
}

} // namespace vlm::ui
