// Opening an archive: the end record (APPNOTE 4.3.16), the executable trailer, the central
// directory (4.3.12) and each member's local header (4.3.7), plain or enciphered. Every
// offset, count and length read from the file is checked against the file before it is
// used, so a damaged or hostile file ends in an EArchiveError.
#include "archive/arcReader.h"

#include <algorithm>

namespace vlm {

namespace {

constexpr size_t TrailerSize = 8;
constexpr uint32_t Zip64LocatorSignature = 0x07064B50;
constexpr size_t Zip64LocatorSize = 20;
constexpr size_t MaxCommentLength = 0xFFFF;

} // namespace

std::string PrintableName(std::string_view name) {
    std::string result(name);
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
        if (i >= Zip64LocatorSize && GetU32(&tail[i - Zip64LocatorSize]) == Zip64LocatorSignature)
            Fail("The archive uses the ZIP64 form, which is not supported.");
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

bool TArchiveReader::TryEndRecord(uint64_t position, const uint8_t* record, std::string& reason) {
    const TEndRecord end = TEndRecord::Unpack(record);
    const uint64_t recordEnd = position + EndRecordSize + end.CommentLength;
    const bool trailer = recordEnd + TrailerSize == FFileSize;
    if (recordEnd != FFileSize && !trailer) {
        reason = "The end record's comment length does not fit the file.";
        return false;
    }
    if (end.DiskNumber != 0 || end.DirectoryDisk != 0 || end.EntriesOnDisk != end.TotalEntries) {
        reason = "Archives split over several disks are not supported.";
        return false;
    }
    if (end.DirectorySize > position || end.DirectoryOffset > position - end.DirectorySize) {
        reason = "The central directory lies outside the file.";
        return false;
    }
    if (static_cast<uint64_t>(end.TotalEntries) * CentralHeaderSize > end.DirectorySize) {
        reason = "The central directory is too small for its " + std::to_string(end.TotalEntries) +
                 " records.";
        return false;
    }
    // The directory ends where the end record begins; whatever lies before the archive's
    // first byte shifts every offset recorded in it.
    const uint64_t archiveStart = position - end.DirectorySize - end.DirectoryOffset;
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
    FEnd = end;
    FArchiveOffset = archiveStart;
    FArchiveSize = recordEnd - archiveStart;
    FComment.resize(end.CommentLength);
    ReadAt(position + EndRecordSize, FComment.data(), FComment.size(), "The archive comment");
    return true;
}

void TArchiveReader::ReadDirectory() {
    uint64_t position = FArchiveOffset + FEnd.DirectoryOffset;
    const uint64_t directoryEnd = position + FEnd.DirectorySize;
    FMembers.reserve(FEnd.TotalEntries);
    for (size_t n = 1; n <= FEnd.TotalEntries; ++n) {
        const std::string which = "Central header " + std::to_string(n);
        uint8_t record[CentralHeaderSize];
        if (directoryEnd - position < CentralHeaderSize)
            Fail(which + " lies past the end of the central directory.");
        ReadAt(position, record, CentralHeaderSize, which.c_str());
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
        if (directoryEnd - position - CentralHeaderSize < variable)
            Fail(which + ": its name and fields run past the end of the central directory.");
        member.Name.resize(c.NameLength);
        ReadAt(position + CentralHeaderSize, member.Name.data(), member.Name.size(), which.c_str());
        if (member.HeadersEnciphered)
            cipher.DecryptBytes(member.Name.data(), member.Name.size());
        position += CentralHeaderSize + variable;
        ReadLocalHeader(member);
        FMembers.push_back(std::move(member));
    }
    if (position != directoryEnd)
        Fail("The central directory's size does not match its records.");
}

void TArchiveReader::ReadLocalHeader(TArchiveMember& member) {
    const uint64_t directoryStart = FArchiveOffset + FEnd.DirectoryOffset;
    const uint64_t relative = member.Central.LocalHeaderOffset;
    if (relative > FEnd.DirectoryOffset || FEnd.DirectoryOffset - relative < LocalHeaderSize)
        FailMember(member, "its local header offset lies outside the archive.");
    member.LocalHeaderOffset = FArchiveOffset + relative;
    uint8_t record[LocalHeaderSize];
    ReadAt(member.LocalHeaderOffset, record, LocalHeaderSize, "A local header");
    const uint32_t signature = GetU32(record);
    if (signature == EncipheredLocalHeaderSignature)
        DecipherHeader(record, LocalHeaderSize);
    else if (signature != LocalHeaderSignature)
        FailMember(member, "its local header at offset " +
                               std::to_string(member.LocalHeaderOffset) +
                               " has no valid signature.");
    member.Local = TLocalHeader::Unpack(record);
    member.DataOffset = member.LocalHeaderOffset + LocalHeaderSize + member.Local.NameLength +
                        member.Local.ExtraLength;
    if (member.DataOffset > directoryStart ||
        member.Central.CompressedSize > directoryStart - member.DataOffset)
        FailMember(member, "its data run past the start of the central directory.");
}

void TArchiveReader::CheckOverlaps() const {
    // Members that share bytes are how small files claim enormous contents; no writer
    // makes them.
    std::vector<size_t> order(FMembers.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return FMembers[a].LocalHeaderOffset < FMembers[b].LocalHeaderOffset;
    });
    for (size_t i = 1; i < order.size(); ++i) {
        const TArchiveMember& previous = FMembers[order[i - 1]];
        const TArchiveMember& current = FMembers[order[i]];
        if (current.LocalHeaderOffset < previous.DataOffset + previous.Central.CompressedSize)
            FailMember(current, "its bytes overlap those of member \"" +
                                    PrintableName(previous.Name) + "\".");
    }
}

} // namespace vlm
