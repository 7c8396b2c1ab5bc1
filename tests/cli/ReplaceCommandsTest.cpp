// What vlm's writing commands do with a file they must not overwrite: a file that is no
// text, and a link that another user planted in a shared folder.
#include "TestSupport.h"
#include "VlmInProcess.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vlm::test;

namespace {

class ReplaceCommands : public ::testing::Test {
protected:
    TProcessResult Vlm(const std::vector<std::string>& args) {
        return RunVlm(args, {.ProgramFolder = ProgramDir.Path()});
    }
    TTempDir ProgramDir;
    TTempDir Dir;
};

TEST_F(ReplaceCommands, SetRefusesAFileWhoseReadingStopsAtANul) {
    const std::string binary = "A=1\r\n" + std::string(1, '\0') + RandomBytes(1 << 20, 9);
    WriteFile(Dir / "p.vlp", binary);
    const TProcessResult r = Vlm({"set", Dir / "p.vlp", "B=2"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("\"" + Dir / "p.vlp" + "\" is not a project file"), std::string::npos)
        << r.Err;
    EXPECT_EQ(ReadFile(Dir / "p.vlp"), binary);
    EXPECT_EQ(ListNames(Dir.Path()), std::vector<std::string>{"p.vlp"});
}

// The kernel's protected-symlinks rule: in a sticky, world-writable folder a link is
// followed only when the caller or the folder's owner owns it.
TEST_F(ReplaceCommands, ALinkOfAnotherUserInASharedFolderIsNeverWrittenThrough) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "planting a link of another user needs root";
    WriteFile(Dir / "site/index.htm", "<html>home</html>");
    WriteFile(Dir / "p.vlp", "HomePage=" + Dir / "site/index.htm" + "\r\nOutputType=VLM\r\n");
    const std::string shared = Dir / "shared";
    std::filesystem::create_directories(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const std::string link = shared + "/out.vlm";
    const struct {
        const char* What;
        std::vector<std::string> Args;
    } commands[] = {
        {"set", {"set", link, "A=1"}},
        {"zip", {"zip", link, Dir / "site/index.htm"}},
        {"build", {"build", Dir / "p.vlp", "-o", link, "--yes"}},
    };
    for (const auto& c : commands) {
        for (const char* pointsTo : {"../victim.vlp", "../absent"}) {
            SCOPED_TRACE(std::string(c.What) + " through a link to " + pointsTo);
            WriteFile(Dir / "victim.vlp", "Precious=1\r\n");
            RemoveTree(link);
            ASSERT_EQ(::symlink(pointsTo, link.c_str()), 0);
            ASSERT_EQ(::lchown(link.c_str(), 12345, 12345), 0);
            const TProcessResult r = Vlm(c.Args);
            EXPECT_EQ(r.ExitCode, 1) << r.Err;
            EXPECT_EQ(ReadFile(Dir / "victim.vlp"), "Precious=1\r\n");
            EXPECT_FALSE(PathExists(Dir / "absent"));
            EXPECT_EQ(ListNames(shared), std::vector<std::string>{"out.vlm"});
            if (std::string(pointsTo) != "../absent" || std::string(c.What) != "set") {
                EXPECT_NE(r.Err.find("\"" + link + "\""), std::string::npos) << r.Err;
            }
        }
    }
}

} // namespace
