#include "vlm/vlmReadCommands.h"

#include "archive/arcExtract.h"
#include "archive/arcReader.h"
#include "pipeline/UBuild.h"
#include "platform/UErrors.h"

#include <cstdio>
#include <ostream>

namespace vlm::cli {

namespace {

// The password every build encrypts its members with.
const char* const BuildPassword = "Qm42Tx7150";

void CheckInterrupt() {
    if (Interrupted())
        throw EAbort();
}

std::string MethodName(uint16_t method) {
    if (method == MethodStored)
        return "Stored";
    if (method == MethodDeflated)
        return "Deflate";
    return "Method " + std::to_string(method);
}

std::string MemberLine(const TArchiveMember& m) {
    const TCentralHeader& c = m.Central;
    char line[160];
    std::snprintf(line, sizeof line,
                  "%10llu %11llu  %-9s 0x%04X  %08X  %04d-%02d-%02d %02d:%02d:%02d  %-10s ",
                  static_cast<unsigned long long>(m.UncompressedSize),
                  static_cast<unsigned long long>(m.CompressedSize), MethodName(c.Method).c_str(),
                  c.Flags, c.Crc, (c.Date >> 9) + 1980, (c.Date >> 5) & 15, c.Date & 31,
                  c.Time >> 11, (c.Time >> 5) & 63, (c.Time & 31) * 2,
                  m.HeadersEnciphered ? "enciphered" : "plain");
    return line + PrintableName(m.Name);
}

// The last component of a stored name or path, "/" and "\\" both separating.
std::string_view LastComponent(std::string_view name) {
    const size_t slash = name.find_last_of("/\\");
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

// A build output carries the settings member and names it in the archive comment, through
// which the viewer finds it; one without that comment is not whole.
bool LacksSettingsComment(const TArchiveReader& reader) {
    bool hasSettings = false;
    for (const TArchiveMember& m : reader.Members())
        hasSettings = hasSettings || LastComponent(m.Name) == SettingsFileName;
    return hasSettings && LastComponent(reader.Comment()) != SettingsFileName;
}

const std::string& ArchiveArg(const TParsedArgs& parsed) {
    if (parsed.Positionals[0].empty())
        throw EUsage("the archive file name is empty");
    return parsed.Positionals[0];
}

} // namespace

int RunList(const TArgs& args, std::istream&, std::ostream& out, std::ostream& err) {
    (void)err;
    const TParsedArgs parsed = ParseArgs(args, {});
    RequirePositionals(parsed, 1, 1);
    const TArchiveReader reader(ArchiveArg(parsed));
    out << "Archive \"" << reader.FileName() << "\"";
    if (reader.ArchiveOffset() != 0)
        out << ", beginning at offset " << reader.ArchiveOffset() << " (executable output)";
    out << "\n    Length  Compressed  Method    Flags   CRC-32    Modified             Headers     "
           "Name\n";
    uint64_t length = 0, compressed = 0;
    for (const TArchiveMember& m : reader.Members()) {
        out << MemberLine(m) << "\n";
        length += m.UncompressedSize;
        compressed += m.CompressedSize;
    }
    out << reader.Members().size() << " members, " << length << " bytes (" << compressed
        << " compressed)\n";
    out << "Comment: " << PrintableName(reader.Comment()) << "\n";
    return ExitOK;
}

int RunVerify(const TArgs& args, std::istream&, std::ostream& out, std::ostream& err) {
    const TParsedArgs parsed = ParseArgs(args, {{"--password", true}});
    RequirePositionals(parsed, 1, 1);
    TArchiveReader reader(ArchiveArg(parsed));
    const std::string password = parsed.Get("--password", BuildPassword);
    const TInterruptGuard interruptGuard;
    size_t failures = 0;
    for (size_t i = 0; i < reader.Members().size(); ++i) {
        try {
            reader.ReadMember(i, password, [](const char*, size_t) { CheckInterrupt(); });
            out << "OK      " << PrintableName(reader.Members()[i].Name) << "\n";
        } catch (const EVlmError& e) {
            err << "vlm verify: " << e.what() << "\n";
            ++failures;
        }
    }
    if (failures != 0) {
        err << "vlm verify: " << failures << " of " << reader.Members().size() << " members of \""
            << reader.FileName() << "\" are damaged or unreadable\n";
        return ExitError;
    }
    if (LacksSettingsComment(reader)) {
        err << "vlm verify: \"" << reader.FileName() << "\" holds the build's " << SettingsFileName
            << " member but not the archive comment that names it\n";
        return ExitError;
    }
    out << "All " << reader.Members().size() << " members are sound.\n";
    return ExitOK;
}

int RunExtract(const TArgs& args, std::istream&, std::ostream& out, std::ostream& err) {
    const TParsedArgs parsed = ParseArgs(args, {{"--password", true}, {"--force", false}});
    RequirePositionals(parsed, 2, 2);
    if (parsed.Positionals[1].empty())
        throw EUsage("the destination folder name is empty");
    TArchiveReader reader(ArchiveArg(parsed));
    TArchiveExtractor extractor(reader, parsed.Positionals[1]);
    extractor.Password = parsed.Get("--password", BuildPassword);
    extractor.Force = parsed.Has("--force");
    extractor.BeforeChunk = CheckInterrupt;
    const TInterruptGuard interruptGuard;
    size_t failures = 0;
    for (size_t i = 0; i < reader.Members().size(); ++i) {
        try {
            out << PrintableName(extractor.ExtractMember(i)) << "\n";
        } catch (const EVlmError& e) {
            err << "vlm extract: " << e.what() << "\n";
            ++failures;
        }
    }
    if (failures != 0) {
        err << "vlm extract: " << failures << " of " << reader.Members().size()
            << " members were not extracted\n";
        return ExitError;
    }
    return ExitOK;
}

} // namespace vlm::cli
