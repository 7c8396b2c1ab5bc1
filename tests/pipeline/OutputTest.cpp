#include "pipeline/UExecutable.h"
#include "pipeline/UProgress.h"

#include "platform/UErrors.h"
#include "platform/UFileStream.h"
#include "platform/UFileSys.h"
#include "platform/UTestHooks.h"

#include "RecordingHost.h"
#include "TestSupport.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace vlm;
using vlm::test::ListNames;
using vlm::test::ReadFile;
using vlm::test::TRecordingHost;
using vlm::test::TTempDir;
using vlm::test::WriteFile;

namespace {

constexpr uint64_t KB = 1024, MB = KB * KB, GB = MB * KB;

TEST(Output, FormatSize) {
    const TFormatSettings english{".", ","};
    const TFormatSettings german{",", "."};
    const struct {
        uint64_t Bytes;
        const TFormatSettings& Settings;
        const char* Text;
    } cases[] = {
        {0, english, "0  B"},
        {1023, english, "1023  B"},
        {1024, english, "1 KB"},
        {1535, english, "1 KB"},
        {1536, english, "2 KB"},
        {MB - 1, english, "1024 KB"},
        {MB, english, "1.00 MB"},
        {MB + 5242, english, "1.00 MB"}, // 1.004999...
        {MB + 5243, english, "1.01 MB"}, // 1.005000...
        {MB + MB / 2, german, "1,50 MB"},
        {GB - 1, english, "1024.00 MB"}, // no thousands separators below a gigabyte
        {GB, english, "1.00 GB"},
        {1024 * GB, english, "1,024.00 GB"},
        {1024 * GB, german, "1.024,00 GB"},
        {1234567 * GB + GB / 4, english, "1,234,567.25 GB"},
        // Ten significant digits: nine before the point leave one decimal.
        {123456789 * GB + GB / 2, english, "123,456,789.50 GB"},
        {123456789 * GB + GB * 26 / 100, english, "123,456,789.30 GB"},
        {UINT64_MAX, english, "17,179,869,180.00 GB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatSize(c.Bytes, c.Settings), c.Text) << c.Bytes;
}

TEST(Output, CutFirstDirectory) {
    const struct {
        const char* Dir;
        const char* Cut;
    } cases[] = {
        {"/", ""},
        {"a/", ".../"},
        {".../b/", ".../"},
        {"abc", ""},
        {"/Program Files/Site/out/", "/.../Site/out/"},
        {"/.../Site/out/", "/.../out/"},
        {"/.../out/", "/.../"},
        {".../", ""},
        {"/.cache/site/", "/.../site/"}, // a dot folder is a folder like any other
        {"", ""},
    };
    for (const auto& c : cases) {
        std::string dir = c.Dir;
        CutFirstDirectory(dir);
        EXPECT_EQ(dir, c.Cut) << c.Dir;
    }
}

TEST(Output, MinimizeName) {
    const auto length = [](const std::string& s) { return static_cast<int>(s.size()); };
    const std::string path = "/Program Files/Site/out/x.exe";
    const struct {
        const char* Name;
        int Width;
        const char* Shown;
    } cases[] = {
        {"/a/b/c.txt", 100, "/a/b/c.txt"},
        {"/a/b/c.txt", 10, "/a/b/c.txt"},
        {"/abcd/b/c.txt", 12, "/.../b/c.txt"}, // only a little too wide
        {"/a/b/c.txt", 9, ".../c.txt"},
        {"/Program Files/Site/out/x.exe", 28, "/.../Site/out/x.exe"},
        {"/Program Files/Site/out/x.exe", 19, "/.../Site/out/x.exe"},
        {"/Program Files/Site/out/x.exe", 18, "/.../out/x.exe"},
        {"/Program Files/Site/out/x.exe", 13, "/.../x.exe"},
        {"/Program Files/Site/out/x.exe", 9, ".../x.exe"},
        {"/Program Files/Site/out/x.exe", 5, "x.exe"},
        {"/Program Files/Site/out/x.exe", 1, "x.exe"}, // the name alone is too wide
        {"x.exe", 1, "x.exe"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MinimizeName(c.Name, length, c.Width), c.Shown) << c.Name << " in " << c.Width;
}

TEST(Output, ArchiveProgressShowsTheMemberAndAsksToStop) {
    for (const bool cancel : {false, true}) {
        TRecordingHost host;
        TProgress progress(host.Seam());
        if (cancel)
            host.SetCancelled();
        EXPECT_EQ(ArchiveProgress(progress, 100, "dir/sub/page.htm", 1536), cancel);
        EXPECT_EQ(host.Progress(), 100);
        EXPECT_EQ(host.Of("CurrentFile:"), std::vector<std::string>{"dir/sub/page.htm"});
        EXPECT_EQ(host.Of("Size:"), std::vector<std::string>{"2 KB"});
        EXPECT_EQ(host.Events.size(), 3u);
    }
}

struct TJoinFixture {
    TTempDir Dir;
    std::string Viewer = Dir / "prog/VLMView.exe";
    std::string Archive = Dir / "tmp/site.vlm";
    std::string Output = Dir / "out/site.exe";
    std::string ViewerBytes = vlm::test::RandomBytes(300000, 7);
    std::string ArchiveBytes = vlm::test::RandomBytes(5000, 8);
    TJoinFixture() {
        WriteFile(Viewer, ViewerBytes);
        WriteFile(Archive, ArchiveBytes);
        WriteFile(Dir / "out/keep.txt", "x");
    }
};

TEST(Output, JoiningTheExecutable) {
    TJoinFixture f;
    TRecordingHost host;
    TProgress progress(host.Seam());
    JoinExecutable(progress, f.Viewer, f.Archive, f.Output);
    const std::string out = ReadFile(f.Output);
    ASSERT_EQ(out.size(), 305008u);
    EXPECT_EQ(out.substr(0, 300000), f.ViewerBytes);
    EXPECT_EQ(out.substr(300000, 5000), f.ArchiveBytes);
    EXPECT_EQ(out.substr(305000), std::string("\xE0\x93\x04\x00\x00\x00\x00\x00", 8));
    EXPECT_EQ(host.Of("Bar:"), (std::vector<std::string>{"10", "30", "80", "90", "100"}));
    EXPECT_EQ(host.Of("SizeCaption:"), std::vector<std::string>{"Output file size"});
    EXPECT_EQ(host.Of("Size:").back(), "298 KB");
    EXPECT_FALSE(FileExists(f.Archive));
    EXPECT_EQ(ListNames(f.Dir / "out"), (std::vector<std::string>{"keep.txt", "site.exe"}));
}

TEST(Output, AFailedJoinLeavesNoOutput) {
    const struct {
        const char* What;
        int FailAfter; // bytes written before writes fail; -1: none
        bool RemoveViewer;
        const char* Message;
    } cases[] = {
        {"missing viewer", -1, true, "Cannot open file \""},
        {"disk full in the viewer part", 1000, false, "Cannot write file \""},
        {"disk full in the archive part", 302000, false, "Cannot write file \""},
        {"disk full at the trailer", 305004, false, "Cannot write file \""},
    };
    for (const auto& c : cases) {
        TJoinFixture f;
        if (c.RemoveViewer)
            DeleteFile(f.Viewer);
        TRecordingHost host;
        TProgress progress(host.Seam());
        try {
            const test_hooks::TFailWrites full(c.FailAfter, ENOSPC);
            JoinExecutable(progress, f.Viewer, f.Archive, f.Output);
            ADD_FAILURE() << c.What << ": no error";
        } catch (const EVlmError& e) {
            const std::string named = c.RemoveViewer ? f.Viewer : f.Output;
            EXPECT_NE(std::string(e.what()).find(c.Message + named), std::string::npos)
                << c.What << ": " << e.what();
        }
        EXPECT_EQ(ListNames(f.Dir / "out"), std::vector<std::string>{"keep.txt"}) << c.What;
    }
}

TEST(Output, JoiningIntoAMissingFolderNamesTheOutput) {
    TJoinFixture f;
    TRecordingHost host;
    TProgress progress(host.Seam());
    const std::string output = f.Dir / "out/keep.txt/site.exe"; // under a regular file
    try {
        JoinExecutable(progress, f.Viewer, f.Archive, output);
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_NE(std::string(e.what()).find(output), std::string::npos) << e.what();
    }
}

TEST(Output, CancelDuringJoiningLeavesNoOutput) {
    // The checks after the parts; the fifth comes after the temporary archive is deleted.
    for (int check = 1; check <= 5; ++check) {
        TJoinFixture f;
        TRecordingHost host;
        TProgress progress(host.Seam());
        const int bars[] = {10, 30, 80, 90, 100};
        host.CancelWhen = [&](const std::string&, int) {
            return host.Progress() == bars[check - 1];
        };
        EXPECT_THROW(JoinExecutable(progress, f.Viewer, f.Archive, f.Output), EAbort) << check;
        EXPECT_EQ(ListNames(f.Dir / "out"), std::vector<std::string>{"keep.txt"}) << check;
        EXPECT_EQ(FileExists(f.Archive), check < 5) << check;
    }
}

} // namespace
