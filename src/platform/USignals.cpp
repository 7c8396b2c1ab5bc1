#include "platform/USignals.h"

#include <array>
#include <atomic>
#include <csignal>

namespace vlm {

namespace {

constexpr std::array<int, 3> StopSignals = {SIGINT, SIGTERM, SIGHUP};

// The first signal that arrived; written only from the handler, which does nothing else.
volatile std::sig_atomic_t gCaught = 0;
// The cancel token's flag that a signal sets too; lock-free, so the handler may store.
std::atomic<std::atomic<bool>*> gCancel = nullptr;
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void VlmOnStopSignal(int sig) {
    if (gCaught == 0)
        gCaught = sig;
    if (std::atomic<bool>* cancel = gCancel.load())
        cancel->store(true);
}

} // namespace

struct TStopSignalGuard::TPrevious {
    std::array<struct sigaction, StopSignals.size()> Actions{};
    std::array<bool, StopSignals.size()> Installed{};
};

TStopSignalGuard::TStopSignalGuard(TCancelToken* cancel)
    : FPrevious(std::make_unique<TPrevious>()) {
    gCaught = 0;
    gCancel = cancel ? &cancel->Flag() : nullptr;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    struct sigaction action {};
    action.sa_handler = VlmOnStopSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted reads and writes go on: the flag is looked at between chunks.
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < StopSignals.size(); ++i) {
        struct sigaction& previous = FPrevious->Actions[i];
        if (::sigaction(StopSignals[i], nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN)
            continue;
        FPrevious->Installed[i] = ::sigaction(StopSignals[i], &action, nullptr) == 0;
    }
}

TStopSignalGuard::~TStopSignalGuard() {
    for (size_t i = 0; i < StopSignals.size(); ++i) {
        if (FPrevious->Installed[i])
            ::sigaction(StopSignals[i], &FPrevious->Actions[i], nullptr);
    }
    gCancel = nullptr;
}

bool StopSignalCaught() {
    return gCaught != 0;
}

int CaughtStopSignal() {
    return gCaught;
}

} // namespace vlm
