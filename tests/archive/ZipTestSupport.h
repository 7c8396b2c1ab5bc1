// Test helpers for archives: a raw parser that keeps every record as written, so that
// tests can check the bytes themselves, and a fixture that writes archives with TZip.
#pragma once

#include "TestSupport.h"
#include "archive/arcZip.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace vlm::test {

struct TRawMember {
    TLocalHeader Local;     // deciphered
    TCentralHeader Central; // deciphered
    std::string LocalName;  // deciphered
    std::string CentralName;
    bool LocalEnciphered = false;
    bool CentralEnciphered = false;
    size_t LocalOffset = 0;
    size_t DataOffset = 0; // after the local header and name
    size_t DataEnd = 0;    // the next local header or the directory
};

struct TRawArchive {
    std::string Bytes;
    std::vector<TRawMember> Members;
    TEndRecord End;
    size_t EndOffset = 0;
    std::string Comment;
};

// Parses bytes strictly: the directory must account for every byte before it. Failures
// are reported with ADD_FAILURE and leave the parse short.
TRawArchive ParseRawArchive(const std::string& bytes);
TRawArchive ParseRawArchiveFile(const std::string& path);

// Decrypts a member's 12-byte encryption header with password.
std::string DecryptEncryptionHeader(const TRawArchive& archive, const TRawMember& member,
                                    const std::string& password);

// Records every OnError report of a TZip.
struct TErrorLog {
    struct TEntry {
        std::string FileName;
        std::string ExtendedMsg;
        int Code;
    };
    std::vector<TEntry> Entries;
    void Attach(TCompEvents& events);
    std::vector<int> Codes() const;
};

// One writer setting of the tests that run over every deflate type, password and header mode.
struct TZipConfig {
    TDeflateType Type;
    const char* Password;
    bool EncryptHeaders;
};

} // namespace vlm::test
