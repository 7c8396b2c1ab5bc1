#include "ArchiveFixtures.h"

#include "TestSupport.h"

#include <map>
#include <stdexcept>
#include <zlib.h>

namespace vlm::test {

std::string Deflate(const std::string& data) {
    z_stream zs{};
    if (deflateInit2(&zs, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END)
        throw std::runtime_error("deflate failed");
    return out;
}

namespace {

template <size_t N> std::string Bytes(const std::array<uint8_t, N>& record) {
    return std::string(reinterpret_cast<const char*>(record.data()), N);
}

uint8_t* Raw(std::string& s, size_t offset) {
    return reinterpret_cast<uint8_t*>(s.data()) + offset;
}

// A header record and its name, enciphered in place when asked.
std::string HeaderWithName(std::string record, std::string name, bool encipher) {
    if (encipher) {
        Raw(record, 0)[1] = 0x4C;
        EncipherHeader(Raw(record, 0), record.size(), Raw(name, 0), name.size());
    }
    return record + name;
}

} // namespace

namespace {

std::string LittleEndian(uint64_t value, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

// A Zip64 extended information field (APPNOTE 4.5.3) holding values.
std::string Zip64Extra(std::initializer_list<uint64_t> values) {
    std::string extra = LittleEndian(1, 2) + LittleEndian(8 * values.size(), 2);
    for (uint64_t value : values)
        extra += LittleEndian(value, 8);
    return extra;
}

TCentralHeader CentralFor(const TLocalHeader& local, size_t offset) {
    TCentralHeader central;
    central.Flags = local.Flags;
    central.Method = local.Method;
    central.Time = local.Time;
    central.Date = local.Date;
    central.Crc = local.Crc;
    central.CompressedSize = local.CompressedSize;
    central.UncompressedSize = local.UncompressedSize;
    central.NameLength = local.NameLength;
    central.InternalAttributes = InternalAttributes;
    central.ExternalAttributes = 32;
    central.LocalHeaderOffset = static_cast<uint32_t>(offset);
    return central;
}

} // namespace

std::string TTestArchive::Payload(const TTestMember& m, TLocalHeader& local) const {
    local.Method = m.Data.empty() ? MethodStored : m.Method;
    local.Crc = Crc32(m.Data.data(), m.Data.size());
    local.UncompressedSize = static_cast<uint32_t>(m.Data.size());
    local.NameLength = static_cast<uint16_t>(m.Name.size());
    local.Time = 0x6C21;
    local.Date = 0x5A8E;
    std::string payload = local.Method == MethodDeflated ? Deflate(m.Data) : m.Data;
    if (!m.Password.empty() && !m.Data.empty()) {
        TCipher cipher;
        const auto header = cipher.MakeEncryptionHeader(m.Password, local.Crc);
        cipher.EncryptBytes(payload.data(), payload.size());
        payload = Bytes(header) + payload;
        local.Flags |= FlagEncrypted;
    }
    payload += m.Junk;
    local.CompressedSize = static_cast<uint32_t>(payload.size());
    return payload;
}

std::string TTestArchive::Build() const {
    std::string archive, directory;
    for (size_t i = 0; i < Members.size(); ++i) {
        const TTestMember& m = Members[i];
        TLocalHeader local;
        const std::string payload = Payload(m, local);
        TCentralHeader central = CentralFor(local, archive.size());
        std::string localExtra, centralExtra;
        if (Zip64) {
            localExtra = Zip64Extra({m.Data.size(), payload.size()});
            centralExtra = Zip64Extra({m.Data.size(), payload.size(), archive.size()});
            local.CompressedSize = local.UncompressedSize = 0xFFFFFFFF;
            central.CompressedSize = central.UncompressedSize = 0xFFFFFFFF;
            central.LocalHeaderOffset = 0xFFFFFFFF;
            local.ExtraLength = static_cast<uint16_t>(localExtra.size());
            central.ExtraLength = static_cast<uint16_t>(centralExtra.size());
        }
        if (EditLocal)
            EditLocal(i, local);
        if (EditCentral)
            EditCentral(i, central);
        archive +=
            HeaderWithName(Bytes(local.Pack()), m.Name, EncipherHeaders) + localExtra + payload;
        directory += HeaderWithName(Bytes(central.Pack()), m.Name, EncipherHeaders) + centralExtra;
    }
    TEndRecord end;
    end.EntriesOnDisk = end.TotalEntries = static_cast<uint16_t>(Members.size());
    end.DirectorySize = static_cast<uint32_t>(directory.size());
    end.DirectoryOffset = static_cast<uint32_t>(archive.size());
    end.CommentLength = static_cast<uint16_t>(Comment.size());
    std::string zip64;
    if (Zip64) {
        // APPNOTE 4.3.14 and 4.3.15: the Zip64 end record and its locator.
        std::string record = LittleEndian(0x06064B50, 4) + LittleEndian(44, 8) +
                             LittleEndian(45, 2) + LittleEndian(45, 2) + LittleEndian(0, 8) +
                             LittleEndian(Members.size(), 8) + LittleEndian(Members.size(), 8) +
                             LittleEndian(directory.size(), 8) + LittleEndian(archive.size(), 8);
        std::string locator = LittleEndian(0x07064B50, 4) + LittleEndian(0, 4) +
                              LittleEndian(archive.size() + directory.size(), 8) +
                              LittleEndian(1, 4);
        if (EditZip64)
            EditZip64(record, locator);
        zip64 = record + locator;
        end.EntriesOnDisk = end.TotalEntries = 0xFFFF;
        end.DirectorySize = end.DirectoryOffset = 0xFFFFFFFF;
    }
    if (EditEnd)
        EditEnd(end);
    return archive + directory + zip64 + Bytes(end.Pack()) + Comment;
}

std::string EncipherArchiveHeaders(std::string archive) {
    const size_t endPos = archive.rfind(std::string("PK\x05\x06", 4));
    if (endPos == std::string::npos)
        throw std::runtime_error("no end record");
    const TEndRecord end = TEndRecord::Unpack(Raw(archive, endPos));
    size_t pos = end.DirectoryOffset;
    for (int n = 0; n < end.TotalEntries; ++n) {
        const TCentralHeader c = TCentralHeader::Unpack(Raw(archive, pos));
        const TLocalHeader l = TLocalHeader::Unpack(Raw(archive, c.LocalHeaderOffset));
        Raw(archive, c.LocalHeaderOffset)[1] = 0x4C;
        EncipherHeader(Raw(archive, c.LocalHeaderOffset), LocalHeaderSize,
                       Raw(archive, c.LocalHeaderOffset + LocalHeaderSize), l.NameLength);
        Raw(archive, pos)[1] = 0x4C;
        EncipherHeader(Raw(archive, pos), CentralHeaderSize, Raw(archive, pos + CentralHeaderSize),
                       c.NameLength);
        pos += CentralHeaderSize + c.NameLength + c.ExtraLength + c.CommentLength;
    }
    return archive;
}

std::string MakeExecutable(const std::string& viewer, const std::string& archive) {
    std::string trailer(8, '\0');
    PutU64(Raw(trailer, 0), viewer.size());
    return viewer + archive + trailer;
}

namespace {
const char* const PythonZipScript = R"(
import sys, zipfile
out, method, mode, comment = sys.argv[1:5]
class Unseekable:
    def __init__(self, f): self.f = f
    def write(self, b): return self.f.write(b)
    def flush(self): self.f.flush()
raw = open(out, 'wb')
target = Unseekable(raw) if mode == 'streamed' else raw
compression = zipfile.ZIP_DEFLATED if method == 'deflate' else zipfile.ZIP_STORED
with zipfile.ZipFile(target, 'w', compression) as z:
    z.comment = comment.encode()
    args = sys.argv[5:]
    for name, path in zip(args[0::2], args[1::2]):
        info = zipfile.ZipInfo(name, (2020, 5, 17, 13, 25, 58))
        info.compress_type = compression
        with z.open(info, 'w', force_zip64=(mode == 'zip64')) as member:
            member.write(open(path, 'rb').read())
raw.close()
)";
} // namespace

std::string MakePythonZip(const std::vector<TZipEntry>& entries, const std::string& comment,
                          bool deflate, bool streamed, bool zip64) {
    // Starting python3 takes far longer than the tests that read its archives: one archive
    // is made once per test program (a repeated test asks for the same ones again).
    static std::map<std::string, std::string> made;
    std::string key =
        comment + '\0' + (deflate ? "d" : "s") + (streamed ? "t" : "f") + (zip64 ? "z" : "n");
    for (const TZipEntry& entry : entries)
        key += '\0' + entry.Name + '\0' + std::to_string(entry.Data.size()) + '\0' + entry.Data;
    if (const auto it = made.find(key); it != made.end())
        return it->second;
    TTempDir work;
    std::vector<std::string> args{"-c",
                                  PythonZipScript,
                                  work / "out.zip",
                                  deflate ? "deflate" : "store",
                                  streamed ? "streamed"
                                  : zip64  ? "zip64"
                                           : "seekable",
                                  comment};
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string path = work / ("data" + std::to_string(i));
        WriteFile(path, entries[i].Data);
        args.push_back(entries[i].Name);
        args.push_back(path);
    }
    const TProcessResult r = RunProcess("python3", args);
    if (r.ExitCode != 0)
        throw std::runtime_error("python3 zipfile failed: " + r.Err);
    return made[key] = ReadFile(work / "out.zip");
}

std::string Make7zEncryptedZip(const std::vector<TZipEntry>& entries, const std::string& password) {
    if (!HaveProgram("7zz"))
        return {};
    TTempDir work;
    std::vector<std::string> args{"a",     "-tzip", "-p" + password, "-mem=ZipCrypto",
                                  "-bso0", "-bsp0", work / "out.zip"};
    for (const TZipEntry& entry : entries) {
        WriteFile(work / ("in/" + entry.Name), entry.Data);
        args.push_back(entry.Name);
    }
    const TProcessResult r = RunProcess("7zz", args, {}, {}, work / "in");
    if (r.ExitCode != 0)
        throw std::runtime_error("7zz failed: " + r.Err);
    return ReadFile(work / "out.zip");
}

} // namespace vlm::test
