#include "archive/arcMemberBuffer.h"

#include "platform/UErrors.h"

#include <algorithm>

namespace vlm {

void ReadMemberContent(TFileStream& source, uint64_t size, TMemberContent& content) {
    content.Size = size;
    content.ReadErrorNumber = 0;
    content.ReadError.clear();
    content.Bytes.resize(static_cast<size_t>(size));
    size_t got = 0;
    try {
        while (got < content.Bytes.size()) {
            const size_t n = source.Read(content.Bytes.data() + got, content.Bytes.size() - got);
            if (n == 0)
                break;
            got += n;
        }
    } catch (const EReadError& e) {
        content.ReadErrorNumber = e.ErrorNumber;
        content.ReadError = e.what();
    }
    content.Bytes.resize(got);
}

namespace {

void Encrypt(TCipher* cipher, uint8_t* data, size_t count) {
    if (cipher)
        cipher->EncryptBytes(data, count);
}

// The data after the encryption header: the content stored, encrypted when asked.
void AppendStored(TEncodedMember& member, const TMemberContent& content, TCipher* cipher) {
    const size_t at = member.Data.size();
    member.Data.insert(member.Data.end(), content.Bytes.begin(), content.Bytes.end());
    Encrypt(cipher, member.Data.data() + at, content.Bytes.size());
}

void AppendHeader(TEncodedMember& member, const TMemberPlan& plan, TCipher& cipher) {
    const auto header = cipher.MakeEncryptionHeader(plan.Password, member.Outcome.Crc);
    member.Data.assign(header.begin(), header.end());
}

// The first pass of a member whose read fell short of its size: the streams stop at the
// chunk whose read comes back short.
TEncodedMember ShortMember(const TMemberContent& content, size_t chunk, bool counts) {
    TEncodedMember member;
    member.Outcome.Status = TStreamStatus::Short;
    member.ReadErrorNumber = content.ReadErrorNumber;
    member.ReadError = content.ReadError;
    const uint64_t got = content.Bytes.size();
    member.Passes.push_back({content.Size, chunk, counts, got / chunk * chunk});
    return member;
}

} // namespace

TEncodedMember EncodeMemberContent(const TMemberContent& content, const TMemberPlan& plan,
                                   TBufferDeflater& deflater, TCipher& cipher,
                                   TByteBuffer& scratch) {
    const bool encrypted = plan.Size > 0 && !plan.Password.empty();
    const uint16_t method = plan.Deflate && plan.Size > 0 ? 8 : 0;
    const size_t dataChunk =
        method == 0 ? TStoreStream::BlockSize : TCompressStream::InputBlockSize;
    if (content.Bytes.size() < plan.Size || content.ReadErrorNumber != 0)
        return encrypted ? ShortMember(content, TCalcStreamCRC::BlockSize, false)
                         : ShortMember(content, dataChunk, true);

    TEncodedMember member;
    TMemberOutcome& outcome = member.Outcome;
    outcome.Encrypted = encrypted;
    outcome.Method = method;
    outcome.Crc = Crc32(content.Bytes.data(), content.Bytes.size());
    TCipher* const dataCipher = encrypted ? &cipher : nullptr;
    if (encrypted) {
        member.Passes.push_back({plan.Size, TCalcStreamCRC::BlockSize, false});
        AppendHeader(member, plan, cipher);
    }
    member.Passes.push_back({plan.Size, dataChunk, true});
    if (method == 0) {
        AppendStored(member, content, dataCipher);
        return member;
    }
    scratch.resize(deflater.Bound(content.Bytes.size()));
    const size_t packed = deflater.Compress(content.Bytes.data(), content.Bytes.size(),
                                            scratch.data(), scratch.size());
    // A small file is stored when deflating does not pay; a second read of it follows
    // and a new encryption header replaces the first.
    if (plan.Size < SmallFileLimit && packed > plan.Size) {
        outcome.Method = 0;
        member.Data.clear();
        if (encrypted)
            AppendHeader(member, plan, cipher);
        AppendStored(member, content, dataCipher);
        member.Passes.push_back({plan.Size, TStoreStream::BlockSize, false});
        return member;
    }
    const size_t at = member.Data.size();
    member.Data.reserve(at + packed);
    member.Data.insert(member.Data.end(), scratch.begin(), scratch.begin() + packed);
    Encrypt(dataCipher, member.Data.data() + at, packed);
    return member;
}

TStreamStatus ReplayPasses(const std::vector<TChunkPass>& passes, const TChunkHooks& passHooks,
                           const TChunkHooks& dataHooks) {
    for (const TChunkPass& pass : passes) {
        const TChunkHooks& hooks = pass.CountsRemaining ? dataHooks : passHooks;
        uint64_t done = 0;
        // An empty source still passes once.
        do {
            if (hooks.BeforeChunk && !hooks.BeforeChunk())
                return TStreamStatus::Cancelled;
            if (done >= pass.StopAt)
                return TStreamStatus::Short;
            const size_t got =
                static_cast<size_t>(std::min<uint64_t>(pass.Chunk, pass.Size - done));
            done += got;
            if (hooks.AfterChunk)
                hooks.AfterChunk(done, got);
        } while (done < pass.Size);
    }
    return TStreamStatus::Done;
}

} // namespace vlm
