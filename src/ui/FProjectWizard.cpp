#include "ui/FProjectWizard.h"

#include "ui/UActionList.h"
#include "ui/UDialogService.h"
#include "ui/UProjectControls.h"
#include "ui/UWizardPictures.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>

namespace vlm::ui {

namespace {

enum TPage {
    pgWelcome,
    pgHomePage,
    pgOutputFile,
    pgView,
    pgLanguage1,
    pgCommands,
    pgProtection,
    pgParsing,
    pgFiles,
    pgFinish,
    PageCount
};

// The lines of the two text boxes, each exactly as it is shown, trailing blanks included.
const char* const WelcomeLines[] = {
    "With the help of this Wizard, you can create the new ",
    "Vellumar-project and adjust its settings quickly and easily.",
    "",
    "If you wish, right after that Wizard will start the building ",
    "process of Vellumar-archive for you with according to ",
    "project settings.",
    "",
    "Further, you can save the project in a place convenient for ",
    "you to have an opportunity at any moment to launch the ",
    "building process of your Vellumar-archive again, skipping ",
    "repeated adjustment of project settings (it is very convenient",
    "if your site is under development or it is on a regular basis ",
    "updated).",
    "",
    "Press \"Next\" button to continue.",
};

const char* const FinishLines[] = {
    "The project is successfully created!",
    "",
    "Now, Wizard is ready to start the building process of your ",
    "Vellumar-archive. If you wish to do this later then select ",
    "the corresponding option below.",
    "",
    "Do not forget to save the project on the disk if you plan to ",
    "repeat the building process of your Vellumar-archive",
    "once more again.",
};

template <size_t N> QString JoinLines(const char* const (&lines)[N]) {
    QStringList text;
    for (const char* line : lines)
        text << QString::fromUtf8(line);
    return text.join(QLatin1Char('\n'));
}

QLabel* NewLabel(QWidget* parent, const QString& name, const char* text, bool bold) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

// The window background behind the texts of the title strips and the end pages.
void PaintWindowColour(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Base));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QVBoxLayout* Column(QWidget* host) {
    auto* layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}

// A read-only box of fixed lines that the user reads but never tabs into. The lines keep
// their breaks: the box is made wide enough for the longest in the desktop's font.
QPlainTextEdit* NewLinesBox(QWidget* parent, const char* name, const QString& text) {
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setReadOnly(true);
    box->setFrameShape(QFrame::NoFrame);
    box->setFocusPolicy(Qt::NoFocus);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setPlainText(text);
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, box->fontMetrics().horizontalAdvance(line));
    const int margins = 2 * static_cast<int>(box->document()->documentMargin()) + 4;
    box->setMinimumWidth(widest + margins);
    // Every line shows: the box never scrolls, whatever the font.
    const auto lines = static_cast<int>(text.count(QLatin1Char('\n'))) + 1;
    box->setMinimumHeight(lines * box->fontMetrics().lineSpacing() + margins);
    return box;
}

} // namespace

struct TfmProjectWizard::TPageDef {
    const char* Name;
    const char* Header; // nullptr: no title strip
    const char* Description;
    TWizardPicture Picture;
};

// clang-format off
const TfmProjectWizard::TPageDef TfmProjectWizard::PageDefs[] = {
    {"pgWelcome",    nullptr, nullptr, TWizardPicture::Side},
    {"pgHomePage",   "Home Page", "Select Home Page of the project.", TWizardPicture::HomePage},
    {"pgOutputFile", "Output File", "Select the format and the name of the output file.", TWizardPicture::OutputFile},
    {"pgView",       "View", "Specify the window size and bars to display in the viewer.", TWizardPicture::View},
    {"pgLanguage1",  "Language", "Select a prefered language of the viewer.", TWizardPicture::Language},
    {"pgCommands",   "Commands", "Select what commands will be available in the viewer.", TWizardPicture::Commands},
    {"pgProtection", "Protection", "Protect your output file by the password or the warning message.", TWizardPicture::Protection},
    {"pgParsing",    "Parsing", "Skip parsing of HTML files if you wish to save time on processing a large site.", TWizardPicture::Parsing},
    {"pgFiles",      "Files", "Specify files to include into or exclude from the output file.", TWizardPicture::Files},
    {"pgFinish",     nullptr, nullptr, TWizardPicture::Side},
};
// clang-format on

