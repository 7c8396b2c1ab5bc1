#include "archive/arcDeflate.h"

#include <algorithm>
#include <climits>
#include <libdeflate.h>
#include <new>
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

int WholeBufferLevelOf(int zlibLevel) {
    return zlibLevel >= 1 && zlibLevel <= 9 ? zlibLevel : 6;
}

struct TBufferDeflater::TSmall {
    z_stream Stream{};
    bool Ready = false;
    ~TSmall() {
        if (Ready)
            deflateEnd(&Stream);
    }
};

TBufferDeflater::TBufferDeflater(int zlibLevel)
    : FZlibLevel(zlibLevel),
      FCompressor(libdeflate_alloc_compressor(WholeBufferLevelOf(zlibLevel))),
      FSmall(std::make_unique<TSmall>()) {
    if (FCompressor == nullptr)
        throw std::bad_alloc();
}

TBufferDeflater::~TBufferDeflater() {
    libdeflate_free_compressor(FCompressor);
}

size_t TBufferDeflater::Bound(size_t count) const {
    return std::max<size_t>(libdeflate_deflate_compress_bound(FCompressor, count),
                            count < ZlibBelow ? deflateBound(nullptr, count) : 0);
}

size_t TBufferDeflater::Compress(const uint8_t* input, size_t count, uint8_t* output, size_t room) {
    if (count < ZlibBelow) {
        z_stream& zs = FSmall->Stream;
        if (!FSmall->Ready) {
            if (deflateInit2(&zs, FZlibLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
                throw std::bad_alloc();
            FSmall->Ready = true;
        } else {
            deflateReset(&zs);
        }
        zs.next_in = const_cast<Bytef*>(input);
        zs.avail_in = static_cast<uInt>(count);
        zs.next_out = output;
        const uInt avail = static_cast<uInt>(std::min<size_t>(room, UINT_MAX));
        zs.avail_out = avail;
        if (deflate(&zs, Z_FINISH) != Z_STREAM_END)
            throw std::logic_error("deflate output room too small");
        return avail - zs.avail_out;
    }
    const size_t written = libdeflate_deflate_compress(FCompressor, input, count, output, room);
    // The bound always suffices, so no output means a caller's error.
    if (written == 0)
        throw std::logic_error("deflate output room too small");
    return written;
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
