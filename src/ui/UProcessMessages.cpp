#include "ui/UProcessMessages.h"

#include <QCoreApplication>

namespace vlm::ui {

TMessageThrottle::TMessageThrottle(TClock clock) : FClock(std::move(clock)) {
    if (!FClock)
        FClock = [] { return std::chrono::steady_clock::now(); };
}

bool TMessageThrottle::Due() {
    const auto now = FClock();
    if (FStarted && now - FLast < Interval)
        return false;
    FStarted = true;
    FLast = now;
    return true;
}

void ProcessMessages() {
    static TMessageThrottle throttle;
    if (throttle.Due())
        QCoreApplication::processEvents();
}

void ProcessMessagesNow() {
    QCoreApplication::processEvents();
}

} // namespace vlm::ui
