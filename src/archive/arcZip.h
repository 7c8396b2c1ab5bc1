// The ZIP archive writer: local and central headers (APPNOTE 4.3.7, 4.3.12), header
// encipherment, the end of central directory record (4.3.16) with the archive comment,
// the comment edit, and the Zip64 forms (4.3.14, 4.3.15, 4.5.3) that archives of 4 GiB or
// more, files of 4 GiB or more and more than 65534 members need.
#pragma once

#include "archive/arcBase.h"

#include <memory>

namespace vlm {

// Local headers of files from this size on carry a Zip64 extra field, reserved when the
// placeholder is written: the compressed size is not known yet and may exceed the file's.
inline constexpr uint64_t LargeFileThreshold = 0xFF000000;

class TZipBase : public TCompBase {
public:
    TZipBase();
    ~TZipBase() override;

    // Reads the archive's directory (TArchiveReader, which knows plain and enciphered
    // headers and an executable output's trailer); the member count. Reports "Error
    // opening file" when the archive cannot be opened or read as an archive.
    int BeginCommentEdit(const TCompOptions& options, const TCompEvents& events) noexcept override;
    // A null pointer or a negative length changes nothing; the same bytes change nothing.
    void SetArchiveComment(const char* bytes, int16_t length) noexcept override;
    // Rewrites the end record and comment through a temporary file when the comment
    // changed and no run was cancelled; every byte before the end record (the members and
    // the directory, each header with its own encipherment) is copied as it is. Ends the
    // edit in every case. True when the archive holds the edit's comment afterwards.
    bool CommitCommentEdit() noexcept override;
    std::string_view GetArchiveComment() const noexcept override;

protected:
    size_t LocalHeaderSize() const override { return vlm::LocalHeaderSize; }
    void BeginLocalHeader(size_t index) override;
    void WritePlaceholder(TFileStream& out, const std::string& written, uint64_t size) override;
    void FinishLocalHeader(TFileStream& out, size_t index, uint64_t pos, const std::string& written,
                           uint16_t method, uint16_t flags, uint32_t crc,
                           uint64_t uncompressed) override;
    void BuildCentralRecord(size_t index) override;
    void WriteDirectory(TFileStream& out, const TCompHeaderObj& list) override;

private:
    struct TCommentEdit;
    bool RewriteEnd(const TCommentEdit& edit, TTempOutput& output);

    TLocalHeader FLocal;
    bool FLargeLocal = false;
    std::unique_ptr<TCommentEdit> FEdit;
};

class TZip final : public TZipBase {};

} // namespace vlm
