#include "archive/arcExtract.h"

#include "ArchiveFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vlm;
using namespace vlm::test;

namespace {

TEST(MemberPath, NamesBecomePathsInsideTheFolderOrAreRefused) {
    const struct {
        std::string Name;
        const char* Path; // nullptr: refused
        bool IsFolder;
    } cases[] = {
        {"index.htm", "index.htm", false},
        {"C:/site/index.htm", "site/index.htm", false},
        {"c:\\site\\img\\a.gif", "site/img/a.gif", false},
        {"/abs/b.txt", "abs/b.txt", false},
        {"//server/share/c", "server/share/c", false},
        {"C:x.txt", "x.txt", false},
        {"./a//b/./c", "a/b/c", false},
        {"x/C:/y", "x/C:/y", false},
        {"sub/", "sub", true},
        {"sub\\deeper\\", "sub/deeper", true},
        {"..", nullptr, false},
        {"../x", nullptr, false},
        {"..\\x", nullptr, false},
        {"a/../../x", nullptr, false},
        {"a/..", nullptr, false},
        {"C:..\\x", nullptr, false},
        {"", nullptr, false},
        {"/", nullptr, false},
        {"C:", nullptr, false},
        {"./", nullptr, false},
        {std::string("a\0b", 3), nullptr, false},
        {"...", "...", false},
        {"..a", "..a", false},
    };
    for (const auto& c : cases) {
        TMemberPath path;
        std::string reason;
        const bool ok = MakeMemberPath(c.Name, path, reason);
        ASSERT_EQ(ok, c.Path != nullptr) << c.Name << ": " << reason;
        if (ok) {
            EXPECT_EQ(path.Text(), c.Path) << c.Name;
            EXPECT_EQ(path.IsFolder, c.IsFolder) << c.Name;
        } else {
            EXPECT_FALSE(reason.empty()) << c.Name;
        }
    }
}

TEST(Extractor, AStopInTheMiddleLeavesNoFileBehind) {
    TTempDir dir;
    TTestArchive archive;
    archive.Members = {{"sub/big.bin", RandomBytes(300000), MethodStored}};
    WriteFile(dir / "a.vlm", archive.Build());
    TArchiveReader reader(dir / "a.vlm");
    TArchiveExtractor extractor(reader, dir / "out");
    int chunks = 0;
    extractor.BeforeChunk = [&] {
        if (++chunks == 3)
            throw EAbort();
    };
    EXPECT_THROW(extractor.ExtractMember(0), EAbort);
    EXPECT_EQ(ListNames(dir / "out/sub"), std::vector<std::string>{});
    extractor.BeforeChunk = nullptr;
    EXPECT_EQ(extractor.ExtractMember(0), "sub/big.bin");
    EXPECT_EQ(ListNames(dir / "out/sub"), std::vector<std::string>{"big.bin"});
}

} // namespace
