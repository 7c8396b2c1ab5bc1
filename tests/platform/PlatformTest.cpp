#include "platform/UErrors.h"
#include "platform/UFileStream.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"

#include "TestSupport.h"

#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace vlm;
using vlm::test::ListNames;
using vlm::test::PathExists;
using vlm::test::ReadFile;
using vlm::test::RemoveTree;
using vlm::test::TTempDir;
using vlm::test::WriteFile;

namespace {

TEST(Paths, NameParts) {
    const struct {
        const char* Path;
        const char* Folder;
        const char* Name;
        const char* Ext;
    } cases[] = {
        {"/site/docs/index.htm", "/site/docs/", "index.htm", ".htm"},
        {"/site/docs/", "/site/docs/", "", ""},
        {"index", "", "index", ""},
        {"/a.b/c", "/a.b/", "c", ""},
        {"/x/backup.tar.gz", "/x/", "backup.tar.gz", ".gz"},
        {"C:page.htm", "", "C:page.htm", ".htm"}, // ":" is an ordinary character here
        {"/x/.hidden", "/x/", ".hidden", ".hidden"},
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractFilePath(c.Path), c.Folder) << c.Path;
        EXPECT_EQ(ExtractFileName(c.Path), c.Name) << c.Path;
        EXPECT_EQ(ExtractFileExt(c.Path), c.Ext) << c.Path;
        EXPECT_EQ(ExtractFileDrive(c.Path), "") << c.Path;
    }
}

TEST(Paths, ChangingExtensionsAndJoining) {
    EXPECT_EQ(ChangeFileExt("/out/site.exe", ".vlm"), "/out/site.vlm");
    EXPECT_EQ(ChangeFileExt("/out/site", ".vlm"), "/out/site.vlm");
    EXPECT_EQ(ChangeFileExt("/o.ut/site", ".exe"), "/o.ut/site.exe");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/a/"), "/a/");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("/a/"), "/a");
    EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
    EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(JoinPath("", "b"), "b");
}

TEST(Paths, ExpandFileNameResolvesDotsAsText) {
    const struct {
        const char* Path;
        const char* Base;
        const char* Full;
    } cases[] = {
        {"page.htm", "/site/docs/", "/site/docs/page.htm"},
        {"../img/a.gif", "/site/docs/", "/site/img/a.gif"},
        {"./a/./b/../c.htm", "/site", "/site/a/c.htm"},
        {"/abs/x.htm", "/site/", "/abs/x.htm"},
        {"../../../../x", "/site/", "/x"},
        {"sub/", "/site/", "/site/sub/"},
        {"//double//slash", "/", "/double/slash"},
        {"my page.htm", "/s p/", "/s p/my page.htm"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandFileName(c.Path, c.Base), c.Full) << c.Path << " in " << c.Base;
    EXPECT_EQ(ExpandFileName("x"), GetCurrentFolder() + "x");
}

TEST(Paths, FileNameIdentityIsExactHere) {
    EXPECT_TRUE(SameFileName("/a/B.htm", "/a/B.htm"));
    EXPECT_FALSE(SameFileName("/a/B.htm", "/a/b.htm"));
    EXPECT_NE(FileNameKey("/a/B.htm"), FileNameKey("/a/b.htm"));
    EXPECT_TRUE(StartsWithFileName("/site/", "/site/a.htm"));
    EXPECT_FALSE(StartsWithFileName("/Site/", "/site/a.htm"));
}

TEST(FileSys, AttributeWordIsSynthesised) {
    TTempDir dir;
    WriteFile(dir / "plain.htm", "x");
    WriteFile(dir / ".hidden", "x");
    WriteFile(dir / "ro.htm", "x");
    ASSERT_EQ(::chmod((dir / "ro.htm").c_str(), 0444), 0);
    ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0777), 0);
    ASSERT_EQ(::mkdir((dir / ".git").c_str(), 0777), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0666), 0);
    EXPECT_EQ(FileGetAttr(dir / "plain.htm"), faArchive);
    EXPECT_EQ(FileGetAttr(dir / ".hidden"), faArchive | faHidden);
    EXPECT_EQ(FileGetAttr(dir / "ro.htm"), faArchive | faReadOnly);
    EXPECT_EQ(FileGetAttr(dir / "sub"), faDirectory);
    EXPECT_EQ(FileGetAttr(dir / ".git"), faDirectory | faHidden);
    EXPECT_EQ(FileGetAttr(dir / "fifo"), -1);
    EXPECT_EQ(FileGetAttr(dir / "missing"), -1);
    EXPECT_TRUE(FileExists(dir / "plain.htm"));
    EXPECT_FALSE(FileExists(dir / "sub"));
    EXPECT_FALSE(FileExists(dir / "fifo"));
    EXPECT_TRUE(DirectoryExists(dir / "sub"));
}

