#include "platform/UTestHooks.h"

#include "platform/UPaths.h"

#include <atomic>
#include <mutex>
#include <string>

namespace vlm {

namespace {
// Writes may come from worker threads, so the counters are atomic.
std::atomic<int64_t> gWritesLeft{-1};
std::atomic<int> gWriteErrno{0};
std::atomic<int> gStepErrno[4] = {0, 0, 0, 0};
std::atomic<bool> gHeaderSeedFixed{false};
std::atomic<uint32_t> gHeaderSeed{0};

std::atomic<int>& StepSlot(TFileStep step) {
    return gStepErrno[static_cast<int>(step)];
}

// Opens are asked about from worker threads: the path is read under a lock, and only
// while a guard is alive.
std::atomic<bool> gOpenActive{false};
std::mutex gOpenLock;
std::string gOpenPath;
int gOpenErrno = 0;
} // namespace

namespace test_hooks {

TFailWrites::TFailWrites(int64_t bytes, int errorNumber) {
    gWriteErrno = errorNumber;
    gWritesLeft = bytes < 0 ? 0 : bytes;
}

TFailWrites::~TFailWrites() {
    gWritesLeft = -1;
}

TFailStep::TFailStep(TFileStep step, int errorNumber) : FStep(step) {
    StepSlot(step) = errorNumber;
}

TFailStep::~TFailStep() {
    StepSlot(FStep) = 0;
}

TFixedHeaderSeed::TFixedHeaderSeed(uint32_t seed) {
    gHeaderSeed = seed;
    gHeaderSeedFixed = true;
}

TFixedHeaderSeed::~TFixedHeaderSeed() {
    gHeaderSeedFixed = false;
}

TFailOpen::TFailOpen(std::string_view path, int errorNumber) {
    const std::lock_guard<std::mutex> lock(gOpenLock);
    gOpenPath = ExcludeTrailingPathDelimiter(path);
    gOpenErrno = errorNumber;
    gOpenActive = true;
}

TFailOpen::~TFailOpen() {
    const std::lock_guard<std::mutex> lock(gOpenLock);
    gOpenActive = false;
    gOpenPath.clear();
}

} // namespace test_hooks

namespace hook_state {

uint64_t AllowedWrite(uint64_t count, int& errorNumber) {
    if (const int stepError = StepSlot(TFileStep::Write); stepError != 0) {
        errorNumber = stepError;
        return 0;
    }
    int64_t left = gWritesLeft.load();
    while (left >= 0) {
        const auto allowed = static_cast<int64_t>(
            static_cast<uint64_t>(left) < count ? static_cast<uint64_t>(left) : count);
        if (gWritesLeft.compare_exchange_weak(left, left - allowed)) {
            errorNumber = gWriteErrno;
            return static_cast<uint64_t>(allowed);
        }
    }
    return count;
}

int StepFailure(TFileStep step) {
    return StepSlot(step);
}

bool FixedHeaderSeed(uint32_t& seed) {
    if (!gHeaderSeedFixed)
        return false;
    seed = gHeaderSeed;
    return true;
}

int OpenFailure(std::string_view path) {
    if (!gOpenActive.load(std::memory_order_relaxed))
        return 0;
    const std::lock_guard<std::mutex> lock(gOpenLock);
    return gOpenActive && ExcludeTrailingPathDelimiter(path) == gOpenPath ? gOpenErrno : 0;
}

} // namespace hook_state

} // namespace vlm
