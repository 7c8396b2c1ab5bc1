// The wizard on a fresh project: its pages and texts, Back, Next and Finish on every page,
// the hidden language page, the required texts and what Finish and Cancel leave behind.
#include "ProjectWindowsSupport.h"
#include "ScriptedDialogs.h"

#include "platform/UFileSys.h"
#include "ui/FProjectWizard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>

using namespace vlm;
using namespace vlm::ui;
using namespace vlm::test;

namespace {

class ProjectWizardTest : public ::testing::Test {
public:
    void SetUp() override {
        // No template beside the program: the fresh project has the built-in defaults.
        SetProgramFolder(Dir.Path());
        Wizard.reset();
        Project = std::make_unique<TProject>();
        Wizard = std::make_unique<TfmProjectWizard>(nullptr, *Project);
        GoIdle();
    }
    void TearDown() override { SetProgramFolder(""); }

    QPushButton& Button(const char* name) { return Child<QPushButton>(*Wizard, name); }
    QLineEdit& Edit(const char* name) { return Child<QLineEdit>(*Wizard, name); }
    QString Page() const {
        return Child<QStackedWidget>(*Wizard, "PageControl").currentWidget()->objectName();
    }
    void Click(const char* name) {
        Button(name).click();
        GoIdle();
    }
    // Fills the two required texts where empty and walks to the last page.
    void WalkToFinish() {
        for (int i = 0; i < 12 && Page() != "pgFinish"; ++i) {
            if (Page() == "pgHomePage" && Edit("edHomePage").text().isEmpty())
                Edit("edHomePage").setText("/site/index.htm");
            if (Page() == "pgOutputFile" && Edit("edOutputFile").text().isEmpty())
                Edit("edOutputFile").setText("/out/site.exe");
            Click("btnNext");
        }
        ASSERT_EQ(Page(), "pgFinish");
    }

    TTempDir Dir;
    TScriptedDialogs Script;
    std::unique_ptr<TProject> Project;
    std::unique_ptr<TfmProjectWizard> Wizard;
};

TEST_F(ProjectWizardTest, BackNextAndFinishOnEveryPage) {
    enum TStep { Stay, Next, Back, TypeHome, ClearHome, TypeOutput };
    const struct {
        TStep Step;
        const char* Page;
        bool Back, Next, Finish;
    } steps[] = {
        {Stay, "pgWelcome", false, true, false},
        {Next, "pgHomePage", true, false, false},
        {Next, "pgHomePage", true, false, false}, // an empty home page holds the user here
        {TypeHome, "pgHomePage", true, true, false},
        {Next, "pgOutputFile", true, false, false},
        {Next, "pgOutputFile", true, false, false},
        {TypeOutput, "pgOutputFile", true, true, false},
        {Next, "pgView", true, true, false},
        {Next, "pgCommands", true, true, false}, // the language page is passed over
        {Back, "pgView", true, true, false},
        {Next, "pgCommands", true, true, false},
        {Next, "pgProtection", true, true, false},
        {Next, "pgParsing", true, true, false},
        {Next, "pgFiles", true, true, false},
        {Next, "pgFinish", true, false, true},
        {Back, "pgFiles", true, true, false},
        {Back, "pgParsing", true, true, false},
        {Back, "pgProtection", true, true, false},
        {Back, "pgCommands", true, true, false},
        {Back, "pgView", true, true, false},
        {Back, "pgOutputFile", true, true, false},
        {Back, "pgHomePage", true, true, false},
        {ClearHome, "pgHomePage", true, false, false},
        {Back, "pgWelcome", false, true, false},
    };
    int index = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(::testing::Message() << "step " << index++ << " on " << step.Page);
        switch (step.Step) {
        case Stay:
            break;
        case Next:
            Button("btnNext").click();
            break;
        case Back:
            Button("btnBack").click();
            break;
        case TypeHome:
            Edit("edHomePage").setText("no/such/page.htm"); // need not exist
            break;
        case ClearHome:
            Edit("edHomePage").clear();
            break;
        case TypeOutput:
            Edit("edOutputFile").setText("x");
            break;
        }
        GoIdle();
        EXPECT_EQ(Page(), step.Page);
        EXPECT_EQ(Button("btnBack").isEnabled(), step.Back);
        EXPECT_EQ(Button("btnNext").isEnabled(), step.Next);
        EXPECT_EQ(Button("btnFinish").isEnabled(), step.Finish);
        EXPECT_EQ(Button("btnNext").isHidden(), step.Finish) << "Finish takes Next's place";
    }
    EXPECT_FALSE(Project->IsModified()) << "moving between pages writes nothing";
}

TEST_F(ProjectWizardTest, TheLanguagePageIsHiddenButKeepsItsControls) {
    EXPECT_FALSE(Wizard->PageVisible(4));
    for (int page = 0; page < 10; ++page)
        EXPECT_EQ(Wizard->PageVisible(page), page != 4) << page;
    EXPECT_EQ(Child<QStackedWidget>(*Wizard, "PageControl").widget(4)->objectName(), "pgLanguage1");
    EXPECT_EQ(Child<QComboBox>(*Wizard, "edLanguage").currentText(), "Default");
}

