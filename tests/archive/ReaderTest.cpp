#include "archive/arcReader.h"
#include "platform/UTestHooks.h"

#include "ArchiveFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vlm;
using namespace vlm::test;

namespace {

const std::string Password = "Qm42Tx7150";

std::string Text(size_t size) {
    std::string text;
    while (text.size() < size)
        text += "<p>Line " + std::to_string(text.size()) + " of a page.</p>\r\n";
    return text.substr(0, size);
}

class Reader : public ::testing::Test {
protected:
    // Writes bytes to a file of the test's folder and returns its path.
    std::string Put(const std::string& bytes, const std::string& name = "a.vlm") {
        WriteFile(Dir / name, bytes);
        return Dir / name;
    }
    // The message of the EArchiveError that opening or reading every member gives.
    std::string ErrorOf(const std::string& bytes, const std::string& password = Password) {
        try {
            TArchiveReader reader(Put(bytes));
            for (size_t i = 0; i < reader.Members().size(); ++i)
                reader.ReadMember(i, password, [](const char*, size_t) {});
        } catch (const EArchiveError& e) {
            return e.what();
        }
        return "no error";
    }
    TTempDir Dir;
};

TEST_F(Reader, ReadsEveryFormBack) {
    const std::vector<TTestMember> contents = {
        {"empty.htm", ""},
        {"one.bin", "x"},
        {"random 300.bin", RandomBytes(300, 3)},
        {"C:/site/big page.htm", Text(300000)},
        {"d\xc3\xa9j\xc3\xa0/noise.bin", RandomBytes(150000, 4)},
    };
    for (const uint16_t method : {MethodStored, MethodDeflated})
        for (const bool encrypt : {false, true})
            for (const bool encipher : {false, true})
                for (const bool executable : {false, true}) {
                    TTestArchive archive;
                    archive.Comment = "/tmp/vlmpack-1/VLM.settings";
                    archive.EncipherHeaders = encipher;
                    for (TTestMember m : contents) {
                        m.Method = method;
                        m.Password = encrypt ? Password : "";
                        archive.Members.push_back(m);
                    }
                    const std::string bytes = archive.Build();
                    const std::string viewer = executable ? RandomBytes(70000, 9) : "";
                    const std::string path =
                        Put(executable ? MakeExecutable(viewer, bytes) : bytes);
                    const std::string form = std::to_string(method) + (encrypt ? " enc" : "") +
                                             (encipher ? " hdr" : "") + (executable ? " exe" : "");
                    TArchiveReader reader(path);
                    EXPECT_EQ(reader.ArchiveOffset(), viewer.size()) << form;
                    EXPECT_EQ(reader.IsExecutable(), executable) << form;
                    EXPECT_EQ(reader.ArchiveSize(), bytes.size()) << form;
                    EXPECT_EQ(reader.Comment(), archive.Comment) << form;
                    ASSERT_EQ(reader.Members().size(), contents.size()) << form;
                    for (size_t i = 0; i < contents.size(); ++i) {
                        const TArchiveMember& m = reader.Members()[i];
                        EXPECT_EQ(m.Name, contents[i].Name) << form;
                        EXPECT_EQ(m.HeadersEnciphered, encipher) << form;
                        EXPECT_EQ(m.Central.Flags & 1, encrypt && i > 0 ? 1 : 0) << form;
                        EXPECT_TRUE(reader.ReadMemberText(i, Password) == contents[i].Data)
                            << form << " " << m.Name;
                    }
                }
}

TEST_F(Reader, ReadsArchivesOfPythonsZipfile) {
    if (!HaveProgram("python3"))
        GTEST_SKIP() << "python3 is not installed";
    const std::vector<TZipEntry> entries = {
        {"index.htm", Text(5000)}, {"img/a.gif", RandomBytes(70000, 2)}, {"empty", ""}};
    for (const bool deflate : {false, true})
        for (const bool streamed : {false, true}) {
            const std::string plain = MakePythonZip(entries, "a comment", deflate, streamed);
            for (const bool encipher : {false, true}) {
                const std::string bytes = encipher ? EncipherArchiveHeaders(plain) : plain;
                TArchiveReader reader(Put(bytes));
                EXPECT_EQ(reader.Comment(), "a comment");
                ASSERT_EQ(reader.Members().size(), entries.size());
                for (size_t i = 0; i < entries.size(); ++i) {
                    EXPECT_EQ(reader.Members()[i].Name, entries[i].Name);
                    EXPECT_EQ(reader.Members()[i].HeadersEnciphered, encipher);
                    EXPECT_TRUE(reader.ReadMemberText(i, "") == entries[i].Data)
                        << entries[i].Name << " deflate " << deflate << " streamed " << streamed;
                }
            }
        }
}

TEST_F(Reader, ReadsZip64Forms) {
    TTestArchive a;
    a.Zip64 = true;
    a.Members = {{"empty", ""},
                 {"page.htm", Text(100000), MethodDeflated, Password},
                 {"noise.bin", RandomBytes(3000), MethodStored}};
    for (const bool encipher : {false, true})
        for (const std::string viewer : {"", "MZ-viewer"}) {
            a.EncipherHeaders = encipher;
            const std::string bytes = a.Build();
            TArchiveReader reader(Put(viewer.empty() ? bytes : MakeExecutable(viewer, bytes)));
            EXPECT_EQ(reader.ArchiveOffset(), viewer.size());
            ASSERT_EQ(reader.Members().size(), 3u);
            for (size_t i = 0; i < 3; ++i) {
                const TArchiveMember& m = reader.Members()[i];
                EXPECT_EQ(m.Central.UncompressedSize, 0xFFFFFFFFu);
                EXPECT_EQ(m.UncompressedSize, a.Members[i].Data.size());
                EXPECT_TRUE(reader.ReadMemberText(i, Password) == a.Members[i].Data) << m.Name;
            }
        }
}

TEST_F(Reader, ReadsZip64ArchivesOfPythonsZipfile) {
    if (!HaveProgram("python3"))
        GTEST_SKIP() << "python3 is not installed";
    const std::vector<TZipEntry> entries = {{"a.htm", Text(3000)}, {"b.bin", RandomBytes(99)}};
    TArchiveReader python(Put(MakePythonZip(entries, "", true, false, true)));
    ASSERT_EQ(python.Members().size(), 2u);
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_TRUE(python.ReadMemberText(i, "") == entries[i].Data);
        // The local header, read with the member, holds the sizes in its Zip64 field.
        EXPECT_EQ(python.Members()[i].Local.UncompressedSize, 0xFFFFFFFFu);
    }
}

