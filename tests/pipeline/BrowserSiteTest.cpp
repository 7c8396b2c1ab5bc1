// Parse mode takes what a browser loads from the pages it reaches, and the report says the
// same: a site that uses every form of reference, built and reported.
#include "BuildFixture.h"

#include "report/UReport.h"

#include "SiteFixtures.h"

#include <algorithm>

namespace vlm::test {
namespace {

class BrowserSite : public TBuildFixture {
public:
    // The members of a build, relative to the test folder, sorted; the program's own left out.
    std::vector<std::string> SiteMembers(const std::vector<std::string>& paths) {
        std::vector<std::string> names;
        for (const std::string& path : paths)
            if (path.compare(0, Dir.Path().size(), Dir.Path()) == 0 &&
                path.compare(0, Temp.size(), Temp) != 0 &&
                path.compare(0, Program.size(), Program) != 0)
                names.push_back(path.substr(Dir.Path().size()));
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(BrowserSite, TheBuildTakesWhatABrowserLoads) {
    Project->SetValue(entry::HomePage, WriteBrowserSite(Dir.Path()));
    Project->SetFlag(entry::ParsingEnabled, true);
    Output("site.vlm");
    Build();
    std::vector<std::string> members;
    const TArchiveReader reader(Out + "site.vlm");
    for (const TArchiveMember& member : reader.Members())
        members.push_back(member.Name);
    EXPECT_EQ(SiteMembers(members), BrowserSiteMembers());

    TRecordingHost host;
    const TSiteReport report = MakeSiteReport(*Project, host);
    std::vector<std::string> reported;
    for (const TReportFile& file : report.Files)
        reported.push_back(file.Path);
    EXPECT_EQ(SiteMembers(reported), BrowserSiteMembers());
    std::vector<std::string> broken;
    for (const TBrokenReference& b : report.Broken)
        broken.push_back(b.Written + ": " + BrokenReason(b));
    EXPECT_EQ(broken, std::vector<std::string>{std::string(BrowserSiteMissingFont) + ": missing"});
    std::vector<std::string> orphans;
    for (const TOrphanFile& orphan : report.Orphans)
        orphans.push_back(orphan.Path);
    EXPECT_EQ(SiteMembers(orphans), BrowserSiteLeftOut());
    // The web, mail, script, inline-data and protocol-relative addresses.
    EXPECT_EQ(report.ExternalReferences, 5u);
}

} // namespace
} // namespace vlm::test
