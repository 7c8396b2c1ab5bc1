#include "BuildFixture.h"

#include "pipeline/UMasks.h"
#include "platform/UFileStream.h"

#include <algorithm>
#include <cerrno>

using namespace vlm;
using vlm::test::ListNames;
using vlm::test::ReadFile;
using vlm::test::WriteFile;

namespace {

using Names = std::vector<std::string>;
using Bars = std::vector<int>;

class BuildSequence : public vlm::test::TBuildFixture {
protected:
    void SetUp() override {
        TBuildFixture::SetUp();
        CopyExampleSite();
        Project->SetValue("ShowLanguageMenu", "0");
    }
    bool Saw(const std::string& event) const {
        return std::find(Host.Events.begin(), Host.Events.end(), event) != Host.Events.end();
    }
};

TEST_F(BuildSequence, StagesBarsAndCaptions) {
    Output("site.exe");
    Build();
    EXPECT_EQ(Host.Of("Stage:"), (Names{"Loading settings...", "Parsing files...",
                                        "Compressing files...", "Integrating..."}));
    EXPECT_EQ(Host.BarsIn("Loading settings..."), (Bars{0, 40, 90}));
    const Bars compressing = Host.BarsIn("Compressing files...");
    ASSERT_GE(compressing.size(), 4u);
    EXPECT_EQ(Bars(compressing.begin(), compressing.begin() + 3), (Bars{0, 5, 15}));
    EXPECT_EQ(compressing.back(), 100);
    EXPECT_EQ(Host.BarsIn("Integrating..."), (Bars{0, 10, 30, 80, 90, 100}));
    const Bars parsing = Host.BarsIn("Parsing files...");
    EXPECT_TRUE(std::all_of(parsing.begin(), parsing.end(), [](int b) { return b <= 100; }));
    EXPECT_EQ(Host.Of("SizeCaption:"), (Names{"Current file size", "Current file size",
                                              "Output file size", "Output file size"}));
    EXPECT_EQ(Host.Of("OutputFile:"), Names{Out + "site.exe"});
    EXPECT_EQ(Host.Events.front(), "ShowProgress");
    EXPECT_EQ(Names(Host.Events.end() - 3, Host.Events.end()),
              (Names{"EnableMainWindow", "Finished:modal", "CloseProgress"}));
    EXPECT_FALSE(Saw("AskOutputFile"));
    EXPECT_TRUE(Host.Of("AskReplace:").empty());
}

TEST_F(BuildSequence, MaskModeArchiveHasTwoStages) {
    Project->SetFlag("ParsingEnabled", false);
    Output("site.vlm");
    Build(true);
    EXPECT_EQ(Host.Of("Stage:"), (Names{"Loading settings...", "Compressing files..."}));
    EXPECT_EQ(Host.Of("Finished"), Names{""}); // under Run nobody waits for the button
}

TEST_F(BuildSequence, TheCurrentFileAndSizesDuringCompression) {
    Output("site.vlm");
    Build();
    const Names files = Host.Of("CurrentFile:");
    EXPECT_NE(std::find(files.begin(), files.end(), Site + "images/logo.gif"), files.end());
    const Names sizes = Host.Of("Size:");
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), "74  B"), sizes.end()); // style.css
}

TEST_F(BuildSequence, TheOutputFilePrompt) {
    const struct {
        const char* Answer; // nullptr: cancelled
        const char* Type;
    } cases[] = {{"site.EXE", "EXE"}, {"site.dat", "VLM"}, {"site", "VLM"}, {nullptr, nullptr}};
    for (const auto& c : cases) {
        Project = std::make_unique<TProject>();
        Project->SetValue("HomePage", Site + "index.htm");
        Project->SetValue("ShowLanguageMenu", "0");
        Host = {};
        if (c.Answer)
            Host.OutputFileAnswer = Out + c.Answer;
        const std::string before = Project->Text();
        if (!c.Answer) {
            EXPECT_THROW(Build(), EAbort);
            EXPECT_EQ(Host.Events, Names{"AskOutputFile"}); // before any window
            EXPECT_EQ(Project->Text(), before);
            continue;
        }
        Build();
        EXPECT_EQ(Project->Value("OutputFile"), Out + c.Answer);
        EXPECT_EQ(Project->Value("OutputType"), c.Type);
        EXPECT_TRUE(Project->IsModified());
        TArchiveReader reader(Out + c.Answer); // written exactly under the chosen name
        EXPECT_EQ(reader.IsExecutable(), std::string(c.Type) == "EXE");
        EXPECT_EQ(ListNames(Out), Names{c.Answer});
        DeleteFile(Out + c.Answer);
    }
}

TEST_F(BuildSequence, TheReplaceQuestion) {
    for (const bool yes : {true, false}) {
        Host = {};
        Host.ReplaceAnswer = yes;
        Output("site.exe");
        WriteFile(Out + "site.exe", "old");
        if (yes) {
            Build();
            EXPECT_NE(ReadFile(Out + "site.exe"), "old");
        } else {
            EXPECT_THROW(Build(), EAbort);
            EXPECT_EQ(ReadFile(Out + "site.exe"), "old");
            EXPECT_TRUE(Saw("SetCancelled"));
            EXPECT_FALSE(Saw("Finished:modal"));
            EXPECT_EQ(Host.Events.back(), "CloseProgress");
        }
        EXPECT_EQ(Host.Of("AskReplace:"),
                  Names{"The file \"site.exe\" already exists.\rDo you want to replace existing "
                        "file?"});
    }
}

