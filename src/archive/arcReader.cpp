// Opening an archive: the end record (APPNOTE 4.3.16), the executable trailer, the central
// directory (4.3.12) and each member's local header (4.3.7), plain or enciphered. Every
// offset, count and length read from the file is checked against the file before it is
// used, so a damaged or hostile file ends in an EArchiveError.
#include "archive/arcReader.h"

#include <algorithm>
#include <span>

namespace vlm {

namespace {

constexpr size_t TrailerSize = 8;
constexpr size_t MaxCommentLength = 0xFFFF;

} // namespace

// Fills the values a Zip64 extended information field (APPNOTE 4.5.3) holds for the
// saturated header fields, in their order; false when one is missing.
bool ReadZip64Extra(const uint8_t* extra, size_t length, std::span<uint64_t* const> wanted) {
    for (size_t pos = 0; pos + ExtraFieldHeaderSize <= length;) {
        const TExtraFieldHeader header = TExtraFieldHeader::Unpack(extra + pos);
        const size_t size = header.Size;
        pos += ExtraFieldHeaderSize;
        if (size > length - pos)
            return false;
        if (header.Id == Zip64ExtraId) {
            size_t field = pos;
            for (uint64_t* value : wanted) {
                if (field + 8 > pos + size)
                    return false;
                *value = GetU64(extra + field);
                field += 8;
            }
            return true;
        }
        pos += size;
    }
    return false;
}

std::string PrintableName(std::string_view name) {
    // A damaged directory can make a name of garbage up to 64 KiB long.
    constexpr size_t Longest = 300;
    std::string result(name.substr(0, Longest));
    if (name.size() > Longest)
        result += "...";
    for (char& c : result)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return result;
}

TArchiveReader::TArchiveReader(const std::string& fileName) : FFileName(fileName) {
    FStream = std::make_unique<TFileStream>(fileName, TFileMode::OpenRead);
    const int64_t size = FStream->Size();
    if (size < 0)
        Fail("its size cannot be read");
    FFileSize = static_cast<uint64_t>(size);
    LocateArchive();
    ReadDirectory();
    CheckOverlaps();
}

TArchiveReader::~TArchiveReader() = default;

void TArchiveReader::Fail(const std::string& reason) const {
    throw EArchiveError(FormatMessage("Cannot read archive \"%s\". %s", {FFileName, reason}));
}

void TArchiveReader::FailMember(const TArchiveMember& member, const std::string& reason) const {
    Fail("Member \"" + PrintableName(member.Name) + "\": " + reason);
}

void TArchiveReader::ReadAt(uint64_t offset, void* buffer, size_t count, const char* what) {
    if (offset > FFileSize || count > FFileSize - offset)
        Fail(std::string(what) + " at offset " + std::to_string(offset) +
             " lies past the end of the file");
    try {
        FStream->SetPosition(static_cast<int64_t>(offset));
        if (FStream->Read(buffer, count) != count)
            Fail(std::string(what) + " at offset " + std::to_string(offset) + " is cut short");
    } catch (const EStreamError& e) {
        Fail(std::string(what) + " cannot be read: " + SysErrorMessage(e.ErrorNumber));
    }
}

void TArchiveReader::LocateArchive() {
    if (FFileSize < EndRecordSize)
        Fail("The file is too short to be a ZIP archive.");
    // The end record lies within its own size plus the longest comment from the end, or 8
    // bytes further back when an executable trailer follows it.
    const uint64_t window = EndRecordSize + MaxCommentLength + TrailerSize;
    const uint64_t start = FFileSize > window ? FFileSize - window : 0;
    std::vector<uint8_t> tail(static_cast<size_t>(FFileSize - start));
    ReadAt(start, tail.data(), tail.size(), "The end of the file");
    std::string firstReason;
    for (size_t i = tail.size() - EndRecordSize + 1; i-- > 0;) {
        if (GetU32(&tail[i]) != EndRecordSignature)
            continue;
        std::string reason;
        if (TryEndRecord(start + i, &tail[i], reason))
            return;
        if (firstReason.empty())
            firstReason = reason;
    }
    Fail(firstReason.empty() ? "No end of central directory record was found: it is not a ZIP "
                               "archive."
                             : firstReason);
}

bool TArchiveReader::ReadZip64End(uint64_t position, uint64_t& recordPosition,
                                  uint64_t& archiveStart, std::string& reason) {
    uint8_t locator[Zip64LocatorSize];
    ReadAt(position - Zip64LocatorSize, locator, sizeof locator, "The Zip64 locator");
    const uint64_t relative = TZip64Locator::Unpack(locator).EndRecordOffset;
    // The record normally lies just before the locator, which gives the archive's start;
    // writers that count from the file's start are the other possibility.
    const uint64_t limit = position - Zip64LocatorSize;
    for (const uint64_t start : {limit - Zip64EndSize - relative, uint64_t{0}}) {
        if (limit < Zip64EndSize || relative > limit - Zip64EndSize ||
            start > limit - Zip64EndSize - relative)
            continue;
        uint8_t bytes[Zip64EndSize];
        ReadAt(start + relative, bytes, sizeof bytes, "The Zip64 end record");
        const TZip64EndRecord record = TZip64EndRecord::Unpack(bytes);
        if (record.Signature != Zip64EndSignature)
            continue;
        if (record.DiskNumber != 0 || record.DirectoryDisk != 0 ||
            record.EntriesOnDisk != record.TotalEntries) {
            reason = "Archives split over several disks are not supported.";
            return false;
        }
        FTotalEntries = record.TotalEntries;
        FDirectorySize = record.DirectorySize;
        FDirectoryOffset = record.DirectoryOffset;
        recordPosition = start + relative;
        archiveStart = start;
        return true;
    }
    reason = "The Zip64 locator does not lead to a Zip64 end record.";
    return false;
}

bool TArchiveReader::TryEndRecord(uint64_t position, const uint8_t* record, std::string& reason) {
    const TEndRecord end = TEndRecord::Unpack(record);
    const uint64_t recordEnd = position + EndRecordSize + end.CommentLength;
    const bool trailer = recordEnd + TrailerSize == FFileSize;
    if (recordEnd != FFileSize && !trailer) {
        reason = "The end record's comment length does not fit the file.";
        return false;
    }
    uint8_t locator[4] = {};
    if (position >= Zip64LocatorSize)
        ReadAt(position - Zip64LocatorSize, locator, sizeof locator, "The Zip64 locator");
    // The directory ends where the Zip64 end record, or else the end record, begins.
    uint64_t directoryEnd = position;
    uint64_t zip64Start = 0;
    const bool zip64 = GetU32(locator) == Zip64LocatorSignature;
    if (zip64) {
        if (!ReadZip64End(position, directoryEnd, zip64Start, reason))
            return false;
    } else if (end.DiskNumber != 0 || end.DirectoryDisk != 0 ||
               end.EntriesOnDisk != end.TotalEntries) {
        reason = "Archives split over several disks are not supported.";
        return false;
    } else {
        FTotalEntries = end.TotalEntries;
        FDirectorySize = end.DirectorySize;
        FDirectoryOffset = end.DirectoryOffset;
    }
    if (FDirectorySize > directoryEnd || FDirectoryOffset > directoryEnd - FDirectorySize) {
        reason = "The central directory lies outside the file.";
        return false;
    }
    if (FTotalEntries > FDirectorySize / CentralHeaderSize) {
        reason = "The central directory is too small for its " + std::to_string(FTotalEntries) +
                 " records.";
        return false;
    }
    // Whatever lies before the archive's first byte shifts every offset recorded in it.
    const uint64_t archiveStart = directoryEnd - FDirectorySize - FDirectoryOffset;
    if (zip64 && archiveStart != zip64Start) {
        reason = "The Zip64 end record does not match the central directory.";
        return false;
    }
    if (trailer) {
        uint8_t bytes[TrailerSize];
        ReadAt(FFileSize - TrailerSize, bytes, TrailerSize, "The trailer");
        const uint64_t offset = GetU64(bytes);
        if (offset != archiveStart) {
            reason = "The trailer's archive offset " + std::to_string(offset) +
                     " does not match the archive before it.";
            return false;
        }
    }
    FArchiveOffset = archiveStart;
    FArchiveSize = recordEnd - archiveStart;
    FEndRecordOffset = position;
    FComment.resize(end.CommentLength);
    ReadAt(position + EndRecordSize, FComment.data(), FComment.size(), "The archive comment");
    return true;
}

// The central directory read front to back through one buffer: a directory of a million
// records costs a few hundred reads, not several system calls for every record.
class TArchiveReader::TDirectoryCursor {
public:
    TDirectoryCursor(TArchiveReader& reader, uint64_t position, uint64_t end)
        : FReader(reader), FPosition(position), FEnd(end) {}

