// How the viewer starts: which file it opens, the checks before any content shows (the
// password gate, the warning message), and the window.
#pragma once

#include "viewer/FViewer.h"

#include <QString>

#include <memory>

namespace vlm::viewer {

// What must happen before the QApplication exists: our URL scheme, the shared OpenGL
// context of the browser engine, and its sandbox switched off when running as root
// (the engine refuses to start a sandbox for root).
void PrepareViewerApplication();

struct TViewerStart {
    std::unique_ptr<TfmViewer> Window; // shown with the home page; empty when none is shown
    int ExitCode = 0;                  // for an empty Window: 1 after an error, 0 cancelled
};

// Opens fileName, or without one the archive joined to ownProgram when it carries one,
// else the file the user picks in an open dialog. An archive that cannot be shown gives a
// message box naming the file and the reason, and exit code 1; so do a cancelled password
// question and three wrong passwords.
TViewerStart StartViewer(const QString& fileName, const QString& ownProgram);

} // namespace vlm::viewer
