// The compress run: errors, cancellation, exclusion, temporary output, events.
#include "ZipTestSupport.h"
#include "archive/arcDeflate.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/UTestHooks.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <set>
#include <stdexcept>
#include <sys/stat.h>

using namespace vlm;
using namespace vlm::test;

namespace {

// The bytes a whole run writes: the least write budget with which Compress still adds
// all expected files.
int64_t LeastWriteBudget(const std::function<int()>& compress, int expected) {
    int64_t low = 0, high = 1 << 20;
    while (low < high) {
        const int64_t mid = (low + high) / 2;
        bool ok = false;
        {
            const test_hooks::TFailWrites budget(mid, ENOSPC);
            ok = compress() == expected;
        }
        ok ? high = mid : low = mid + 1;
    }
    return low;
}

class ZipRun : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDir(Dir / "tmp");
        options.TempDir = Dir / "tmp/";
        options.ArchiveFile = Dir / "out.zip";
        errors.Attach(events);
    }
    int Compress() { return zip.Compress(options, events); }
    // n files of size bytes each: site/f1.txt ... site/fn.txt
    void MakeFiles(int n, size_t size) {
        for (int i = 1; i <= n; ++i)
            WriteFile(Dir / ("site/f" + std::to_string(i) + ".txt"), RandomBytes(size, i));
    }
    std::set<std::string> MemberNames() {
        std::set<std::string> names;
        for (const TRawMember& m : ParseRawArchiveFile(Dir / "out.zip").Members)
            names.insert(m.CentralName);
        return names;
    }
    bool TempFolderEmpty() { return ListNames(Dir / "tmp").empty(); }

    TTempDir Dir;
    TZip zip;
    TCompOptions options;
    TCompEvents events;
    TErrorLog errors;
};

TEST_F(ZipRun, NothingListedReportsNothingToDoAndLeavesNoFile) {
    WriteFile(Dir / "site/a.txt", "a");
    const std::vector<std::vector<std::string>> specs = {
        {}, {"   "}, {Dir / "missing/*"}, {Dir / "site/*.none"}, {Dir / "site/absent.txt"}};
    for (const auto& spec : specs) {
        SCOPED_TRACE(spec.empty() ? "(none)" : spec[0]);
        errors.Entries.clear();
        int activations = 0;
        events.OnActivate = [&](TCompBase&) { ++activations; };
        events.OnDeactivate = [&](TCompBase&) { --activations; };
        options.FileSpec = spec;
        EXPECT_EQ(Compress(), 0);
        EXPECT_EQ(errors.Codes(), std::vector<int>{errNothingToDo});
        EXPECT_EQ(activations, 0);
        EXPECT_FALSE(PathExists(Dir / "out.zip"));
        EXPECT_TRUE(TempFolderEmpty());
    }
}

TEST_F(ZipRun, ArchiveFolderMustExist) {
    WriteFile(Dir / "site/a.txt", "a");
    WriteFile(Dir / "regular", "x");
    const std::string archives[] = {Dir / "missing/out.zip", Dir / "regular/out.zip"};
    for (const std::string& archive : archives) {
        SCOPED_TRACE(archive);
        errors.Entries.clear();
        bool activated = false;
        events.OnActivate = [&](TCompBase&) { activated = true; };
        options.ArchiveFile = archive;
        options.FileSpec = {Dir / "site/*"};
        EXPECT_EQ(Compress(), 0);
        ASSERT_EQ(errors.Codes(), std::vector<int>{errInvalidDirectory});
        EXPECT_EQ(errors.Entries[0].FileName, ExtractFilePath(archive));
        EXPECT_FALSE(activated);
        EXPECT_FALSE(PathExists(archive));
        EXPECT_TRUE(TempFolderEmpty());
    }
}

