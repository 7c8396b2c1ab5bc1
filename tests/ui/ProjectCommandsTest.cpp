// The project commands: Blank, Open, Save, Save As, Close with its save question, Select
// Home Page, Exit and the closing of the window.
#include "ProjectorFixture.h"

#include <QApplication>
#include <QPalette>

namespace vlm::test {
namespace {

using ui::mrCancel;
using ui::mrNo;
using ui::mrYes;
using ui::TMsgButton;
using ui::TMsgKind;

const std::string Original = "OutputType=VLM\r\n";

TEST_F(ProjectorTest, TheSaveQuestionAndItsThreeAnswers) {
    const struct {
        ui::TModalResult Answer;
        bool StaysOpen;
        std::string FileAfter;
    } cases[] = {
        {mrYes, false, "OutputType=EXE\r\n"},
        {mrNo, false, Original},
        {mrCancel, true, Original},
    };
    for (const auto& c : cases) {
        const std::string path = WriteProject("p.vlp", "");
        Start({Q(path)});
        Window->Project()->SetValue(entry::OutputType, "EXE");
        Dialogs.Messages.clear();
        Dialogs.Answer(c.Answer);
        Trigger("actFileClose");
        ASSERT_EQ(Dialogs.Messages.size(), 1u);
        EXPECT_EQ(Dialogs.Messages[0].Kind, TMsgKind::Confirm);
        EXPECT_EQ(Dialogs.Messages[0].Title, "Confirm");
        EXPECT_EQ(Dialogs.Messages[0].Text, Q("Save changes to \"" + path + "\"?"));
        EXPECT_EQ(Dialogs.Messages[0].Buttons,
                  TMsgButton::Yes | TMsgButton::No | TMsgButton::Cancel);
        EXPECT_EQ(Window->Project() != nullptr, c.StaysOpen) << c.Answer;
        EXPECT_EQ(ReadFile(path), c.FileAfter) << c.Answer;
        EXPECT_EQ(Window->windowTitle(),
                  c.StaysOpen ? "p.vlp - Vellumar(R) Packer" : "Vellumar(R) Packer");
        if (c.StaysOpen) {
            EXPECT_TRUE(Window->Project()->IsModified());
        }
        Window.reset();
    }
}

TEST_F(ProjectorTest, AnUnchangedProjectClosesWithoutAQuestion) {
    Start({Q(WriteProject("p.vlp", WriteSite()))});
    Trigger("actFileClose");
    EXPECT_TRUE(Dialogs.Messages.empty());
    EXPECT_EQ(Window->Project(), nullptr);
    EXPECT_EQ(Window->windowTitle(), "Vellumar(R) Packer");
    EXPECT_TRUE(Window->Viewer()->CurrentFile().isEmpty());
    EXPECT_EQ(Window->Viewer()->DefBackground(), QApplication::palette().color(QPalette::Dark))
        << "the application-workspace colour";
}

TEST_F(ProjectorTest, SaveOnANewProjectGoesThroughSaveAs) {
    Start();
    const std::string untitled = Window->Project()->FileName();
    Window->Project()->SetValue(entry::OutputType, "VLM");

    Dialogs.CancelFileDialog();
    Trigger("actFileSave");
    EXPECT_TRUE(Window->Project()->IsNew()) << "cancelling leaves the project new and modified";
    EXPECT_TRUE(Window->Project()->IsModified());
    EXPECT_EQ(Window->Project()->FileName(), untitled);

    Dialogs.ChooseFile(Q(Dir / "saved.vlp"));
    Trigger("actFileSave");
    ASSERT_EQ(Dialogs.FileDialogs.size(), 2u);
    const ui::TFileDialogSpec& spec = Dialogs.FileDialogs[1];
    EXPECT_EQ(spec.Name, "SaveDialog");
    EXPECT_TRUE(spec.Save);
    EXPECT_EQ(spec.FileName, Q(untitled));
    EXPECT_EQ(spec.Filter, "Project files (*.vlp)|*.vlp|All Files (*.*)|*.*");
    EXPECT_EQ(spec.DefaultExt, "vlp");
    EXPECT_TRUE(spec.OverwritePrompt);
    EXPECT_FALSE(Window->Project()->IsNew());
    EXPECT_FALSE(Window->Project()->IsModified());
    EXPECT_EQ(Window->Project()->FileName(), Dir / "saved.vlp");
    EXPECT_NE(ReadFile(Dir / "saved.vlp").find("OutputType=VLM\r\n"), std::string::npos);
    EXPECT_EQ(Window->windowTitle(), "saved.vlp - Vellumar(R) Packer");
    EXPECT_FALSE(EnabledActions().contains("actFileSave"));

    Window->Project()->SetValue(entry::OutputType, "EXE");
    Trigger("actFileSave"); // no dialog: the project has its file now
    EXPECT_EQ(Dialogs.FileDialogs.size(), 2u);
    EXPECT_NE(ReadFile(Dir / "saved.vlp").find("OutputType=EXE\r\n"), std::string::npos);
}

TEST_F(ProjectorTest, ASaveThatFailsIsReportedAndKeepsTheProjectModified) {
    const std::string path = WriteProject("p.vlp", "");
    Start({Q(path)});
    Window->Project()->SetValue(entry::OutputType, "EXE");
    Dialogs.ChooseFile(Q(Dir / "p.vlp/under-a-file.vlp"));
    Trigger("actFileSaveAs");
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0].Kind, TMsgKind::Error);
    EXPECT_NE(Dialogs.Messages[0].Text.indexOf("Cannot create file"), -1);
    EXPECT_TRUE(Window->Project()->IsModified());
    EXPECT_EQ(ReadFile(path), Original);
}

