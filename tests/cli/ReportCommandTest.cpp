// vlm report: its exit codes, its JSON and the HTML page it writes safely.
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vlm::test;

namespace {

class ReportCommand : public ::testing::Test {
public:
    TTempDir Dir;
    std::string Site = Dir / "site/";
    std::string Program = Dir / "prog/";

    TProcessResult Vlm(const std::vector<std::string>& args) {
        return RunProcess(VLM_BINARY, args, {{"VLM_PROGRAM_DIR", Program}, {"TMPDIR", Dir.Path()}});
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
