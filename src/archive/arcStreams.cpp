#include "archive/arcStreams.h"

#include "archive/arcDeflate.h"

#include <algorithm>

namespace vlm {

TMemberStream::TMemberStream(TFileStream& source, uint64_t size, const TChunkHooks& hooks)
    : FSource(source), FSize(size), FHooks(hooks) {}

TStreamStatus TMemberStream::Run() {
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(ChunkSize(), FSize)));
    do {
        if (FHooks.BeforeChunk && !FHooks.BeforeChunk())
            return TStreamStatus::Cancelled;
        const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), FSize - FRead));
        const size_t got = want == 0 ? 0 : FSource.Read(buffer.data(), want);
        if (got < want)
            return TStreamStatus::Short;
        FRead += got;
        FCrc = Crc32Update(FCrc, buffer.data(), got);
        // An empty file still passes once, so that a deflater ends its stream.
        Consume(buffer.data(), got, FRead == FSize);
        if (FHooks.AfterChunk)
            FHooks.AfterChunk(FRead, got);
    } while (FRead < FSize);
    return TStreamStatus::Done;
}

TStoreStream::TStoreStream(TFileStream& source, uint64_t size, const TChunkHooks& hooks,
                           TCipher* cipher, TByteSink sink)
    : TMemberStream(source, size, hooks), FCipher(cipher), FSink(std::move(sink)) {}

void TStoreStream::Consume(uint8_t* data, size_t count, bool) {
    if (count == 0)
        return;
    if (FCipher)
        FCipher->EncryptBytes(data, count);
    FSink(data, count);
}

struct TCompressStream::TImpl {
    explicit TImpl(int level) : Deflater(level), Block(OutputBlockSize) {}
    TDeflater Deflater;
    std::vector<uint8_t> Block;
    size_t Used = 0;
    TCipher* Cipher = nullptr;
    TByteSink Sink;
};

TCompressStream::TCompressStream(TFileStream& source, uint64_t size, const TChunkHooks& hooks,
                                 int level, TCipher* cipher, TByteSink sink)
    : TMemberStream(source, size, hooks), FImpl(std::make_unique<TImpl>(level)) {
    FImpl->Cipher = cipher;
    FImpl->Sink = std::move(sink);
}

TCompressStream::~TCompressStream() = default;

void TCompressStream::FlushBlock(size_t count) {
    if (count == 0)
        return;
    if (FImpl->Cipher)
        FImpl->Cipher->EncryptBytes(FImpl->Block.data(), count);
    FImpl->Sink(FImpl->Block.data(), count);
}

void TCompressStream::Consume(uint8_t* data, size_t count, bool last) {
    FImpl->Deflater.Deflate(data, count, last, FImpl->Block.data(), FImpl->Block.size(),
                            FImpl->Used, [this] { FlushBlock(FImpl->Block.size()); });
    if (last) {
        FlushBlock(FImpl->Used);
        FImpl->Used = 0;
    }
}

} // namespace vlm