    uint64_t Position() const { return FPosition; }
    uint64_t Left() const { return FEnd - FPosition; }

    // The next count bytes (count <= Left()); what is read is named by what.
    const uint8_t* Take(size_t count, const char* what) {
        if (FBuffer.size() - FUsed < count) {
            FBuffer.erase(FBuffer.begin(), FBuffer.begin() + static_cast<ptrdiff_t>(FUsed));
            FUsed = 0;
            const uint64_t readFrom = FPosition + FBuffer.size();
            const size_t more = static_cast<size_t>(
                std::min<uint64_t>(FEnd - readFrom, std::max(BufferSize, count)));
            const size_t had = FBuffer.size();
            FBuffer.resize(had + more);
            FReader.ReadAt(readFrom, FBuffer.data() + had, more, what);
        }
        const uint8_t* bytes = FBuffer.data() + FUsed;
        FUsed += count;
        FPosition += count;
        return bytes;
    }

private:
    static constexpr size_t BufferSize = size_t{1} << 20;
    TArchiveReader& FReader;
    uint64_t FPosition;
    const uint64_t FEnd;
    std::vector<uint8_t> FBuffer;
    size_t FUsed = 0;
};

void TArchiveReader::ReadDirectory() {
    const uint64_t start = FArchiveOffset + FDirectoryOffset;
    TDirectoryCursor cursor(*this, start, start + FDirectorySize);
    FMembers.reserve(static_cast<size_t>(FTotalEntries));
    for (uint64_t n = 1; n <= FTotalEntries; ++n) {
        const std::string which = "Central header " + std::to_string(n);
        if (cursor.Left() < CentralHeaderSize)
            Fail(which + " lies past the end of the central directory.");
        const uint64_t position = cursor.Position();
        uint8_t record[CentralHeaderSize];
        std::copy_n(cursor.Take(CentralHeaderSize, which.c_str()), CentralHeaderSize, record);
        TArchiveMember member;
        TCipher cipher;
        const uint32_t signature = GetU32(record);
        member.HeadersEnciphered = signature == EncipheredCentralHeaderSignature;
        if (member.HeadersEnciphered)
            cipher = DecipherHeader(record, CentralHeaderSize);
        else if (signature != CentralHeaderSignature)
            Fail(which + " at offset " + std::to_string(position) + " has no valid signature.");
        member.Central = TCentralHeader::Unpack(record);
        const TCentralHeader& c = member.Central;
        const uint64_t variable = uint64_t{c.NameLength} + c.ExtraLength + c.CommentLength;
        if (cursor.Left() < variable)
            Fail(which + ": its name and fields run past the end of the central directory.");
        const uint8_t* fields = cursor.Take(static_cast<size_t>(variable), which.c_str());
        member.Name.assign(reinterpret_cast<const char*>(fields), c.NameLength);
        if (member.HeadersEnciphered)
            cipher.DecryptBytes(member.Name.data(), member.Name.size());
        ReadCentralExtra(member, fields + c.NameLength);
        LocateLocalHeader(member);
        FMembers.push_back(std::move(member));
    }
    if (cursor.Left() != 0)
        Fail("The central directory's size does not match its records.");
}

void TArchiveReader::ReadCentralExtra(TArchiveMember& member, const uint8_t* extra) {
    const TCentralHeader& c = member.Central;
    member.CompressedSize = c.CompressedSize;
    member.UncompressedSize = c.UncompressedSize;
    uint64_t offset = c.LocalHeaderOffset;
    std::vector<uint64_t*> wanted;
    if (c.UncompressedSize == Zip64Saturated32)
        wanted.push_back(&member.UncompressedSize);
    if (c.CompressedSize == Zip64Saturated32)
        wanted.push_back(&member.CompressedSize);
    if (c.LocalHeaderOffset == Zip64Saturated32)
        wanted.push_back(&offset);
    if (wanted.empty())
        return;
    if (!ReadZip64Extra(extra, c.ExtraLength, wanted))
        FailMember(member, "its Zip64 extra field is missing or too short.");
    member.LocalHeaderOffset = offset; // made absolute by LocateLocalHeader
}

void TArchiveReader::LocateLocalHeader(TArchiveMember& member) const {
    const uint64_t relative = member.Central.LocalHeaderOffset == Zip64Saturated32
                                  ? member.LocalHeaderOffset
                                  : member.Central.LocalHeaderOffset;
    if (relative > FDirectoryOffset || FDirectoryOffset - relative < LocalHeaderSize)
        FailMember(member, "its local header offset lies outside the archive.");
    member.LocalHeaderOffset = FArchiveOffset + relative;
}

void TArchiveReader::CheckOverlaps() {
    // Before the local headers are read, a member takes at least its header, its name (the
    // local name must be the central one) and its compressed data.
    const auto leastEnd = [](const TArchiveMember& m) {
        return m.LocalHeaderOffset + LocalHeaderSize + m.Central.NameLength + m.CompressedSize;
    };
    const uint64_t directoryStart = FArchiveOffset + FDirectoryOffset;
    for (const TArchiveMember& member : FMembers)
        if (member.CompressedSize > directoryStart || leastEnd(member) > directoryStart)
            FailMember(member, "its data run past the start of the central directory.");
    // Members that share bytes are how small files claim enormous contents; no writer
    // makes them.
    std::vector<size_t> order(FMembers.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return FMembers[a].LocalHeaderOffset < FMembers[b].LocalHeaderOffset;
    });
    FStarts.reserve(order.size() + 1);
    for (size_t i = 0; i < order.size(); ++i) {
        const TArchiveMember& current = FMembers[order[i]];
        if (i > 0 && current.LocalHeaderOffset < leastEnd(FMembers[order[i - 1]]))
            FailMember(current, "its bytes overlap those of member \"" +
                                    PrintableName(FMembers[order[i - 1]].Name) + "\".");
        FStarts.push_back(current.LocalHeaderOffset);
    }
    FStarts.push_back(directoryStart);
}

