// Reading archives back: a ".vlm" archive, a plain ZIP file, or an executable output
// (viewer program, archive, 8-byte trailer). Plain and enciphered headers are recognised;
// members are decrypted with a password, inflated and checked against their CRC and
// sizes. Hostile input gives an EArchiveError, never a crash, a hang or an allocation
// sized by an unchecked field.
#pragma once

#include "archive/arcRecords.h"
#include "platform/UErrors.h"
#include "platform/UFileStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vlm {

// A broken or unreadable archive; the message names the file and what is wrong.
class EArchiveError : public EVlmError {
public:
    using EVlmError::EVlmError;
};

// A member name fit for a message or a terminal: control characters become "?", and a
// name longer than 300 bytes is cut there ("...").
std::string PrintableName(std::string_view name);

class TCipher;

// Starts cipher on password and deciphers a member's encryption header (EncryptionHeaderSize
// bytes) in place; whether its last byte is the check byte the member's central header
// predicts. The cipher then goes on with the member's data.
bool PasswordOpens(const TCentralHeader& central, uint8_t* header, TCipher& cipher,
                   const std::string& password);

// The reason data that do not decode are refused for, ending the sentence. The check byte
// of an encryption header lets one wrong password in 256 through, so for an encrypted
// member the password is named as a possible cause.
inline std::string DataFault(const std::string& reason, bool encrypted) {
    return reason + (encrypted ? "; the password may be wrong." : ".");
}

struct TArchiveMember {
    std::string Name;       // the written name, deciphered ("/" separators)
    TCentralHeader Central; // deciphered
    // The local header is read when the member is first read, not when the archive is
    // opened: an archive of a million members opens without a million seeks. Until then
    // Local is empty and DataOffset 0.
    TLocalHeader Local; // deciphered
    bool LocalChecked = false;
    bool HeadersEnciphered = false;
    uint64_t LocalHeaderOffset = 0; // from the start of the file (archive offset included)
    uint64_t DataOffset = 0;        // where the encryption header or the data begins
    // The central header's sizes, or the Zip64 extra field's where those are saturated.
    uint64_t CompressedSize = 0;
    uint64_t UncompressedSize = 0;
};

class TArchiveReader {
public:
    // Opens fileName and reads its directory. Raises EFOpenError or EArchiveError.
    explicit TArchiveReader(const std::string& fileName);
    ~TArchiveReader();

    const std::string& FileName() const { return FFileName; }
    // Where the archive begins in the file: 0, or the trailer's value for executable output.
    uint64_t ArchiveOffset() const { return FArchiveOffset; }
    bool IsExecutable() const { return FArchiveOffset != 0; }
    // Size of the archive itself (the file without a viewer program and trailer).
    uint64_t ArchiveSize() const { return FArchiveSize; }
    const std::vector<TArchiveMember>& Members() const { return FMembers; }
    const std::string& Comment() const { return FComment; }
    // Where the end of central directory record begins in the file; the comment follows
    // it, then the trailer of an executable output.
    uint64_t EndRecordOffset() const { return FEndRecordOffset; }

    // Reads member index: decrypts it with password when it is encrypted, inflates it and
    // hands the bytes to sink in chunks; checks the CRC and both sizes. Raises
    // EArchiveError (a wrong password, a CRC or size mismatch, broken data).
    void ReadMember(size_t index, const std::string& password,
                    const std::function<void(const char* data, size_t size)>& sink);
    // The same into a string (for small members and tests).
    std::string ReadMemberText(size_t index, const std::string& password);

private:
    friend class TMemberReader; // checks a member's local header before streaming it
    [[noreturn]] void Fail(const std::string& reason) const;
    [[noreturn]] void FailMember(const TArchiveMember& member, const std::string& reason) const;
    // Exactly count bytes at offset, or EArchiveError naming what was being read.
    void ReadAt(uint64_t offset, void* buffer, size_t count, const char* what);
    void LocateArchive();
    bool TryEndRecord(uint64_t position, const uint8_t* record, std::string& reason);
    // Where the Zip64 end record (APPNOTE 4.3.14) lies and what it says; false with a
    // reason when the locator before position leads nowhere.
    bool ReadZip64End(uint64_t position, uint64_t& recordPosition, uint64_t& archiveStart,
                      std::string& reason);
    class TDirectoryCursor;
    void ReadCentralExtra(TArchiveMember& member, const uint8_t* extra);
    void ReadDirectory();
    void LocateLocalHeader(TArchiveMember& member) const;
    void CheckOverlaps();
    // Reads and checks member index's local header once (its name, method, sizes, and that
    // its data end before the next member begins) and returns the member with Local and
    // DataOffset filled. Safe to call from several threads.
    const TArchiveMember& CheckLocalHeader(size_t index);
    struct TMemberData; // one member's read position, cipher and running checks
    void StartDecryption(TMemberData& data, const std::string& password);
    size_t ReadChunk(TMemberData& data);
    void Deliver(TMemberData& data, const char* bytes, size_t size);
    void Inflate(TMemberData& data);

    std::string FFileName;
    std::unique_ptr<TFileStream> FStream;
    uint64_t FFileSize = 0;
    uint64_t FArchiveOffset = 0;
    uint64_t FArchiveSize = 0;
    uint64_t FEndRecordOffset = 0;
    // From the end record, or from the Zip64 end record when the archive has one.
    uint64_t FDirectoryOffset = 0; // relative to the archive's start
    uint64_t FDirectorySize = 0;
    uint64_t FTotalEntries = 0;
    std::vector<TArchiveMember> FMembers;
    // Every member's local header offset in ascending order, then the directory's start:
    // where the bytes of the member that begins at an offset must end.
    std::vector<uint64_t> FStarts;
    std::mutex FLocalLock; // the stream and the members' local fields, while headers are read
    std::string FComment;
};

} // namespace vlm
