// vlm report: its exit codes, its JSON and the HTML page it writes safely.
#include "TestSupport.h"
#include "VlmInProcess.h"

#include <gtest/gtest.h>

using namespace vlm::test;

namespace {

class ReportCommand : public ::testing::Test {
public:
    TTempDir Dir;
    std::string Site = Dir / "site/";
    std::string Program = Dir / "prog/";

    TProcessResult Vlm(const std::vector<std::string>& args) {
        return RunVlm(args, {.ProgramFolder = Program, .TempFolder = Dir.Path()});
    }
    std::string Project(const std::string& index) {
        WriteFile(Program + "Languages/German.lng", "[German]\r\n");
        WriteFile(Site + "index.htm", index);
        WriteFile(Site + "a.htm", "<p>a</p>");
        const std::string project = Dir / "site.vlp";
        EXPECT_EQ(Vlm({"new", project, "--force"}).ExitCode, 0);
        EXPECT_EQ(
            Vlm({"set", project, "HomePage=" + Site + "index.htm", "ParsingEnabled=1"}).ExitCode,
            0);
        return project;
    }
};

TEST_F(ReportCommand, ExitCodesAndOutputs) {
    WriteFile(Dir / "full-file", "x");
    const struct {
        const char* Name;
        const char* Index;
        std::vector<std::string> Options; // "@" stands for the test folder
        int Exit;
        const char* OutHas;
        bool HtmlWritten;
    } cases[] = {
        {"clean", "<a href=\"a.htm\">", {}, 0, "Broken references: 0", false},
        {"broken",
         "<a href=\"a.htm\">\n<a href=\"b.htm\">",
         {},
         3,
         "index.htm:2: \"b.htm\"",
         false},
        {"json", "<a href=\"b.htm\">", {"--json"}, 3, "\"reason\": \"missing\"", false},
        {"html", "<a href=\"a.htm\">", {"--html", "@r.html"}, 0, "Files: ", true},
        {"html in a missing folder", "", {"--html", "@none/r.html"}, 1, "", false},
        {"html under a file", "", {"--html", "@full-file/r.html"}, 1, "", false},
        {"html on a full disk", "", {"--html", "/dev/full"}, 1, "", false},
        {"unknown option", "", {"--pdf"}, 2, "", false},
    };
    std::string page;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        RemoveTree(Dir / "r.html");
        std::vector<std::string> args{"report", Project(c.Index)};
        for (std::string option : c.Options) {
            if (option[0] == '@')
                option = Dir.Path() + option.substr(1);
            args.push_back(option);
        }
        const TProcessResult result = Vlm(args);
        EXPECT_EQ(result.ExitCode, c.Exit) << result.Err;
        EXPECT_NE(result.Out.find(c.OutHas), std::string::npos) << result.Out;
        EXPECT_EQ(PathExists(Dir / "r.html"), c.HtmlWritten);
        if (c.HtmlWritten)
            page = ReadFile(Dir / "r.html");
        if (c.Exit == 1) {
            EXPECT_NE(result.Err.find(c.Options[1].substr(1)), std::string::npos) << result.Err;
        }
    }
    // The page needs nothing from the network, and no temporary file is left beside it.
    EXPECT_NE(page.find("<table class=\"sortable\">"), std::string::npos);
    for (const char* fetch : {"src=\"http", "href=\"http", "<link", "@import"})
        EXPECT_EQ(page.find(fetch), std::string::npos) << fetch;
    for (const std::string& name : ListNames(Dir.Path()))
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

// A report many times the output buffer's size reaches standard output whole and in order.
TEST_F(ReportCommand, ALargeReportReachesStandardOutputWhole) {
    constexpr int References = 3000;
    std::string index;
    for (int i = 0; i < References; ++i)
        index += "<a href=\"missing-" + std::to_string(i) + ".htm\">\n";
    const TProcessResult result = Vlm({"report", Project(index), "--json"});
    EXPECT_EQ(result.ExitCode, 3) << result.Err;
    ASSERT_GT(result.Out.size(), size_t{4} * 64 * 1024);
    EXPECT_EQ(result.Out.substr(result.Out.size() - 2), "}\n");
    size_t at = 0;
    for (int i = 0; i < References; ++i) {
        at = result.Out.find("\"missing-" + std::to_string(i) + ".htm\"", at);
        ASSERT_NE(at, std::string::npos) << i;
    }
    size_t count = 0;
    for (at = result.Out.find("\"missing-"); at != std::string::npos;
         at = result.Out.find("\"missing-", at + 1))
        ++count;
    EXPECT_EQ(count, size_t{References});
}

// Standard output that cannot take the report fails the command, whichever form it has.
TEST_F(ReportCommand, AFullStandardOutputFailsTheReport) {
    const std::string project = Project("<a href=\"a.htm\">");
    for (const char* form : {"", " --json"}) {
        SCOPED_TRACE(form);
        const TProcessResult result = RunProcess(
            "/bin/sh",
            {"-c", std::string("\"$0\" report \"$1\"") + form + " >/dev/full", VLM_BINARY, project},
            {{"VLM_PROGRAM_DIR", Program}, {"TMPDIR", Dir.Path()}});
        EXPECT_EQ(result.ExitCode, 1) << result.Err;
        EXPECT_NE(result.Err.find("Cannot write the report to standard output. No space left on "
                                  "device"),
                  std::string::npos)
            << result.Err;
    }
}

} // namespace

