// The main window with projects that name their files relative to themselves, an Apply
// that the preview's question interrupts, files dropped on the window, and the colour of
// the empty preview.
#include "ProjectWindowsSupport.h"
#include "ProjectorFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDropEvent>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPalette>
#include <QPushButton>
#include <functional>

namespace vlm::test {
namespace {

using ui::mrCancel;
using ui::mrNo;
using ui::mrYes;

TEST_F(ProjectorTest, ARelativeHomePageLiesBesideTheProjectFile) {
    const std::string index = WriteSite();
    Start({Q(WriteProject("p.vlp", "site/index.htm"))});
    EXPECT_EQ(Window->Viewer()->CurrentFile(), Q(index)) << "previewed from the project's folder";
    EXPECT_TRUE(Dialogs.Messages.empty());
    EXPECT_TRUE(EnabledActions().contains("actFileBuild"));

    Window->Project()->SetValue(entry::OutputFile, "out/p.vlm");
    Dialogs.HandleDialog([&](QDialog& dialog) {
        EXPECT_EQ(Child<QLineEdit>(dialog, "edHomePage").text(), Q(index))
            << "the dialog shows the full path";
        EXPECT_EQ(Child<QLineEdit>(dialog, "edOutputFile").text(), Q(Dir / "out/p.vlm"));
        Child<QCheckBox>(dialog, "cbDisplayStatusBar").click();
        Child<QPushButton>(dialog, "btnOK").click();
        return dialog.result();
    });
    Trigger("actFileOptions");
    EXPECT_EQ(Window->Project()->Value(entry::ShowStatusBar), "0");
    EXPECT_EQ(Window->Project()->Value(entry::HomePage), "site/index.htm")
        << "the project keeps what the user wrote";
    EXPECT_EQ(Window->Project()->Value(entry::OutputFile), "out/p.vlm");
}

TEST_F(ProjectorTest, ApplyWritesEveryEntryBeforeThePreviewAsksAboutTheHomePage) {
    const std::string missing = Dir / "gone.htm";
    const struct {
        const char* Name;
        std::vector<ui::TModalResult> Answers; // the question, then the home-page picker
    } cases[] = {
        {"No", {mrNo}},
        {"Yes, then cancel the picker", {mrYes, mrCancel}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Start({Q(WriteProject("p.vlp", WriteSite()))});
        Dialogs.Messages.clear();
        Dialogs.Answer(c.Answers[0]);
        if (c.Answers.size() > 1)
            Dialogs.CancelFileDialog();
        bool applyEnabledAfter = true;
        Dialogs.HandleDialog([&](QDialog& dialog) {
            Child<QLineEdit>(dialog, "edHomePage").setText(Q(missing));
            Child<QLineEdit>(dialog, "edOutputFile").setText(Q(Dir / "out.vlm"));
            Child<QCheckBox>(dialog, "cbDisplayStatusBar").click();
            Child<QLineEdit>(dialog, "edFilesExclude").setText(QStringLiteral("*.old"));
            GoIdle();
            Child<QPushButton>(dialog, "btnApply").click();
            GoIdle();
            applyEnabledAfter = Child<QPushButton>(dialog, "btnApply").isEnabled();
            return int(mrCancel);
        });
        Trigger("actFileOptions");
        ASSERT_EQ(Dialogs.Messages.size(), 1u) << "the question comes once, after the writing";
        const TProject& project = *Window->Project();
        EXPECT_EQ(project.Value(entry::HomePage), missing);
        EXPECT_EQ(project.Value(entry::OutputFile), Dir / "out.vlm");
        EXPECT_EQ(project.Value(entry::ShowStatusBar), "0");
        EXPECT_EQ(project.Value(entry::MaskExclude), "*.old") << "the last entry is written too";
        EXPECT_TRUE(project.IsModified());
        EXPECT_FALSE(applyEnabledAfter) << "nothing is left to apply";
        Window.reset();
    }
}

// Drops a file on the preview the way a file manager does: the drag enters, then drops.
// Returns whether the window took the drag.
bool DropFile(QWidget* target, const std::string& file) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
    const QPointF where(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(where.toPoint(), Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(where, Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return enter.isAccepted();
}

TEST_F(ProjectorTest, ADroppedProjectFileOpensAndOtherDropsAreIgnored) {
    const std::string index = WriteSite();
    const std::string other = WriteProject("other.vlp", index, "ShowMenuBar=0\r\n");
    const std::string upper = WriteProject("UPPER.VLP", index);
    const struct {
        std::string File;
        bool Modified; // the open project has unsaved changes
        bool Taken;    // the drag is accepted
        std::string ProjectAfter;
        size_t Questions; // the save question
    } cases[] = {
        {other, false, true, other, 0},
        {upper, false, true, upper, 0},
        {other, true, true, other, 1},
        {index, false, false, "p.vlp", 0},
        {Dir / "site/logo.gif", true, false, "p.vlp", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        const std::string first = WriteProject("p.vlp", index);
        Start({Q(first)});
        if (c.Modified)
            Window->Project()->SetValue(entry::ShowStatusBar, "0");
        if (c.Questions > 0)
            Dialogs.Answer(mrNo);
        Dialogs.Messages.clear();
        QWidget* target =
            Window->Viewer()->focusProxy() ? Window->Viewer()->focusProxy() : Window->Viewer();
        EXPECT_EQ(DropFile(target, c.File), c.Taken);
        const std::string expected = c.ProjectAfter == "p.vlp" ? first : c.ProjectAfter;
        WaitUntil([&] { return Window->Project()->FileName() == expected; });
        GoIdle();
        EXPECT_EQ(Window->Project()->FileName(), expected);
        EXPECT_EQ(Dialogs.Messages.size(), c.Questions) << "no message about browsing";
        EXPECT_EQ(Window->Viewer()->CurrentFile(), Q(index));
        Window.reset();
    }
}

// The colour the preview draws at its centre and near a corner, as it appears on screen.
std::pair<QColor, QColor> DrawnColours(QWidget* viewer) {
    const QImage image = viewer->grab().toImage();
    return {image.pixelColor(image.width() / 2, image.height() / 2),
            image.pixelColor(3, image.height() - 3)};
}

TEST_F(ProjectorTest, TheEmptyPreviewIsDrawnInItsColour) {
    const QColor workspace = QApplication::palette().color(QPalette::Dark);
    const QColor window = QApplication::palette().color(QPalette::Base);
    ASSERT_NE(workspace, window) << "the style tells the two colours apart";
    const std::string index = WriteSite();
    const struct {
        const char* Name;
        std::function<void()> Reach;
        QColor Drawn;
    } cases[] = {
        {"after Close",
         [&] {
             Start({Q(WriteProject("p.vlp", index))});
             Trigger("actFileClose");
         },
         workspace},
        {"no project could be opened at start-up", [&] { Start({Q(Dir / "missing.vlp")}); },
         workspace},
        {"a project without a home page", [&] { Start({Q(WriteProject("p.vlp", ""))}); }, window},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        c.Reach();
        Window->resize(400, 300);
        Window->show();
        GoIdle();
        EXPECT_TRUE(Window->Viewer()->CurrentFile().isEmpty());
        const auto [centre, corner] = DrawnColours(Window->Viewer());
        EXPECT_EQ(centre.name(), c.Drawn.name());
        EXPECT_EQ(corner.name(), c.Drawn.name());
        Window.reset();
    }
}

} // namespace
} // namespace vlm::test
