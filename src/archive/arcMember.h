// A member's data: the encryption header and the stored or deflated bytes, with the
// encrypted CRC pass and the small-file rule.
#pragma once

#include "archive/arcCrypt.h"
#include "archive/arcStreams.h"

#include <cstdint>
#include <string_view>

namespace vlm {

// Files below this size are deflated into memory first and stored when that does not pay.
inline constexpr uint64_t SmallFileLimit = 257;

struct TMemberPlan {
    uint64_t Size = 0;         // bytes to take from the source
    std::string_view Password; // empty: not encrypted
    bool Deflate = false;      // otherwise stored
    int Level = 6;
};

struct TMemberOutcome {
    TStreamStatus Status = TStreamStatus::Done;
    uint16_t Method = 0;
    bool Encrypted = false;
    uint32_t Crc = 0;
};

// Writes the member's encryption header (when encrypted) and data at out's position, which
// is its end. A file that changes between its passes gives Short: its header would not
// match its data. passHooks serve the CRC pass and second reads; dataHooks the data step.
TMemberOutcome EncodeMemberData(TFileStream& source, TFileStream& out, const TMemberPlan& plan,
                                TCipher& cipher, const TChunkHooks& passHooks,
                                const TChunkHooks& dataHooks);

} // namespace vlm
