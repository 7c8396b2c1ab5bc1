// "Project Options": every setting of the open project on four tabs. The dialog works on
// the project itself, so what Apply wrote stays even when the user then leaves with Cancel.
#pragma once

#include <QDialog>

namespace vlm {
class TProject;
}

class QTabWidget;

namespace vlm::ui {

class TAction;
class TActionList;
class TProjectControls;

class TfmProjectEditor : public QDialog {
    Q_OBJECT
public:
    TfmProjectEditor(QWidget* owner, TProject& project);

    TAction* Apply() const { return actApply; }

private:
    void AddGeneralTab(QTabWidget* tabs);
    void AddViewTab(QTabWidget* tabs);
    void AddAdvancedTab(QTabWidget* tabs);
    void AddFilesTab(QTabWidget* tabs);
    void CreateButtons();
    void FitToContents();

    void HandleDataChange();
    void actApplyExecute();
    bool actApplyUpdate();
    void btnOKClick();

    TProject& FProject;
    TProjectControls* FControls = nullptr;
    TActionList* FActions = nullptr;
    TAction* actApply = nullptr;
};

} // namespace vlm::ui
