#include "archive/arcDeflate.h"

#include <climits>
#include <stdexcept>
#include <zlib.h>

namespace vlm {

int DeflateLevelOf(int deflateType) {
    switch (deflateType) {
    case 1:
        return 1;
    case 3:
        return 9;
    case 0:
        return 0;
    default:
        return 6;
    }
}

struct TDeflater::TState {
    z_stream Stream{};
};

TDeflater::TDeflater(int level) : FState(std::make_unique<TState>()) {
    // Negative window bits give a raw stream: no zlib header, no Adler-32 trailer.
    if (deflateInit2(&FState->Stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::bad_alloc();
}

TDeflater::~TDeflater() {
    deflateEnd(&FState->Stream);
}

void TDeflater::Deflate(const uint8_t* input, size_t count, bool finish, uint8_t* block,
                        size_t blockSize, size_t& used, const std::function<void()>& full) {
    z_stream& zs = FState->Stream;
    zs.next_in = const_cast<Bytef*>(input);
    size_t remaining = count;
    for (;;) {
        const uInt chunk = remaining > UINT_MAX ? UINT_MAX : static_cast<uInt>(remaining);
        zs.avail_in = chunk;
        zs.next_out = block + used;
        zs.avail_out = static_cast<uInt>(blockSize - used);
        const int result = deflate(&zs, finish && chunk == remaining ? Z_FINISH : Z_NO_FLUSH);
        if (result == Z_STREAM_ERROR)
            throw std::logic_error("deflate stream error");
        remaining -= chunk - zs.avail_in;
        used = blockSize - zs.avail_out;
        if (used == blockSize) {
            full();
            used = 0;
            continue;
        }
        // The block has room left, so zlib has taken all it could.
        if (remaining == 0 && (!finish || result == Z_STREAM_END))
            return;
    }
}

} // namespace vlm