TEST_F(Reader, ReadsTraditionalEncryptionOf7Zip) {
    const std::vector<TZipEntry> entries = {{"page.htm", Text(20000)},
                                            {"sub/data.bin", RandomBytes(1000, 5)}};
    const std::string plain = Make7zEncryptedZip(entries, "PASS word");
    if (plain.empty())
        GTEST_SKIP() << "7zz is not installed";
    for (const std::string& bytes :
         {plain, EncipherArchiveHeaders(plain), MakeExecutable("MZviewer", plain)}) {
        TArchiveReader reader(Put(bytes));
        ASSERT_EQ(reader.Members().size(), 2u);
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(reader.Members()[i].Name, entries[i].Name);
            EXPECT_TRUE(reader.ReadMemberText(i, "PASS word") == entries[i].Data);
        }
    }
    // One wrong password in 256 passes a member's check byte and fails on its data.
    EXPECT_NE(ErrorOf(plain, "pass word").find("password"), std::string::npos);
    EXPECT_NE(ErrorOf(plain, "").find("no password was given"), std::string::npos);
}

TEST_F(Reader, DamagedAndHostileArchivesGiveClearErrors) {
    // Fixed header bytes: with random ones, one wrong password in 256 passes the check byte.
    const test_hooks::TFixedHeaderSeed fixedHeaders(1);
    const auto archiveOf = [](std::function<void(TTestArchive&)> edit, bool deflate = false) {
        TTestArchive a;
        a.Members = {{"a.htm", Text(3000), deflate ? MethodDeflated : MethodStored, Password},
                     {"b.htm", Text(500), MethodDeflated}};
        if (edit)
            edit(a);
        return a.Build();
    };
    const std::string good = archiveOf({});
    std::string badCentral = good, badLocal = good, flipped = good;
    badCentral[TEndRecord::Unpack(reinterpret_cast<const uint8_t*>(good.data()) + good.size() -
                                  EndRecordSize)
                   .DirectoryOffset +
               2] = 'X';
    badLocal[2] = 'X';
    flipped[LocalHeaderSize + 5 + 100] ^= 0x55;
    std::string eightMore = good + "12345678";
    std::string trailerOutside = MakeExecutable("viewer", good);
    trailerOutside[trailerOutside.size() - 3] = 0x40;
    const struct {
        const char* Case;
        std::string Bytes;
        std::string Password;
        const char* Message;
    } cases[] = {
        {"tiny", "PK\x05\x06", Password, "too short"},
        {"no end record", RandomBytes(5000), Password, "No end of central directory"},
        {"comment past end",
         archiveOf([](auto& a) { a.EditEnd = [](auto& e) { e.CommentLength = 9; }; }), Password,
         "comment length does not fit"},
        {"directory offset",
         archiveOf([](auto& a) { a.EditEnd = [](auto& e) { e.DirectoryOffset = 0x7FFFFFF0; }; }),
         Password, "central directory lies outside"},
        {"entry count", archiveOf([](auto& a) {
             a.EditEnd = [](auto& e) { e.EntriesOnDisk = e.TotalEntries = 60000; };
         }),
         Password, "too small for its 60000 records"},
        {"disks", archiveOf([](auto& a) { a.EditEnd = [](auto& e) { e.DiskNumber = 1; }; }),
         Password, "several disks"},
        {"central signature", badCentral, Password, "Central header 1 at offset"},
        {"local signature", badLocal, Password, "\"a.htm\": its local header at offset 0"},
        {"name length", archiveOf([](auto& a) {
             a.EditCentral = [](size_t i, auto& c) {
                 c.NameLength = static_cast<uint16_t>(i ? 60000 : 5);
             };
         }),
         Password, "Central header 2: its name and fields run past"},
        {"local offset", archiveOf([](auto& a) {
             a.EditCentral = [](size_t i, auto& c) { c.LocalHeaderOffset = i ? 0xFFFFFF00u : 0; };
         }),
         Password, "\"b.htm\": its local header offset lies outside"},
        {"compressed size", archiveOf([](auto& a) {
             a.EditCentral = [](size_t, auto& c) { c.CompressedSize = 0xFFFFFFF0u; };
         }),
         Password, "\"a.htm\": its data run past"},
        {"overlap", archiveOf([](auto& a) {
             a.EditCentral = [](size_t, auto& c) { c.LocalHeaderOffset = 0; };
         }),
         Password, "overlap those of member"},
        {"eight junk bytes", eightMore, Password, "trailer's archive offset 4050765991979987505"},
        {"trailer outside", trailerOutside, Password, "trailer's archive offset"},
        {"wrong password", good, "Qm42Tx7151", "\"a.htm\": the password is wrong"},
        {"flipped data", flipped, Password, "\"a.htm\": CRC error"},
        {"method", archiveOf([](auto& a) {
             a.EditLocal = [](size_t, auto& l) { l.Method = 12; };
             a.EditCentral = [](size_t, auto& c) { c.Method = 12; };
         }),
         Password, "compression method 12 is not supported"},
        {"local disagrees",
         archiveOf([](auto& a) { a.EditLocal = [](size_t, auto& l) { l.Crc ^= 1; }; }), Password,
         "sizes in its local header differ"},
        {"size too small", archiveOf([](auto& a) {
             a.EditLocal = [](size_t i, auto& l) {
                 if (i)
                     l.UncompressedSize = 100;
             };
             a.EditCentral = [](size_t i, auto& c) {
                 if (i)
                     c.UncompressedSize = 100;
             };
         }),
         Password, "\"b.htm\": its data are longer than its recorded size of 100"},
        {"size too large", archiveOf([](auto& a) {
             a.EditLocal = [](size_t i, auto& l) {
                 if (i)
                     l.UncompressedSize = 501;
             };
             a.EditCentral = [](size_t i, auto& c) {
                 if (i)
                     c.UncompressedSize = 501;
             };
         }),
         Password, "\"b.htm\": its data are 500 bytes long, not the recorded 501"},
        {"deflate cut short", archiveOf([](auto& a) {
             a.EditLocal = [](size_t i, auto& l) {
                 if (i)
                     l.CompressedSize -= 10;
             };
             a.EditCentral = [](size_t i, auto& c) {
                 if (i)
                     c.CompressedSize -= 10;
             };
         }),
         Password, "\"b.htm\": its deflated data end before the end of the stream"},
        {"zip64 locator", archiveOf([](auto& a) {
             a.Zip64 = true;
             a.EditZip64 = [](std::string&, std::string& locator) { locator[15] = 0x7F; };
         }),
         Password, "does not lead to a Zip64 end record"},
        {"zip64 disks", archiveOf([](auto& a) {
             a.Zip64 = true;
             a.EditZip64 = [](std::string& record, std::string&) { record[16] = 1; };
         }),
         Password, "several disks"},
        {"zip64 entries", archiveOf([](auto& a) {
             a.Zip64 = true;
             a.EditZip64 = [](std::string& record, std::string&) { record[29] = record[37] = 1; };
         }),
         Password, "too small for its 1099511627778 records"},
        {"zip64 extra missing", archiveOf([](auto& a) {
             a.EditCentral = [](size_t, auto& c) { c.UncompressedSize = 0xFFFFFFFF; };
         }),
         Password, "\"a.htm\": its Zip64 extra field is missing"},
        {"deflate with extra bytes", archiveOf([](auto& a) { a.Members[1].Junk = "0123456789"; }),
         Password, "\"b.htm\": its deflated data end before its recorded compressed size"},
    };
    for (const auto& c : cases) {
        const std::string message = ErrorOf(c.Bytes, c.Password);
        EXPECT_NE(message.find(c.Message), std::string::npos) << c.Case << ": " << message;
        EXPECT_NE(message.find(Dir / "a.vlm"), std::string::npos) << c.Case;
    }
}

