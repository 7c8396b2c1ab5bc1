#include "archive/arcZip.h"

#include "archive/arcFileIo.h"
#include "archive/arcReader.h"
#include "platform/UErrors.h"
#include "platform/UFileSys.h"

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
    DirectoryProgress();
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

// What a comment edit keeps between its steps: the archive's layout as the reader found
// it, and what the edit reports through.
struct TZipBase::TCommentEdit {
    TCompOptions Options; // the archive (its name resolved), the temporary folder, the token
    TCompEvents Events;
    uint64_t FileSize = 0;
    uint64_t EndRecordOffset = 0;
    uint64_t ArchiveOffset = 0; // where the archive begins (an executable output's trailer)
    bool Trailer = false;       // an executable output's trailer follows the comment
    int Count = 0;
    std::string Comment;
    bool Changed = false;
};

int TZipBase::BeginCommentEdit(const TCompOptions& options, const TCompEvents& events) noexcept {
    FEdit.reset();
    try {
        auto edit = std::make_unique<TCommentEdit>();
        edit->Options.ArchiveFile = ArchiveFileName(options.ArchiveFile, options.DefaultExt);
        edit->Options.TempDir = options.TempDir;
        edit->Options.Cancel = options.Cancel;
        edit->Events = events;
        const TRunScope scope(*this, &edit->Options, &edit->Events);
        const std::string& archive = edit->Options.ArchiveFile;
        if (archive.empty())
            return 0;
        try {
            const TArchiveReader reader(archive);
            edit->FileSize = static_cast<uint64_t>(FileSizeOf(archive));
            edit->EndRecordOffset = reader.EndRecordOffset();
            edit->ArchiveOffset = reader.ArchiveOffset();
            edit->Count = static_cast<int>(reader.Members().size());
            edit->Comment = reader.Comment();
            edit->Trailer =
                edit->FileSize > edit->EndRecordOffset + EndRecordSize + edit->Comment.size();
        } catch (const EStreamError& e) {
            ReportError(archive, SysErrorMessage(e.ErrorNumber), errOpenFile);
            return 0;
        } catch (const std::exception& e) {
            ReportError(archive, e.what(), errOpenFile);
            return 0;
        }
        FEdit = std::move(edit);
        return FEdit->Count;
    } catch (...) {
        return 0;
    }
}

void TZipBase::SetArchiveComment(const char* bytes, int16_t length) noexcept {
    if (!FEdit || bytes == nullptr || length < 0)
        return;
    const std::string_view comment(bytes, static_cast<size_t>(length));
    if (comment == FEdit->Comment)
        return;
    try {
        FEdit->Comment = comment;
        FEdit->Changed = true;
    } catch (...) {
    }
}

std::string_view TZipBase::GetArchiveComment() const noexcept {
    if (!FEdit)
        return {};
    return FEdit->Comment;
}

// Copies the archive up to its end record into output, then writes the end record with the
// edit's comment (APPNOTE 4.3.16) and an executable output's trailer. False after a
// reported error.
bool TZipBase::RewriteEnd(const TCommentEdit& edit, TTempOutput& output) {
    const std::string& archive = edit.Options.ArchiveFile;
    std::unique_ptr<TFileStream> in;
    try {
        in = std::make_unique<TFileStream>(archive, TFileMode::OpenRead);
    } catch (const EFOpenError& e) {
        ReportError(archive, SysErrorMessage(e.ErrorNumber), errOpenFile);
        return false;
    }
    // The directory read at the start of the edit must still be the archive's.
    if (in->Size() != static_cast<int64_t>(edit.FileSize)) {
        ReportError(archive, "The archive changed while its comment was edited", errOpenFile);
        return false;
    }
    TFileStream& out = output.Stream();
    CopyStream(*in, out, static_cast<int64_t>(edit.EndRecordOffset), [this] { KeepGoing(); });
    uint8_t record[EndRecordSize];
    in->ReadBuffer(record, sizeof record);
    PutU16(record + EndRecordSize - 2, static_cast<uint16_t>(edit.Comment.size()));
    Progress({});
    out.WriteBuffer(record, sizeof record);
    out.WriteBuffer(edit.Comment.data(), edit.Comment.size());
    if (edit.Trailer) {
        uint8_t trailer[8];
        PutU64(trailer, edit.ArchiveOffset);
        out.WriteBuffer(trailer, sizeof trailer);
    }
    return true;
}

bool TZipBase::CommitCommentEdit() noexcept {
    const std::unique_ptr<TCommentEdit> edit = std::move(FEdit);
    if (!edit)
        return false;
    const TRunScope scope(*this, &edit->Options, &edit->Events);
    const std::string& archive = edit->Options.ArchiveFile;
    std::string tempFile;
    try {
        if (Cancelled())
            return false;
        if (!edit->Changed)
            return true;
        const std::unique_ptr<TTempOutput> output = OpenTempOutput(edit->Options.TempDir);
        if (!output)
            return false;
        tempFile = output->FileName();
        return RewriteEnd(*edit, *output) && PutInPlace(*output, archive);
    } catch (const EWriteError& e) {
        // Before the move into place only the temporary output is written.
        ReportTempWriteError(tempFile, e);
    } catch (const std::exception& e) {
        ReportStreamError(archive, e, errWriteFile);
    } catch (...) {
        ReportError(archive, {}, errWriteFile);
    }
    return false;
}

} // namespace vlm
