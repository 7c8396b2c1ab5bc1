// A build, or the site report, runs on a worker thread of its own while the desktop
// program's window stays responsive: the run's events reach the progress window through
// the window's event queue (coalesced, so that a run of a hundred thousand files does not
// flood it), its questions are asked on the window's thread while the run waits for the
// answer, and the Cancel button cancels the run's token, which the run looks at as it goes.
#pragma once

#include "pipeline/UBuildSeam.h"

#include <functional>

namespace vlm::ui {

class TfmBuildingProgress;

// Runs work on a worker thread with a seam whose events and questions go to window, and
// processes this thread's events until it ends; then raises whatever work raised. The
// window's Cancel button cancels the token that work is handed.
void RunOffThread(TfmBuildingProgress& window,
                  const std::function<void(const TBuildSeam& seam)>& work);

namespace test_hooks {
// While one lives, every event of a run reaches the window before the run goes on, so that
// a test that looks at the window between events sees each of them, and a Cancel it presses
// lands where it looked.
class TLockstepRuns {
public:
    TLockstepRuns();
    ~TLockstepRuns();
    TLockstepRuns(const TLockstepRuns&) = delete;
    TLockstepRuns& operator=(const TLockstepRuns&) = delete;
};
} // namespace test_hooks

} // namespace vlm::ui
