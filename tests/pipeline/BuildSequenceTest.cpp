#include "BuildFixture.h"

#include "archive/arcZip.h"
#include "pipeline/UMasks.h"
#include "platform/UFileStream.h"

#include <algorithm>
#include <cerrno>
#include <functional>

using namespace vlm;
using vlm::test::ListNames;
using vlm::test::RandomBytes;
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

// A cancelled build leaves the output as it was: none when there was none, the previous
// one byte for byte when there was one, whatever the stage and the output type.
TEST_F(BuildSequence, CancelAtEachStageKeepsThePreviousOutput) {
    using TWhen = std::function<bool(const vlm::test::TRecordingHost&, int calls)>;
    const auto call = [](int n) -> TWhen {
        return [n](const auto&, int calls) { return calls == n; };
    };
    const auto bar = [](int n) -> TWhen {
        return [n](const auto& h, int) { return h.Progress() == n; };
    };
    const struct {
        const char* Stage;
        const char* What;
        TWhen When;
        bool ExeOnly;
    } points[] = {
        {"Loading settings...", "first check", call(1), false},
        {"Loading settings...", "settings saved", call(3), false},
        {"Parsing files...", "first page", call(1), false},
        {"Parsing files...", "later page", call(3), false},
        {"Compressing files...", "listing", call(1), false},
        {"Compressing files...", "third member",
         [](const auto& h, int) {
             // Members shown since the stage began.
             const auto stage =
                 std::find(h.Events.rbegin(), h.Events.rend(), "Stage:Compressing files...");
             Names shown(stage.base(), h.Events.end());
             shown.erase(std::remove_if(shown.begin(), shown.end(),
                                        [](const auto& e) { return e.rfind("CurrentFile:/", 0); }),
                         shown.end());
             std::sort(shown.begin(), shown.end());
             return std::unique(shown.begin(), shown.end()) - shown.begin() >= 3;
         },
         false},
        {"Compressing files...", "after the comment",
         [](const auto& h, int) { return h.Of("SizeCaption:").back() == "Output file size"; },
         false},
        {"Integrating...", "viewer opened", bar(10), true},
        {"Integrating...", "viewer copied", bar(30), true},
        {"Integrating...", "archive copied", bar(80), true},
        {"Integrating...", "trailer written", bar(90), true},
        {"Integrating...", "last check", bar(100), true},
    };
    const std::string previous = RandomBytes(5000, 99);
    for (const char* name : {"site.exe", "site.vlm"}) {
        for (const bool existed : {false, true}) {
            for (const auto& p : points) {
                if (p.ExeOnly && std::string(name) != "site.exe")
                    continue;
                SCOPED_TRACE(std::string(name) + (existed ? " over an old one, " : ", ") + p.Stage +
                             " " + p.What);
                Host = {};
                Host.CancelWhen = [&](const std::string& shown, int calls) {
                    return shown == p.Stage && p.When(Host, calls);
                };
                Output(name);
                if (existed)
                    WriteFile(Out + name, previous);
                EXPECT_THROW(Build(), EAbort);
                EXPECT_TRUE(Saw("Cancel"));
                EXPECT_FALSE(Saw("Finished:modal"));
                EXPECT_EQ(Host.Events.back(), "CloseProgress");
                EXPECT_EQ(ListNames(Out), existed ? Names{name} : Names{});
                if (existed && vlm::test::PathExists(Out + name)) {
                    EXPECT_TRUE(ReadFile(Out + name) == previous) << "the old output changed";
                }
                EXPECT_EQ(ListNames(Temp), Names{});
                DeleteFile(Out + name);
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
         nullptr, "Cannot create file \"OUT/file/sub/site.vlm\". Not a directory"},
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
        {"a full temporary folder while the archive is assembled",
         [](auto& f) { f.FailWrites.emplace(3000, ENOSPC); }, "site.vlm",
         "in the temporary folder \"TMP/\". No space left on device"},
        {"masks that leave out the home page",
         [](auto& f) {
             f.Project->SetFlag("ParsingEnabled", false);
             f.Project->SetValue("MaskInclude", "*.gif");
             f.Project->SetValue("MaskExclude", "*.tmp, *.HTM");
         },
         "site.exe",
         "The mask \"*.HTM\" of MaskExclude leaves out the home page \"SITE/index.htm\""},
        {"a temporary folder that has gone", [](auto& f) { SetTempFolder(f.Temp + "gone"); },
         "site.vlm", "The temporary folder \"TMP/gone/\" does not exist."},
    };
    // A failed build never touches the previous output.
    const std::string previous = RandomBytes(3000, 5);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        vlm::test::RemoveTree(Site);
        vlm::test::RemoveTree(Out);
        Host = {};
        SetUp();
        if (c.Output) {
            Output(c.Output);
            WriteFile(Out + c.Output, previous);
        }
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
        EXPECT_EQ(ListNames(Out), c.Output ? Names{c.Output} : Names{"file"});
        if (c.Output) {
            EXPECT_TRUE(ReadFile(Out + c.Output) == previous) << "the old output changed";
        }
    }
}

TEST_F(BuildSequence, LeftOutFilesAreReportedAfterTheOutputIsWritten) {
    Output("site.vlm");
    // The page disappears after it was listed, while the first member is compressed,
    // before its own turn: workers would have read it already.
    Builder.Jobs = 1;
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

TEST_F(BuildSequence, WorkerThreadsShowTheSameSequence) {
    WriteFile(Site + "images/large.gif", RandomBytes(300000, 4));
    WriteFile(Site + "long.htm", std::string(200000, 'x'));
    for (const bool parsing : {true, false}) {
        for (const int cancelAt : {0, 4}) {
            SCOPED_TRACE(std::string(parsing ? "parsing" : "masks") + ", cancel at " +
                         std::to_string(cancelAt));
            Project->SetFlag("ParsingEnabled", parsing);
            Output("site.vlm");
            std::vector<Names> events;
            std::vector<int> messages;
            std::vector<Names> members;
            for (const int jobs : {1, 3}) {
                Host = {};
                Host.CancelWhen = [&](const std::string& stage, int calls) {
                    return stage == "Compressing files..." && calls == cancelAt;
                };
                Builder.Jobs = jobs;
                if (cancelAt == 0) {
                    Build();
                    members.push_back(MemberNames(Out + "site.vlm"));
                    DeleteFile(Out + "site.vlm");
                } else {
                    EXPECT_THROW(Build(), EAbort);
                }
                events.push_back(Host.Events);
                messages.push_back(Host.EventCount);
            }
            EXPECT_EQ(events[1], events[0]);
            EXPECT_EQ(messages[1], messages[0]);
            EXPECT_EQ(members.size() == 2 ? members[1] : Names{},
                      members.size() == 2 ? members[0] : Names{});
            EXPECT_EQ(ListNames(Out), Names{});
        }
    }
}

TEST_F(BuildSequence, TheBuildCommandsEnabling) {
    TProject withoutHome;
    EXPECT_FALSE(CanBuild(nullptr, true));
    EXPECT_FALSE(CanBuild(&withoutHome, true));
    EXPECT_FALSE(CanBuild(Project.get(), false));
    EXPECT_TRUE(CanBuild(Project.get(), true));
}

} // namespace
