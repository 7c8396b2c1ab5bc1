#include "ViewerFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPrinter>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace vlm::test {

namespace {

bool ShowsContent(QWidget* owner) {
    auto* window = qobject_cast<viewer::TfmViewer*>(owner);
    return window && !window->View()->url().isEmpty();
}

} // namespace

void TScriptedViewerDialogs::Message(QWidget* owner, viewer::TViewerMsg kind, const QString& title,
                                     const QString& text) {
    Messages.push_back({kind, title, text, ShowsContent(owner)});
}

bool TScriptedViewerDialogs::AskPassword(QWidget* owner, const QString&, const QString&,
                                         QString& answer) {
    PasswordAskedWithContent.push_back(ShowsContent(owner));
    EXPECT_FALSE(Passwords.empty()) << "an unscripted password question";
    if (Passwords.empty() || !Passwords.front()) {
        if (!Passwords.empty())
            Passwords.pop_front();
        return false;
    }
    answer = *Passwords.front();
    Passwords.pop_front();
    return true;
}

bool TScriptedViewerDialogs::FileName(QWidget*, bool, const QString&, const QString&,
                                      QString& fileName) {
    EXPECT_FALSE(FileNames.empty()) << "an unscripted file dialog";
    if (FileNames.empty())
        return false;
    const std::optional<QString> next = FileNames.front();
    FileNames.pop_front();
    if (next)
        fileName = *next;
    return next.has_value();
}

bool TScriptedViewerDialogs::Print(QWidget*, QPrinter& printer) {
    ++PrintDialogs;
    if (PrintTo.empty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(PrintTo));
    printer.setResolution(72); // a quick print: the engine draws every page at this resolution
    return true;
}

void TScriptedViewerDialogs::OpenUrl(const QUrl& url) {
    OpenedUrls.push_back(url);
    if (PassOpenUrl)
        viewer::OpenOnDesktop(url);
}

bool WaitUntil(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

std::string ViewerTest::BuildExample(const std::vector<std::string>& entries, bool exe) {
    return Build(std::string(VLM_SOURCE_DIR) + "/examples/site/index.htm", entries, exe);
}

std::string ViewerTest::Build(const std::string& homePage, const std::vector<std::string>& entries,
                              bool exe) {
    const std::string program = Dir / "program/";
    WriteFile(program + "VLMView.exe", "\x7F"
                                       "ELF stand-in viewer");
    WriteFile(program + "Languages/German.lng",
              ReadFile(std::string(VLM_SOURCE_DIR) + "/packaging/Languages/German.lng"));
    const std::string project = Dir / "site.vlp";
    const std::string output = Dir / (exe ? "site.exe" : "site.vlm");
    const std::map<std::string, std::string> env{{"VLM_PROGRAM_DIR", program}};
    EXPECT_EQ(RunProcess(VLM_BINARY, {"new", project, "--force"}, env).ExitCode, 0);
    std::vector<std::string> set{"set", project, "HomePage=" + homePage, "OutputFile=" + output};
    set.insert(set.end(), entries.begin(), entries.end());
    EXPECT_EQ(RunProcess(VLM_BINARY, set, env).ExitCode, 0);
    const TProcessResult built =
        RunProcess(VLM_BINARY, {"build", project, "--yes", "--quiet"}, env);
    EXPECT_EQ(built.ExitCode, 0) << built.Err;
    return output;
}

bool ViewerTest::LoadAndWait(viewer::TfmViewer& window, const std::function<void()>& trigger) {
    bool done = false;
    const QMetaObject::Connection connection = QObject::connect(
        window.View(), &QWebEngineView::loadFinished, [&done](bool) { done = true; });
    trigger();
    const bool finished = WaitUntil([&] { return done; });
    QObject::disconnect(connection);
    return finished;
}

viewer::TViewerStart ViewerTest::Start(const std::string& file) {
    bool done = false;
    viewer::TViewerStart start = viewer::StartViewer(QString::fromStdString(file), {});
    if (!start.Window) {
        ADD_FAILURE() << "no window; exit code " << start.ExitCode;
        return start;
    }
    const QMetaObject::Connection connection = QObject::connect(
        start.Window->View(), &QWebEngineView::loadFinished, [&done](bool) { done = true; });
    EXPECT_TRUE(WaitUntil([&] { return done; })) << "the home page never finished loading";
    QObject::disconnect(connection);
    return start;
}

QVariant ViewerTest::Evaluate(viewer::TfmViewer& window, const QString& script) {
    std::optional<QVariant> result;
    window.View()->page()->runJavaScript(script, [&result](const QVariant& v) { result = v; });
    EXPECT_TRUE(WaitUntil([&] { return result.has_value(); })) << script.toStdString();
    return result.value_or(QVariant());
}

void ViewerTest::ClickLink(viewer::TfmViewer& window, int index) {
    ClickElement(window, QStringLiteral("document.links[%1]").arg(index));
}

void ViewerTest::ClickElement(viewer::TfmViewer& window, const QString& element) {
    const QVariantList box =
        Evaluate(window, QStringLiteral("(function(){var r=(%1).getBoundingClientRect();"
                                        "return [r.left+r.width/2,r.top+r.height/2];})()")
                             .arg(element))
            .toList();
    ASSERT_EQ(box.size(), 2);
    QWidget* target = window.View()->focusProxy();
    ASSERT_TRUE(target);
    QTest::mouseClick(
        target, Qt::LeftButton, {},
        QPoint(static_cast<int>(box[0].toDouble()), static_cast<int>(box[1].toDouble())));
}

} // namespace vlm::test
