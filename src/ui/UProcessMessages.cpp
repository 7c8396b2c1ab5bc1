#include "ui/UProcessMessages.h"

#include <QCoreApplication>

namespace vlm::ui {

TMessageThrottle::TMessageThrottle(TClock clock, std::chrono::milliseconds interval)
    : FClock(std::move(clock)), FInterval(interval) {
    if (!FClock)
        FClock = [] { return std::chrono::steady_clock::now(); };
}

bool TMessageThrottle::Due() {
    const auto now = FClock();
    if (FStarted && now - FLast < FInterval)
        return false;
    FStarted = true;
    FLast = now;
    return true;
}

namespace {

TMessageThrottle& Throttle() {
    static TMessageThrottle throttle;
    return throttle;
}

} // namespace

void ProcessMessages() {
    if (Throttle().Due())
        QCoreApplication::processEvents();
}

void ProcessMessagesNow() {
    QCoreApplication::processEvents();
}

test_hooks::TMessageInterval::TMessageInterval(std::chrono::milliseconds interval) {
    Throttle().SetInterval(interval);
}

test_hooks::TMessageInterval::~TMessageInterval() {
    Throttle().SetInterval(TMessageThrottle::DefaultInterval);
}

} // namespace vlm::ui
