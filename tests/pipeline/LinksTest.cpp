#include "pipeline/ULinks.h"

#include "pipeline/UCssScan.h"
#include "platform/UErrors.h"
#include "platform/UPaths.h"

#include "RecordingHost.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

using namespace vlm;
using vlm::test::TRecordingHost;
using vlm::test::TTempDir;
using vlm::test::WriteFile;

namespace {

TEST(Links, FindingTheReferenceOfATag) {
    const struct {
        std::string Tag;
        const char* Reference;
    } cases[] = {
        {"img SRC=\"Pics/Logo.GIF\" alt=x", "Pics/Logo.GIF"},
        {"a href=page2.htm target=_top", "page2.htm"},
        {"a href=\"\" title=\"x.htm\"", ""},
        {"a href=\"page.htm#top\"", "page.htm"},
        {"a href=\"#top\"", ""},
        {"a href=page.htm#top", "page.htm"},
        {"a href=page.htm\ttarget=_top", "page.htm"},
        {"img src=\"a.gif\" href=\"b.htm\"", "a.gif"},
        {"a href=\"b.htm\" src=\"a.gif\"", "a.gif"}, // names are tried in order, not by place
        {"img data-src=\"lazy.gif\"", ""},           // names match whole: a script loads data-src
        {"a data-href=\"decoy.htm\" href=\"real.htm\"", "real.htm"},
        {"a xhref=\"decoy.htm\"", ""},
        {"image xlink:href=\"pic.png\"", "pic.png"},
        {"body BackGround=paper.gif", "paper.gif"},
        {"a href=\"open ended", ""},
        {"a href = \"x.htm\"", "x.htm"},
        {"a title=\"src=x.gif y\" href=\"y.htm\"", "y.htm"}, // a value holds no names
        {"a href='single.htm'", "single.htm"},
        {"a href=\" page.htm \"", "page.htm"},
        {"a href=\"page.htm?x=1#top\"", "page.htm"},
        {"a href=\"page.htm#top?x\"", "page.htm"},
        {"a href=\"?x=1\"", ""},
        {"link rel=stylesheet href=s.css", "s.css"},
        {"link rev=made href=made.htm", ""},                   // metadata, never loaded
        {"a class=\\\"x\\\" href=\\\"esc.htm\\\"", "esc.htm"}, // markup in a script's string
        {"img src=\"${base}/x.png\"", ""},                     // a script's template
        {"a\r\nhref=\"next.htm\"", "next.htm"},
        {"a href=", ""},
        {"p", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindReference(c.Tag), c.Reference) << c.Tag;
}

// Every reference a browser loads from a tag, in order: the tag's own first, then the ones
// it adds in the order they stand.
TEST(Links, EveryReferenceOfATag) {
    using K = TDocumentKind;
    const struct {
        K Kind;
        std::string Tag;
        std::vector<std::string> References;
    } cases[] = {
        {K::Html, "img src=a.png srcset=\"b.png 2x, c.png 3x\"", {"a.png", "b.png", "c.png"}},
        {K::Html, "source srcset=\"w.webp 1200w,x.webp 2400w\"", {"w.webp", "x.webp"}},
        {K::Html,
         "img srcset=\"data:image/png;base64,AA=, y.png 2x\"",
         {"data:image/png;base64,AA=", "y.png"}},
        {K::Html, "div srcset=\"no.png 2x\"", {}},
        {K::Html, "object data=doc.pdf", {"doc.pdf"}},
        {K::Html, "div data=no.pdf", {}},
        {K::Html, "video poster=p.jpg src=v.webm", {"v.webm", "p.jpg"}},
        {K::Html,
         "div style=\"background: url(&quot;bg.png&quot;); x: url(q.png)\"",
         {"bg.png", "q.png"}},
        {K::Html, "a style='background:url(y.png)' href=\"x.htm\"", {"x.htm", "y.png"}},
        {K::Html, "link rel=icon href=f.ico", {"f.ico"}},
        {K::Html, "link href=x.css", {}},
        {K::Html, "img data-src=lazy.png srcset=\"s.png 1x\"", {"s.png"}},
        {K::Html, "img src=\"\" srcset=\"t.png 2x\"", {"t.png"}},
        {K::Svg, "use xlink:href=\"sprite.svg#a\" href=\"b.svg\"", {"sprite.svg", "b.svg"}},
        {K::Svg, "image src=x.png style=\"fill:url(#g)\"", {}},
        {K::Html, "p", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> found;
        FindReferences(c.Tag, c.Kind, found);
        EXPECT_EQ(found, c.References) << c.Tag;
    }
}

// What a style sheet loads: url() quoted or not and @import, comments and other strings
// skipped, whole function names only.
TEST(Links, TheAddressesOfAStyleSheet) {
    const struct {
        std::string Text;
        std::vector<std::string> References;
    } cases[] = {
        {"a{b:url(x.png)}", {"x.png"}},
        {"a{b:url( \"y.png\" )}", {"y.png"}},
        {"a{b:url('z.png?v=1#f')}", {"z.png"}},
        {"@import \"a.css\"; @import url(b.css); @IMPORT 'c.css' screen;",
         {"a.css", "b.css", "c.css"}},
        {"/* url(no.png) @import \"no.css\"; */ p{}", {}},
        {"p::after{content: \"url(no.png)\"} q{content:'\\' url(no2.png)'}", {}},
        {"myurl(no.png) URL(yes.png) url (no2.png)", {"yes.png"}},
        {"url(a\\).png) url(\"b\\\".png\")", {"a).png", "b\".png"}},
        {"url() url(#filter) url(\"\")", {}},
        {"p{background:url(cut.png", {"cut.png"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> found;
        CssReferences(c.Text, found);
        EXPECT_EQ(found, c.References) << c.Text;
    }
}

TEST(Links, ReferencesBecomePaths) {
    const struct {
        std::string Reference;
        std::string Path;
    } cases[] = {
        {"Pics/Logo.GIF", "Pics/Logo.GIF"},
        {"my%20page.htm", "my page.htm"},
        {"%41.htm", "A.htm"},       // an escape at the very start too
        {"a%2541.htm", "a%41.htm"}, // decoded once, as a browser does
        {"a%41%42", "aAB"},
        {"a%4", "a%4"},
        {"a%zz%41", "a%zzA"}, // a "%" without two digits stays
        {"50%", "50%"},
        {"a%2fb", "a/b"},
        {"file:///home/a.htm", "/home/a.htm"},
        {"FILE:///home/a.htm", "/home/a.htm"},
        {"file://home/a.htm", "home/a.htm"},
        {"file:///C|/site/a.htm", "/C|/site/a.htm"}, // no drive letters here
        {"file:%2f%2f/x.htm", "/x.htm"},
        {"https://www.example.com/", "https://www.example.com/"},
        {"a%00.htm", ""}, // no file name holds a NUL
        {std::string("a\0b.htm", 7), ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReferenceToPath(c.Reference), c.Path) << c.Reference;
}

TEST(Links, TheFileListFollowsThePlatformsIdentityRule) {
    TFileList list;
    EXPECT_TRUE(list.Add("/site/Index.htm"));
    EXPECT_FALSE(list.Add("/site/Index.htm"));
    EXPECT_EQ(list.Add("/site/index.htm"), !FileNamesIgnoreCase);
    EXPECT_TRUE(list.Add("/site/a.gif"));
    EXPECT_TRUE(list.Contains("/site/Index.htm"));
    EXPECT_EQ(list.Contains("/SITE/INDEX.HTM"), FileNamesIgnoreCase);
    EXPECT_EQ(list[0], "/site/Index.htm");
    EXPECT_EQ(list.Items().back(), "/site/a.gif");
}

// A site whose pages reach each other in known ways; Discover() returns the list as
// paths relative to the site.
struct TSite {
    TTempDir Dir;
    TRecordingHost Host;
    TProgress Progress{Host.Seam()};
    TRegExpr Include{"MaskInclude"};
    TRegExpr Exclude{"MaskExclude"};
    int Jobs = 1;
    TLinkObserver* Observer = nullptr;

    TSite(const char* include = "*.*", const char* exclude = "*.tmp,*.bak") {
        SetMaskList(Include, ConvertMasks(include));
        SetMaskList(Exclude, ConvertMasks(exclude));
    }
    std::string Root() const { return Dir / "site/"; }
    void Page(const std::string& name, const std::string& text) { WriteFile(Root() + name, text); }
    std::vector<std::string> Discover(const std::string& home = "index.htm") {
        TFileList list;
        TLinkParser parser(Progress, Include, Exclude);
        parser.SetJobs(Jobs);
        parser.SetObserver(Observer);
        parser.DiscoverFiles(Root() + home, list);
        std::vector<std::string> names;
        for (const std::string& path : list.Items())
            names.push_back(path.compare(0, Root().size(), Root()) == 0 ? path.substr(Root().size())
                                                                        : path);
        return names;
    }
};

TEST(Links, DiscoveryIsBreadthFirstFromTheHomePage) {
    TSite site;
    site.Page("index.htm", "<a href=\"a.htm\"><img src=img/logo.gif><a href=\"sub/b.html\">"
                           "<a href=\"a.htm\"><a href='index.htm'><a href=\"index.htm\">");
    site.Page("a.htm", "<a href=\"c.htm\"><a href=\"UP.HTM\"><a href=\"missing.htm\">"
                       "<a href=\"https://www.example.com/\"><a href=\"notes.bak\">");
    site.Page("sub/b.html", "<img src=\"../img/logo.gif\"><a href=\"../d.htm#x\">"
                            "<a href=\"my%20page.htm\"><body background=\"bg.gif\">");
    site.Page("c.htm", "<p>no links</p>");
    site.Page("d.htm", "<a href=e.htm>");
    site.Page("e.htm", "");
    site.Page("UP.HTM", "<a href=\"hidden.htm\">"); // added, but not scanned
    site.Page("hidden.htm", "");
    site.Page("notes.bak", "");
    site.Page("img/logo.gif", "GIF");
    site.Page("sub/my page.htm", "");
    site.Page("sub/bg.gif", "GIF");
    const std::string folder = GetCurrentFolder();
    EXPECT_EQ(site.Discover(), (std::vector<std::string>{
                                   "index.htm", "a.htm", "img/logo.gif", "sub/b.html", "c.htm",
                                   "UP.HTM", "d.htm", "sub/my page.htm", "sub/bg.gif", "e.htm"}));
    EXPECT_EQ(GetCurrentFolder(), folder); // the process's current folder is left alone
}

TEST(Links, AbsoluteReferencesAndFileUrls) {
    TSite site;
    const std::string other = site.Dir / "other/x.gif";
    WriteFile(other, "x");
    WriteFile(site.Dir / "other/y.gif", "y");
    WriteFile(site.Dir / "other/z.gif", "z");
    site.Page("index.htm", "<img src=\"" + other + "\"><img src=\"file://" + site.Dir.Path() +
                               "other/y.gif\"><img src=\"FILE://" + site.Dir.Path() +
                               "other/z.gif\">");
    EXPECT_EQ(site.Discover(),
              (std::vector<std::string>{"index.htm", other, site.Dir / "other/y.gif",
                                        site.Dir / "other/z.gif"}));
}

TEST(Links, TheHomePageIsTakenWhateverTheMasksSay) {
    TSite site("*.gif", "index.*");
    site.Page("index.htm", "<img src=a.gif><a href=b.htm><img src=index.gif>");
    site.Page("a.gif", "");
    site.Page("b.htm", "");
    site.Page("index.gif", "");
    EXPECT_EQ(site.Discover(), (std::vector<std::string>{"index.htm", "a.gif"}));
}

TEST(Links, ReferencesThatAreNoFiles) {
    TSite site;
    site.Page("a", "");
    site.Page("b", "");
    site.Page("index.htm", std::string("<a href=\"a%00.htm\"><a href=\"b") + '\0' +
                               ".htm\"><a href=sub/><a href=\"\"><a href=\"#top\">");
    site.Page("sub/x.htm", "");
    EXPECT_EQ(site.Discover(), std::vector<std::string>{"index.htm"});
}

// Style elements and style sheets are read as a browser reads them: a page's text after
// <style> is a style sheet up to its end tag, and a style sheet's relative addresses are
// taken against its own folder.
TEST(Links, StyleElementsAndStyleSheets) {
    const struct {
        std::string Index;
        std::vector<std::string> Found;
    } cases[] = {
        {"<style>p{background:url(s.png)}</STYLE ><img src=after.png>",
         {"index.htm", "s.png", "after.png"}},
        {"<style>/* </styles> */ p{background:url(in.png)} a < b</style><img src=out.png>",
         {"index.htm", "in.png", "out.png"}},
        {"<style media=print>p{background:url(end.png", {"index.htm", "end.png"}},
        {"<link rel=stylesheet href=\"css/a.css?v=2\">",
         {"index.htm", "css/a.css", "css/b.css", "img/x.png"}},
        {"<style/><img src=s.png>", {"index.htm", "s.png"}},
    };
    for (const auto& c : cases) {
        TSite site;
        site.Page("index.htm", c.Index);
        for (const char* name : {"s.png", "after.png", "in.png", "out.png", "end.png", "img/x.png"})
            site.Page(name, "");
        site.Page("css/a.css", "@import \"b.css\";\np{background:url(../img/x.png)}");
        site.Page("css/b.css", "");
        EXPECT_EQ(site.Discover(), c.Found) << c.Index;
    }
}

TEST(Links, AFileThatEndsInsideATag) {
    TSite site;
    site.Page("index.htm", "<p>text</p><a href=last.htm");
    site.Page("last.htm", "");
    EXPECT_EQ(site.Discover(), (std::vector<std::string>{"index.htm", "last.htm"}));
}

TEST(Links, TheBarShowsTheShareRead) {
    const struct {
        std::string Text;
        std::vector<int> Bars; // of the scanned page, after the first 0
    } cases[] = {
        {"", {}},
        {"<a href=x>", {10, 20, 30, 40, 50, 60, 70, 80, 90, 100}}, // ends with ">"
        {"<a href=x>\n", {9, 18, 27, 36, 45, 54, 63, 72, 81, 90}},
        {std::string(1000, 'x'), {}}, // filled in below: 1 to 99
    };
    for (const auto& c : cases) {
        TSite site;
        site.Page("index.htm", c.Text);
        site.Discover();
        std::vector<int> bars = site.Host.BarsIn("");
        ASSERT_FALSE(bars.empty());
        EXPECT_EQ(bars.front(), 0);
        bars.erase(bars.begin());
        std::vector<int> expected = c.Bars;
        if (c.Text.size() == 1000)
            for (int i = 1; i <= 99; ++i)
                expected.push_back(i);
        EXPECT_EQ(bars, expected) << c.Text.substr(0, 20);
    }
}

TEST(Links, ThePageAndItsSizeAreShown) {
    TSite site;
    site.Page("index.htm", std::string(2048, ' '));
    site.Host.Width = 13;
    site.Discover();
    EXPECT_EQ(site.Host.Of("CurrentFile:"), std::vector<std::string>{".../index.htm"});
    EXPECT_EQ(site.Host.Of("Size:"), std::vector<std::string>{"2 KB"});
}

TEST(Links, CancelEndsTheScanSilently) {
    TSite site;
    std::string page;
    for (int i = 0; i < 3000; ++i)
        page += "<a href=\"p" + std::to_string(i) + ".htm\">";
    site.Page("index.htm", page);
    for (int i = 0; i < 3000; ++i)
        site.Page("p" + std::to_string(i) + ".htm", "");
    site.Host.CancelWhen = [&](const std::string&, int calls) { return calls == 3; };
    EXPECT_THROW(site.Discover(), EAbort);
    EXPECT_LT(site.Host.Progress(), 100); // it stopped in the middle of the page
}

TEST(Links, ErrorsEndTheWalk) {
    {
        TSite site;
        try {
            site.Discover("missing.htm");
            ADD_FAILURE() << "no error";
        } catch (const EFOpenError& e) {
            EXPECT_NE(std::string(e.what()).find(site.Root() + "missing.htm"), std::string::npos);
        }
    }
    {
        TSite site("*.(htm", "");
        site.Page("index.htm", "<p>no references: the list is never compiled</p>");
        EXPECT_NO_THROW(site.Discover());
        site.Page("index.htm", "<a href=x.htm>");
        EXPECT_THROW(site.Discover(), ERegExprError);
    }
}

// An empty list includes every file, or excludes none, as the options dialog promises.
TEST(Links, EmptyMaskListsIncludeAllAndExcludeNone) {
    const struct {
        const char* Include;
        const char* Exclude;
        std::vector<std::string> Found;
    } cases[] = {
        {"", "", {"index.htm", "a.gif", "b.bak", "c.htm"}},
        {"", "*.bak", {"index.htm", "a.gif", "c.htm"}},
        {"*.gif", "", {"index.htm", "a.gif"}},
    };
    for (const auto& c : cases) {
        TSite site(c.Include, c.Exclude);
        site.Page("index.htm", "<img src=a.gif><a href=b.bak><a href=c.htm>");
        for (const char* name : {"a.gif", "b.bak", "c.htm"})
            site.Page(name, "");
        EXPECT_EQ(site.Discover(), c.Found) << "[" << c.Include << "] [" << c.Exclude << "]";
    }
}

// The page scan as first written, one byte at a time: what the host is shown ("Bar:N",
// "Poll" for a look at messages) and the references of the tags, in order.
struct TByteScan {
    std::vector<std::string> Events{"Bar:0", "Poll"}; // shown before the scan starts
    std::vector<std::string> References;
};

TByteScan ScanByteByByte(const std::string& page) {
    TByteScan scan;
    const uint64_t size = page.size();
    const auto after = [size](uint64_t percent) { return ((percent + 1) * size + 99) / 100; };
    uint64_t change = size == 0 ? UINT64_MAX : after(0);
    uint64_t poll = 0;
    const auto update = [&](uint64_t read) {
        if (read >= change) {
            scan.Events.push_back("Bar:" + std::to_string(read * 100 / size));
            change = after(read * 100 / size);
        }
        if (read >= poll) {
            poll = read + 4096;
            scan.Events.push_back("Poll");
        }
    };
    std::string tag;
    bool inTag = false;
    uint64_t read = 0;
    for (const char c : page) {
        update(read++);
        if (!inTag) {
            inTag = c == '<';
            tag.clear();
        } else if (c != '>') {
            tag += c;
        } else {
            inTag = false;
            update(read);
            scan.References.push_back(FindReference(tag));
        }
    }
    if (inTag) {
        update(read);
        scan.References.push_back(FindReference(tag));
    }
    return scan;
}

// Pages of tags, stray brackets, long runs of text and tags cut by the end of the page.
std::string GeneratedPage(size_t size, uint32_t seed) {
    static const std::vector<std::string> pieces = {"<a href=\"f1.htm\">",
                                                    "<img src=f2.htm alt=x>",
                                                    "<a href=f3.htm",
                                                    "<",
                                                    ">",
                                                    "<<",
                                                    "text ",
                                                    "\n",
                                                    std::string(5000, 'y'),
                                                    "href=\"f4.htm\" ",
                                                    "<p>",
                                                    "<body background=f5.htm>",
                                                    "<a href=\"f6.htm#x\">",
                                                    "<A HREF=\"f7.htm\"\r\n>"};
    std::string page;
    uint32_t state = seed;
    while (page.size() < size) {
        state = state * 1103515245u + 12345u;
        page += pieces[(state >> 16) % pieces.size()];
    }
    page.resize(size);
    return page;
}

TEST(Links, TheScanShowsAndFindsWhatAByteByByteScanDoes) {
    const std::set<std::string> files = {"f1.htm", "f2.htm", "f3.htm", "f4.htm",
                                         "f5.htm", "f6.htm", "f7.htm"};
    const size_t sizes[] = {0, 1, 2, 99, 100, 101, 4095, 4096, 4097, 30000, (1u << 20) + 777};
    for (const size_t size : sizes) {
        for (uint32_t seed = 1; seed <= (size > 100000 ? 1u : 4u); ++seed) {
            TSite site;
            const std::string page = GeneratedPage(size, seed);
            site.Page("index.htm", page);
            for (const std::string& name : files)
                site.Page(name, "");
            TFileList list;
            TProgress progress(site.Host.Seam());
            TLinkParser(progress, site.Include, site.Exclude)
                .ParseLinks(site.Root() + "index.htm", list);
            // The bar starts at 0 when the page is shown, then moves as the bytes go by.
            const std::vector<std::string> shown = site.Host.Of("Bar:");
            TByteScan expected = ScanByteByByte(page);
            std::erase(expected.Events, "Poll");
            for (std::string& e : expected.Events)
                e.erase(0, 4);
            std::vector<std::string> found;
            for (const std::string& r : expected.References)
                if (files.count(r) != 0 &&
                    std::find(found.begin(), found.end(), site.Root() + r) == found.end())
                    found.push_back(site.Root() + r);
            EXPECT_EQ(shown, expected.Events) << "size " << size << ", seed " << seed;
            EXPECT_EQ(list.Items(), found) << "size " << size << ", seed " << seed;
        }
    }
}

// Pages read ahead on workers: the calling thread shows, finds and reports exactly what it
// shows, finds and reports alone, and an error or Cancel ends the walk the same way.
TEST(Links, WorkersChangeNothingTheCallerSees) {
    struct TRecorder : TLinkObserver {
        std::vector<std::string> Seen;
        void OnReference(const TReferenceEvent& e) override {
            Seen.push_back(e.Page + ":" + std::to_string(e.Line) + ":" + e.Written + ":" +
                           std::to_string(static_cast<int>(e.Outcome)) + ":" +
                           std::to_string(e.Files.size()));
        }
    };
    const auto run = [](int jobs, bool observe, const std::string& home, int cancelAt) {
        TSite site;
        TRecorder recorder;
        site.Jobs = jobs;
        site.Observer = observe ? &recorder : nullptr;
        // Repeated references to a missing file, an excluded one and a letter-case variant
        // give every time the answer the first one got.
        std::string index = "<a href=\"Case.HTM\">\n<a href=gone.htm><a href=x.bak>";
        for (int i = 0; i < 40; ++i)
            index += "<a href=\"p" + std::to_string(i) + ".htm\">\n<img src=gone.htm>";
        site.Page("index.htm", index);
        site.Page("case.htm", "<a href=x.bak><a href=\"CASE.htm\"><a href=index.htm>");
        site.Page("x.bak", "");
        for (int i = 0; i < 40; ++i)
            site.Page("p" + std::to_string(i) + ".htm",
                      GeneratedPage(static_cast<size_t>(i) * 3001, static_cast<uint32_t>(i)) +
                          "<a href=\"p" + std::to_string((i * 7 + 1) % 40) + ".htm\">");
        for (int i = 1; i <= 7; ++i)
            site.Page("f" + std::to_string(i) + ".htm", "<a href=case.htm><a href=gone.htm>");
        site.Host.CancelWhen = [&](const std::string&, int calls) {
            site.Host.Events.push_back("Poll");
            return calls == cancelAt;
        };
        std::vector<std::string> result;
        try {
            result = site.Discover(home);
        } catch (const std::exception& e) {
            result = {std::string("error: ") + e.what()};
        }
        result.insert(result.end(), site.Host.Events.begin(), site.Host.Events.end());
        result.insert(result.end(), recorder.Seen.begin(), recorder.Seen.end());
        for (std::string& line : result)
            for (size_t at; (at = line.find(site.Root())) != std::string::npos;)
                line.erase(at, site.Root().size());
        return result;
    };
    for (const bool observe : {false, true})
        for (const auto& [home, cancelAt] : std::vector<std::pair<std::string, int>>{
                 {"index.htm", 0}, {"index.htm", 150}, {"missing.htm", 0}}) {
            SCOPED_TRACE(home + ", cancel at " + std::to_string(cancelAt) +
                         (observe ? ", observed" : ""));
            const std::vector<std::string> alone = run(1, observe, home, cancelAt);
            EXPECT_GT(alone.size(), home == "index.htm" ? 100u : 0u);
            EXPECT_EQ(run(3, observe, home, cancelAt), alone);
            if (!observe || cancelAt != 0 || home != "index.htm")
                continue;
            const std::map<std::string, std::pair<std::string, size_t>> outcomes = {
                {":gone.htm:", {":7:0", 48}}, // missing
                {":x.bak:", {":5:0", 2}},     // excluded
                {":Case.HTM:", {":1:1", 1}},  // taken by letter case
                {":CASE.htm:", {":2:1", 1}},  // already listed by letter case
            };
            for (const auto& entry : outcomes) {
                const std::string& written = entry.first;
                const std::string& ending = entry.second.first;
                const size_t expected = entry.second.second;
                const size_t count =
                    std::count_if(alone.begin(), alone.end(), [&](const std::string& line) {
                        return line.find(written) != std::string::npos &&
                               line.compare(line.size() - ending.size(), ending.size(), ending) ==
                                   0;
                    });
                EXPECT_EQ(count, expected) << written;
            }
        }
}

// The masks judge every reference as it is written: a listed path answers for them only
// when it was listed because they accepted it, which the home page never was.
TEST(Links, AListedPathAnswersForTheMasksOnlyWhenTheyTookIt) {
    struct TRecorder : TLinkObserver {
        std::vector<std::string> Seen;
        void OnReference(const TReferenceEvent& e) override {
            Seen.push_back(e.Written + ":" + std::to_string(static_cast<int>(e.Outcome)));
        }
    } recorder;
    TSite site("*.gif", "");
    site.Observer = &recorder;
    site.Page("index.htm", "<a href=index.htm><img src=a.gif><a href=index.htm><img src=a.gif>");
    site.Page("a.gif", "GIF");
    EXPECT_EQ(site.Discover(), (std::vector<std::string>{"index.htm", "a.gif"}));
    EXPECT_EQ(recorder.Seen,
              (std::vector<std::string>{"index.htm:4", "a.gif:0", "index.htm:4", "a.gif:2"}));
}

} // namespace
