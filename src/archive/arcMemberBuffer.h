// A member encoded from its whole content in memory: the file is read once, its CRC,
// encryption header and deflated (libdeflate) or stored data are made in one go, and the
// chunk steps the streaming passes would have taken are kept, so that the writer can raise
// the same progress events and Cancel checks afterwards, on its own thread.
#pragma once

#include "archive/arcDeflate.h"
#include "archive/arcMember.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vlm {

// An allocator whose resize leaves new bytes as they are: a buffer that is about to be
// filled by a read or by the deflater is not zeroed first.
template <class T> struct TNoZeroAllocator : std::allocator<T> {
    template <class U> struct rebind { using other = TNoZeroAllocator<U>; };
    TNoZeroAllocator() = default;
    template <class U> TNoZeroAllocator(const TNoZeroAllocator<U>&) noexcept {}
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... TArgs> void construct(U* p, TArgs&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<TArgs>(args)...);
    }
};

// Bytes of a buffer that one thread fills again and again, keeping its capacity.
using TByteBuffer = std::vector<uint8_t, TNoZeroAllocator<uint8_t>>;

// One pass of a streaming member over its source: chunks of Chunk bytes up to Size. The
// data pass counts towards the archive's bytes; the CRC pass and a second read do not.
// A pass that met a short or failed read stops before the chunk at StopAt.
struct TChunkPass {
    uint64_t Size = 0;
    size_t Chunk = 0;
    bool CountsRemaining = false;
    uint64_t StopAt = UINT64_MAX;
};

struct TEncodedMember {
    TMemberOutcome Outcome;
    // The encryption header (when encrypted) and the member's data, ready to write.
    std::vector<uint8_t> Data;
    std::vector<TChunkPass> Passes;
    // A read that failed: its message and error number (0: none).
    int ReadErrorNumber = 0;
    std::string ReadError;
};

// A member source read whole: at most WholeBufferLimit bytes. A thread keeps one and reads
// member after member into it.
struct TMemberContent {
    uint64_t Size = 0;       // the size taken when the file was opened
    TByteBuffer Bytes;       // what could be read of it (fewer: it shrank)
    int ReadErrorNumber = 0; // a read that failed
    std::string ReadError;
};

// Reads size bytes of source from its start into content (what it held before goes).
void ReadMemberContent(TFileStream& source, uint64_t size, TMemberContent& content);

// Encodes content as EncodeMemberData would (same methods, sizes and small-file rule; the
// cipher makes a fresh encryption header). The deflater's level is the plan's; it deflates
// into scratch, a thread's buffer kept from member to member, and the member's data is
// exactly as long as it needs.
TEncodedMember EncodeMemberContent(const TMemberContent& content, const TMemberPlan& plan,
                                   TBufferDeflater& deflater, TCipher& cipher,
                                   TByteBuffer& scratch);

// Raises the passes' events through the hooks, in the order the streams raise them: for
// each chunk its BeforeChunk, then its AfterChunk. Cancelled when a BeforeChunk says
// stop, Short when a pass stops early, else Done.
TStreamStatus ReplayPasses(const std::vector<TChunkPass>& passes, const TChunkHooks& passHooks,
                           const TChunkHooks& dataHooks);

} // namespace vlm
