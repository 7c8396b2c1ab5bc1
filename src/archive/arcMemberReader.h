// One member read as a stream: decrypted and inflated in chunks as the caller asks for
// data, so serving the start of a large member costs no more than its first chunk. The
// stream reads through a file handle of its own, so it may be used on another thread
// than the TArchiveReader that listed the member.
#pragma once

#include "archive/arcCrypt.h"
#include "archive/arcReader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vlm {

class TMemberReader {
public:
    // Checks the member's local header and, for an encrypted member, the password against
    // its encryption header. Raises EArchiveError (or EFOpenError when the file is gone).
    TMemberReader(TArchiveReader& reader, size_t index, const std::string& password);
    ~TMemberReader();
    TMemberReader(const TMemberReader&) = delete;
    TMemberReader& operator=(const TMemberReader&) = delete;

    const std::string& Name() const { return FMember.Name; }
    uint64_t Size() const { return FMember.UncompressedSize; }
    // Bytes handed out so far.
    uint64_t Position() const { return FProduced; }
    bool AtEnd() const { return FEnded; }
    // Up to count bytes of the member's data, fewer only at its end (0 there). When the
    // data end, their CRC and size are checked. Raises EArchiveError on damaged data.
    size_t Read(char* buffer, size_t count);

private:
    [[noreturn]] void Fail(const std::string& reason) const;
    void StartDecryption(const std::string& password);
    size_t ReadChunk();
    size_t ReadStored(char* buffer, size_t count);
    size_t ReadDeflated(char* buffer, size_t count);
    void Finish();

    struct TInflateState;
    std::string FFileName;
    TArchiveMember FMember;
    std::unique_ptr<TFileStream> FStream;
    uint64_t FPosition = 0;  // next byte of member data in the file
    uint64_t FRemaining = 0; // compressed bytes not yet read
    std::optional<TCipher> FCipher;
    std::unique_ptr<TInflateState> FInflate;
    std::vector<char> FInput;
    uint32_t FCrc = CrcInit;
    uint64_t FProduced = 0;
    bool FEnded = false;
};

} // namespace vlm