#include "archive/arcReader.h"
#include "platform/UFileSys.h"
#include "platform/UTestHooks.h"

#include <cerrno>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <unistd.h>

namespace {

// vlm build and vlm report of one faulty site, run in this process so that a failure seam
// can make a folder or file unreadable (as root no permission bits do).
class BuildAndReport : public ::testing::Test {
public:
    TTempDir Dir;
    std::string Site = Dir / "site/";
    std::string Output = Dir / "out/site.vlm";

    void SetUp() override { WriteFile(Dir / "tmp/.keep", ""); }
    TProcessResult Vlm(const std::vector<std::string>& args) {
        return RunVlm(args, {.ProgramFolder = Dir / "prog/", .TempFolder = Dir / "tmp/"});
    }
    // The lines that name a file or folder and the reason, as both commands list them.
    static std::set<std::string> Named(const std::string& text) {
        std::set<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (!line.empty() && line[0] == '"')
                lines.insert(line);
        return lines;
    }
    // A command's error after its "vlm COMMAND: " prefix.
    static std::string Message(const std::string& err) {
        const size_t colon = err.find(": ");
        return colon == std::string::npos ? err : err.substr(colon + 2);
    }
};

TEST_F(BuildAndReport, AgreeOnTheFilesAndTheErrors) {
    const struct {
        const char* Name;
        const char* HomePage;
        const char* Unreadable; // relative to the site
        int Build;
        int Report[2]; // parse mode, mask mode
    } cases[] = {
        {"unreadable folder", "index.htm", "sub", 1, {1, 1}},
        {"unreadable file", "index.htm", "pic.gif", 1, {1, 1}},
        {"missing home page", "gone.htm", nullptr, 1, {1, 1}},
        {"link loop", "index.htm", nullptr, 0, {3, 3}},
    };
    WriteFile(Site + "index.htm",
              "<a href=\"sub/page.htm\"><img src=\"pic.gif\"><a href=\"loop/index.htm\">");
    WriteFile(Site + "sub/page.htm", "page");
    WriteFile(Site + "pic.gif", "GIF");
    ASSERT_EQ(::symlink(".", (Site + "loop").c_str()), 0);
    const std::string project = Dir / "site.vlp";
    ASSERT_EQ(Vlm({"new", project, "--force"}).ExitCode, 0) << Dir.Path();
    for (const auto& c : cases)
        for (const bool parsing : {true, false}) {
            SCOPED_TRACE(std::string(c.Name) + (parsing ? ", parse mode" : ", mask mode"));
            ASSERT_EQ(
                Vlm({"set", project, std::string("HomePage=") + Site + c.HomePage,
                     std::string("ParsingEnabled=") + (parsing ? "1" : "0"), "ShowLanguageMenu=0"})
                    .ExitCode,
                0);
            RemoveTree(Output);
            std::optional<vlm::test_hooks::TFailOpen> unreadable;
            if (c.Unreadable)
                unreadable.emplace(Site + c.Unreadable, EACCES);
            const TProcessResult build = Vlm({"build", project, "-o", Output, "--yes", "--quiet"});
            const TProcessResult report = Vlm({"report", project, "--json"});
            const TProcessResult text = Vlm({"report", project, "--quiet"});
            unreadable.reset();
            EXPECT_EQ(build.ExitCode, c.Build) << build.Err;
            EXPECT_EQ(report.ExitCode, c.Report[parsing ? 0 : 1]) << report.Err;
            EXPECT_EQ(text.ExitCode, report.ExitCode);
            if (c.Build == 1) {
                // The same errors: in the build's message and the report's, file by file.
                EXPECT_FALSE(build.Err.empty());
                if (Named(build.Err).empty())
                    EXPECT_EQ(Message(report.Err), Message(build.Err));
                else
                    EXPECT_EQ(Named(report.Err), Named(build.Err));
            }
            if (!vlm::FileExists(Output))
                continue;
            // The same files: the build's members are the report's.
            std::set<std::string> members, reported;
            const vlm::TArchiveReader reader(Output);
            for (const vlm::TArchiveMember& member : reader.Members())
                if (member.Name.compare(0, Site.size(), Site) == 0)
                    members.insert(member.Name);
            const std::regex path("\"path\": \"([^\"]*)\", \"member\"");
            for (std::sregex_iterator it(report.Out.begin(), report.Out.end(), path), end;
                 it != end; ++it)
                if ((*it)[1].str().compare(0, Site.size(), Site) == 0)
                    reported.insert((*it)[1].str());
            EXPECT_EQ(reported, members);
            EXPECT_FALSE(members.empty());
        }
}

} // namespace