const TArchiveMember& TArchiveReader::CheckLocalHeader(size_t index) {
    const std::lock_guard<std::mutex> lock(FLocalLock);
    TArchiveMember& member = FMembers.at(index);
    if (member.LocalChecked)
        return member;
    uint8_t record[LocalHeaderSize];
    ReadAt(member.LocalHeaderOffset, record, LocalHeaderSize, "A local header");
    const uint32_t signature = GetU32(record);
    TCipher cipher;
    if (signature == EncipheredLocalHeaderSignature)
        cipher = DecipherHeader(record, LocalHeaderSize);
    else if (signature != LocalHeaderSignature)
        FailMember(member, "its local header at offset " +
                               std::to_string(member.LocalHeaderOffset) +
                               " has no valid signature.");
    const TLocalHeader local = TLocalHeader::Unpack(record);
    const TCentralHeader& central = member.Central;
    const uint64_t dataOffset =
        member.LocalHeaderOffset + LocalHeaderSize + local.NameLength + local.ExtraLength;
    // The member's bytes end before the next member's (or the directory) begins.
    const uint64_t next =
        *std::upper_bound(FStarts.begin(), FStarts.end() - 1, member.LocalHeaderOffset);
    if (dataOffset > next || member.CompressedSize > next - dataOffset)
        FailMember(member, "its data run past the start of the next member or the directory.");
    if (local.Method != central.Method ||
        (local.Flags & FlagEncrypted) != (central.Flags & FlagEncrypted))
        FailMember(member, "its local header disagrees with the central directory.");
    std::string fields(size_t{local.NameLength} + local.ExtraLength, '\0');
    ReadAt(member.LocalHeaderOffset + LocalHeaderSize, fields.data(), fields.size(),
           "A local name");
    if (signature == EncipheredLocalHeaderSignature)
        cipher.DecryptBytes(fields.data(), local.NameLength);
    const std::string name = fields.substr(0, local.NameLength);
    if (name != member.Name)
        FailMember(member, "its local header names \"" + PrintableName(name) + "\".");
    // With a data descriptor the local header may leave the CRC and sizes at zero.
    if (!(local.Flags & FlagDataDescriptor)) {
        uint64_t uncompressed = local.UncompressedSize;
        uint64_t compressed = local.CompressedSize;
        if (uncompressed == Zip64Saturated32 || compressed == Zip64Saturated32) {
            uint64_t* const both[] = {&uncompressed, &compressed};
            if (!ReadZip64Extra(reinterpret_cast<const uint8_t*>(fields.data()) + local.NameLength,
                                local.ExtraLength, both))
                FailMember(member, "the Zip64 extra field of its local header is missing.");
        }
        if (local.Crc != central.Crc || compressed != member.CompressedSize ||
            uncompressed != member.UncompressedSize)
            FailMember(member, "the CRC or sizes in its local header differ from the central "
                               "directory.");
    }
    member.Local = local;
    member.DataOffset = dataOffset;
    member.LocalChecked = true;
    return member;
}

} // namespace vlm
