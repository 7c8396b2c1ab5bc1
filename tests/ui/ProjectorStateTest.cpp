// The main window's enabling table, its caption in each project state, its start-up and the
// help file rule.
#include "ProjectorFixture.h"

#include <QDir>

namespace vlm::test {
namespace {

using ui::mrNo;
using ui::TMsgKind;

const QStringList AlwaysEnabled = {
    "actFileNewBlank",        "actFileNewWizard",       "actFileOpen", "actFileExit",
    "actHelpHomePageProduct", "actHelpHomePageCompany", "actHelpAbout"};

QStringList With(QStringList names, const QStringList& more) {
    names << more;
    names.sort();
    return names;
}

TEST_F(ProjectorTest, CommandsAreEnabledByTheProjectState) {
    const std::string homePage = WriteSite();
    const std::string plain = WriteProject("plain.vlp", "");
    const std::string withHome = WriteProject("home.vlp", homePage);
    const QStringList open = {"actFileSaveAs", "actFileClose", "actFileSelectHomePage",
                              "actFileOptions"};
    const struct {
        const char* State;
        std::function<void(TTempDir&)> Reach;
        QStringList Enabled;
        QString Caption;
    } cases[] = {
        {"no project",
         [&](TTempDir&) {
             Start();
             Trigger("actFileClose");
         },
         With(AlwaysEnabled, {}), "Vellumar(R) Packer"},
        {"new", [&](TTempDir&) { Start(); }, With(AlwaysEnabled, open + QStringList{"actFileSave"}),
         ""},
        {"saved and unchanged", [&](TTempDir&) { Start({Q(plain)}); }, With(AlwaysEnabled, open),
         "plain.vlp - Vellumar(R) Packer"},
        {"modified",
         [&](TTempDir&) {
             Start({Q(plain)});
             Window->Project()->SetValue(entry::OutputType, "EXE");
         },
         With(AlwaysEnabled, open + QStringList{"actFileSave"}), "plain.vlp - Vellumar(R) Packer"},
        {"home page shown", [&](TTempDir&) { Start({Q(withHome)}); },
         With(AlwaysEnabled, open + QStringList{"actFileBuild", "actFileRun"}),
         "home.vlp - Vellumar(R) Packer"},
    };
    for (const auto& c : cases) {
        c.Reach(Dir);
        EXPECT_EQ(EnabledActions(), c.Enabled) << c.State;
        QString caption = c.Caption;
        if (caption.isEmpty())
            caption = Q(Window->Project()->FileName()) + " - Vellumar(R) Packer";
        EXPECT_EQ(Window->windowTitle(), caption) << c.State;
        EXPECT_EQ(ui::ApplicationTitle(), caption) << c.State;
        Window.reset();
    }
}

TEST_F(ProjectorTest, ABlankProjectIsNamedUntitledInTheCaption) {
    const test_hooks::TUntitledCounter counter(6);
    Start();
    EXPECT_EQ(Window->windowTitle(), "Untitled7 - Vellumar(R) Packer");
    Trigger("actFileNewBlank");
    EXPECT_EQ(Window->windowTitle(), "Untitled8 - Vellumar(R) Packer");
}

TEST_F(ProjectorTest, StartUpOpensTheCommandLineProjectAsAFullPath) {
    const std::string homePage = WriteSite();
    WriteProject("p.vlp", homePage);
    const QString current = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Q(Dir.Path())));
    Window = std::make_unique<ui::TfmProjector>();
    const QSize before = Window->size();
    EXPECT_GE(before.width(), 500);
    EXPECT_EQ(before.height(), 400);
    Window.reset();
    Start({QStringLiteral("p.vlp"), QStringLiteral("ignored.vlp")});
    QDir::setCurrent(current);
    ASSERT_NE(Window->Project(), nullptr);
    EXPECT_EQ(Window->Project()->FileName(), Dir / "p.vlp");
    EXPECT_EQ(Window->Viewer()->CurrentFile(), Q(homePage));
    EXPECT_EQ(Window->size(), before + QSize(1, 1)) << "one pixel wider and higher";
    EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(ProjectorTest, AMissingCommandLineProjectIsReportedAndTheWindowStartsEmpty) {
    Window = std::make_unique<ui::TfmProjector>();
    const QSize before = Window->size();
    Window.reset();
    Start({Q(Dir / "missing.vlp")});
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0].Kind, TMsgKind::Error);
    EXPECT_EQ(Dialogs.Messages[0].Text,
              Q("Cannot open file \"" + (Dir / "missing.vlp") + "\". No such file or directory"));
    EXPECT_EQ(Window->Project(), nullptr);
    EXPECT_EQ(Window->windowTitle(), "Vellumar(R) Packer");
    EXPECT_TRUE(Window->Viewer()->CurrentFile().isEmpty());
    EXPECT_EQ(Window->size(), before) << "the rest of the start-up is skipped";
    EXPECT_EQ(EnabledActions(), With(AlwaysEnabled, {}));
}

TEST_F(ProjectorTest, HelpIsEnabledExactlyWhenTheHelpFileExistedAtStartUp) {
    const std::string helpFile = ProgramDir / ChangeFileExt(ExtractFileName(ProgramPath()), ".chm");
    for (const bool present : {false, true}) {
        if (present)
            WriteFile(helpFile, "help");
        Start();
        EXPECT_EQ(Window->HelpFile(), Q(helpFile));
        EXPECT_EQ(EnabledActions().contains("actHelpHelp"), present);
        if (present) {
            DeleteFile(helpFile);
            EXPECT_TRUE(EnabledActions().contains("actHelpHelp")) << "decided at start-up only";
            Trigger("actHelpHelp");
            ASSERT_EQ(Dialogs.OpenedUrls.size(), 1u);
            EXPECT_EQ(Dialogs.OpenedUrls[0], QUrl::fromLocalFile(Q(helpFile)));
        }
        Window.reset();
    }
}

} // namespace
} // namespace vlm::test
