#include "platform/UErrors.h"
#include "platform/UFileStream.h"
#include "platform/UFileSys.h"
#include "platform/UTestHooks.h"
#include "project/UProject.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vlm;
using vlm::test::ReadFile;
using vlm::test::TTempDir;
using vlm::test::WriteFile;

namespace {

// The bytes of a new project made without a template.
const char* const DefaultProjectText = "OutputType=EXE\r\n"
                                       "WindowSize=DEFAULT\r\n"
                                       "WindowHeight=640\r\n"
                                       "WindowWidth=480\r\n"
                                       "WindowSizeable=1\r\n"
                                       "ShowTitleBar=1\r\n"
                                       "ShowMenuBar=1\r\n"
                                       "ShowToolBar=1\r\n"
                                       "ToolBarLargeIcons=1\r\n"
                                       "ToolBarCaptions=1\r\n"
                                       "ShowStatusBar=1\r\n"
                                       "Language=Default\r\n"
                                       "ShowLanguageMenu=1\r\n"
                                       "EnableCopy=1\r\n"
                                       "EnableSaveObject=1\r\n"
                                       "EnablePrint=1\r\n"
                                       "EnableFind=1\r\n"
                                       "EnableAdvancedFind=1\r\n"
                                       "PasswordEnabled=0\r\n"
                                       "WarningMessageEnabled=0\r\n"
                                       "ParsingEnabled=1\r\n"
                                       "MaskInclude=*.*\r\n"
                                       "MaskExclude=*.tmp,*.bak\r\n";

// Every test gets a program folder of its own, so no stray template is found.
class ProjectTest : public ::testing::Test {
protected:
    void SetUp() override { SetProgramFolder(ProgramDir.Path()); }
    void TearDown() override { SetProgramFolder(""); }

    std::string WriteProject(const std::string& name, const std::string& bytes) {
        WriteFile(Dir / name, bytes);
        return Dir / name;
    }