TEST_F(ProjectWizardTest, NextGivesTheFocusToTheFirstControlOfThePage) {
    Click("btnNext");
    EXPECT_EQ(Wizard->focusWidget(), &Button("btnHomePage"));
    Edit("edHomePage").setText("a.htm");
    Edit("edOutputFile").setText("b.exe");
    GoIdle();
    Click("btnNext");
    Click("btnNext");
    EXPECT_EQ(Page(), "pgView");
    EXPECT_EQ(Wizard->focusWidget(), &Child<QWidget>(*Wizard, "rbWindowSizeDefault"));
}

TEST_F(ProjectWizardTest, PagesCarryTheirTitlesAndTexts) {
    EXPECT_EQ(Wizard->windowTitle(), "Project Wizard");
    EXPECT_EQ(Child<QLabel>(*Wizard, "lblWelcomeHeader").text(),
              "Wizard of the new Vellumar-project");
    EXPECT_EQ(Child<QPlainTextEdit>(*Wizard, "edWelcome").toPlainText(),
              "With the help of this Wizard, you can create the new \n"
              "Vellumar-project and adjust its settings quickly and easily.\n"
              "\n"
              "If you wish, right after that Wizard will start the building \n"
              "process of Vellumar-archive for you with according to \n"
              "project settings.\n"
              "\n"
              "Further, you can save the project in a place convenient for \n"
              "you to have an opportunity at any moment to launch the \n"
              "building process of your Vellumar-archive again, skipping \n"
              "repeated adjustment of project settings (it is very convenient\n"
              "if your site is under development or it is on a regular basis \n"
              "updated).\n"
              "\n"
              "Press \"Next\" button to continue.");
    EXPECT_EQ(Child<QPlainTextEdit>(*Wizard, "edFinish").toPlainText(),
              "The project is successfully created!\n"
              "\n"
              "Now, Wizard is ready to start the building process of your \n"
              "Vellumar-archive. If you wish to do this later then select \n"
              "the corresponding option below.\n"
              "\n"
              "Do not forget to save the project on the disk if you plan to \n"
              "repeat the building process of your Vellumar-archive\n"
              "once more again.");
    EXPECT_EQ(Child<QCheckBox>(*Wizard, "cbFilesParsingSkip").text(),
              "Skip parsing of HTML files for links");
    EXPECT_EQ(Wizard->findChild<QLabel*>(QStringLiteral("lblOutputNote")), nullptr)
        << "the wizard has no output note";
    EXPECT_EQ(Child<QLabel>(*Wizard, "lblParsingDescription").text(),
              "Skip parsing of HTML files if you wish to save time on processing a large site.");
}

TEST_F(ProjectWizardTest, FinishWritesTheSettingsAndAnswersByTheTwoBoxes) {
    const struct {
        bool Build, Run;
        int Result;
    } cases[] = {
        {true, false, mrOK},
        {true, true, mrYes},
        {false, false, mrCancel},
        {false, true, mrCancel}, // Run is disabled without Build and counts for nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "build " << c.Build << ", run " << c.Run);
        SetUp();
        Click("btnNext");
        Edit("edHomePage").setText("/site/index.htm");
        Click("btnNext");
        Edit("edOutputFile").setText("/out/site");
        Child<QAbstractButton>(*Wizard, "rbOutputVLM").click();
        WalkToFinish();
        auto& build = Child<QCheckBox>(*Wizard, "cbFinishBuild");
        auto& run = Child<QCheckBox>(*Wizard, "cbFinishRun");
        EXPECT_TRUE(build.isChecked());
        EXPECT_FALSE(run.isChecked());
        run.setChecked(c.Run);
        build.setChecked(c.Build);
        GoIdle();
        EXPECT_EQ(run.isEnabled(), c.Build);
        Click("btnFinish");
        EXPECT_EQ(Wizard->result(), c.Result);
        EXPECT_TRUE(Project->IsModified());
        EXPECT_EQ(Project->Value(entry::HomePage), "/site/index.htm");
        EXPECT_EQ(Project->Value(entry::OutputFile), "/out/site.vlm");
        EXPECT_EQ(Project->Value(entry::OutputType), "VLM");
    }
}

TEST_F(ProjectWizardTest, FinishWritesAlsoWhenNothingChanged) {
    const std::string fresh = Project->Text();
    WalkToFinish();
    Click("btnFinish");
    EXPECT_TRUE(Project->IsModified());
    // The two typed texts are appended; every default line is written back in its place.
    EXPECT_EQ(Project->Text(), fresh + "HomePage=/site/index.htm\r\nOutputFile=/out/site.exe\r\n");
}

TEST_F(ProjectWizardTest, CancelOnAnyPageLeavesTheFreshProjectAlone) {
    const std::string fresh = Project->Text();
    for (int pages = 0; pages <= 9; ++pages) {
        SCOPED_TRACE(::testing::Message() << pages << " pages on");
        SetUp();
        Edit("edHomePage").setText("/site/index.htm");
        Edit("edOutputFile").setText("/out/site.exe");
        Child<QCheckBox>(*Wizard, "cbDisplayMenuBar").setChecked(false);
        GoIdle();
        for (int i = 0; i < pages; ++i)
            Click("btnNext");
        Click("btnCancel");
        EXPECT_EQ(Wizard->result(), mrCancel);
        EXPECT_FALSE(Project->IsModified());
        EXPECT_EQ(Project->Text(), fresh);
    }
}

} // namespace