TfmProjectWizard::TfmProjectWizard(QWidget* owner, TProject& project)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint),
      FProject(project) {
    setObjectName(QStringLiteral("fmProjectWizard"));
    setWindowTitle(QStringLiteral("Project Wizard"));
    FControls = new TProjectControls(this, FProject);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    CreatePages();
    CreateActions();
    CreateButtons();
    FitButtons();
    // 480 by 360, or larger where the desktop's font needs it for a caption or a line.
    layout->activate();
    const int width = std::max(480, layout->totalMinimumSize().width());
    setFixedSize(width, std::max(360, PagesHeight(width) + FButtons->height()));
    FControls->LoadControls();
    actFinish->setEnabled(false);
    FPages->setCurrentIndex(pgWelcome);
}

int TfmProjectWizard::PageIndex() const {
    return FPages->currentIndex();
}

void TfmProjectWizard::CreatePages() {
    // No tabs: the pages change with Back and Next only, so none can be left unvisited.
    FPages = new QStackedWidget(this);
    FPages->setObjectName(QStringLiteral("PageControl"));
    static_cast<QVBoxLayout*>(layout())->addWidget(FPages, 1);
    for (int index = 0; index < PageCount; ++index) {
        const TPageDef& def = PageDefs[index];
        QWidget* page = NewPage(def);
        FPages->addWidget(page);
        FillPage(index, page->findChild<QWidget*>(QStringLiteral("pnContent"),
                                                  Qt::FindDirectChildrenOnly));
    }
    // The viewer's language keeps the project's value and is not offered.
    FPageVisible.assign(PageCount, true);
    FPageVisible[pgLanguage1] = false;
    edHomePage = findChild<QLineEdit*>(QStringLiteral("edHomePage"));
    edOutputFile = findChild<QLineEdit*>(QStringLiteral("edOutputFile"));
}

QWidget* TfmProjectWizard::NewPage(const TPageDef& def) {
    auto* page = new QWidget(FPages);
    page->setObjectName(QString::fromLatin1(def.Name));
    const QString suffix = QString::fromLatin1(def.Name).mid(2);
    auto* content = new QWidget(page);
    content->setObjectName(QStringLiteral("pnContent"));
    if (!def.Header) {
        // The first and the last page: a picture at the left, the text beside it.
        auto* row = new QHBoxLayout(page);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(0);
        row->addWidget(NewSidePicture(page, QStringLiteral("ico") + suffix));
        PaintWindowColour(content);
        row->addWidget(content, 1);
        return page;
    }
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    auto* strip = new QFrame(page);
    strip->setObjectName(QStringLiteral("pnTitle") + suffix);
    strip->setFrameStyle(QFrame::Panel | QFrame::Raised);
    PaintWindowColour(strip);
    auto* stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(12, 6, 8, 6);
    auto* texts = new QVBoxLayout;
    texts->addWidget(NewLabel(strip, QStringLiteral("lbl") + suffix + QStringLiteral("Header"),
                              def.Header, true));
    QLabel* description =
        NewLabel(strip, QStringLiteral("lbl") + suffix + QStringLiteral("Description"),
                 def.Description, false);
    description->setIndent(12);
    texts->addWidget(description);
    stripLayout->addLayout(texts, 1);
    stripLayout->addWidget(NewTitlePicture(strip, QStringLiteral("ico") + suffix, def.Picture));
    column->addWidget(strip);
    column->addWidget(content, 1);
    return page;
}

