// What every Qt program of ours sets up before its QApplication exists.
#pragma once

namespace vlm::ui {

// The browser engine of the preview needs a shared OpenGL context, and as root it runs
// only without its sandbox (which refuses to start for root).
void PrepareApplication();

} // namespace vlm::ui

namespace vlm::ui {

// Once the QApplication exists: the packer's icon for every window and the name of its
// desktop entry, by which desktops find the same icon and group its windows.
void SetUpDesktopIdentity();

} // namespace vlm::ui
