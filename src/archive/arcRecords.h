// ZIP record layouts (APPNOTE 4.3.7 local file header, 4.3.12 central directory file
// header, 4.3.14 Zip64 end of central directory record, 4.3.15 Zip64 end of central
// directory locator, 4.3.16 end of central directory record, 4.5.1 extra field header),
// packed little-endian, and header encipherment. Each record's fields are listed once,
// in one table of offset, width and field that both Pack and Unpack follow; the writer
// and the reader both use these definitions.
#pragma once

#include "archive/arcCrypt.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vlm {

inline constexpr uint32_t LocalHeaderSignature = 0x04034B50;
inline constexpr uint32_t CentralHeaderSignature = 0x02014B50;
inline constexpr uint32_t EndRecordSignature = 0x06054B50;
// With enciphered headers the second signature byte is 0x4C instead of 0x4B.
inline constexpr uint32_t EncipheredLocalHeaderSignature = 0x04034C50;
inline constexpr uint32_t EncipheredCentralHeaderSignature = 0x02014C50;

// Zip64 (APPNOTE 4.3.14 end record, 4.3.15 locator, 4.5.3 extended information field),
// used only where a size, an offset or a count no longer fits its field.
inline constexpr uint32_t Zip64EndSignature = 0x06064B50;
inline constexpr uint32_t Zip64LocatorSignature = 0x07064B50;
inline constexpr size_t Zip64EndSize = 56;
inline constexpr size_t Zip64LocatorSize = 20;
inline constexpr uint16_t Zip64ExtraId = 0x0001;
inline constexpr uint16_t Zip64Version = 45;
// A 32-bit field holding this value stands for a value in the Zip64 extra field.
inline constexpr uint32_t Zip64Saturated32 = 0xFFFFFFFF;

inline constexpr size_t ExtraFieldHeaderSize = 4;
inline constexpr size_t LocalHeaderSize = 30;
inline constexpr size_t CentralHeaderSize = 46;
inline constexpr size_t EndRecordSize = 22;

inline constexpr uint16_t VersionNeeded = 20;
inline constexpr uint16_t VersionMadeBy = 20;
inline constexpr uint16_t MethodStored = 0;
inline constexpr uint16_t MethodDeflated = 8;

inline constexpr uint16_t FlagEncrypted = 0x0001;
inline constexpr uint16_t FlagDataDescriptor = 0x0008; // APPNOTE 4.4.4 bit 3
inline constexpr uint16_t FlagUtf8Name = 0x0800;       // APPNOTE 4.4.4 bit 11
// Internal attributes: every member is marked as text.
inline constexpr uint16_t InternalAttributes = 1;
// External attributes keep read-only, hidden, system, volume, directory, archive,
// normal and encrypted.
inline constexpr uint32_t ExternalAttributesMask = 0x40BF;

uint16_t GetU16(const uint8_t* p);
uint32_t GetU32(const uint8_t* p);
uint64_t GetU64(const uint8_t* p);
void PutU16(uint8_t* p, uint16_t value);
void PutU32(uint8_t* p, uint32_t value);
void PutU64(uint8_t* p, uint64_t value);

struct TLocalHeader {
    uint32_t Signature = LocalHeaderSignature;
    uint16_t VersionNeeded = vlm::VersionNeeded;
    uint16_t Flags = 0;
    uint16_t Method = 0;
    uint16_t Time = 0;
    uint16_t Date = 0;
    uint32_t Crc = 0;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;
    uint16_t NameLength = 0;
    uint16_t ExtraLength = 0;

    std::array<uint8_t, LocalHeaderSize> Pack() const;
    static TLocalHeader Unpack(const uint8_t* bytes);
};

struct TCentralHeader {
    uint32_t Signature = CentralHeaderSignature;
    uint16_t VersionMadeBy = vlm::VersionMadeBy;
    uint16_t VersionNeeded = vlm::VersionNeeded;
    uint16_t Flags = 0;
    uint16_t Method = 0;
    uint16_t Time = 0;
    uint16_t Date = 0;
    uint32_t Crc = 0;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;
    uint16_t NameLength = 0;
    uint16_t ExtraLength = 0;
    uint16_t CommentLength = 0;
    uint16_t DiskNumberStart = 0;
    uint16_t InternalAttributes = 0;
    uint32_t ExternalAttributes = 0;
    uint32_t LocalHeaderOffset = 0;

    std::array<uint8_t, CentralHeaderSize> Pack() const;
    static TCentralHeader Unpack(const uint8_t* bytes);
};

struct TEndRecord {
    uint32_t Signature = EndRecordSignature;
    uint16_t DiskNumber = 0;
    uint16_t DirectoryDisk = 0;
    uint16_t EntriesOnDisk = 0;
    uint16_t TotalEntries = 0;
    uint32_t DirectorySize = 0;
    uint32_t DirectoryOffset = 0;
    uint16_t CommentLength = 0;

    std::array<uint8_t, EndRecordSize> Pack() const;
    static TEndRecord Unpack(const uint8_t* bytes);
};

// APPNOTE 4.3.14: the Zip64 end of central directory record (version 1, no extensible
// data sector).
struct TZip64EndRecord {
    uint32_t Signature = Zip64EndSignature;
    // The size of the rest of the record: the whole less the signature and this field.
    uint64_t RecordSize = Zip64EndSize - 12;
    uint16_t VersionMadeBy = Zip64Version;
    uint16_t VersionNeeded = Zip64Version;
    uint32_t DiskNumber = 0;
    uint32_t DirectoryDisk = 0;
    uint64_t EntriesOnDisk = 0;
    uint64_t TotalEntries = 0;
    uint64_t DirectorySize = 0;
    uint64_t DirectoryOffset = 0;

    std::array<uint8_t, Zip64EndSize> Pack() const;
    static TZip64EndRecord Unpack(const uint8_t* bytes);
};

// APPNOTE 4.3.15: the Zip64 end of central directory locator.
struct TZip64Locator {
    uint32_t Signature = Zip64LocatorSignature;
    uint32_t EndRecordDisk = 0;
    uint64_t EndRecordOffset = 0;
    uint32_t TotalDisks = 1;

    std::array<uint8_t, Zip64LocatorSize> Pack() const;
    static TZip64Locator Unpack(const uint8_t* bytes);
};

// APPNOTE 4.5.1: the header of one block of an extra field; Size bytes of data follow.
struct TExtraFieldHeader {
    uint16_t Id = 0;
    uint16_t Size = 0;

    std::array<uint8_t, ExtraFieldHeaderSize> Pack() const;
    static TExtraFieldHeader Unpack(const uint8_t* bytes);
};

// Header encipherment. Writing: the keys are set to the header key state, the record's
// bytes after its 4-byte signature are encrypted in place, then the name, continuing the
// same key stream.
void EncipherHeader(uint8_t* record, size_t recordSize, uint8_t* name, size_t nameLength);
// Reading: the keys are set to the header key state and the record's bytes after its
// signature are decrypted in place; the returned cipher continues with the name.
TCipher DecipherHeader(uint8_t* record, size_t recordSize);

} // namespace vlm
