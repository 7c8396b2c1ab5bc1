#include "vlm/vlmArchiveCommands.h"

#include "archive/arcZip.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"

#include <istream>
#include <ostream>

namespace vlm::cli {

namespace {

// A specification line: a folder stands for everything in it.
std::string SpecLine(const std::string& arg) {
    std::string line = ExpandFileName(arg);
    if (DirectoryExists(line))
        line = IncludeTrailingPathDelimiter(line);
    if (!line.empty() && line.back() == PathDelim)
        line += "*";
    return line;
}

bool HasWildcard(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

// An exclusion without a folder applies to names in every folder; one with a folder is
// made absolute like the specifications.
std::string ExcludeLine(const std::string& arg) {
    if (arg.find(PathDelim) == std::string::npos)
        return arg;
    return SpecLine(arg);
}

TDeflateType LevelOption(const std::string& level) {
    if (level == "1")
        return dtDeflateF;
    if (level == "6")
        return dtDeflateN;
    if (level == "9")
        return dtDeflateX;
    throw EUsage("--level takes 1, 6 or 9, not '" + level + "'");
}

// "-@": the names to pack, one a line on standard input, each naming exactly one file (no
// mask, no folder walk), as Info-ZIP's -@ takes them. They are stored as given relative to
// the current folder, or with --absolute as full paths, as a build stores its files.
void ReadNameList(TZip& zip, bool absolute, std::istream& in) {
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            zip.LiteralSpec.push_back(ExpandFileName(line));
    }
    if (!absolute) {
        zip.StoredDirNames = sdExplorer_UserDefineDefaultDir;
        zip.DefaultDir = IncludeTrailingPathDelimiter(GetCurrentFolder());
    }
}

void Configure(TZip& zip, const TParsedArgs& parsed, std::istream& in) {
    zip.SetArchiveFile(ExpandFileName(parsed.Positionals[0]));
    for (size_t i = 1; i < parsed.Positionals.size(); ++i)
        zip.FileSpec.push_back(SpecLine(parsed.Positionals[i]));
    for (const std::string& e : parsed.All("--exclude"))
        zip.ExcludeSpec.push_back(ExcludeLine(e));
    zip.Password = parsed.Get("--password");
    zip.EncryptHeaders = !parsed.Has("--plain-headers");
    if (parsed.Has("--store") && parsed.Has("--level"))
        throw EUsage("--store and --level exclude each other");
    if (parsed.Has("--store"))
        zip.SetCompressMethod(cmStore);
    else if (parsed.Has("--level"))
        zip.DeflateType = LevelOption(parsed.Get("--level"));
    zip.StoredDirNames = parsed.Has("--absolute") ? sdAbsolute : sdRelative;
    if (parsed.Has("-@"))
        ReadNameList(zip, parsed.Has("--absolute"), in);
    zip.RecurseDirs = !parsed.Has("--no-recurse");
    zip.Jobs = JobsOption(parsed);
}

} // namespace

int RunZip(const TArgs& args, std::istream& in, std::ostream& out, std::ostream& err) {
    const TParsedArgs parsed = ParseArgs(args, {{"--exclude", true},
                                                {"--password", true},
                                                {"--plain-headers", false},
                                                {"--store", false},
                                                {"--level", true},
                                                {"--absolute", false},
                                                {"--no-recurse", false},
                                                {"--jobs", true},
                                                {"-@", false}});
    RequirePositionals(parsed, parsed.Has("-@") ? 1 : 2, -1);
    if (parsed.Positionals[0].empty())
        throw EUsage("the archive name is empty");
    TZip zip;
    Configure(zip, parsed, in);

    bool failed = false;
    for (size_t i = 1; i < parsed.Positionals.size(); ++i) {
        const std::string& spec = parsed.Positionals[i];
        if (!HasWildcard(spec) && !FileExists(spec) && !DirectoryExists(spec)) {
            err << "vlm zip: \"" << spec << "\": nothing of that name\n";
            failed = true;
        }
    }
    for (const std::string& name : zip.LiteralSpec) {
        if (!FileExists(name)) {
            err << "vlm zip: \"" << name << "\": nothing of that name\n";
            failed = true;
        }
    }
    bool cancelled = false;
    zip.OnError = [&](TCompBase&, const std::string& fileName, const std::string& extendedMsg,
                      const std::string&, int code) {
        if (code == errUserCanceled) {
            cancelled = true;
            return;
        }
        err << "vlm zip: ";
        if (!fileName.empty())
            err << "\"" << fileName << "\": ";
        err << ArcErrorText(code);
        if (!extendedMsg.empty())
            err << " (" << extendedMsg << ")";
        err << "\n";
        failed = true;
    };
    // The archive never takes an older copy of itself.
    const std::string archive = zip.ArchiveFile();
    zip.OnBegin = [&](TCompBase&, const std::string& fileName, int, bool& extract) {
        extract = !SameFileName(fileName, archive);
    };
    zip.ProcessMessages = [&] {
        if (Interrupted() && !zip.GetCancel())
            zip.SetCancel(true);
    };
    const TInterruptGuard guard;
    const int added = zip.Compress();
    if (added > 0)
        out << "added " << added << (added == 1 ? " file" : " files") << " to \"" << archive
            << "\"\n";
    if (cancelled)
        return CancelledExitCode();
    return failed ? ExitError : ExitOK;
}

} // namespace vlm::cli