void TfmProjectWizard::FillPage(int index, QWidget* content) {
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(12, 8, 12, 2);
    if (index == pgWelcome || index == pgFinish) {
        FillEndPage(index, layout);
        return;
    }
    auto* host = new QWidget(content);
    layout->addWidget(host);
    layout->addStretch();
    switch (index) {
    case pgHomePage:
        FControls->FillHomePage(host);
        break;
    case pgOutputFile:
        FControls->FillOutput(host, false);
        break;
    case pgView: {
        QVBoxLayout* inner = Column(host);
        inner->addWidget(NewLabel(host, QStringLiteral("lblViewText"),
                                  "You can specify any desired size of the window and bars to "
                                  "display when Vellumar-viewer will be playing your "
                                  "Vellumar-archive.",
                                  false));
        auto* row = new QHBoxLayout;
        row->addWidget(FControls->AddWindowSize(host), 1);
        row->addWidget(FControls->AddDisplay(host), 1);
        inner->addLayout(row);
        break;
    }
    case pgLanguage1:
        FControls->FillLanguage(host);
        break;
    case pgCommands: {
        QVBoxLayout* inner = Column(host);
        inner->addWidget(NewLabel(host, QStringLiteral("lblCommandsText"),
                                  "You can decide that the user of your Vellumar-archive should "
                                  "not use some extra features like \"copying the data to "
                                  "clipboard\". Uncheck items below to disable unnecessary "
                                  "features.",
                                  false));
        inner->addWidget(FControls->AddCommands(host));
        break;
    }
    case pgProtection:
        FControls->FillProtection(host);
        break;
    case pgParsing:
        FControls->FillParsing(host, QStringLiteral("Skip parsing of HTML files for links"));
        break;
    case pgFiles: {
        QVBoxLayout* inner = Column(host);
        inner->addWidget(FControls->AddInclude(host));
        inner->addWidget(FControls->AddExclude(host));
        inner->addWidget(FControls->AddFilesNote(host));
        break;
    }
    default:
        break;
    }
    host->layout()->setContentsMargins(0, 0, 0, 0);
}

void TfmProjectWizard::FillEndPage(int index, QVBoxLayout* layout) {
    QWidget* content = layout->parentWidget();
    if (index == pgWelcome) {
        layout->addWidget(NewLabel(content, QStringLiteral("lblWelcomeHeader"),
                                   "Wizard of the new Vellumar-project", true));
        layout->addWidget(NewLinesBox(content, "edWelcome", JoinLines(WelcomeLines)), 1);
        return;
    }
    layout->addWidget(
        NewLabel(content, QStringLiteral("lblFinishHeader"), "Congratulations!", true));
    layout->addWidget(NewLinesBox(content, "edFinish", JoinLines(FinishLines)), 1);
    cbFinishBuild = new QCheckBox(QStringLiteral("Start the building process now"), content);
    cbFinishBuild->setObjectName(QStringLiteral("cbFinishBuild"));
    cbFinishBuild->setChecked(true);
    cbFinishRun =
        new QCheckBox(QStringLiteral("Run the output file right after building"), content);
    cbFinishRun->setObjectName(QStringLiteral("cbFinishRun"));
    for (QCheckBox* check : {cbFinishBuild, cbFinishRun}) {
        check->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
        layout->addWidget(check);
    }
    layout->addWidget(NewLabel(content, QStringLiteral("lblFinishPress"),
                               "Press \"Finish\" button to continue.", false));
}

void TfmProjectWizard::CreateActions() {
    FActions = new TActionList(this);
    actBack = FActions->Add(
        {"actBack", "< &Back", "", QKeySequence()}, [this] { actBackExecute(); },
        [this] { return actBackUpdate(); });
    actNext = FActions->Add(
        {"actNext", "&Next >", "", QKeySequence()}, [this] { actNextExecute(); },
        [this] { return actNextUpdate(); });
    actFinish = FActions->Add(
        {"actFinish", "&Finish", "", QKeySequence()}, [this] { actFinishExecute(); },
        [this] { return actFinishUpdate(); });
}

// The height the tallest page needs at width, its wrapped paragraphs whole. The page stack
// does not pass its pages' height-for-width on, so each page is asked.
int TfmProjectWizard::PagesHeight(int width) const {
    int height = 0;
    for (int index = 0; index < FPages->count(); ++index) {
        const QWidget* page = FPages->widget(index);
        height = std::max(height, page->hasHeightForWidth() ? page->heightForWidth(width)
                                                            : page->minimumSizeHint().height());
    }
    return height;
}

