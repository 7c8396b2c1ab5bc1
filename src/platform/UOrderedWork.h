// Work done ahead on worker threads and taken in order. The caller adds tasks in order,
// the workers begin them in that order, and Take hands the results back in the same
// order. What is done but not yet taken is bounded by a budget (a count of results, or a
// cost the caller measures, such as bytes), so a slow taker never lets the workers run
// away with memory; as tasks are begun in order, the one the taker waits for is always
// begun before any later one, and the budget can never hold it up. A task's exception is
// raised by Take at the task's place.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vlm {

template <class TTask, class TResult> class TOrderedWork {
public:
    // What one worker thread does with a task; made once for each thread, so that it may
    // keep buffers of its own.
    using TWorker = std::function<TResult(TTask&)>;
    using TCost = std::function<size_t(const TResult&)>;

    // threads workers start at once; none when threads is 0 (Take then does each task on
    // the calling thread). Without a cost every result costs 1.
    TOrderedWork(unsigned threads, size_t budget, std::function<TWorker()> makeWorker,
                 TCost cost = {})
        : FBudget(budget), FMakeWorker(std::move(makeWorker)), FCost(std::move(cost)) {
        try {
            for (unsigned i = 0; i < threads; ++i)
                FThreads.emplace_back([this] { Work(); });
        } catch (...) {
            Stop();
            throw;
        }
    }
    ~TOrderedWork() { Stop(); }
    TOrderedWork(const TOrderedWork&) = delete;
    TOrderedWork& operator=(const TOrderedWork&) = delete;

    void Add(TTask task) {
        {
            const std::lock_guard<std::mutex> lock(FLock);
            FSlots.push_back(std::make_unique<TSlot>(std::move(task)));
        }
        FBegin.notify_one();
    }

    // Tasks added and not yet taken.
    size_t Pending() const {
        const std::lock_guard<std::mutex> lock(FLock);
        return FSlots.size();
    }

    // Waits for the oldest task's result and hands it over.
    TResult Take() {
        std::unique_lock<std::mutex> lock(FLock);
        if (FThreads.empty()) {
            std::unique_ptr<TSlot> slot = std::move(FSlots.front());
            FSlots.pop_front();
            lock.unlock();
            if (!FInline)
                FInline = FMakeWorker();
            return FInline(slot->Task);
        }
        FDone.wait(lock, [this] { return FSlots.front()->Done; });
        std::unique_ptr<TSlot> slot = std::move(FSlots.front());
        FSlots.pop_front();
        --FBegun;
        FSpent -= slot->Cost;
        lock.unlock();
        FBegin.notify_all();
        if (slot->Error)
            std::rethrow_exception(slot->Error);
        return std::move(*slot->Result);
    }

    // Whether Stop was called: a long task may look at it and end early.
    bool Stopping() const {
        const std::lock_guard<std::mutex> lock(FLock);
        return FStop;
    }

    // The workers finish the task in hand and begin no other; results not taken are
    // dropped. Called by the destructor.
    void Stop() {
        {
            const std::lock_guard<std::mutex> lock(FLock);
            FStop = true;
        }
        FBegin.notify_all();
        for (std::thread& thread : FThreads)
            if (thread.joinable())
                thread.join();
    }

private:
    struct TSlot {
        explicit TSlot(TTask task) : Task(std::move(task)) {}
        TTask Task;
        std::optional<TResult> Result;
        std::exception_ptr Error;
        size_t Cost = 0;
        bool Done = false;
    };

    void Work() {
        std::optional<TWorker> worker;
        for (;;) {
            TSlot* slot = nullptr;
            {
                std::unique_lock<std::mutex> lock(FLock);
                FBegin.wait(
                    lock, [this] { return FStop || (FBegun < FSlots.size() && FSpent < FBudget); });
                if (FStop)
                    return;
                slot = FSlots[FBegun++].get();
            }
            try {
                if (!worker)
                    worker = FMakeWorker();
                slot->Result.emplace((*worker)(slot->Task));
            } catch (...) {
                slot->Error = std::current_exception();
            }
            {
                const std::lock_guard<std::mutex> lock(FLock);
                slot->Cost = slot->Result && FCost ? FCost(*slot->Result) : 1;
                FSpent += slot->Cost;
                slot->Done = true;
            }
            FDone.notify_all();
        }
    }

    const size_t FBudget;
    const std::function<TWorker()> FMakeWorker;
    const TCost FCost;
    TWorker FInline;
    mutable std::mutex FLock;
    std::condition_variable FBegin;            // a task was added, a result taken, or stop
    std::condition_variable FDone;             // a task is done
    std::deque<std::unique_ptr<TSlot>> FSlots; // added and not taken, in order
    size_t FBegun = 0;                         // the first FBegun slots are begun
    size_t FSpent = 0;                         // the cost of results done and not taken
    bool FStop = false;
    std::vector<std::thread> FThreads;
};

} // namespace vlm