TEST_F(BuildSequence, CancelAtEachStageEndsSilentlyWithoutOutput) {
    for (const char* name : {"site.exe", "site.vlm"}) {
        for (const char* stage : {"Loading settings...", "Parsing files...", "Compressing files...",
                                  "Integrating..."}) {
            for (const int call : {1, 3}) {
                const bool exe = std::string(name) == "site.exe";
                if (!exe && std::string(stage) == "Integrating...")
                    continue;
                SCOPED_TRACE(std::string(name) + " " + stage + " call " + std::to_string(call));
                Host = {};
                Host.CancelWhen = [&](const std::string& shown, int calls) {
                    return shown == stage && calls == call;
                };
                Output(name);
                EXPECT_THROW(Build(), EAbort);
                EXPECT_TRUE(Saw("Cancel"));
                EXPECT_FALSE(Saw("Finished:modal"));
                EXPECT_EQ(Host.Events.back(), "CloseProgress");
                EXPECT_EQ(ListNames(Out), Names{});
                EXPECT_EQ(ListNames(Temp), Names{});
            }
        }
    }
}

TEST_F(BuildSequence, ErrorsComeAfterTheFinishedWindowAndNameTheFile) {
    const struct {
        const char* What;
        std::function<void(vlm::test::TBuildFixture&)> Arrange;
        const char* Output;
        const char* Message; // expected in the error text, after the marks are replaced
    } cases[] = {
        {"no viewer program", [](auto& f) { DeleteFile(f.Program + "VLMView.exe"); }, "site.exe",
         "Cannot open file \"PROG/VLMView.exe\". No such file or directory"},
        {"an archive's folder under a file",
         [](auto& f) {
             WriteFile(f.Out + "file", "x");
             f.Output("file/sub/site.vlm");
         },
         nullptr, "Cannot write the archive \"OUT/file/sub/site.vlm\""},
        {"an executable's folder under a file",
         [](auto& f) {
             WriteFile(f.Out + "file", "x");
             f.Output("file/sub/site.exe");
         },
         nullptr, "Cannot create file \"OUT/file/sub/site.exe\". Not a directory"},
        {"a missing home page",
         [](auto& f) { f.Project->SetValue("HomePage", f.Site + "none.htm"); }, "site.vlm",
         "Cannot open file \"SITE/none.htm\""},
        {"an invalid include mask", [](auto& f) { f.Project->SetValue("MaskInclude", "*.(htm"); },
         "site.vlm", "MaskInclude"},
        {"a full disk while the settings member is written",
         [](auto& f) { f.FailWrites.emplace(10, ENOSPC); }, "site.vlm",
         "Cannot write file \"TMP/VLM.settings\". No space left on device"},
        {"an empty exclude list in parse mode",
         [](auto& f) { f.Project->SetValue("MaskExclude", ""); }, "site.vlm",
         "The mask list MaskExclude is empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        vlm::test::RemoveTree(Site);
        vlm::test::RemoveTree(Out);
        Host = {};
        SetUp();
        if (c.Output)
            Output(c.Output);
        c.Arrange(*this);
        std::string message = c.Message;
        for (const auto& [mark, folder] : {std::pair{"PROG/", Program}, std::pair{"OUT/", Out},
                                           std::pair{"SITE/", Site}, std::pair{"TMP/", Temp}})
            if (const size_t at = message.find(mark); at != std::string::npos)
                message.replace(at, std::string(mark).size(), folder);
        try {
            Build();
            ADD_FAILURE() << "no error";
        } catch (const EAbort&) {
            ADD_FAILURE() << "a silent end";
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
        FailWrites.reset();
        EXPECT_EQ(Names(Host.Events.end() - 2, Host.Events.end()),
                  (Names{"Finished:modal", "CloseProgress"}));
        EXPECT_EQ(ListNames(Temp), Names{});
        EXPECT_EQ(ListNames(Out), c.Output ? Names{} : Names{"file"});
    }
}

TEST_F(BuildSequence, LeftOutFilesAreReportedAfterTheOutputIsWritten) {
    Output("site.vlm");
    // The page disappears after it was listed, while the first member is compressed.
    Host.CancelWhen = [&](const std::string& stage, int) {
        const Names shown = Host.Of("CurrentFile:");
        if (stage == "Compressing files..." && !shown.empty() && !shown.back().empty())
            DeleteFile(Site + "frames/left.htm");
        return false;
    };
    try {
        Build();
        ADD_FAILURE() << "no error";
    } catch (const EBuildIncomplete& e) {
        ASSERT_EQ(e.Files().size(), 1u);
        EXPECT_EQ(e.Files()[0].FileName, Site + "frames/left.htm");
        EXPECT_NE(e.Files()[0].Reason.find("Error opening file"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find(Site + "frames/left.htm"), std::string::npos);
    }
    EXPECT_TRUE(Saw("Finished:modal"));
    Names names = MemberNames(Out + "site.vlm");
    EXPECT_EQ(names.size(), 11u);
    EXPECT_EQ(std::count(names.begin(), names.end(), "site/frames/left.htm"), 0);
}

TEST_F(BuildSequence, TheBuildCommandsEnabling) {
    TProject withoutHome;
    EXPECT_FALSE(CanBuild(nullptr, true));
    EXPECT_FALSE(CanBuild(&withoutHome, true));
    EXPECT_FALSE(CanBuild(Project.get(), false));
    EXPECT_TRUE(CanBuild(Project.get(), true));
}

} // namespace
