// vlmview, the viewer: shows the site in a ".vlm" archive or an executable output, or,
// started without a file, the archive joined to its own program file.
#include "viewer/UViewerStart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWebEngineView>

#include <cstdio>

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    vlm::viewer::PrepareViewerApplication();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VLMView"));
    QApplication::setApplicationVersion(QStringLiteral(VLM_VERSION));
    QStringList args = QApplication::arguments();
    args.removeFirst();
    // --time-load: print the milliseconds from start until the home page has loaded, then
    // quit (for timing scripts).
    const bool timeLoad = args.removeAll(QStringLiteral("--time-load")) > 0;
    vlm::viewer::TViewerStart start =
        vlm::viewer::StartViewer(args.value(0), QCoreApplication::applicationFilePath());
    if (!start.Window)
        return start.ExitCode;
    if (timeLoad)
        QObject::connect(start.Window->View(), &QWebEngineView::loadFinished, &app, [&clock] {
            std::printf("%lld ms to the home page\n", static_cast<long long>(clock.elapsed()));
            QApplication::quit();
        });
    return QApplication::exec();
}