TEST_F(ZipRun, ArchiveFileGetsTheDefaultExtension) {
    const struct {
        std::string Value;
        std::string Expected;
    } cases[] = {
        {Dir / "out", Dir / "out.ZIP"},
        {Dir / "out.zip", Dir / "out.zip"},
        {Dir / "a.b/out", Dir / "a.b/out.ZIP"},
        {Dir / "site.tar.gz", Dir / "site.tar.gz"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ArchiveFileName(c.Value, ".ZIP"), c.Expected) << c.Value;
    WriteFile(Dir / "site/a.txt", "a");
    options.ArchiveFile = Dir / "out";
    options.FileSpec = {Dir / "site/*"};
    EXPECT_EQ(Compress(), 1);
    EXPECT_TRUE(FileExists(Dir / "out.ZIP"));
}

TEST_F(ZipRun, UnreadableFileIsLeftOutAndTheOthersWritten) {
    MakeFiles(5, 1000);
    // The file changes when its turn comes: workers would have read it before.
    options.Jobs = 1;
    std::string victim;
    events.OnBegin = [&](TCompBase&, const std::string& fileName, int count, bool& extract) {
        EXPECT_TRUE(extract);
        if (count != 3)
            return;
        // Between the scan and the write the file became a FIFO, which is never read.
        victim = fileName;
        ASSERT_TRUE(DeleteFile(fileName));
        ASSERT_EQ(::mkfifo(fileName.c_str(), 0600), 0);
    };
    options.FileSpec = {Dir / "site/*"};
    EXPECT_EQ(Compress(), 4);
    ASSERT_EQ(errors.Codes(), std::vector<int>{errOpenFile});
    EXPECT_EQ(errors.Entries[0].FileName, victim);
    EXPECT_FALSE(errors.Entries[0].ExtendedMsg.empty());
    const std::set<std::string> names = MemberNames();
    EXPECT_EQ(names.size(), 4u);
    EXPECT_EQ(names.count(ExtractFileName(victim)), 0u);
    EXPECT_TRUE(TempFolderEmpty());
}

TEST_F(ZipRun, FileChangedBetweenCrcPassAndDataIsLeftOut) {
    // Only a file too large to be read whole is read twice; it changes when its turn comes.
    const size_t size = static_cast<size_t>(WholeBufferLimit) + 300000;
    options.Jobs = 1;
    WriteFile(Dir / "site/big.bin", RandomBytes(size, 5));
    WriteFile(Dir / "site/small.txt", "small");
    bool changed = false;
    events.OnProgress = [&](TCompBase& sender, const TProgressInfo& p) {
        if (!changed && p.ProgressByFile > 0 && sender.CurrentFileName() == "big.bin") {
            changed = true;
            WriteFile(Dir / "site/big.bin", RandomBytes(size, 6));
        }
    };
    options.Password = "pw";
    options.FileSpec = {Dir / "site/*"};
    EXPECT_EQ(Compress(), 1);
    EXPECT_TRUE(changed);
    ASSERT_EQ(errors.Codes(), std::vector<int>{errOpenFile});
    EXPECT_EQ(errors.Entries[0].FileName, Dir / "site/big.bin");
    EXPECT_EQ(MemberNames(), std::set<std::string>{"small.txt"});
}

// Files up to the whole-buffer limit are read in one piece before their events are raised,
// so a file that grows during the events is archived as it was read; a larger one is
// streamed while its events run, and its growth is caught.
TEST_F(ZipRun, FileThatGrowsWhileItIsReadIsLeftOut) {
    const size_t large = static_cast<size_t>(WholeBufferLimit) + 300000;
    const struct {
        size_t Size;
        const char* Password;
        TCompressMethod Method;
    } cases[] = {{large, "", cmStore}, {large, "pw", cmDeflate}};
    options.Jobs = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Size) + " " + c.Password);
        errors.Entries.clear();
        WriteFile(Dir / "site/grows.log", RandomBytes(c.Size, 7));
        WriteFile(Dir / "site/small.txt", "small");
        bool grown = false;
        events.OnProgress = [&](TCompBase& sender, const TProgressInfo& p) {
            if (!grown && p.ProgressByFile > 0 && sender.CurrentFileName() == "grows.log") {
                grown = true;
                WriteFile(Dir / "site/grows.log", ReadFile(Dir / "site/grows.log") + "more");
            }
        };
        options.Password = c.Password;
        options.CompressMethod = c.Method;
        options.FileSpec = {Dir / "site/*"};
        EXPECT_EQ(Compress(), 1);
        EXPECT_TRUE(grown);
        ASSERT_EQ(errors.Codes(), std::vector<int>{errOpenFile});
        EXPECT_EQ(errors.Entries[0].FileName, Dir / "site/grows.log");
        EXPECT_NE(errors.Entries[0].ExtendedMsg.find("changed"), std::string::npos);
        EXPECT_EQ(MemberNames(), std::set<std::string>{"small.txt"});
    }
}

