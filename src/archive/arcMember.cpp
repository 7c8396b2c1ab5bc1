#include "archive/arcMember.h"

#include "archive/arcDeflate.h"

#include <vector>

namespace vlm {

namespace {

TByteSink SinkTo(TFileStream& out) {
    return [&out](const uint8_t* data, size_t count) { out.WriteBuffer(data, count); };
}

// The CRC pass of an encrypted member: the CRC must be in its encryption header.
TStreamStatus CrcPass(TFileStream& source, uint64_t size, const TChunkHooks& hooks, uint32_t& crc) {
    TCalcStreamCRC pass(source, size, hooks);
    const TStreamStatus status = pass.Run();
    crc = pass.Crc();
    source.SetPosition(0);
    return status;
}

// Stores the file, encrypted when cipher is given; a known CRC must be met again.
TStreamStatus Store(TFileStream& source, TFileStream& out, const TMemberPlan& plan, TCipher* cipher,
                    const TChunkHooks& hooks, TMemberOutcome& outcome, bool crcKnown) {
    TStoreStream store(source, plan.Size, hooks, cipher, SinkTo(out));
    const TStreamStatus status = store.Run();
    if (status != TStreamStatus::Done)
        return status;
    if (crcKnown && store.Crc() != outcome.Crc)
        return TStreamStatus::Short;
    outcome.Crc = store.Crc();
    return status;
}

// A file below SmallFileLimit: deflated into memory, and stored instead when that is
// longer than the file (then with a new encryption header over the first).
TStreamStatus DeflateSmall(TFileStream& source, TFileStream& out, const TMemberPlan& plan,
                           TCipher* cipher, const TChunkHooks& passHooks,
                           const TChunkHooks& dataHooks, TMemberOutcome& outcome,
                           int64_t headerPos) {
    std::vector<uint8_t> buffer;
    TCompressStream deflater(source, plan.Size, dataHooks, plan.Level, cipher,
                             [&buffer](const uint8_t* data, size_t count) {
                                 buffer.insert(buffer.end(), data, data + count);
                             });
    const TStreamStatus status = deflater.Run();
    if (status != TStreamStatus::Done)
        return status;
    if (cipher && deflater.Crc() != outcome.Crc)
        return TStreamStatus::Short;
    outcome.Crc = deflater.Crc();
    if (buffer.size() <= plan.Size) {
        out.WriteBuffer(buffer.data(), buffer.size());
        return status;
    }
    outcome.Method = 0;
    if (cipher) {
        const auto header = cipher->MakeEncryptionHeader(plan.Password, outcome.Crc);
        out.SetPosition(headerPos);
        out.WriteBuffer(header.data(), header.size());
    }
    source.SetPosition(0);
    return Store(source, out, plan, cipher, passHooks, outcome, true);
}

} // namespace

TMemberOutcome EncodeMemberData(TFileStream& source, TFileStream& out, const TMemberPlan& plan,
                                TCipher& cipher, const TChunkHooks& passHooks,
                                const TChunkHooks& dataHooks) {
    TMemberOutcome outcome;
    // An empty member is stored and never encrypted, whatever the password.
    outcome.Encrypted = plan.Size > 0 && !plan.Password.empty();
    outcome.Method = plan.Deflate && plan.Size > 0 ? 8 : 0;
    const int64_t headerPos = out.Position();
    if (outcome.Encrypted) {
        outcome.Status = CrcPass(source, plan.Size, passHooks, outcome.Crc);
        if (outcome.Status != TStreamStatus::Done)
            return outcome;
        const auto header = cipher.MakeEncryptionHeader(plan.Password, outcome.Crc);
        out.WriteBuffer(header.data(), header.size());
    }
    TCipher* const dataCipher = outcome.Encrypted ? &cipher : nullptr;
    if (outcome.Method == 0) {
        outcome.Status =
            Store(source, out, plan, dataCipher, dataHooks, outcome, outcome.Encrypted);
    } else if (plan.Size < SmallFileLimit) {
        outcome.Status =
            DeflateSmall(source, out, plan, dataCipher, passHooks, dataHooks, outcome, headerPos);
    } else {
        TCompressStream deflater(source, plan.Size, dataHooks, plan.Level, dataCipher, SinkTo(out));
        outcome.Status = deflater.Run();
        if (outcome.Status == TStreamStatus::Done) {
            if (outcome.Encrypted && deflater.Crc() != outcome.Crc)
                outcome.Status = TStreamStatus::Short;
            outcome.Crc = deflater.Crc();
        }
    }
    return outcome;
}

} // namespace vlm
