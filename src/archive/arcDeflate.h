// Raw deflate (RFC 1951, no zlib wrapper). Members up to WholeBufferLimit are deflated
// whole through libdeflate; larger ones stream through zlib (window bits -15, memory
// level 8, the default strategy) at the level of the member's deflate type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

struct libdeflate_compressor;

namespace vlm {

// The deflate level of a DeflateType ordinal: 0 store, 1 fast, 2 normal, 3 maximum.
int DeflateLevelOf(int deflateType);

// Members up to this size are read and deflated as one buffer.
inline constexpr uint64_t WholeBufferLimit = uint64_t{4} << 20;

// The libdeflate level for a zlib level: the same one. On documentation sites libdeflate
// writes less than zlib at 1 and 9 (6% and 1%) and about as much at 6 (0.1% less to 0.6%
// more), in half the time; its level 7 would cost 40% more time for 1% less output.
int WholeBufferLevelOf(int zlibLevel);

// Whole-buffer deflate; one object per thread, reused across members.
class TBufferDeflater {
public:
    explicit TBufferDeflater(int zlibLevel);
    ~TBufferDeflater();
    TBufferDeflater(const TBufferDeflater&) = delete;
    TBufferDeflater& operator=(const TBufferDeflater&) = delete;

    int Level() const { return FZlibLevel; }
    // The output room that always suffices for count input bytes.
    size_t Bound(size_t count) const;
    // Deflates input into output (of at least Bound(count) bytes) as one final stream;
    // the bytes written. Inputs below ZlibBelow bytes go through zlib, as the streaming
    // path deflates them: whether a small file is stored depends on that output's size.
    size_t Compress(const uint8_t* input, size_t count, uint8_t* output, size_t room);
    static constexpr size_t ZlibBelow = 257;

private:
    int FZlibLevel;
    libdeflate_compressor* FCompressor;
    struct TSmall;
    std::unique_ptr<TSmall> FSmall;
};

class TDeflater {
public:
    explicit TDeflater(int level);
    ~TDeflater();
    TDeflater(const TDeflater&) = delete;
    TDeflater& operator=(const TDeflater&) = delete;

    // Consumes input into the output block [block, block + blockSize), of which used bytes
    // are already taken. Whenever the block fills, full is called and filling starts again
    // at the block's start. With finish, the stream is ended with a final block. The bytes
    // of a last, partial block stay in it (used tells how many).
    void Deflate(const uint8_t* input, size_t count, bool finish, uint8_t* block, size_t blockSize,
                 size_t& used, const std::function<void()>& full);

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

} // namespace vlm