TEST_F(ProjectorTest, ClosingANewProjectWithYesAndCancellingSaveAsKeepsItOpen) {
    Start();
    Window->Project()->SetValue(entry::OutputType, "VLM");
    Dialogs.Answer(mrYes);
    Dialogs.CancelFileDialog();
    Trigger("actFileClose");
    ASSERT_NE(Window->Project(), nullptr);
    EXPECT_TRUE(Window->Project()->IsNew());
    EXPECT_EQ(Dialogs.FileDialogs.at(0).Name, "SaveDialog");
}

TEST_F(ProjectorTest, NewWhileModifiedAsksAndCancelKeepsTheOldProject) {
    const std::string path = WriteProject("p.vlp", "");
    Start({Q(path)});
    TProject* old = Window->Project();
    old->SetValue(entry::OutputType, "EXE");
    Dialogs.Answer(mrCancel);
    Trigger("actFileNewBlank");
    EXPECT_EQ(Window->Project(), old);
    EXPECT_EQ(Window->Project()->FileName(), path);

    Dialogs.Answer(mrNo);
    Trigger("actFileNewBlank");
    ASSERT_NE(Window->Project(), nullptr);
    EXPECT_TRUE(Window->Project()->IsNew());
    EXPECT_EQ(Dialogs.Messages.size(), 2u);
}

TEST_F(ProjectorTest, OpenAsksForTheFileFirstAndCancelChangesNothing) {
    const std::string other = WriteProject("other.vlp", "");
    Start();
    TProject* blank = Window->Project();
    blank->SetValue(entry::OutputType, "EXE");
    Dialogs.CancelFileDialog();
    Trigger("actFileOpen");
    EXPECT_EQ(Window->Project(), blank);
    EXPECT_TRUE(Dialogs.Messages.empty()) << "no save question before a file is chosen";
    const ui::TFileDialogSpec& spec = Dialogs.FileDialogs.at(0);
    EXPECT_EQ(spec.Name, "OpenDialog");
    EXPECT_FALSE(spec.Save);
    EXPECT_TRUE(spec.MustExist);
    EXPECT_EQ(spec.Filter, "Project files (*.vlp)|*.vlp|All Files (*.*)|*.*");

    Dialogs.ChooseFile(Q(other));
    Dialogs.Answer(mrNo);
    Trigger("actFileOpen");
    ASSERT_NE(Window->Project(), nullptr);
    EXPECT_EQ(Window->Project()->FileName(), other);
    EXPECT_EQ(Window->windowTitle(), "other.vlp - Vellumar(R) Packer");
}

TEST_F(ProjectorTest, ClosingTheWindowClosesTheProjectAndCancelKeepsItOpen) {
    for (const char* how : {"window", "actFileExit"}) {
        Start({Q(WriteProject("p.vlp", ""))});
        Window->show();
        Window->Project()->SetValue(entry::OutputType, "EXE");
        Dialogs.Answer(mrCancel);
        if (std::string(how) == "window") {
            EXPECT_FALSE(Window->close()) << how;
        } else {
            Trigger(how);
        }
        EXPECT_TRUE(Window->isVisible()) << how;
        ASSERT_NE(Window->Project(), nullptr) << how;

        Dialogs.Answer(mrNo);
        if (std::string(how) == "window") {
            EXPECT_TRUE(Window->close()) << how;
        } else {
            Trigger(how);
        }
        EXPECT_FALSE(Window->isVisible()) << how;
        EXPECT_EQ(Window->Project(), nullptr) << how;
        Window.reset();
    }
}

TEST_F(ProjectorTest, SelectHomePageWritesTheChosenPageAndPreviewsIt) {
    const std::string index = WriteSite();
    Start({Q(WriteProject("p.vlp", ""))});
    EXPECT_FALSE(EnabledActions().contains("actFileBuild"));
    Dialogs.ChooseFile(Q(index));
    Trigger("actFileSelectHomePage", true);
    const ui::TFileDialogSpec& first = Dialogs.FileDialogs.at(0);
    EXPECT_EQ(first.Name, "HomePageDialog");
    EXPECT_EQ(first.Title, "Select Home Page");
    EXPECT_EQ(first.Filter, "HTML Files (*.htm; *.html)|*.htm;*.html|All Files (*.*)|*.*");
    EXPECT_TRUE(first.MustExist);
    EXPECT_TRUE(first.InitialDir.isEmpty());
    EXPECT_TRUE(first.FileName.isEmpty());
    EXPECT_EQ(Window->Project()->Value(entry::HomePage), index);
    EXPECT_EQ(Window->Viewer()->CurrentFile(), Q(index));
    EXPECT_TRUE(EnabledActions().contains("actFileBuild"));

    Dialogs.CancelFileDialog();
    Trigger("actFileSelectHomePage");
    const ui::TFileDialogSpec& second = Dialogs.FileDialogs.at(1);
    EXPECT_EQ(second.InitialDir, Q(Dir / "site/"));
    EXPECT_EQ(second.FileName, "index.htm");
    EXPECT_EQ(Window->Project()->Value(entry::HomePage), index) << "cancel changes nothing";
    EXPECT_TRUE(Dialogs.Messages.empty());
}

} // namespace
} // namespace vlm::test
