// The streams a member's data passes through: a CRC pass that writes nothing, a stored
// copy, and the deflater with its output block. Each reads exactly the size taken when the
// source was opened, in fixed chunks, and stops between chunks when its hooks say so.
#pragma once

#include "archive/arcCrypt.h"
#include "platform/UFileStream.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vlm {

// Where written bytes go: the archive, or a memory buffer for the small-file rule.
using TByteSink = std::function<void(const uint8_t* data, size_t count)>;

struct TChunkHooks {
    // Before each chunk: lets the window process messages; false stops (cancel).
    std::function<bool()> BeforeChunk;
    // After each chunk read from the source: the position reached and the bytes read.
    std::function<void(uint64_t position, size_t count)> AfterChunk;
};

enum class TStreamStatus {
    Done,      // every byte was read and written
    Cancelled, // the hooks stopped it
    Short,     // the source ended before its size: it changed while being read
};

// What the three streams share: the source, its size, the hooks, the running CRC.
class TMemberStream {
public:
    TMemberStream(TFileStream& source, uint64_t size, const TChunkHooks& hooks);
    virtual ~TMemberStream() = default;

    TStreamStatus Run();
    // CRC-32 of the bytes read (final value).
    uint32_t Crc() const { return FCrc ^ CrcInit; }

protected:
    virtual size_t ChunkSize() const = 0;
    virtual void Consume(uint8_t* data, size_t count, bool last) = 0;

private:
    TFileStream& FSource;
    uint64_t FSize;
    const TChunkHooks& FHooks;
    uint32_t FCrc = CrcInit;
    uint64_t FRead = 0;
};

// Reads the whole file once for its CRC (before an encryption header can be made).
class TCalcStreamCRC : public TMemberStream {
public:
    static constexpr size_t BlockSize = 61440;
    using TMemberStream::TMemberStream;

protected:
    size_t ChunkSize() const override { return BlockSize; }
    void Consume(uint8_t*, size_t, bool) override {}
};

// Copies the file as stored data, encrypting each chunk when a cipher is given.
class TStoreStream : public TMemberStream {
public:
    static constexpr size_t BlockSize = 102400;
    TStoreStream(TFileStream& source, uint64_t size, const TChunkHooks& hooks, TCipher* cipher,
                 TByteSink sink);

protected:
    size_t ChunkSize() const override { return BlockSize; }
    void Consume(uint8_t* data, size_t count, bool last) override;

private:
    TCipher* FCipher;
    TByteSink FSink;
};

// Deflates the file; its output collects in a 65536-byte block that is enciphered (when a
// cipher is given) and written each time it is full, and once more at the end.
class TCompressStream : public TMemberStream {
public:
    static constexpr size_t InputBlockSize = 61440;
    static constexpr size_t OutputBlockSize = 65536;
    TCompressStream(TFileStream& source, uint64_t size, const TChunkHooks& hooks, int level,
                    TCipher* cipher, TByteSink sink);
    ~TCompressStream() override;

protected:
    size_t ChunkSize() const override { return InputBlockSize; }
    void Consume(uint8_t* data, size_t count, bool last) override;

private:
    void FlushBlock(size_t count);
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

} // namespace vlm
