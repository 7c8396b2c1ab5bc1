// The signals that ask a program to stop: Ctrl+C (SIGINT), SIGTERM and SIGHUP. While a
// guard lives they only set a flag that long work checks between chunks, so that the work
// stops cleanly (temporary files removed, no half-written output) instead of the process
// dying in the middle.
#pragma once

#include "platform/UCancel.h"

#include <memory>

namespace vlm {

class TStopSignalGuard {
public:
    // Catches the three signals and forgets any that arrived before. A signal that the
    // process was started ignoring (nohup, a background job) stays ignored. A signal also
    // cancels cancel, when given, so that a run that looks at its token stops.
    explicit TStopSignalGuard(TCancelToken* cancel = nullptr);
    // Puts the previous handlers back; the signal that arrived stays known.
    ~TStopSignalGuard();
    TStopSignalGuard(const TStopSignalGuard&) = delete;
    TStopSignalGuard& operator=(const TStopSignalGuard&) = delete;

private:
    struct TPrevious;
    std::unique_ptr<TPrevious> FPrevious;
};

// Whether one of the signals arrived since the last guard was made.
bool StopSignalCaught();
// The number of the first signal that arrived since the last guard was made; 0 when none.
int CaughtStopSignal();
} // namespace vlm
