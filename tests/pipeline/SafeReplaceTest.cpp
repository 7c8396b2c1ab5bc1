// Replacing a user's file: the four writers that replace one (project save, executable
// join, the archive's move into place, extraction) each fail at every step of the replace
// without touching the old file or leaving a temporary one; links, modes and owners; and
// the build's replace question and old output.
#include "BuildFixture.h"

#include "ArchiveFixtures.h"
#include "archive/arcExtract.h"
#include "archive/arcZip.h"
#include "pipeline/UExecutable.h"
#include "platform/UErrors.h"
#include "platform/USafeFile.h"
#include "platform/UTestHooks.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <regex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vlm::test {
namespace {

using Names = std::vector<std::string>;

class SafeReplace : public TBuildFixture {
public:
    std::string In = Dir / "in/";
    std::string Target = Out + "target.vlm";

    void SetUp() override {
        TBuildFixture::SetUp();
        WriteFile(In + "viewer", RandomBytes(70000, 5));
        WriteFile(In + "member.txt", RandomBytes(90000, 6));
        TTestArchive source;
        source.Members.emplace_back("target.vlm", RandomBytes(80000, 7), MethodStored);
        WriteFile(In + "source.zip", source.Build());
    }

    // Each writer replaces Target with new bytes.
    void SaveProject() {
        TProject project(Target);
        project.SetValue("New", std::string(100000, 'n'));
        project.Save();
    }
    void JoinExecutableOutput() {
        WriteFile(In + "archive", RandomBytes(60000, 8));
        TRecordingHost host;
        TProgress progress(host.Seam());
        JoinExecutable(progress, In + "viewer", In + "archive", Target);
    }
    void MoveArchiveIntoPlace() {
        TZip zip;
        TCompOptions options;
        TCompEvents events;
        options.TempDir = Temp;
        options.ArchiveFile = Target;
        options.FileSpec = {In + "member.txt"};
        if (zip.Compress(options, events) != 1)
            throw EVlmError("no archive");
    }
    void Extract() {
        TArchiveReader reader(In + "source.zip");
        TArchiveExtractor extractor(reader, Out);
        extractor.Force = true;
        extractor.ExtractMember(0);
    }
};

TEST_F(SafeReplace, AFailureAtAnyStepKeepsTheOldFileAndLeavesNoTemporaryFile) {
    const struct {
        const char* Writer;
        void (SafeReplace::*Run)();
    } writers[] = {
        {"project save", &SafeReplace::SaveProject},
        {"executable join", &SafeReplace::JoinExecutableOutput},
        {"archive move", &SafeReplace::MoveArchiveIntoPlace},
        {"extraction", &SafeReplace::Extract},
    };
    const struct {
        const char* Name;
        TFileStep Step;
    } steps[] = {{"create", TFileStep::Create},
                 {"write", TFileStep::Write},
                 {"flush", TFileStep::Sync},
                 {"rename", TFileStep::Rename}};
    const std::string old = "Old=1\r\n";
    for (const auto& w : writers) {
        for (const auto& s : steps) {
            SCOPED_TRACE(std::string(w.Writer) + ", failing at " + s.Name);
            WriteFile(Target, old);
            bool failed = false;
            try {
                const test_hooks::TFailStep failure(s.Step, EIO);
                (this->*w.Run)();
            } catch (const std::exception&) {
                failed = true;
            }
            EXPECT_TRUE(failed);
            EXPECT_EQ(ReadFile(Target), old);
            EXPECT_EQ(ListNames(Out), Names{"target.vlm"});
            EXPECT_EQ(ListNames(Temp), Names{});
        }
        SCOPED_TRACE(std::string(w.Writer) + " without a failure");
        (this->*w.Run)();
        EXPECT_GT(ReadFile(Target).size(), 50000u);
        EXPECT_EQ(ListNames(Out), Names{"target.vlm"});
    }
}

TEST_F(SafeReplace, AProjectReachedThroughALinkIsSavedWhereItLives) {
    WriteFile(Dir / "real/p.vlp", "Old=1\r\n");
    const std::string link = Dir / "link.vlp";
    ASSERT_EQ(::symlink("real/p.vlp", link.c_str()), 0);
    TProject project(link);
    project.SetValue("New", "2");
    project.Save();
    EXPECT_TRUE(IsSymbolicLink(link));
    EXPECT_EQ(ReadFile(Dir / "real/p.vlp"), "Old=1\r\nNew=2\r\n");
    EXPECT_EQ(ListNames(Dir / "real"), Names{"p.vlp"});
}

TEST_F(SafeReplace, ModesOfNewAndReplacedFiles) {
    struct TUmask {
        mode_t Previous = ::umask(027);
        ~TUmask() { ::umask(Previous); }
    } umask;
    const struct {
        const char* What;
        std::function<void()> Write;
        int OldMode; // -1: no old file
        mode_t Expected;
    } cases[] = {
        {"new project",
         [&] {
             TProject blank;
             blank.SetFileName(Target);
             blank.Save();
         },
         -1, 0640},
        {"new executable", [&] { JoinExecutableOutput(); }, -1, 0750},
        {"new archive", [&] { MoveArchiveIntoPlace(); }, -1, 0640},
        {"replaced project", [&] { SaveProject(); }, 0604, 0604},
        {"replaced executable", [&] { JoinExecutableOutput(); }, 0600, 0750},
        {"replaced archive", [&] { MoveArchiveIntoPlace(); }, 0664, 0664},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        RemoveTree(Target);
        if (c.OldMode >= 0) {
            WriteFile(Target, "Old=1\r\n");
            ASSERT_EQ(::chmod(Target.c_str(), static_cast<mode_t>(c.OldMode)), 0);
        }
        c.Write();
        struct stat st {};
        ASSERT_EQ(::stat(Target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.Expected);
    }
}

TEST_F(SafeReplace, AReplacedFileKeepsItsOwner) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    WriteFile(Target, "Old=1\r\n");
    ASSERT_EQ(::chown(Target.c_str(), 12345, 12346), 0);
    SaveProject();
    struct stat st {};
    ASSERT_EQ(::stat(Target.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 12345u);
    EXPECT_EQ(st.st_gid, 12346u);
}

// A link in a sticky, world-writable folder, owned by another user: the kernel's
// protected-symlinks rule would not follow it, and neither does the replace.
TEST_F(SafeReplace, ALinkPlantedByAnotherUserInASharedFolderIsRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "planting a link of another user needs root";
    const std::string shared = Dir / "shared";
    std::filesystem::create_directories(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    WriteFile(Dir / "victim", "precious");
    for (const char* pointsTo : {"../victim", "../absent"}) {
        SCOPED_TRACE(pointsTo);
        const std::string link = shared + "/out";
        RemoveTree(link);
        ASSERT_EQ(::symlink(pointsTo, link.c_str()), 0);
        ASSERT_EQ(::lchown(link.c_str(), 12345, 12345), 0);
        try {
            TSafeFile file(link);
            ADD_FAILURE() << "the link was followed";
        } catch (const EFCreateError& e) {
            EXPECT_NE(std::string(e.what()).find("\"" + link + "\""), std::string::npos)
                << e.what();
        }
        EXPECT_EQ(ReadFile(Dir / "victim"), "precious");
        EXPECT_FALSE(PathExists(Dir / "absent"));
        EXPECT_EQ(ListNames(shared), Names{"out"});
        // The caller's own link in the same folder is followed.
        ASSERT_EQ(::lchown(link.c_str(), 0, 0), 0);
        TSafeFile own(link);
        own.WriteText("mine");
        own.Commit();
        EXPECT_EQ(ReadFile(Dir / (pointsTo + 3)), "mine");
        WriteFile(Dir / "victim", "precious");
        RemoveTree(Dir / "absent");
    }
}

TEST_F(SafeReplace, TemporaryNamesBesideATargetCannotAllBeTakenInAdvance) {
    // Four hex digits gave another user 65,536 names to take; 64 random bits do not.
    TSafeFile first(Target);
    TSafeFile second(Target);
    const std::regex form(".*/\\.target\\.vlm\\." + std::to_string(::getpid()) +
                          "\\.[0-9a-f]{16}\\.tmp");
    EXPECT_TRUE(std::regex_match(first.TempPath(), form)) << first.TempPath();
    EXPECT_TRUE(std::regex_match(second.TempPath(), form)) << second.TempPath();
    EXPECT_NE(first.TempPath().substr(0, first.TempPath().size() - 12),
              second.TempPath().substr(0, second.TempPath().size() - 12));
    first.Cancel();
    EXPECT_EQ(ListNames(Out).size(), 1u);
}

TEST_F(SafeReplace, TheTemporaryFilesOfATarget) {
    const std::string hex = "0123456789abcdef";
    const struct {
        std::string Candidate;
        bool Is;
    } cases[] = {
        {Out + ".target.vlm.4242." + hex + ".tmp", true},
        {Out + ".target.vlm." + hex + ".tmp", true}, // the form without a process id
        {Out + ".target.vlm.4242." + hex + ".TMP", false},
        {Out + ".target.vlm.42x2." + hex + ".tmp", false},
        {Out + ".other.vlm.4242." + hex + ".tmp", false},
        {Dir / "elsewhere/.target.vlm.4242." + hex + ".tmp", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsSafeFileTemporaryOf(Target, c.Candidate), c.Is) << c.Candidate;
    TSafeFile file(Target);
    EXPECT_TRUE(IsSafeFileTemporaryOf(Target, file.TempPath())) << file.TempPath();
}

// A build killed while it copied its output into place (across file systems) leaves its
// temporary file beside the output; the next build of that output removes it once its
// process is gone.
TEST_F(SafeReplace, ABuildRemovesTheTemporaryFilesThatKilledBuildsLeftBesideItsOutput) {
    CopyExampleSite();
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child); // a process that is gone
    const std::string hex = ".0123456789abcdef.tmp";
    const std::string gone = ".site.vlm." + std::to_string(child) + hex;
    const Names kept = {
        ".other.vlm." + std::to_string(child) + hex, // another target's
        ".site.vlm.0123456789abcdef.tmp",            // no process id to tell
        ".site.vlm.1" + hex,                         // a process that runs
        ".site.vlm." + std::to_string(::getpid()) + hex,
    };
    for (const std::string& name : kept)
        WriteFile(Out + name, "partial");
    WriteFile(Out + gone, "partial");
    Output("site.vlm");
    Build();
    Names expected = kept;
    expected.push_back("site.vlm");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListNames(Out), expected);
}

TEST_F(SafeReplace, ASaveStoppedBeforeTheRenameLeavesTheOldFile) {
    WriteFile(Target, "Old=1\r\n");
    TProject project(Target);
    project.SetValue("Big", std::string(300000, 'b'));
    int chunks = 0;
    EXPECT_THROW(project.Save([&] {
        if (++chunks == 3)
            throw EAbort();
    }),
                 EAbort);
    EXPECT_EQ(ReadFile(Target), "Old=1\r\n");
    EXPECT_EQ(ListNames(Out), Names{"target.vlm"});
    EXPECT_TRUE(project.IsModified());
}

TEST_F(SafeReplace, ADanglingLinkAtTheOutputIsAskedAboutLikeAFile) {
    CopyExampleSite();
    Output("site.vlm");
    ASSERT_EQ(::symlink((Dir / "elsewhere.vlm").c_str(), (Out + "site.vlm").c_str()), 0);
    Host.ReplaceAnswer = false;
    EXPECT_THROW(Build(), EAbort);
    EXPECT_EQ(Host.Of("AskReplace:"),
              Names{"The file \"site.vlm\" already exists.\rDo you want to replace existing "
                    "file?"});
    EXPECT_FALSE(PathExists(Dir / "elsewhere.vlm"));
}

TEST_F(SafeReplace, WhatIsNotARegularFileIsNeverReplaced) {
    // As root a rename would put a plain file in the place of a device or FIFO.
    const std::string fifo = Out + "pipe.vlm";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    try {
        TSafeFile file(fifo);
        ADD_FAILURE() << "a FIFO was taken as a target";
    } catch (const EFCreateError& e) {
        EXPECT_NE(std::string(e.what()).find("pipe.vlm"), std::string::npos) << e.what();
    }
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(ListNames(Out), Names{"pipe.vlm"});
}

TEST_F(SafeReplace, TheOldOutputStaysUntilTheNewOneReplacesIt) {
    CopyExampleSite();
    for (const char* name : {"site.vlm", "site.exe"}) {
        for (const bool cancel : {false, true}) {
            SCOPED_TRACE(std::string(name) + (cancel ? " cancelled" : " failing"));
            Host = {};
            RemoveTree(Out);
            Output(name);
            WriteFile(Out + name, "old output");
            std::optional<test_hooks::TFailStep> failure;
            if (cancel)
                Host.CancelWhen = [](const std::string& shown, int) {
                    return shown == "Compressing files...";
                };
            else
                failure.emplace(TFileStep::Rename, EIO);
            EXPECT_ANY_THROW(Build());
            failure.reset();
            EXPECT_EQ(ReadFile(Out + name), "old output");
            EXPECT_EQ(ListNames(Out), Names{name});
        }
    }
}

} // namespace
} // namespace vlm::test

namespace vlm::test {
namespace {

// The build tells a temporary file of its output by its name alone: what a TSafeFile makes
// beside a target is known as one, what another target's or a user's file is, is not.
TEST_F(SafeReplace, TemporaryFilesAreKnownByTheirTarget) {
    TSafeFile made(Target);
    const std::string target = Target;
    const struct {
        std::string Candidate;
        bool Temporary;
    } cases[] = {
        {made.TempPath(), true},
        {Out + ".target.vlm.0123456789abcdef.tmp", true},
        {Out + ".target.vlm.0123456789ABCDEF.tmp", false},
        {Out + ".target.vlm.0123456789abcde.tmp", false},
        {Out + ".other.vlm.0123456789abcdef.tmp", false},
        {Out + "target.vlm.0123456789abcdef.tmp", false},
        {Dir / "elsewhere/.target.vlm.0123456789abcdef.tmp", false},
        {target, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsSafeFileTemporaryOf(target, c.Candidate), c.Temporary) << c.Candidate;
}

} // namespace
} // namespace vlm::test
