// What the viewer tests share: a scripted dialog service, waiting for the browser engine,
// and outputs of the example site built by vlm with chosen project entries.
#pragma once

#include "TestSupport.h"
#include "viewer/UViewerDialogs.h"
#include "viewer/UViewerStart.h"

#include <QString>
#include <QUrl>
#include <QVariant>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace vlm::test {

class TScriptedViewerDialogs : public viewer::TViewerDialogs {
public:
    struct TMessage {
        viewer::TViewerMsg Kind;
        QString Title;
        QString Text;
        bool ContentShown; // the owner window showed a page when the message came
    };
    TScriptedViewerDialogs() { viewer::SetViewerDialogs(this); }
    ~TScriptedViewerDialogs() override { viewer::SetViewerDialogs(nullptr); }

    std::deque<std::optional<QString>> Passwords; // nullopt: Cancel
    std::deque<std::optional<QString>> FileNames;
    std::vector<TMessage> Messages;
    std::vector<bool> PasswordAskedWithContent;
    std::vector<QUrl> OpenedUrls;
    bool PassOpenUrl = false; // hand addresses on to the desktop's opener too
    int PrintDialogs = 0;

    void Message(QWidget* owner, viewer::TViewerMsg kind, const QString& title,
                 const QString& text) override;
    bool AskPassword(QWidget* owner, const QString& title, const QString& prompt,
                     QString& answer) override;
    bool FileName(QWidget* owner, bool save, const QString& title, const QString& filter,
                  QString& fileName) override;
    std::string PrintTo; // a PDF file to print into; empty: the print dialog is cancelled
    bool Print(QWidget*, QPrinter& printer) override;
    void OpenUrl(const QUrl& url) override;
};

// Processes events until done() or the deadline (a generous one by default); returns done().
bool WaitUntil(const std::function<bool()>& done, int milliseconds = 30000);

class ViewerTest : public ::testing::Test {
protected:
    // Builds the example site with these project entries (NAME=VALUE) into site.vlm, or
    // site.exe (joined to a stand-in viewer program); returns the output's path.
    std::string BuildExample(const std::vector<std::string>& entries, bool exe = false);
    // Builds the site whose home page is homePage in the same way.
    std::string Build(const std::string& homePage, const std::vector<std::string>& entries,
                      bool exe = false);
    // Starts the viewer on file and waits for its first page; fails the test when none shows.
    viewer::TViewerStart Start(const std::string& file);
    // Runs trigger and waits for the page load it starts to finish.
    bool LoadAndWait(viewer::TfmViewer& window, const std::function<void()>& trigger);
    // The script's result, waited for.
    QVariant Evaluate(viewer::TfmViewer& window, const QString& script);
    // Clicks the page's link number index, or the element a script expression gives, with
    // the mouse, as the reader would.
    void ClickLink(viewer::TfmViewer& window, int index);
    void ClickElement(viewer::TfmViewer& window, const QString& element);
    // The address of a member of the example site ("/.../examples/site/" + relative).
    static QString At(const char* relative) { return QString::fromStdString(Home + relative); }

    // The example site's folder: the address its members are served under.
    static inline const std::string Home = std::string(VLM_SOURCE_DIR) + "/examples/site/";

    TTempDir Dir;
    TScriptedViewerDialogs Dialogs;
};

} // namespace vlm::test
