// The one way a long run learns that it is to stop: a flag that the window's Cancel
// button, a declined question or a signal sets, and that the archive writer, link
// discovery and their worker threads look at as they go. Setting and reading it cost an
// atomic access, so it may be looked at for every chunk.
#pragma once

#include <atomic>

namespace vlm {

class TCancelToken {
public:
    TCancelToken() = default;
    // A copy starts as the original stands (tests keep tokens in objects they reset).
    TCancelToken(const TCancelToken& other) : FCancelled(other.Cancelled()) {}
    TCancelToken& operator=(const TCancelToken& other) {
        FCancelled.store(other.Cancelled(), std::memory_order_relaxed);
        return *this;
    }

    void Cancel() { FCancelled.store(true, std::memory_order_relaxed); }
    bool Cancelled() const { return FCancelled.load(std::memory_order_relaxed); }
    // For a signal handler, which may only store into a lock-free atomic.
    std::atomic<bool>& Flag() { return FCancelled; }

private:
    std::atomic<bool> FCancelled = false;
};

} // namespace vlm
