#include "archive/arcZip.h"

#include "archive/arcFileIo.h"
#include "platform/UErrors.h"

#include <algorithm>
#include <limits>

namespace vlm {

namespace {

constexpr uint16_t Max16 = 0xFFFF;

uint32_t Low32(uint64_t value) {
    return value >= Zip64Saturated32 ? Zip64Saturated32 : static_cast<uint32_t>(value);
}

// Collects small records and writes them in large pieces.
class TRecordWriter {
public:
    explicit TRecordWriter(TFileStream& out) : FOut(out) { FBuffer.reserve(Capacity); }
    void Add(const void* data, size_t count) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        if (FBuffer.size() + count > Capacity)
            Flush();
        if (count > Capacity) {
            FOut.WriteBuffer(bytes, count);
            return;
        }
        FBuffer.insert(FBuffer.end(), bytes, bytes + count);
    }
    void Add(const std::string& text) { Add(text.data(), text.size()); }
    void Flush() {
        FOut.WriteBuffer(FBuffer.data(), FBuffer.size());
        FBuffer.clear();
    }

private:
    static constexpr size_t Capacity = 65536;
    TFileStream& FOut;
    std::vector<uint8_t> FBuffer;
};

// APPNOTE 4.5.3: the Zip64 extended information extra field with the given values.
std::string Zip64Extra(const std::vector<uint64_t>& values) {
    TExtraFieldHeader header;
    header.Id = Zip64ExtraId;
    header.Size = static_cast<uint16_t>(8 * values.size());
    std::string extra(ExtraFieldHeaderSize + header.Size, '\0');
    auto* p = reinterpret_cast<uint8_t*>(extra.data());
    const auto packed = header.Pack();
    std::copy(packed.begin(), packed.end(), p);
    size_t at = ExtraFieldHeaderSize;
    for (const uint64_t v : values) {
        PutU64(p + at, v);
        at += 8;
    }
    return extra;
}

// APPNOTE 4.3.14 and 4.3.15: the Zip64 end of central directory record and its locator.
void AddZip64End(TRecordWriter& writer, uint64_t count, uint64_t dirSize, uint64_t dirOffset,
                 uint64_t recordOffset) {
    TZip64EndRecord record;
    record.EntriesOnDisk = count;
    record.TotalEntries = count;
    record.DirectorySize = dirSize;
    record.DirectoryOffset = dirOffset;
    const auto recordBytes = record.Pack();
    writer.Add(recordBytes.data(), recordBytes.size());
    TZip64Locator locator;
    locator.EndRecordOffset = recordOffset;
    const auto locatorBytes = locator.Pack();
    writer.Add(locatorBytes.data(), locatorBytes.size());
}

// Where the end record begins in tail (the file's last bytes): the last signature whose
// comment reaches exactly to the end of the file.
size_t FindEndRecord(const std::vector<uint8_t>& tail) {
    for (size_t at = tail.size() - EndRecordSize + 1; at-- > 0;) {
        if (GetU32(&tail[at]) == EndRecordSignature &&
            at + EndRecordSize + TEndRecord::Unpack(&tail[at]).CommentLength == tail.size())
            return at;
    }
    throw EVlmError("no end of central directory record");
}

struct TDirectoryPlace {
    uint64_t Count;
    uint64_t Size;
    uint64_t Offset;
};

// The directory's place from the end record, or from the Zip64 end record it points to.
TDirectoryPlace LocateDirectory(TFileStream& in, const TEndRecord& end, uint64_t endPos) {
    TDirectoryPlace place{end.TotalEntries, end.DirectorySize, end.DirectoryOffset};
    uint64_t limit = endPos;
    if (endPos >= Zip64LocatorSize) {
        uint8_t bytes[Zip64LocatorSize];
        in.SetPosition(static_cast<int64_t>(endPos - Zip64LocatorSize));
        in.ReadBuffer(bytes, sizeof bytes);
        const TZip64Locator locator = TZip64Locator::Unpack(bytes);
        if (locator.Signature == Zip64LocatorSignature) {
            const uint64_t at = locator.EndRecordOffset;
            if (at > endPos - Zip64LocatorSize - Zip64EndSize)
                throw EVlmError("broken Zip64 end record locator");
            uint8_t recordBytes[Zip64EndSize];
            in.SetPosition(static_cast<int64_t>(at));
            in.ReadBuffer(recordBytes, sizeof recordBytes);
            const TZip64EndRecord record = TZip64EndRecord::Unpack(recordBytes);
            if (record.Signature != Zip64EndSignature)
                throw EVlmError("broken Zip64 end record");
            place = {record.TotalEntries, record.DirectorySize, record.DirectoryOffset};
            limit = at;
        }
    }
    if (place.Offset > limit || place.Size > limit - place.Offset ||
        place.Count > place.Size / CentralHeaderSize)
        throw EVlmError("the central directory lies outside the archive");
    return place;
}

} // namespace

