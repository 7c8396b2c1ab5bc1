// VLMPack, the desktop program.
#include "platform/UProcessInfo.h"
#include "ui/FProjector.h"
#include "ui/UApplication.h"
#include "ui/UDesktopHabits.h"
#include "ui/UProductInfo.h"

#include <QApplication>

int main(int argc, char** argv) {
    vlm::ReturnLargeBuffersToTheSystem();
    vlm::ui::PrepareApplication();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VLMPack"));
    QApplication::setApplicationVersion(QStringLiteral(VLM_VERSION));
    vlm::ui::SetUpDesktopIdentity();

    vlm::ui::TfmProjector window;
    QStringList args = QApplication::arguments();
    args.removeFirst();
    window.FormCreate(args);
    vlm::ui::RestoreWindowGeometry(window);
    window.show();
    return QApplication::exec();
}
