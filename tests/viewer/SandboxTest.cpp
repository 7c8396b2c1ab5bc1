// The viewer opens archives from other people: a hostile page reads nothing outside its
// archive, reaches no network, opens nothing on the desktop by itself, and the archive's
// texts show as plain text.
#include "ArchiveFixtures.h"
#include "ViewerFixture.h"
#include "viewer/UArchiveScheme.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QToolBar>
#include <QToolButton>
#include <QWebEngineView>

#include <filesystem>

namespace vlm::test {
namespace {

using viewer::TfmViewer;

// Every way a page can ask for something outside its archive, at once. Results of what
// a script can observe go into window.results.
std::string HostilePage(int port) {
    const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/";
    return R"(<!DOCTYPE html><html><head><title>Hostile</title>
<meta http-equiv="refresh" content="1;url=)" +
           base + R"(refresh">
<link rel="stylesheet" href=")" +
           base + R"(style.css"><link rel="prefetch" href=")" + base + R"(prefetch">
<style>body { background: url()" +
           base + R"(bg.png) }</style>
<script src=")" +
           base +
           R"(script.js"></script></head><body>
<a id="web" href="https://www.example.com/">web</a> <a id="mail" href="mailto:a@example.com">mail</a>
<a id="file" href="file:///etc/passwd">file</a> <a id="smb" href="smb://server/share">smb</a><br>
<img src=")" +
           base + R"(img.png"><iframe src=")" + base + R"(frame"></iframe>
<iframe src="file:///etc/passwd"></iframe><iframe name="sink"></iframe>
<form id="post" method="post" action=")" +
           base + R"(form" target="sink"><input name="a" value="secret"></form>
<script>
var results = {}, base = ')" +
           base + R"(';
function note(k) { return function(v) { results[k] = typeof v === 'string' ? v : 'failed'; }; }
fetch('file:///etc/passwd').then(function(r) { return r.text(); }).then(note('fetchFile'), note('fetchFile'));
fetch('file:///root/').then(function(r) { return r.text(); }).then(note('fetchFolder'), note('fetchFolder'));
try { var x = new XMLHttpRequest(); x.open('GET', 'file:///etc/passwd', false); x.send();
      results.xhrFile = x.responseText; } catch (e) { results.xhrFile = 'failed'; }
fetch(base + 'fetch').then(function() { results.fetchWeb = 'ok'; }, note('fetchWeb'));
fetch(base + 'post', {method: 'POST', mode: 'no-cors', body: 'secret'})
  .then(function() { results.post = 'ok'; }, note('post'));
try { var y = new XMLHttpRequest(); y.open('GET', base + 'xhr'); y.send(); } catch (e) {}
navigator.sendBeacon(base + 'beacon', 'secret');
try { new WebSocket(base.replace('http', 'ws') + 'socket'); } catch (e) {}
try { new EventSource(base + 'events'); } catch (e) {}
document.getElementById('post').submit();
window.open(base + 'popup');
setTimeout(function() { location.href = base + 'location'; }, 200);
setTimeout(function() { location.href = 'file:///etc/passwd'; }, 300);
setTimeout(function() { location.href = 'mailto:b@example.com'; }, 400);
</script></body></html>)";
}

class SandboxTest : public ViewerTest {
protected:
    // A desktop opener on PATH that records what it is asked to open, one line a call.
    void FakeOpener() {
        const std::string bin = Dir / "bin/";
        WriteFile(bin + "xdg-open", "#!/bin/sh\necho \"$@\" >> '" + (Dir / "opened") + "'\n");
        RunProcess("/bin/chmod", {"+x", bin + "xdg-open"});
        FPath = qgetenv("PATH");
        qputenv("PATH", QByteArray::fromStdString(bin) + ':' + FPath);
        qunsetenv("BROWSER");
        Dialogs.PassOpenUrl = true;
    }
    ~SandboxTest() override {
        if (!FPath.isEmpty())
            qputenv("PATH", FPath);
    }
    std::vector<std::string> Opened() const {
        std::vector<std::string> lines;
        const std::string text =
            std::filesystem::exists(Dir / "opened") ? ReadFile(Dir / "opened") : "";
        for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

private:
    QByteArray FPath;
};

TEST_F(SandboxTest, AHostilePageReadsNothingOutsideItsArchiveAndContactsNoOne) {
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    int connections = 0;
    QObject::connect(&listener, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = listener.nextPendingConnection()) {
            ++connections;
            socket->deleteLater();
        }
    });
    FakeOpener();
    WriteFile(Dir / "site/index.htm", HostilePage(listener.serverPort()));
    viewer::TViewerStart start = Start(Build(Dir / "site/index.htm", {"ParsingEnabled=0"}));
    ASSERT_TRUE(start.Window);
    TfmViewer& w = *start.Window;
    const QString home = w.View()->url().toString();
    WaitUntil([] { return false; }, 3000); // the page's timers and the refresh run out
    EXPECT_EQ(Evaluate(w, "JSON.stringify(results)").toString(),
              R"({"xhrFile":"failed","fetchFile":"failed","fetchFolder":"failed",)"
              R"("fetchWeb":"failed","post":"failed"})");
    EXPECT_EQ(w.View()->url().toString(), home);
    EXPECT_EQ(connections, 0);
    EXPECT_TRUE(Opened().empty());
    EXPECT_TRUE(Dialogs.Messages.empty());

