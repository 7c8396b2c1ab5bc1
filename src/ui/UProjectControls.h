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
    void FillHomePage(QWidget* host);              // the text, btnHomePage, edHomePage
    void FillOutput(QWidget* host, bool withNote); // text, format buttons, btnOutputFile...
    QGroupBox* AddWindowSize(QWidget* parent);     // "Window size"
    QGroupBox* AddDisplay(QWidget* parent);        // "Display"
    void FillLanguage(QWidget* host);              // the text, edLanguage, cbShowLanguageMenu
    QGroupBox* AddCommands(QWidget* parent);       // "Available commands"
    void FillProtection(QWidget* host);            // password and warning message
    void FillParsing(QWidget* host, const QString& skipCaption); // the text, cbFilesParsingSkip
    QGroupBox* AddInclude(QWidget* parent);                      // "Include"
    QGroupBox* AddExclude(QWidget* parent);                      // "Exclude"
    QLabel* AddFilesNote(QWidget* parent);                       // the note about empty mask fields

    // Project to controls and back, in the order of the transfer table.
    void LoadControls();
    void StoreControls();
    // The controls that depend on a check box or the custom window size.
    void UpdateDependentControls();

    void OutputFormatChange();
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

    void HandleDataChange();
    void Watch(QAbstractButton* button);
    void Watch(QLineEdit* edit);
    QWidget* Control(const char* name) const;
    QString LoadText(const char* controlName, const std::string& stored);
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
