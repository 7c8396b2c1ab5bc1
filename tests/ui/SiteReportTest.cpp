// Site Report... of the Project menu: the report's page in a window of its own.
#include "ProjectorFixture.h"

#include "ui/FSiteReport.h"

#include <QApplication>
#include <QWebEngineView>

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

} // namespace
} // namespace vlm::test
