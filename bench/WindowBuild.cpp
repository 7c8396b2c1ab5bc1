// A build from the desktop program's window against `vlm build` of the same project: the
// window, offscreen, opens the project and runs its Build command (the build on its worker
// thread, the progress window following it); each is timed, alternately, runs times.
//   bench_window PROJECT.vlp VLM [RUNS]          (prints the medians and their ratio)
// The project's output is replaced each time; the "Finished" window is answered at once.
// Then Cancel is pressed at several points of a build and the time until it ends printed.
#include "platform/UProcessInfo.h"
#include "ui/FBuildingProgress.h"
#include "ui/FProjector.h"
#include "ui/UActionList.h"
#include "ui/UApplication.h"
#include "ui/UDialogService.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Answers every question as a user in a hurry: Yes, and every dialog closed at once.
class TQuickDialogs : public vlm::ui::TDialogService {
public:
    vlm::ui::TModalResult MessageBox(QWidget*, vlm::ui::TMsgKind, const QString& text,
                                     vlm::ui::TMsgButtons) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
        return vlm::ui::mrYes;
    }
    bool ExecFileDialog(QWidget*, const vlm::ui::TFileDialogSpec&, QString&) override {
        return false;
    }
    int ExecDialog(QDialog&) override { return vlm::ui::mrCancel; }
    void OpenUrl(QWidget*, const QUrl&) override {}
    QString StartProgram(const QString&, const QStringList&) override { return {}; }
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_window PROJECT.vlp VLM [RUNS]\n");
        return 2;
    }
    vlm::ReturnLargeBuffersToTheSystem();
    vlm::ui::PrepareApplication();
    QApplication app(argc, argv);
    TQuickDialogs dialogs;
    vlm::ui::SetDialogs(&dialogs);
    const QString project = QString::fromLocal8Bit(argv[1]);
    const std::string vlm = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    vlm::ui::TfmProjector window;
    window.FormCreate({project});
    window.show();
    const std::string command = "'" + vlm + "' build '" + project.toStdString() + "' --yes --quiet";
    std::vector<double> fromWindow, fromTerminal;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "bench_window: vlm build failed\n");
            return 1;
        }
        fromTerminal.push_back(static_cast<double>(timer.elapsed()) / 1000);
        auto* build = window.findChild<QAction*>(QStringLiteral("actFileBuild"));
        QApplication::processEvents(); // the commands' enabling
        timer.restart();
        build->trigger();
        fromWindow.push_back(static_cast<double>(timer.elapsed()) / 1000);
        std::printf("run %d: vlm build %.2f s, window %.2f s\n", run + 1, fromTerminal.back(),
                    fromWindow.back());
    }
    const double window_ = Median(fromWindow), terminal = Median(fromTerminal);
    std::printf("median: vlm build %.2f s, window %.2f s, window / vlm build %.2f\n", terminal,
                window_, window_ / terminal);
    // Cancel: pressed at several points of a build, timed until the build has ended.
    for (const int at : {300, 1500, 4000}) {
        QElapsedTimer pressed;
        QTimer::singleShot(at, &window, [&] {
            if (auto* progress = window.BuildingProgress()) {
                pressed.start();
                progress->findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
            }
        });
        window.findChild<QAction*>(QStringLiteral("actFileBuild"))->trigger();
        if (pressed.isValid())
            std::printf("Cancel pressed after %d ms: the build ended %lld ms later\n", at,
                        static_cast<long long>(pressed.elapsed()));
    }
    return 0;
}
