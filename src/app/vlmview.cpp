// vlmview, the viewer: shows the site in a ".vlm" archive or an executable output, or,
// started without a file, the archive joined to its own program file.
#include "viewer/UViewerStart.h"

#include <QApplication>

int main(int argc, char** argv) {
    vlm::viewer::PrepareViewerApplication();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VLMView"));
    QApplication::setApplicationVersion(QStringLiteral(VLM_VERSION));
    const QStringList args = QApplication::arguments();
    vlm::viewer::TViewerStart start = vlm::viewer::StartViewer(
        args.value(1), QCoreApplication::applicationFilePath());
    if (!start.Window)
        return start.ExitCode;
    return QApplication::exec();
}