TZipBase::TZipBase() = default;
TZipBase::~TZipBase() = default;

void TZipBase::BeginLocalHeader(size_t index) {
    const TCompMember& member = Members().Members[index];
    FLocal = TLocalHeader{};
    FLocal.Signature =
        member.Info.HeadersEnciphered ? EncipheredLocalHeaderSignature : LocalHeaderSignature;
    FLocal.VersionNeeded = VersionNeeded;
    FLocal.Time = member.Central.Time;
    FLocal.Date = member.Central.Date;
    FLocal.Method = MethodDeflated;
}

void TZipBase::WritePlaceholder(TFileStream& out, const std::string& written, uint64_t size) {
    FLargeLocal = size >= LargeFileThreshold;
    const auto header = FLocal.Pack();
    TRecordWriter writer(out);
    writer.Add(header.data(), header.size());
    writer.Add(written);
    if (FLargeLocal)
        writer.Add(Zip64Extra({0, 0}));
    writer.Flush();
}

void TZipBase::FinishLocalHeader(TFileStream& out, size_t index, uint64_t pos,
                                 const std::string& written, uint16_t method, uint16_t flags,
                                 uint32_t crc, uint64_t uncompressed) {
    const int64_t end = out.Position();
    const std::string extra = FLargeLocal ? Zip64Extra({0, 0}) : std::string();
    const uint64_t compressed =
        static_cast<uint64_t>(end) - pos - vlm::LocalHeaderSize - written.size() - extra.size();
    TCompFileInfo& info = Members().Members[index].Info;
    info.UncompressedSize = uncompressed;
    info.CompressedSize = compressed;

    FLocal.Flags = flags;
    FLocal.Method = method;
    FLocal.Crc = crc;
    FLocal.NameLength = static_cast<uint16_t>(written.size());
    FLocal.ExtraLength = static_cast<uint16_t>(extra.size());
    FLocal.CompressedSize = FLargeLocal ? Zip64Saturated32 : static_cast<uint32_t>(compressed);
    FLocal.UncompressedSize = FLargeLocal ? Zip64Saturated32 : static_cast<uint32_t>(uncompressed);
    if (FLargeLocal)
        FLocal.VersionNeeded = Zip64Version;

    auto header = FLocal.Pack();
    std::string name = written;
    if (info.HeadersEnciphered)
        EncipherHeader(header.data(), header.size(), reinterpret_cast<uint8_t*>(name.data()),
                       name.size());
    out.SetPosition(static_cast<int64_t>(pos));
    TRecordWriter writer(out);
    writer.Add(header.data(), header.size());
    writer.Add(name);
    if (FLargeLocal)
        writer.Add(Zip64Extra({uncompressed, compressed}));
    writer.Flush();
    out.SetPosition(end);
}

