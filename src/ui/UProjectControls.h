// The controls that show a project's settings, shared by the options dialog and the
// wizard: both windows carry the same controls under the same names, move data between
// them and the project through one transfer table, and share the pickers and the handlers
// of the output format and the language list. Each window arranges the pieces its own way.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <string>

class QAbstractButton;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace vlm {
class TProject;
}

namespace vlm::ui {

class TLanguageComboBox;

class TProjectControls : public QObject {
    Q_OBJECT
public:
    // form: the window whose children carry the control names. The project is edited in
    // place; neither is owned.
    TProjectControls(QWidget* form, TProject& project);

    // The pieces. "Fill" installs a layout on host and puts the controls into it; "Add"
    // returns a new group box (parented to parent) that the caller places.

    // The home-page text, btnHomePage and edHomePage.
    void FillHomePage(QWidget* host);
    // The output text, the two format buttons, btnOutputFile, edOutputFile and, in the
    // options dialog, the note about an empty output file.
    void FillOutput(QWidget* host, bool withNote);
    QGroupBox* AddWindowSize(QWidget* parent);
    QGroupBox* AddDisplay(QWidget* parent);
    // The language text, edLanguage and cbShowLanguageMenu.
    void FillLanguage(QWidget* host);
    QGroupBox* AddCommands(QWidget* parent);
    // The password and the warning message, each with its text, check box and edit.
    void FillProtection(QWidget* host);
    // The parsing text and cbFilesParsingSkip, whose caption differs between the windows.
    void FillParsing(QWidget* host, const QString& skipCaption);
    QGroupBox* AddInclude(QWidget* parent);
    QGroupBox* AddExclude(QWidget* parent);
    QLabel* AddFilesNote(QWidget* parent);

    // Project to controls and back, in the order of the transfer table. StoreControls
    // writes every entry and only then lets the project's listener know (once).
    void LoadControls();
    void StoreControls();
    // The controls that depend on a check box or the custom window size.
    void UpdateDependentControls();

    void OutputFormatChange();
    // The user typed into edOutputFile: an extension of the other format checks that format.
    void edOutputFileEdited(const QString& text);
    void btnHomePageClick();
    void btnOutputFileClick();

    // The window's HandleDataChange: every edit, the language box, every check box and
    // window-size button report their changes here, as does OutputFormatChange.
    std::function<void()> OnDataChange;

private:
    struct TLoadedText {
        QString Shown;
        std::string Stored;
    };

    void WriteEntries();
    void HandleDataChange();
    void Watch(QAbstractButton* button);
    void Watch(QLineEdit* edit);
    QWidget* Control(const char* name) const;
    // Records what a text control shows (shown) for the entry's bytes (stored).
    QString LoadText(const char* controlName, const std::string& stored, const std::string& shown);
    std::string StoredText(const char* controlName, const QString& text) const;

    QWidget* FForm;
    TProject& FProject;
    // What LoadControls showed in each text control and the bytes it came from: a value the
    // user left alone is written back byte for byte, also when it is not valid UTF-8.
    QHash<QString, TLoadedText> FLoadedTexts;

    QLineEdit* edHomePage = nullptr;
    QLineEdit* edOutputFile = nullptr;
    QRadioButton* rbOutputEXE = nullptr;
    QRadioButton* rbOutputVLM = nullptr;
    TLanguageComboBox* edLanguage = nullptr;
};

} // namespace vlm::ui
