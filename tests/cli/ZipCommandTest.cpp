// vlm zip: options, headers and errors, and archives with plain headers that the standard
// tools (unzip, 7-Zip, Python's zipfile) test clean and read back with the password. Each
// tool has its own test, skipped when the tool is not installed.
#include "TestSupport.h"
#include "VlmInProcess.h"

#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>

using namespace vlm::test;

namespace {

const std::string Password = "s3cret";

std::string Text(size_t n) {
    std::string text;
    for (int line = 0; text.size() < n; ++line)
        text += "Line " + std::to_string(line) + " of a page that compresses well.\n";
    text.resize(n);
    return text;
}

const std::map<std::string, std::string>& Tree() {
    static const std::map<std::string, std::string> tree = {
        {"index.htm", Text(5000)},
        {"empty.txt", ""},
        {"one.txt", "1"},
        {"random100.bin", RandomBytes(100, 1)},
        {"random300.bin", RandomBytes(300, 2)},
        {"a.ZIP", Text(600)},
        {"big text.txt", Text(1 << 20)},
        {"img/pic ture.gif", RandomBytes(70000, 3)},
        {"caf\xc3\xa9.htm", Text(300)},
    };
    return tree;
}

class ZipCommand : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& [name, content] : Tree())
            WriteFile(Dir / ("site/" + name), content);
    }
    TProcessResult Vlm(const std::vector<std::string>& args) {
        return RunVlm(args, {.ProgramFolder = Dir.Path()});
    }
    TTempDir Dir;
};