TEST(FileSys, ListingLeavesOutFifosSocketsAndDanglingLinks) {
    TTempDir dir;
    WriteFile(dir / "a.htm", "12345");
    ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0777), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0666), 0);
    ASSERT_EQ(::symlink("nowhere", (dir / "dangling").c_str()), 0);
    ASSERT_EQ(::symlink("a.htm", (dir / "link.htm").c_str()), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string sockPath = dir / "sock";
    ASSERT_LT(sockPath.size(), sizeof address.sun_path);
    std::copy(sockPath.begin(), sockPath.end(), address.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    std::map<std::string, TSearchRec> seen;
    EXPECT_TRUE(ListFolder(dir.Path(), [&](const TSearchRec& rec) {
        seen[rec.Name] = rec;
        return true;
    }));
    // The names-only listing reports everything, and calls a plain file only what the
    // folder itself says is one: links and the rest need a look.
    std::vector<TFolderEntry> entries;
    EXPECT_TRUE(ListFolderEntries(dir.Path(), entries));
    std::map<std::string, bool> regular;
    for (const TFolderEntry& entry : entries)
        regular[entry.Name] = entry.RegularFile;
    EXPECT_EQ(regular, (std::map<std::string, bool>{{"a.htm", true},
                                                    {"sub", false},
                                                    {"fifo", false},
                                                    {"dangling", false},
                                                    {"link.htm", false},
                                                    {"sock", false}}));
    for (const auto& [folder, error] :
         {std::pair{dir / "missing", ENOENT}, std::pair{dir / "a.htm/x", ENOTDIR}}) {
        int errorNumber = 0;
        entries.clear();
        EXPECT_FALSE(ListFolderEntries(folder, entries, &errorNumber)) << folder;
        EXPECT_EQ(errorNumber, error) << folder;
        EXPECT_TRUE(entries.empty());
    }
    ::close(sock);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen["a.htm"].Size, 5u);
    EXPECT_EQ(seen["a.htm"].Attr, faArchive);
    EXPECT_TRUE(seen["sub"].IsDirectory());
    EXPECT_EQ(seen["link.htm"].Inode, seen["a.htm"].Inode);
    EXPECT_FALSE(ListFolder(dir / "missing", [](const TSearchRec&) { return true; }));
}

