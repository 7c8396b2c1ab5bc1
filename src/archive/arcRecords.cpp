#include "archive/arcRecords.h"

#include <tuple>
#include <type_traits>

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

namespace {

// One field of a record: where it lies, how many bytes it takes, and the member that holds
// it. A record's table is a tuple of these, so every field keeps its own type.
template <class R, class T> struct TRecordField {
    size_t Offset;
    size_t Width;
    T R::*Member;
};

// The width written in a table must be the member's own: a mismatch does not compile.
template <class R, class T>
consteval TRecordField<R, T> Field(size_t offset, size_t width, T R::*member) {
    if (width != sizeof(T))
        throw "the width differs from the member's size";
    return {offset, width, member};
}

// True when the fields follow each other without gap or overlap and fill size bytes.
template <class... F> consteval bool FillsRecord(const std::tuple<F...>& fields, size_t size) {
    size_t at = 0;
    bool adjoining = true;
    std::apply(
        [&](const auto&... f) { ((adjoining = adjoining && f.Offset == at, at += f.Width), ...); },
        fields);
    return adjoining && at == size;
}

template <size_t Size, class R, class... F>
std::array<uint8_t, Size> PackFields(const R& record, const std::tuple<F...>& fields) {
    std::array<uint8_t, Size> bytes{};
    const auto put = [&](const auto& f) {
        const uint64_t value = record.*f.Member;
        for (size_t i = 0; i < f.Width; ++i)
            bytes[f.Offset + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    std::apply([&](const auto&... f) { (put(f), ...); }, fields);
    return bytes;
}

template <class R, class... F>
R UnpackFields(const uint8_t* bytes, const std::tuple<F...>& fields) {
    R record;
    const auto get = [&](const auto& f) {
        uint64_t value = 0;
        for (size_t i = f.Width; i-- > 0;)
            value = value << 8 | bytes[f.Offset + i];
        using T = std::remove_reference_t<decltype(record.*f.Member)>;
        record.*f.Member = static_cast<T>(value);
    };
    std::apply([&](const auto&... f) { (get(f), ...); }, fields);
    return record;
}

using L = TLocalHeader;
// APPNOTE 4.3.7 local file header.
constexpr std::tuple LocalFields = {
    Field(0, 4, &L::Signature),         // local file header signature
    Field(4, 2, &L::VersionNeeded),     // version needed to extract
    Field(6, 2, &L::Flags),             // general purpose bit flag
    Field(8, 2, &L::Method),            // compression method
    Field(10, 2, &L::Time),             // last mod file time
    Field(12, 2, &L::Date),             // last mod file date
    Field(14, 4, &L::Crc),              // crc-32
    Field(18, 4, &L::CompressedSize),   // compressed size
    Field(22, 4, &L::UncompressedSize), // uncompressed size
    Field(26, 2, &L::NameLength),       // file name length
    Field(28, 2, &L::ExtraLength),      // extra field length
};
static_assert(FillsRecord(LocalFields, LocalHeaderSize));

using C = TCentralHeader;
// APPNOTE 4.3.12 central directory file header.
constexpr std::tuple CentralFields = {
    Field(0, 4, &C::Signature),           // central file header signature
    Field(4, 2, &C::VersionMadeBy),       // version made by
    Field(6, 2, &C::VersionNeeded),       // version needed to extract
    Field(8, 2, &C::Flags),               // general purpose bit flag
    Field(10, 2, &C::Method),             // compression method
    Field(12, 2, &C::Time),               // last mod file time
    Field(14, 2, &C::Date),               // last mod file date
    Field(16, 4, &C::Crc),                // crc-32
    Field(20, 4, &C::CompressedSize),     // compressed size
    Field(24, 4, &C::UncompressedSize),   // uncompressed size
    Field(28, 2, &C::NameLength),         // file name length
    Field(30, 2, &C::ExtraLength),        // extra field length
    Field(32, 2, &C::CommentLength),      // file comment length
    Field(34, 2, &C::DiskNumberStart),    // disk number start
    Field(36, 2, &C::InternalAttributes), // internal file attributes
    Field(38, 4, &C::ExternalAttributes), // external file attributes
    Field(42, 4, &C::LocalHeaderOffset),  // relative offset of local header
};
static_assert(FillsRecord(CentralFields, CentralHeaderSize));

using E = TEndRecord;
// APPNOTE 4.3.16 end of central directory record.
constexpr std::tuple EndFields = {
    Field(0, 4, &E::Signature),        // end of central dir signature
    Field(4, 2, &E::DiskNumber),       // number of this disk
    Field(6, 2, &E::DirectoryDisk),    // disk where the central directory starts
    Field(8, 2, &E::EntriesOnDisk),    // entries in the central directory on this disk
    Field(10, 2, &E::TotalEntries),    // total entries in the central directory
    Field(12, 4, &E::DirectorySize),   // size of the central directory
    Field(16, 4, &E::DirectoryOffset), // offset of start of central directory
    Field(20, 2, &E::CommentLength),   // .ZIP file comment length
};
static_assert(FillsRecord(EndFields, EndRecordSize));

using Z = TZip64EndRecord;
// APPNOTE 4.3.14 zip64 end of central directory record.
constexpr std::tuple Zip64EndFields = {
    Field(0, 4, &Z::Signature),        // zip64 end of central dir signature
    Field(4, 8, &Z::RecordSize),       // size of zip64 end of central directory record
    Field(12, 2, &Z::VersionMadeBy),   // version made by
    Field(14, 2, &Z::VersionNeeded),   // version needed to extract
    Field(16, 4, &Z::DiskNumber),      // number of this disk
    Field(20, 4, &Z::DirectoryDisk),   // disk where the central directory starts
    Field(24, 8, &Z::EntriesOnDisk),   // entries in the central directory on this disk
    Field(32, 8, &Z::TotalEntries),    // total entries in the central directory
    Field(40, 8, &Z::DirectorySize),   // size of the central directory
    Field(48, 8, &Z::DirectoryOffset), // offset of start of central directory
};
static_assert(FillsRecord(Zip64EndFields, Zip64EndSize));

using K = TZip64Locator;
// APPNOTE 4.3.15 zip64 end of central directory locator.
constexpr std::tuple Zip64LocatorFields = {
    Field(0, 4, &K::Signature),       // zip64 end of central dir locator signature
    Field(4, 4, &K::EndRecordDisk),   // disk with the zip64 end of central directory
    Field(8, 8, &K::EndRecordOffset), // relative offset of the zip64 end record
    Field(16, 4, &K::TotalDisks),     // total number of disks
};
static_assert(FillsRecord(Zip64LocatorFields, Zip64LocatorSize));

using X = TExtraFieldHeader;
// APPNOTE 4.5.1 extra field block header.
constexpr std::tuple ExtraFieldHeaderFields = {
    Field(0, 2, &X::Id),   // header ID
    Field(2, 2, &X::Size), // data size
};
static_assert(FillsRecord(ExtraFieldHeaderFields, ExtraFieldHeaderSize));

} // namespace

std::array<uint8_t, LocalHeaderSize> TLocalHeader::Pack() const {
    return PackFields<LocalHeaderSize>(*this, LocalFields);
}

TLocalHeader TLocalHeader::Unpack(const uint8_t* bytes) {
    return UnpackFields<TLocalHeader>(bytes, LocalFields);
}

std::array<uint8_t, CentralHeaderSize> TCentralHeader::Pack() const {
    return PackFields<CentralHeaderSize>(*this, CentralFields);
}

TCentralHeader TCentralHeader::Unpack(const uint8_t* bytes) {
    return UnpackFields<TCentralHeader>(bytes, CentralFields);
}

std::array<uint8_t, EndRecordSize> TEndRecord::Pack() const {
    return PackFields<EndRecordSize>(*this, EndFields);
}

TEndRecord TEndRecord::Unpack(const uint8_t* bytes) {
    return UnpackFields<TEndRecord>(bytes, EndFields);
}

std::array<uint8_t, Zip64EndSize> TZip64EndRecord::Pack() const {
    return PackFields<Zip64EndSize>(*this, Zip64EndFields);
}

TZip64EndRecord TZip64EndRecord::Unpack(const uint8_t* bytes) {
    return UnpackFields<TZip64EndRecord>(bytes, Zip64EndFields);
}

std::array<uint8_t, Zip64LocatorSize> TZip64Locator::Pack() const {
    return PackFields<Zip64LocatorSize>(*this, Zip64LocatorFields);
}

TZip64Locator TZip64Locator::Unpack(const uint8_t* bytes) {
    return UnpackFields<TZip64Locator>(bytes, Zip64LocatorFields);
}

std::array<uint8_t, ExtraFieldHeaderSize> TExtraFieldHeader::Pack() const {
    return PackFields<ExtraFieldHeaderSize>(*this, ExtraFieldHeaderFields);
}

TExtraFieldHeader TExtraFieldHeader::Unpack(const uint8_t* bytes) {
    return UnpackFields<TExtraFieldHeader>(bytes, ExtraFieldHeaderFields);
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