// The temporary output is written in the temporary folder: a full one is named, not the
// archive's.
TEST_F(ZipRun, AFullTemporaryFolderIsNamedWithTheReason) {
    MakeFiles(3, 50000);
    options.FileSpec = {Dir / "site/*"};
    {
        const test_hooks::TFailWrites budget(20000, ENOSPC);
        EXPECT_EQ(Compress(), 0);
    }
    ASSERT_EQ(errors.Codes(), std::vector<int>{errDiskFull});
    const std::string& file = errors.Entries[0].FileName;
    EXPECT_EQ(ExtractFilePath(file), Dir / "tmp/");
    EXPECT_EQ(ExtractFileExt(file), ".tmp");
    EXPECT_EQ(errors.Entries[0].ExtendedMsg,
              "Cannot write the temporary file \"" + ExtractFileName(file) +
                  "\" in the temporary folder \"" + Dir / "tmp/\". No space left on device");
    EXPECT_TRUE(TempFolderEmpty());
    EXPECT_FALSE(FileExists(Dir / "out.zip"));
}

TEST_F(ZipRun, CancelOnTheThirdOfFiveKeepsTwoMembers) {
    const struct {
        const char* Password;
        int CancelAtProgressEvent; // within the third member
    } cases[] = {{"", 1}, {"", 3}, {"pw", 1}, {"pw", 6}};
    MakeFiles(5, 300000);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Password) + " " + std::to_string(c.CancelAtProgressEvent));
        errors.Entries.clear();
        int member = 0;
        int progressEvents = 0;
        std::vector<std::string> begun;
        events.OnBegin = [&](TCompBase&, const std::string& fileName, int count, bool&) {
            member = count;
            begun.push_back(fileName);
        };
        events.OnProgress = [&](TCompBase& sender, const TProgressInfo&) {
            if (member == 3 && ++progressEvents == c.CancelAtProgressEvent)
                sender.SetCancel(true);
        };
        options.Password = c.Password;
        options.FileSpec = {Dir / "site/*"};
        EXPECT_EQ(Compress(), 2);
        EXPECT_TRUE(zip.GetCancel());
        EXPECT_EQ(errors.Codes(), std::vector<int>{errUserCanceled});
        EXPECT_EQ(begun.size(), 3u);
        // The raw parse fails when anything of the third member is left before the directory.
        const TRawArchive archive = ParseRawArchiveFile(Dir / "out.zip");
        ASSERT_EQ(archive.Members.size(), 2u);
        EXPECT_EQ(archive.Members[0].CentralName, ExtractFileName(begun[0]));
        EXPECT_EQ(archive.Members[1].CentralName, ExtractFileName(begun[1]));
        EXPECT_TRUE(TempFolderEmpty());

        // The flag a cancelled run leaves blocks the comment edit.
        const std::string before = ReadFile(Dir / "out.zip");
        EXPECT_EQ(zip.BeginCommentEdit(options, events), 2);
        zip.SetArchiveComment("comment", 7);
        EXPECT_FALSE(zip.CommitCommentEdit());
        EXPECT_EQ(ReadFile(Dir / "out.zip"), before);
    }
}

TEST_F(ZipRun, TwoGroupsReachingOneFileGiveTwoMembers) {
    WriteFile(Dir / "site/b.gif", "b");
    WriteFile(Dir / "site/img/a.gif", "a");
    options.StoredDirNames = sdAbsolute;
    options.FileSpec = {Dir / "site/*.gif", Dir / "site/img/*.gif"};
    EXPECT_EQ(Compress(), 3);
    std::vector<std::string> names;
    for (const TRawMember& m : ParseRawArchiveFile(Dir / "out.zip").Members)
        names.push_back(m.CentralName);
    EXPECT_EQ(std::count(names.begin(), names.end(), Dir / "site/img/a.gif"), 2);
    EXPECT_EQ(std::count(names.begin(), names.end(), Dir / "site/b.gif"), 1);
}