    TTempDir ProgramDir;
    TTempDir Dir;
};

TEST(FlagText, OnlyTheExactTextZeroReadsFalse) {
    const struct {
        const char* Text;
        bool Expected;
    } cases[] = {{"0", false}, {"1", true},     {"2", true},  {"00", true}, {" 0", true},
                 {"0 ", true}, {"false", true}, {"no", true}, {"", true}};
    for (const auto& c : cases)
        EXPECT_EQ(TextToFlag(c.Text), c.Expected) << "text '" << c.Text << "'";
    EXPECT_EQ(FlagToText(true), "1");
    EXPECT_EQ(FlagToText(false), "0");
    EXPECT_FALSE(TextToFlag(FlagToText(false)));
    EXPECT_TRUE(TextToFlag(FlagToText(true)));
}

TEST_F(ProjectTest, NewProjectWithoutTemplateHasTheDefaultLinesInTableOrder) {
    TProject project;
    EXPECT_EQ(project.Text(), DefaultProjectText);
    EXPECT_EQ(project.Count(), 23);
    EXPECT_TRUE(project.IsNew());
    EXPECT_FALSE(project.IsModified());
    EXPECT_FALSE(project.HasHomePage());
    for (const char* absent :
         {entry::HomePage, entry::OutputFile, entry::Password, entry::WarningMessage,
          entry::AdvancedFindTarget, entry::HomeRoot, entry::LanguageFilesRoot})
        EXPECT_EQ(project.IndexOfName(absent), -1) << absent;
}

TEST_F(ProjectTest, TemplateLinesAreTakenExactlyWithoutAddingMissingDefaults) {
    WriteFile(ProgramDir / "Default.vlp", "OutputType=VLM\r\nfoo\r\nmaskinclude=*.htm\n");
    TProject project;
    EXPECT_EQ(project.Text(), "OutputType=VLM\r\nfoo\r\nmaskinclude=*.htm\r\n");
    EXPECT_EQ(project.IndexOfName(entry::ShowTitleBar), -1);
    EXPECT_TRUE(project.Flag(entry::ShowTitleBar)); // absent reads true
    EXPECT_EQ(project.Value(entry::MaskInclude), "*.htm");
    EXPECT_TRUE(project.IsNew());
    EXPECT_FALSE(project.IsModified());
}

TEST_F(ProjectTest, AFolderNamedLikeTheTemplateIsNoTemplate) {
    ASSERT_EQ(::mkdir((ProgramDir / "Default.vlp").c_str(), 0777), 0);
    TProject project;
    EXPECT_EQ(project.Count(), 23);
}

TEST_F(ProjectTest, UntitledCounterNumbersEveryProjectMadeWithoutAFile) {
    const test_hooks::TUntitledCounter counter(0);
    TProject first;
    EXPECT_EQ(first.FileName(), "Untitled1");
    first.SetFileName(Dir / "saved.vlp");
    first.Save();
    TProject second;
    EXPECT_EQ(second.FileName(), "Untitled2");
    TProject third("");
    EXPECT_EQ(third.FileName(), "Untitled3");
    EXPECT_TRUE(third.IsNew());
}

TEST_F(ProjectTest, LoadingSplitsAtEveryKindOfLineEndAndStopsAtNul) {
    const struct {
        const char* Name;
        std::string Bytes;
        std::vector<std::string> Lines;
    } cases[] = {
        {"CR LF", "a=1\r\nb=2\r\n", {"a=1", "b=2"}},
        {"LF", "a=1\nb=2\n", {"a=1", "b=2"}},
        {"CR", "a=1\rb=2\r", {"a=1", "b=2"}},
        {"no final line end", "a=1\r\nb=2", {"a=1", "b=2"}},
        {"CR CR makes an empty line", "a=1\r\rb=2", {"a=1", "", "b=2"}},
        {"LF CR makes an empty line", "a=1\n\rb=2", {"a=1", "", "b=2"}},
        {"blank lines", "\r\n\r\na=1\r\n", {"", "", "a=1"}},
        {"empty file", "", {}},
        {"NUL ends the text", std::string("a=1\r\nb=2\0c=3\r\n", 15), {"a=1", "b=2"}},
        {"NUL at start", std::string("\0a=1", 4), {}},
    };
    for (const auto& c : cases) {
        TProject project(WriteProject("p.vlp", c.Bytes));
        EXPECT_EQ(project.Lines(), c.Lines) << c.Name;
        EXPECT_FALSE(project.IsNew()) << c.Name;
        EXPECT_FALSE(project.IsModified()) << c.Name;
    }
}

TEST_F(ProjectTest, EntriesFollowTheFirstMatchAndKeepEverythingElse) {
    TProject project(WriteProject("p.vlp", "junk line\n"
                                           "homepage=/site/a.htm\n"
                                           "HomePage=/site/b.htm\n"
                                           "Unknown=x\n"
                                           "Title =spaced\n"
                                           "Mask=a=b=c\n"
                                           "\n"));
    EXPECT_EQ(project.Value("HOMEPAGE"), "/site/a.htm");
    EXPECT_EQ(project.Value("Title"), "");
    EXPECT_EQ(project.Value("Title "), "spaced");
    EXPECT_EQ(project.Value("Mask"), "a=b=c");
    EXPECT_EQ(project.Value("junk line"), "");
    EXPECT_TRUE(project.HasHomePage());

    project.SetValue(entry::HomePage, "/site/c.htm");
    EXPECT_EQ(project.Lines(),
              (std::vector<std::string>{"junk line", "HomePage=/site/c.htm", "HomePage=/site/b.htm",
                                        "Unknown=x", "Title =spaced", "Mask=a=b=c", ""}));
    project.SetValue(entry::OutputFile, "/out/x.exe");
    EXPECT_EQ(project.Lines().back(), "OutputFile=/out/x.exe");

    project.SetValue(entry::HomePage, "");
    EXPECT_EQ(project.Value(entry::HomePage), "/site/b.htm"); // the duplicate is now first
    project.SetValue(entry::HomePage, "");
    EXPECT_FALSE(project.HasHomePage());
    project.SetValue("NotThere", ""); // deleting an absent entry does nothing
    EXPECT_EQ(project.Text(), "junk line\r\nUnknown=x\r\nTitle =spaced\r\nMask=a=b=c\r\n\r\n"
                              "OutputFile=/out/x.exe\r\n");
}

TEST_F(ProjectTest, HomePageIsAppendedReplacedInPlaceAndRemoved) {
    TProject project;
    project.SetValue(entry::HomePage, "/site/index.htm");
    EXPECT_EQ(project.Lines().back(), "HomePage=/site/index.htm");
    EXPECT_EQ(project.Lines()[22], "MaskExclude=*.tmp,*.bak");
    EXPECT_TRUE(project.HasHomePage());
    project.SetValue(entry::HomePage, "/site/other.htm");
    EXPECT_EQ(project.Count(), 24);
    EXPECT_EQ(project.Lines()[23], "HomePage=/site/other.htm");
    project.SetValue(entry::HomePage, "");
    EXPECT_EQ(project.Count(), 23);
    EXPECT_FALSE(project.HasHomePage());
}

TEST_F(ProjectTest, ListenerCallsPerOperation) {
    const struct {
        const char* Name;
        std::function<void(TProject&)> Operation;
        int Calls;
    } cases[] = {
        {"new entry: append then replace", [](TProject& p) { p.SetValue("Extra", "1"); }, 2},
        {"replace existing", [](TProject& p) { p.SetValue(entry::OutputType, "VLM"); }, 1},
        {"replace with same value", [](TProject& p) { p.SetValue(entry::OutputType, "EXE"); }, 1},
        {"delete existing", [](TProject& p) { p.SetValue(entry::OutputType, ""); }, 1},
        {"delete absent", [](TProject& p) { p.SetValue("Absent", ""); }, 0},
        {"read", [](TProject& p) { (void)p.Value(entry::OutputType); }, 0},
    };
    for (const auto& c : cases) {
        TProject project;
        int calls = 0;
        bool modifiedSeen = true;
        project.OnChange = [&](TProject& p) {
            if (calls++ == 0)
                modifiedSeen = p.IsModified();
        };
        c.Operation(project);
        EXPECT_EQ(calls, c.Calls) << c.Name;
        if (c.Calls > 0) {
            EXPECT_FALSE(modifiedSeen) << c.Name << ": listener runs before Modified is set";
            EXPECT_TRUE(project.IsModified()) << c.Name;
        } else {
            EXPECT_FALSE(project.IsModified()) << c.Name;
        }
    }
}

TEST_F(ProjectTest, ListenerSeesTheNewValueBeforeHasHomePageFollows) {
    TProject project;
    std::string seen;
    bool hasHomePageSeen = true;
    project.OnChange = [&](TProject& p) {
        seen = p.Value(entry::HomePage);
        hasHomePageSeen = p.HasHomePage();
    };
    project.SetValue(entry::HomePage, "/a.htm");
    EXPECT_EQ(seen, "/a.htm");
    EXPECT_FALSE(hasHomePageSeen);
    EXPECT_TRUE(project.HasHomePage());
}

TEST_F(ProjectTest, AListenerThatAbortsLeavesTheChangeMarked) {
    // A listener that ends the command (a declined question) must not hide the change from
    // the save question: the line is written and the project is Modified.
    const std::string path = WriteProject("p.vlp", "OutputType=EXE\r\n");
    TProject project(path);
    project.OnChange = [](TProject&) { throw EAbort(); };
    EXPECT_NO_THROW(project.SetValue(entry::HomePage, ""));
    EXPECT_FALSE(project.IsModified()) << "nothing was removed, nothing changed";
    EXPECT_THROW(project.SetValue(entry::OutputType, "VLM"), EAbort);
    EXPECT_EQ(project.Value(entry::OutputType), "VLM");
    EXPECT_TRUE(project.IsModified());
    project.OnChange = nullptr;
    TProject other(path);
    other.OnChange = [](TProject&) { throw EAbort(); };
    EXPECT_THROW(other.SetText("HomePage=/h.htm\r\n"), EAbort);
    EXPECT_TRUE(other.IsModified());
    EXPECT_TRUE(other.HasHomePage());
}

TEST_F(ProjectTest, LoadingTextIsOneBatchedChange) {
    TProject project;
    int calls = 0;
    project.OnChange = [&](TProject&) { ++calls; };
    project.SetText("a=1\r\nb=2\r\nc=3\r\n");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(project.Count(), 3);
}

TEST_F(ProjectTest, SaveWritesCrLfAndClearsTheState) {
    const std::string path = WriteProject("p.vlp", "b=2\nA=1\nb=3\n\nHomePage=/x.htm");
    TProject project(path);
    EXPECT_EQ(ReadFile(path), "b=2\nA=1\nb=3\n\nHomePage=/x.htm");
    project.Save();
    EXPECT_EQ(ReadFile(path), "b=2\r\nA=1\r\nb=3\r\n\r\nHomePage=/x.htm\r\n");
    EXPECT_FALSE(project.IsModified());

    project.SetValue("A", "1"); // the value it already has
    EXPECT_TRUE(project.IsModified());
    project.Save();
    EXPECT_FALSE(project.IsModified());

    TProject fresh;
    fresh.SetFileName(Dir / "new.vlp");
    fresh.SetValue(entry::HomePage, "/site/i.htm");
    fresh.Save();
    EXPECT_FALSE(fresh.IsNew());
    EXPECT_FALSE(fresh.IsModified());
    EXPECT_EQ(ReadFile(Dir / "new.vlp"),
              std::string(DefaultProjectText) + "HomePage=/site/i.htm\r\n");
    EXPECT_EQ(vlm::test::ListNames(Dir.Path()), (std::vector<std::string>{"new.vlp", "p.vlp"}));
}

TEST_F(ProjectTest, EmptyProjectSavesAsEmptyFile) {
    const std::string path = WriteProject("p.vlp", "a=1\n");
    TProject project(path);
    project.SetValue("a", "");
    project.Save();
    EXPECT_EQ(ReadFile(path), "");
}

TEST_F(ProjectTest, OpeningAMissingFileNamesItAndTheReason) {
    const std::string path = Dir / "missing.vlp";
    try {
        TProject project(path);
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"" + path + "\". No such file or directory");
    }
}

