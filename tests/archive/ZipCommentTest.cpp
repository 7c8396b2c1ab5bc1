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
        options.TempDir = Dir / "tmp/";
        options.ArchiveFile = Dir / "out.vlm";
        options.FileSpec = {Dir / "site/*"};
        options.Password = "pw";
        options.EncryptHeaders = GetParam();
        options.StoredDirNames = sdAbsolute;
        errors.Attach(events);
        events.OnTmpFileMoveBegin = [this](TCompBase&, const std::string&, const std::string&) {
            ++Rewrites;
        };
        ASSERT_EQ(zip.Compress(options, events), 3);
        Rewrites = 0;
    }
    bool Edit(const char* comment, int16_t length) {
        EXPECT_EQ(zip.BeginCommentEdit(options, events), 3);
        zip.SetArchiveComment(comment, length);
        return zip.CommitCommentEdit();
    }
    TTempDir Dir;
    TZip zip;
    TCompOptions options;
    TCompEvents events;
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

TEST_P(ZipComment, ACommentWrittenByCompressIsTheOneTheEditWrites) {
    const std::string comment = "/tmp/vlmpack-abc123/VLM.settings";
    ASSERT_TRUE(Edit(comment.c_str(), static_cast<int16_t>(comment.size())));
    const TRawArchive edited = ParseRawArchiveFile(Dir / "out.vlm");
    options.ArchiveComment = comment;
    Rewrites = 0;
    ASSERT_EQ(zip.Compress(options, events), 3);
    EXPECT_TRUE(zip.WroteComment());
    const TRawArchive written = ParseRawArchiveFile(Dir / "out.vlm");
    const size_t dir = edited.End.DirectoryOffset;
    ASSERT_EQ(written.End.DirectoryOffset, dir);
    EXPECT_EQ(written.Bytes.substr(dir), edited.Bytes.substr(dir));
    // The edit that follows finds its comment in place and rewrites nothing.
    ASSERT_TRUE(Edit(comment.c_str(), static_cast<int16_t>(comment.size())));
    EXPECT_EQ(Rewrites, 1);
    EXPECT_EQ(ReadFile(Dir / "out.vlm"), written.Bytes);
    // A comment too long for the end record is not written, and the writer says so.
    options.ArchiveComment = std::string(0x8000, 'x');
    ASSERT_EQ(zip.Compress(options, events), 3);
    EXPECT_FALSE(zip.WroteComment());
    EXPECT_EQ(ParseRawArchiveFile(Dir / "out.vlm").Comment, "");
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
    EXPECT_EQ(zip.BeginCommentEdit(options, events), 3);
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
        options.ArchiveFile = c.Archive;
        EXPECT_EQ(zip.BeginCommentEdit(options, events), 0);
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

// An edit whose archive changed after its directory was read, or whose run was cancelled,
// writes nothing.
TEST_P(ZipComment, AnEditOverTakenByEventsWritesNothing) {
    const std::string before = ReadFile(Dir / "out.vlm");
    const struct {
        const char* Name;
        bool Append; // the archive grows meanwhile; else the token is set
        int Code;
    } cases[] = {{"changed", true, errOpenFile}, {"cancelled", false, errUserCanceled}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteFile(Dir / "out.vlm", before);
        errors.Entries.clear();
        TCancelToken token;
        options.Cancel = &token;
        EXPECT_EQ(zip.BeginCommentEdit(options, events), 3);
        zip.SetArchiveComment("comment", 7);
        if (c.Append)
            WriteFile(Dir / "out.vlm", before + "more");
        else
            token.Cancel();
        EXPECT_FALSE(zip.CommitCommentEdit());
        EXPECT_EQ(errors.Codes(), std::vector<int>{c.Code});
        EXPECT_EQ(ReadFile(Dir / "out.vlm"), before + (c.Append ? "more" : ""));
        EXPECT_EQ(Rewrites, 0);
        options.Cancel = nullptr;
    }
}

// An executable output (viewer program, archive, trailer) keeps its program, its members
// and a trailer that still finds the archive.
TEST_P(ZipComment, AnExecutableOutputKeepsItsProgramAndTrailer) {
    const std::string program = "MZ viewer " + RandomBytes(5000, 3);
    const std::string archive = ReadFile(Dir / "out.vlm");
    std::string trailer(8, '\0');
    PutU64(reinterpret_cast<uint8_t*>(trailer.data()), program.size());
    WriteFile(Dir / "site.exe", program + archive + trailer);
    options.ArchiveFile = Dir / "site.exe";
    ASSERT_TRUE(Edit("/tmp/VLM.settings", 17));
    const std::string after = ReadFile(Dir / "site.exe");
    const size_t endRecord = program.size() + archive.size() - EndRecordSize;
    EXPECT_EQ(after.substr(0, endRecord), (program + archive).substr(0, endRecord));
    EXPECT_EQ(after.substr(after.size() - 8), trailer);
    TArchiveReader reader(Dir / "site.exe");
    EXPECT_EQ(reader.ArchiveOffset(), program.size());
    EXPECT_EQ(reader.Comment(), "/tmp/VLM.settings");
    ASSERT_EQ(reader.Members().size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_NO_THROW(reader.ReadMemberText(i, "pw")) << reader.Members()[i].Name;
    EXPECT_TRUE(errors.Entries.empty());
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