TEST_F(ZipRun, ExclusionInBothRecursionModes) {
    const std::vector<std::string> files = {"a.htm",     "b.bak",      "img/x.bak",
                                            "img/y.gif", "temp/t.gif", "README"};
    std::vector<std::string> explicitLines;
    for (const std::string& f : files) {
        WriteFile(Dir / ("site/" + f), f);
        explicitLines.push_back(Dir / ("site/" + f));
    }
    const struct {
        bool Recurse;
        std::vector<std::string> Exclude;
        std::set<std::string> Expected;
    } cases[] = {
        {true, {}, {"a.htm", "b.bak", "img/x.bak", "img/y.gif", "temp/t.gif", "README"}},
        {true, {Dir / "site/*.bak"}, {"a.htm", "img/y.gif", "temp/t.gif", "README"}},
        {true, {"*.bak"}, {"a.htm", "img/y.gif", "temp/t.gif", "README"}},
        {true, {Dir / "site/temp/*.*", Dir / "site/*.bak"}, {"a.htm", "img/y.gif", "README"}},
        {true,
         {Dir / "other/*.bak"},
         {"a.htm", "b.bak", "img/x.bak", "img/y.gif", "temp/t.gif", "README"}},
        {true, {"*.*"}, {"README"}},
        {false, {"*.bak"}, {"a.htm", "y.gif", "t.gif", "README"}},
        {false, {Dir / "site/img/*"}, {"a.htm", "b.bak", "t.gif", "README"}},
        {false, {"*.gif", "*.htm"}, {"b.bak", "x.bak", "README"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.Exclude) + (c.Recurse ? " recursive" : ""));
        options.RecurseDirs = c.Recurse;
        options.FileSpec = c.Recurse ? std::vector<std::string>{Dir / "site/*"} : explicitLines;
        options.ExcludeSpec = c.Exclude;
        EXPECT_EQ(Compress(), static_cast<int>(c.Expected.size()));
        EXPECT_EQ(MemberNames(), c.Expected);
    }
}

TEST_F(ZipRun, FailedWritesNeverReplaceTheArchive) {
    MakeFiles(3, 5000);
    options.FileSpec = {Dir / "site/*"};
    options.Password = "pw";
    options.EncryptHeaders = true;
    const int64_t total = LeastWriteBudget([this] { return Compress(); }, 3);
    ASSERT_GT(total, 15000);
    const struct {
        int64_t Budget;
        int Errno;
        int Code;
    } cases[] = {{0, ENOSPC, errDiskFull},         {40, ENOSPC, errDiskFull},
                 {8000, EDQUOT, errDiskFull},      {8000, EIO, errWriteFile},
                 {total - 5, ENOSPC, errDiskFull}, {total - 5, EIO, errWriteFile}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Budget) + " " + std::to_string(c.Errno));
        WriteFile(Dir / "out.zip", "the previous archive");
        errors.Entries.clear();
        {
            const test_hooks::TFailWrites budget(c.Budget, c.Errno);
            EXPECT_EQ(Compress(), 0);
        }
        EXPECT_EQ(errors.Codes(), std::vector<int>{c.Code});
        // The archive is assembled in the temporary folder, which is named.
        EXPECT_EQ(ExtractFilePath(errors.Entries[0].FileName), Dir / "tmp/");
        EXPECT_EQ(ReadFile(Dir / "out.zip"), "the previous archive");
        EXPECT_TRUE(TempFolderEmpty());
    }
}

TEST_F(ZipRun, AnExceptionInsideTheRunEndsItWithoutAnArchive) {
    MakeFiles(3, 100000);
    WriteFile(Dir / "out.zip", "the previous archive");
    events.OnProgress = [](TCompBase&, const TProgressInfo& p) {
        if (p.ProgressByFile > 50)
            throw std::runtime_error("handler failed");
    };
    bool deactivated = false;
    events.OnDeactivate = [&](TCompBase&) { deactivated = true; };
    options.FileSpec = {Dir / "site/*"};
    EXPECT_EQ(Compress(), 0);
    EXPECT_TRUE(deactivated);
    ASSERT_EQ(errors.Entries.size(), 1u);
    EXPECT_EQ(errors.Entries[0].ExtendedMsg, "handler failed");
    EXPECT_EQ(ReadFile(Dir / "out.zip"), "the previous archive");
    EXPECT_TRUE(TempFolderEmpty());
}

TEST_F(ZipRun, TheTemporaryOutputIsNeverItsOwnMember) {
    MakeFiles(2, 100);
    options.TempDir = Dir / "site/"; // the walk meets the temporary output
    options.FileSpec = {Dir / "site/*"};
    EXPECT_EQ(Compress(), 2);
    EXPECT_TRUE(errors.Entries.empty());
    EXPECT_EQ(MemberNames(), (std::set<std::string>{"f1.txt", "f2.txt"}));
    EXPECT_EQ(ListNames(Dir / "site"), (std::vector<std::string>{"f1.txt", "f2.txt"}));
}

