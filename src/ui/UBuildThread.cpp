#include "ui/UBuildThread.h"

#include "ui/FBuildingProgress.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace vlm::ui {

namespace {

// The window is brought up to date at most this often: it shows the latest state, and a
// run's hundred thousand events cost it a few hundred updates.
constexpr qint64 FlushIntervalMs = 30;

std::atomic<bool> gLockstep = false;

// What the window is to show, as the events since its last update left it.
struct TShown {
    std::optional<std::string> Begun, Stage, SizeCaption, CurrentFile;
    std::optional<std::optional<uint64_t>> Size;
    std::optional<int> Bar;
    uint64_t Done = 0, Known = 0;
    std::optional<std::pair<bool, bool>> Ended; // finished, waitForUser
};

// The run's side of the window: events are gathered and handed to the window's thread,
// questions wait for the window's answer.
class TWindowBridge : public TBuildEvents,
                      public TBuildQuestions,
                      public std::enable_shared_from_this<TWindowBridge> {
public:
    explicit TWindowBridge(TfmBuildingProgress& window) : FWindow(window) { FSince.start(); }

    void Begun(const std::string& outputFile) override {
        Change([&](TShown& s) { s.Begun = outputFile; });
    }
    // Every stage is shown, however short: a stage that follows one not shown yet waits
    // for its own update.
    void Stage(const std::string& caption) override {
        Change([&](TShown& s) {
            if (s.Stage || s.Ended)
                FLater.push_back(std::exchange(s, {}));
            s.Stage = caption;
        });
    }
    void Bar(int position, uint64_t done, uint64_t known) override {
        Change([&](TShown& s) {
            s.Bar = position;
            s.Done = done;
            s.Known = known;
        });
    }
    void SizeCaption(const std::string& caption) override {
        Change([&](TShown& s) { s.SizeCaption = caption; });
    }
    void Size(std::optional<uint64_t> bytes) override {
        Change([&](TShown& s) { s.Size = bytes; });
    }
    void CurrentFile(const std::string& path) override {
        Change([&](TShown& s) { s.CurrentFile = path; });
    }
    void Ended(bool finished, bool waitForUser) override {
        Change([&](TShown& s) { s.Ended = std::pair{finished, waitForUser}; });
    }

    bool AskOutputFile(std::string& fileName) override {
        return Ask([&] { return FWindow.AskOutputFile(fileName); });
    }
    bool AskReplace(const std::string& question) override {
        return Ask([&] { return FWindow.AskReplace(question); });
    }

    bool Pending() {
        const std::lock_guard<std::mutex> lock(FLock);
        return !FLater.empty() || HasAny(FShown);
    }

    // On the window's thread: shows what the events left, in the order a window shows it;
    // stages that came after one not shown yet follow in updates of their own.
    void Flush() {
        TShown shown;
        bool more = false;
        {
            const std::lock_guard<std::mutex> lock(FLock);
            if (!FLater.empty()) {
                shown = std::move(FLater.front());
                FLater.pop_front();
            } else {
                shown = std::exchange(FShown, {});
            }
            more = !FLater.empty() || HasAny(FShown);
            FPosted = more;
        }
        FSince.restart();
        if (more)
            QTimer::singleShot(0, &FWindow, [self = weak_from_this()] {
                if (const auto later = self.lock())
                    later->Flush();
            });
        if (shown.Begun)
            FWindow.Begun(*shown.Begun);
        if (shown.Stage)
            FWindow.Stage(*shown.Stage);
        if (shown.SizeCaption)
            FWindow.SizeCaption(*shown.SizeCaption);
        if (shown.Size)
            FWindow.Size(*shown.Size);
        if (shown.CurrentFile)
            FWindow.CurrentFile(*shown.CurrentFile);
        if (shown.Bar)
            FWindow.Bar(*shown.Bar, shown.Done, shown.Known);
        if (shown.Ended)
            FWindow.Ended(shown.Ended->first, shown.Ended->second);
    }

private:
    static bool HasAny(const TShown& s) {
        return s.Begun || s.Stage || s.SizeCaption || s.CurrentFile || s.Size || s.Bar || s.Ended;
    }

    template <typename F> void Change(F change) {
        if (gLockstep) {
            {
                const std::lock_guard<std::mutex> lock(FLock);
                change(FShown);
            }
            QMetaObject::invokeMethod(
                &FWindow, [this] { Flush(); }, Qt::BlockingQueuedConnection);
            return;
        }
        {
            const std::lock_guard<std::mutex> lock(FLock);
            change(FShown);
            if (FPosted)
                return;
            FPosted = true;
        }
        // The window's thread waits until the interval since its last update has passed.
        const std::weak_ptr<TWindowBridge> self = weak_from_this();
        QMetaObject::invokeMethod(
            &FWindow,
            [self] {
                const auto bridge = self.lock();
                if (!bridge)
                    return;
                const qint64 wait = std::max<qint64>(0, FlushIntervalMs - bridge->FSince.elapsed());
                QTimer::singleShot(wait, &bridge->FWindow, [self] {
                    if (const auto later = self.lock())
                        later->Flush();
                });
            },
            Qt::QueuedConnection);
    }

    template <typename F> bool Ask(F ask) {
        bool answer = false;
        QMetaObject::invokeMethod(
            &FWindow,
            [&] {
                Flush(); // the window shows where the run stands before it asks
                answer = ask();
            },
            Qt::BlockingQueuedConnection);
        return answer;
    }

    TfmBuildingProgress& FWindow;
    std::mutex FLock;
    TShown FShown;
    std::deque<TShown> FLater; // updates that wait for their own turn
    bool FPosted = false;
    QElapsedTimer FSince; // since the last update, on the window's thread
};

} // namespace

void RunOffThread(TfmBuildingProgress& window,
                  const std::function<void(const TBuildSeam& seam)>& work) {
    TCancelToken cancel;
    window.SetCancelToken(&cancel);
    const auto bridge = std::make_shared<TWindowBridge>(window);
    std::exception_ptr error;
    std::atomic<bool> done = false;
    std::thread worker([&] {
        try {
            work({*bridge, *bridge, cancel});
        } catch (...) {
            error = std::current_exception();
        }
        done = true;
        // Wakes the window's thread, which waits for events.
        QMetaObject::invokeMethod(
            &window, [] {}, Qt::QueuedConnection);
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    worker.join();
    while (bridge->Pending())
        bridge->Flush(); // what the run showed last
    window.SetCancelToken(nullptr);
    if (error)
        std::rethrow_exception(error);
}

namespace test_hooks {
TLockstepRuns::TLockstepRuns() {
    gLockstep = true;
}
TLockstepRuns::~TLockstepRuns() {
    gLockstep = false;
}
} // namespace test_hooks

} // namespace vlm::ui