// -@: the names to pack from standard input, in their order, stored as given (or with
// --absolute as full paths); a name that names no file is told and fails the run. The
// program itself reads its own standard input.
TEST_F(ZipCommand, TakesNamesFromStandardInput) {
    const std::string list = "img/pic ture.gif\r\none.txt\n\nindex.htm\n";
    const struct {
        std::vector<std::string> Options;
        std::string Input;
        int Exit;
        std::vector<std::string> Names;
        bool Process = false;
    } cases[] = {
        {{}, list, 0, {"img/pic ture.gif", "one.txt", "index.htm"}},
        {{}, list, 0, {"img/pic ture.gif", "one.txt", "index.htm"}, true},
        {{"--absolute"}, "one.txt\n", 0, {Dir / "site/one.txt"}},
        {{}, "one.txt\nmissing.txt\n", 1, {"one.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Input + (c.Process ? " (the program)" : ""));
        const std::string archive = Dir / "list.zip";
        std::vector<std::string> args{"zip", archive, "-@", "--plain-headers"};
        args.insert(args.end(), c.Options.begin(), c.Options.end());
        const TProcessResult made = c.Process
                                        ? RunProcess(VLM_BINARY, args, {}, c.Input, Dir / "site")
                                        : RunVlm(args, {.Input = c.Input, .WorkDir = Dir / "site"});
        EXPECT_EQ(made.ExitCode, c.Exit) << made.Err;
        EXPECT_EQ(made.Err.find("missing.txt") != std::string::npos, c.Exit != 0) << made.Err;
        const TProcessResult listed = Vlm({"list", archive});
        std::vector<std::string> names; // in member order
        std::istringstream lines(listed.Out);
        for (std::string line; std::getline(lines, line);)
            for (const std::string& name : c.Names)
                if (line.size() > name.size() && line.ends_with(" " + name))
                    names.push_back(name);
        EXPECT_EQ(names, c.Names) << listed.Out;
    }
}

TEST_F(ZipCommand, AnyNumberOfJobsWritesTheSameMembersInTheSameOrder) {
    // Too large to be read whole: the writer streams it between the others.
    WriteFile(Dir / "site/large.txt", Text((5u << 20) + 3));
    std::string listed;
    for (const char* jobs : {"1", "2", "5"}) {
        SCOPED_TRACE(std::string("--jobs ") + jobs);
        const std::string archive = Dir / (std::string("out") + jobs + ".zip");
        const TProcessResult made =
            Vlm({"zip", archive, Dir / "site", "--password", "pw", "--jobs", jobs});
        ASSERT_EQ(made.ExitCode, 0) << made.Err;
        const TProcessResult verified = Vlm({"verify", archive, "--password", "pw"});
        EXPECT_EQ(verified.ExitCode, 0) << verified.Out << verified.Err;
        const TProcessResult list = Vlm({"list", archive});
        ASSERT_EQ(list.ExitCode, 0) << list.Err;
        // Names, sizes, methods, CRCs and times, in archive order (below the archive's name).
        const std::string members = list.Out.substr(list.Out.find('\n'));
        if (listed.empty())
            listed = members;
        EXPECT_EQ(members, listed);
    }
    for (const char* jobs : {"0", "x", "", "1025", "-2"})
        EXPECT_EQ(Vlm({"zip", Dir / "bad.zip", Dir / "site", "--jobs", jobs}).ExitCode, 2) << jobs;
}

TEST_F(ZipCommand, HeadersAreEncipheredUnlessAskedOtherwise) {
    ASSERT_EQ(Vlm({"zip", Dir / "enc.zip", Dir / "site", "--password", "pw"}).ExitCode, 0);
    ASSERT_EQ(Vlm({"zip", Dir / "plain.zip", Dir / "site", "--plain-headers"}).ExitCode, 0);
    const std::string enciphered = ReadFile(Dir / "enc.zip");
    const std::string plain = ReadFile(Dir / "plain.zip");
    EXPECT_EQ(enciphered.find("PK\x03\x04"), std::string::npos);
    EXPECT_EQ(enciphered.find("index.htm"), std::string::npos);
    EXPECT_EQ(plain.substr(0, 4), "PK\x03\x04");
    EXPECT_NE(plain.find("index.htm"), std::string::npos);
    const TProcessResult verify = Vlm({"verify", Dir / "enc.zip", "--password", "pw"});
    EXPECT_EQ(verify.ExitCode, 0) << verify.Out << verify.Err;
}

TEST_F(ZipCommand, NamesFollowTheOptions) {
    WriteFile(Dir / "other/x.bak", "x");
    const struct {
        std::vector<std::string> Args;
        std::set<std::string> Names;
    } cases[] = {
        {{Dir / "site/img"}, {"pic ture.gif"}},
        {{Dir / "site/*.txt", "--no-recurse"}, {"empty.txt", "one.txt", "big text.txt"}},
        {{Dir / "site/img", Dir / "other/x.bak", "--absolute"},
         {Dir / "site/img/pic ture.gif", Dir / "other/x.bak"}},
        {{Dir / "site", "--exclude", "*.txt", "--exclude", Dir / "site/img"},
         {"index.htm", "random100.bin", "random300.bin", "a.ZIP", "caf\xc3\xa9.htm"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string archive = Dir / ("n" + std::to_string(n++) + ".zip");
        std::vector<std::string> args = {"zip", archive};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        const TProcessResult r = Vlm(args);
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_NE(r.Out.find(std::to_string(c.Names.size()) + " file"), std::string::npos) << r.Out;
        const TProcessResult list = Vlm({"list", archive});
        ASSERT_EQ(list.ExitCode, 0) << list.Err;
        for (const std::string& name : c.Names)
            EXPECT_NE(list.Out.find(name + "\n"), std::string::npos) << name << list.Out;
    }
}

TEST_F(ZipCommand, ErrorsAndUsage) {
    WriteFile(Dir / "regular", "x");
    const struct {
        std::vector<std::string> Args;
        int ExitCode;
        std::string ErrContains;
    } cases[] = {
        {{"zip"}, 2, "missing argument"},
        {{"zip", Dir / "a.zip"}, 2, "missing argument"},
        {{"zip", Dir / "a.zip", Dir / "site", "--store", "--level", "9"}, 2, "exclude each other"},
        {{"zip", Dir / "a.zip", Dir / "site", "--level", "5"}, 2, "1, 6 or 9"},
        {{"zip", Dir / "a.zip", Dir / "site", "--bogus"}, 2, "unknown option"},
        {{"zip", Dir / "b.zip", Dir / "nothing-here"}, 1, "nothing-here\": nothing of that name"},
        {{"zip", Dir / "c.zip", Dir / "site/*.none"}, 1, "Nothing to do"},
        {{"zip", Dir / "missing/d.zip", Dir / "site"}, 1, "missing/\": Invalid directory"},
        {{"zip", Dir / "regular/e.zip", Dir / "site"}, 1, "regular/\": Invalid directory"},
    };
    for (const auto& c : cases) {
        const TProcessResult r = Vlm(c.Args);
        EXPECT_EQ(r.ExitCode, c.ExitCode) << ::testing::PrintToString(c.Args) << r.Err;
        EXPECT_NE(r.Err.find(c.ErrContains), std::string::npos) << r.Err;
    }
    EXPECT_EQ(ListNames(Dir.Path()), (std::vector<std::string>{"regular", "site"}));
}

TEST_F(ZipCommand, AnArchiveInsideTheTreeIsNotTakenIntoItself) {
    const std::string archive = Dir / "site/self.zip";
    ASSERT_EQ(Vlm({"zip", archive, Dir / "site"}).ExitCode, 0);
    const TProcessResult again = Vlm({"zip", archive, Dir / "site"});
    ASSERT_EQ(again.ExitCode, 0) << again.Err;
    EXPECT_NE(again.Out.find(std::to_string(Tree().size()) + " files"), std::string::npos)
        << again.Out;
}

class ZipInterop : public ZipCommand {
protected:
    struct TArchive {
        std::string Label; // the compression options, for the trace
        std::string Path;
    };

    // The site as an encrypted archive with plain headers, once for every compression.
    std::vector<TArchive> MakeArchives() {
        const std::vector<std::vector<std::string>> variants = {
            {}, {"--level", "1"}, {"--level", "9"}, {"--store"}, {"--jobs", "1"}, {"--jobs", "3"}};
        std::vector<TArchive> archives;
        for (const std::vector<std::string>& options : variants) {
            const std::string path = Dir / ("out" + std::to_string(archives.size()) + ".zip");
            std::vector<std::string> args = {"zip",        path,     Dir / "site",
                                             "--password", Password, "--plain-headers"};
            args.insert(args.end(), options.begin(), options.end());
            const TProcessResult made = Vlm(args);
            EXPECT_EQ(made.ExitCode, 0) << made.Err;
            archives.push_back({::testing::PrintToString(options), path});
        }
        return archives;
    }

    // The names and contents of every file under folder.
    std::map<std::string, std::string> Files(const std::string& folder,
                                             const std::string& prefix = {}) {
        std::map<std::string, std::string> files;
        for (const std::string& name : ListNames(folder)) {
            const std::string path = folder + "/" + name;
            if (ListNames(path).empty() && !PathExists(path + "/.")) {
                files[prefix + name] = ReadFile(path);
            } else {
                for (const auto& entry : Files(path, prefix + name + "/"))
                    files.insert(entry);
            }
        }
        return files;
    }

    // The tree that a tool extracted into folder is the site, name for name, byte for byte.
    void ExpectSite(const std::string& folder) {
        const auto files = Files(folder);
        EXPECT_EQ(files.size(), Tree().size()) << ::testing::PrintToString(ListNames(folder));
        for (const auto& [name, content] : Tree()) {
            const auto found = files.find(name);
            if (found == files.end())
                ADD_FAILURE() << name << " was not extracted";
            else
                EXPECT_TRUE(found->second == content) << name << " differs";
        }
    }
};

TEST_F(ZipInterop, UnzipTestsAndExtractsEveryMember) {
    if (!HaveProgram("unzip"))
        GTEST_SKIP() << "unzip is not installed";
    for (const TArchive& archive : MakeArchives()) {
        SCOPED_TRACE(archive.Label);
        const TProcessResult r = RunProcess("unzip", {"-P", Password, "-t", archive.Path});
        EXPECT_EQ(r.ExitCode, 0) << r.Out << r.Err;
        EXPECT_NE(r.Out.find("No errors detected"), std::string::npos) << r.Out;
        const std::string out = archive.Path + ".unzip";
        const TProcessResult x =
            RunProcess("unzip", {"-P", Password, "-q", archive.Path, "-d", out});
        EXPECT_EQ(x.ExitCode, 0) << x.Out << x.Err;
        ExpectSite(out);
    }
}

TEST_F(ZipInterop, SevenZipTestsAndExtractsEveryMember) {
    if (!HaveProgram("7zz"))
        GTEST_SKIP() << "7zz is not installed";
    for (const TArchive& archive : MakeArchives()) {
        SCOPED_TRACE(archive.Label);
        const TProcessResult r = RunProcess("7zz", {"t", "-p" + Password, archive.Path});
        EXPECT_EQ(r.ExitCode, 0) << r.Out << r.Err;
        EXPECT_NE(r.Out.find("Everything is Ok"), std::string::npos) << r.Out;
        const std::string out = archive.Path + ".7z";
        const TProcessResult x =
            RunProcess("7zz", {"x", "-p" + Password, "-o" + out, archive.Path});
        EXPECT_EQ(x.ExitCode, 0) << x.Out << x.Err;
        ExpectSite(out);
    }
}

TEST_F(ZipInterop, PythonZipfileReadsEveryMember) {
    if (!HaveProgram("python3"))
        GTEST_SKIP() << "python3 is not installed";
    // zipfile tests every member, then compares each one's bytes with the file on disk and
    // prints the member names, one a line, as UTF-8 whatever the locale.
    const std::string script =
        "import sys, zipfile, os\n"
        "z = zipfile.ZipFile(sys.argv[1]); z.setpassword(sys.argv[3].encode())\n"
        "assert z.testzip() is None\n"
        "names = sorted(i.filename for i in z.infolist())\n"
        "for n in names:\n"
        "    assert z.read(n) == open(os.path.join(sys.argv[2], n), 'rb').read(), n\n"
        "sys.stdout.buffer.write(''.join(n + '\\n' for n in names).encode())\n";
    std::string expected;
    for (const auto& entry : Tree())
        expected += entry.first + "\n";
    for (const TArchive& archive : MakeArchives()) {
        SCOPED_TRACE(archive.Label);
        const TProcessResult r =
            RunProcess("python3", {"-c", script, archive.Path, Dir / "site", Password});
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_EQ(r.Out, expected);
    }
}

} // namespace
