// Members encoded ahead of the writer: PrepareMember opens, reads, deflates and encrypts
// one member, on a worker thread or on the calling thread alike, and TMemberPrefetch hands
// the writer its members in list order through TOrderedWork. Nothing here raises an event
// or touches the writer's state; the writer raises each member's chunk events itself.
#pragma once

#include "archive/arcMemberBuffer.h"
#include "platform/UCancel.h"
#include "platform/UOrderedWork.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace vlm {

// What is to be done with one member of the list.
struct TMemberJob {
    const std::string* Path = nullptr; // the member's name in the writer's list
    bool Deflate = false;
    bool Skip = false; // the writer leaves the member out before reading it
};

// A member as PrepareMember left it.
struct TPreparedMember {
    enum TKind : uint8_t {
        Ready,      // read whole and encoded: Encoded holds its data and chunk steps
        Streamed,   // larger than WholeBufferLimit, or skipped: the writer streams it itself
        OpenFailed, // the source could not be opened (OpenErrorNumber)
        Retry,      // a worker found no file descriptor free: the writer prepares it again
        Stopped,    // the run's cancel token was set before the member was begun
    };
    TKind Kind = Streamed;
    int OpenErrorNumber = 0;
    uint64_t Size = 0;
    // The file was longer after it was read than when it was opened: its end was cut.
    bool Grew = false;
    TEncodedMember Encoded;
};

// What every member of a run is encoded with.
struct TMemberSettings {
    std::string_view Password; // empty: not encrypted
    int Level = 6;
    const TCancelToken* Cancel = nullptr;
};

// The tools of one thread: a deflater, the buffers it reads and deflates into, kept across
// members (they keep their capacity: no fresh memory to fault in for every member), and a
// cipher.
struct TMemberTools {
    explicit TMemberTools(bool onWorker) : OnWorker(onWorker) {}
    bool OnWorker;
    std::unique_ptr<TBufferDeflater> Deflater;
    TMemberContent Content;
    TByteBuffer Packed;
    TCipher Cipher;
};

// Prepares one member; the same on any thread.
TPreparedMember PrepareMember(const TMemberJob& job, const TMemberSettings& settings,
                              TMemberTools& tools);

// The members of a run, prepared by threads workers ahead of the writer (the budget of
// encoded bytes held keeps memory flat), or with no workers by Take on the calling thread.
class TMemberPrefetch {
public:
    using TJobOf = std::function<TMemberJob(size_t index)>;
    // jobOf gives member index's job; the names its jobs point to are not changed while a
    // member may still be in a worker's hands.
    TMemberPrefetch(size_t count, TJobOf jobOf, TMemberSettings settings, unsigned threads);
    ~TMemberPrefetch();
    TMemberPrefetch(const TMemberPrefetch&) = delete;
    TMemberPrefetch& operator=(const TMemberPrefetch&) = delete;

    // Member index, the one after the last taken; with wanted false it is dropped (and not
    // read when no worker began it). A worker's exception is raised here.
    TPreparedMember Take(size_t index, bool wanted);
    // Member index prepared again on the calling thread.
    TPreparedMember PrepareHere(size_t index);

private:
    using TWork = TOrderedWork<TMemberJob, TPreparedMember>;
    void Feed(size_t index);

    const size_t FCount;
    const TJobOf FJobOf;
    const TMemberSettings FSettings;
    const bool FWorkers;
    TMemberTools FCallerTools{false};
    std::unique_ptr<TWork> FWork;
    size_t FAdded = 0;
};

// The number of worker threads for jobs: the hardware's thread count for 0; never more than
// the process's limit of open files leaves room for, so the result is the same for any jobs.
unsigned WorkerCount(int jobs);

} // namespace vlm
