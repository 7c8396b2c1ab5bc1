// The home-page preview: when it loads, the missing-home-page question, link clicks, and
// Build and Run following what it shows.
#include "ProjectorFixture.h"

#include "platform/UErrors.h"

#include <QApplication>
#include <QPalette>
#include <QWebEnginePage>

namespace vlm::test {
namespace {

using ui::mrNo;
using ui::mrYes;
using ui::TMsgButton;
using ui::TMsgKind;

QString MissingQuestion(const std::string& homePage) {
    return QString::fromStdString("The Home Page defined in the project does not exists:\r\"" +
                                  homePage + "\".\rDo you want to change it to existing one?");
}

TEST_F(ProjectorTest, AMissingHomePageAsksWhetherToChooseAnother) {
    const std::string index = WriteSite();
    const std::string missing = Dir / "gone/index.htm";
    const struct {
        const char* Name;
        ui::TModalResult Answer;
        std::optional<std::string> Chosen; // the Select Home Page dialog: none, cancel or a file
        std::string HomePageAfter;
        bool Previewed;
    } cases[] = {
        {"No", mrNo, std::nullopt, missing, false},
        {"Yes, then cancel", mrYes, std::string(), missing, false},
        {"Yes, then a page", mrYes, index, index, true},
    };
    for (const auto& c : cases) {
        Dialogs.Messages.clear();
        Dialogs.Answer(c.Answer);
        if (c.Chosen && c.Chosen->empty())
            Dialogs.CancelFileDialog();
        else if (c.Chosen)
            Dialogs.ChooseFile(Q(*c.Chosen));
        Start({Q(WriteProject("p.vlp", missing))});
        ASSERT_EQ(Dialogs.Messages.size(), 1u) << c.Name;
        EXPECT_EQ(Dialogs.Messages[0].Kind, TMsgKind::Error) << c.Name;
        EXPECT_EQ(Dialogs.Messages[0].Text, MissingQuestion(missing)) << c.Name;
        EXPECT_EQ(Dialogs.Messages[0].Buttons, TMsgButton::Yes | TMsgButton::No) << c.Name;
        ASSERT_NE(Window->Project(), nullptr) << c.Name << ": the project stays open";
        EXPECT_EQ(Window->Project()->Value(entry::HomePage), c.HomePageAfter) << c.Name;
        EXPECT_EQ(Window->Viewer()->CurrentFile(), c.Previewed ? Q(index) : QString()) << c.Name;
        EXPECT_EQ(EnabledActions().contains("actFileBuild"), c.Previewed) << c.Name;
        EXPECT_EQ(EnabledActions().contains("actFileRun"), c.Previewed) << c.Name;
        Window.reset();
    }
}

TEST_F(ProjectorTest, EveryChangeAsksAgainWhileTheHomePageIsMissing) {
    const std::string missing = Dir / "gone.htm";
    Dialogs.Answer(mrNo);
    Start({Q(WriteProject("p.vlp", missing))});
    Dialogs.Answer(mrNo);
    EXPECT_THROW(Window->Project()->SetValue(entry::OutputType, "EXE"), EAbort);
    EXPECT_EQ(Dialogs.Messages.size(), 2u);
    EXPECT_EQ(Window->Project()->Value(entry::OutputType), "EXE") << "the change stays";
    EXPECT_TRUE(Window->Project()->IsModified()) << "and is not lost to the save question";
}

TEST_F(ProjectorTest, ThePreviewReloadsOnlyWhenTheHomePageChanges) {
    const std::string index = WriteSite();
    Start({Q(WriteProject("p.vlp", index))});
    EXPECT_EQ(Window->Viewer()->CurrentFile(), Q(index));
    EXPECT_EQ(Window->Viewer()->DefBackground(), QApplication::palette().color(QPalette::Base))
        << "the window colour while a project is open";
    QSignalSpy loading(Window->Viewer(), &ui::TFrameViewer::LoadingFile);

    Window->Project()->SetValue(entry::HomePage, index);
    EXPECT_EQ(loading.count(), 0) << "the same path again does not reload";

    const std::string page2 = Dir / "site/page2.htm";
    Window->Project()->SetValue(entry::HomePage, page2);
    ASSERT_EQ(loading.count(), 1) << "another page loads at once";
    EXPECT_EQ(loading[0][0].toString(), Q(page2));
    EXPECT_EQ(Window->Viewer()->CurrentFile(), Q(page2));

    Window->Project()->SetValue(entry::HomePage, "");
    EXPECT_TRUE(Window->Viewer()->CurrentFile().isEmpty()) << "no home page, nothing shown";
    EXPECT_FALSE(EnabledActions().contains("actFileBuild"));
    EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(ProjectorTest, AHomePageThatVanishedAfterLoadingStillCountsAsShown) {
    const std::string index = WriteSite();
    Start({Q(WriteProject("p.vlp", index))});
    DeleteFile(index);
    Window->Project()->SetValue(entry::OutputType, "EXE"); // a change: no question, no reload
    EXPECT_EQ(Window->Viewer()->CurrentFile(), Q(index));
    EXPECT_TRUE(EnabledActions().contains("actFileBuild"));
    EXPECT_TRUE(EnabledActions().contains("actFileRun"));
    EXPECT_TRUE(Dialogs.Messages.empty());
}

// The value of a script run in the preview's page, as text.
QString RunScript(QWebEnginePage* page, const QString& script) {
    std::optional<QString> result;
    page->runJavaScript(script, [&](const QVariant& value) { result = value.toString(); });
    EXPECT_TRUE(WaitUntil([&] { return result.has_value(); })) << script.toStdString();
    return result.value_or(QString());
}

TEST_F(ProjectorTest, ClickingALinkShowsTheMessageAndKeepsThePage) {
    const auto Script = [this](const QString& script) {
        return RunScript(Window->Viewer()->page(), script);
    };
    const std::string index = WriteSite();
    Start({Q(WriteProject("p.vlp", index))});
    const QUrl shown = Window->Viewer()->url();
    ASSERT_EQ(shown, QUrl::fromLocalFile(Q(index)));
    for (const char* link : {"next", "popup"}) {
        Dialogs.Messages.clear();
        Window->Viewer()->page()->runJavaScript(
            QStringLiteral("window.marker = '%1'; document.getElementById('%1').click()")
                .arg(QLatin1String(link)));
        ASSERT_TRUE(WaitUntil([&] { return !Dialogs.Messages.empty(); })) << link;
        ASSERT_EQ(Dialogs.Messages.size(), 1u) << link;
        EXPECT_EQ(Dialogs.Messages[0].Kind, TMsgKind::Plain) << link;
        EXPECT_EQ(Dialogs.Messages[0].Title, "p.vlp - Vellumar(R) Packer") << link;
        EXPECT_EQ(Dialogs.Messages[0].Text,
                  "Sorry, Vellumar(R) Packer does not allow to browse the site.\r"
                  "It is capable just only to preview Home Page of the project.")
            << link;
        EXPECT_EQ(Dialogs.Messages[0].Buttons, ui::TMsgButtons(TMsgButton::OK)) << link;
        EXPECT_EQ(Window->Viewer()->url(), shown) << link;
        EXPECT_EQ(Script(QStringLiteral("window.marker + ' ' + document.location.href")),
                  QLatin1String(link) + QLatin1Char(' ') + shown.toString())
            << link << ": the same document is still shown";
        EXPECT_EQ(Window->Viewer()->CurrentFile(), Q(index)) << link;
    }
}

TEST_F(ProjectorTest, TheViewerRefusesAMissingFileAndClears) {
    const std::string index = WriteSite();
    Start({Q(WriteProject("p.vlp", index))});
    ui::TFrameViewer* viewer = Window->Viewer();
    try {
        viewer->LoadFromFile(Q(Dir / "missing.htm"));
        ADD_FAILURE() << "a missing file loads";
    } catch (const EVlmError& e) {
        EXPECT_EQ(std::string(e.what()), "Can't locate file: " + (Dir / "missing.htm"));
    }
    EXPECT_EQ(viewer->CurrentFile(), Q(index));
    viewer->Clear();
    EXPECT_TRUE(viewer->CurrentFile().isEmpty());
    EXPECT_FALSE(EnabledActions().contains("actFileBuild")) << "Build follows the preview";
}

} // namespace
} // namespace vlm::test
