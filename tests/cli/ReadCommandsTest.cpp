#include "ArchiveFixtures.h"
#include "TestSupport.h"
#include "VlmInProcess.h"

#include "platform/UTestHooks.h"

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace vlm::test;
using vlm::MethodStored;

namespace {

const std::string BuildPassword = "Qm42Tx7150";

class ReadCommands : public ::testing::Test {
protected:
    TProcessResult Vlm(const std::vector<std::string>& args) {
        return RunVlm(args, {.ProgramFolder = Dir.Path()});
    }
    std::string Put(const std::string& bytes, const std::string& name = "site.vlm") {
        WriteFile(Dir / name, bytes);
        return Dir / name;
    }
    static std::string Site(bool encipher = true) {
        TTestArchive a;
        a.EncipherHeaders = encipher;
        a.Comment = "/tmp/vlmpack-x/VLM.settings";
        a.Members = {
            {"C:/site/index.htm", "<html>home</html>", MethodStored, BuildPassword},
            {"C:/site/img/a.gif", RandomBytes(5000, 3), vlm::MethodDeflated, BuildPassword},
            {"C:/site/empty.txt", ""}};
        return a.Build();
    }
    TTempDir Dir;
    // The archives made here get the same header bytes in every run: with random ones, one
    // wrong password in 256 would pass a member's check byte.
    const vlm::test_hooks::TFixedHeaderSeed FixedHeaders{1};
};

TEST_F(ReadCommands, ListShowsMembersAndComment) {
    const std::string exe = Put(MakeExecutable("MZ-viewer", Site()), "site.exe");
    const TProcessResult r = Vlm({"list", exe});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    for (const char* expected : {"beginning at offset 9 (executable output)", "C:/site/index.htm",
                                 "C:/site/img/a.gif", "Stored    0x0001", "Deflate   0x0001",
                                 "enciphered", "3 members", "Comment: /tmp/vlmpack-x/VLM.settings"})
        EXPECT_NE(r.Out.find(expected), std::string::npos) << expected << "\n" << r.Out;

    const TProcessResult plain =
        Vlm({"list", Put(MakePythonZip({{"a\x1b[2Jb.txt", "x"}}, "", true), "p.zip")});
    ASSERT_EQ(plain.ExitCode, 0) << plain.Err;
    EXPECT_NE(plain.Out.find("a?[2Jb.txt"), std::string::npos) << plain.Out;
}

TEST_F(ReadCommands, VerifyExitsZeroOnlyWhenEveryMemberIsSound) {
    std::string damaged = Site(false);
    damaged[vlm::LocalHeaderSize + 17 + 20] ^= 1; // inside index.htm's data
    const struct {
        std::string File;
        std::vector<std::string> Options;
        int ExitCode;
        std::string Contains;
    } cases[] = {
        {Put(Site()), {}, 0, "All 3 members are sound."},
        {Put(Site(), "b.vlm"), {"--password", "wrong"}, 1, "\"C:/site/index.htm\": the password"},
        {Put(damaged, "c.vlm"), {}, 1, "\"C:/site/index.htm\": CRC error"},
        {Put(MakePythonZip({{"a.txt", "abc"}}, "", true), "d.zip"), {}, 0, "All 1 members"},
        {Put("not an archive at all, just text", "e.vlm"), {}, 1, "e.vlm\". No end of central"},
        {Dir / "missing.vlm", {}, 1, "Cannot open file"},
        // A build output names its settings member in the archive comment.
        {Put(MakePythonZip({{"C:/tmp/VLM.settings", "A=1"}}, "", true), "f.vlm"),
         {},
         1,
         "f.vlm\" holds the build's VLM.settings member but not the archive comment"},
        {Put(MakePythonZip({{"C:/tmp/VLM.settings", "A=1"}}, "C:\\tmp\\VLM.settings", true),
             "g.vlm"),
         {},
         0,
         "All 1 members"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"verify", c.File};
        args.insert(args.end(), c.Options.begin(), c.Options.end());
        const TProcessResult r = Vlm(args);
        EXPECT_EQ(r.ExitCode, c.ExitCode) << c.File << r.Err;
        EXPECT_NE((r.Out + r.Err).find(c.Contains), std::string::npos) << r.Out << r.Err;
    }
    const TProcessResult damagedRun = Vlm({"verify", Dir / "c.vlm"});
    EXPECT_NE(damagedRun.Out.find("OK      C:/site/img/a.gif"), std::string::npos)
        << "the other members are still checked";
}

TEST_F(ReadCommands, ExtractWritesUnderTheFolderOnly) {
    TTestArchive a;
    for (const char* name :
         {"C:/site/index.htm", "/abs/b.txt", "C:\\win\\c.txt", "ok/./d.txt", "../evil1.txt",
          "a/../../evil2.txt", "..\\evil3.txt", "/../evil4.txt", "folder/"})
        a.Members.push_back({name, std::string(name) + " data"});
    const std::string out = Dir / "base/out";
    const TProcessResult r = Vlm({"extract", Put(a.Build()), out});
    EXPECT_EQ(r.ExitCode, 1);
    for (const char* refused : {"../evil1.txt", "a/../../evil2.txt", "..\\evil3.txt"})
        EXPECT_NE(r.Err.find(std::string("\"") + refused), std::string::npos) << refused << r.Err;
    EXPECT_NE(r.Err.find("4 of 9 members were not extracted"), std::string::npos) << r.Err;
    EXPECT_EQ(ReadFile(out + "/site/index.htm"), "C:/site/index.htm data");
    EXPECT_EQ(ReadFile(out + "/abs/b.txt"), "/abs/b.txt data");
    EXPECT_EQ(ReadFile(out + "/win/c.txt"), "C:\\win\\c.txt data");
    EXPECT_EQ(ReadFile(out + "/ok/d.txt"), "ok/./d.txt data");
    EXPECT_EQ(ListNames(out), (std::vector<std::string>{"abs", "folder", "ok", "site", "win"}));
    EXPECT_EQ(ListNames(Dir / "base"), std::vector<std::string>{"out"});
    EXPECT_EQ(ListNames(Dir.Path()), (std::vector<std::string>{"base", "site.vlm"}));
}

TEST_F(ReadCommands, ExtractNeverFollowsALinkPlantedInTheFolder) {
    TTestArchive a;
    a.Members = {{"site/x.htm", "new"}, {"y.htm", "new"}};
    const std::string archive = Put(a.Build());
    const std::string out = Dir / "out/";
    WriteFile(Dir / "outside/y.htm", "outside");
    ::mkdir(out.c_str(), 0777);
    ASSERT_EQ(::symlink((Dir / "outside").c_str(), (out + "site").c_str()), 0);
    ASSERT_EQ(::symlink((Dir / "outside/y.htm").c_str(), (out + "y.htm").c_str()), 0);
    for (const bool force : {false, true}) {
        std::vector<std::string> args{"extract", archive, out};
        if (force)
            args.push_back("--force");
        const TProcessResult r = Vlm(args);
        EXPECT_EQ(r.ExitCode, 1) << force;
        EXPECT_NE(r.Err.find("\"site/x.htm\""), std::string::npos) << r.Err;
        EXPECT_NE(r.Err.find("is a link or a file, not a folder"), std::string::npos) << r.Err;
        EXPECT_EQ(ListNames(Dir / "outside"), std::vector<std::string>{"y.htm"});
        EXPECT_EQ(ReadFile(Dir / "outside/y.htm"), "outside");
    }
    // --force replaced the link itself with a regular file.
    struct stat st;
    ASSERT_EQ(::lstat((out + "y.htm").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(ReadFile(out + "y.htm"), "new");
}

TEST_F(ReadCommands, ExtractReplacesExistingFilesOnlyWithForce) {
    TTestArchive a;
    a.Members = {{"a.htm", "first copy"}, {"a.htm", "second copy"}, {"b.htm", "b"}};
    const std::string archive = Put(a.Build());
    const std::string out = Dir / "out/";
    WriteFile(out + "b.htm", "mine");
    TProcessResult r = Vlm({"extract", archive, out});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("b.htm\" already exists (use --force"), std::string::npos) << r.Err;
    EXPECT_EQ(ReadFile(out + "b.htm"), "mine");
    EXPECT_NE(r.Err.find("2 of 3 members were not extracted"), std::string::npos) << r.Err;
    // A second member of one name is refused with or without --force; the first stays.
    for (const bool force : {false, true}) {
        std::vector<std::string> args{"extract", archive, Dir / (force ? "forced" : "plain")};
        if (force)
            args.push_back("--force");
        r = Vlm(args);
        EXPECT_EQ(r.ExitCode, 1) << force;
        EXPECT_NE(r.Err.find("Cannot extract \"a.htm\""), std::string::npos) << r.Err;
        EXPECT_NE(r.Err.find("was extracted to \"" + Dir / (force ? "forced" : "plain") +
                             "/a.htm\" already; it is kept"),
                  std::string::npos)
            << r.Err;
        EXPECT_EQ(ReadFile(Dir / (force ? "forced" : "plain") + "/a.htm"), "first copy");
    }
    r = Vlm({"extract", "--force", archive, out});
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_EQ(ReadFile(out + "b.htm"), "b");
    EXPECT_EQ(ReadFile(out + "a.htm"), "first copy");
    EXPECT_EQ(ListNames(out), (std::vector<std::string>{"a.htm", "b.htm"}));
}

// Member names are the archive's: no message may pass their control characters (terminal
// escapes) on to the terminal.
TEST_F(ReadCommands, ExtractMessagesShowControlCharactersAsQuestionMarks) {
    const std::string esc = "\x1b]0;owned\x07";
    const struct {
        std::string Member;
        std::string InTheWay; // "file" or "folder" made under the member's own name
        std::string Expected;
    } cases[] = {
        {"exists" + esc + ".htm", "file", "exists?]0;owned?.htm\" already exists"},
        {"folder" + esc, "folder", "folder?]0;owned?\" is a folder."},
        {"sub" + esc + "/x.htm", "file", "sub?]0;owned?/\" is a link or a file"},
        {"twice" + esc, "", "twice?]0;owned?\" already; it is kept"},
    };
    TTestArchive a;
    const std::string out = Dir / "out/";
    for (const auto& c : cases) {
        const std::string inTheWay = out + c.Member.substr(0, c.Member.find('/'));
        if (c.InTheWay == "file") {
            WriteFile(inTheWay, "mine");
        } else if (c.InTheWay == "folder") {
            ASSERT_EQ(::mkdir(inTheWay.c_str(), 0777), 0);
        }
        a.Members.push_back({c.Member, "data"});
    }
    a.Members.push_back({"twice" + esc, "again"});
    const TProcessResult r = Vlm({"extract", Put(a.Build()), out});
    EXPECT_EQ(r.ExitCode, 1);
    for (const auto& c : cases) {
        EXPECT_NE(r.Err.find(c.Expected), std::string::npos) << c.Expected << "\n" << r.Err;
    }
    EXPECT_EQ(r.Err.find_first_of("\x1b\x07"), std::string::npos) << r.Err;
    EXPECT_EQ(ReadFile(out + "twice" + esc), "data");
}

TEST_F(ReadCommands, ExtractLeavesNothingOfAFailedMember) {
    std::string damaged = Site(false);
    damaged[vlm::LocalHeaderSize + 17 + 20] ^= 1;
    const std::string out = Dir / "out/";
    const TProcessResult r = Vlm({"extract", Put(damaged), out});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("\"C:/site/index.htm\": CRC error"), std::string::npos) << r.Err;
    EXPECT_EQ(ListNames(out + "site"), (std::vector<std::string>{"empty.txt", "img"}));
    EXPECT_EQ(ListNames(out + "site/img"), std::vector<std::string>{"a.gif"});

    const TProcessResult wrong = Vlm({"extract", Dir / "site.vlm", out, "--password=nope"});
    EXPECT_EQ(wrong.ExitCode, 1);
    EXPECT_EQ(ListNames(out + "site/img"), std::vector<std::string>{"a.gif"});
}

TEST_F(ReadCommands, ExtractIntoAnImpossibleFolderNamesIt) {
    WriteFile(Dir / "file", "x");
    const TProcessResult r = Vlm({"extract", Put(Site()), Dir / "file/out"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("Cannot create folder \"" + Dir / "file/out/"), std::string::npos)
        << r.Err;
    const TProcessResult usage = Vlm({"extract", Dir / "site.vlm"});
    EXPECT_EQ(usage.ExitCode, 2);
}

} // namespace

namespace {

// vlm zip, then verify and extract: every member comes back byte for byte.
TEST_F(ReadCommands, ZipVerifyExtractRoundTrip) {
    const std::map<std::string, std::string> files = {
        {"empty.htm", ""},
        {"one.txt", "1"},
        {"random 100.bin", RandomBytes(100, 1)},
        {"img/random 300.bin", RandomBytes(300, 2)},
        {"img/edge256.bin", RandomBytes(256, 3)},
        {"img/edge257.bin", RandomBytes(257, 4)},
        {"stored/a.ZIP", RandomBytes(5000, 5)},
        {"stored/backup.tar.gz", RandomBytes(7000, 6)},
        {"text/big page.htm", std::string(3 << 20, 'x') + RandomBytes(1000, 7)},
    };
    for (const auto& [name, data] : files)
        WriteFile(Dir / ("site/" + name), data);
    const struct {
        std::vector<std::string> Options;
        std::string Password;
    } forms[] = {
        {{"--password", "pw"}, "pw"},
        {{"--password", "pw", "--plain-headers", "--level", "9"}, "pw"},
        {{"--store"}, ""},
        {{"--plain-headers", "--level", "1"}, ""},
    };
    int n = 0;
    for (const auto& form : forms) {
        const std::string archive = Dir / ("out" + std::to_string(++n) + ".vlm");
        std::vector<std::string> zip{"zip", archive, Dir / "site"};
        zip.insert(zip.end(), form.Options.begin(), form.Options.end());
        TProcessResult r = Vlm(zip);
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
        r = Vlm({"verify", archive, "--password", form.Password});
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        const std::string out = Dir / ("x" + std::to_string(n) + "/");
        r = Vlm({"extract", archive, out, "--password", form.Password});
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
        for (const auto& [name, data] : files)
            EXPECT_TRUE(ReadFile(out + name) == data) << name << " " << n;
        EXPECT_EQ(ListNames(out), (std::vector<std::string>{"empty.htm", "img", "one.txt",
                                                            "random 100.bin", "stored", "text"}));
    }
}

} // namespace
