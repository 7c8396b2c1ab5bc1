#include "ZipTestSupport.h"

namespace vlm::test {

namespace {
const uint8_t* At(const std::string& bytes, size_t offset) {
    return reinterpret_cast<const uint8_t*>(bytes.data()) + offset;
}

size_t FindEnd(const std::string& bytes) {
    for (size_t at = bytes.size() - EndRecordSize + 1; at-- > 0;)
        if (GetU32(At(bytes, at)) == EndRecordSignature &&
            at + EndRecordSize + GetU16(At(bytes, at + 20)) == bytes.size())
            return at;
    return std::string::npos;
}

// Reads a header of size bytes at offset, deciphering it when its signature says so.
template <typename THeader>
bool ReadHeader(const std::string& bytes, size_t offset, size_t size, uint32_t plain,
                uint32_t enciphered, THeader& header, std::string& name, bool& isEnciphered) {
    if (offset + size > bytes.size())
        return false;
    std::string record = bytes.substr(offset, size);
    auto* raw = reinterpret_cast<uint8_t*>(record.data());
    const uint32_t signature = GetU32(raw);
    if (signature != plain && signature != enciphered)
        return false;
    isEnciphered = signature == enciphered;
    TCipher cipher;
    if (isEnciphered)
        cipher = DecipherHeader(raw, size);
    header = THeader::Unpack(raw);
    if (offset + size + header.NameLength > bytes.size())
        return false;
    name = bytes.substr(offset + size, header.NameLength);
    if (isEnciphered)
        cipher.DecryptBytes(name.data(), name.size());
    return true;
}
} // namespace

TRawArchive ParseRawArchive(const std::string& bytes) {
    TRawArchive archive;
    archive.Bytes = bytes;
    archive.EndOffset = bytes.size() < EndRecordSize ? std::string::npos : FindEnd(bytes);
    if (archive.EndOffset == std::string::npos) {
        ADD_FAILURE() << "no end record";
        return archive;
    }
    archive.End = TEndRecord::Unpack(At(bytes, archive.EndOffset));
    archive.Comment = bytes.substr(archive.EndOffset + EndRecordSize);
    size_t p = archive.End.DirectoryOffset;
    for (int i = 0; i < archive.End.TotalEntries; ++i) {
        TRawMember m;
        if (!ReadHeader(bytes, p, CentralHeaderSize, CentralHeaderSignature,
                        EncipheredCentralHeaderSignature, m.Central, m.CentralName,
                        m.CentralEnciphered)) {
            ADD_FAILURE() << "bad central header " << i << " at " << p;
            return archive;
        }
        p += CentralHeaderSize + m.Central.NameLength + m.Central.ExtraLength +
             m.Central.CommentLength;
        m.LocalOffset = m.Central.LocalHeaderOffset;
        if (!ReadHeader(bytes, m.LocalOffset, LocalHeaderSize, LocalHeaderSignature,
                        EncipheredLocalHeaderSignature, m.Local, m.LocalName, m.LocalEnciphered)) {
            ADD_FAILURE() << "bad local header " << i << " at " << m.LocalOffset;
            return archive;
        }
        m.DataOffset = m.LocalOffset + LocalHeaderSize + m.Local.NameLength + m.Local.ExtraLength;
        archive.Members.push_back(m);
    }
    if (p != archive.EndOffset)
        ADD_FAILURE() << "the directory ends at " << p << ", the end record is at "
                      << archive.EndOffset;
    // Members follow each other without gaps, from offset 0 up to the directory.
    size_t expected = 0;
    for (size_t i = 0; i < archive.Members.size(); ++i) {
        TRawMember& m = archive.Members[i];
        EXPECT_EQ(m.LocalOffset, expected) << "member " << i;
        m.DataEnd = i + 1 < archive.Members.size() ? archive.Members[i + 1].LocalOffset
                                                   : archive.End.DirectoryOffset;
        expected = m.DataEnd;
    }
    EXPECT_EQ(expected, archive.End.DirectoryOffset);
    return archive;
}

TRawArchive ParseRawArchiveFile(const std::string& path) {
    return ParseRawArchive(ReadFile(path));
}

std::string DecryptEncryptionHeader(const TRawArchive& archive, const TRawMember& member,
                                    const std::string& password) {
    std::string header = archive.Bytes.substr(member.DataOffset, EncryptionHeaderSize);
    TCipher cipher;
    cipher.InitKeys(password);
    cipher.DecryptBytes(header.data(), header.size());
    return header;
}

void TErrorLog::Attach(TCompEvents& events) {
    events.OnError = [this](TCompBase&, const std::string& fileName, const std::string& extendedMsg,
                            const std::string&, int code) {
        Entries.push_back({fileName, extendedMsg, code});
    };
}

std::vector<int> TErrorLog::Codes() const {
    std::vector<int> codes;
    for (const TEntry& e : Entries)
        codes.push_back(e.Code);
    return codes;
}

} // namespace vlm::test
