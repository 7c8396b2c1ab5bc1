// The viewer's reading of a build's output: the settings member, the index of the site's
// members, member streams, search, and the refusal of archives it cannot show.
#include "ArchiveFixtures.h"
#include "TestSupport.h"
#include "site/UArchiveSite.h"
#include "site/USiteFormat.h"
#include "site/USiteSearch.h"

#include <gtest/gtest.h>

namespace vlm {
namespace {

using test::TTestArchive;
using test::TTestMember;

constexpr const char* Root = "/srv/site/";

std::string Settings(const std::string& homePage = "index.htm") {
    return "HomePage=" + homePage + "\r\nHomeRoot=" + Root +
           "\r\nLanguageFilesRoot=/opt/vlm/Languages/\r\nEnableCopy=0\r\n";
}

TTestArchive SiteArchive(const std::string& settings = Settings()) {
    TTestArchive archive;
    archive.EncipherHeaders = true;
    archive.Comment = "/tmp/b/VLM.settings";
    auto add = [&](const std::string& name, const std::string& data, uint16_t method) {
        archive.Members.emplace_back(name, data, method, ArchivePassword);
    };
    add(std::string(Root) + "index.htm",
        "<html><title>Start</title><body>Welcome &amp; hello</body></html>", MethodDeflated);
    add(std::string(Root) + "Docs/Guide.HTM", "<p>The <b>needle</b> is here</p>", MethodStored);
    add(std::string(Root) + "docs/guide.htm", "<p>lower-case twin</p>", MethodDeflated);
    add(std::string(Root) + "my page.htm", "<script>needle()</script>blank", MethodDeflated);
    add(std::string(Root) + "big.bin", test::RandomBytes(300000, 7), MethodDeflated);
    add("/srv/other.htm", "outside the root: needle", MethodDeflated);
    add("/opt/vlm/Languages/German.lng",
        "Back=&Zur\xC3\xBC"
        "ck\r\n",
        MethodDeflated);
    add("/tmp/b/VLM.settings", settings, MethodDeflated);
    return archive;
}

std::string WriteSite(const test::TTempDir& dir, const TTestArchive& archive,
                      const char* name = "site.vlm") {
    test::WriteFile(dir / name, archive.Build());
    return dir / name;
}

TEST(ArchiveSite, FindsMembersByTheirAddresses) {
    test::TTempDir dir;
    TArchiveSite site(WriteSite(dir, SiteArchive()));
    EXPECT_EQ(site.HomePage(), "index.htm");
    EXPECT_EQ(site.HomeAddress(), "/srv/site/index.htm");
    EXPECT_FALSE(site.Flag("EnableCopy"));
    EXPECT_TRUE(site.Flag("EnablePrint")); // absent reads true
    const struct {
        const char* Address;
        const char* Member; // nullptr: no member
    } cases[] = {
        {"/srv/site/index.htm", "/srv/site/index.htm"},
        {"/SRV/Site/INDEX.HTM", "/srv/site/index.htm"}, // every folder in either letter case
        {"/srv/site/docs/guide.htm", "/srv/site/docs/guide.htm"}, // exact wins over a twin
        {"/srv/site/DOCS/GUIDE.htm", "/srv/site/Docs/Guide.HTM"}, // first twin in archive order
        {"/srv/site/docs/./../index.htm", "/srv/site/index.htm"},
        {"/srv/other.htm", "/srv/other.htm"},         // outside the home root, still a member
        {"/srv/site/../other.htm", "/srv/other.htm"}, // as a "../" reference reaches it
        {"/index.htm", "/srv/site/index.htm"},        // root-absolute: under the home root
        {"/Docs/Guide.HTM", "/srv/site/Docs/Guide.HTM"},
        {"/../../srv/site/big.bin", "/srv/site/big.bin"},
        {"/srv/site/missing.htm", nullptr},
        {"/other.htm", nullptr}, // under the home root there is none
        {"", nullptr},
        {"/", nullptr},
        {"/tmp/b/VLM.settings", nullptr}, // the viewer's own members have no address
        {"/VLM.settings", nullptr},
        {"/opt/vlm/Languages/German.lng", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Address);
        const std::optional<size_t> found = site.Find(c.Address);
        ASSERT_EQ(found.has_value(), c.Member != nullptr);
        if (c.Member) {
            EXPECT_EQ(site.Reader().Members()[*found].Name, c.Member);
            EXPECT_EQ(site.Find(site.Address(*found)), found);
        }
    }
    EXPECT_TRUE(site.Find(PercentDecode("/srv/site/my%20page.htm")));
}

TEST(ArchiveSite, PercentDecodesOnlyWholeEscapes) {
    const std::pair<const char*, std::string> cases[] = {
        {"a%20b", "a b"}, {"%41%62", "Ab"}, {"%e4", "\xE4"},  {"%", "%"},
        {"%4", "%4"},     {"%zz", "%zz"},   {"100%", "100%"}, {"a%2", "a%2"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(PercentDecode(in), out) << in;
}

TEST(ArchiveSite, StreamsMembersInSmallReads) {
    test::TTempDir dir;
    const TTestArchive archive = SiteArchive();
    TArchiveSite site(WriteSite(dir, archive));
    for (const char* path : {"big.bin", "Docs/Guide.HTM", "index.htm"}) {
        SCOPED_TRACE(path);
        const std::unique_ptr<TMemberReader> member = site.Open(*site.Find(path));
        std::string data;
        char buffer[1000];
        while (size_t got = member->Read(buffer, sizeof buffer))
            data.append(buffer, got);
        EXPECT_TRUE(member->AtEnd());
        EXPECT_EQ(data, site.ReadAll(*site.Find(path)));
        EXPECT_EQ(data.size(), member->Size());
    }
}

TEST(ArchiveSite, DamagedMemberDataFailWhileStreaming) {
    test::TTempDir dir;
    TTestArchive archive = SiteArchive();
    archive.EditCentral = [](size_t index, TCentralHeader& c) {
        if (index == 4)
            c.Crc ^= 0x00FFFF00; // the check byte of the encryption header stays valid
    };
    archive.EditLocal = [](size_t index, TLocalHeader& l) {
        if (index == 4)
            l.Crc ^= 0x00FFFF00;
    };
    TArchiveSite site(WriteSite(dir, archive));
    const std::unique_ptr<TMemberReader> member = site.Open(*site.Find("big.bin"));
    char buffer[4096];
    EXPECT_THROW(
        {
            while (member->Read(buffer, sizeof buffer)) {
            }
        },
        EArchiveError);
}

TEST(ArchiveSite, RefusesWhatItCannotShowNamingFileAndReason) {
    test::TTempDir dir;
    TTestArchive noSettings = SiteArchive();
    noSettings.Members.pop_back();
    const std::string good = SiteArchive().Build();
    const struct {
        const char* Name;
        std::string Bytes;
        const char* Reason;
    } cases[] = {
        {"nosettings.vlm", noSettings.Build(), "no settings member \"VLM.settings\""},
        {"nohome.vlm", SiteArchive(Settings("gone.htm")).Build(), "\"gone.htm\" is not in it"},
        {"nohomeline.vlm", SiteArchive("HomeRoot=/srv/site/\r\n").Build(), "no home page"},
        {"cut.vlm", good.substr(0, good.size() / 2), "Cannot read archive"},
        {"trailer.exe", "MZ" + good + std::string("\xFF\xFF\xFF\x7F\0\0\0\0", 8), "Cannot read"},
        {"empty.vlm", "", "Cannot read archive"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        test::WriteFile(dir / c.Name, c.Bytes);
        try {
            TArchiveSite site(dir / c.Name);
            ADD_FAILURE() << "opened";
        } catch (const EVlmError& e) {
            EXPECT_NE(std::string(e.what()).find(dir / c.Name), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.Reason), std::string::npos) << e.what();
        }
    }
}

TEST(ArchiveSite, OpeningReadsOnlyTheStartOfTheHomePage) {
    // A home page whose CRC fails only at its end: the viewer opens the archive without
    // inflating the whole page, and the page fails when it is served.
    test::TTempDir dir;
    TTestArchive archive = SiteArchive();
    archive.Members[0].Data = std::string(3u << 20, 'x');
    archive.EditCentral = [](size_t index, TCentralHeader& c) {
        if (index == 0)
            c.Crc ^= 0x00FFFF00; // the encryption header's check byte stays valid
    };
    archive.EditLocal = [](size_t index, TLocalHeader& l) {
        if (index == 0)
            l.Crc ^= 0x00FFFF00;
    };
    TArchiveSite site(WriteSite(dir, archive));
    EXPECT_THROW(site.ReadAll(*site.Find(site.HomeAddress())), EArchiveError);
}

TEST(ArchiveSite, LabelsUndeclaredUtf8TextOnly) {
    const struct {
        std::string Start;
        bool Complete, Page, Style, Utf8;
    } cases[] = {
        {"<p>gr\xC3\xBC\xC3\x9F</p>", true, true, false, true},
        {"<p>plain</p>", true, true, false, true},       // the whole of it is ASCII
        {"<p>plain</p>", false, true, false, false},     // an ASCII start says nothing
        {"<p>gr\xFC\xDF</p>", true, true, false, false}, // Latin-1
        {"<meta charset=\"iso-8859-1\"><p>\xC3\xBC</p>", true, true, false, false},
        {"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">\xC3\xBC", true,
         true, false, false},
        {"\xEF\xBB\xBF<p>\xC3\xBC</p>", true, true, false, false}, // a byte-order mark decides
        {"@charset \"latin1\"; p { content: '\xC3\xBC' }", true, false, true, false},
        {"p { content: '\xC3\xBC' }", true, false, true, true},
        {"<p>\xC3\xBC\xE2\x82", false, true, false, true}, // a sequence cut by the end of a start
        {"<p>\xC3\xBC\xE2\x82", true, true, false, false}, // the same at the member's end
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsUndeclaredUtf8(c.Start, c.Complete, c.Page, c.Style), c.Utf8) << c.Start;
}

TEST(ArchiveSite, ListsLanguagesAndSearchesEveryPageOfTheSite) {
    test::TTempDir dir;
    TArchiveSite site(WriteSite(dir, SiteArchive()));
    ASSERT_EQ(site.Languages().size(), 1u);
    EXPECT_EQ(site.Languages()[0].first, "German");

    const std::vector<TSearchHit> hits = SearchSite(site, "NEEDLE");
    ASSERT_EQ(hits.size(), 2u); // not in a script
    EXPECT_EQ(hits[0].Path, "/srv/site/Docs/Guide.HTM");
    EXPECT_EQ(hits[0].Title, "Guide.HTM");
    EXPECT_EQ(hits[0].Excerpt, "The needle is here");
    EXPECT_EQ(hits[1].Path, "/srv/other.htm");
    const std::vector<TSearchHit> entity = SearchSite(site, "welcome & hello");
    ASSERT_EQ(entity.size(), 1u);
    EXPECT_EQ(entity[0].Title, "Start");
    EXPECT_TRUE(SearchSite(site, "  ").empty());
}

TEST(ArchiveSite, FindsTheArchiveJoinedToAProgram) {
    test::TTempDir dir;
    const std::string archive = SiteArchive().Build();
    const std::pair<std::string, bool> cases[] = {
        {test::MakeExecutable("\x7F"
                              "ELF program",
                              archive),
         true},
        {archive, false},
        {"\x7F"
         "ELF program" +
             std::string("\x02\0\0\0\0\0\0\0", 8),
         false},
        {"short", false},
    };
    int i = 0;
    for (const auto& [bytes, joined] : cases) {
        const std::string path = dir / ("f" + std::to_string(i++));
        test::WriteFile(path, bytes);
        EXPECT_EQ(HasArchiveTrailer(path), joined) << path;
    }
    EXPECT_FALSE(HasArchiveTrailer(dir / "missing"));
    TArchiveSite site(dir / "f0");
    EXPECT_TRUE(site.Reader().IsExecutable());
}

TEST(ArchiveSite, SavesAMemberWholeOrNotAtAll) {
    test::TTempDir dir;
    TArchiveSite site(WriteSite(dir, SiteArchive()));
    site.SaveMember(*site.Find("big.bin"), dir / "saved.bin");
    EXPECT_EQ(test::ReadFile(dir / "saved.bin"), test::RandomBytes(300000, 7));
    test::WriteFile(dir / "file", "x");
    EXPECT_THROW(site.SaveMember(*site.Find("index.htm"), dir / "file/sub.htm"), EVlmError);
    EXPECT_THROW(site.SaveMember(*site.Find("index.htm"), dir / "none/sub.htm"), EVlmError);
    EXPECT_EQ(test::ListNames(dir.Path()),
              (std::vector<std::string>{"file", "saved.bin", "site.vlm"}));
}

TEST(SiteSearch, ReadsPagesAsTheReaderSeesThem) {
    const struct {
        const char* Html;
        const char* Text;
    } pages[] = {
        {"<p>through <b>the</b> sec<i>ond</i></p>", "through the second"},
        {"<li>one</li><li>two</li>", "one two"},
        {"a&nbsp;b &ndash; c&#233;&#x41;", "a b \xE2\x80\x93 c\xC3\xA9"
                                           "A"},
        {"x<script>if (a < b) y();</script>z<style>p{}</style>w", "x z w"},
        {"<title>T</title>body &unknown; &amp", "body &unknown; &amp"},
        {"  a \r\n\t b  ", "a b"},
    };
    for (const auto& page : pages)
        EXPECT_EQ(PageText(page.Html), page.Text) << page.Html;
    EXPECT_EQ(PageTitle("<TITLE>Lists &ndash; &lt;ol&gt;\n  tags</TITLE>"),
              "Lists \xE2\x80\x93 <ol> tags");
}

TEST(SiteSearch, FindsWordsAcrossTagsAndShowsWordsAroundThem) {
    test::TTempDir dir;
    TTestArchive archive = SiteArchive();
    archive.Members[1].Data = "<title>Guide &ndash; One</title><p>zero one two three four five "
                              "six seven eight nine <b>NEE</b>dle ten eleven twelve thirteen "
                              "fourteen fifteen sixteen seventeen eighteen nineteen</p>";
    TArchiveSite site(WriteSite(dir, archive));
    const std::vector<TSearchHit> hits = SearchSite(site, "  needle\tTEN ");
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].Title, "Guide \xE2\x80\x93 One");
    EXPECT_EQ(hits[0].Excerpt,
              "\xE2\x80\xA6two three four five six seven eight nine NEEdle ten "
              "eleven twelve thirteen fourteen fifteen sixteen seventeen eighteen\xE2\x80\xA6");
    // A search told to stop reports nothing more.
    std::atomic<bool> stop = true;
    size_t heard = 0;
    EXPECT_EQ(TSiteSearch(site, "needle").Run([&](TSearchHit&&) { ++heard; }, &stop), 0u);
    EXPECT_EQ(heard, 0u);
}

} // namespace
} // namespace vlm
