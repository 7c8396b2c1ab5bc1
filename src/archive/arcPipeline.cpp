#include "archive/arcPipeline.h"

#include "platform/UErrors.h"
#include "platform/UProcessInfo.h"

#include <algorithm>
#include <cerrno>

namespace vlm {

unsigned WorkerCount(int jobs) {
    const unsigned wanted =
        jobs > 0 ? static_cast<unsigned>(jobs) : std::max(1u, std::thread::hardware_concurrency());
    // Each worker holds one file open at a time; the calling thread keeps a few of its own
    // meanwhile (a member it reads itself, the output, a folder it lists). Under a low limit
    // of open files more workers would only find their files refused.
    constexpr size_t CallerFiles = 4;
    const size_t room = OpenFileRoom();
    const size_t files = room > CallerFiles + 1 ? room - CallerFiles : 1;
    return static_cast<unsigned>(std::min<size_t>(wanted, files));
}

TMemberQueue::TMemberQueue(std::vector<TMemberJob> jobs, std::string password, int zlibLevel,
                           unsigned threads, size_t bytesInFlight)
    : FJobs(std::move(jobs)), FPassword(std::move(password)), FLevel(zlibLevel),
      FBudget(bytesInFlight), FDone(FJobs.size()), FCost(FJobs.size(), 0) {
    try {
        for (unsigned i = 0; i < threads; ++i)
            FWorkers.emplace_back([this] { Work(); });
    } catch (...) {
        Stop();
        throw;
    }
}

TMemberQueue::~TMemberQueue() {
    Stop();
}

void TMemberQueue::Stop() {
    {
        const std::lock_guard<std::mutex> lock(FLock);
        FStop = true;
    }
    FSpace.notify_all();
    for (std::thread& worker : FWorkers)
        if (worker.joinable())
            worker.join();
    FWorkers.clear();
}

TPreparedMember TMemberQueue::Take(size_t index) {
    std::unique_lock<std::mutex> lock(FLock);
    FReady.wait(lock, [&] { return FDone[index] != nullptr; });
    TPreparedMember member = std::move(*FDone[index]);
    FDone[index].reset();
    FInFlight -= FCost[index];
    lock.unlock();
    FSpace.notify_all();
    if (member.Failure)
        std::rethrow_exception(member.Failure);
    return member;
}

void TMemberQueue::Work() {
    std::unique_ptr<TBufferDeflater> deflater;
    TCipher cipher;
    for (;;) {
        size_t index = 0;
        {
            std::unique_lock<std::mutex> lock(FLock);
            // Members are begun in list order, so the one the writer waits for is always
            // begun before any later one: the budget cannot hold the writer up for good.
            FSpace.wait(lock, [&] { return FStop || FInFlight < FBudget; });
            if (FStop || FNext >= FJobs.size())
                return;
            index = FNext++;
        }
        auto member = std::make_unique<TPreparedMember>();
        try {
            if (!deflater)
                deflater = std::make_unique<TBufferDeflater>(FLevel);
            *member = Prepare(FJobs[index], *deflater, cipher);
        } catch (...) {
            member->Failure = std::current_exception();
        }
        {
            const std::lock_guard<std::mutex> lock(FLock);
            FCost[index] = member->Encoded.Data.capacity();
            FInFlight += FCost[index];
            FDone[index] = std::move(member);
        }
        FReady.notify_all();
    }
}

TPreparedMember TMemberQueue::Prepare(const TMemberJob& job, TBufferDeflater& deflater,
                                      TCipher& cipher) {
    TPreparedMember member;
    if (job.Skip) {
        member.Inline = true;
        return member;
    }
    std::unique_ptr<TFileStream> source;
    try {
        source = std::make_unique<TFileStream>(*job.Path, TFileMode::OpenRead);
    } catch (const EStreamError& e) {
        // Out of descriptors for now (another part of the program holds some): the writer
        // opens the file itself when its turn comes.
        if (e.ErrorNumber == EMFILE || e.ErrorNumber == ENFILE)
            member.Inline = true;
        else
            member.OpenErrorNumber = e.ErrorNumber;
        return member;
    }
    member.Size = static_cast<uint64_t>(std::max<int64_t>(source->Size(), 0));
    if (member.Size > WholeBufferLimit) {
        member.Inline = true;
        return member;
    }
    TMemberPlan plan;
    plan.Size = member.Size;
    plan.Password = FPassword;
    plan.Deflate = job.Deflate;
    plan.Level = FLevel;
    member.Encoded =
        EncodeMemberContent(ReadMemberContent(*source, member.Size), plan, deflater, cipher);
    member.Grew = source->Size() > static_cast<int64_t>(member.Size);
    return member;
}

} // namespace vlm
