#include "archive/arcPipeline.h"

#include "platform/UErrors.h"
#include "platform/UProcessInfo.h"

#include <algorithm>
#include <cerrno>
#include <thread>

namespace vlm {

namespace {
// Workers hold at most about this many bytes of encoded members ahead of the writer
// (plus the one member each is working on), which keeps memory flat on any site.
constexpr size_t BytesInFlight = size_t{8} << 20;
// Members handed to the workers ahead of the writer: their slots cost memory even before
// a worker begins them.
constexpr size_t MembersAhead = 4096;
} // namespace

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

TPreparedMember PrepareMember(const TMemberJob& job, const TMemberSettings& settings,
                              TMemberTools& tools) {
    TPreparedMember member;
    if (job.Skip)
        return member;
    if (settings.Cancel != nullptr && settings.Cancel->Cancelled()) {
        member.Kind = TPreparedMember::Stopped;
        return member;
    }
    std::unique_ptr<TFileStream> source;
    try {
        source = std::make_unique<TFileStream>(*job.Path, TFileMode::OpenRead);
    } catch (const EStreamError& e) {
        // Out of descriptors for now (another part of the program holds some): the writer
        // prepares the member itself when its turn comes.
        const bool busy = e.ErrorNumber == EMFILE || e.ErrorNumber == ENFILE;
        member.Kind = tools.OnWorker && busy ? TPreparedMember::Retry : TPreparedMember::OpenFailed;
        member.OpenErrorNumber = e.ErrorNumber;
        return member;
    }
    member.Size = static_cast<uint64_t>(std::max<int64_t>(source->SizeAtOpen(), 0));
    if (member.Size > WholeBufferLimit)
        return member;
    TMemberPlan plan;
    plan.Size = member.Size;
    plan.Password = settings.Password;
    plan.Deflate = job.Deflate;
    plan.Level = settings.Level;
    if (!tools.Deflater)
        tools.Deflater = std::make_unique<TBufferDeflater>(settings.Level);
    member.Kind = TPreparedMember::Ready;
    ReadMemberContent(*source, member.Size, tools.Content);
    member.Encoded =
        EncodeMemberContent(tools.Content, plan, *tools.Deflater, tools.Cipher, tools.Packed);
    member.Grew = source->Size() > static_cast<int64_t>(member.Size);
    return member;
}

TMemberPrefetch::TMemberPrefetch(size_t count, TJobOf jobOf, TMemberSettings settings,
                                 unsigned threads)
    : FCount(count), FJobOf(std::move(jobOf)), FSettings(settings), FWorkers(threads > 0) {
    if (!FWorkers)
        return;
    const TMemberSettings shared = FSettings;
    FWork = std::make_unique<TWork>(
        threads, BytesInFlight,
        [shared]() -> TWork::TWorker {
            auto tools = std::make_shared<TMemberTools>(true);
            return [shared, tools](TMemberJob& job) { return PrepareMember(job, shared, *tools); };
        },
        [](const TPreparedMember& member) { return member.Encoded.Data.capacity(); });
}

TMemberPrefetch::~TMemberPrefetch() = default;

void TMemberPrefetch::Feed(size_t index) {
    while (FAdded < FCount && FAdded <= index + MembersAhead)
        FWork->Add(FJobOf(FAdded++));
}

TPreparedMember TMemberPrefetch::Take(size_t index, bool wanted) {
    if (!FWorkers)
        return wanted ? PrepareHere(index) : TPreparedMember{};
    Feed(index);
    TPreparedMember member = FWork->Take();
    if (!wanted)
        return {};
    if (member.Kind == TPreparedMember::Retry)
        return PrepareHere(index);
    return member;
}

TPreparedMember TMemberPrefetch::PrepareHere(size_t index) {
    return PrepareMember(FJobOf(index), FSettings, FCallerTools);
}

} // namespace vlm
