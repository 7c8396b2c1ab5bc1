#include "viewer/UViewerStart.h"

#include "platform/UProcessInfo.h"
#include "project/UProject.h"
#include "viewer/UArchiveScheme.h"
#include "viewer/UViewerDialogs.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdio>

namespace vlm::viewer {

namespace {

constexpr int PasswordTries = 3;

bool PassGate(TfmViewer& window) {
    const TArchiveSite& site = window.Site();
    const std::string password = site.Value(entry::Password);
    if (password.empty() || !site.Flag(entry::PasswordEnabled))
        return true;
    const TViewerTexts& texts = window.Texts();
    for (int tries = 0; tries < PasswordTries; ++tries) {
        QString answer;
        if (!ViewerDialogs().AskPassword(&window, texts.Text("PasswordTitle"),
                                         texts.Text("PasswordPrompt"), answer))
            return false;
        if (answer.toStdString() == password)
            return true;
        ViewerDialogs().Message(&window, TViewerMsg::Error, texts.Text("PasswordTitle"),
                                texts.Text("PasswordWrong"));
    }
    return false;
}

void ShowWarning(TfmViewer& window) {
    const TArchiveSite& site = window.Site();
    const std::string warning = site.Value(entry::WarningMessage);
    if (warning.empty() || !site.Flag(entry::WarningMessageEnabled))
        return;
    QString text = QString::fromStdString(warning);
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    ViewerDialogs().Message(&window, TViewerMsg::Warning, window.Texts().Text("WarningTitle"),
                            text);
}

} // namespace

void PrepareViewerApplication() {
    RegisterSiteScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The engine keeps its sandbox wherever it can start one: it refuses to for root, and
    // without user namespaces it has nothing to build it on. The viewer's own guard (no
    // local files, nothing but the archive) holds either way.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
        const char* why = RunningAsSuperUser()         ? "it runs as root"
                          : !UserNamespacesAvailable() ? "this system offers no user namespaces"
                                                       : nullptr;
        if (why) {
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
            std::fprintf(stderr,
                         "vlmview: the browser engine runs without its sandbox: %s. Pages "
                         "still reach nothing outside their archive.\n",
                         why);
        }
    }
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
}

TViewerStart StartViewer(const QString& fileName, const QString& ownProgram) {
    const TViewerTexts builtIn;
    QString file = fileName;
    if (file.isEmpty() && HasArchiveTrailer(ownProgram.toStdString()))
        file = ownProgram;
    if (file.isEmpty() && !ViewerDialogs().FileName(nullptr, false, builtIn.Text("OpenTitle"),
                                                    builtIn.Text("OpenFilter"), file))
        return {};
    TViewerStart start;
    try {
        start.Window =
            std::make_unique<TfmViewer>(std::make_unique<TArchiveSite>(file.toStdString()));
    } catch (const std::exception& e) {
        ViewerDialogs().Message(nullptr, TViewerMsg::Error, builtIn.Text("ErrorTitle"),
                                QString::fromStdString(e.what()));
        return {nullptr, 1};
    }
    if (!PassGate(*start.Window))
        return {nullptr, 1};
    ShowWarning(*start.Window);
    start.Window->ShowHome();
    start.Window->ShowAsSet();
    return start;
}

} // namespace vlm::viewer