TEST_F(Reader, LocalNameMustMatchTheDirectory) {
    TTestArchive a;
    a.Members = {{"a.htm", "x"}};
    a.EncipherHeaders = true;
    std::string bytes = a.Build();
    // The local name is enciphered: flip one of its bytes.
    bytes[LocalHeaderSize + 1] ^= 0x20;
    EXPECT_NE(ErrorOf(bytes).find("its local header names"), std::string::npos);
}

TEST_F(Reader, AnInflatingBombIsStoppedAtItsRecordedSize) {
    TTestArchive a;
    a.Members = {{"bomb", std::string(50u << 20, '\0')}};
    a.EditLocal = [](size_t, TLocalHeader& l) { l.UncompressedSize = 1u << 20; };
    a.EditCentral = [](size_t, TCentralHeader& c) { c.UncompressedSize = 1u << 20; };
    TArchiveReader reader(Put(a.Build()));
    uint64_t delivered = 0;
    EXPECT_THROW(reader.ReadMember(0, "", [&](const char*, size_t n) { delivered += n; }),
                 EArchiveError);
    EXPECT_LE(delivered, 1u << 20);
    EXPECT_THROW(reader.ReadMemberText(5, ""), EArchiveError);
}

TEST_F(Reader, MissingFilesAndFoldersCannotBeOpened) {
    for (const std::string& path : {Dir / "missing.vlm", Dir.Path(), Dir / "missing/sub.vlm"})
        EXPECT_THROW(TArchiveReader{path}, EFOpenError) << path;
}

} // namespace
