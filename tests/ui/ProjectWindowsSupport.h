// Helpers of the tests of the project windows: projects from file text, controls by name,
// and letting the windows go idle so that their update handlers run.
#pragma once

#include "TestSupport.h"

#include "project/UProject.h"

#include <QAbstractButton>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>

namespace vlm::test {

// Lets the event loop run until it waits once, as it does whenever the program is idle.
inline void GoIdle() {
    QEventLoop loop;
    QTimer::singleShot(1, &loop, &QEventLoop::quit);
    loop.exec();
}

// The child of parent named name; the test fails at once when there is none.
template <typename T> T& Child(const QObject& parent, const char* name) {
    auto* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (!child)
        throw std::runtime_error(std::string("no control named ") + name);
    return *child;
}

inline bool Checked(const QObject& parent, const char* name) {
    return Child<QAbstractButton>(parent, name).isChecked();
}

// A project opened from a file holding text (not New, not Modified).
inline std::unique_ptr<TProject> ProjectFromText(const TTempDir& dir, const std::string& text) {
    const std::string path = dir / "project.vlp";
    WriteFile(path, text);
    return std::make_unique<TProject>(path);
}

} // namespace vlm::test
