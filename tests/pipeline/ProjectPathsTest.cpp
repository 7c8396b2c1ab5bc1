// Where a build looks: relative file names of the project, a home page that is not there,
// and the counts link discovery reports while it walks a site.
#include "BuildFixture.h"

#include "platform/UErrors.h"
#include "platform/UPaths.h"

#include <algorithm>

using namespace vlm;
using vlm::test::ListNames;
using vlm::test::ReadFile;
using vlm::test::WriteFile;

namespace {

using Names = std::vector<std::string>;

class ProjectPaths : public vlm::test::TBuildFixture {};

TEST(ProjectFullPath, RelativeNamesLieInTheProjectFilesFolder) {
    vlm::test::TTempDir dir;
    WriteFile(dir / "proj/p.vlp", "HomePage=x\r\n");
    TProject saved(dir / "proj/p.vlp");
    TProject untitled;
    const std::string here = GetCurrentFolder();
    const struct {
        TProject* Project;
        std::string Value;
        std::string Full;
    } cases[] = {
        {&saved, "site/index.htm", dir / "proj/site/index.htm"},
        {&saved, "../site/./index.htm", dir / "site/index.htm"},
        {&saved, "/abs/./a.htm", "/abs/./a.htm"}, // a full path stays as written
        {&saved, "", ""},
        {&untitled, "site/index.htm", here + "site/index.htm"},
    };
    for (const auto& c : cases) {
        c.Project->SetValue(entry::OutputFile, c.Value);
        EXPECT_EQ(c.Project->FullPathOf(entry::OutputFile), c.Full) << c.Value;
        EXPECT_EQ(c.Project->Value(entry::OutputFile), c.Value) << "the entry keeps its text";
    }
}

TEST_F(ProjectPaths, ARelativeHomePageAndOutputFileFollowTheProjectFile) {
    CopyExampleSite();
    const std::string projectFile = Dir / "proj/site.vlp";
    for (const bool parsing : {true, false}) {
        SCOPED_TRACE(parsing ? "parsed" : "by masks");
        WriteFile(projectFile,
                  std::string("HomePage=../site/index.htm\r\n") +
                      "OutputType=VLM\r\nOutputFile=out/site.vlm\r\nMaskInclude=*.*\r\n"
                      "MaskExclude=*.tmp,*.bak\r\nLanguage=Default\r\n" +
                      "ParsingEnabled=" + (parsing ? "1" : "0") + "\r\n");
        Project = std::make_unique<TProject>(projectFile);
        const std::string text = Project->Text();
        Build();
        const Names names = MemberNames(Dir / "proj/out/site.vlm");
        EXPECT_EQ(std::count(names.begin(), names.end(), "site/index.htm"), 1)
            << "the home page is stored once, under its full path";
        EXPECT_EQ(std::count(names.begin(), names.end(), "tmp/VLM.settings"), 1);
        EXPECT_EQ(names.size(), parsing ? 14u : 16u) << ::testing::PrintToString(names);
        TArchiveReader reader(Dir / "proj/out/site.vlm");
        for (size_t i = 0; i < reader.Members().size(); ++i) {
            if (reader.Members()[i].Name == Temp + "VLM.settings") {
                const std::string settings = reader.ReadMemberText(i, ArchivePassword);
                EXPECT_NE(settings.find("HomeRoot=" + Site + "\r\n"), std::string::npos)
                    << settings;
                EXPECT_NE(settings.find("HomePage=index.htm\r\n"), std::string::npos);
            }
        }
        EXPECT_EQ(Project->Text(), text) << "the project keeps what the user wrote";
        std::filesystem::remove_all(Dir / "proj/out");
    }
}

TEST_F(ProjectPaths, AMissingHomePageEndsTheBuildBeforeAnythingIsReplacedOrWritten) {
    WriteFile(Dir / "plain", "a file, not a folder");
    std::filesystem::create_directories(Site);
    WriteFile(Out + "site.vlm", "old");
    const struct {
        std::string HomePage;
        std::string Reason;
    } cases[] = {
        {Site + "index.htm", "No such file or directory"},
        {Dir / "plain/index.htm", "Not a directory"},
        {Dir / "site", "Is a directory"},
    };
    for (const auto& c : cases) {
        for (const bool parsing : {true, false}) {
            SCOPED_TRACE(c.HomePage + (parsing ? " parsed" : " by masks"));
            Host.Events.clear();
            Project->SetValue(entry::HomePage, c.HomePage);
            Project->SetFlag(entry::ParsingEnabled, parsing);
            Output("site.vlm");
            try {
                Build();
                ADD_FAILURE() << "the build succeeded";
            } catch (const EFOpenError& e) {
                EXPECT_EQ(std::string(e.what()),
                          "Cannot open file \"" + c.HomePage + "\". " + c.Reason);
            }
            EXPECT_EQ(Host.Of("AskReplace"), Names{}) << "nothing is replaced";
            EXPECT_EQ(Host.Of("Stage:"), Names{});
            EXPECT_EQ(Host.Events.back(), "CloseProgress");
            EXPECT_EQ(ReadFile(Out + "site.vlm"), "old");
            EXPECT_EQ(ListNames(Temp), Names{});
        }
    }
}

TEST_F(ProjectPaths, LinkDiscoveryReportsPagesAndFilesAsItGoes) {
    CopyExampleSite();
    Output("site.vlm");
    Build();
    ASSERT_FALSE(Host.LinkCounts.empty());
    EXPECT_EQ(Host.LinkCounts.front(), (std::vector<size_t>{0, 1, 1})) << "the home page alone";
    // Seven pages (".htm" exactly; README.HTM is taken but not scanned) and the style sheet
    // are read, among 11 files.
    EXPECT_EQ(Host.LinkCounts.back(), (std::vector<size_t>{8, 8, 11}));
    for (size_t i = 1; i < Host.LinkCounts.size(); ++i) {
        const auto& before = Host.LinkCounts[i - 1];
        const auto& now = Host.LinkCounts[i];
        EXPECT_TRUE(now[0] >= before[0] && now[1] >= before[1] && now[2] >= before[2]) << i;
        EXPECT_LE(now[0], now[1]) << "no more pages parsed than found";
        EXPECT_LE(now[1], now[2]);
    }
    EXPECT_EQ(Host.LinkCounts.size(), 1u + 10u + 8u) << "the home page, each file, each document";
}

} // namespace
