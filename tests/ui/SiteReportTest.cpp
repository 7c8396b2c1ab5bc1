// Site Report... of the Project menu: the report's page in a window of its own.
#include "ProjectorFixture.h"

#include "ui/FSiteReport.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QWebEngineView>

#include <functional>
#include <optional>

namespace vlm::test {
namespace {

ui::TfmSiteReport* ReportWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<ui::TfmSiteReport*>(widget))
            return window;
    return nullptr;
}

TEST_F(ProjectorTest, SiteReportShowsItsPageInAWindowOfItsOwn) {
    const std::string home = WriteSite();
    WriteFile(Dir / "site/unused.htm", "<p>not linked</p>");
    Start({Q(WriteProject("site.vlp", home,
                          "ParsingEnabled=1\r\nMaskInclude=*.*\r\nMaskExclude=*.bak\r\n"))});
    Trigger("actFileSiteReport");
    ui::TfmSiteReport* window = ReportWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(WaitUntil([&] { return window->View()->title().startsWith("Site report"); }))
        << window->View()->title().toStdString();
    // The page lives in the private temporary folder and names the file left out.
    const std::string html = window->HtmlFile();
    EXPECT_EQ(html.rfind(TempFolder(), 0), 0u) << html;
    EXPECT_NE(ReadFile(html).find("unused.htm"), std::string::npos);
    EXPECT_TRUE(Window->isEnabled());
    EXPECT_EQ(Window->BuildingProgress(), nullptr);
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(ReportWindow(), nullptr);
    EXPECT_FALSE(FileExists(html));
}

class SiteReportWindow : public ProjectorTest {
protected:
    // The report window of a small project, its page loaded.
    ui::TfmSiteReport& OpenReport() {
        Start({Q(WriteProject("site.vlp", WriteSite()))});
        Trigger("actFileSiteReport");
        ui::TfmSiteReport* window = ReportWindow();
        if (!window)
            throw std::runtime_error("no report window");
        EXPECT_TRUE(WaitUntil([&] { return window->View()->title().startsWith("Site report"); }));
        return *window;
    }
};

TEST_F(SiteReportWindow, TheCloseButtonEscapeAndCtrlWCloseIt) {
    const struct {
        const char* Way;
        std::function<void(ui::TfmSiteReport&)> Close;
    } ways[] = {
        {"Close", [](ui::TfmSiteReport& w) { w.findChild<QPushButton*>("btnClose")->click(); }},
        {"Escape in the page",
         [](ui::TfmSiteReport& w) { QTest::keyClick(w.View()->focusProxy(), Qt::Key_Escape); }},
        {"Ctrl+W in the page",
         [](ui::TfmSiteReport& w) {
             QTest::keyClick(w.View()->focusProxy(), Qt::Key_W, Qt::ControlModifier);
         }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.Way);
        ui::TfmSiteReport& window = OpenReport();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        const std::string html = window.HtmlFile();
        way.Close(window);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(ReportWindow(), nullptr);
        EXPECT_FALSE(FileExists(html));
        Window.reset();
    }
}

TEST_F(SiteReportWindow, SaveAsWritesThePageOrNamesTheFileItCannotWrite) {
    ui::TfmSiteReport& window = OpenReport();
    const std::string page = ReadFile(window.HtmlFile());
    WriteFile(Dir / "old.html", "an older report");
    const struct {
        std::optional<std::string> Chosen; // nullopt: the dialog is cancelled
        const char* Reason;                // the error's reason, else nullptr
    } cases[] = {
        {Dir / "new.html", nullptr},
        {Dir / "old.html", nullptr},
        {std::nullopt, nullptr},
        {Dir / "old.html/report.html", "Not a directory"},
        {Dir / "missing/report.html", "No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Chosen.value_or("cancelled"));
        Dialogs.Messages.clear();
        if (c.Chosen)
            Dialogs.ChooseFile(Q(*c.Chosen));
        else
            Dialogs.CancelFileDialog();
        window.findChild<QPushButton*>("btnSaveAs")->click();
        const ui::TFileDialogSpec& spec = Dialogs.FileDialogs.back();
        EXPECT_EQ(spec.Name, "SiteReportSaveDialog");
        EXPECT_EQ(spec.FileName, "site report.html");
        EXPECT_TRUE(spec.Save && spec.OverwritePrompt);
        if (!c.Chosen) {
            EXPECT_TRUE(Dialogs.Messages.empty());
        } else if (!c.Reason) {
            EXPECT_TRUE(Dialogs.Messages.empty());
            EXPECT_EQ(ReadFile(*c.Chosen), page);
        } else {
            ASSERT_EQ(Dialogs.Messages.size(), 1u);
            EXPECT_EQ(Dialogs.Messages[0].Kind, ui::TMsgKind::Error);
            EXPECT_TRUE(Dialogs.Messages[0].Text.contains(Q(*c.Chosen)))
                << Dialogs.Messages[0].Text.toStdString();
            EXPECT_TRUE(Dialogs.Messages[0].Text.contains(c.Reason))
                << Dialogs.Messages[0].Text.toStdString();
        }
    }
    EXPECT_EQ(ListNames(Dir.Path()),
              (std::vector<std::string>{"new.html", "old.html", "site", "site.vlp"}))
        << "no temporary file is left behind";
    EXPECT_TRUE(FileExists(window.HtmlFile())) << "the window keeps its page";
}

} // namespace
} // namespace vlm::test