void TZipBase::BuildCentralRecord(size_t index) {
    TCompMember& member = Members().Members[index];
    TCompFileInfo& info = member.Info;
    TCentralHeader& c = member.Central;
    const uint32_t attr = c.ExternalAttributes;
    c.Signature =
        info.HeadersEnciphered ? EncipheredCentralHeaderSignature : CentralHeaderSignature;
    // A UTF-8 name is said to come from NTFS (host 11, the same attribute word as FAT):
    // unzip converts the names of FAT entries from the OEM code page despite bit 11.
    c.VersionMadeBy =
        (FLocal.Flags & FlagUtf8Name) != 0 ? (11 << 8 | VersionMadeBy) : VersionMadeBy;
    c.VersionNeeded = VersionNeeded;
    c.Flags = FLocal.Flags;
    c.Method = FLocal.Method;
    c.Time = FLocal.Time;
    c.Date = FLocal.Date;
    c.Crc = FLocal.Crc;
    c.UncompressedSize = Low32(info.UncompressedSize);
    c.CompressedSize = Low32(info.CompressedSize);
    c.NameLength = FLocal.NameLength;
    c.CommentLength = 0;
    c.DiskNumberStart = 0;
    c.InternalAttributes = InternalAttributes;
    c.ExternalAttributes = attr & ExternalAttributesMask;
    c.LocalHeaderOffset = Low32(info.LocalHeaderOffset);
    // Only the fields that overflow go into the extra field, in this order (APPNOTE 4.5.3).
    std::vector<uint64_t> large;
    if (c.UncompressedSize == Zip64Saturated32)
        large.push_back(info.UncompressedSize);
    if (c.CompressedSize == Zip64Saturated32)
        large.push_back(info.CompressedSize);
    if (c.LocalHeaderOffset == Zip64Saturated32)
        large.push_back(info.LocalHeaderOffset);
    info.Extra = large.empty() ? std::string() : Zip64Extra(large);
    if (!large.empty())
        c.VersionNeeded = Zip64Version;
    c.ExtraLength = static_cast<uint16_t>(info.Extra.size());
}

void TZipBase::WriteDirectory(TFileStream& out, const TCompHeaderObj& list) {
    Progress(0, 0);
    const uint64_t dirOffset = static_cast<uint64_t>(out.Position());
    uint64_t dirSize = 0;
    uint64_t count = 0;
    TRecordWriter writer(out);
    for (const TCompMember& member : list.Members) {
        const TCompFileInfo& info = member.Info;
        if (info.State == TCompFileInfo::LeftOut)
            continue;
        TCentralHeader c = member.Central;
        std::string name = WrittenNameOf(member.Name);
        c.NameLength = static_cast<uint16_t>(name.size());
        c.ExtraLength = static_cast<uint16_t>(info.Extra.size());
        c.CommentLength = static_cast<uint16_t>(info.Comment.size());
        c.Signature =
            info.HeadersEnciphered ? EncipheredCentralHeaderSignature : CentralHeaderSignature;
        auto header = c.Pack();
        if (info.HeadersEnciphered)
            EncipherHeader(header.data(), header.size(), reinterpret_cast<uint8_t*>(name.data()),
                           name.size());
        writer.Add(header.data(), header.size());
        writer.Add(name);
        writer.Add(info.Extra);
        writer.Add(info.Comment);
        dirSize += header.size() + name.size() + info.Extra.size() + info.Comment.size();
        ++count;
    }
    if (count >= Max16 || dirOffset >= Zip64Saturated32 || dirSize >= Zip64Saturated32)
        AddZip64End(writer, count, dirSize, dirOffset, dirOffset + dirSize);
    TEndRecord end;
    end.EntriesOnDisk = count >= Max16 ? Max16 : static_cast<uint16_t>(count);
    end.TotalEntries = end.EntriesOnDisk;
    end.DirectorySize = Low32(dirSize);
    end.DirectoryOffset = Low32(dirOffset);
    end.CommentLength = static_cast<uint16_t>(list.Comment.size());
    const auto record = end.Pack();
    writer.Add(record.data(), record.size());
    writer.Add(list.Comment);
    writer.Flush();
}

