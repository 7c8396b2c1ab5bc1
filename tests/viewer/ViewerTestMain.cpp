// The viewer tests run inside one QApplication (offscreen under CTest), made after our URL
// scheme is registered, as the program does.
#include "viewer/UViewerStart.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    vlm::viewer::PrepareViewerApplication();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
