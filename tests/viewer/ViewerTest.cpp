// The viewer on the example site: pages served from the archive, navigation, our error
// page, the settings' commands, bars, password gate, warning and languages, and archives
// it cannot show.
#include "ArchiveFixtures.h"
#include "SiteFixtures.h"
#include "ViewerFixture.h"
#include "viewer/FAdvancedFind.h"
#include "viewer/UArchiveScheme.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QWebEngineHistory>
#include <QWebEngineView>

#include <filesystem>

namespace vlm::test {
namespace {

using viewer::TfmViewer;

const QString ContentType =
    QStringLiteral("(function(u){var x=new XMLHttpRequest();x.open('GET',u,false);x.send();"
                   "return x.status+' '+x.getResponseHeader('Content-Type');})('%1')");

// The page at path is shown and loaded (also when it came back from the engine's cache).
bool ShowsPage(TfmViewer& w, const QString& path) {
    return w.View()->url().path() == path && w.View()->title() != "" &&
           !w.View()->title().endsWith(".htm");
}

TEST_F(ViewerTest, ShowsTheHomePageOfAnArchiveAndOfAnExecutable) {
    for (bool exe : {false, true}) {
        SCOPED_TRACE(exe ? "exe" : "vlm");
        viewer::TViewerStart start = Start(BuildExample({}, exe));
        ASSERT_TRUE(start.Window);
        TfmViewer& w = *start.Window;
        EXPECT_EQ(w.View()->title(), "Vellumar Demo Site");
        EXPECT_EQ(w.View()->url().path(), At("index.htm"));
        EXPECT_EQ(Evaluate(w, "document.images[0].naturalWidth > 0").toBool(), true);
        EXPECT_EQ(Evaluate(w, ContentType.arg("images/logo.gif")).toString(), "200 image/gif");
        EXPECT_EQ(Evaluate(w, ContentType.arg("style.css")).toString(),
                  "200 text/css; charset=utf-8");
        EXPECT_TRUE(Dialogs.Messages.empty());
    }
}

TEST_F(ViewerTest, FollowsLinksInsideAndHandsWebAddressesToTheDesktop) {
    viewer::TViewerStart start = Start(BuildExample({}));
    ASSERT_TRUE(start.Window);
    TfmViewer& w = *start.Window;
    ASSERT_TRUE(LoadAndWait(w, [&] { Evaluate(w, "document.links[2].click()"); }));
    EXPECT_EQ(w.View()->url().path(), At("my page.htm")); // a percent-encoded name
    EXPECT_NE(w.View()->title(), "Page not found");
    ASSERT_TRUE(LoadAndWait(w, [&] { w.findChild<QAction*>("actHome")->trigger(); }));
    ASSERT_TRUE(LoadAndWait(w, [&] { Evaluate(w, "document.links[0].click()"); }));
    EXPECT_EQ(w.View()->url().path(), At("page2.htm"));
    ASSERT_TRUE(LoadAndWait(w, [&] { w.findChild<QAction*>("actHome")->trigger(); }));
    // A web address goes to the desktop when the reader clicks it, and only then.
    Evaluate(w, "document.links[4].click()");
    ClickLink(w, 4);
    ASSERT_TRUE(WaitUntil([&] { return !Dialogs.OpenedUrls.empty(); }));
    EXPECT_EQ(Dialogs.OpenedUrls, std::vector<QUrl>{QUrl("https://www.example.com/")});
    EXPECT_EQ(w.View()->url().path(), At("index.htm"));
}

TEST_F(ViewerTest, AMissingMemberShowsOurErrorPageNamingIt) {
    viewer::TViewerStart start = Start(BuildExample({}));
    ASSERT_TRUE(start.Window);
    TfmViewer& w = *start.Window;
    for (const char* path : {"/no such page.htm", "/../../etc/passwd", "/unused.htm"}) {
        SCOPED_TRACE(path);
        QUrl url = w.View()->url();
        url.setPath(QString::fromLatin1(path));
        ASSERT_TRUE(LoadAndWait(w, [&] { w.View()->setUrl(url); }));
        EXPECT_EQ(w.View()->title(), "Page not found");
        const QString name = w.View()->url().path().mid(1);
        EXPECT_EQ(Evaluate(w, "document.body.innerText").toString().contains(name), true)
            << name.toStdString();
    }
}

TEST_F(ViewerTest, DisabledCommandsAreAbsentEverywhere) {
    const struct {
        const char* Entry;
        const char* Action;
        QKeySequence Keys;
    } commands[] = {
        {"EnableCopy", "actCopy", QKeySequence::Copy},
        {"EnableSaveObject", "actSaveObject", QKeySequence::Save},
        {"EnablePrint", "actPrint", QKeySequence::Print},
        {"EnableFind", "actFind", QKeySequence::Find},
        {"EnableAdvancedFind", "actAdvancedFind", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)},
    };
    for (const auto& disabled : commands) {
        SCOPED_TRACE(disabled.Entry);
        viewer::TViewerStart start = Start(BuildExample({std::string(disabled.Entry) + "=0"}));
        ASSERT_TRUE(start.Window);
        TfmViewer& w = *start.Window;
        for (const auto& c : commands)
            EXPECT_EQ(w.findChild<QAction*>(c.Action) != nullptr, &c != &disabled) << c.Action;
        for (QAction* a : w.findChildren<QAction*>()) {
            EXPECT_NE(a->shortcut(), disabled.Keys) << a->objectName().toStdString();
        }
    }
    // Copy disabled: the page's own copy is cancelled too.
    viewer::TViewerStart start = Start(BuildExample({"EnableCopy=0"}));
    ASSERT_TRUE(start.Window);
    EXPECT_EQ(Evaluate(*start.Window,
                       "var e=new Event('copy',{cancelable:true});document.dispatchEvent(e);"
                       "e.defaultPrevented")
                  .toBool(),
              true);
}

TEST_F(ViewerTest, BarsAndWindowFollowTheSettings) {
    viewer::TViewerStart start = Start(
        BuildExample({"ShowMenuBar=0", "ShowToolBar=1", "ToolBarLargeIcons=0", "ToolBarCaptions=0",
                      "ShowStatusBar=0", "ShowTitleBar=0", "WindowSize=custom", "WindowWidth=500",
                      "WindowHeight=420", "WindowSizeable=0", "ShowLanguageMenu=0"}));
    ASSERT_TRUE(start.Window);
    TfmViewer& w = *start.Window;
    EXPECT_FALSE(w.menuBar()->isVisible());
    EXPECT_FALSE(w.statusBar()->isVisible());
    auto* toolBar = w.findChild<QToolBar*>("tbMain");
    ASSERT_TRUE(toolBar);
    EXPECT_TRUE(toolBar->isVisible());
    EXPECT_EQ(toolBar->iconSize(), QSize(16, 16));
    EXPECT_EQ(toolBar->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(w.size(), QSize(500, 420));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_EQ(w.findChild<QMenu*>("miLanguage"), nullptr);
    // The commands of a hidden menu bar still work. (The engine skips, going back, a page
    // left by a script's click without a user's gesture; the address bar's way is not.)
    ASSERT_TRUE(LoadAndWait(w, [&] { w.View()->setUrl(viewer::SiteUrl(Home + "page2.htm")); }));
    w.findChild<QAction*>("actBack")->trigger();
    EXPECT_TRUE(WaitUntil([&] { return ShowsPage(w, At("index.htm")); }))
        << w.View()->url().toString().toStdString() << " " << w.View()->title().toStdString() << " "
        << w.View()->history()->count();
}

TEST_F(ViewerTest, PasswordGateComesBeforeAnyContent) {
    const struct {
        std::vector<std::optional<QString>> Answers;
        bool Shown;
        size_t Errors;
    } cases[] = {
        {{QString("s3cret")}, true, 0},
        {{QString("wrong"), QString("S3CRET"), QString("s3cret")}, true, 2},
        {{QString("a"), QString("b"), QString("c")}, false, 3},
        {{std::nullopt}, false, 0},
    };
    const std::string file = BuildExample({"Password=s3cret", "PasswordEnabled=1",
                                           "WarningMessage=Private!", "WarningMessageEnabled=1"});
    for (const auto& c : cases) {
        Dialogs.Messages.clear();
        Dialogs.PasswordAskedWithContent.clear();
        Dialogs.Passwords.assign(c.Answers.begin(), c.Answers.end());
        viewer::TViewerStart start = viewer::StartViewer(QString::fromStdString(file), {});
        EXPECT_EQ(start.Window != nullptr, c.Shown);
        EXPECT_EQ(start.ExitCode, c.Shown ? 0 : 1);
        EXPECT_EQ(Dialogs.PasswordAskedWithContent, std::vector<bool>(c.Answers.size(), false));
        EXPECT_TRUE(Dialogs.Passwords.empty());
        size_t errors = 0;
        for (const auto& m : Dialogs.Messages)
            errors += m.Kind == viewer::TViewerMsg::Error;
        EXPECT_EQ(errors, c.Errors);
        ASSERT_EQ(Dialogs.Messages.size(), c.Errors + (c.Shown ? 1 : 0));
        if (c.Shown) {
            EXPECT_EQ(Dialogs.Messages.back().Kind, viewer::TViewerMsg::Warning);
            EXPECT_EQ(Dialogs.Messages.back().Text, "Private!");
            EXPECT_FALSE(Dialogs.Messages.back().ContentShown);
        }
    }
}

TEST_F(ViewerTest, LanguageMenuTranslatesTheViewersTexts) {
    viewer::TViewerStart start = Start(BuildExample({"Language=German", "ShowLanguageMenu=1"}));
    ASSERT_TRUE(start.Window);
    TfmViewer& w = *start.Window;
    auto* back = w.findChild<QAction*>("actBack");
    EXPECT_EQ(back->text(), QString::fromUtf8("&Zurück"));
    auto* menu = w.findChild<QMenu*>("miLanguage");
    ASSERT_TRUE(menu);
    QStringList items;
    for (QAction* a : menu->actions())
        items << a->data().toString();
    EXPECT_EQ(items, (QStringList{"Default", "German"}));
    EXPECT_TRUE(menu->actions()[1]->isChecked());
    menu->actions()[0]->trigger();
    EXPECT_EQ(back->text(), "&Back");
    EXPECT_EQ(w.LanguageName(), "Default");
    menu->actions()[1]->trigger();
    EXPECT_EQ(w.findChild<QMenu*>("miGo")->title(), "&Gehe zu");
}

TEST_F(ViewerTest, AdvancedFindOpensAPageFoundInTheTargetFrameElseInTheView) {
    for (const char* target : {"right", "nosuchframe"}) {
        SCOPED_TRACE(target);
        viewer::TViewerStart start =
            Start(BuildExample({std::string("AdvancedFindTarget=") + target}));
        ASSERT_TRUE(start.Window);
        TfmViewer& w = *start.Window;
        ASSERT_TRUE(
            LoadAndWait(w, [&] { w.View()->setUrl(viewer::SiteUrl(Home + "frames.htm")); }));
        w.findChild<QAction*>("actAdvancedFind")->trigger();
        auto* dialog = w.findChild<QDialog*>("fmAdvancedFind");
        ASSERT_TRUE(dialog);
        dialog->findChild<QLineEdit*>("edSearch")->setText("THROUGH the second");
        dialog->findChild<QPushButton*>("btnSearch")->click();
        auto* find = static_cast<viewer::TfmAdvancedFind*>(dialog);
        ASSERT_TRUE(WaitUntil([&] { return !find->Searching(); }));
        auto* results = dialog->findChild<QListWidget*>("lbResults");
        ASSERT_EQ(results->count(), 1);
        EXPECT_EQ(dialog->findChild<QLabel*>("lblStatus")->text(), "1 page found.");
        EXPECT_EQ(results->item(0)->data(Qt::UserRole).toString(), At("sub/page3.htm"));
        const bool inFrame = std::string(target) == "right";
        if (inFrame) {
            emit results->itemActivated(results->item(0));
            EXPECT_TRUE(WaitUntil([&] {
                return Evaluate(w, "window.frames[1].location.pathname").toString() ==
                       At("sub/page3.htm");
            }));
            EXPECT_EQ(w.View()->url().path(), At("frames.htm"));
        } else {
            ASSERT_TRUE(LoadAndWait(w, [&] { emit results->itemActivated(results->item(0)); }));
            EXPECT_EQ(w.View()->url().path(), At("sub/page3.htm"));
        }
    }
}

TEST_F(ViewerTest, ArchivesItCannotShowGiveAMessageAndExitCode1) {
    const std::string good = ReadFile(BuildExample({}));
    std::string trailerOutside = MakeExecutable("viewer", good);
    trailerOutside[trailerOutside.size() - 3] = 0x40;
    TTestArchive plain;
    plain.Members = {{"/x/index.htm", "<p>no settings</p>"}};
    const std::pair<const char*, std::string> cases[] = {
        {"cut.vlm", good.substr(0, good.size() - 30)},
        {"trailer.exe", trailerOutside},
        {"nosettings.vlm", plain.Build()},
        {"text.vlm", "not an archive at all"},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        Dialogs.Messages.clear();
        WriteFile(Dir / name, bytes);
        viewer::TViewerStart start = viewer::StartViewer(QString::fromStdString(Dir / name), {});
        EXPECT_FALSE(start.Window);
        EXPECT_EQ(start.ExitCode, 1);
        ASSERT_EQ(Dialogs.Messages.size(), 1u);
        EXPECT_EQ(Dialogs.Messages[0].Kind, viewer::TViewerMsg::Error);
        EXPECT_TRUE(Dialogs.Messages[0].Text.contains(QString::fromStdString(Dir / name)));
    }
    // Without a file and without a joined archive it asks for one; Cancel ends quietly.
    Dialogs.FileNames.push_back(std::nullopt);
    viewer::TViewerStart none = viewer::StartViewer({}, QString::fromStdString(Dir / "text.vlm"));
    EXPECT_FALSE(none.Window);
    EXPECT_EQ(none.ExitCode, 0);
}

// Every member a parse-mode build of a site of every reference form takes is served where
// the page's references lead, "../" out of the home page's folder and case-folded folders
// included; a file the build left out, a missing font and anything outside the archive
// are not.
TEST_F(ViewerTest, ServesEveryMemberWhereItsReferencesLead) {
    const std::string home = WriteBrowserSite(Dir / "");
    viewer::TViewerStart start = Start(Build(home, {}));
    ASSERT_TRUE(start.Window);
    TfmViewer& w = *start.Window;
    const QString status = QStringLiteral(
        "(function(u){var x=new XMLHttpRequest();try{x.open('GET',u,false);x.send();}"
        "catch(e){return 'failed';}return x.status+' '+x.responseText.length;})('%1')");
    const struct {
        const char* Reference;
        bool Served;
    } references[] = {
        {"css/site.css?v=3", true},
        {"css/theme.css", true},
        {"css/img/h1.png", true},
        {"img/paper.png", true},
        {"../shared/banner.png", true},
        {"Sub/inner.htm", true},
        {"%41.html", true},
        {"/root-absolute.html", true},
        {"single.html", true},
        {"real.html", true},
        {"img/icon.svg", true},
        {"img/sprite.svg#dot", true},
        {"media/clip.vtt", true},
        {"css/../fonts/Missing.woff2", false},
        {"decoy.html", false},
        {"runtime.json", false},
        {"/etc/passwd", false},
        {"../../../../../../../../etc/passwd", false},
    };
    for (const auto& reference : references) {
        SCOPED_TRACE(reference.Reference);
        const QString result = Evaluate(w, status.arg(reference.Reference)).toString();
        EXPECT_EQ(result.startsWith("200 "), reference.Served) << result.toStdString();
        if (!reference.Served) {
            EXPECT_EQ(result, "failed");
        }
    }
    EXPECT_EQ(w.windowTitle(), "index.html");
}

// Pages' scripts: fetch and XMLHttpRequest read members; a missing member fails as the web
// fails a missing file (our error page is for pages only); a page in UTF-8 that declares no
// character set is read as UTF-8, its raw links too.
TEST_F(ViewerTest, ScriptsGetWhatTheyAskFor) {
    WriteFile(Dir / "site/index.htm",
              "<title>Scripts</title><p>gr\xC3\xBC\xC3\x9F</p><a href=\"\xC3\xBC"
              "ber.html\">u</a>"
              "<script src=\"missing.js\" onerror=\"window.scriptFailed=true\"></script>");
    WriteFile(Dir / "site/data.json", "{\"answer\": 42}");
    WriteFile(Dir / "site/\xC3\xBC"
                    "ber.html",
              "<title>\xC3\x9C"
              "ber</title>");
    viewer::TViewerStart start = Start(Build(Dir / "site/index.htm", {"ParsingEnabled=0"}));
    ASSERT_TRUE(start.Window);
    TfmViewer& w = *start.Window;
    EXPECT_EQ(Evaluate(w, "document.characterSet").toString(), "UTF-8");
    EXPECT_EQ(Evaluate(w, "document.body.innerText.indexOf('gr\\u00fc\\u00df') >= 0").toBool(),
              true);
    EXPECT_EQ(Evaluate(w, "window.scriptFailed === true").toBool(), true);
    const struct {
        const char* Script;
        const char* Result;
    } requests[] = {
        {"fetch('data.json').then(function(r){return r.status+' '+r.ok;})", "200 true"},
        {"fetch('data.json').then(function(r){return r.json();}).then(function(j){return "
         "String(j.answer);})",
         "42"},
        {"fetch(new Request('data.json')).then(function(r){return r.text();})", "{\"answer\": 42}"},
        {"fetch('missing.json').then(function(r){return 'got '+r.status;})", "failed"},
        {"new Promise(function(ok){var x=new XMLHttpRequest();x.open('GET','missing.js');"
         "x.onload=function(){ok('loaded '+x.status);};x.onerror=function(){ok('failed');};"
         "x.send();})",
         "failed"},
    };
    for (const auto& request : requests) {
        SCOPED_TRACE(request.Script);
        Evaluate(w, QStringLiteral("window.out=undefined;(%1).then(function(v){window.out=v;},"
                                   "function(){window.out='failed';});")
                        .arg(QString::fromLatin1(request.Script)));
        EXPECT_TRUE(WaitUntil([&] { return Evaluate(w, "window.out !== undefined").toBool(); }));
        EXPECT_EQ(Evaluate(w, "window.out").toString(), request.Result);
    }
    ASSERT_TRUE(LoadAndWait(w, [&] { Evaluate(w, "document.links[0].click()"); }));
    EXPECT_EQ(w.View()->title(), QString::fromUtf8("\xC3\x9C"
                                                   "ber"));
}

// The reader's own commands: no menu of bars behind the settings' back, Escape closes the
// find bar, a page without a title is named by its file, a print in progress keeps the
// window until it is written, and File > Open shows another archive.
TEST_F(ViewerTest, TheReadersCommandsBehave) {
    WriteFile(Dir / "other/home.htm", "<title>Other home</title><p>other</p>");
    WriteFile(Dir / "other/untitled.htm", "<p>no title</p>");
    const std::string other = Build(Dir / "other/home.htm", {"ParsingEnabled=0"});
    std::filesystem::rename(other, Dir / "other.vlm");
    viewer::TViewerStart start = Start(BuildExample({"ShowToolBar=0"}));
    ASSERT_TRUE(start.Window);
    TfmViewer& w = *start.Window;
    EXPECT_EQ(w.createPopupMenu(), nullptr);

    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.findChild<QAction*>("actFind")->trigger();
    auto* bar = w.findChild<QWidget*>("pnFindBar");
    ASSERT_TRUE(bar->isVisible());
    QTest::keyClick(w.findChild<QLineEdit*>("edFind"), Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());

    Dialogs.PrintTo = Dir / "printed.pdf";
    w.findChild<QAction*>("actPrint")->trigger();
    ASSERT_TRUE(w.findChild<QLabel*>("lblPrinting"));
    EXPECT_EQ(w.findChild<QLabel*>("lblPrinting")->text(), "Printing...");
    EXPECT_FALSE(w.close()); // the print goes on; the window closes when it is done
    EXPECT_TRUE(w.isVisible());
    ASSERT_TRUE(WaitUntil([&] { return !w.isVisible(); }, 60000));
    EXPECT_GT(std::filesystem::file_size(Dir / "printed.pdf"), 1000u);

    // File > Open: another archive in a window of its own, this one closed.
    viewer::TViewerStart second = Start(BuildExample({}));
    ASSERT_TRUE(second.Window);
    Dialogs.FileNames.push_back(QString::fromStdString(Dir / "other.vlm"));
    second.Window->findChild<QAction*>("actOpen")->trigger();
    EXPECT_FALSE(second.Window->isVisible());
    TfmViewer* opened = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* viewer = qobject_cast<TfmViewer*>(top); viewer && viewer->isVisible())
            opened = viewer;
    ASSERT_TRUE(opened);
    ASSERT_TRUE(WaitUntil([&] { return opened->windowTitle() == "Other home"; }));
    ASSERT_TRUE(LoadAndWait(
        *opened, [&] { opened->View()->setUrl(viewer::SiteUrl(Dir / "other/untitled.htm")); }));
    EXPECT_TRUE(WaitUntil([&] { return opened->windowTitle() == "untitled.htm"; }))
        << opened->windowTitle().toStdString();
    opened->close();
}

} // namespace
} // namespace vlm::test
