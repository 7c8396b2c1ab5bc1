// Stored names, progress percentages, the store list and the encoding of one member in
// bounded memory.
#include "ZipTestSupport.h"
#include "archive/arcBase.h"
#include "platform/UFileSys.h"

#include <cstdio>

#include <sys/wait.h>
#include <unistd.h>

using namespace vlm;
using namespace vlm::test;

namespace {

TEST(ZipNames, StoredNameByMode) {
    const struct {
        TStoredDirNames Mode;
        const char* Full;
        const char* Root;
        const char* DefaultDir;
        const char* Expected;
    } cases[] = {
        {sdNone, "/site/img/a.gif", "/site/", "", "a.gif"},
        {sdAbsolute, "/site/img/a.gif", "/site/", "", "/site/img/a.gif"},
        {sdAbsoluteNoDrv, "/site/img/a.gif", "/site/", "", "/site/img/a.gif"},
        {sdAbsoluteNoRoot, "/site/img/a.gif", "/site/", "", "site/img/a.gif"},
        {sdRelative, "/site/img/a.gif", "/site/", "", "img/a.gif"},
        {sdRelative, "/other/a.gif", "/site/", "", "/other/a.gif"},
        {sdRelative, "/Site/a.gif", "/site/", "", "/Site/a.gif"}, // names tell case apart
        {sdRelativeStoreStart, "/web/site/img/a.gif", "/web/site/", "", "site/img/a.gif"},
        {sdExplorer_Auto, "/web/site/a.gif", "/web/site/img/", "/web", "site/a.gif"},
        {sdExplorer_UserDefineDefaultDir, "/web/site/a.gif", "/", "/web/", "site/a.gif"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StoredNameOf(c.Mode, c.Full, c.Root, c.DefaultDir), c.Expected)
            << static_cast<int>(c.Mode) << " " << c.Full;
}

TEST(ZipNames, PercentRoundsHalvesToEven) {
    const struct {
        int64_t Whole;
        int64_t Part;
        int Expected;
    } cases[] = {
        {0, 5, 0},
        {-3, 1, 0},
        {200, 1, 0} /* 0.5 */,
        {200, 3, 2} /* 1.5 */,
        {200, 5, 2},
        {200, 7, 4},
        {3, 1, 33},
        {3, 2, 67},
        {100, 100, 100},
        {100, 150, 100},
        {100, -5, 0},
        {8, 1, 12} /* 12.5 */,
        {8, 3, 38},
        {1000, 999, 100},
        {INT64_MAX, INT64_MAX / 2, 50},
        {int64_t{1} << 62, (int64_t{1} << 62) / 200, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Percent(c.Whole, c.Part), c.Expected) << c.Whole << " " << c.Part;
}

TEST(ZipNames, StoreListIgnoresCaseAndNeedsADotInTheName) {
    const std::vector<std::string> list = DefaultStoreFilesOfType();
    EXPECT_EQ(list.size(), 24u);
    const struct {
        const char* Name;
        bool Stored;
    } cases[] = {{"photo.Zip", true},   {"backup.tar.gz", true}, {"a.zip", true},
                 {"x.z", true},         {"page.htm", false},     {"a.jpg", false},
                 {"ZIP", false},        {"dir.zip/file", false}, {"file.", false},
                 {"archive.ziP", true}, {"a.uu", true},          {"a.uue.txt", false}};
    for (const auto& c : cases)
        EXPECT_EQ(HasExtensionIn(c.Name, list), c.Stored) << c.Name;
}

TEST(ZipNames, ErrorTexts) {
    const struct {
        int Code;
        const char* Text;
    } cases[] = {{25136, "Error writing to file"},
                 {25158, "Invalid directory"},
                 {25160, "Disk full"},
                 {25170, "is not accessible"},
                 {25171, "disk is write protected"},
                 {25235, "Error opening file"},
                 {25268, "Nothing to do"},
                 {25271, "Required property not assigned"},
                 {25443, "User canceled"},
                 {12345, ""}};
    for (const auto& c : cases)
        EXPECT_EQ(ArcErrorText(c.Code), c.Text) << c.Code;
}

// A field of /proc/self/status in KiB ("VmHWM", "VmRSS").
long StatusKiB(const std::string& field) {
    const std::string status = ReadFile("/proc/self/status");
    const size_t at = status.find(field + ":");
    return at == std::string::npos ? -1 : std::stol(status.substr(at + field.size() + 1));
}

void WriteBigFile(const std::string& path, bool compressible) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::string chunk = RandomBytes(1 << 20, 9);
    for (int i = 0; i < 48; ++i) {
        if (compressible)
            chunk.assign(chunk.size(), static_cast<char>('a' + i % 26));
        ASSERT_EQ(std::fwrite(chunk.data(), 1, chunk.size(), f), chunk.size());
    }
    std::fclose(f);
}

// Runs in a child process whose peak is reset first, so that it measures the run alone.
TEST(ZipMemory, LargeFilesAreNeverHeldWhole) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine: the peak says nothing";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine: the peak says nothing";
#endif
#endif
    TTempDir dir;
    CreateDir(dir / "site");
    WriteBigFile(dir / "site/text.bin", true);
    WriteBigFile(dir / "site/random.bin", false);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        WriteFile("/proc/self/clear_refs", "5"); // resets the peak to the current size
        const long before = StatusKiB("VmHWM");
        TZip zip;
        TCompOptions options;
        TCompEvents events;
        options.ArchiveFile = dir / "out.zip";
        options.FileSpec = {dir / "site/*"};
        options.Password = "pw";
        options.EncryptHeaders = true;
        const int added = zip.Compress(options, events);
        const long grown = StatusKiB("VmHWM") - before;
        // Exit 0 only when both 48 MiB files went in and the peak grew by under 8 MiB.
        ::_exit(added == 2 && before > 0 && grown < 8 * 1024 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_GT(FileSizeOf(dir / "out.zip"), 48 << 20);
}

} // namespace
