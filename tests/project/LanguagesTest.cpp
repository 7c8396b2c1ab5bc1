#include "platform/UFileSys.h"
#include "project/ULanguages.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vlm;
using vlm::test::TTempDir;
using vlm::test::WriteFile;

namespace {

TEST(Languages, NamesOfTheLanguageFilesWithDefaultInCaseInsensitiveOrder) {
    using TNames = std::vector<std::string>;
    const struct {
        const char* Name;
        TNames Files;
        TNames Folders;
        TNames Expected;
    } cases[] = {
        {"letter case", {"German.lng", "english.lng"}, {}, {"Default", "english", "German"}},
        {"a further dot", {"My.Lang.lng"}, {}, {"Default", "My.Lang"}},
        {"a folder", {}, {"x.lng"}, {"Default", "x"}},
        {"no match", {"readme.txt", "old.lng.bak", "lng"}, {"Sub"}, {"Default"}},
        {"a Default file",
         {"Default.lng", "zulu.lng", "Alpha.lng"},
         {},
         {"Alpha", "Default", "Default", "zulu"}},
        {"empty", {}, {}, {"Default"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempDir dir;
        for (const std::string& file : c.Files)
            WriteFile(dir / file, "[Language]\r\n");
        for (const std::string& folder : c.Folders)
            ASSERT_TRUE(CreateDir(dir / folder));
        EXPECT_EQ(LanguageNames(dir.Path()), c.Expected);
    }
}

TEST(Languages, AMissingFolderOffersDefaultAlone) {
    TTempDir dir;
    EXPECT_EQ(LanguageNames(dir / "Languages/"), std::vector<std::string>{"Default"});
    WriteFile(dir / "file", "x");
    EXPECT_EQ(LanguageNames(dir / "file/Languages/"), std::vector<std::string>{"Default"});
}

TEST(Languages, TheFolderIsBesideTheProgram) {
    TTempDir dir;
    SetProgramFolder(dir.Path());
    EXPECT_EQ(LanguagesFolder(), dir / "Languages/");
    SetProgramFolder("");
}

} // namespace
