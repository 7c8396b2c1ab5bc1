// The site report against builds of the same projects, and the exact-name rule of the
// references that link discovery finds.
#include "BuildFixture.h"

#include "report/UReport.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace vlm::test {
namespace {

class ReportTest : public TBuildFixture {
public:
    TSiteReport Report() {
        TRecordingHost host;
        return MakeSiteReport(*Project, host);
    }
    std::vector<std::string> ReportedMembers(const TSiteReport& report) {
        std::vector<std::string> names;
        for (const TReportFile& file : report.Files)
            names.push_back(Shorten(file.StoredName));
        return names;
    }
    std::set<std::string> Shortened(const std::vector<std::string>& paths) {
        std::set<std::string> names;
        for (const std::string& path : paths)
            names.insert(Shorten(path));
        return names;
    }
};

// On a case-sensitive file system every reference names exactly one file: the name as
// written, or only when no file has it, the files that differ from it in letter case.
TEST_F(ReportTest, DiscoveredReferencesNameExactlyTheirFiles) {
    WriteFile(Site + "index.htm", "<a href=\"a.htm\"> <a href=\"st*r.htm\"> <a href=\"q%3F.txt\">\n"
                                  "<img src=\"Logo.GIF\"> <a href=\"Dup.htm\">");
    for (const char* name : {"a.htm", "A.HTM", "st*r.htm", "stXXr.htm", "q?.txt", "qz.txt",
                             "logo.gif", "dup.htm", "DUP.htm"})
        WriteFile(Site + name, name);
    Project->SetFlag("ParsingEnabled", true);
    Output("site.vlm");
    Build();
    const std::vector<std::string> members = MemberNames(Out + "site.vlm");
    const struct {
        const char* Name;
        bool Taken;
    } cases[] = {{"a.htm", true},      {"A.HTM", false},  {"st*r.htm", true},
                 {"stXXr.htm", false}, {"q?.txt", true},  {"qz.txt", false},
                 {"logo.gif", true},   {"dup.htm", true}, {"DUP.htm", true}};
    for (const auto& c : cases) {
        const bool taken = std::find(members.begin(), members.end(),
                                     "site/" + std::string(c.Name)) != members.end();
        EXPECT_EQ(taken, c.Taken) << c.Name;
    }

    const TSiteReport report = Report();
    EXPECT_EQ(ReportedMembers(report), members);
    std::set<std::set<std::string>> caseNames;
    for (const std::vector<std::string>& group : report.CaseOnlyNames)
        caseNames.insert(Shortened(group));
    EXPECT_EQ(caseNames, (std::set<std::set<std::string>>{{"site/a.htm", "site/A.HTM"},
                                                          {"site/dup.htm", "site/DUP.htm"}}));
    std::set<std::pair<std::string, std::set<std::string>>> byCase;
    for (const TCaseReference& ref : report.CaseReferences)
        byCase.insert({ref.Written, Shortened(ref.Files)});
    EXPECT_EQ(byCase,
              (std::set<std::pair<std::string, std::set<std::string>>>{
                  {"Logo.GIF", {"site/logo.gif"}}, {"Dup.htm", {"site/dup.htm", "site/DUP.htm"}}}));
    std::set<std::string> orphans;
    for (const TOrphanFile& orphan : report.Orphans)
        orphans.insert(Shorten(orphan.Path));
    EXPECT_EQ(orphans, (std::set<std::string>{"site/A.HTM", "site/stXXr.htm", "site/qz.txt"}));
}

// A site with known faults: the report lists exactly them, in either mode.
TEST_F(ReportTest, ListsExactlyTheBrokenReferencesAndFilesLeftOut) {
    WriteFile(Site + "index.htm", "<html>\n<a href=\"page.htm\">\n<a href=\"gone.htm\">\n"
                                  "<a href=\"http://example.com/\">\n<a href=\"notes.bak\">\n"
                                  "<a href=\"sub\">\n");
    WriteFile(Site + "page.htm", "<img src=\"pic.gif\">\r\n<img\nsrc=\"nopic.gif\">");
    WriteFile(Site + "pic.gif", "GIF");
    WriteFile(Site + "notes.bak", "notes");
    WriteFile(Site + "unused.htm", "unused");
    WriteFile(Site + "sub/old.htm", "old");
    WriteFile(Site + ".git/config", "hidden");
    Project->SetValue("MaskExclude", "*.bak");
    Output("site.vlm");
    const struct {
        bool Parsing;
        std::set<std::string> Broken; // page:line "reference": reason
        std::set<std::string> Orphans;
    } cases[] = {
        {true,
         {"site/index.htm:3 \"gone.htm\": missing",
          "site/index.htm:5 \"notes.bak\": excluded by a mask",
          "site/index.htm:6 \"sub\": not a regular file", "site/page.htm:2 \"nopic.gif\": missing"},
         {"site/notes.bak", "site/unused.htm", "site/sub/old.htm"}},
        // Masks take every file but the excluded one; the links are checked against them.
        {false,
         {"site/index.htm:3 \"gone.htm\": missing",
          "site/index.htm:5 \"notes.bak\": not in the output",
          "site/index.htm:6 \"sub\": not a regular file", "site/page.htm:2 \"nopic.gif\": missing"},
         {"site/notes.bak"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Parsing ? "parse mode" : "mask mode");
        Project->SetFlag("ParsingEnabled", c.Parsing);
        const TSiteReport report = Report();
        std::set<std::string> broken;
        for (const TBrokenReference& b : report.Broken)
            broken.insert(Shorten(b.Page) + ":" + std::to_string(b.Line) + " \"" + b.Written +
                          "\": " + BrokenReason(b));
        EXPECT_EQ(broken.size(), report.Broken.size());
        EXPECT_EQ(broken, c.Broken);
        std::set<std::string> orphans;
        for (const TOrphanFile& orphan : report.Orphans)
            orphans.insert(Shorten(orphan.Path));
        EXPECT_EQ(orphans, c.Orphans);
        EXPECT_EQ(Shortened(report.HiddenFolders), (std::set<std::string>{"site/.git/"}));
        EXPECT_EQ(report.ExternalReferences, 1u);
        EXPECT_TRUE(report.HasProblems());
        Build();
        EXPECT_EQ(ReportedMembers(report), MemberNames(Out + "site.vlm"));
    }
}

// The walk for files left out looks through links: a file taken by the name of a link is
// not left out, nor is the file it leads to; a link that nothing references is, with the
// size of its file; dangling links and pipes are neither.
TEST_F(ReportTest, FilesLeftOutAreJudgedThroughLinks) {
    WriteFile(Site + "index.htm", "<a href=\"linked.htm\">");
    WriteFile(Site + "target.htm", "target");
    ASSERT_EQ(::symlink("target.htm", (Site + "linked.htm").c_str()), 0);
    ASSERT_EQ(::symlink("target.htm", (Site + "Unused.htm").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere.htm", (Site + "dangling.htm").c_str()), 0);
    ASSERT_EQ(::mkfifo((Site + "pipe.htm").c_str(), 0600), 0);
    Project->SetFlag("ParsingEnabled", true);
    const TSiteReport report = Report();
    std::map<std::string, uint64_t> orphans;
    for (const TOrphanFile& orphan : report.Orphans)
        orphans[Shorten(orphan.Path)] = orphan.Size;
    EXPECT_EQ(orphans, (std::map<std::string, uint64_t>{{"site/Unused.htm", 6}}));
}

// A broken reference is one a reader would hit: an address with blanks around it, one from
// the site's root, a query, single quotes, markup in a script's string and a script's
// template are none; a file taken through a link is not left out; and in parse mode the
// files that scripts may load, left out, are counted in a hint.
TEST_F(ReportTest, TheReportTellsTheTruth) {
    WriteFile(Site + "index.htm", "<a href=\" https://example.com/ \">\n<a href=\"/about.htm\">\n"
                                  "<a href=\"page.htm?x=1\">\n<a href='page.htm'>\n"
                                  "<script src=\"current/real.js\"></script>\n"
                                  "<script>var a = \"<a href=\\\"page.htm\\\">\"; "
                                  "var b = `<img src=\"${root}/x.png\">`;</script>\n");
    for (const char* name :
         {"page.htm", "about.htm", "lib/real.js", "data.json", "extra.css", "notes.txt"})
        WriteFile(Site + name, name);
    ASSERT_EQ(::symlink("lib", (Site + "current").c_str()), 0);
    const struct {
        bool Parsing;
        std::set<std::string> Orphans;
        std::vector<std::string> Hints;
    } cases[] = {
        {true,
         {"site/data.json", "site/extra.css", "site/notes.txt"},
         {"2 files that scripts may load were left out; mask mode takes them"}},
        {false, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Parsing ? "parse mode" : "mask mode");
        Project->SetFlag("ParsingEnabled", c.Parsing);
        const TSiteReport report = Report();
        for (const TBrokenReference& b : report.Broken)
            ADD_FAILURE() << "broken: " << b.Written << ": " << BrokenReason(b);
        EXPECT_FALSE(report.HasProblems());
        std::set<std::string> orphans;
        for (const TOrphanFile& orphan : report.Orphans)
            orphans.insert(Shorten(orphan.Path));
        EXPECT_EQ(orphans, c.Orphans);
        EXPECT_EQ(report.Hints, c.Hints);
        EXPECT_EQ(report.ExternalReferences, 1u);
    }
}

// A folder link back into the site ("loop -> .") or out of it upwards ("up -> ..") is not
// entered, in either mode, and the report names it; a FIFO named by a reference is no
// regular file, not a missing one.
TEST_F(ReportTest, FolderLinksThatLeadBackUpAreNotEntered) {
    WriteFile(Site + "index.htm", "<a href=\"loop/index.htm\">\n<a href=\"up/outside.htm\">\n"
                                  "<a href=\"pipe.htm\">\n<a href=\"page.htm\">");
    WriteFile(Site + "page.htm", "<a href=\"loop/page.htm\">");
    WriteFile(Dir / "outside.htm", "outside the site");
    ASSERT_EQ(::symlink(".", (Site + "loop").c_str()), 0);
    ASSERT_EQ(::symlink("..", (Site + "up").c_str()), 0);
    ASSERT_EQ(::mkfifo((Site + "pipe.htm").c_str(), 0600), 0);
    Project->SetValue("ShowLanguageMenu", "0");
    Output("site.vlm");
    for (const bool parsing : {true, false}) {
        SCOPED_TRACE(parsing ? "parse mode" : "mask mode");
        Project->SetFlag("ParsingEnabled", parsing);
        Build();
        const std::vector<std::string> members = MemberNames(Out + "site.vlm");
        EXPECT_EQ(std::set<std::string>(members.begin(), members.end()),
                  (std::set<std::string>{"site/index.htm", "site/page.htm", "tmp/VLM.settings"}));
        const TSiteReport report = Report();
        EXPECT_EQ(ReportedMembers(report), members);
        std::set<std::string> broken;
        for (const TBrokenReference& b : report.Broken)
            broken.insert(Shorten(b.Page) + ":" + std::to_string(b.Line) + " " + b.Written + ": " +
                          BrokenReason(b));
        EXPECT_EQ(broken,
                  (std::set<std::string>{
                      "site/index.htm:1 loop/index.htm: through a folder link not followed",
                      "site/index.htm:2 up/outside.htm: through a folder link not followed",
                      "site/index.htm:3 pipe.htm: not a regular file",
                      "site/page.htm:1 loop/page.htm: through a folder link not followed"}));
        std::set<std::string> links;
        for (const TSkippedLink& link : report.SkippedLinks)
            links.insert(Shorten(link.Path) + ": " + link.Reason);
        EXPECT_EQ(links, (std::set<std::string>{
                             "site/loop: leads to a folder that is walked already",
                             "site/up: leads to a folder above the home page's folder"}));
        for (const TOrphanFile& orphan : report.Orphans)
            ADD_FAILURE() << "left out: " << orphan.Path;
    }
}

// An output kept in the site's folder, and the temporary files beside it, never become
// members, in either mode and either format: a rebuild gives an output of the same size.
// The report names them as left out for that reason.
TEST_F(ReportTest, TheOutputIsNeverPackedIntoItsOwnReplacement) {
    WriteFile(Site + "page.htm", "page");
    Project->SetValue("ShowLanguageMenu", "0");
    for (const std::string name : {"packed.vlm", "packed.exe"})
        for (const bool parsing : {true, false}) {
            SCOPED_TRACE(name + (parsing ? " parsed" : " by masks"));
            WriteFile(Site + "index.htm", "<a href=\"" + name + "\"><a href=\"page.htm\">");
            const std::string stale = "." + name + ".0123456789abcdef.tmp";
            WriteFile(Site + stale, "what a killed build left");
            Project->SetValue("OutputFile", Site + name);
            Project->SetValue("OutputType", name == "packed.exe" ? "EXE" : "VLM");
            Project->SetFlag("ParsingEnabled", parsing);
            Build();
            const int64_t first = FileSizeOf(Site + name);
            Build();
            EXPECT_EQ(FileSizeOf(Site + name), first);
            const std::vector<std::string> members = MemberNames(Site + name);
            EXPECT_EQ(
                std::set<std::string>(members.begin(), members.end()),
                (std::set<std::string>{"site/index.htm", "site/page.htm", "tmp/VLM.settings"}));

            const TSiteReport report = Report();
            EXPECT_EQ(ReportedMembers(report), members);
            EXPECT_FALSE(report.HasProblems());
            std::set<std::string> orphans;
            for (const TOrphanFile& orphan : report.Orphans)
                orphans.insert(Shorten(orphan.Path) + ": " + orphan.Reason);
            EXPECT_EQ(orphans,
                      (std::set<std::string>{"site/" + name + ": the build's own output",
                                             "site/" + stale + ": the build's own output"}));
            DeleteFile(Site + name);
            DeleteFile(Site + stale);
        }
}

// The archive writer's temporary files ("arc*.tmp" in the private temporary folder: one a
// killed build left) are no members when that folder lies in the site mask mode walks;
// the report names them as the build's own output.
TEST_F(ReportTest, TheWritersTemporaryFilesAreNoMembers) {
    WriteFile(Site + "index.htm", "<a href=\"page.htm\">");
    WriteFile(Site + "page.htm", "page");
    WriteFile(Site + "private/arc1A2B.tmp", "what a killed build left");
    SetTempFolder(Site + "private/");
    Project->SetValue("ShowLanguageMenu", "0");
    Project->SetValue("MaskExclude", "*.bak"); // the default would keep out every "*.tmp"
    Project->SetFlag("ParsingEnabled", false);
    Output("site.vlm");
    Build();
    const std::vector<std::string> members = MemberNames(Out + "site.vlm");
    EXPECT_EQ(
        std::set<std::string>(members.begin(), members.end()),
        (std::set<std::string>{"site/index.htm", "site/page.htm", "site/private/VLM.settings"}));
    std::set<std::string> orphans;
    for (const TOrphanFile& orphan : Report().Orphans)
        orphans.insert(Shorten(orphan.Path) + ": " + orphan.Reason);
    EXPECT_EQ(orphans, (std::set<std::string>{"site/private/arc1A2B.tmp: the build's own output"}));
}

// Every file the links take names the first reference that named it: the page, the line and
// the reference as written, and whether only letter case found it.
TEST_F(ReportTest, EveryTakenFileNamesItsFirstReference) {
    WriteFile(Site + "index.htm", "<a href=\"a.htm\">\n<img src=\"Logo.GIF\">\n"
                                  "<a href=\"sub/b.htm\"><a href=\"Dup.htm\">");
    WriteFile(Site + "a.htm", "<a href=\"index.htm\">\n\n<a href=\"c.htm\"><a href=\"sub/b.htm\">");
    WriteFile(Site + "sub/b.htm", "<a href=\"../a.htm\">\n<a href=\"../c.htm\"><a href=\"d.htm\">");
    for (const char* name : {"logo.gif", "c.htm", "sub/d.htm", "dup.htm", "DUP.htm"})
        WriteFile(Site + name, name);
    Project->SetFlag("ParsingEnabled", true);
    const std::map<std::string, std::string> expected = {
        {"site/index.htm", "home page"},
        {"site/a.htm", "referenced by site/index.htm:1 as \"a.htm\""},
        {"site/logo.gif", "referenced by site/index.htm:2 as \"Logo.GIF\" (by letter case)"},
        {"site/sub/b.htm", "referenced by site/index.htm:3 as \"sub/b.htm\""},
        {"site/dup.htm", "referenced by site/index.htm:3 as \"Dup.htm\" (by letter case)"},
        {"site/DUP.htm", "referenced by site/index.htm:3 as \"Dup.htm\" (by letter case)"},
        {"site/c.htm", "referenced by site/a.htm:3 as \"c.htm\""},
        {"site/sub/d.htm", "referenced by site/sub/b.htm:2 as \"d.htm\""},
    };
    std::map<std::string, std::string> reasons;
    for (const TReportFile& file : Report().Files)
        if (file.By != TTakenBy::Settings && file.By != TTakenBy::LanguageFile) {
            TReportFile shown = file;
            shown.Page = Shorten(file.Page);
            reasons[Shorten(file.Path)] = FileReason(shown);
        }
    EXPECT_EQ(reasons, expected);
}

// The JSON form takes any bytes a page holds and stays a document that strict parsers
// take: escapes for quotes, backslashes and control characters, U+FFFD for every byte that
// is not part of valid UTF-8 (overlong forms, surrogates and code points above U+10FFFF
// among them).
TEST_F(ReportTest, JsonEscapesEveryByteAPageHolds) {
    const struct {
        std::string Written;
        std::string Json;
    } cases[] = {
        {"x\\y\"z", R"("x\\y\"z")"},
        {"c\x01\x1f\x7f", "\"c\\u0001\\u001f\x7f\""},
        {"\xE2\x82\xAC\xF0\x9F\x98\x80\xC3\xA9", "\"\xE2\x82\xAC\xF0\x9F\x98\x80\xC3\xA9\""},
        {"tr\xC3", R"("tr\ufffd")"},
        {"\xC0\xAF", R"("\ufffd\ufffd")"},
        {"\xE0\x80\xAF", R"("\ufffd\ufffd\ufffd")"},
        {"\xED\xA0\x80", R"("\ufffd\ufffd\ufffd")"},
        {"\xF0\x8F\xBF\xBF", R"("\ufffd\ufffd\ufffd\ufffd")"},
        {"\xF4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")"},
        {"\xF5\x80\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")"},
    };
    TSiteReport report;
    for (const auto& c : cases)
        report.Broken.Add("page.htm", 1, c.Written, "path", TReferenceOutcome::Missing, false);
    std::ostringstream out;
    WriteReportJson(report, out);
    const std::string json = out.str();
    size_t at = 0;
    for (const auto& c : cases) {
        at = json.find("\"reference\": ", at);
        ASSERT_NE(at, std::string::npos);
        at += 13;
        EXPECT_EQ(json.substr(at, c.Json.size()), c.Json);
    }
}

} // namespace
} // namespace vlm::test
