#include "archive/arcFileScan.h"

#include "TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace vlm;
using vlm::test::TTempDir;
using vlm::test::WriteFile;

namespace {

TEST(Mask, MatchingTable) {
    const struct {
        const char* Mask;
        const char* Name;
        bool Matches;
    } cases[] = {
        {"*.*", "README", false},
        {"*.*", "a.gif", true},
        {"*.", "README", true},
        {"*.", "a.txt", false},
        {"abc.", "abc", true},
        {"a.b.", "a.b", false},
        {"INDEX.HTM", "index.htm", true},
        {"index.htm", "INDEX.HTM", true},
        {"a?", "a", false},
        {"a?", "ab", true},
        {"*?x", "x", true},
        {"?", "", false},
        {"*", "", true},
        {"*", "a/b\\c.d", true},
        {"", "", true},
        {"", "a", false},
        {"*.htm", "a.html", false},
        {"*.htm*", "a.html", true},
        {"*abc", "ababc", true},
        {"a*b*c", "abcbc", true},
        {"a*bc", "abcbcx", false},
        {"*a*a*b", "aaaa", false},
        {"*a*b*c", "xaybzc", true},
        {"*.htm", "x.htm.bak", false},
        {"[ab]", "a", false},
        {"[ab]", "[AB]", true},
        {"a;b", "a", false},
        {"a b", "A B", true},
        {"\xc3\xa9", "\xc3\x89", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesMask(c.Name, c.Mask), c.Matches) << c.Mask << " vs " << c.Name;
}

// The matcher's definition, written the slow recursive way.
bool ReferenceMatch(std::string_view mask, std::string_view name) {
    if (mask.empty())
        return name.empty();
    if (mask[0] == '*') {
        for (size_t skip = 0; skip <= name.size(); ++skip)
            if (ReferenceMatch(mask.substr(1), name.substr(skip)))
                return true;
        return false;
    }
    if (name.empty())
        return false;
    const auto up = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; };
    return (mask[0] == '?' || up(mask[0]) == up(name[0])) &&
           ReferenceMatch(mask.substr(1), name.substr(1));
}

TEST(Mask, AgreesWithFullBacktrackingOnRandomMasks) {
    std::mt19937 random(42);
    const auto draw = [&](const char* alphabet, size_t count, size_t maxLength) {
        std::string text(random() % (maxLength + 1), ' ');
        for (char& c : text)
            c = alphabet[random() % count];
        return text;
    };
    for (int i = 0; i < 20000; ++i) {
        const std::string mask = draw("ab*?A", 5, 7);
        const std::string name = draw("abB", 3, 8);
        // A mask without a final "." and without "*?" has the plain wildcard meaning.
        if (mask.find("*?") != std::string::npos)
            continue;
        ASSERT_EQ(MatchesMask(name, mask), ReferenceMatch(mask, name)) << mask << " vs " << name;
    }
}

TEST(Mask, ManyStarRunsAreMatchedWithoutExponentialWork) {
    std::string mask;
    for (int i = 0; i < 40; ++i)
        mask += "*a";
    const std::string manyA(300, 'a');
    EXPECT_FALSE(MatchesMask(manyA, mask + "b"));
    EXPECT_TRUE(MatchesMask(manyA + "b", mask + "b"));
    EXPECT_FALSE(MatchesMask(std::string(39, 'a'), mask));
}

TEST(AttributeFilter, Table) {
    const TArcFileAttrs none;
    const struct {
        uint32_t Attr;
        TArcFileAttrs Include;
        TArcFileAttrs Exclude;
        bool Candidate;
    } cases[] = {
        {faArchive, DefaultArcFileAttrs, none, true},
        {faHidden, DefaultArcFileAttrs, none, false},
        {faHidden | faArchive, DefaultArcFileAttrs, none, true},
        {faSysFile, DefaultArcFileAttrs, none, false},
        {0, DefaultArcFileAttrs, none, true},
        {faNormal, DefaultArcFileAttrs, none, true},
        {faTemporary, DefaultArcFileAttrs, none, false},
        {faOffline, DefaultArcFileAttrs, none, false},
        {faNotContentIndexed, none, none, true},
        {faNotContentIndexed | faArchive, none, {fsArchive}, false},
        {faNotContentIndexed, DefaultArcFileAttrs, {fsZeroAttr}, true},
        {faEncrypted, DefaultArcFileAttrs, none, true},
        {faEncrypted, {fsArchive}, none, false},
        {faCompressed, DefaultArcFileAttrs, none, true},
        {faDirectory, DefaultArcFileAttrs, none, false},
        {faDirectory, {fsDirectory}, none, true},
        {faDirectory | faReadOnly, DefaultArcFileAttrs, none, true},
        {faVolumeID, {fsVolumeID}, none, false},
        {faHidden | faArchive, DefaultArcFileAttrs, {fsHidden}, false},
        {faArchive, none, none, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsScanCandidate(c.Attr, c.Include, c.Exclude), c.Candidate)
            << "attr " << c.Attr << " include " << c.Include.Bits() << " exclude "
            << c.Exclude.Bits();
}

// Runs a scan over FileSpec and records what it reports.
struct TScanLog {
    std::vector<std::string> Roots;   // OnRootDirChange
    std::vector<std::string> Entered; // OnRecurseDir
    std::vector<std::string> Files;   // OnEntry of files: folder + name
    std::vector<std::string> Folders; // OnEntry of folders
    std::vector<std::string> Events;  // entered folders and files, in order
    int Count = 0;
    uint64_t Size = 0;
};

TScanLog RunScan(TArcFileScan& scan) {
    TScanLog log;
    scan.OnRootDirChange = [&](const std::string& f) { log.Roots.push_back(f); };
    scan.OnRecurseDir = [&](const std::string& f) {
        log.Entered.push_back(f);
        log.Events.push_back(f);
    };
    scan.OnEntry = [&](const std::string& folder, const TSearchRec& rec) {
        if (rec.IsDirectory())
            return log.Folders.push_back(folder);
        log.Files.push_back(folder + rec.Name);
        log.Events.push_back(folder + rec.Name);
    };
    scan.OnScanFile = [&](const std::string& name, int count, uint64_t size) {
        EXPECT_EQ(name.find('/'), std::string::npos) << name;
        EXPECT_EQ(count, log.Count + 1);
        log.Count = count;
        log.Size = size;
    };
    scan.Scan();
    EXPECT_EQ(scan.FilesCount(), log.Count);
    EXPECT_EQ(scan.FilesSize(), log.Size);
    return log;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

class FileScan : public ::testing::Test {
protected:
    TScanLog Scan(std::vector<std::string> spec, bool recurse = true) {
        TArcFileScan scan;
        scan.FileSpec = std::move(spec);
        scan.RecurseDirs = recurse;
        return RunScan(scan);
    }
    TTempDir Dir;
};

TEST_F(FileScan, LinesOfOneFolderFoldIntoOneWalk) {
    WriteFile(Dir / "index.htm", "12345");
    WriteFile(Dir / "a.htm", "12");
    WriteFile(Dir / "b.txt", "1");
    WriteFile(Dir / "README", "1");
    const struct {
        std::vector<std::string> Spec;
        std::vector<std::string> Files;
    } cases[] = {
        {{Dir / "index.htm", Dir / "*.htm"}, {"a.htm", "index.htm"}},
        {{Dir / "*.htm", Dir / "index.htm"}, {"a.htm", "index.htm"}},
        {{Dir / "index.htm", Dir / "index.htm"}, {"index.htm"}},
        {{Dir / "*.*"}, {"README", "a.htm", "b.txt", "index.htm"}},
        {{Dir.Path()}, {"README", "a.htm", "b.txt", "index.htm"}},
        {{"", " \t", Dir / "b.txt", "\r"}, {"b.txt"}},
        {{Dir / "*.", Dir / "b.*"}, {"README", "b.txt"}},
    };
    for (const auto& c : cases) {
        const TScanLog log = Scan(c.Spec, false);
        std::vector<std::string> expected;
        for (const std::string& name : c.Files)
            expected.push_back(Dir / name);
        EXPECT_EQ(log.Roots, std::vector<std::string>{Dir.Path()}) << c.Spec[0];
        EXPECT_EQ(Sorted(log.Files), expected) << c.Spec[0];
    }
    const TScanLog sized = Scan({Dir / "*.htm"}, false);
    EXPECT_EQ(sized.Count, 2);
    EXPECT_EQ(sized.Size, 7u);
}

TEST_F(FileScan, GroupsReachingTheSameFileReportItTwice) {
    WriteFile(Dir / "img/a.gif", "g");
    WriteFile(Dir / "b.gif", "g");
    WriteFile(Dir / "img/c.htm", "h");
    const TScanLog log = Scan({Dir / "*.gif", Dir / "img/*.gif"});
    EXPECT_EQ(log.Roots, (std::vector<std::string>{Dir.Path(), Dir / "img/"}));
    EXPECT_EQ(Sorted(log.Files),
              (std::vector<std::string>{Dir / "b.gif", Dir / "img/a.gif", Dir / "img/a.gif"}));
}

TEST_F(FileScan, FolderIdentityIsExactAndColonIsOrdinary) {
    WriteFile(Dir / "x/a.htm", "1");
    WriteFile(Dir / "X/b.htm", "1");
    WriteFile(Dir / "c:d/e:f.htm", "1");
    const TScanLog log = Scan({Dir / "x/*.htm", Dir / "X/*.htm", Dir / "c:d/*.htm"});
    EXPECT_EQ(log.Roots, (std::vector<std::string>{Dir / "x/", Dir / "X/", Dir / "c:d/"}));
    EXPECT_EQ(Sorted(log.Files),
              (std::vector<std::string>{Dir / "X/b.htm", Dir / "c:d/e:f.htm", Dir / "x/a.htm"}));
}

TEST_F(FileScan, HiddenFoldersAreEnteredOnlyWhenAsked) {
    WriteFile(Dir / ".hidden/x.htm", "1");
    WriteFile(Dir / ".dotfile", "1");
    WriteFile(Dir / "sub/y.htm", "1");
    for (const bool includeHidden : {false, true}) {
        TArcFileScan scan;
        scan.FileSpec = {Dir / "*"};
        scan.IncludeHiddenDirs = includeHidden;
        const TScanLog log = RunScan(scan);
        std::vector<std::string> expected{Dir / ".dotfile", Dir / "sub/y.htm"};
        if (includeHidden)
            expected.insert(expected.begin(), Dir / ".hidden/x.htm");
        EXPECT_EQ(Sorted(log.Files), Sorted(expected)) << includeHidden;
    }
}

TEST_F(FileScan, CandidateFoldersAreReportedWithTheirOwnPath) {
    WriteFile(Dir / "sub/deeper/y.htm", "1");
    TArcFileScan scan;
    scan.FileSpec = {Dir / "*.htm"};
    scan.Attributes.Include(fsDirectory);
    const TScanLog log = RunScan(scan);
    EXPECT_EQ(Sorted(log.Folders), (std::vector<std::string>{Dir / "sub/", Dir / "sub/deeper/"}));
    EXPECT_EQ(log.Files, std::vector<std::string>{Dir / "sub/deeper/y.htm"});
    EXPECT_EQ(log.Count, 1);
}

TEST_F(FileScan, WalkIsDepthFirstInListingOrder) {
    for (const char* path : {"a1", "d1/b1", "d1/e/c1", "d1/b2", "a2", "d2/f1", "a3"})
        WriteFile(Dir / path, "x");
    const TScanLog log = Scan({Dir.Path()});
    ASSERT_EQ(log.Files.size(), 7u);
    // Every folder's events form one block that starts where it is entered.
    for (const std::string& folder : log.Entered) {
        const auto inside = [&](const std::string& e) { return e.rfind(folder, 0) == 0; };
        const auto first = std::find_if(log.Events.begin(), log.Events.end(), inside);
        const auto last = std::find_if(log.Events.rbegin(), log.Events.rend(), inside).base();
        EXPECT_EQ(*first, folder);
        EXPECT_TRUE(std::all_of(first, last, inside)) << folder;
    }
    // The top folder's entries come in the order the file system lists them.
    std::vector<std::string> listed, seen;
    ListFolder(Dir.Path(), [&](const TSearchRec& rec) {
        listed.push_back(Dir / rec.Name + (rec.IsDirectory() ? "/" : ""));
        return true;
    });
    for (const std::string& event : log.Events)
        if (std::count(listed.begin(), listed.end(), event))
            seen.push_back(event);
    EXPECT_EQ(seen, listed);
}

TEST_F(FileScan, MissingAndImpossibleFoldersYieldNothing) {
    WriteFile(Dir / "a.htm", "1");
    const TScanLog log =
        Scan({Dir / "missing/*.htm", Dir / "a.htm/under/*", Dir / "gone.htm", Dir / "a.htm"});
    EXPECT_EQ(log.Files, std::vector<std::string>{Dir / "a.htm"});
}

TEST_F(FileScan, LineWithoutFolderUsesRootDirOrTheCurrentFolder) {
    WriteFile(Dir / "root/a.htm", "1");
    TArcFileScan scan;
    scan.FileSpec = {"a.htm"};
    scan.RootDir = Dir / "root";
    EXPECT_EQ(RunScan(scan).Files, std::vector<std::string>{Dir / "root/a.htm"});

    char* previous = ::getcwd(nullptr, 0);
    ASSERT_EQ(::chdir((Dir / "root").c_str()), 0);
    TArcFileScan here;
    here.FileSpec = {"*.htm"};
    const TScanLog log = RunScan(here);
    ASSERT_EQ(::chdir(previous), 0);
    ::free(previous);
    EXPECT_EQ(log.Files, std::vector<std::string>{Dir / "root/a.htm"});
}

TEST_F(FileScan, CancelStopsBeforeTheNextEntryAndGroup) {
    for (const char* path : {"a/1", "a/2", "a/3", "a/4", "b/5"})
        WriteFile(Dir / path, "x");
    for (const bool byToken : {false, true}) {
        SCOPED_TRACE(byToken ? "token" : "flag");
        bool cancelled = false;
        TCancelToken token;
        TArcFileScan scan;
        scan.FileSpec = {Dir / "a/*", Dir / "b/*"};
        scan.SetCancelFlag(&cancelled);
        scan.CancelToken = &token;
        int entries = 0;
        scan.ProcessMessages = [&] {
            if (++entries == 2)
                byToken ? token.Cancel() : void(cancelled = true);
        };
        const TScanLog log = RunScan(scan);
        EXPECT_EQ(log.Files.size(), 2u);
        EXPECT_EQ(log.Roots, std::vector<std::string>{Dir / "a/"});
    }

    TArcFileScan own;
    own.FileSpec = {Dir / "a/*"};
    own.Cancel();
    EXPECT_TRUE(RunScan(own).Files.empty());
}

// The folders of many groups are listed ahead of the walk: what it reports keeps the order
// of the groups' first lines and, within a folder, the order of its listing; a group whose
// folder is missing or is a file takes nothing and stops nothing.
TEST_F(FileScan, GroupsListedAheadKeepTheirOrder) {
    constexpr int Folders = 40;
    for (int i = 0; i < Folders; ++i)
        for (int k = 0; k < 3; ++k)
            WriteFile(Dir / ("d" + std::to_string(i) + "/f" + std::to_string(k) + ".htm"), "x");
    TArcFileScan scan;
    for (int k = 0; k < 3; ++k)
        for (int i = Folders - 1; i >= 0; --i) {
            scan.LiteralSpec.push_back(
                Dir / ("d" + std::to_string(i) + "/f" + std::to_string(k) + ".htm"));
            if (i == Folders / 2)
                scan.LiteralSpec.insert(scan.LiteralSpec.end(),
                                        {Dir / "gone/x.htm", Dir / "d1/f0.htm/x.htm"});
        }
    std::vector<std::string> expected;
    for (int i = Folders - 1; i >= 0; --i) {
        const std::string folder = Dir / ("d" + std::to_string(i) + "/");
        ListFolder(folder, [&](const TSearchRec& rec) {
            expected.push_back(folder + rec.Name);
            return true;
        });
    }
    EXPECT_EQ(RunScan(scan).Files, expected);
}

TEST_F(FileScan, LinkLoopsEndAndSpecialFilesAreNeverTaken) {
    WriteFile(Dir / "top/a/file.htm", "1");
    ASSERT_EQ(::symlink((Dir / "top").c_str(), (Dir / "top/a/up").c_str()), 0);
    ASSERT_EQ(::symlink(".", (Dir / "top/a/self").c_str()), 0);
    ASSERT_EQ(::symlink((Dir / "top/a").c_str(), (Dir / "top/side").c_str()), 0);
    ASSERT_EQ(::symlink((Dir / "nowhere").c_str(), (Dir / "top/dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo((Dir / "top/pipe").c_str(), 0600), 0);
    const TScanLog log = Scan({Dir / "top/*"});
    // Reached once directly and once through the link to a sibling; never through a loop.
    EXPECT_EQ(Sorted(log.Files),
              (std::vector<std::string>{Dir / "top/a/file.htm", Dir / "top/side/file.htm"}));
}

} // namespace

namespace {

// Literal lines take the file named as written, or only when none is, the files that
// differ from it in letter case; wildcards are ordinary characters; a literal line never
// reaches into subfolders, and mask lines of the same folder keep their masks.
TEST(LiteralScan, NamesAreTakenExactly) {
    TTempDir dir;
    for (const char* name : {"a.htm", "A.HTM", "st*r.htm", "stXXr.htm", "q?.txt", "qz.txt",
                             "Dup.gif", "DUP.gif", "x.css", "sub/a.htm", "sub/x.css"})
        WriteFile(dir / name, name);
    std::filesystem::create_directories(dir / "folder.htm");
    const struct {
        std::vector<std::string> Literal;
        std::vector<std::string> Masks;
        std::vector<std::string> Taken;
    } cases[] = {
        {{"a.htm"}, {}, {"a.htm"}},
        {{"A.htm"}, {}, {"A.HTM", "a.htm"}},
        {{"st*r.htm", "q?.txt"}, {}, {"q?.txt", "st*r.htm"}},
        {{"dup.gif"}, {}, {"DUP.gif", "Dup.gif"}},
        {{"Dup.gif", "a.htm"}, {}, {"Dup.gif", "a.htm"}},
        {{"a.htm", "dup.gif"}, {}, {"DUP.gif", "Dup.gif", "a.htm"}},
        {{"A.htm", "a.htm"}, {}, {"A.HTM", "a.htm"}},
        {{"missing.htm", "folder.htm"}, {}, {}},
        {{"a.htm"}, {"*.css"}, {"a.htm", "sub/x.css", "x.css"}},
    };
    for (const auto& c : cases) {
        TArcFileScan scan;
        for (const std::string& name : c.Literal)
            scan.LiteralSpec.push_back(dir / name);
        for (const std::string& mask : c.Masks)
            scan.FileSpec.push_back(dir / mask);
        std::vector<std::string> taken;
        for (const std::string& file : RunScan(scan).Files)
            taken.push_back(file.substr(dir.Path().size()));
        EXPECT_EQ(Sorted(taken), c.Taken) << ::testing::PrintToString(c.Literal);
    }
}

} // namespace
