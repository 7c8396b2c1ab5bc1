// The about box and the build's progress window: geometry, texts and keys.
#include "ScriptedDialogs.h"

#include "ui/FAbout.h"
#include "ui/FBuildingProgress.h"
#include "ui/FProjector.h"
#include "ui/UProductInfo.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSysInfo>
#include <QTest>

#include <gtest/gtest.h>

namespace vlm::test {
namespace {

using ui::TfmBuildingProgress;
using ui::TfrmAbout;

TEST(AboutBox, ShowsTheProductVersionAndLink) {
    TfrmAbout about(nullptr);
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.size(), QSize(312, 216));
    EXPECT_EQ(about.minimumSize(), about.maximumSize()) << "fixed size";
    const auto* version = about.findChild<QLabel*>(QStringLiteral("lblVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), "Version: 1.3");
    EXPECT_EQ(version->pos(), QPoint(120, 40));
    // The platform line names the system this runs on (its release code name may go), whole
    // or in its hint, clear of the icon and inside its box.
    const auto* platform = about.findChild<QLabel*>(QStringLiteral("lblPlatform"));
    ASSERT_NE(platform, nullptr);
    const QString name = "for " + QSysInfo::prettyProductName();
    const QString whole = platform->toolTip().isEmpty() ? platform->text() : platform->toolTip();
    EXPECT_TRUE(whole.size() > 4 && name.startsWith(whole)) << whole.toStdString();
    EXPECT_TRUE(platform->parentWidget()->rect().contains(platform->geometry()))
        << platform->geometry().x() << "+" << platform->geometry().width();
    const auto* image = about.findChild<QLabel*>(QStringLiteral("Image1"));
    ASSERT_NE(image, nullptr);
    EXPECT_FALSE(platform->geometry().intersects(image->geometry())) << "clear of the icon";
    EXPECT_EQ(image->geometry(), QRect(16, 48, 32, 32));
    const auto* link = about.findChild<QLabel*>(QStringLiteral("lnkWebSite"));
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->pos(), QPoint(80, 152));
    EXPECT_NE(link->text().indexOf(QString::fromUtf8(ui::ProductHomeUrl)), -1);
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    const auto* ok = about.findChild<QPushButton*>(QStringLiteral("btnClose"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_EQ(ok->geometry(), QRect(224, 176, 75, 25));
    EXPECT_TRUE(ok->isDefault());
}

TEST(AboutBox, TheLinkOpensTheProductHomePage) {
    TScriptedDialogs dialogs;
    TfrmAbout about(nullptr);
    auto* link = about.findChild<QLabel*>(QStringLiteral("lnkWebSite"));
    emit link->linkActivated(link->text());
    ASSERT_EQ(dialogs.OpenedUrls.size(), 1u);
    EXPECT_EQ(dialogs.OpenedUrls[0], QUrl(QString::fromUtf8(ui::ProductHomeUrl)));
}

TEST(AboutBox, EscapeDoesNothingAndEnterOrTheCloseButtonClose) {
    const struct {
        const char* Name;
        std::function<void(TfrmAbout&)> Press;
        bool Closes;
    } cases[] = {
        {"Escape", [](TfrmAbout& box) { QTest::keyClick(&box, Qt::Key_Escape); }, false},
        {"Enter", [](TfrmAbout& box) { QTest::keyClick(&box, Qt::Key_Return); }, true},
        {"title bar", [](TfrmAbout& box) { box.close(); }, true},
        {"OK", [](TfrmAbout& box) { box.findChild<QPushButton*>("btnClose")->click(); }, true},
    };
    for (const auto& c : cases) {
        TfrmAbout about(nullptr);
        about.show();
        c.Press(about);
        EXPECT_EQ(!about.isVisible(), c.Closes) << c.Name;
    }
}

TEST(AboutBox, TheAboutCommandShowsItModally) {
    TScriptedDialogs dialogs;
    ui::TfmProjector window;
    window.FormCreate({});
    dialogs.HandleDialog([](QDialog& dialog) {
        EXPECT_NE(qobject_cast<TfrmAbout*>(&dialog), nullptr);
        return int(ui::mrOK);
    });
    window.findChild<ui::TAction*>(QStringLiteral("actHelpAbout"))->trigger();
    ASSERT_EQ(dialogs.Dialogs.size(), 1u);
    EXPECT_EQ(dialogs.Dialogs[0].Title, "About");
}

TEST(BuildingProgress, EveryControlHasItsPlaceAndText) {
    TfmBuildingProgress progress(nullptr);
    EXPECT_EQ(progress.windowTitle(), "Building...");
    EXPECT_EQ(progress.size(), QSize(350, 250));
    EXPECT_EQ(progress.minimumSize(), progress.maximumSize()) << "fixed size";
    EXPECT_FALSE(progress.windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    const struct {
        const char* Name;
        const char* Parent;
        QRect Geometry;
        const char* Text;
    } controls[] = {
        {"gbInfo", "fmBuildingProgress", {10, 10, 330, 190}, ""},
        {"gbOutputFile", "gbInfo", {10, 10, 311, 51}, "Output file"},
        {"lblOutputFile", "gbOutputFile", {10, 20, 291, 21}, ""},
        {"gbOutputSize", "gbInfo", {10, 70, 101, 51}, ""},
        {"lblOutputSize", "gbOutputSize", {10, 20, 81, 21}, ""},
        {"gbProgress", "gbInfo", {120, 70, 201, 51}, ""},
        {"ProgressBar", "gbProgress", {10, 20, 181, 21}, nullptr},
        {"gbCurrentFile", "gbInfo", {10, 130, 311, 51}, "Current file"},
        {"lblCurrentFile", "gbCurrentFile", {10, 20, 291, 21}, ""},
        {"btnCancel", "fmBuildingProgress", {130, 210, 90, 25}, "Cancel"},
    };
    for (const auto& c : controls) {
        const auto* control = progress.findChild<QWidget*>(QString::fromLatin1(c.Name));
        ASSERT_NE(control, nullptr) << c.Name;
        EXPECT_EQ(control->parentWidget()->objectName(), c.Parent) << c.Name;
        EXPECT_EQ(control->geometry(), c.Geometry) << c.Name;
        QString text;
        if (const auto* box = qobject_cast<const QGroupBox*>(control))
            text = box->title();
        else if (const auto* label = qobject_cast<const QLabel*>(control))
            text = label->text();
        else if (const auto* button = qobject_cast<const QPushButton*>(control))
            text = button->text();
        if (c.Text) {
            EXPECT_EQ(text, c.Text) << c.Name;
        }
    }
    const auto* bar = progress.findChild<QProgressBar*>(QStringLiteral("ProgressBar"));
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(progress.findChild<QLabel*>(QStringLiteral("lblOutputSize"))->alignment(),
              Qt::AlignCenter);
    EXPECT_FALSE(progress.Cancelled());
}

TEST(BuildingProgress, CancelSetsTheFlagAndKeepsTheWindowWhileTheBuildRuns) {
    const struct {
        const char* Name;
        std::function<void(TfmBuildingProgress&)> Press;
    } cases[] = {
        {"button", [](TfmBuildingProgress& p) { p.findChild<QPushButton*>("btnCancel")->click(); }},
        {"Escape", [](TfmBuildingProgress& p) { QTest::keyClick(&p, Qt::Key_Escape); }},
        {"title bar", [](TfmBuildingProgress& p) { p.close(); }},
    };
    for (const auto& c : cases) {
        QWidget owner;
        owner.show();
        TfmBuildingProgress progress(&owner);
        TCancelToken cancel;
        progress.SetCancelToken(&cancel);
        progress.Begun("/out/site.vlm");
        EXPECT_TRUE(progress.isVisible()) << c.Name;
        EXPECT_FALSE(owner.isEnabled()) << c.Name << ": the main window is disabled";
        EXPECT_TRUE(progress.isEnabled()) << c.Name;
        c.Press(progress);
        EXPECT_TRUE(progress.Cancelled()) << c.Name;
        EXPECT_TRUE(cancel.Cancelled()) << c.Name << ": the build's token is cancelled";
        EXPECT_TRUE(progress.isVisible()) << c.Name;
        progress.EnableMainWindow();
        EXPECT_TRUE(owner.isEnabled()) << c.Name;
    }
}

TEST(BuildingProgress, FinishedIsBoldAndWaitsForTheUserOutsideRun) {
    for (const bool wait : {false, true}) {
        TScriptedDialogs dialogs;
        TfmBuildingProgress progress(nullptr);
        progress.Begun("/out/site.vlm");
        if (wait) {
            dialogs.HandleDialog([](QDialog& dialog) {
                EXPECT_FALSE(dialog.isVisible()) << "hidden before the modal showing";
                QPushButton* button = dialog.findChild<QPushButton*>("btnCancel");
                EXPECT_TRUE(button->isDefault());
                return int(ui::mrCancel);
            });
        }
        progress.Ended(true, wait);
        const auto* stage = progress.findChild<QGroupBox*>(QStringLiteral("gbProgress"));
        EXPECT_EQ(stage->title(), "Finished");
        EXPECT_TRUE(stage->font().bold());
        EXPECT_EQ(progress.findChild<QPushButton*>(QStringLiteral("btnCancel"))->text(),
                  "Finished");
        EXPECT_EQ(dialogs.Dialogs.size(), wait ? 1u : 0u);
        EXPECT_FALSE(progress.isVisible());
    }
}

TEST(BuildingProgress, TextWidthsAreMeasuredInTheLabelsOwnFont) {
    TfmBuildingProgress progress(nullptr);
    auto* label = progress.findChild<QLabel*>(QStringLiteral("lblCurrentFile"));
    const std::string text = "/home/user/site/images/logo.gif";
    EXPECT_EQ(progress.LabelWidth(ui::TProgressLabel::CurrentFile), 291);
    const int normal = progress.TextWidth(ui::TProgressLabel::CurrentFile, text);
    EXPECT_EQ(normal, QFontMetrics(label->font()).horizontalAdvance(QString::fromStdString(text)));
    QFont big = label->font();
    big.setPixelSize(40);
    label->setFont(big);
    EXPECT_GT(progress.TextWidth(ui::TProgressLabel::CurrentFile, text), normal);
    EXPECT_EQ(progress.TextWidth(ui::TProgressLabel::OutputFile, text), normal)
        << "the other label keeps its font";
}

TEST(BuildingProgress, AsksForTheOutputFileAndTheReplacement) {
    TScriptedDialogs dialogs;
    TfmBuildingProgress progress(nullptr);
    dialogs.ChooseFile(QStringLiteral("/out/site.exe"));
    std::string fileName;
    ASSERT_TRUE(progress.AskOutputFile(fileName));
    EXPECT_EQ(fileName, "/out/site.exe");
    const ui::TFileDialogSpec& spec = dialogs.FileDialogs.at(0);
    EXPECT_EQ(spec.Name, "OutputFileDialog");
    EXPECT_EQ(spec.Title, "Select Output File");
    EXPECT_EQ(spec.DefaultExt, "exe");
    EXPECT_EQ(spec.Filter, "Executable Files (*.exe)|*.exe|Vellumar Files (*.vlm)|*.vlm");
    dialogs.CancelFileDialog();
    EXPECT_FALSE(progress.AskOutputFile(fileName));

    for (const ui::TModalResult answer : {ui::mrYes, ui::mrNo}) {
        dialogs.Answer(answer);
        EXPECT_EQ(progress.AskReplace("The file \"site.exe\" already exists.\r"
                                      "Do you want to replace existing file?"),
                  answer == ui::mrYes);
        EXPECT_EQ(dialogs.Messages.back().Kind, ui::TMsgKind::Warning);
        EXPECT_EQ(dialogs.Messages.back().Buttons, ui::TMsgButton::Yes | ui::TMsgButton::No);
    }
}

} // namespace
} // namespace vlm::test
