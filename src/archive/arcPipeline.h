// Parallel member encoding: worker threads open, read, deflate and encrypt the members
// ahead of the writer, which takes them in list order. Nothing here raises an event or
// touches the writer's state; the writer replays each member's chunk steps itself.
#pragma once

#include "archive/arcMemberBuffer.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vlm {

// What a worker is to do with one member of the list.
struct TMemberJob {
    const std::string* Path = nullptr; // the member's name in the writer's list
    bool Deflate = false;
    bool Skip = false; // the writer leaves the member out before reading it
};

// A member as a worker prepared it.
struct TPreparedMember {
    int OpenErrorNumber = 0; // the source could not be opened
    uint64_t Size = 0;
    // Larger than WholeBufferLimit (or skipped): the writer streams it itself.
    bool Inline = false;
    // The file was longer after it was read than when it was opened: its end was cut.
    bool Grew = false;
    TEncodedMember Encoded;
    std::exception_ptr Failure; // anything else that went wrong (out of memory)
};

class TMemberQueue {
public:
    // Workers start at once. The names the jobs point to live as long as the queue, and a
    // job's name is not changed while its member may still be in a worker's hands.
    TMemberQueue(std::vector<TMemberJob> jobs, std::string password, int zlibLevel,
                 unsigned threads, size_t bytesInFlight);
    ~TMemberQueue();
    TMemberQueue(const TMemberQueue&) = delete;
    TMemberQueue& operator=(const TMemberQueue&) = delete;

    // Waits for member index, which must be the one after the last taken, and hands it
    // over; a worker's failure is raised here.
    TPreparedMember Take(size_t index);
    // Stops the workers: the members in hand are finished (at most one each), no new
    // one is begun. Called by the destructor.
    void Stop();

private:
    void Work();
    TPreparedMember Prepare(const TMemberJob& job, TBufferDeflater& deflater, TCipher& cipher);

    const std::vector<TMemberJob> FJobs;
    const std::string FPassword;
    const int FLevel;
    const size_t FBudget;
    std::mutex FLock;
    std::condition_variable FReady; // a member is prepared
    std::condition_variable FSpace; // bytes in flight went down, or stop
    std::vector<std::unique_ptr<TPreparedMember>> FDone;
    std::vector<size_t> FCost;
    size_t FNext = 0;
    size_t FInFlight = 0;
    bool FStop = false;
    std::vector<std::thread> FWorkers;
};

// The number of worker threads for jobs: the hardware's thread count for 0; never more than
// the process's limit of open files leaves room for, so the result is the same for any jobs.
unsigned WorkerCount(int jobs);

} // namespace vlm
