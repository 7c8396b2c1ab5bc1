// Raw deflate (RFC 1951, no zlib wrapper) through zlib: window bits -15, memory level 8,
// the default strategy, and the level of the member's deflate type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace vlm {

// The deflate level of a DeflateType ordinal: 0 store, 1 fast, 2 normal, 3 maximum.
int DeflateLevelOf(int deflateType);

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
