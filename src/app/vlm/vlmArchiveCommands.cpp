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
void ReadNameList(TCompOptions& options, bool absolute, std::istream& in) {
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            options.LiteralSpec.push_back(ExpandFileName(line));
    }
    if (!absolute) {
        options.StoredDirNames = sdExplorer_UserDefineDefaultDir;
        options.DefaultDir = IncludeTrailingPathDelimiter(GetCurrentFolder());
    }
}

void Configure(TCompOptions& options, const TParsedArgs& parsed, std::istream& in) {
    options.ArchiveFile = ExpandFileName(parsed.Positionals[0]);
    for (size_t i = 1; i < parsed.Positionals.size(); ++i)
        options.FileSpec.push_back(SpecLine(parsed.Positionals[i]));
    for (const std::string& e : parsed.All("--exclude"))
        options.ExcludeSpec.push_back(ExcludeLine(e));
    options.Password = parsed.Get("--password");
    options.EncryptHeaders = !parsed.Has("--plain-headers");
    if (parsed.Has("--store") && parsed.Has("--level"))
        throw EUsage("--store and --level exclude each other");
    if (parsed.Has("--store"))
        options.CompressMethod = cmStore;
    else if (parsed.Has("--level"))
        options.DeflateType = LevelOption(parsed.Get("--level"));
    options.StoredDirNames = parsed.Has("--absolute") ? sdAbsolute : sdRelative;
    if (parsed.Has("-@"))
        ReadNameList(options, parsed.Has("--absolute"), in);
    options.RecurseDirs = !parsed.Has("--no-recurse");
    options.Jobs = JobsOption(parsed);
}

// Names on the command line or on standard input that name nothing; whether there were any.
bool ReportMissing(const TParsedArgs& parsed, const TCompOptions& options, std::ostream& err) {
    bool missing = false;
    for (size_t i = 1; i < parsed.Positionals.size(); ++i) {
        const std::string& spec = parsed.Positionals[i];
        if (!HasWildcard(spec) && !FileExists(spec) && !DirectoryExists(spec)) {
            err << "vlm zip: \"" << spec << "\": nothing of that name\n";
            missing = true;
        }
    }
    for (const std::string& name : options.LiteralSpec) {
        if (!FileExists(name)) {
            err << "vlm zip: \"" << name << "\": nothing of that name\n";
            missing = true;
        }
    }
    return missing;
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
    TCompOptions options;
    Configure(options, parsed, in);

    bool failed = ReportMissing(parsed, options, err);
    bool cancelled = false;
    TCompEvents events;
    events.OnError = [&](TCompBase&, const std::string& fileName, const std::string& extendedMsg,
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
    const std::string archive = ArchiveFileName(options.ArchiveFile, options.DefaultExt);
    events.OnBegin = [&](TCompBase&, const std::string& fileName, int, bool& extract) {
        extract = !SameFileName(fileName, archive);
    };
    events.ProcessMessages = [&] {
        if (Interrupted() && !zip.GetCancel())
            zip.SetCancel(true);
    };
    const TInterruptGuard guard;
    const int added = zip.Compress(std::move(options), events);
    if (added > 0)
        out << "added " << added << (added == 1 ? " file" : " files") << " to \"" << archive
            << "\"\n";
    if (cancelled)
        return CancelledExitCode();
    return failed ? ExitError : ExitOK;
}

} // namespace vlm::cli