TEST_F(ZipRun, EventsComeInTheirOrder) {
    MakeFiles(2, 70000);
    std::vector<std::string> trace;
    events.OnActivate = [&](TCompBase&) { trace.push_back("activate"); };
    events.OnBegin = [&](TCompBase&, const std::string&, int count, bool& extract) {
        trace.push_back("begin " + std::to_string(count));
        extract = count != 1;
    };
    events.OnEnd = [&](TCompBase&, const std::string& name, bool crcPass) {
        trace.push_back("end " + name + (crcPass ? " ok" : " bad"));
    };
    uint8_t lastByArchive = 0;
    events.OnProgress = [&](TCompBase&, const TProgressInfo& p) {
        EXPECT_LE(p.ProgressByFile, 100);
        if (p.ProgressByFile == 0 && p.ProgressByArchive == 0)
            trace.push_back("directory");
        else
            lastByArchive = p.ProgressByArchive;
    };
    events.OnTmpFileMoveBegin = [&](TCompBase&, const std::string& archive,
                                    const std::string& temp) {
        EXPECT_EQ(archive, Dir / "out.zip");
        EXPECT_EQ(ExtractFilePath(temp), Dir / "tmp/");
        EXPECT_EQ(ExtractFileName(temp).substr(0, 3), "arc");
        trace.push_back("move");
    };
    events.OnTmpFileMoveEnd = [&](TCompBase&) { trace.push_back("moved"); };
    events.OnDeactivate = [&](TCompBase&) { trace.push_back("deactivate"); };
    options.FileSpec = {Dir / "site/*"};
    EXPECT_EQ(Compress(), 1);
    const std::string second = ExtractFileName(zip.CurrentFileName());
    EXPECT_EQ(trace,
              (std::vector<std::string>{"activate", "begin 1", "begin 2", "end " + second + " ok",
                                        "directory", "move", "moved", "deactivate"}));
    // The skipped file's bytes stay counted in the total, as the scanner found them.
    EXPECT_EQ(lastByArchive, 50);
    EXPECT_EQ(zip.CurrentFileSize(), 70000);
}

TEST_F(ZipRun, TheArchiveGetsOrdinaryPermissions) {
    WriteFile(Dir / "site/a.txt", "a");
    options.FileSpec = {Dir / "site/*"};
    const mode_t mask = ::umask(022);
    EXPECT_EQ(Compress(), 1);
    struct stat st {};
    ASSERT_EQ(::stat((Dir / "out.zip").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    ASSERT_EQ(::chmod((Dir / "out.zip").c_str(), 0640), 0);
    EXPECT_EQ(Compress(), 1);
    ASSERT_EQ(::stat((Dir / "out.zip").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    ::umask(mask);
}

} // namespace

namespace {

// A folder on another file system than dir, or the empty text.
std::string OtherFileSystemFolder(const std::string& dir) {
    struct stat here {
    }, there{};
    if (::stat(dir.c_str(), &here) != 0 || ::stat("/dev/shm", &there) != 0 ||
        here.st_dev == there.st_dev)
        return {};
    char pattern[] = "/dev/shm/vlmtest-XXXXXX";
    return ::mkdtemp(pattern) ? std::string(pattern) + "/" : std::string();
}

TEST_F(ZipRun, AcrossFileSystemsTheCopyGoesBesideTheArchiveFirst) {
    const std::string temp = OtherFileSystemFolder(Dir.Path());
    if (temp.empty())
        GTEST_SKIP() << "no second file system at /dev/shm";
    MakeFiles(3, 40000);
    options.TempDir = temp;
    options.FileSpec = {Dir / "site/*"};
    WriteFile(Dir / "out.zip", "the previous archive");
    ASSERT_EQ(Compress(), 3);
    EXPECT_EQ(ParseRawArchiveFile(Dir / "out.zip").Members.size(), 3u);
    // The bytes a whole run writes, copy included.
    const int64_t low = LeastWriteBudget([this] { return Compress(); }, 3);
    // The last bytes written are the copy's: a failure there keeps the archive.
    WriteFile(Dir / "out.zip", "the previous archive");
    errors.Entries.clear();
    {
        const test_hooks::TFailWrites budget(low - 5, ENOSPC);
        EXPECT_EQ(Compress(), 0);
    }
    EXPECT_EQ(errors.Codes(), std::vector<int>{errDiskFull});
    EXPECT_EQ(ReadFile(Dir / "out.zip"), "the previous archive");
    EXPECT_EQ(ListNames(Dir.Path()), (std::vector<std::string>{"out.zip", "site", "tmp"}));
    EXPECT_TRUE(ListNames(temp).empty());
    RemoveTree(temp);
}

} // namespace
