// The pieces of the project windows: every control with its name and caption, and the
// handlers it reports to. The windows place the pieces.
#include "ui/UProjectControls.h"

#include "ui/ULanguageList.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <type_traits>

namespace vlm::ui {

namespace {

template <typename T> T* New(QWidget* parent, const char* name) {
    auto* control = new T(parent);
    control->setObjectName(QString::fromLatin1(name));
    // A caption that cannot wrap must never be cut: the window grows instead.
    if constexpr (std::is_base_of_v<QCheckBox, T> || std::is_base_of_v<QRadioButton, T>)
        control->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    return control;
}

template <typename T> T* New(QWidget* parent, const char* name, const char* caption) {
    T* control = New<T>(parent, name);
    control->setText(QString::fromUtf8(caption));
    return control;
}

// A paragraph of explanation. Plain text, so that "<*.*>" shows as typed.
QLabel* NewText(QWidget* parent, const char* name, const char* text) {
    auto* label = New<QLabel>(parent, name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setText(QString::fromUtf8(text));
    return label;
}

QGroupBox* NewGroup(QWidget* parent, const char* name, const char* title) {
    auto* group = New<QGroupBox>(parent, name);
    group->setTitle(QString::fromUtf8(title));
    return group;
}

QVBoxLayout* Column(QWidget* host) {
    auto* layout = new QVBoxLayout(host);
    layout->setSpacing(4);
    return layout;
}

// A picker button with its edit beside it.
QHBoxLayout* PickerRow(QPushButton* button, QLineEdit* edit) {
    auto* row = new QHBoxLayout;
    row->addWidget(button);
    row->addWidget(edit, 1);
    return row;
}

} // namespace

void TProjectControls::FillHomePage(QWidget* host) {
    QVBoxLayout* layout = Column(host);
    layout->addWidget(NewText(host, "lblHomePageText",
                              "As Home Page you can use any HTML-compatible file and even it can "
                              "be just empty. But usually this file offers a set of references "
                              "for access to other pages of a site."));
    auto* button = New<QPushButton>(host, "btnHomePage", "&Home Page...");
    edHomePage = New<QLineEdit>(host, "edHomePage");
    layout->addLayout(PickerRow(button, edHomePage));
    Watch(edHomePage);
    connect(button, &QPushButton::clicked, this, [this] { btnHomePageClick(); });
}

void TProjectControls::FillOutput(QWidget* host, bool withNote) {
    QVBoxLayout* layout = Column(host);
    layout->addWidget(NewText(
        host, "lblOutputText",
        "You can produce an output file in two formats - EXE or VLM. Both of them are solid "
        "compressed archives of site files but in the first one the Vellumar-viewer is "
        "integrated inside. Thus it will not be necessary to distribute any additional software "
        "to the end user of such file."));
    rbOutputEXE = New<QRadioButton>(host, "rbOutputEXE",
                                    "&EXE-format (Executable file within the integrated viewer)");
    rbOutputVLM = New<QRadioButton>(
        host, "rbOutputVLM",
        "&VLM-format (Compressed file that can be viewed in the standalone viewer)");
    rbOutputEXE->setChecked(true);
    layout->addWidget(rbOutputEXE);
    layout->addWidget(rbOutputVLM);
    auto* button = New<QPushButton>(host, "btnOutputFile", "&Output File...");
    edOutputFile = New<QLineEdit>(host, "edOutputFile");
    layout->addLayout(PickerRow(button, edOutputFile));
    if (withNote)
        layout->addWidget(NewText(host, "lblOutputNote",
                                  "Note: You may leave \"Output File\" field empty. In this case "
                                  "you will be prompted to select an output file at the first "
                                  "use of command \"Build\"."));
    Watch(edOutputFile);
    // Only the button that becomes checked reports, so a click on the checked one does
    // nothing and a switch runs the handler once.
    for (QRadioButton* format : {rbOutputEXE, rbOutputVLM})
        connect(format, &QRadioButton::toggled, this, [this](bool checked) {
            if (checked)
                OutputFormatChange();
        });
    connect(edOutputFile, &QLineEdit::textEdited, this,
            [this](const QString& text) { edOutputFileEdited(text); });
    connect(button, &QPushButton::clicked, this, [this] { btnOutputFileClick(); });
}

QGroupBox* TProjectControls::AddWindowSize(QWidget* parent) {
    QGroupBox* group = NewGroup(parent, "gbWindowSize", "Window size");
    QVBoxLayout* layout = Column(group);
    auto* sizeDefault = New<QRadioButton>(group, "rbWindowSizeDefault", "Default (system defined)");
    sizeDefault->setChecked(true);
    for (QRadioButton* size :
         {sizeDefault, New<QRadioButton>(group, "rbWindowSizeMaximized", "Maximized"),
          New<QRadioButton>(group, "rbWindowSizeCustom", "Custom")}) {
        layout->addWidget(size);
        Watch(size);
    }
    auto* row = new QHBoxLayout;
    row->setContentsMargins(18, 0, 0, 0);
    auto* height = New<QLineEdit>(group, "edWindowHeight");
    auto* width = New<QLineEdit>(group, "edWindowWidth");
    for (auto [label, edit] : {std::pair{New<QLabel>(group, "lblWindowHeight", "Height:"), height},
                               std::pair{New<QLabel>(group, "lblWindowWidth", "Width:"), width}}) {
        label->setBuddy(edit);
        edit->setFixedWidth(56);
        row->addWidget(label);
        row->addWidget(edit);
        Watch(edit);
    }
    row->addStretch();
    layout->addLayout(row);
    auto* sizeable = New<QCheckBox>(group, "cbWindowSizeable", "Enable resizing");
    sizeable->setChecked(true);
    layout->addWidget(sizeable);
    Watch(sizeable);
    layout->addStretch();
    return group;
}

QGroupBox* TProjectControls::AddDisplay(QWidget* parent) {
    QGroupBox* group = NewGroup(parent, "gbDisplay", "Display");
    QVBoxLayout* layout = Column(group);
    const struct {
        const char* Name;
        const char* Caption;
        bool Indented; // an option of the tool bar
    } boxes[] = {
        {"cbDisplayTitleBar", "Show Titlebar", false},
        {"cbDisplayMenuBar", "Show Menubar", false},
        {"cbDisplayToolBar", "Show Toolbar", false},
        {"cbDisplayToolBarLargeIcons", "Large icons", true},
        {"cbDisplayToolBarCaptions", "Show captions", true},
        {"cbDisplayStatusBar", "Show Statusbar", false},
    };
    for (const auto& box : boxes) {
        auto* check = New<QCheckBox>(group, box.Name, box.Caption);
        auto* row = new QHBoxLayout;
        row->setContentsMargins(box.Indented ? 18 : 0, 0, 0, 0);
        row->addWidget(check);
        layout->addLayout(row);
        Watch(check);
    }
    layout->addStretch();
    return group;
}

void TProjectControls::FillLanguage(QWidget* host) {
    QVBoxLayout* layout = Column(host);
    layout->addWidget(NewText(host, "lblLanguageText",
                              "Select a prefered language that will be used by the user "
                              "interface of Vellumar-viewer during display the output file "
                              "content."));
    edLanguage = New<TLanguageComboBox>(host, "edLanguage");
    layout->addWidget(edLanguage);
    auto* menu =
        New<QCheckBox>(host, "cbShowLanguageMenu",
                       "Show \"Language\" menu to allow the user to choose from other languages");
    layout->addWidget(menu);
    connect(edLanguage, &QComboBox::editTextChanged, this, [this] { HandleDataChange(); });
    edLanguage->OnDropDown = [box = edLanguage] { edLanguageDropDown(*box); };
    Watch(menu);
}

QGroupBox* TProjectControls::AddCommands(QWidget* parent) {
    QGroupBox* group = NewGroup(parent, "gbCommands", "Available commands");
    QVBoxLayout* layout = Column(group);
    const std::pair<const char*, const char*> boxes[] = {
        {"cbCommandCopy", "Enable \"Copy to clipboard\""},
        {"cbCommandSaveObject", "Enable \"Save Object As...\""},
        {"cbCommandPrint", "Enable \"Print\""},
        {"cbCommandFind", "Enable \"Find on the page\""},
        {"cbCommandAdvancedFind", "Enable \"Advanced Find\""},
    };
    for (const auto& [name, caption] : boxes) {
        auto* check = New<QCheckBox>(group, name, caption);
        layout->addWidget(check);
        Watch(check);
    }
    auto* target = New<QLineEdit>(group, "edCommandAdvancedFindTarget");
    auto* label = New<QLabel>(group, "lblCommandAdvancedFindTarget",
                              "Target frame name to open found pages:");
    label->setBuddy(target);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(18, 0, 0, 0);
    row->addWidget(label);
    row->addWidget(target, 1);
    layout->addLayout(row);
    Watch(target);
    return group;
}

void TProjectControls::FillProtection(QWidget* host) {
    auto* layout = new QGridLayout(host);
    layout->setColumnStretch(1, 1);
    const struct {
        const char* TextName;
        const char* Text;
        const char* CheckName;
        const char* Caption;
        const char* EditName;
    } rows[] = {
        {"lblProtectionPasswordText",
         "Prevent the non-authorized viewing the output file content by the password.",
         "cbProtectionPassword", "Password:", "edProtectionPassword"},
        {"lblProtectionWarningText",
         "Prevent any other non-authorized actions (such distributing and etc.) by the warning "
         "message.",
         "cbProtectionWarning", "Warning message:", "edProtectionWarning"},
    };
    int line = 0;
    for (const auto& row : rows) {
        layout->addWidget(NewText(host, row.TextName, row.Text), line++, 0, 1, 2);
        auto* check = New<QCheckBox>(host, row.CheckName, row.Caption);
        auto* edit = New<QLineEdit>(host, row.EditName);
        layout->addWidget(check, line, 0);
        layout->addWidget(edit, line++, 1);
        Watch(check);
        Watch(edit);
    }
    auto* password = host->findChild<QLineEdit*>(QStringLiteral("edProtectionPassword"));
    password->setEchoMode(QLineEdit::Password);
    // Every character shows as "*", whatever the style would draw.
    password->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
}

void TProjectControls::FillParsing(QWidget* host, const QString& skipCaption) {
    QVBoxLayout* layout = Column(host);
    layout->addWidget(NewText(
        host, "lblParsingText",
        "By default, the list of files to include into the output file is retrieving by parsing "
        "HTML files for links starting from specified Home Page. This process can take long "
        "time if there are many files in your site. To avoid this you have a choice to:"));
    auto* skip = New<QCheckBox>(host, "cbFilesParsingSkip");
    skip->setText(skipCaption);
    layout->addWidget(skip);
    Watch(skip);
}

QGroupBox* TProjectControls::AddInclude(QWidget* parent) {
    QGroupBox* group = NewGroup(parent, "gbInclude", "Include");
    QVBoxLayout* layout = Column(group);
    layout->addWidget(NewText(group, "lblIncludeText",
                              "Specify files to include into the output file by the "
                              "comma-separated list of file names. To include all files of some "
                              "type you can use standard file masks such as "
                              "<*.html,*.css,*.gif,*.bmp> or just <*.*>."));
    auto* edit = New<QLineEdit>(group, "edFilesInclude");
    layout->addWidget(edit);
    Watch(edit);
    return group;
}

QGroupBox* TProjectControls::AddExclude(QWidget* parent) {
    QGroupBox* group = NewGroup(parent, "gbExclude", "Exclude");
    QVBoxLayout* layout = Column(group);
    layout->addWidget(NewText(group, "lblExcludeText",
                              "Specify files to exclude from the output file by the "
                              "comma-separated list of file names. To exclude all files of some "
                              "type you can use standard file masks such as <*.tmp,*.bak> or "
                              "<temp\\*.*>."));
    auto* edit = New<QLineEdit>(group, "edFilesExclude");
    layout->addWidget(edit);
    Watch(edit);
    return group;
}

QLabel* TProjectControls::AddFilesNote(QWidget* parent) {
    return NewText(parent, "lblFilesNote",
                   "Note: if you leave fields empty then all files will be included and no "
                   "will be excluded.");
}

} // namespace vlm::ui