void TfmProjectWizard::FitButtons() {
    QWidget* strip = FButtons;
    QSize size(75, 25);
    for (const QPushButton* button : strip->findChildren<QPushButton*>()) {
        const QFontMetrics metrics(button->font());
        size = size.expandedTo(
            QSize(metrics.horizontalAdvance(button->text()) + 16, metrics.height() + 6));
    }
    for (QPushButton* button : strip->findChildren<QPushButton*>())
        button->setFixedSize(size);
    strip->setFixedHeight(std::max(45, size.height() + 20));
}

void TfmProjectWizard::CreateButtons() {
    auto* strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("pnButtons"));
    FButtons = strip;
    strip->setFixedHeight(45);
    layout()->addWidget(strip);
    auto* column = new QVBoxLayout(strip);
    column->setContentsMargins(8, 0, 8, 0);
    auto* line = new QFrame(strip);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    column->addWidget(line);
    auto* row = new QGridLayout;
    row->setHorizontalSpacing(0);
    row->setColumnStretch(0, 1);
    column->addLayout(row, 1);
    const auto place = [strip, row](const char* name, int cell) {
        auto* button = new QPushButton(strip);
        button->setObjectName(QString::fromLatin1(name));
        button->setFixedSize(75, 25);
        button->setAutoDefault(false);
        row->addWidget(button, 0, cell);
        return button;
    };
    btnBack = place("btnBack", 1);
    // Finish lies under Next, which covers it on every page but the last.
    btnFinish = place("btnFinish", 2);
    btnNext = place("btnNext", 2);
    btnCancel = place("btnCancel", 4);
    row->setColumnMinimumWidth(3, 13);
    btnCancel->setText(QStringLiteral("Cancel"));
    FActions->LinkButton(btnBack, actBack);
    FActions->LinkButton(btnNext, actNext);
    FActions->LinkButton(btnFinish, actFinish);
    btnNext->setDefault(true);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmProjectWizard::GoTo(int step) {
    int index = FPages->currentIndex() + step;
    while (index >= 0 && index < PageCount && !FPageVisible[static_cast<size_t>(index)])
        index += step;
    if (index < 0 || index >= PageCount)
        return;
    FPages->setCurrentIndex(index);
    QWidget* page = FPages->currentWidget();
    for (QWidget* next = page->nextInFocusChain(); next && next != page;
         next = next->nextInFocusChain()) {
        if (page->isAncestorOf(next) && (next->focusPolicy() & Qt::TabFocus) && next->isEnabled() &&
            next->isVisibleTo(page)) {
            next->setFocus(Qt::TabFocusReason);
            break;
        }
    }
}

void TfmProjectWizard::actBackExecute() {
    GoTo(-1);
}

void TfmProjectWizard::actNextExecute() {
    GoTo(+1);
}

void TfmProjectWizard::actFinishExecute() {
    FControls->StoreControls();
    if (!cbFinishBuild->isChecked())
        done(mrCancel);
    else if (cbFinishRun->isChecked())
        done(mrYes);
    else
        done(mrOK);
}

bool TfmProjectWizard::actBackUpdate() const {
    return PageIndex() != pgWelcome;
}

bool TfmProjectWizard::actNextUpdate() const {
    const int page = PageIndex();
    return page != pgFinish && (page == pgWelcome || !edHomePage->text().isEmpty()) &&
           (page == pgWelcome || page == pgHomePage || !edOutputFile->text().isEmpty());
}

bool TfmProjectWizard::actFinishUpdate() {
    const bool finish = PageIndex() == pgFinish;
    if (btnNext) {
        btnNext->setVisible(!finish);
        (finish ? btnFinish : btnNext)->setDefault(true);
    }
    cbFinishRun->setEnabled(cbFinishBuild->isChecked());
    FControls->UpdateDependentControls();
    return finish;
}

} // namespace vlm::ui
