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

    // A run with the given jobs; Cancel is pressed at the cancelAt-th progress event.
    TRunTrace Run(int jobs, const char* password, bool store, int cancelAt) {
        TZip zip;
        TRunTrace trace;
        zip.TempDir = Dir / "tmp/";
        zip.SetArchiveFile(Dir / ("out" + std::to_string(jobs) + ".zip"));
        zip.FileSpec = {Dir / "site/*"};
        zip.Password = password;
        zip.EncryptHeaders = false;
        zip.Jobs = jobs;
        if (store)
            zip.SetCompressMethod(cmStore);
        int progressEvents = 0;
        zip.OnBegin = [&](TCompBase&, const std::string& name, int count, bool&) {
            trace.Events.push_back("Begin " + name + " " + std::to_string(count));
        };
        zip.OnEnd = [&](TCompBase&, const std::string& name, bool) {
            trace.Events.push_back("End " + name);
        };
        zip.OnProgress = [&](TCompBase& sender, uint8_t byFile, uint8_t byArchive) {
            trace.Events.push_back("Progress " + sender.CurrentFileName() + " " +
                                   std::to_string(byFile) + " " + std::to_string(byArchive) + " " +
                                   std::to_string(sender.CurrentFileSize()));
            if (++progressEvents == cancelAt)
                sender.SetCancel(true);
        };
        zip.OnError = [&](TCompBase&, const std::string& name, const std::string& extended,
                          const std::string&, int code) {
            trace.Events.push_back("Error " + name + " " + extended + " " + std::to_string(code));
        };
        int messages = 0;
        zip.ProcessMessages = [&] { ++messages; };
        trace.Added = zip.Compress();
        trace.Events.push_back("Messages " + std::to_string(messages));
        if (FileExists(zip.ArchiveFile()))
            for (const TRawMember& m : ParseRawArchiveFile(zip.ArchiveFile()).Members)
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
    } cases[] = {
        {"", false, 0}, {"pw", false, 0}, {"pw", true, 0}, {"pw", false, 20}, {"", false, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("password '") + c.Password + "', store " +
                     std::to_string(c.Store) + ", cancel at " + std::to_string(c.CancelAt));
        const TRunTrace one = Run(1, c.Password, c.Store, c.CancelAt);
        const TRunTrace three = Run(3, c.Password, c.Store, c.CancelAt);
        EXPECT_EQ(three.Added, one.Added);
        EXPECT_EQ(three.Events, one.Events);
        EXPECT_EQ(three.Members, one.Members);
        // A cancelled run keeps the members it finished.
        EXPECT_EQ(one.Added == 35, c.CancelAt == 0);
        EXPECT_EQ(one.Members.size(), static_cast<size_t>(one.Added));
        EXPECT_TRUE(ListNames(Dir / "tmp").empty());
    }
}

} // namespace
