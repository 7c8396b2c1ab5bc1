#include "archive/arcRecords.h"

namespace vlm {

uint16_t GetU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint64_t GetU64(const uint8_t* p) {
    return static_cast<uint64_t>(GetU32(p)) | static_cast<uint64_t>(GetU32(p + 4)) << 32;
}

void PutU16(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutU64(uint8_t* p, uint64_t value) {
    PutU32(p, static_cast<uint32_t>(value));
    PutU32(p + 4, static_cast<uint32_t>(value >> 32));
}

std::array<uint8_t, LocalHeaderSize> TLocalHeader::Pack() const {
    std::array<uint8_t, LocalHeaderSize> b{};
    PutU32(&b[0], Signature);
    PutU16(&b[4], VersionNeeded);
    PutU16(&b[6], Flags);
    PutU16(&b[8], Method);
    PutU16(&b[10], Time);
    PutU16(&b[12], Date);
    PutU32(&b[14], Crc);
    PutU32(&b[18], CompressedSize);
    PutU32(&b[22], UncompressedSize);
    PutU16(&b[26], NameLength);
    PutU16(&b[28], ExtraLength);
    return b;
}

TLocalHeader TLocalHeader::Unpack(const uint8_t* b) {
    TLocalHeader h;
    h.Signature = GetU32(&b[0]);
    h.VersionNeeded = GetU16(&b[4]);
    h.Flags = GetU16(&b[6]);
    h.Method = GetU16(&b[8]);
    h.Time = GetU16(&b[10]);
    h.Date = GetU16(&b[12]);
    h.Crc = GetU32(&b[14]);
    h.CompressedSize = GetU32(&b[18]);
    h.UncompressedSize = GetU32(&b[22]);
    h.NameLength = GetU16(&b[26]);
    h.ExtraLength = GetU16(&b[28]);
    return h;
}

std::array<uint8_t, CentralHeaderSize> TCentralHeader::Pack() const {
    std::array<uint8_t, CentralHeaderSize> b{};
    PutU32(&b[0], Signature);
    PutU16(&b[4], VersionMadeBy);
    PutU16(&b[6], VersionNeeded);
    PutU16(&b[8], Flags);
    PutU16(&b[10], Method);
    PutU16(&b[12], Time);
    PutU16(&b[14], Date);
    PutU32(&b[16], Crc);
    PutU32(&b[20], CompressedSize);
    PutU32(&b[24], UncompressedSize);
    PutU16(&b[28], NameLength);
    PutU16(&b[30], ExtraLength);
    PutU16(&b[32], CommentLength);
    PutU16(&b[34], DiskNumberStart);
    PutU16(&b[36], InternalAttributes);
    PutU32(&b[38], ExternalAttributes);
    PutU32(&b[42], LocalHeaderOffset);
    return b;
}

TCentralHeader TCentralHeader::Unpack(const uint8_t* b) {
    TCentralHeader h;
    h.Signature = GetU32(&b[0]);
    h.VersionMadeBy = GetU16(&b[4]);
    h.VersionNeeded = GetU16(&b[6]);
    h.Flags = GetU16(&b[8]);
    h.Method = GetU16(&b[10]);
    h.Time = GetU16(&b[12]);
    h.Date = GetU16(&b[14]);
    h.Crc = GetU32(&b[16]);
    h.CompressedSize = GetU32(&b[20]);
    h.UncompressedSize = GetU32(&b[24]);
    h.NameLength = GetU16(&b[28]);
    h.ExtraLength = GetU16(&b[30]);
    h.CommentLength = GetU16(&b[32]);
    h.DiskNumberStart = GetU16(&b[34]);
    h.InternalAttributes = GetU16(&b[36]);
    h.ExternalAttributes = GetU32(&b[38]);
    h.LocalHeaderOffset = GetU32(&b[42]);
    return h;
}

std::array<uint8_t, EndRecordSize> TEndRecord::Pack() const {
    std::array<uint8_t, EndRecordSize> b{};
    PutU32(&b[0], Signature);
    PutU16(&b[4], DiskNumber);
    PutU16(&b[6], DirectoryDisk);
    PutU16(&b[8], EntriesOnDisk);
    PutU16(&b[10], TotalEntries);
    PutU32(&b[12], DirectorySize);
    PutU32(&b[16], DirectoryOffset);
    PutU16(&b[20], CommentLength);
    return b;
}

TEndRecord TEndRecord::Unpack(const uint8_t* b) {
    TEndRecord r;
    r.Signature = GetU32(&b[0]);
    r.DiskNumber = GetU16(&b[4]);
    r.DirectoryDisk = GetU16(&b[6]);
    r.EntriesOnDisk = GetU16(&b[8]);
    r.TotalEntries = GetU16(&b[10]);
    r.DirectorySize = GetU32(&b[12]);
    r.DirectoryOffset = GetU32(&b[16]);
    r.CommentLength = GetU16(&b[20]);
    return r;
}

void EncipherHeader(uint8_t* record, size_t recordSize, uint8_t* name, size_t nameLength) {
    TCipher cipher;
    cipher.SetKeys(HeaderKeys);
    cipher.EncryptBytes(record + 4, recordSize - 4);
    cipher.EncryptBytes(name, nameLength);
}

TCipher DecipherHeader(uint8_t* record, size_t recordSize) {
    TCipher cipher;
    cipher.SetKeys(HeaderKeys);
    cipher.DecryptBytes(record + 4, recordSize - 4);
    return cipher;
}

} // namespace vlm
