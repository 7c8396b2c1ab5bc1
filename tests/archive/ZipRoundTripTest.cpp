// Archives written by TZip read back byte for byte by TArchiveReader.
#include "ZipTestSupport.h"
#include "archive/arcReader.h"

#include <map>
#include <string>

using namespace vlm;
using namespace vlm::test;

namespace {

std::string Text(size_t n) {
    std::string text;
    for (int line = 0; text.size() < n; ++line)
        text += "Line " + std::to_string(line) + " of a long and very compressible page.\n";
    text.resize(n);
    return text;
}

const std::map<std::string, std::string>& Tree() {
    static const std::map<std::string, std::string> tree = {
        {"empty.txt", ""},
        {"one.txt", "x"},
        {"random100.bin", RandomBytes(100, 1)},
        {"random300.bin", RandomBytes(300, 2)},
        {"random256.bin", RandomBytes(256, 3)},
        {"random257.bin", RandomBytes(257, 4)},
        {"text256.txt", Text(256)},
        {"text257.txt", Text(257)},
        {"archive.ZIP", Text(4000)},
        {"backup.tar.gz", RandomBytes(5000, 5)},
        {"big text.txt", Text(3 << 20)},
        {"name with spaces/inner file.htm", Text(70000)},
        {"deep/sub/folder/last.css", Text(65536 * 2 + 1)},
    };
    return tree;
}

class ZipRoundTrip : public ::testing::TestWithParam<TZipConfig> {
protected:
    static void SetUpTestSuite() {
        Site = new TTempDir;
        for (const auto& [name, content] : Tree())
            WriteFile(*Site / ("site/" + name), content);
    }
    static void TearDownTestSuite() {
        delete Site;
        Site = nullptr;
    }
    static TTempDir* Site;
    TTempDir Dir;
};
TTempDir* ZipRoundTrip::Site = nullptr;

TEST_P(ZipRoundTrip, EveryMemberReadsBackIdentical) {
    const TZipConfig config = GetParam();
    TZip zip;
    TCompOptions options;
    TCompEvents events;
    TErrorLog errors;
    errors.Attach(events);
    options.ArchiveFile = Dir / "out.vlm";
    options.FileSpec = {*Site / "site/*"};
    options.DeflateType = config.Type;
    options.Password = config.Password;
    options.EncryptHeaders = config.EncryptHeaders;
    ASSERT_EQ(zip.Compress(options, events), static_cast<int>(Tree().size()));
    EXPECT_TRUE(errors.Entries.empty());

    TArchiveReader reader(Dir / "out.vlm");
    ASSERT_EQ(reader.Members().size(), Tree().size());
    std::map<std::string, std::string> read;
    for (size_t i = 0; i < reader.Members().size(); ++i) {
        const TArchiveMember& member = reader.Members()[i];
        EXPECT_EQ(member.HeadersEnciphered, config.EncryptHeaders) << member.Name;
        read[member.Name] = reader.ReadMemberText(i, config.Password);
        const bool encrypted = *config.Password != '\0' && member.Central.UncompressedSize > 0;
        if (encrypted) {
            EXPECT_THROW(reader.ReadMemberText(i, "wrong"), EArchiveError) << member.Name;
        }
    }
    for (const auto& [name, content] : Tree()) {
        ASSERT_EQ(read.count(name), 1u) << name;
        EXPECT_TRUE(read[name] == content) << name << ": " << read[name].size() << " bytes";
    }
}

std::vector<TZipConfig> AllConfigs() {
    std::vector<TZipConfig> configs;
    for (const TDeflateType type : {dtDeflateS, dtDeflateF, dtDeflateN, dtDeflateX})
        for (const char* password : {"", "Qm42Tx7150"})
            for (const bool headers : {false, true})
                configs.push_back({type, password, headers});
    return configs;
}

// Names that stay the same from run to run (the default prints the bytes of the
// configuration, its password's address among them).
std::string ConfigName(const ::testing::TestParamInfo<TZipConfig>& info) {
    return "Type" + std::to_string(static_cast<int>(info.param.Type)) +
           (*info.param.Password ? "_Password" : "_NoPassword") +
           (info.param.EncryptHeaders ? "_EncipheredHeaders" : "_PlainHeaders");
}

INSTANTIATE_TEST_SUITE_P(AllConfigurations, ZipRoundTrip, ::testing::ValuesIn(AllConfigs()),
                         ConfigName);

} // namespace
