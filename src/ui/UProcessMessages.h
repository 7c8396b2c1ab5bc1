// Processing of pending window messages during long work on the user-interface thread.
// The build asks for it very often (link discovery per byte read), so calls are throttled
// by time: only one every ~15 ms reaches the event loop, the others return at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace vlm::ui {

class TMessageThrottle {
public:
    using TClock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::milliseconds Interval{15};

    explicit TMessageThrottle(TClock clock = {});
    // True for the first call and then whenever Interval has passed since the last true.
    bool Due();

private:
    TClock FClock;
    std::chrono::steady_clock::time_point FLast{};
    bool FStarted = false;
};

// Processes pending messages when the process-wide throttle is due.
void ProcessMessages();
// Processes pending messages now (stage changes, the end of a build).
void ProcessMessagesNow();

} // namespace vlm::ui