    // The reader's own clicks: web and mail links go to the desktop, other schemes are
    // refused with a message, and the page stays.
    const struct {
        const char* Link;
        const char* Opened; // nullptr: refused
    } clicks[] = {
        {"web", "https://www.example.com/"},
        {"mail", "mailto:a@example.com"},
        {"file", nullptr},
        {"smb", nullptr},
    };
    for (const auto& click : clicks) {
        SCOPED_TRACE(click.Link);
        const size_t opened = Opened().size();
        const size_t messages = Dialogs.Messages.size();
        ClickElement(w, QStringLiteral("document.getElementById('%1')").arg(click.Link));
        if (click.Opened) {
            ASSERT_TRUE(WaitUntil([&] { return Opened().size() > opened; }));
            EXPECT_EQ(Opened().back(), click.Opened);
        } else {
            ASSERT_TRUE(WaitUntil([&] { return Dialogs.Messages.size() > messages; }));
            EXPECT_TRUE(Dialogs.Messages.back().Text.contains(click.Link));
        }
        EXPECT_EQ(w.View()->url().toString(), home);
    }
    WaitUntil([] { return false; }, 500);
    EXPECT_EQ(Opened().size(), 2u);
    EXPECT_EQ(connections, 0);
}

TEST_F(SandboxTest, MembersTooLargeForTheEngineAreRefused) {
    TTestArchive archive;
    archive.Comment = "/tmp/b/VLM.settings";
    archive.Members = {{"/srv/site/index.htm", "<title>Home</title><p>home</p>"},
                       {"/srv/site/big.bin", "claims to be 300 MiB"},
                       {"/tmp/b/VLM.settings", "HomePage=index.htm\r\nHomeRoot=/srv/site/\r\n"}};
    const auto claim = [](size_t index, auto& header) {
        if (index == 1)
            header.UncompressedSize = 300u << 20;
    };
    archive.EditCentral = claim;
    archive.EditLocal = claim;
    WriteFile(Dir / "big.vlm", archive.Build());
    viewer::TViewerStart start = Start(Dir / "big.vlm");
    ASSERT_TRUE(start.Window);
    TfmViewer& w = *start.Window;
    EXPECT_EQ(Evaluate(w,
                       "(function(){var x=new XMLHttpRequest();try{x.open('GET','big.bin',false);"
                       "x.send();}catch(e){return 'failed';}return String(x.status);})()")
                  .toString(),
              "failed");
    ASSERT_TRUE(LoadAndWait(w, [&] { w.View()->setUrl(viewer::SiteUrl("/srv/site/big.bin")); }));
    EXPECT_EQ(w.View()->title(), "Page not found");
    EXPECT_TRUE(Evaluate(w, "document.body.innerText").toString().contains("larger than 256 MB"));
}

TEST_F(SandboxTest, TextsFromTheArchiveShowAsTheyAre) {
    const QString markup = QStringLiteral("<img src=\"/dev/zero\"><b>bold</b>");
    const std::unique_ptr<QDialog> box = viewer::MakeMessageDialog(
        nullptr, viewer::TViewerMsg::Warning, QStringLiteral("Warning"), markup);
    ASSERT_TRUE(qobject_cast<QMessageBox*>(box.get()));
    EXPECT_EQ(static_cast<QMessageBox*>(box.get())->textFormat(), Qt::PlainText);
    EXPECT_EQ(static_cast<QMessageBox*>(box.get())->text(), markup);
    // A long warning scrolls in a dialog no larger than the screen.
    QString longText;
    for (int i = 0; i < 500; ++i)
        longText += markup + QStringLiteral(" line %1\n").arg(i);
    const std::unique_ptr<QDialog> scrolled = viewer::MakeMessageDialog(
        nullptr, viewer::TViewerMsg::Warning, QStringLiteral("Warning"), longText);
    const auto* body = scrolled->findChild<QPlainTextEdit*>(QStringLiteral("edMessage"));
    ASSERT_TRUE(body);
    EXPECT_EQ(body->toPlainText(), longText);
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    EXPECT_LE(scrolled->sizeHint().boundedTo(scrolled->maximumSize()).height(), screen.height());
    EXPECT_LE(scrolled->size().height(), screen.height());
    const std::unique_ptr<QDialog> password =
        viewer::MakePasswordDialog(nullptr, QStringLiteral("Password"), markup);
    const auto* prompt = password->findChild<QLabel*>();
    ASSERT_TRUE(prompt);
    EXPECT_EQ(prompt->textFormat(), Qt::PlainText);

    // A language file's texts: labels show them as plain text, tool tips as the words.
    WriteFile(Dir / "program/Languages/Markup.lng",
              "FindLabel=" + markup.toStdString() + "\r\nBack=<i>&Back</i>\r\n");
    viewer::TViewerStart start =
        Start(BuildExample({"Language=Markup", "ShowLanguageMenu=1",
                            "WarningMessage=" + markup.toStdString(), "WarningMessageEnabled=1"}));
    ASSERT_TRUE(start.Window);
    TfmViewer& w = *start.Window;
    ASSERT_EQ(Dialogs.Messages.size(), 1u);
    EXPECT_EQ(Dialogs.Messages[0].Text, markup);
    const auto* label = w.findChild<QLabel*>();
    bool found = false;
    for (const QLabel* l : w.findChildren<QLabel*>())
        if (l->text() == markup) {
            found = true;
            EXPECT_EQ(l->textFormat(), Qt::PlainText);
        }
    EXPECT_TRUE(found) << (label ? label->text().toStdString() : "");
    const QAction* back = w.findChild<QAction*>(QStringLiteral("actBack"));
    EXPECT_EQ(back->text(), "<i>&Back</i>");
    EXPECT_EQ(back->toolTip(), Qt::convertFromPlainText("<i>Back</i>"));
}

TEST_F(SandboxTest, AWindowSizeFromTheArchiveFitsTheScreen) {
    viewer::TViewerStart start = Start(BuildExample(
        {"WindowSize=custom", "WindowWidth=100000", "WindowHeight=90000", "WindowSizeable=0"}));
    ASSERT_TRUE(start.Window);
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    EXPECT_LE(start.Window->width(), screen.width());
    EXPECT_LE(start.Window->height(), screen.height());
}

} // namespace
} // namespace vlm::test
