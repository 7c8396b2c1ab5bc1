// Reading one member back: the encryption header and traditional decryption (APPNOTE
// 6.1), stored or raw-deflated data (4.4.5), and the checks of CRC-32 and both sizes.
// Data move in fixed chunks, so a member that inflates without end costs no memory.
#include "archive/arcCrypt.h"
#include "archive/arcReader.h"

#include <algorithm>
#include <optional>
#include <vector>
#include <zlib.h>

namespace vlm {

namespace {

constexpr size_t ChunkSize = 65536;
constexpr uint16_t FlagStrongEncryption = 0x0040;
// ReadMemberText holds the whole member; larger members go through a sink.
constexpr uint32_t MaxTextMember = 64u << 20;

// Owns an inflate stream for raw deflate data (no zlib wrapper).
class TInflater {
public:
    TInflater() { FOk = ::inflateInit2(&FStream, -MAX_WBITS) == Z_OK; }
    ~TInflater() {
        if (FOk)
            ::inflateEnd(&FStream);
    }
    TInflater(const TInflater&) = delete;
    TInflater& operator=(const TInflater&) = delete;
    bool Ok() const { return FOk; }
    z_stream& Stream() { return FStream; }

private:
    z_stream FStream{};
    bool FOk = false;
};

} // namespace

struct TArchiveReader::TMemberData {
    const TArchiveMember& Member;
    const std::function<void(const char* data, size_t size)>& Sink;
    uint64_t Position;
    uint64_t Remaining;
    std::optional<TCipher> Cipher;
    std::vector<char> Input = std::vector<char>(ChunkSize);
    uint32_t Crc = CrcInit;
    uint64_t Produced = 0;
};

bool PasswordOpens(const TCentralHeader& central, uint8_t* header, TCipher& cipher,
                   const std::string& password) {
    cipher.InitKeys(password);
    cipher.DecryptBytes(header, EncryptionHeaderSize);
    // The last header byte repeats the CRC's top byte, or with a data descriptor the top
    // byte of the DOS time (APPNOTE 6.1.6).
    const uint8_t check = (central.Flags & FlagDataDescriptor)
                              ? static_cast<uint8_t>(central.Time >> 8)
                              : static_cast<uint8_t>(central.Crc >> 24);
    return header[EncryptionHeaderSize - 1] == check;
}

void TArchiveReader::StartDecryption(TMemberData& data, const std::string& password) {
    // Nothing here encrypts under an empty password, and its check byte matches one time
    // in 256: without a password the member is never tried.
    if (password.empty())
        FailMember(data.Member, "it is encrypted and no password was given.");
    if (data.Remaining < EncryptionHeaderSize)
        FailMember(data.Member, "its encryption header is cut short.");
    uint8_t header[EncryptionHeaderSize];
    ReadAt(data.Position, header, sizeof header, "An encryption header");
    data.Position += EncryptionHeaderSize;
    data.Remaining -= EncryptionHeaderSize;
    data.Cipher.emplace();
    if (!PasswordOpens(data.Member.Central, header, *data.Cipher, password))
        FailMember(data.Member, "the password is wrong.");
}

size_t TArchiveReader::ReadChunk(TMemberData& data) {
    const size_t count = static_cast<size_t>(std::min<uint64_t>(data.Remaining, ChunkSize));
    ReadAt(data.Position, data.Input.data(), count, "Member data");
    data.Position += count;
    data.Remaining -= count;
    if (data.Cipher)
        data.Cipher->DecryptBytes(data.Input.data(), count);
    return count;
}

void TArchiveReader::Deliver(TMemberData& data, const char* bytes, size_t size) {
    data.Produced += size;
    if (data.Produced > data.Member.UncompressedSize)
        FailMember(data.Member,
                   DataFault("its data are longer than its recorded size of " +
                                 std::to_string(data.Member.UncompressedSize) + " bytes",
                             data.Cipher.has_value()));
    data.Crc = Crc32Update(data.Crc, bytes, size);
    data.Sink(bytes, size);
}

void TArchiveReader::Inflate(TMemberData& data) {
    TInflater inflater;
    if (!inflater.Ok())
        FailMember(data.Member, "the decompressor cannot be set up.");
    z_stream& zs = inflater.Stream();
    std::vector<char> output(ChunkSize);
    for (bool ended = false; !ended;) {
        if (zs.avail_in == 0 && data.Remaining > 0) {
            zs.avail_in = static_cast<uInt>(ReadChunk(data));
            zs.next_in = reinterpret_cast<Bytef*>(data.Input.data());
        }
        const uInt inBefore = zs.avail_in;
        zs.next_out = reinterpret_cast<Bytef*>(output.data());
        zs.avail_out = static_cast<uInt>(output.size());
        const int rc = ::inflate(&zs, Z_NO_FLUSH);
        const size_t got = output.size() - zs.avail_out;
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
            FailMember(data.Member, DataFault(std::string("its deflated data are damaged (") +
                                                  (zs.msg ? zs.msg : "inflate error") + ")",
                                              data.Cipher.has_value()));
        Deliver(data, output.data(), got);
        ended = rc == Z_STREAM_END;
        // Without progress and without more input the stream can never end.
        if (!ended && got == 0 && zs.avail_in == inBefore && data.Remaining == 0)
            FailMember(data.Member, DataFault("its deflated data end before the end of the stream",
                                              data.Cipher.has_value()));
    }
    if (zs.avail_in != 0 || data.Remaining != 0)
        FailMember(data.Member,
                   DataFault("its deflated data end before its recorded compressed size",
                             data.Cipher.has_value()));
}

void TArchiveReader::ReadMember(size_t index, const std::string& password,
                                const std::function<void(const char* data, size_t size)>& sink) {
    if (index >= FMembers.size())
        Fail("There is no member " + std::to_string(index + 1) + ".");
    const TCentralHeader& c = FMembers[index].Central;
    if (c.Flags & FlagStrongEncryption)
        FailMember(FMembers[index], "strong encryption is not supported.");
    if (c.Method != MethodStored && c.Method != MethodDeflated)
        FailMember(FMembers[index],
                   "compression method " + std::to_string(c.Method) + " is not supported.");
    const TArchiveMember& member = CheckLocalHeader(index);

    TMemberData data{member, sink, member.DataOffset, member.CompressedSize, std::nullopt};
    const bool encrypted = (c.Flags & FlagEncrypted) != 0;
    if (encrypted)
        StartDecryption(data, password);
    if (c.Method == MethodStored) {
        if (data.Remaining != member.UncompressedSize)
            FailMember(member, "its stored size differs from its recorded size.");
        while (data.Remaining > 0) {
            const size_t count = ReadChunk(data);
            Deliver(data, data.Input.data(), count);
        }
    } else {
        Inflate(data);
    }
    if (data.Produced != member.UncompressedSize)
        FailMember(member, DataFault("its data are " + std::to_string(data.Produced) +
                                         " bytes long, not the recorded " +
                                         std::to_string(member.UncompressedSize),
                                     encrypted));
    if ((data.Crc ^ CrcInit) != c.Crc)
        FailMember(member, encrypted ? "CRC error (wrong password or damaged data)."
                                     : "CRC error (damaged data).");
}

std::string TArchiveReader::ReadMemberText(size_t index, const std::string& password) {
    if (index < FMembers.size() && FMembers[index].UncompressedSize > MaxTextMember)
        FailMember(FMembers[index], "it is too large to be read into memory.");
    std::string text;
    ReadMember(index, password, [&](const char* data, size_t size) { text.append(data, size); });
    return text;
}

} // namespace vlm
