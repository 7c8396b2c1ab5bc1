// The comment edit: only the directory, the end record and the comment are rewritten.
#include "ZipTestSupport.h"
#include "archive/arcReader.h"
#include "platform/UFileSys.h"
#include "platform/UTestHooks.h"

#include <cerrno>

using namespace vlm;
using namespace vlm::test;

namespace {

class ZipComment : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        WriteFile(Dir / "site/index.htm", RandomBytes(3000, 1));
        WriteFile(Dir / "site/img/a.gif", RandomBytes(200, 2));
        WriteFile(Dir / "site/empty.txt", "");
        CreateDir(Dir / "tmp");
        zip.TempDir = Dir / "tmp/";
        zip.SetArchiveFile(Dir / "out.vlm");
        zip.FileSpec = {Dir / "site/*"};
        zip.Password = "pw";
        zip.EncryptHeaders = GetParam();
        zip.StoredDirNames = sdAbsolute;
        errors.Attach(zip);
        zip.OnTmpFileMoveBegin = [this](TCompBase&, const std::string&, const std::string&) {
            ++Rewrites;
        };
        ASSERT_EQ(zip.Compress(), 3);
        Rewrites = 0;
    }
    bool Edit(const char* comment, int16_t length) {
        EXPECT_EQ(zip.BeginCommentEdit(), 3);
        zip.SetArchiveComment(comment, length);
        return zip.CommitCommentEdit();
    }
    TTempDir Dir;
    TZip zip;
    TErrorLog errors;
    int Rewrites = 0;
};

TEST_P(ZipComment, KeepsEveryByteBeforeTheDirectory) {
    const TRawArchive before = ParseRawArchiveFile(Dir / "out.vlm");
    const std::string comment = "/tmp/vlmpack-abc123/VLM.settings";
    ASSERT_TRUE(Edit(comment.c_str(), static_cast<int16_t>(comment.size())));
    EXPECT_EQ(Rewrites, 1);
    const TRawArchive after = ParseRawArchiveFile(Dir / "out.vlm");
    const size_t dir = before.End.DirectoryOffset;
    EXPECT_EQ(after.End.DirectoryOffset, dir);
    EXPECT_EQ(after.Bytes.substr(0, dir), before.Bytes.substr(0, dir));
    // The same directory, with each header's encipherment kept.
    EXPECT_EQ(after.Bytes.substr(dir, after.EndOffset - dir),
              before.Bytes.substr(dir, before.EndOffset - dir));
    EXPECT_EQ(after.End.TotalEntries, 3);
    EXPECT_EQ(after.End.CommentLength, comment.size());
    EXPECT_EQ(after.Bytes.size() - after.EndOffset - EndRecordSize, comment.size());
    EXPECT_EQ(after.Comment, comment);
    for (const TRawMember& m : after.Members)
        EXPECT_EQ(m.CentralEnciphered, GetParam()) << m.CentralName;
    TArchiveReader reader(Dir / "out.vlm");
    EXPECT_EQ(reader.Comment(), comment);
    EXPECT_TRUE(errors.Entries.empty());
    EXPECT_TRUE(ListNames(Dir / "tmp").empty());
}

TEST_P(ZipComment, NoRewriteWithoutAChange) {
    ASSERT_TRUE(Edit("first", 5));
    const std::string written = ReadFile(Dir / "out.vlm");
    const struct {
        const char* Bytes;
        int16_t Length;
    } unchanged[] = {{"first", 5}, {nullptr, 5}, {"other", -1}};
    for (const auto& c : unchanged) {
        Rewrites = 0;
        EXPECT_TRUE(Edit(c.Bytes, c.Length));
        EXPECT_EQ(Rewrites, 0);
        EXPECT_EQ(ReadFile(Dir / "out.vlm"), written);
    }
    // An empty comment is a change, and GetArchiveComment shows the list's comment.
    EXPECT_EQ(zip.BeginCommentEdit(), 3);
    EXPECT_EQ(zip.GetArchiveComment(), "first");
    zip.SetArchiveComment("", 0);
    EXPECT_EQ(zip.GetArchiveComment(), "");
    EXPECT_TRUE(zip.CommitCommentEdit());
    EXPECT_EQ(ParseRawArchiveFile(Dir / "out.vlm").Comment, "");
}

TEST_P(ZipComment, AnArchiveThatCannotBeReadIsLeftAlone) {
    const struct {
        std::string Archive;
        std::string Content; // written first unless empty
    } cases[] = {{Dir / "missing.vlm", ""},
                 {Dir / "broken.vlm", "not an archive at all, just text"},
                 {Dir / "truncated.vlm", ReadFile(Dir / "out.vlm").substr(0, 2000)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Archive);
        if (!c.Content.empty())
            WriteFile(c.Archive, c.Content);
        errors.Entries.clear();
        zip.SetArchiveFile(c.Archive);
        EXPECT_EQ(zip.BeginCommentEdit(), 0);
        zip.SetArchiveComment("x", 1);
        EXPECT_FALSE(zip.CommitCommentEdit());
        EXPECT_EQ(errors.Codes(), std::vector<int>{errOpenFile});
        EXPECT_EQ(errors.Entries[0].FileName, c.Archive);
        EXPECT_EQ(PathExists(c.Archive), !c.Content.empty());
        if (!c.Content.empty()) {
            EXPECT_EQ(ReadFile(c.Archive), c.Content);
        }
    }
}

TEST_P(ZipComment, AFailedRewriteKeepsTheArchive) {
    const std::string before = ReadFile(Dir / "out.vlm");
    {
        const test_hooks::TFailWrites full(static_cast<int64_t>(before.size()) - 10, ENOSPC);
        EXPECT_FALSE(Edit("comment", 7));
    }
    EXPECT_EQ(errors.Codes(), std::vector<int>{errDiskFull});
    EXPECT_EQ(ReadFile(Dir / "out.vlm"), before);
    EXPECT_TRUE(ListNames(Dir / "tmp").empty());
}

INSTANTIATE_TEST_SUITE_P(PlainAndEncipheredHeaders, ZipComment, ::testing::Bool());

} // namespace
