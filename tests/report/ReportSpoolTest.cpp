// The site report's broken references go through a spool file: read back whole and in
// order across its chunks, its write failures named, and the file gone on every path out.
#include "BuildFixture.h"

#include "platform/UErrors.h"
#include "report/UReport.h"

#include <cerrno>

namespace vlm::test {
namespace {

class ReportSpoolTest : public TBuildFixture {
public:
    std::vector<std::string> Spools() {
        std::vector<std::string> names;
        for (const std::string& name : ListNames(Temp))
            if (name.rfind("report", 0) == 0)
                names.push_back(name);
        return names;
    }
    static std::string Describe(const TBrokenReference& b) {
        return b.Page + "|" + std::to_string(b.Line) + "|" + b.Written + "|" + b.Path + "|" +
               std::to_string(static_cast<int>(b.Why)) + (b.Untaken ? "|untaken" : "");
    }
    static std::string Describe(const TCaseReference& c) {
        std::string text = c.Page + "|" + std::to_string(c.Line) + "|" + c.Written;
        for (const std::string& file : c.Files)
            text += "|" + file;
        return text;
    }
    // Two readings of list, each whole and in order.
    template <typename List>
    void ExpectReadBack(const List& list, const std::vector<std::string>& expected) {
        EXPECT_EQ(list.size(), expected.size());
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<std::string> read;
            for (const auto& item : list)
                read.push_back(Describe(item));
            EXPECT_EQ(read, expected) << "pass " << pass;
        }
    }
};

TEST_F(ReportSpoolTest, ReadsBackEveryReferenceInOrderAcrossChunks) {
    const TReferenceOutcome whys[] = {TReferenceOutcome::Missing, TReferenceOutcome::Excluded,
                                      TReferenceOutcome::NotIncluded, TReferenceOutcome::NotAFile};
    const struct {
        const char* Name;
        size_t Chunk;
        size_t Count;
        size_t LongEvery; // every so many, a reference longer than a chunk (0: none)
    } cases[] = {
        {"none", 64, 0, 0},
        {"within one chunk", TBrokenReferences::DefaultChunkBytes, 50, 0},
        {"records across chunk boundaries", 100, 700, 0},
        {"records larger than a chunk", 64, 120, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::string> expectedBroken;
        std::vector<std::string> expectedCase;
        {
            TBrokenReferences broken(c.Chunk);
            TCaseReferences byCase(c.Chunk);
            for (size_t i = 0; i < c.Count; ++i) {
                // A page holds several references; the text has NULs and bytes above 0x7F.
                const std::string page = Site + "page" + std::to_string(i / 3) + ".htm";
                const std::string written =
                    std::string(i % 23, 'w') + std::string("\0\xC3", 2) + std::to_string(i);
                std::string path = Site + "missing" + std::to_string(i);
                if (c.LongEvery != 0 && i % c.LongEvery == 0)
                    path += std::string(3 * c.Chunk, 'p');
                const TBrokenReference b{page, i * 31 + 1, written, path, whys[i % 4], i % 5 == 0};
                broken.push_back(b);
                expectedBroken.push_back(Describe(b));
                const TCaseReference r{page, i + 1, written, std::vector<std::string>(i % 4, path)};
                byCase.push_back(r);
                expectedCase.push_back(Describe(r));
            }
            EXPECT_EQ(broken.FileName().empty(), c.Count == 0);
            EXPECT_EQ(Spools().size(), c.Count == 0 ? 0u : 2u);
            ExpectReadBack(broken, expectedBroken);
            ExpectReadBack(byCase, expectedCase);
        }
        EXPECT_TRUE(Spools().empty());
    }
}

TEST_F(ReportSpoolTest, FailuresNameTheSpoolOrTheFolderAndTheReason) {
    WriteFile(Dir / "plain-file", "x");
    enum TFailure { FullDisk, NoFileMade, FolderUnderAFile };
    const struct {
        const char* Name;
        TFailure Failure;
        std::string Names; // empty: the spool file
        int Reason;        // 0: the reason is not the system's
    } cases[] = {
        {"a full disk", FullDisk, "", ENOSPC},
        {"no file can be made", NoFileMade, Temp + "report", EMFILE},
        {"a temporary folder under a file", FolderUnderAFile, Dir / "plain-file/tmp", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::string message;
        std::string spool;
        {
            TBrokenReferences list(64);
            std::optional<test_hooks::TFailWrites> full;
            std::optional<test_hooks::TFailStep> create;
            if (c.Failure == FullDisk)
                full.emplace(0, ENOSPC);
            else if (c.Failure == NoFileMade)
                create.emplace(TFileStep::Create, EMFILE);
            else
                SetTempFolder(Dir / "plain-file/tmp/");
            try {
                for (int i = 0; i < 10; ++i)
                    list.Add(Site + "a.htm", 1, "gone.htm", Site + "gone.htm",
                             TReferenceOutcome::Missing, false);
            } catch (const EVlmError& e) {
                message = e.what();
            }
            spool = list.FileName();
            SetTempFolder(Temp);
        }
        const std::string names = c.Names.empty() ? spool : c.Names;
        EXPECT_FALSE(names.empty());
        EXPECT_NE(message.find(names), std::string::npos) << message;
        if (c.Reason != 0) {
            EXPECT_NE(message.find(SysErrorMessage(c.Reason)), std::string::npos) << message;
        }
        EXPECT_TRUE(Spools().empty());
    }
}

// The spool lives as long as the report: it goes after the report, and after a report that
// a Cancel or an error ends.
TEST_F(ReportSpoolTest, TheSpoolGoesOnEveryPathOutOfAReport) {
    // Enough broken references for the spool to be written while links are followed.
    std::string index;
    for (int i = 0; i < 2000; ++i)
        index += "<a href=\"missing-page-number-" + std::to_string(i) + ".htm\">\n";
    WriteFile(Site + "index.htm", index);
    Project->SetFlag("ParsingEnabled", true);
    const struct {
        const char* Name;
        const char* CancelIn; // the stage whose first messages press Cancel, or none
        bool FullDisk;
        const char* Error; // in the error's text, or none for a Cancel
    } cases[] = {
        {"made", nullptr, false, nullptr},
        {"cancelled", "Looking for files left out...", false, nullptr},
        {"the spool cannot be written", nullptr, true, "No space left on device"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TRecordingHost host;
        if (c.CancelIn != nullptr)
            host.CancelWhen = [&](const std::string& stage, int) { return stage == c.CancelIn; };
        std::optional<test_hooks::TFailWrites> full;
        if (c.FullDisk)
            full.emplace(0, ENOSPC);
        try {
            const TSiteReport report = MakeSiteReport(*Project, host);
            EXPECT_EQ(report.Broken.size(), 2000u);
            EXPECT_EQ(Spools().size(), 1u);
            EXPECT_TRUE(c.CancelIn == nullptr && c.Error == nullptr);
        } catch (const EAbort&) {
            EXPECT_TRUE(c.CancelIn != nullptr);
        } catch (const EVlmError& e) {
            ASSERT_TRUE(c.Error != nullptr) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.Error), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(Temp + "report"), std::string::npos) << e.what();
        }
        EXPECT_TRUE(Spools().empty());
    }
}

} // namespace
} // namespace vlm::test