TEST(FileSys, DosDateTimeIsLocalTimeClampedToTheDosRange) {
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz ? oldTz : "";
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    const struct {
        time_t Time;
        uint32_t Dos;
    } cases[] = {
        // 2024-03-15 13:45:31 UTC: date (44<<9|3<<5|15), time (13<<11|45<<5|15)
        {1710510331, (44u << 9 | 3u << 5 | 15u) << 16 | (13u << 11 | 45u << 5 | 15u)},
        {0, (0u << 9 | 1u << 5 | 1u) << 16},         // 1970 becomes 1980-01-01
        {315532800, (0u << 9 | 1u << 5 | 1u) << 16}, // 1980-01-01 00:00:00
        {4354819200, (127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u)}, // 2108
    };
    for (const auto& c : cases)
        EXPECT_EQ(DateTimeToDosDateTime(c.Time), c.Dos) << c.Time;
    if (oldTz)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST(FileSys, UniqueTemporaryFilesAreNewPrivateAndNamedArcHex) {
    TTempDir dir;
    std::set<std::string> names;
    for (int i = 0; i < 50; ++i) {
        const std::string path = CreateUniqueTempFile(dir.Path());
        const std::string name = ExtractFileName(path);
        EXPECT_EQ(ExtractFilePath(path), dir.Path());
        ASSERT_EQ(name.size(), 11u) << name;
        EXPECT_EQ(name.substr(0, 3), "arc");
        EXPECT_EQ(name.substr(7), ".tmp");
        EXPECT_EQ(name.find_first_not_of("0123456789ABCDEF", 3), 7u) << name;
        struct stat st;
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        EXPECT_EQ(st.st_size, 0);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 50u);
    EXPECT_THROW(CreateUniqueTempFile(dir / "missing"), EFCreateError);
}

TEST(FileSys, TemporaryFolderIsPrivateAndSettable) {
    const std::string folder = TempFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    struct stat st;
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(TempFolder(), folder); // made once per process
    SetTempFolder("/somewhere/else");
    EXPECT_EQ(TempFolder(), "/somewhere/else/");
    SetTempFolder("");
    EXPECT_EQ(TempFolder(), folder);
}

// The process id and start time part of this process's private folder name.
std::string OwnNamePrefix() {
    const std::string name = ExtractFileName(ExcludeTrailingPathDelimiter(RequireTempFolder()));
    return name.substr(0, name.size() - 6); // "vlmpack-PID-START-"
}

TEST(FileSys, APrivateFolderThatWentOrWasTakenOverIsMadeAnew) {
    const std::string prefix = "vlmpack-" + std::to_string(::getpid()) + "-";
    const struct {
        const char* What;
        std::function<void(const std::string&)> Spoil; // what happens to the folder
    } cases[] = {
        {"removed by a cleaner", [](const std::string& f) { ASSERT_EQ(::rmdir(f.c_str()), 0); }},
        {"made again open to all",
         [](const std::string& f) {
             ASSERT_EQ(::rmdir(f.c_str()), 0);
             ASSERT_EQ(::mkdir(f.c_str(), 0700), 0);
             ASSERT_EQ(::chmod(f.c_str(), 0777), 0);
         }},
        {"made again by another user",
         [](const std::string& f) {
             ASSERT_EQ(::rmdir(f.c_str()), 0);
             ASSERT_EQ(::mkdir(f.c_str(), 0700), 0);
             if (::chown(f.c_str(), 12345, 12345) != 0) {
                 ASSERT_EQ(::chmod(f.c_str(), 0755), 0); // not root: not private either
             }
         }},
        {"replaced by a link",
         [](const std::string& f) {
             ASSERT_EQ(::rmdir(f.c_str()), 0);
             ASSERT_EQ(::symlink("/tmp", ExcludeTrailingPathDelimiter(f).c_str()), 0);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string before = RequireTempFolder();
        c.Spoil(ExcludeTrailingPathDelimiter(before));
        const std::string after = RequireTempFolder();
        EXPECT_NE(after, before);
        EXPECT_EQ(ExtractFileName(ExcludeTrailingPathDelimiter(after)).rfind(prefix, 0), 0u);
        struct stat st;
        ASSERT_EQ(::lstat(after.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_EQ(st.st_uid, ::geteuid());
        EXPECT_EQ(TempFolder(), after);
        RemoveTree(ExcludeTrailingPathDelimiter(before)); // not ours: a link goes, not /tmp
    }
}

TEST(FileSys, ATemporaryFolderThatCannotBeUsedIsNamedWithTheReason) {
    TTempDir dir;
    WriteFile(dir / "file", "x");
    const std::string saved = TempBaseFolder();
    const struct {
        std::string Base;
        std::string Reason;
    } cases[] = {
        {dir / "missing", "No such file or directory"},
        {dir / "file/sub", "Not a directory"},
    };
    for (const auto& c : cases) {
        ::rmdir(RequireTempFolder().c_str()); // the next use makes a new one
        ::setenv("TMPDIR", c.Base.c_str(), 1);
        try {
            RequireTempFolder();
            ADD_FAILURE() << c.Base << ": no error";
        } catch (const EVlmError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find("in the temporary folder \"" + c.Base + "\""), std::string::npos)
                << message;
            EXPECT_NE(message.find("\"vlmpack-"), std::string::npos) << message;
            EXPECT_NE(message.find(c.Reason), std::string::npos) << message;
        }
        EXPECT_EQ(TempFolder(), "");
        ::setenv("TMPDIR", saved.c_str(), 1);
        EXPECT_NE(TempFolder(), "");
    }
    SetTempFolder(dir / "missing");
    EXPECT_THROW(RequireTempFolder(), EVlmError);
    SetTempFolder("");
}

// What killed processes of this user left goes; nothing else is touched.
TEST(FileSys, StalePrivateFoldersOfThisUserAreRemoved) {
    TTempDir base;
    TTempDir outside;
    WriteFile(outside / "keep.txt", "keep");
    const std::string own = OwnNamePrefix();
    const std::string ownPid = own.substr(0, own.rfind('-', own.size() - 2) + 1);
    const bool root = ::geteuid() == 0;
    const struct {
        std::string Name;
        std::string Kind; // "folder", "open" (mode 0755), "other user", "nested", "link"
        bool Removed;
    } cases[] = {
        {"vlmpack-4194399-12345-a1B2c3", "folder", true}, // beyond any process id
        {ownPid + "1-zzzzzz", "folder", true},            // the id now runs another process
        {own + "yyyyyy", "folder", false},                // this very process
        {"vlmpack-4194399-1-a1B2c3", root ? "other user" : "open", false},
        {"vlmpack-4194399-2-a1B2c3", "nested", false},
        {"vlmpack-4194399-3-a1B2c3", "link", false},
        {"vlmpack-4194399-4-toolong", "folder", false},
        {"vlmpack-a1B2c3", "folder", false},
        {"other-4194399-5-a1B2c3", "folder", false},
    };
    int expected = 0;
    for (const auto& c : cases) {
        const std::string path = base / c.Name;
        if (c.Kind == "link") {
            ASSERT_EQ(::symlink(outside.Path().c_str(), path.c_str()), 0);
            continue;
        }
        ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
        WriteFile(path + "/VLM.settings", "Password=secret");
        ASSERT_EQ(::symlink((outside / "keep.txt").c_str(), (path + "/link").c_str()), 0);
        if (c.Kind == "open") {
            ASSERT_EQ(::chmod(path.c_str(), 0755), 0);
        } else if (c.Kind == "other user") {
            ASSERT_EQ(::chown(path.c_str(), 12345, 12345), 0);
        } else if (c.Kind == "nested") {
            ASSERT_EQ(::mkdir((path + "/sub").c_str(), 0700), 0);
        }
        expected += c.Removed ? 1 : 0;
    }
    EXPECT_EQ(RemoveStalePrivateFolders(base.Path()), expected);
    for (const auto& c : cases)
        EXPECT_EQ(PathExists(base / c.Name), !c.Removed) << c.Name;
    EXPECT_EQ(ListNames(outside.Path()), std::vector<std::string>{"keep.txt"});
    EXPECT_EQ(ReadFile(outside / "keep.txt"), "keep");
    EXPECT_EQ(RemoveStalePrivateFolders(base / "missing"), 0);
}

TEST(FileSys, ProgramFolderIsTheExecutablesFolderUnlessSet) {
    EXPECT_EQ(ProgramFolder(), ExtractFilePath(ProgramPath()));
    SetProgramFolder("/opt/vlm");
    EXPECT_EQ(ProgramFolder(), "/opt/vlm/");
    SetProgramFolder("");
}

TEST(FileStream, ErrorsNameTheFileAndTheReason) {
    TTempDir dir;
    WriteFile(dir / "file", "x");
    const struct {
        std::string Path;
        TFileMode Mode;
        std::string Message;
    } cases[] = {
        {dir / "missing", TFileMode::OpenRead,
         "Cannot open file \"" + (dir / "missing") + "\". No such file or directory"},
        {dir.Path(), TFileMode::OpenRead,
         "Cannot open file \"" + dir.Path() + "\". Is a directory"},
        {dir / "file/sub", TFileMode::Create,
         "Cannot create file \"" + (dir / "file/sub") + "\". Not a directory"},
        {dir / "file", TFileMode::CreateNew,
         "Cannot create file \"" + (dir / "file") + "\". File exists"},
    };
    for (const auto& c : cases) {
        try {
            TFileStream stream(c.Path, c.Mode);
            ADD_FAILURE() << c.Path << ": no error";
        } catch (const EStreamError& e) {
            EXPECT_EQ(std::string(e.what()), c.Message);
        }
    }
}

TEST(FileStream, WritingToAFullDeviceIsAStreamWriteError) {
    TFileStream full("/dev/full", TFileMode::Create);
    try {
        full.WriteBuffer("abc", 3);
        FAIL() << "no error";
    } catch (const EWriteError& e) {
        EXPECT_EQ(std::string(e.what()), "Stream write error");
        EXPECT_EQ(e.ErrorNumber, ENOSPC);
    }
}

TEST(FileStream, FifosAreNeverOpenedForReading) {
    TTempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0666), 0);
    EXPECT_THROW(TFileStream(dir / "fifo", TFileMode::OpenRead), EFOpenError);
}

} // namespace