void TZipBase::ReadDirectory(TFileStream& in, TCompHeaderObj& list) {
    const uint64_t fileSize = static_cast<uint64_t>(in.Size());
    if (fileSize < EndRecordSize)
        throw EVlmError("too short for an archive");
    std::vector<uint8_t> tail(
        static_cast<size_t>(std::min<uint64_t>(fileSize, EndRecordSize + Max16)));
    in.SetPosition(static_cast<int64_t>(fileSize - tail.size()));
    in.ReadBuffer(tail.data(), tail.size());
    const size_t at = FindEndRecord(tail);
    const TEndRecord end = TEndRecord::Unpack(&tail[at]);
    const TDirectoryPlace place = LocateDirectory(in, end, fileSize - tail.size() + at);

    std::vector<uint8_t> dir(static_cast<size_t>(place.Size));
    in.SetPosition(static_cast<int64_t>(place.Offset));
    in.ReadBuffer(dir.data(), dir.size());
    size_t p = 0;
    for (uint64_t n = 0; n < place.Count; ++n) {
        if (dir.size() - p < CentralHeaderSize)
            throw EVlmError("the central directory is truncated");
        uint8_t* record = &dir[p];
        const uint32_t signature = GetU32(record);
        TCompFileInfo info;
        info.HeadersEnciphered = signature == EncipheredCentralHeaderSignature;
        if (!info.HeadersEnciphered && signature != CentralHeaderSignature)
            throw EVlmError("a central directory header has no signature");
        TCipher cipher;
        if (info.HeadersEnciphered)
            cipher = DecipherHeader(record, CentralHeaderSize);
        const TCentralHeader c = TCentralHeader::Unpack(record);
        const size_t rest = size_t{c.NameLength} + c.ExtraLength + c.CommentLength;
        if (dir.size() - p - CentralHeaderSize < rest)
            throw EVlmError("the central directory is truncated");
        p += CentralHeaderSize;
        std::string name(reinterpret_cast<const char*>(&dir[p]), c.NameLength);
        if (info.HeadersEnciphered)
            cipher.DecryptBytes(name.data(), name.size());
        p += c.NameLength;
        info.Extra.assign(reinterpret_cast<const char*>(&dir[p]), c.ExtraLength);
        p += c.ExtraLength;
        info.Comment.assign(reinterpret_cast<const char*>(&dir[p]), c.CommentLength);
        p += c.CommentLength;
        info.State = TCompFileInfo::Copied;
        info.LocalHeaderOffset = c.LocalHeaderOffset;
        list.Members.push_back({std::move(name), std::move(info), c, 0});
    }
    list.Comment.assign(reinterpret_cast<const char*>(&tail[at + EndRecordSize]),
                        end.CommentLength);
    list.DirectoryOffset = place.Offset;
}

int TZipBase::BeginCommentEdit() noexcept {
    FEditList.reset();
    if (ArchiveFile().empty())
        return 0;
    try {
        TFileStream in(ArchiveFile(), TFileMode::OpenRead);
        auto list = std::make_unique<TCompHeaderObj>();
        ReadDirectory(in, *list);
        FEditList = std::move(list);
        return static_cast<int>(FEditList->Count());
    } catch (const EStreamError& e) {
        ReportError(ArchiveFile(), SysErrorMessage(e.ErrorNumber), errOpenFile);
    } catch (const std::exception& e) {
        ReportError(ArchiveFile(), e.what(), errOpenFile);
    }
    return 0;
}

void TZipBase::SetArchiveComment(const char* bytes, int16_t length) noexcept {
    if (!FEditList || bytes == nullptr || length < 0)
        return;
    const std::string_view comment(bytes, static_cast<size_t>(length));
    if (comment == FEditList->Comment)
        return;
    try {
        FEditList->Comment = comment;
        FEditList->Changed = true;
    } catch (...) {
    }
}

std::string_view TZipBase::GetArchiveComment() const noexcept {
    if (!FEditList)
        return {};
    return FEditList->Comment;
}

bool TZipBase::CommitCommentEdit() noexcept {
    const std::unique_ptr<TCompHeaderObj> list = std::move(FEditList);
    if (!list || FCancel)
        return false;
    if (!list->Changed)
        return true;
    try {
        TTempOutput output(TempOutputFolder(TempDir));
        try {
            TFileStream in(ArchiveFile(), TFileMode::OpenRead);
            // Every byte before the directory stays as it was.
            CopyStream(in, output.Stream(), static_cast<int64_t>(list->DirectoryOffset),
                       [this] { KeepGoing(); });
        } catch (const EFOpenError& e) {
            ReportError(ArchiveFile(), SysErrorMessage(e.ErrorNumber), errOpenFile);
            return false;
        }
        WriteDirectory(output.Stream(), *list);
        return PutInPlace(output);
    } catch (const std::exception& e) {
        ReportStreamError(ArchiveFile(), e, errWriteFile);
    } catch (...) {
        ReportError(ArchiveFile(), {}, errWriteFile);
    }
    return false;
}

} // namespace vlm
