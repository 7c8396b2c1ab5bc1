#include "ui/UApplication.h"

#include "platform/UProcessInfo.h"

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QLoggingCategory>

namespace vlm::ui {

void PrepareApplication() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (RunningAsSuperUser() && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The engine lists its start-up switches at the info level; users need none of it.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
}

void SetUpDesktopIdentity() {
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/VLMPack.svg")));
    QGuiApplication::setDesktopFileName(QStringLiteral("example.vellumar.VLMPack"));
}

} // namespace vlm::ui
