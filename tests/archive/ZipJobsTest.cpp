// Members encoded by worker threads: the archive and every event the writer raises are
// the same as when the calling thread encodes them all.
#include "ZipTestSupport.h"
#include "archive/arcDeflate.h"
#include "platform/UFileSys.h"

#include <gtest/gtest.h>

using namespace vlm;
using namespace vlm::test;

namespace {

// What a run shows its caller, in order, and what it leaves.
struct TRunTrace {
    std::vector<std::string> Events;
    std::vector<std::string> Members; // names, methods, sizes and CRCs, in archive order
    int Added = 0;
};

class ZipJobs : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string site = Dir / "site/";
        WriteFile(site + "empty.txt", "");
        WriteFile(site + "tiny.txt", "abc");
        WriteFile(site + "noise.bin", RandomBytes(200, 1)); // stored: deflating does not pay
        WriteFile(site + "kept.zip", RandomBytes(5000, 2));
        for (int i = 0; i < 30; ++i)
            WriteFile(site + "p" + std::to_string(i) + ".htm",
                      std::string(static_cast<size_t>(i) * 9000, static_cast<char>('a' + i % 26)) +
                          RandomBytes(static_cast<size_t>(i) * 300, static_cast<uint32_t>(i)));
        // Too large to be read whole: streamed by the writer between the others.
        WriteFile(site + "p15 large.bin",
                  RandomBytes(static_cast<size_t>(WholeBufferLimit) + 5, 9));
        CreateDir(Dir / "tmp");
    }

    // A run with the given jobs; Cancel is pressed at the cancelAt-th progress event, by
    // SetCancel or through the run's cancel token.
    TRunTrace Run(int jobs, const char* password, bool store, int cancelAt, bool byToken) {
        TZip zip;
        TRunTrace trace;
        TCancelToken token;
        TCompOptions options;
        options.TempDir = Dir / "tmp/";
        options.ArchiveFile = Dir / ("out" + std::to_string(jobs) + ".zip");
        options.FileSpec = {Dir / "site/*"};
        options.Password = password;
        options.EncryptHeaders = false;
        options.Jobs = jobs;
        options.Cancel = &token;
        if (store)
            options.CompressMethod = cmStore;
        int progressEvents = 0;
        TCompEvents events;
        events.OnBegin = [&](TCompBase&, const std::string& name, int count, bool&) {
            trace.Events.push_back("Begin " + name + " " + std::to_string(count));
        };
        events.OnEnd = [&](TCompBase&, const std::string& name, bool) {
            trace.Events.push_back("End " + name);
        };
        events.OnProgress = [&](TCompBase& sender, const TProgressInfo& p) {
            trace.Events.push_back(
                "Progress " + sender.CurrentFileName() + " " + std::to_string(p.ProgressByFile) +
                " " + std::to_string(p.ProgressByArchive) + " " +
                std::to_string(sender.CurrentFileSize()) + " " + std::to_string(p.ArchiveDone) +
                "/" + std::to_string(p.ArchiveKnown));
            if (++progressEvents == cancelAt) {
                if (byToken)
                    token.Cancel();
                else
                    sender.SetCancel(true);
            }
        };
        events.OnError = [&](TCompBase&, const std::string& name, const std::string& extended,
                             const std::string&, int code) {
            trace.Events.push_back("Error " + name + " " + extended + " " + std::to_string(code));
        };
        int messages = 0;
        events.ProcessMessages = [&] { ++messages; };
        const std::string archive = options.ArchiveFile;
        trace.Added = zip.Compress(std::move(options), events);
        trace.Events.push_back("Messages " + std::to_string(messages));
        if (FileExists(archive))
            for (const TRawMember& m : ParseRawArchiveFile(archive).Members)
                trace.Members.push_back(m.CentralName + " " + std::to_string(m.Central.Method) +
                                        " " + std::to_string(m.Central.CompressedSize) + " " +
                                        std::to_string(m.Central.Crc));
        return trace;
    }

    TTempDir Dir;
};

TEST_F(ZipJobs, WorkersChangeNothingTheCallerSees) {
    const struct {
        const char* Password;
        bool Store;
        int CancelAt; // 0: never
        bool ByToken;
    } cases[] = {
        {"", false, 0, false},    {"pw", false, 0, false}, {"pw", true, 0, false},
        {"pw", false, 20, false}, {"", false, 100, false}, {"pw", false, 20, true},
        {"", true, 45, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("password '") + c.Password + "', store " +
                     std::to_string(c.Store) + ", cancel at " + std::to_string(c.CancelAt) +
                     (c.ByToken ? " by the token" : ""));
        const TRunTrace one = Run(1, c.Password, c.Store, c.CancelAt, c.ByToken);
        const TRunTrace three = Run(3, c.Password, c.Store, c.CancelAt, c.ByToken);
        EXPECT_EQ(three.Added, one.Added);
        EXPECT_EQ(three.Events, one.Events);
        EXPECT_EQ(three.Members, one.Members);
        // A cancelled run keeps the members it finished.
        EXPECT_EQ(one.Added == 35, c.CancelAt == 0);
        EXPECT_EQ(one.Members.size(), static_cast<size_t>(one.Added));
        EXPECT_TRUE(ListNames(Dir / "tmp").empty());
        // The token ends the run where SetCancel from the same event ends it.
        if (c.ByToken) {
            const TRunTrace flag = Run(1, c.Password, c.Store, c.CancelAt, false);
            EXPECT_EQ(flag.Events, one.Events);
            EXPECT_EQ(flag.Members, one.Members);
        }
    }
}

// The bytes that progress hands over: those read of the member and of all listed files,
// growing to the listed total, which never changes during a run.
TEST_F(ZipJobs, ProgressCountsTheBytesOfTheArchive) {
    for (const int jobs : {1, 3}) {
        SCOPED_TRACE(jobs);
        TZip zip;
        TCompOptions options;
        options.TempDir = Dir / "tmp/";
        options.ArchiveFile = Dir / "out.zip";
        options.FileSpec = {Dir / "site/*"};
        options.Password = "pw";
        options.Jobs = jobs;
        uint64_t total = 0;
        for (const std::string& name : ListNames(Dir / "site"))
            total += static_cast<uint64_t>(FileSizeOf(Dir / ("site/" + name)));
        std::vector<TProgressInfo> seen;
        TCompEvents events;
        events.OnProgress = [&](TCompBase&, const TProgressInfo& p) { seen.push_back(p); };
        ASSERT_EQ(zip.Compress(std::move(options), events), 35);
        ASSERT_GT(seen.size(), 35u);
        uint64_t done = 0;
        for (size_t i = 0; i + 1 < seen.size(); ++i) {
            const TProgressInfo& p = seen[i];
            EXPECT_EQ(p.ArchiveKnown, total);
            EXPECT_GE(p.ArchiveDone, done);
            EXPECT_LE(p.FileDone, p.FileSize);
            EXPECT_EQ(p.ProgressByArchive,
                      Percent(static_cast<int64_t>(total), static_cast<int64_t>(p.ArchiveDone)));
            done = p.ArchiveDone;
        }
        // The directory's event comes last, with both bars at 0 and every byte read.
        EXPECT_EQ(seen.back().ProgressByFile, 0);
        EXPECT_EQ(seen.back().ProgressByArchive, 0);
        EXPECT_EQ(seen.back().ArchiveDone, total);
    }
}

} // namespace
