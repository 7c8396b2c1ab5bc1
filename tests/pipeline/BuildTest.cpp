#include "BuildFixture.h"

#include "platform/USafeFile.h"

#include <algorithm>
#include <sys/stat.h>

using namespace vlm;
using vlm::test::ListNames;
using vlm::test::ReadFile;
using vlm::test::WriteFile;

namespace {

using Names = std::vector<std::string>;

class BuildOutput : public vlm::test::TBuildFixture {
protected:
    // The settings member as written, and the lines it is expected to have: the
    // project's, with the home page made relative, the roots appended and the password
    // and warning removed when they are switched off.
    std::string SettingsOf(const std::string& file) {
        TArchiveReader reader(file);
        const auto& members = reader.Members();
        const auto it = std::find_if(members.begin(), members.end(), [&](const auto& m) {
            return m.Name == Temp + "VLM.settings";
        });
        EXPECT_NE(it, members.end());
        return it == members.end() ? std::string()
                                   : reader.ReadMemberText(it - members.begin(), "Qm42Tx7150");
    }
    std::string ExpectedSettings(bool keepPassword, bool keepWarning) {
        std::string text;
        for (const std::string& line : Project->Lines()) {
            if (line.rfind("HomePage=", 0) == 0)
                text += "HomePage=index.htm\r\n";
            else if ((line.rfind("Password=", 0) == 0 && !keepPassword) ||
                     (line.rfind("WarningMessage=", 0) == 0 && !keepWarning))
                continue;
            else
                text += line + "\r\n";
        }
        return text + "HomeRoot=" + Site + "\r\nLanguageFilesRoot=" + Program + "Languages/\r\n";
    }
};

// The writer walks each folder once, for all the lines that name it, in the order of the
// folders' first lines and each folder's entries in the order the file system gives:
// members are compared as folders in order, each with its names.
using Groups = std::vector<std::pair<std::string, Names>>;

Groups ByFolder(const Names& names) {
    Groups groups;
    for (const std::string& name : names) {
        const std::string folder = name.substr(0, name.rfind('/') + 1);
        if (groups.empty() || groups.back().first != folder)
            groups.push_back({folder, {}});
        groups.back().second.push_back(name.substr(folder.size()));
    }
    for (auto& group : groups)
        std::sort(group.second.begin(), group.second.end());
    return groups;
}

const Groups ExampleParsed = {
    {"site/", {"frames.htm", "index.htm", "my page.htm", "page2.htm", "style.css"}},
    {"site/images/", {"logo.gif", "paper.gif"}},
    {"site/sub/", {"page3.htm"}},
    {"site/docs/", {"README.HTM"}},
    {"site/frames/", {"left.htm", "right.htm"}},
    {"tmp/", {"VLM.settings"}},
    {"prog/Languages/", {"French.lng", "German.lng"}},
};

// Mask mode walks the whole site at once.
const Names ExampleFiles = {
    "site/docs/README.HTM",  "site/docs/hidden-from-parsing.htm",
    "site/frames.htm",       "site/frames/left.htm",
    "site/frames/right.htm", "site/images/logo.gif",
    "site/images/paper.gif", "site/index.htm",
    "site/my page.htm",      "site/page2.htm",
    "site/style.css",        "site/sub/page3.htm",
    "site/unused.htm",
};

const Names Languages = {"prog/Languages/French.lng", "prog/Languages/German.lng"};

Names Sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(BuildOutput, TheExampleInBothModesAndBothFormats) {
    CopyExampleSite();
    for (const bool parsing : {true, false}) {
        for (const char* name : {"example.vlm", "example.exe"}) {
            SCOPED_TRACE(std::string(name) + (parsing ? " parsed" : " by masks"));
            Project->SetFlag("ParsingEnabled", parsing);
            Output(name);
            Build();
            const std::string output = Out + name;
            const Names names = MemberNames(output);
            if (parsing) {
                EXPECT_EQ(ByFolder(names), ExampleParsed);
            } else {
                ASSERT_EQ(names.size(), ExampleFiles.size() + 3);
                EXPECT_EQ(Sorted(Names(names.begin(), names.begin() + 13)), ExampleFiles);
                EXPECT_EQ(names[13], "tmp/VLM.settings");
                EXPECT_EQ(Sorted(Names(names.begin() + 14, names.end())), Languages);
            }

            TArchiveReader reader(output);
            EXPECT_EQ(reader.Comment(), Temp + "VLM.settings");
            const auto& members = reader.Members();
            for (size_t i = 0; i < members.size(); ++i) {
                if (Shorten(members[i].Name).rfind("site/", 0) == 0) {
                    EXPECT_EQ(reader.ReadMemberText(i, "Qm42Tx7150"), ReadFile(members[i].Name))
                        << members[i].Name;
                }
            }
            EXPECT_EQ(reader.IsExecutable(), name == std::string("example.exe"));
            EXPECT_EQ(ListNames(Temp), Names{}); // settings member and archive are gone
            EXPECT_EQ(ListNames(Out), Names{name});
            DeleteFile(output);
        }
    }
}

TEST_F(BuildOutput, TheExecutableIsViewerArchiveAndTrailer) {
    CopyExampleSite();
    Output("site.exe");
    Build();
    const std::string bytes = ReadFile(Out + "site.exe");
    ASSERT_GT(bytes.size(), ViewerBytes.size() + 8);
    EXPECT_EQ(bytes.substr(0, ViewerBytes.size()), ViewerBytes);
    std::string trailer(8, '\0');
    for (int i = 0; i < 8; ++i)
        trailer[i] = static_cast<char>((ViewerBytes.size() >> (8 * i)) & 0xFF);
    EXPECT_EQ(bytes.substr(bytes.size() - 8), trailer);
    TArchiveReader reader(Out + "site.exe");
    EXPECT_EQ(reader.ArchiveOffset(), ViewerBytes.size());
    EXPECT_EQ(reader.ArchiveSize(), bytes.size() - ViewerBytes.size() - 8);
}

// An executable output can be started whatever file it replaced; an archive keeps the
// mode of the file it replaced.
TEST_F(BuildOutput, TheOutputsMode) {
    CopyExampleSite();
    const mode_t umask = static_cast<mode_t>(ProcessUmask());
    const struct {
        const char* Name;
        mode_t Old; // 0: no file before
        mode_t Mode;
    } cases[] = {
        {"site.exe", 0, 0777 & ~umask},     {"site.exe", 0600, 0777 & ~umask},
        {"site.exe", 04711, 0777 & ~umask}, {"site.vlm", 0, 0666 & ~umask},
        {"site.vlm", 0754, 0754},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " over " + std::to_string(c.Old));
        Output(c.Name);
        if (c.Old != 0) {
            WriteFile(Out + c.Name, "old");
            ASSERT_EQ(::chmod((Out + c.Name).c_str(), c.Old), 0);
        }
        Build();
        struct stat st {};
        ASSERT_EQ(::stat((Out + c.Name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.Mode);
        DeleteFile(Out + c.Name);
    }
}

TEST_F(BuildOutput, TheSettingsMember) {
    CopyExampleSite();
    const struct {
        const char* PasswordEnabled; // nullptr: no such line
        const char* WarningEnabled;
        bool KeepPassword;
        bool KeepWarning;
    } cases[] = {
        {"0", "0", false, false},
        {"1", "0", true, false},
        {nullptr, "1", true, true}, // an absent flag reads true
        {"yes", nullptr, true, true},
    };
    for (const auto& c : cases) {
        Project = std::make_unique<TProject>();
        Project->SetValue("HomePage", Site + "index.htm");
        Project->SetValue("Password", "open sesame");
        Project->SetValue("WarningMessage", "Mind the gap");
        Project->SetValue("PasswordEnabled", c.PasswordEnabled ? c.PasswordEnabled : "");
        Project->SetValue("WarningMessageEnabled", c.WarningEnabled ? c.WarningEnabled : "");
        Output("s.vlm");
        Build();
        EXPECT_EQ(SettingsOf(Out + "s.vlm"), ExpectedSettings(c.KeepPassword, c.KeepWarning))
            << (c.PasswordEnabled ? c.PasswordEnabled : "absent") << "/"
            << (c.WarningEnabled ? c.WarningEnabled : "absent");
        DeleteFile(Out + "s.vlm");
    }
}

TEST_F(BuildOutput, LanguageFiles) {
    CopyExampleSite();
    const struct {
        const char* Language;
        const char* Menu;
        const char* Stored; // Language in the project afterwards
        Names Members;
    } cases[] = {
        {"German", "0", "German", {"prog/Languages/German.lng"}},
        {"German", "1", "German", Languages},
        {"Klingon", "0", "Default", {}},
        {"Default", "0", "Default", {}},
        {"default", "0", "Default", {}}, // no such file: the fallback spells it "Default"
    };
    for (const auto& c : cases) {
        Project->SetValue("Language", c.Language);
        Project->SetValue("ShowLanguageMenu", c.Menu);
        Output("l.vlm");
        Build();
        Names names = MemberNames(Out + "l.vlm");
        names.erase(names.begin(), std::find(names.begin(), names.end(), "tmp/VLM.settings") + 1);
        EXPECT_EQ(Sorted(names), c.Members) << c.Language << " menu " << c.Menu;
        EXPECT_EQ(Project->Value("Language"), c.Stored);
        EXPECT_NE(SettingsOf(Out + "l.vlm").find(std::string("\r\nLanguage=") + c.Stored + "\r\n"),
                  std::string::npos);
        DeleteFile(Out + "l.vlm");
    }
}

TEST_F(BuildOutput, MaskModeLists) {
    CopyExampleSite();
    Project->SetFlag("ParsingEnabled", false);
    Project->SetValue("ShowLanguageMenu", "0");
    const struct {
        const char* Include;
        const char* Exclude;
        Names Members; // besides the settings member
    } cases[] = {
        {"",
         "",
         {"site/docs/README.HTM", "site/docs/hidden-from-parsing.htm", "site/draft.tmp",
          "site/frames.htm", "site/frames/left.htm", "site/frames/right.htm",
          "site/images/logo.gif", "site/images/paper.gif", "site/index.htm", "site/my page.htm",
          "site/notes.bak", "site/page2.htm", "site/style.css", "site/sub/page3.htm",
          "site/unused.htm"}},
        {"*.gif", "", {"site/images/logo.gif", "site/images/paper.gif", "site/index.htm"}},
        {"images/*.gif;*.css",
         "logo.*",
         {"site/images/paper.gif", "site/index.htm", "site/style.css"}},
        {"\"my page.htm\"", "", {"site/index.htm", "site/my page.htm"}},
        // Empty items (a comma too many) are ignored; "\\" separates folders as "/" does.
        {"*.gif,", "", {"site/images/logo.gif", "site/images/paper.gif", "site/index.htm"}},
        {",",
         "*.tmp,*.bak,;images\\*.gif",
         {"site/docs/README.HTM", "site/docs/hidden-from-parsing.htm", "site/frames.htm",
          "site/frames/left.htm", "site/frames/right.htm", "site/index.htm", "site/my page.htm",
          "site/page2.htm", "site/style.css", "site/sub/page3.htm", "site/unused.htm"}},
        {"images\\*.gif", "", {"site/images/logo.gif", "site/images/paper.gif", "site/index.htm"}},
    };
    for (const auto& c : cases) {
        Project->SetValue("MaskInclude", c.Include);
        Project->SetValue("MaskExclude", c.Exclude);
        Output("m.vlm");
        Build();
        Names expected = c.Members;
        expected.push_back("tmp/VLM.settings");
        EXPECT_EQ(Sorted(MemberNames(Out + "m.vlm")), Sorted(expected))
            << "[" << c.Include << "] [" << c.Exclude << "]";
        DeleteFile(Out + "m.vlm");
    }
}

TEST_F(BuildOutput, ParseModeTakesTheHomePageWhateverTheMasksSay) {
    CopyExampleSite();
    Project->SetValue("MaskInclude", "*.gif");
    Project->SetValue("ShowLanguageMenu", "0");
    Output("p.vlm");
    Build();
    EXPECT_EQ(ByFolder(MemberNames(Out + "p.vlm")),
              (Groups{{"site/", {"index.htm"}},
                      {"site/images/", {"logo.gif", "paper.gif"}},
                      {"tmp/", {"VLM.settings"}}}));
}

TEST_F(BuildOutput, ParseModeEmptyMaskListsIncludeEverythingAndExcludeNothing) {
    CopyExampleSite();
    Project->SetValue("ShowLanguageMenu", "0");
    // The example links a draft and a backup that the default masks leave out.
    Groups all(ExampleParsed.begin(), ExampleParsed.end() - 1); // no language files
    all[0].second = {"draft.tmp", "frames.htm", "index.htm", "my page.htm",
                     "notes.bak", "page2.htm",  "style.css"};
    const struct {
        const char* Include;
        const char* Exclude;
        Groups Members;
    } cases[] = {
        {"", "", all},
        {"",
         "*.gif;*.css",
         {{"site/",
           {"draft.tmp", "frames.htm", "index.htm", "my page.htm", "notes.bak", "page2.htm"}},
          {"site/sub/", {"page3.htm"}},
          {"site/docs/", {"README.HTM"}},
          {"site/frames/", {"left.htm", "right.htm"}},
          {"tmp/", {"VLM.settings"}}}},
        {"*.gif",
         "",
         {{"site/", {"index.htm"}},
          {"site/images/", {"logo.gif", "paper.gif"}},
          {"tmp/", {"VLM.settings"}}}},
        // A comma too many adds no mask that takes or leaves out every file.
        {"*.gif,",
         "",
         {{"site/", {"index.htm"}},
          {"site/images/", {"logo.gif", "paper.gif"}},
          {"tmp/", {"VLM.settings"}}}},
        {",", "*.tmp,*.bak,", Groups(ExampleParsed.begin(), ExampleParsed.end() - 1)},
        // "\\" separates folders as "/" does.
        {"",
         "images\\*.*,*.tmp;*.bak",
         {{"site/", {"frames.htm", "index.htm", "my page.htm", "page2.htm", "style.css"}},
          {"site/sub/", {"page3.htm"}},
          {"site/docs/", {"README.HTM"}},
          {"site/frames/", {"left.htm", "right.htm"}},
          {"tmp/", {"VLM.settings"}}}},
    };
    for (const auto& c : cases) {
        Project->SetValue("MaskInclude", c.Include);
        Project->SetValue("MaskExclude", c.Exclude);
        Output("e.vlm");
        ASSERT_NO_THROW(Build()) << "[" << c.Include << "] [" << c.Exclude << "]";
        EXPECT_EQ(ByFolder(MemberNames(Out + "e.vlm")), c.Members)
            << "[" << c.Include << "] [" << c.Exclude << "]";
        DeleteFile(Out + "e.vlm");
    }
}

// References may lead anywhere on the machine; what came from outside the home page's
// folder is listed after the build (the settings member and language files are ours).
TEST_F(BuildOutput, FilesFromOutsideTheSiteAreListed) {
    const std::string secret = Dir / "secret/";
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.gif"})
        WriteFile(secret + name, name);
    WriteFile(Site + "inside.gif", "GIF");
    WriteFile(Site + "sub/page.htm", "<img src=\"../inside.gif\"><a href=\"../../secret/a.txt\">");
    WriteFile(Site + "index.htm", "<a href=\"sub/page.htm\"><a href=\"" + secret +
                                      "b.txt\"><img src=\"file://" + secret +
                                      "c.txt\"><body background=\"sub/../../secret/d.gif\">");
    Project->SetValue("ShowLanguageMenu", "1");
    const struct {
        bool Parsing;
        const char* MaskInclude;
        std::vector<std::string> Outside;
    } cases[] = {
        {true, "", {secret + "a.txt", secret + "b.txt", secret + "c.txt", secret + "d.gif"}},
        {true, "*.htm;*.gif", {secret + "d.gif"}},
        {false, "", {}},
        {false, "*.gif;../secret/*.txt", {secret + "a.txt", secret + "b.txt", secret + "c.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Parsing ? "parse " : "mask ") + c.MaskInclude);
        Project->SetFlag("ParsingEnabled", c.Parsing);
        Project->SetValue("MaskInclude", c.MaskInclude);
        Project->SetValue("MaskExclude", "");
        Output("o.vlm");
        Build();
        // A folder's entries come in the file system's order.
        EXPECT_EQ(Sorted(Builder.OutsideFiles().Files), c.Outside);
        EXPECT_EQ(Builder.OutsideFiles().Folder, Site);
        const std::string warning = Builder.OutsideFiles().Warning();
        if (c.Outside.empty()) {
            EXPECT_EQ(warning, "");
        } else {
            EXPECT_EQ(warning.find(std::to_string(c.Outside.size()) +
                                   (c.Outside.size() == 1 ? " file was" : " files were") +
                                   " taken from outside the home page's folder \"" + Site +
                                   "\": \"" + Builder.OutsideFiles().Files[0] + "\""),
                      0u)
                << warning;
            EXPECT_EQ(warning.find(" and 1 more") != std::string::npos, c.Outside.size() == 4)
                << warning;
        }
        DeleteFile(Out + "o.vlm");
    }
}

TEST_F(BuildOutput, AGeneratedSiteOfManyPages) {
    // Every page links to the next two and back home; each has an image.
    constexpr int Pages = 300;
    const auto page = [](int i) { return "p" + std::to_string(i) + ".htm"; };
    WriteFile(Site + "index.htm", "<a href=\"p0.htm\">");
    for (int i = 0; i < Pages; ++i) {
        std::string text = "<html><img src=\"img/i" + std::to_string(i) + ".gif\">";
        for (int next : {i + 1, i + 2})
            if (next < Pages)
                text += "<a href=\"" + page(next) + "\">next</a>";
        WriteFile(Site + page(i), text + "<a href=\"index.htm\">home</a></html>");
        WriteFile(Site + "img/i" + std::to_string(i) + ".gif", "GIF89a" + std::to_string(i));
    }
    WriteFile(Site + "unlinked.htm", "");
    Names expected{"site/index.htm", "tmp/VLM.settings"};
    for (int i = 0; i < Pages; ++i) {
        expected.push_back("site/" + page(i));
        expected.push_back("site/img/i" + std::to_string(i) + ".gif");
    }
    Project->SetValue("ShowLanguageMenu", "0");
    for (const bool parsing : {true, false}) {
        Project->SetFlag("ParsingEnabled", parsing);
        Output("big.exe");
        Build();
        Names all = expected;
        if (!parsing)
            all.push_back("site/unlinked.htm");
        EXPECT_EQ(Sorted(MemberNames(Out + "big.exe")), Sorted(all));
        DeleteFile(Out + "big.exe");
    }
}

} // namespace
