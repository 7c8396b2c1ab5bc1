// The bytes of the records the writer produces, read back raw.
#include "ZipTestSupport.h"
#include "platform/UFileSys.h"

#include <map>
#include <sys/stat.h>
#include <utime.h>

using namespace vlm;
using namespace vlm::test;

namespace {

std::string Text(size_t n) {
    std::string text;
    while (text.size() < n)
        text += "<p>Compressible text of a page, line " + std::to_string(text.size()) + "</p>\n";
    text.resize(n);
    return text;
}

struct TSourceFile {
    std::string Name; // relative to the site
    std::string Content;
    bool StoredAlways; // stored whatever the deflate type
};

const std::vector<TSourceFile>& SourceFiles() {
    static const std::vector<TSourceFile> files = {
        {"empty.txt", "", true},
        {"random100.bin", RandomBytes(100, 7), true}, // deflates to more than 100 bytes
        {"random300.bin", RandomBytes(300, 8), false},
        {"page1000.htm", Text(1000), false},
        {"a.ZIP", Text(500), true},
        {"b.tar.gz", Text(500), true},
        {".dot file", Text(50), false},
        {"sub/deep.txt", Text(2000), false},
    };
    return files;
}

class ZipRecords : public ::testing::TestWithParam<TZipConfig> {
protected:
    void SetUp() override {
        for (const TSourceFile& f : SourceFiles())
            WriteFile(Dir / ("site/" + f.Name), f.Content);
        ::chmod((Dir / "site/random100.bin").c_str(), 0444);
    }
    TTempDir Dir;
};

uint16_t DeflateBits(TDeflateType type) {
    return type == dtDeflateF ? 4 : type == dtDeflateX ? 2 : 0;
}

TEST_P(ZipRecords, EveryFieldIsAsWritten) {
    const TZipConfig config = GetParam();
    TZip zip;
    TCompOptions options;
    TCompEvents events;
    TErrorLog errors;
    errors.Attach(events);
    options.ArchiveFile = Dir / "out.zip";
    options.FileSpec = {Dir / "site/*"};
    options.Password = config.Password;
    options.EncryptHeaders = config.EncryptHeaders;
    options.DeflateType = config.Type;
    ASSERT_EQ(zip.Compress(options, events), static_cast<int>(SourceFiles().size()));
    EXPECT_TRUE(errors.Entries.empty());

    const TRawArchive archive = ParseRawArchiveFile(Dir / "out.zip");
    ASSERT_EQ(archive.Members.size(), SourceFiles().size());
    EXPECT_EQ(archive.End.EntriesOnDisk, SourceFiles().size());
    EXPECT_EQ(archive.End.TotalEntries, SourceFiles().size());
    EXPECT_EQ(archive.End.DirectorySize, archive.EndOffset - archive.End.DirectoryOffset);
    EXPECT_EQ(archive.End.CommentLength, 0);
    EXPECT_TRUE(archive.Comment.empty());

    std::map<std::string, const TRawMember*> byName;
    for (const TRawMember& m : archive.Members)
        byName[m.CentralName] = &m;
    const bool encrypt = *config.Password != '\0';
    for (const TSourceFile& f : SourceFiles()) {
        SCOPED_TRACE(f.Name);
        ASSERT_EQ(byName.count(f.Name), 1u);
        const TRawMember& m = *byName[f.Name];
        const TLocalHeader& l = m.Local;
        const TCentralHeader& c = m.Central;
        const bool encrypted = encrypt && !f.Content.empty();
        const bool stored = f.StoredAlways || config.Type == dtDeflateS;
        EXPECT_EQ(m.LocalEnciphered, config.EncryptHeaders);
        EXPECT_EQ(m.CentralEnciphered, config.EncryptHeaders);
        EXPECT_EQ(m.LocalName, f.Name);
        EXPECT_EQ(l.VersionNeeded, 20);
        EXPECT_EQ(c.VersionMadeBy, 20);
        EXPECT_EQ(c.VersionNeeded, 20);
        EXPECT_EQ(l.Method, stored ? 0 : 8);
        EXPECT_EQ(l.Flags, (encrypted ? 1 : 0) | (stored ? 0 : DeflateBits(config.Type)));
        EXPECT_EQ(l.Crc, Crc32(f.Content.data(), f.Content.size()));
        EXPECT_EQ(l.UncompressedSize, f.Content.size());
        EXPECT_EQ(l.CompressedSize, m.DataEnd - m.DataOffset);
        if (stored) {
            EXPECT_EQ(l.CompressedSize, f.Content.size() + (encrypted ? 12 : 0));
        }
        if (stored && !encrypted) {
            EXPECT_EQ(archive.Bytes.substr(m.DataOffset, f.Content.size()), f.Content);
        }
        EXPECT_EQ(l.ExtraLength, 0);
        // The central header repeats the final local header.
        EXPECT_EQ(c.Flags, l.Flags);
        EXPECT_EQ(c.Method, l.Method);
        EXPECT_EQ(c.Time, l.Time);
        EXPECT_EQ(c.Date, l.Date);
        EXPECT_EQ(c.Crc, l.Crc);
        EXPECT_EQ(c.CompressedSize, l.CompressedSize);
        EXPECT_EQ(c.UncompressedSize, l.UncompressedSize);
        EXPECT_EQ(c.ExtraLength, 0);
        EXPECT_EQ(c.CommentLength, 0);
        EXPECT_EQ(c.DiskNumberStart, 0);
        EXPECT_EQ(c.InternalAttributes, 1);
        const uint32_t attr = static_cast<uint32_t>(FileGetAttr(Dir / ("site/" + f.Name)));
        EXPECT_EQ(c.ExternalAttributes, attr & 0x40BF);
        if (encrypted) {
            const std::string header = DecryptEncryptionHeader(archive, m, config.Password);
            EXPECT_EQ(static_cast<uint8_t>(header[10]), static_cast<uint8_t>(l.Crc >> 16));
            EXPECT_EQ(static_cast<uint8_t>(header[11]), static_cast<uint8_t>(l.Crc >> 24));
        }
        const bool nameInPlain = archive.Bytes.find(f.Name) != std::string::npos;
        EXPECT_EQ(nameInPlain, !config.EncryptHeaders);
    }
    const bool plainSignatures = archive.Bytes.find("PK\x03\x04") != std::string::npos ||
                                 archive.Bytes.find("PK\x01\x02") != std::string::npos;
    EXPECT_EQ(plainSignatures, !config.EncryptHeaders);
}

INSTANTIATE_TEST_SUITE_P(
    Configurations, ZipRecords,
    ::testing::Values(TZipConfig{dtDeflateN, "", false}, TZipConfig{dtDeflateN, "Qm42Tx7150", true},
                      TZipConfig{dtDeflateX, "pw", false}, TZipConfig{dtDeflateF, "pw", true},
                      TZipConfig{dtDeflateS, "pw", true}, TZipConfig{dtDeflateN, "", true}));

// The archive out.zip in dir of the files spec names, encrypted with password when it is
// given; the number of files the writer added.
int PackInto(const TTempDir& dir, const std::string& spec, const std::string& password = "") {
    TZip zip;
    TCompOptions options;
    TCompEvents events;
    options.ArchiveFile = dir / "out.zip";
    options.FileSpec = {spec};
    options.Password = password;
    return zip.Compress(options, events);
}

TEST(ZipRecordsSingle, TimeAndDateAreTheFilesLocalDosTime) {
    TTempDir dir;
    WriteFile(dir / "site/a.txt", "abc");
    struct tm local {};
    local.tm_year = 2020 - 1900;
    local.tm_mon = 5;
    local.tm_mday = 15;
    local.tm_hour = 12;
    local.tm_min = 34;
    local.tm_sec = 56;
    local.tm_isdst = -1;
    const time_t when = mktime(&local);
    const struct utimbuf times { when, when };
    ASSERT_EQ(::utime((dir / "site/a.txt").c_str(), &times), 0);
    ASSERT_EQ(PackInto(dir, dir / "site/a.txt"), 1);
    const TRawArchive archive = ParseRawArchiveFile(dir / "out.zip");
    ASSERT_EQ(archive.Members.size(), 1u);
    EXPECT_EQ(archive.Members[0].Local.Date, (2020 - 1980) << 9 | 6 << 5 | 15);
    EXPECT_EQ(archive.Members[0].Local.Time, 12 << 11 | 34 << 5 | 28);
}

TEST(ZipRecordsSingle, NonAsciiNamesCarryTheUtf8Flag) {
    TTempDir dir;
    const std::string names[] = {"caf\xc3\xa9.txt", "plain.txt"};
    for (const std::string& name : names)
        WriteFile(dir / ("site/" + name), "content of " + name);
    ASSERT_EQ(PackInto(dir, dir / "site/*", "pw"), 2);
    const TRawArchive archive = ParseRawArchiveFile(dir / "out.zip");
    ASSERT_EQ(archive.Members.size(), 2u);
    for (const TRawMember& m : archive.Members) {
        const bool utf8 = m.CentralName != "plain.txt";
        EXPECT_EQ((m.Local.Flags & FlagUtf8Name) != 0, utf8) << m.CentralName;
        EXPECT_EQ(m.Central.Flags, m.Local.Flags) << m.CentralName;
        EXPECT_EQ(m.Central.VersionMadeBy, utf8 ? 0x0B14 : 20) << m.CentralName;
        EXPECT_EQ(m.Local.Flags & ~FlagUtf8Name, FlagEncrypted) << m.CentralName;
    }
}

TEST(ZipRecordsSingle, IdenticalContentsGetDifferentEncryptionHeaders) {
    TTempDir dir;
    WriteFile(dir / "site/one.txt", Text(3000));
    WriteFile(dir / "site/two.txt", Text(3000));
    ASSERT_EQ(PackInto(dir, dir / "site/*", "pw"), 2);
    const TRawArchive archive = ParseRawArchiveFile(dir / "out.zip");
    ASSERT_EQ(archive.Members.size(), 2u);
    const TRawMember& a = archive.Members[0];
    const TRawMember& b = archive.Members[1];
    ASSERT_EQ(a.Local.CompressedSize, b.Local.CompressedSize);
    EXPECT_NE(archive.Bytes.substr(a.DataOffset, 12), archive.Bytes.substr(b.DataOffset, 12));
    EXPECT_NE(archive.Bytes.substr(a.DataOffset + 12, a.Local.CompressedSize - 12),
              archive.Bytes.substr(b.DataOffset + 12, b.Local.CompressedSize - 12));
}

} // namespace
