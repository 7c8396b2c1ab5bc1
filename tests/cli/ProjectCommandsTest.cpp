#include "TestSupport.h"
#include "VlmInProcess.h"

#include <gtest/gtest.h>

using vlm::test::ReadFile;
using vlm::test::RunVlm;
using vlm::test::TProcessResult;
using vlm::test::TTempDir;
using vlm::test::WriteFile;

namespace {

// Runs vlm with its program folder pointed at an empty folder of the test's.
class VlmCli : public ::testing::Test {
protected:
    TProcessResult Vlm(const std::vector<std::string>& args) {
        return RunVlm(args, {.ProgramFolder = ProgramDir.Path()});
    }
    TTempDir ProgramDir;
    TTempDir Dir;
};

TEST_F(VlmCli, NewWritesExactlyTheDefaultLines) {
    const TProcessResult r = Vlm({"new", Dir / "p.vlp"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadFile(Dir / "p.vlp"),
              "OutputType=EXE\r\nWindowSize=DEFAULT\r\nWindowHeight=640\r\nWindowWidth=480\r\n"
              "WindowSizeable=1\r\nShowTitleBar=1\r\nShowMenuBar=1\r\nShowToolBar=1\r\n"
              "ToolBarLargeIcons=1\r\nToolBarCaptions=1\r\nShowStatusBar=1\r\nLanguage=Default\r\n"
              "ShowLanguageMenu=1\r\nEnableCopy=1\r\nEnableSaveObject=1\r\nEnablePrint=1\r\n"
              "EnableFind=1\r\nEnableAdvancedFind=1\r\nPasswordEnabled=0\r\n"
              "WarningMessageEnabled=0\r\nParsingEnabled=1\r\nMaskInclude=*.*\r\n"
              "MaskExclude=*.tmp,*.bak\r\n");
}

TEST_F(VlmCli, NewTakesTheTemplateBesideTheProgram) {
    WriteFile(ProgramDir / "Default.vlp", "OutputType=VLM\nCustom=yes\n");
    ASSERT_EQ(Vlm({"new", Dir / "p.vlp"}).ExitCode, 0);
    EXPECT_EQ(ReadFile(Dir / "p.vlp"), "OutputType=VLM\r\nCustom=yes\r\n");
}

TEST_F(VlmCli, NewRefusesToOverwriteWithoutForce) {
    WriteFile(Dir / "p.vlp", "mine\r\n");
    const TProcessResult refused = Vlm({"new", Dir / "p.vlp"});
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_NE(refused.Err.find(Dir / "p.vlp"), std::string::npos) << refused.Err;
    EXPECT_EQ(ReadFile(Dir / "p.vlp"), "mine\r\n");
    ASSERT_EQ(Vlm({"new", "--force", Dir / "p.vlp"}).ExitCode, 0);
    EXPECT_EQ(ReadFile(Dir / "p.vlp").substr(0, 16), "OutputType=EXE\r\n");
}

TEST_F(VlmCli, SetAndGetUseTheEntrySemantics) {
    WriteFile(Dir / "p.vlp", "homepage=/old.htm\nKeep=me\nMaskExclude=*.tmp\n");
    TProcessResult r =
        Vlm({"set", Dir / "p.vlp", "HomePage=/site/a=b.htm", "MaskExclude=", "New=value"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadFile(Dir / "p.vlp"), "HomePage=/site/a=b.htm\r\nKeep=me\r\nNew=value\r\n");

    const struct {
        const char* Name;
        const char* Output;
    } gets[] = {
        {"HOMEPAGE", "/site/a=b.htm\n"}, {"keep", "me\n"}, {"MaskExclude", "\n"}, {"Absent", "\n"}};
    for (const auto& g : gets) {
        r = Vlm({"get", Dir / "p.vlp", g.Name});
        EXPECT_EQ(r.ExitCode, 0) << g.Name;
        EXPECT_EQ(r.Out, g.Output) << g.Name;
    }
}

// A line break in a name or value would write entries the user never named (a password,
// another home page): vlm set refuses it and leaves the file alone.
TEST_F(VlmCli, SetRefusesLineBreaksThatWouldWriteOtherEntries) {
    ASSERT_EQ(Vlm({"new", Dir / "p.vlp"}).ExitCode, 0);
    const std::string before = ReadFile(Dir / "p.vlp");
    for (const char* assignment :
         {"WarningMessage=hi\r\nPasswordEnabled=1", "WarningMessage=hi\nPassword=x",
          "Title\rHomePage=/etc/passwd=x", "\nHomePage=/x.htm"}) {
        const TProcessResult r = Vlm({"set", Dir / "p.vlp", "Language=German", assignment});
        EXPECT_EQ(r.ExitCode, 2) << assignment;
        EXPECT_NE(r.Err.find("cannot hold a line break"), std::string::npos) << r.Err;
        EXPECT_EQ(ReadFile(Dir / "p.vlp"), before) << assignment;
    }
}

TEST_F(VlmCli, UsageAndErrorsHaveTheirExitCodes) {
    WriteFile(Dir / "regular", "x");
    const struct {
        std::vector<std::string> Args;
        int ExitCode;
        std::string ErrContains;
    } cases[] = {
        {{}, 2, "missing command"},
        {{"frobnicate"}, 2, "unknown command"},
        {{"new"}, 2, "missing argument"},
        {{"new", "--bogus", Dir / "x.vlp"}, 2, "unknown option --bogus"},
        {{"set", Dir / "p.vlp", "noequals"}, 2, "NAME=VALUE"},
        {{"get", Dir / "missing.vlp", "HomePage"},
         1,
         "Cannot open file \"" + (Dir / "missing.vlp") + "\". No such file or directory"},
        {{"new", Dir / "regular/p.vlp"},
         1,
         "Cannot create file \"" + (Dir / "regular/p.vlp") + "\". Not a directory"},
        {{"set", Dir / "nofolder/p.vlp", "A=1"}, 1, "Cannot open file"},
        {{"get", "", "A"}, 2, "empty"},
    };
    for (const auto& c : cases) {
        const TProcessResult r = Vlm(c.Args);
        EXPECT_EQ(r.ExitCode, c.ExitCode) << r.Err;
        EXPECT_NE(r.Err.find(c.ErrContains), std::string::npos) << r.Err;
    }
}

TEST_F(VlmCli, HelpAndVersion) {
    TProcessResult r = Vlm({"--help"});
    EXPECT_EQ(r.ExitCode, 0);
    for (const char* command : {"vlm new", "vlm set", "vlm get"})
        EXPECT_NE(r.Out.find(command), std::string::npos) << command;
    r = Vlm({"--version"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.Out, "vlm 1.3\n");
}

} // namespace
