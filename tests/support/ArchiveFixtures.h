// Archives for the reader's tests, made without the archive writer: a small builder
// whose records can be damaged on purpose, archives from python3's zipfile and from 7-Zip,
// header encipherment of an existing plain archive, and the executable form.
#pragma once

#include "archive/arcRecords.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vlm::test {

struct TTestMember {
    TTestMember(std::string name, std::string data, uint16_t method = MethodDeflated,
                std::string password = {})
        : Name(std::move(name)), Data(std::move(data)), Method(method),
          Password(std::move(password)) {}
    std::string Name;
    std::string Data;
    uint16_t Method = MethodDeflated;
    std::string Password; // empty: not encrypted
    std::string Junk;     // bytes after the data, counted in the compressed size
};

// Writes local headers, names, encryption headers and data, the central directory, the end
// record and the comment. The edit hooks change a record before it is packed.
struct TTestArchive {
    std::vector<TTestMember> Members;
    std::string Comment;
    bool EncipherHeaders = false;
    // Sizes and offsets in Zip64 extra fields, counts in the Zip64 end record.
    bool Zip64 = false;
    std::function<void(size_t index, TLocalHeader&)> EditLocal;
    std::function<void(size_t index, TCentralHeader&)> EditCentral;
    std::function<void(TEndRecord&)> EditEnd;
    std::function<void(std::string& record, std::string& locator)> EditZip64;

    std::string Build() const;

private:
    std::string Payload(const TTestMember& member, TLocalHeader& local) const;
};

// Raw deflate of data at level 6.
std::string Deflate(const std::string& data);

// Enciphers every local and central header and name of a plain archive (as the writer does
// with EncipherHeaders on) and gives them the enciphered signatures.
std::string EncipherArchiveHeaders(std::string archive);

// The executable output form: viewer bytes, the archive and the 8-byte trailer.
std::string MakeExecutable(const std::string& viewer, const std::string& archive);

struct TZipEntry {
    std::string Name;
    std::string Data;
};

// An archive written by python3's zipfile (deflated or stored). With streamed on, it is
// written to an unseekable file, so every member carries a data descriptor; with zip64 on,
// every local header carries its sizes in a Zip64 extra field.
std::string MakePythonZip(const std::vector<TZipEntry>& entries, const std::string& comment,
                          bool deflate, bool streamed = false, bool zip64 = false);

// An archive written by 7-Zip with traditional encryption; empty when 7zz is missing.
std::string Make7zEncryptedZip(const std::vector<TZipEntry>& entries, const std::string& password);

} // namespace vlm::test
