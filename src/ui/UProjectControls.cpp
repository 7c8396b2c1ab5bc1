#include "ui/UProjectControls.h"

#include "platform/UPaths.h"
#include "platform/UText.h"
#include "project/UProject.h"
#include "ui/FBuildingProgress.h"
#include "ui/FProjector.h"
#include "ui/UDesktopHabits.h"
#include "ui/UDialogService.h"
#include "ui/ULanguageList.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include <array>
#include <climits>
#include <span>
#include <stdexcept>

namespace vlm::ui {

namespace {

// How a control and its entry meet.
enum class TTransfer {
    Text,        // an edit or the language box: the text as stored and as typed
    Path,        // an edit of a file name: shown as the full path it stands for (a relative
                 // name lies in the project's folder), written back as stored when unchanged
    Flag,        // a check box: flag text
    InverseFlag, // a check box that is checked exactly when the flag reads false
    Choice,      // radio buttons standing for an enumeration
};

struct TChoice {
    const char* Control;
    const char* Value;
};

struct TTransferRow {
    const char* Entry;
    TTransfer Kind;
    const char* Control;              // Text, Flag and InverseFlag
    std::span<const TChoice> Choices; // Choice: the buttons and the values they stand for
};

// Reading checks the button whose value equals the upper-cased entry, else the first one;
// writing stores the value of the first checked button, else that of the last one.
constexpr TChoice OutputTypeChoices[] = {{"rbOutputEXE", value::EXE}, {"rbOutputVLM", value::VLM}};
constexpr TChoice WindowSizeChoices[] = {{"rbWindowSizeDefault", value::Default},
                                         {"rbWindowSizeMaximized", value::Maximized},
                                         {"rbWindowSizeCustom", value::Custom}};

// The order matters: the output file is filled before the format, whose change handler
// rewrites the file's extension.
// clang-format off
const TTransferRow TransferTable[] = {
    {entry::HomePage,              TTransfer::Path,        "edHomePage", {}},
    {entry::OutputFile,            TTransfer::Path,        "edOutputFile", {}},
    {entry::OutputType,            TTransfer::Choice,      nullptr, OutputTypeChoices},
    {entry::WindowSize,            TTransfer::Choice,      nullptr, WindowSizeChoices},
    {entry::WindowHeight,          TTransfer::Text,        "edWindowHeight", {}},
    {entry::WindowWidth,           TTransfer::Text,        "edWindowWidth", {}},
    {entry::WindowSizeable,        TTransfer::Flag,        "cbWindowSizeable", {}},
    {entry::ShowTitleBar,          TTransfer::Flag,        "cbDisplayTitleBar", {}},
    {entry::ShowMenuBar,           TTransfer::Flag,        "cbDisplayMenuBar", {}},
    {entry::ShowToolBar,           TTransfer::Flag,        "cbDisplayToolBar", {}},
    {entry::ToolBarLargeIcons,     TTransfer::Flag,        "cbDisplayToolBarLargeIcons", {}},
    {entry::ToolBarCaptions,       TTransfer::Flag,        "cbDisplayToolBarCaptions", {}},
    {entry::ShowStatusBar,         TTransfer::Flag,        "cbDisplayStatusBar", {}},
    {entry::Language,              TTransfer::Text,        "edLanguage", {}},
    {entry::ShowLanguageMenu,      TTransfer::Flag,        "cbShowLanguageMenu", {}},
    {entry::EnableCopy,            TTransfer::Flag,        "cbCommandCopy", {}},
    {entry::EnableSaveObject,      TTransfer::Flag,        "cbCommandSaveObject", {}},
    {entry::EnablePrint,           TTransfer::Flag,        "cbCommandPrint", {}},
    {entry::EnableFind,            TTransfer::Flag,        "cbCommandFind", {}},
    {entry::EnableAdvancedFind,    TTransfer::Flag,        "cbCommandAdvancedFind", {}},
    {entry::AdvancedFindTarget,    TTransfer::Text,        "edCommandAdvancedFindTarget", {}},
    {entry::Password,              TTransfer::Text,        "edProtectionPassword", {}},
    {entry::PasswordEnabled,       TTransfer::Flag,        "cbProtectionPassword", {}},
    {entry::WarningMessage,        TTransfer::Text,        "edProtectionWarning", {}},
    {entry::WarningMessageEnabled, TTransfer::Flag,        "cbProtectionWarning", {}},
    {entry::ParsingEnabled,        TTransfer::InverseFlag, "cbFilesParsingSkip", {}},
    {entry::MaskInclude,           TTransfer::Text,        "edFilesInclude", {}},
    {entry::MaskExclude,           TTransfer::Text,        "edFilesExclude", {}},
};

// Controls enabled exactly when their master (a check box or radio button) is checked.
struct TDependency {
    const char* Master;
    std::array<const char*, 5> Dependents; // unused places are nullptr
};

const TDependency Dependencies[] = {
    {"rbWindowSizeCustom",    {"edWindowHeight", "edWindowWidth", "lblWindowHeight", "lblWindowWidth", "cbWindowSizeable"}},
    {"cbDisplayToolBar",      {"cbDisplayToolBarLargeIcons", "cbDisplayToolBarCaptions"}},
    {"cbCommandAdvancedFind", {"edCommandAdvancedFindTarget", "lblCommandAdvancedFindTarget"}},
    {"cbProtectionPassword",  {"edProtectionPassword"}},
    {"cbProtectionWarning",   {"edProtectionWarning"}},
};
// clang-format on

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QString ControlText(QWidget* control) {
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return edit->text();
    return qobject_cast<QComboBox*>(control)->currentText();
}

void SetControlText(QWidget* control, const QString& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(text);
    else
        qobject_cast<QComboBox*>(control)->setEditText(text);
}

TFileDialogSpec ProjectHomePageDialogSpec() {
    TFileDialogSpec spec = HomePageDialogSpec();
    spec.Title = QStringLiteral("Home Page");
    return spec;
}

TFileDialogSpec ProjectOutputFileDialogSpec() {
    TFileDialogSpec spec = OutputFileDialogSpec();
    spec.Title = QStringLiteral("Output File");
    return spec;
}

} // namespace

TProjectControls::TProjectControls(QWidget* form, TProject& project)
    : QObject(form), FForm(form), FProject(project) {}

QWidget* TProjectControls::Control(const char* name) const {
    auto* control = FForm->findChild<QWidget*>(QString::fromLatin1(name));
    if (!control)
        throw std::logic_error(std::string("the window lacks the control ") + name);
    return control;
}

QString TProjectControls::LoadText(const char* controlName, const std::string& stored,
                                   const std::string& shownText) {
    const QString shown = Q(shownText);
    FLoadedTexts.insert(QString::fromLatin1(controlName), {shown, stored});
    return shown;
}

std::string TProjectControls::StoredText(const char* controlName, const QString& text) const {
    const auto loaded = FLoadedTexts.constFind(QString::fromLatin1(controlName));
    if (loaded != FLoadedTexts.constEnd() && loaded->Shown == text)
        return loaded->Stored;
    return text.toStdString();
}

void TProjectControls::LoadControls() {
    for (const TTransferRow& row : TransferTable) {
        const std::string stored = FProject.Value(row.Entry);
        switch (row.Kind) {
        case TTransfer::Text:
            SetControlText(Control(row.Control), LoadText(row.Control, stored, stored));
            break;
        case TTransfer::Path:
            SetControlText(Control(row.Control),
                           LoadText(row.Control, stored, FProject.FullPathOf(row.Entry)));
            break;
        case TTransfer::Flag:
            qobject_cast<QAbstractButton*>(Control(row.Control))->setChecked(TextToFlag(stored));
            break;
        case TTransfer::InverseFlag:
            qobject_cast<QAbstractButton*>(Control(row.Control))->setChecked(!TextToFlag(stored));
            break;
        case TTransfer::Choice: {
            const std::string wanted = UpperCase(stored);
            const TChoice* choice = &row.Choices.front();
            for (const TChoice& candidate : row.Choices) {
                if (wanted == candidate.Value)
                    choice = &candidate;
            }
            qobject_cast<QAbstractButton*>(Control(choice->Control))->setChecked(true);
            break;
        }
        }
    }
}

void TProjectControls::StoreControls() {
    // Every entry is written before anyone hears of the change: the main window's preview
    // may ask about a missing home page and end the command there, which must not leave
    // the entries after HomePage unwritten.
    FProject.BeginUpdate();
    try {
        WriteEntries();
    } catch (...) {
        FProject.EndUpdate();
        throw;
    }
    FProject.EndUpdate();
}

void TProjectControls::WriteEntries() {
    for (const TTransferRow& row : TransferTable) {
        switch (row.Kind) {
        case TTransfer::Text:
        case TTransfer::Path:
            FProject.SetValue(row.Entry,
                              StoredText(row.Control, ControlText(Control(row.Control))));
            break;
        case TTransfer::Flag:
            FProject.SetFlag(row.Entry,
                             qobject_cast<QAbstractButton*>(Control(row.Control))->isChecked());
            break;
        case TTransfer::InverseFlag:
            FProject.SetFlag(row.Entry,
                             !qobject_cast<QAbstractButton*>(Control(row.Control))->isChecked());
            break;
        case TTransfer::Choice: {
            const TChoice* choice = &row.Choices.back();
            for (auto it = row.Choices.rbegin(); it != row.Choices.rend(); ++it) {
                if (qobject_cast<QAbstractButton*>(Control(it->Control))->isChecked())
                    choice = &*it;
            }
            FProject.SetValue(row.Entry, choice->Value);
            break;
        }
        }
    }
}

void TProjectControls::UpdateDependentControls() {
    for (const TDependency& dependency : Dependencies) {
        const bool on = qobject_cast<QAbstractButton*>(Control(dependency.Master))->isChecked();
        for (const char* name : dependency.Dependents) {
            if (name)
                Control(name)->setEnabled(on);
        }
    }
}

void TProjectControls::HandleDataChange() {
    if (OnDataChange)
        OnDataChange();
}

void TProjectControls::OutputFormatChange() {
    const QString path = edOutputFile->text();
    if (!path.isEmpty()) {
        const char* ext = rbOutputEXE->isChecked() ? ".exe" : ".vlm";
        // Unchanged text is left alone, so that a user typing keeps the cursor.
        if (const QString fitted = Q(ChangeFileExt(path.toStdString(), ext)); fitted != path)
            edOutputFile->setText(fitted);
    }
    HandleDataChange();
}

// The buttons show what the build will make: a typed "dpi.vlm" with EXE checked would
// otherwise build a program named "dpi.vlm". Other extensions leave the format as it is.
void TProjectControls::edOutputFileEdited(const QString& text) {
    const std::string ext = LowerCase(ExtractFileExt(text.toStdString()));
    if (ext == ".exe" && !rbOutputEXE->isChecked())
        rbOutputEXE->setChecked(true);
    else if (ext == ".vlm" && !rbOutputVLM->isChecked())
        rbOutputVLM->setChecked(true);
}

void TProjectControls::btnHomePageClick() {
    const std::string current = edHomePage->text().toStdString();
    TFileDialogSpec spec = ProjectHomePageDialogSpec();
    spec.InitialDir = Q(ExtractFilePath(current));
    spec.FileName = Q(ExtractFileName(current));
    QString chosen;
    if (!ExecFileDialogRemembering(FForm, spec, chosen))
        return;
    edHomePage->setText(chosen);
    edHomePage->setFocus();
}

void TProjectControls::btnOutputFileClick() {
    const std::string current = edOutputFile->text().toStdString();
    TFileDialogSpec spec = ProjectOutputFileDialogSpec();
    spec.FilterIndex = rbOutputEXE->isChecked() ? 1 : 2;
    spec.InitialDir = Q(ExtractFilePath(current));
    spec.FileName = Q(ExtractFileName(current));
    QString chosen;
    if (!ExecFileDialogRemembering(FForm, spec, chosen))
        return;
    edOutputFile->setText(chosen);
    edOutputFile->setFocus();
    // Checking the other button runs OutputFormatChange, which then fits the extension.
    if (LowerCase(ExtractFileExt(chosen.toStdString())) == ".exe")
        rbOutputEXE->setChecked(true);
    else
        rbOutputVLM->setChecked(true);
}

void TProjectControls::Watch(QAbstractButton* button) {
    connect(button, &QAbstractButton::toggled, this, [this] { HandleDataChange(); });
}

void TProjectControls::Watch(QLineEdit* edit) {
    // The settings are free text of any length; only the widget's default would cut them.
    edit->setMaxLength(INT_MAX);
    connect(edit, &QLineEdit::textChanged, this, [this] { HandleDataChange(); });
}

} // namespace vlm::ui
