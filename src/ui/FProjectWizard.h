// "Project Wizard": the settings of a new project page by page. It writes the project once,
// at Finish, and its result tells the main window whether to build (OK), to build and run
// (Yes) or to do neither (Cancel).
#pragma once

#include <QDialog>

#include <vector>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;

namespace vlm {
class TProject;
}

namespace vlm::ui {

class TAction;
class TActionList;
class TProjectControls;

class TfmProjectWizard : public QDialog {
    Q_OBJECT
public:
    TfmProjectWizard(QWidget* owner, TProject& project);

    // The page shown, counted from 0.
    int PageIndex() const;
    // Whether the page's tab is visible; navigation passes over the others.
    bool PageVisible(int index) const { return FPageVisible.at(static_cast<size_t>(index)); }

private:
    struct TPageDef;
    static const TPageDef PageDefs[];

    void CreatePages();
    QWidget* NewPage(const TPageDef& def);
    void FillPage(int index, QWidget* content);
    void FillEndPage(int index, QVBoxLayout* layout);
    void CreateButtons();
    void FitButtons(); // the buttons and their strip grow with a large font
    int PagesHeight(int width) const;
    void CreateActions();
    void GoTo(int step);

    void actBackExecute();
    void actNextExecute();
    void actFinishExecute();
    bool actBackUpdate() const;
    bool actNextUpdate() const;
    bool actFinishUpdate();

    TProject& FProject;
    TProjectControls* FControls = nullptr;
    TActionList* FActions = nullptr;
    QStackedWidget* FPages = nullptr;
    QWidget* FButtons = nullptr; // the strip of the buttons at the bottom
    std::vector<bool> FPageVisible;

    TAction* actBack = nullptr;
    TAction* actNext = nullptr;
    TAction* actFinish = nullptr;
    QPushButton* btnBack = nullptr;
    QPushButton* btnNext = nullptr;
    QPushButton* btnFinish = nullptr;
    QPushButton* btnCancel = nullptr;
    QLineEdit* edHomePage = nullptr;
    QLineEdit* edOutputFile = nullptr;
    QCheckBox* cbFinishBuild = nullptr;
    QCheckBox* cbFinishRun = nullptr;
};

} // namespace vlm::ui
