#include "archive/arcReader.h"
#include "platform/UFileSys.h"

#include "TestSupport.h"
#include "VlmInProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vlm::test;

namespace {

using Names = std::vector<std::string>;

// vlm on a pseudo terminal of its own (standard input, output and error, and the
// controlling terminal), as a user at a terminal runs it.
class TPtyProcess {
public:
    TPtyProcess(const std::vector<std::string>& args,
                const std::map<std::string, std::string>& env) {
        FMaster = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (FMaster < 0 || ::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0)
            throw std::runtime_error("no pseudo terminal");
        const std::string slave = ::ptsname(FMaster);
        FPid = ::fork();
        if (FPid == 0) {
            ::setsid();
            const int fd = ::open(slave.c_str(), O_RDWR); // becomes the controlling terminal
            for (int i = 0; i < 3; ++i)
                ::dup2(fd, i);
            for (const auto& [name, value] : env)
                ::setenv(name.c_str(), value.c_str(), 1);
            std::vector<char*> argv{const_cast<char*>(VLM_BINARY)};
            for (const std::string& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            ::execv(VLM_BINARY, argv.data());
            ::_exit(127);
        }
    }
    ~TPtyProcess() {
        if (FPid > 0 && !FWaited) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, nullptr, 0);
        }
        ::close(FMaster);
    }
    // Reads until text has appeared (or the terminal closes); what was read so far.
    const std::string& ReadUntil(const std::string& text) {
        while (FOutput.find(text) == std::string::npos && ReadSome()) {
        }
        return FOutput;
    }
    void Type(const std::string& keys) {
        ASSERT_EQ(::write(FMaster, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    void Interrupt() { ::kill(FPid, SIGINT); }
    int Wait() {
        while (ReadSome()) {
        }
        int status = 0;
        ::waitpid(FPid, &status, 0);
        FWaited = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    bool ReadSome() {
        // A safety net against a hang, far longer than any of these builds takes.
        pollfd fd{FMaster, POLLIN, 0};
        if (::poll(&fd, 1, 60000) <= 0)
            return false;
        char buffer[4096];
        const ssize_t n = ::read(FMaster, buffer, sizeof buffer);
        if (n <= 0)
            return false; // EIO once the last slave descriptor is closed
        FOutput.append(buffer, static_cast<size_t>(n));
        return true;
    }
    int FMaster = -1;
    pid_t FPid = -1;
    bool FWaited = false;
    std::string FOutput;
};

class BuildCommand : public ::testing::Test {
protected:
    TTempDir Dir;
    std::string Program = Dir / "prog/";
    std::string Temp = Dir / "tmp/";
    std::string Site = Dir / "site/";
    std::string Project = Dir / "site.vlp";

    void SetUp() override {
        WriteFile(Program + "VLMView.exe", "MZ-fake-viewer");
        std::filesystem::create_directories(Temp);
        std::filesystem::copy(std::string(VLM_SOURCE_DIR) + "/examples/site", Site,
                              std::filesystem::copy_options::recursive);
        ASSERT_EQ(Vlm({"new", Project}).ExitCode, 0);
        ASSERT_EQ(Vlm({"set", Project, "HomePage=" + Site + "index.htm"}).ExitCode, 0);
    }
    // The environment of the program run as a process of its own.
    std::map<std::string, std::string> Env() const {
        return {{"VLM_PROGRAM_DIR", Program}, {"TMPDIR", Temp}};
    }
    // vlm in this process, its temporary files in Temp.
    TProcessResult Vlm(const std::vector<std::string>& args, const std::string& workDir = {}) {
        return RunVlm(args, {.ProgramFolder = Program, .TempFolder = Temp, .WorkDir = workDir});
    }
    // Waits until the files under TMPDIR hold at least bytes; false after a minute.
    bool WaitForTemporaryBytes(uintmax_t bytes) const {
        for (int i = 0; i < 12000; ++i) {
            uintmax_t total = 0;
            std::error_code error;
            for (auto it = std::filesystem::recursive_directory_iterator(Temp, error);
                 !error && it != std::filesystem::recursive_directory_iterator();
                 it.increment(error))
                if (it->is_regular_file(error))
                    total += it->file_size(error);
            if (total >= bytes)
                return true;
            ::usleep(5000);
        }
        return false;
    }
    // What is left under Temp: nothing after a build, not even the private folder a process
    // of vlm made there (a program killed by a signal would leave that).
    Names TempLeftovers() const {
        Names left;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(Temp))
            left.push_back(entry.path().string());
        return left;
    }
};

TEST_F(BuildCommand, BuildsTheExampleAndReportsEachStage) {
    const std::string before = ReadFile(Project);
    const TProcessResult r = Vlm({"build", Project, "-o", Dir / "out/site.vlm"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Err, "Loading settings...\nParsing files...\nCompressing files...\nFinished: " +
                         Dir / "out/site.vlm (4 KB)\n");
    EXPECT_EQ(r.Out, "");
    vlm::TArchiveReader reader(Dir / "out/site.vlm");
    EXPECT_EQ(reader.Members().size(), 12u);
    EXPECT_EQ(reader.Comment().substr(reader.Comment().size() - 13), "/VLM.settings");
    EXPECT_EQ(ReadFile(Project), before); // not saved without --save
    EXPECT_EQ(TempLeftovers(), Names{});
}

TEST_F(BuildCommand, ExitCodesAndMessages) {
    WriteFile(Dir / "out/old.vlm", "old");
    const struct {
        std::vector<std::string> Args;
        int ExitCode;
        std::string Err; // a part of standard error
    } cases[] = {
        {{"build", Project}, 2, "the project names no output file; give one with -o OUTPUT"},
        {{"build"}, 2, "Usage: vlm build"},
        {{"build", Project, "-o", Dir / "out/x.vlm", "--bogus"}, 2, "--bogus"},
        {{"build", Dir / "none.vlp", "-o", Dir / "x.vlm"},
         1,
         "Cannot open file \"" + Dir / "none.vlp\""},
        {{"build", Project, "-o", Dir / "out/old.vlm"},
         1,
         "\"" + Dir / "out/old.vlm\" already exists; there is no terminal to ask whether to "
                      "replace it (give --yes to replace it)"},
        {{"build", Project, "-o", Dir / "out/site.exe", "--quiet"}, 0, ""},
    };
    for (const auto& c : cases) {
        const TProcessResult r = Vlm(c.Args);
        EXPECT_EQ(r.ExitCode, c.ExitCode) << c.Args.back() << "\n" << r.Err;
        if (c.Err.empty())
            EXPECT_EQ(r.Err, "");
        else
            EXPECT_NE(r.Err.find(c.Err), std::string::npos) << r.Err;
    }
    EXPECT_EQ(ReadFile(Dir / "out/old.vlm"), "old"); // refused: nothing deleted
    EXPECT_EQ(TempLeftovers(), Names{});
}

TEST_F(BuildCommand, YesReplacesAndAFailedBuildKeepsThePreviousOutput) {
    WriteFile(Dir / "out/site.exe", "old");
    TProcessResult r = Vlm({"build", Project, "-o", Dir / "out/site.exe", "--yes", "--quiet"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(vlm::TArchiveReader(Dir / "out/site.exe").IsExecutable());

    std::filesystem::remove(Program + "VLMView.exe");
    r = Vlm({"build", Project, "-o", Dir / "out/site.exe", "--yes", "--quiet"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("Cannot open file \"" + Program + "VLMView.exe\""), std::string::npos)
        << r.Err;
    // The output stays as the last build left it until a new one replaces it.
    EXPECT_EQ(ListNames(Dir / "out"), Names{"site.exe"});
    EXPECT_TRUE(vlm::TArchiveReader(Dir / "out/site.exe").IsExecutable());
    EXPECT_EQ(TempLeftovers(), Names{});
}

TEST_F(BuildCommand, SaveWritesTheProjectOnlyWhenTheBuildChangedIt) {
    const auto inode = [&] {
        struct stat st {};
        ::stat(Project.c_str(), &st);
        return st.st_ino;
    };
    const std::string output = Dir / "out/site.dat";
    ASSERT_EQ(Vlm({"build", Project, "-o", output, "--save", "--quiet"}).ExitCode, 0);
    const std::string saved = ReadFile(Project);
    EXPECT_EQ(saved.rfind("OutputType=VLM\r\n", 0), 0u) << saved; // in place of "EXE"
    EXPECT_NE(saved.find("\r\nOutputFile=" + output + "\r\n"), std::string::npos);

    const auto before = inode();
    ASSERT_EQ(Vlm({"build", Project, "--yes", "--save", "--quiet"}).ExitCode, 0);
    EXPECT_EQ(inode(), before); // nothing changed: the file was left alone
    EXPECT_EQ(ReadFile(Project), saved);

    ASSERT_EQ(Vlm({"set", Project, "Language=Klingon"}).ExitCode, 0);
    ASSERT_EQ(Vlm({"build", Project, "--yes", "--save", "--quiet"}).ExitCode, 0);
    EXPECT_NE(ReadFile(Project).find("\r\nLanguage=Default\r\n"), std::string::npos);
}

TEST_F(BuildCommand, OnATerminal) {
    const std::string output = Dir / "out/site.vlm";
    WriteFile(output, "old");
    for (const char* answer : {"n\n", "y\n"}) {
        TPtyProcess vlm({"build", Project, "-o", output}, Env());
        vlm.ReadUntil("[y/N] ");
        vlm.Type(answer);
        const int code = vlm.Wait();
        const std::string shown = vlm.ReadUntil("");
        EXPECT_NE(shown.find("The file \"site.vlm\" already exists.\r\nDo you want to replace "
                             "existing file? [y/N] "),
                  std::string::npos)
            << shown;
        if (answer[0] == 'n') {
            EXPECT_EQ(code, 130);
            EXPECT_EQ(ReadFile(output), "old");
        } else {
            EXPECT_EQ(code, 0) << shown;
            EXPECT_NE(shown.find("\rCompressing files... "), std::string::npos) << shown;
            EXPECT_NE(shown.find("Finished: " + output), std::string::npos) << shown;
            EXPECT_NE(ReadFile(output), "old");
        }
    }
    EXPECT_EQ(TempLeftovers(), Names{});
}

TEST_F(BuildCommand, CtrlCIsCancel) {
    const std::string output = Dir / "out/site.vlm";
    WriteFile(output, "old");
    TPtyProcess vlm({"build", Project, "-o", output}, Env());
    vlm.ReadUntil("[y/N] ");
    vlm.Interrupt();
    EXPECT_EQ(vlm.Wait(), 130);
    EXPECT_EQ(ReadFile(output), "old");
    EXPECT_EQ(TempLeftovers(), Names{});
}

TEST_F(BuildCommand, RelativeFileNamesLieBesideTheProjectFromAnyFolder) {
    ASSERT_EQ(
        Vlm({"set", Project, "HomePage=site/index.htm", "OutputFile=out/rel.vlm", "OutputType=VLM"})
            .ExitCode,
        0);
    std::filesystem::create_directories(Dir / "elsewhere");
    for (const std::string& workDir : {Dir.Path(), Dir / "elsewhere"}) {
        const TProcessResult r = Vlm({"build", Project, "--yes"}, workDir);
        ASSERT_EQ(r.ExitCode, 0) << workDir << "\n" << r.Err;
        EXPECT_NE(r.Err.find("Finished: " + Dir / "out/rel.vlm ("), std::string::npos) << r.Err;
        vlm::TArchiveReader reader(Dir / "out/rel.vlm");
        EXPECT_EQ(reader.Members().size(), 12u) << workDir << ": the home page once";
        const auto& members = reader.Members();
        EXPECT_EQ(std::count_if(members.begin(), members.end(),
                                [&](const auto& m) { return m.Name == Site + "index.htm"; }),
                  1)
            << workDir << ": under its full path";
    }
    EXPECT_EQ(Vlm({"get", Project, "HomePage"}).Out, "site/index.htm\n");
    EXPECT_EQ(TempLeftovers(), Names{});
}

TEST_F(BuildCommand, AMissingHomePageFailsAndWritesNothing) {
    for (const char* parsing : {"ParsingEnabled=1", "ParsingEnabled=0"}) {
        ASSERT_EQ(Vlm({"set", Project, "HomePage=gone.htm", parsing}).ExitCode, 0);
        const TProcessResult r = Vlm({"build", Project, "-o", Dir / "out/site.vlm"});
        EXPECT_EQ(r.ExitCode, 1) << parsing;
        EXPECT_EQ(r.Err, "vlm build: Cannot open file \"" + Dir / "gone.htm\". No such file or "
                                                                  "directory\n");
        EXPECT_FALSE(PathExists(Dir / "out/site.vlm")) << parsing;
    }
    EXPECT_EQ(TempLeftovers(), Names{});
}

TEST_F(BuildCommand, OnATerminalParsingCountsPagesAndFiles) {
    TPtyProcess vlm({"build", Project, "-o", Dir / "out/site.vlm"}, Env());
    EXPECT_EQ(vlm.Wait(), 0);
    const std::string shown = vlm.ReadUntil("");
    // The example: seven pages (README.HTM is taken, not scanned) and the style sheet are
    // read, among eleven files.
    EXPECT_NE(shown.find("\rParsing files... 8/8 pages, 11 files "), std::string::npos) << shown;
}

// vlm without a terminal, its standard error read as it comes, so that a test can act
// at a stage of the build.
class TWatchedProcess {
public:
    TWatchedProcess(const std::vector<std::string>& args,
                    const std::map<std::string, std::string>& env) {
        int err[2];
        if (::pipe(err) != 0)
            throw std::runtime_error("no pipe");
        FPid = ::fork();
        if (FPid == 0) {
            // The signals arrive as the test sends them, whatever the test runner ignores.
            for (const int sig : {SIGINT, SIGTERM, SIGHUP})
                ::signal(sig, SIG_DFL);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(err[1], 2);
            ::close(err[0]);
            for (const auto& [name, value] : env)
                ::setenv(name.c_str(), value.c_str(), 1);
            std::vector<char*> argv{const_cast<char*>(VLM_BINARY)};
            for (const std::string& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            ::execv(VLM_BINARY, argv.data());
            ::_exit(127);
        }
        ::close(err[1]);
        FErr = err[0];
    }
    ~TWatchedProcess() {
        if (FPid > 0 && !FWaited) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, nullptr, 0);
        }
        ::close(FErr);
    }
    // Reads standard error until text has appeared; false when it ended first.
    bool WaitFor(const std::string& text) {
        while (FOutput.find(text) == std::string::npos) {
            pollfd fd{FErr, POLLIN, 0};
            if (::poll(&fd, 1, 60000) <= 0)
                return false;
            char buffer[4096];
            const ssize_t n = ::read(FErr, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            FOutput.append(buffer, static_cast<size_t>(n));
        }
        return true;
    }
    void Send(int sig) { ::kill(FPid, sig); }
    int Wait() {
        while (WaitFor("\x01never")) {
        }
        int status = 0;
        ::waitpid(FPid, &status, 0);
        FWaited = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    const std::string& Output() const { return FOutput; }

private:
    pid_t FPid = -1;
    int FErr = -1;
    bool FWaited = false;
    std::string FOutput;
};

TEST_F(BuildCommand, StopSignalsCancelMidBuildAndKeepThePreviousOutput) {
    // Enough incompressible data that compressing it outlasts the delivery of a signal by
    // far, also with a fast encoder.
    const std::string blob = RandomBytes(1 << 20, 7);
    for (int i = 0; i < 48; ++i)
        WriteFile(Site + "data/blob" + std::to_string(i) + ".bin", blob);
    ASSERT_EQ(Vlm({"set", Project, "ParsingEnabled=0", "MaskInclude=", "PasswordEnabled=1",
                   "Password=secret"})
                  .ExitCode,
              0);
    const struct {
        int Signal;
        int ExitCode;
    } cases[] = {{SIGTERM, 143}, {SIGHUP, 129}, {SIGINT, 130}};
    // The previous output stays byte for byte: the build writes its archive in its private
    // folder and only a complete build puts it in the output's place.
    const std::string previous = RandomBytes(4000, 8);
    for (const char* name : {"site.exe", "site.vlm"}) {
        for (const auto& c : cases) {
            const std::string output = Dir / "out/" + name;
            WriteFile(output, previous);
            TWatchedProcess vlm({"build", Project, "-o", output, "--yes"}, Env());
            ASSERT_TRUE(vlm.WaitFor("Compressing files...\n")) << vlm.Output();
            // Some members are written before the signal: a cancelled writer finishes the
            // archive of those.
            ASSERT_TRUE(WaitForTemporaryBytes(2 << 20)) << vlm.Output();
            vlm.Send(c.Signal);
            EXPECT_EQ(vlm.Wait(), c.ExitCode) << c.Signal << "\n" << vlm.Output();
            EXPECT_EQ(vlm.Output().find("Finished"), std::string::npos) << vlm.Output();
            EXPECT_TRUE(PathExists(output) && ReadFile(output) == previous)
                << name << " " << c.Signal;
            EXPECT_EQ(ListNames(Dir / "out"), Names{name}) << c.Signal;
            EXPECT_EQ(TempLeftovers(), Names{}) << c.Signal
                                                << ": the settings member (with the "
                                                   "password) and the archive stay";
            std::filesystem::remove(output);
        }
    }
}

} // namespace

namespace {

// A folder of the site that the user may not read: its files would be missing from the
// output, so the build and vlm zip report it and exit 1. As root, where permission bits
// stop nothing, vlm runs as a user of its own (a numeric id without an account).
TEST_F(BuildCommand, AnUnreadableFolderIsReportedAndFailsTheRun) {
    const std::string locked = Site + "locked/";
    WriteFile(locked + "secret.htm", "secret");
    ASSERT_EQ(Vlm({"set", Project, "ParsingEnabled=0"}).ExitCode, 0);
    std::filesystem::create_directories(Dir / "out");
    for (const std::string& path : {Dir.Path(), Temp, Dir / "out", Project})
        ASSERT_EQ(::chmod(path.c_str(), path == Project ? 0644 : 0777), 0) << path;
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    const auto asUser = [&](std::vector<std::string> args) {
        if (::geteuid() != 0)
            return Vlm(args);
        args.insert(args.begin(), {"--reuid=12345", "--regid=12345", "--clear-groups", VLM_BINARY});
        return RunProcess("setpriv", args, Env());
    };
    const struct {
        std::vector<std::string> Args;
        std::string Output;
    } cases[] = {
        {{"build", Project, "-o", Dir / "out/site.vlm", "--quiet"}, Dir / "out/site.vlm"},
        {{"zip", Dir / "out/site.zip", Site}, Dir / "out/site.zip"},
    };
    for (const auto& c : cases) {
        const TProcessResult r = asUser(c.Args);
        EXPECT_EQ(r.ExitCode, 1) << c.Args[0] << "\n" << r.Err;
        EXPECT_NE(r.Err.find("\"" + locked + "\""), std::string::npos) << r.Err;
        if (c.Args[0] == "build") {
            EXPECT_NE(r.Err.find("written without 1 folder of the site"), std::string::npos)
                << r.Err;
        }
        EXPECT_NE(r.Err.find("Permission denied"), std::string::npos) << r.Err;
        // The readable files are there; the unreadable folder's are not.
        vlm::TArchiveReader reader(c.Output);
        EXPECT_GT(reader.Members().size(), 10u);
        for (const vlm::TArchiveMember& member : reader.Members())
            EXPECT_EQ(member.Name.find("secret"), std::string::npos) << member.Name;
    }
    EXPECT_EQ(TempLeftovers(), Names{});
}

} // namespace

namespace {

// Under a low limit of open files the workers are as many as it leaves room for: any
// --jobs gives the same archive, and no file is refused for want of a descriptor.
TEST_F(BuildCommand, ALowLimitOfOpenFilesLeavesNoFileOut) {
    // Pages for link discovery's readers, and files large enough that a worker holds each
    // open for a while.
    std::string index = "<html>";
    const std::string image = RandomBytes(1 << 20, 3);
    for (int i = 0; i < 150; ++i) {
        const std::string n = std::to_string(i);
        index += "<a href=\"pages/p" + n + ".htm\">" + n + "</a>";
        WriteFile(Site + "pages/p" + n + ".htm", "<img src=\"../img/i" + n + ".gif\">");
        WriteFile(Site + "img/i" + n + ".gif", i < 40 ? image : image.substr(0, 3000));
    }
    WriteFile(Site + "index.htm", index);
    const auto members = [](const std::string& archive) {
        Names names;
        const vlm::TArchiveReader reader(archive);
        // The settings member lies in each run's own private folder.
        for (const vlm::TArchiveMember& member : reader.Members())
            names.push_back(member.Name.find("/VLM.settings") != std::string::npos ? "VLM.settings"
                                                                                   : member.Name);
        return names;
    };
    const struct {
        const char* What;
        std::string Parsing; // empty: vlm zip
    } cases[] = {{"links", "1"}, {"masks", "0"}, {"zip", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        if (!c.Parsing.empty()) {
            ASSERT_EQ(Vlm({"set", Project, "ParsingEnabled=" + c.Parsing}).ExitCode, 0);
        }
        std::vector<Names> archives;
        for (const char* jobs : {"1", "16"}) {
            const std::string output = Dir / ("out/" + std::string(c.What) + jobs + ".vlm");
            // Only the run with many jobs is limited: the other is the reference.
            const std::string limit = std::string(jobs) == "1" ? "" : "ulimit -n 16 && ";
            const std::vector<std::string> command =
                c.Parsing.empty()
                    ? std::vector<std::string>{"zip", output, Site, "--jobs", jobs}
                    : std::vector<std::string>{"build", Project, "-o", output, "--jobs", jobs};
            std::vector<std::string> args = {"-c", limit + "exec \"$0\" \"$@\"", VLM_BINARY};
            args.insert(args.end(), command.begin(), command.end());
            const TProcessResult r = RunProcess("sh", args, Env());
            EXPECT_EQ(r.ExitCode, 0) << jobs << "\n" << r.Err;
            EXPECT_EQ(r.Err.find("Too many open files"), std::string::npos) << r.Err;
            archives.push_back(PathExists(output) ? members(output) : Names{});
        }
        EXPECT_GT(archives[0].size(), 300u);
        EXPECT_EQ(archives[1], archives[0]);
    }
    EXPECT_EQ(TempLeftovers(), Names{});
}

TEST_F(BuildCommand, FilesFromOutsideTheSiteAreTakenWithAWarning) {
    WriteFile(Dir / "secret.txt", "secret");
    WriteFile(Site + "index.htm", ReadFile(Site + "index.htm") +
                                      "<a href=\"../secret.txt\"><img src=\"/etc/hostname\">");
    const TProcessResult r = Vlm({"build", Project, "-o", Dir / "out/site.vlm", "--quiet"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const bool hostname = vlm::FileExists("/etc/hostname");
    const std::string count = hostname ? "2 files were" : "1 file was";
    EXPECT_EQ(r.Err, "vlm build: warning: " + count +
                         " taken from outside the home page's folder \"" + Site + "\": \"" +
                         Dir / "secret.txt" + (hostname ? "\", \"/etc/hostname" : "") + "\"\n");
    EXPECT_EQ(TempLeftovers(), Names{});
}

// The private folder of a build killed by a signal is removed by the next run: it may hold
// the viewer's password.
TEST_F(BuildCommand, APrivateFolderThatAKilledRunLeftIsRemoved) {
    const std::string stale = Temp + "vlmpack-4194399-77-Ab12Cd";
    WriteFile(stale + "/VLM.settings", "Password=secret");
    ASSERT_EQ(::chmod(stale.c_str(), 0700), 0);
    const TProcessResult r =
        RunProcess(VLM_BINARY, {"build", Project, "-o", Dir / "out/site.vlm", "--quiet"}, Env());
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(TempLeftovers(), Names{});
}

TEST_F(BuildCommand, AnUnusableTemporaryFolderIsNamedWithTheReason) {
    WriteFile(Dir / "file", "x");
    std::filesystem::create_directories(Dir / "out");
    const struct {
        std::string TmpDir;
        std::string Reason;
    } folders[] = {{Dir / "missing", "No such file or directory"},
                   {Dir / "file/sub", "Not a directory"}};
    const std::vector<std::vector<std::string>> commands = {
        {"build", Project, "-o", Dir / "out/site.vlm", "--quiet"},
        {"zip", Dir / "out/site.zip", Site}};
    for (const auto& f : folders) {
        for (const auto& args : commands) {
            const TProcessResult r =
                RunProcess(VLM_BINARY, args, {{"VLM_PROGRAM_DIR", Program}, {"TMPDIR", f.TmpDir}});
            EXPECT_EQ(r.ExitCode, 1) << args[0];
            for (const std::string& part :
                 {std::string("Cannot create the private folder \"vlmpack-"),
                  "in the temporary folder \"" + f.TmpDir + "\". " + f.Reason})
                EXPECT_NE(r.Err.find(part), std::string::npos) << args[0] << ": " << r.Err;
            EXPECT_EQ(r.Err.find("\"\""), std::string::npos) << r.Err;
            EXPECT_FALSE(vlm::FileExists(args[1] == Project ? args[3] : args[1]));
        }
    }
}

} // namespace
