// Processing of pending window messages during long work on the user-interface thread.
// The build asks for it very often (link discovery per byte read), so calls are throttled
// by time: only one every ~15 ms reaches the event loop, the others return at once.
#pragma once

#include <chrono>
#include <functional>

namespace vlm::ui {

class TMessageThrottle {
public:
    using TClock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::milliseconds DefaultInterval{15};

    explicit TMessageThrottle(TClock clock = {},
                              std::chrono::milliseconds interval = DefaultInterval);
    // True for the first call and then whenever the interval has passed since the last true.
    bool Due();
    void SetInterval(std::chrono::milliseconds interval) { FInterval = interval; }

private:
    TClock FClock;
    std::chrono::milliseconds FInterval;
    std::chrono::steady_clock::time_point FLast{};
    bool FStarted = false;
};

// Processes pending messages when the process-wide throttle is due.
void ProcessMessages();
// Processes pending messages now (stage changes, the end of a build).
void ProcessMessagesNow();

namespace test_hooks {
// Sets the interval of the process-wide throttle while it lives (zero lets every call
// through, so that a test sees every point at which a long job lets messages in); the
// default interval comes back when it ends.
class TMessageInterval {
public:
    explicit TMessageInterval(std::chrono::milliseconds interval);
    ~TMessageInterval();
    TMessageInterval(const TMessageInterval&) = delete;
    TMessageInterval& operator=(const TMessageInterval&) = delete;
};
} // namespace test_hooks

} // namespace vlm::ui
