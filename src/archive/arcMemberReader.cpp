// Streaming one member: traditional decryption (APPNOTE 6.1) and raw inflate (4.4.5) on
// demand, with the same checks as TArchiveReader::ReadMember: the encryption header's check
// byte, the recorded sizes, and the CRC-32 once the data end.
#include "archive/arcMemberReader.h"

#include <algorithm>
#include <zlib.h>

namespace vlm {

namespace {

constexpr size_t ChunkSize = 65536;
constexpr uint16_t FlagStrongEncryption = 0x0040;

} // namespace

struct TMemberReader::TInflateState {
    z_stream Stream{};
    bool Ok = false;
    TInflateState() { Ok = ::inflateInit2(&Stream, -MAX_WBITS) == Z_OK; }
    ~TInflateState() {
        if (Ok)
            ::inflateEnd(&Stream);
    }
    TInflateState(const TInflateState&) = delete;
    TInflateState& operator=(const TInflateState&) = delete;
};

TMemberReader::TMemberReader(TArchiveReader& reader, size_t index, const std::string& password)
    : FFileName(reader.FileName()) {
    if (index >= reader.Members().size())
        reader.Fail("There is no member " + std::to_string(index + 1) + ".");
    FMember = reader.Members()[index];
    const TCentralHeader& c = FMember.Central;
    if (c.Flags & FlagStrongEncryption)
        Fail("strong encryption is not supported.");
    if (c.Method != MethodStored && c.Method != MethodDeflated)
        Fail("compression method " + std::to_string(c.Method) + " is not supported.");
    FMember = reader.CheckLocalHeader(index);
    FStream = std::make_unique<TFileStream>(FFileName, TFileMode::OpenRead);
    const uint64_t fileSize = static_cast<uint64_t>(FStream->Size());
    if (FMember.DataOffset > fileSize || FMember.CompressedSize > fileSize - FMember.DataOffset)
        Fail("its data lie past the end of the file.");
    FPosition = FMember.DataOffset;
    FRemaining = FMember.CompressedSize;
    FInput.resize(ChunkSize);
    if (c.Flags & FlagEncrypted)
        StartDecryption(password);
    if (c.Method == MethodDeflated) {
        FInflate = std::make_unique<TInflateState>();
        if (!FInflate->Ok)
            Fail("the decompressor cannot be set up.");
    } else if (FRemaining != FMember.UncompressedSize) {
        Fail("its stored size differs from its recorded size.");
    }
}

TMemberReader::~TMemberReader() = default;

void TMemberReader::Fail(const std::string& reason) const {
    throw EArchiveError(
        FormatMessage("Cannot read archive \"%s\". %s",
                      {FFileName, "Member \"" + PrintableName(FMember.Name) + "\": " + reason}));
}

void TMemberReader::StartDecryption(const std::string& password) {
    // Nothing here encrypts under an empty password, and its check byte matches one time
    // in 256: without a password the member is never tried.
    if (password.empty())
        Fail("it is encrypted and no password was given.");
    if (FRemaining < EncryptionHeaderSize)
        Fail("its encryption header is cut short.");
    uint8_t header[EncryptionHeaderSize];
    FStream->SetPosition(static_cast<int64_t>(FPosition));
    FStream->ReadBuffer(header, sizeof header);
    FPosition += EncryptionHeaderSize;
    FRemaining -= EncryptionHeaderSize;
    FCipher.emplace();
    if (!PasswordOpens(FMember.Central, header, *FCipher, password))
        Fail("the password is wrong.");
}

size_t TMemberReader::ReadChunk() {
    const size_t count = static_cast<size_t>(std::min<uint64_t>(FRemaining, FInput.size()));
    FStream->SetPosition(static_cast<int64_t>(FPosition));
    try {
        FStream->ReadBuffer(FInput.data(), count);
    } catch (const EReadError&) {
        Fail("its data cannot be read (the file was cut short).");
    }
    FPosition += count;
    FRemaining -= count;
    if (FCipher)
        FCipher->DecryptBytes(FInput.data(), count);
    return count;
}

size_t TMemberReader::Read(char* buffer, size_t count) {
    if (FEnded || count == 0)
        return 0;
    const size_t got = FInflate ? ReadDeflated(buffer, count) : ReadStored(buffer, count);
    FProduced += got;
    if (FProduced > FMember.UncompressedSize)
        Fail(DataFault("its data are longer than its recorded size of " +
                           std::to_string(FMember.UncompressedSize) + " bytes",
                       FCipher.has_value()));
    FCrc = Crc32Update(FCrc, buffer, got);
    if (FEnded)
        Finish();
    return got;
}

size_t TMemberReader::ReadStored(char* buffer, size_t count) {
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(FRemaining, count));
    size_t done = 0;
    while (done < wanted) {
        const size_t part = std::min(wanted - done, FInput.size());
        const uint64_t saved = FRemaining;
        FRemaining = part; // ReadChunk takes at most what remains
        ReadChunk();
        FRemaining = saved - part;
        std::copy_n(FInput.data(), part, buffer + done);
        done += part;
    }
    FEnded = FRemaining == 0;
    return done;
}

size_t TMemberReader::ReadDeflated(char* buffer, size_t count) {
    z_stream& zs = FInflate->Stream;
    zs.next_out = reinterpret_cast<Bytef*>(buffer);
    zs.avail_out = static_cast<uInt>(std::min<size_t>(count, 1u << 30));
    const uInt outBefore = zs.avail_out;
    // Inflate until some output is there or the stream ends: a caller gets 0 only at the end.
    while (zs.avail_out == outBefore && !FEnded) {
        if (zs.avail_in == 0 && FRemaining > 0) {
            zs.avail_in = static_cast<uInt>(ReadChunk());
            zs.next_in = reinterpret_cast<Bytef*>(FInput.data());
        }
        const uInt inBefore = zs.avail_in;
        const int rc = ::inflate(&zs, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
            Fail(DataFault(std::string("its deflated data are damaged (") +
                               (zs.msg ? zs.msg : "inflate error") + ")",
                           FCipher.has_value()));
        FEnded = rc == Z_STREAM_END;
        // Without progress and without more input the stream can never end.
        if (!FEnded && zs.avail_out == outBefore && zs.avail_in == inBefore && FRemaining == 0)
            Fail(DataFault("its deflated data end before the end of the stream",
                           FCipher.has_value()));
    }
    if (FEnded && (zs.avail_in != 0 || FRemaining != 0))
        Fail(DataFault("its deflated data end before its recorded compressed size",
                       FCipher.has_value()));
    return outBefore - zs.avail_out;
}

void TMemberReader::Finish() {
    if (FProduced != FMember.UncompressedSize)
        Fail(DataFault("its data are " + std::to_string(FProduced) +
                           " bytes long, not the recorded " +
                           std::to_string(FMember.UncompressedSize),
                       FCipher.has_value()));
    if ((FCrc ^ CrcInit) != FMember.Central.Crc)
        Fail(FCipher ? "CRC error (wrong password or damaged data)." : "CRC error (damaged data).");
}

} // namespace vlm