TEST_F(ProjectTest, FailedSavesKeepTheOldFileAndTheState) {
    WriteFile(Dir / "regular", "x");
    const struct {
        const char* Name;
        std::string FileName;
        std::string Message;
    } cases[] = {
        {"missing folder", Dir / "nofolder/p.vlp",
         "Cannot create file \"" + (Dir / "nofolder/p.vlp") + "\". No such file or directory"},
        {"path under a regular file", Dir / "regular/p.vlp",
         "Cannot create file \"" + (Dir / "regular/p.vlp") + "\". Not a directory"},
    };
    for (const auto& c : cases) {
        TProject project;
        project.SetFileName(c.FileName);
        project.SetValue("x", "1");
        try {
            project.Save();
            ADD_FAILURE() << c.Name << ": no error";
        } catch (const EFCreateError& e) {
            EXPECT_EQ(std::string(e.what()), c.Message) << c.Name;
        }
        EXPECT_TRUE(project.IsNew()) << c.Name;
        EXPECT_TRUE(project.IsModified()) << c.Name;
    }
}

TEST_F(ProjectTest, WriteFailureLeavesTheOldFileIntactAndNoTemporaryFile) {
    const std::string path = WriteProject("p.vlp", "Old=1\r\n");
    TProject project(path);
    project.SetValue("New", std::string(5000, 'x'));
    for (const int failAfter : {0, 100, 4000}) {
        try {
            const test_hooks::TFailWrites full(failAfter, ENOSPC);
            project.Save();
            ADD_FAILURE() << "no error after " << failAfter;
        } catch (const EWriteError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Stream write error: \"" + path + "\". No space left on device");
        }
        EXPECT_EQ(ReadFile(path), "Old=1\r\n");
        EXPECT_EQ(vlm::test::ListNames(Dir.Path()), std::vector<std::string>{"p.vlp"});
        EXPECT_TRUE(project.IsModified());
        EXPECT_FALSE(project.IsNew());
    }
    project.Save(); // the user can retry
    EXPECT_FALSE(project.IsModified());
    EXPECT_EQ(ReadFile(path), "Old=1\r\nNew=" + std::string(5000, 'x') + "\r\n");
}

TEST_F(ProjectTest, SaveKeepsPermissionsAndSavesThroughALink) {
    const std::string real = WriteProject("real.vlp", "a=1\r\n");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    const std::string link = Dir / "link.vlp";
    ASSERT_EQ(::symlink("real.vlp", link.c_str()), 0);

    TProject project(link);
    project.SetValue("a", "2");
    project.Save();

    struct stat st;
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFile(real), "a=2\r\n");
    EXPECT_EQ(vlm::test::ListNames(Dir.Path()), (std::vector<std::string>{"link.vlp", "real.vlp"}));
}

} // namespace
