#include "archive/arcExtract.h"

#include "platform/UFileSys.h"
#include "platform/UPaths.h"

#include "platform/UErrors.h"
#include "platform/USafeFile.h"

#include <cerrno>
#include <ctime>

namespace vlm {

namespace {

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The DOS date and time of a member as a time of this machine's local clock.
time_t DosToTime(uint16_t date, uint16_t time) {
    struct tm t {};
    t.tm_year = (date >> 9) + 80;
    t.tm_mon = ((date >> 5) & 15) - 1;
    t.tm_mday = date & 31;
    t.tm_hour = time >> 11;
    t.tm_min = (time >> 5) & 63;
    t.tm_sec = (time & 31) * 2;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

} // namespace

std::string TMemberPath::Text() const {
    std::string text;
    for (const std::string& component : Components)
        text += (text.empty() ? "" : std::string(1, PathDelim)) + component;
    return text;
}

bool MakeMemberPath(std::string_view name, TMemberPath& path, std::string& reason) {
    path = TMemberPath();
    if (name.find('\0') != std::string_view::npos) {
        reason = "its name holds a NUL character.";
        return false;
    }
    // Names written on Windows may carry a drive and backslashes.
    if (name.size() >= 2 && IsAsciiLetter(name[0]) && name[1] == ':')
        name.remove_prefix(2);
    std::string component;
    const auto endComponent = [&]() {
        if (!component.empty() && component != ".")
            path.Components.push_back(component);
        component.clear();
    };
    for (const char c : name) {
        if (c == '/' || c == '\\')
            endComponent();
        else
            component += c;
    }
    path.IsFolder = component.empty() && !name.empty();
    endComponent();
    for (const std::string& part : path.Components) {
        if (part == "..") {
            reason = "its name leads out of the destination folder (\"..\").";
            return false;
        }
    }
    if (path.Components.empty()) {
        reason = "its name holds no file name.";
        return false;
    }
    return true;
}

TArchiveExtractor::TArchiveExtractor(TArchiveReader& reader, const std::string& folder)
    : FReader(reader), FFolder(IncludeTrailingPathDelimiter(folder)) {
    int error = ForceFolders(FFolder);
    if (error == 0)
        error = FHandle.Open(FFolder);
    if (error != 0)
        throw EVlmError(
            FormatMessage("Cannot create folder \"%s\". %s", {FFolder, SysErrorMessage(error)}));
}

void TArchiveExtractor::Fail(size_t index, const std::string& reason) const {
    throw EArchiveError(
        FormatMessage("Cannot extract \"%s\" from \"%s\". %s",
                      {PrintableName(FReader.Members()[index].Name), FReader.FileName(), reason}));
}

TFolderHandle TArchiveExtractor::OpenParentFolder(const TMemberPath& path, size_t index) {
    TFolderHandle folder = FHandle.Duplicate();
    const size_t folders = path.Components.size() - (path.IsFolder ? 0 : 1);
    std::string walked = FFolder;
    for (size_t i = 0; i < folders; ++i) {
        const std::string& part = path.Components[i];
        walked += part + PathDelim;
        // A link planted inside the destination is never followed.
        TFolderHandle next;
        if (const int error = folder.OpenChild(part, true, next); error == ENOTDIR)
            Fail(index, FormatMessage("\"%s\" is a link or a file, not a folder.", {walked}));
        else if (error != 0)
            Fail(index, FormatMessage("Cannot create folder \"%s\". %s",
                                      {walked, SysErrorMessage(error)}));
        folder = std::move(next);
    }
    return folder;
}

std::string TArchiveExtractor::ExtractMember(size_t index) {
    const TArchiveMember& member = FReader.Members().at(index);
    TMemberPath path;
    std::string reason;
    if (!MakeMemberPath(member.Name, path, reason))
        Fail(index, "The member's name is refused: " + reason);
    const TFolderHandle folder = OpenParentFolder(path, index);
    if (!path.IsFolder) {
        const std::string& name = path.Components.back();
        if (const TEntryKind kind = folder.KindOf(name); kind != TEntryKind::None) {
            if (kind == TEntryKind::Folder)
                Fail(index, "\"" + FFolder + path.Text() + "\" is a folder.");
            if (!Force && !FWritten.count(path.Text()))
                Fail(index, "\"" + FFolder + path.Text() +
                                "\" already exists (use --force to replace it).");
        }
        WriteFile(folder, name, path, index);
        FWritten.insert(path.Text());
    }
    return path.Text();
}

// The member goes to a temporary file beside its name and takes the name only when it is
// whole; the temporary file goes on every other way out (a failure, an exception of
// BeforeChunk such as Ctrl+C).
void TArchiveExtractor::WriteFile(const TFolderHandle& folder, const std::string& name,
                                  const TMemberPath& path, size_t index) {
    const std::string target = FFolder + path.Text();
    TSafeFileOptions options;
    options.FollowLinks = false;
    // Without --force an existing file is never replaced, even one that appeared
    // meanwhile.
    options.Replace = Force || FWritten.count(path.Text()) != 0;
    try {
        TSafeFile file(folder, name, target, options);
        FReader.ReadMember(index, Password, [&](const char* data, size_t size) {
            if (BeforeChunk)
                BeforeChunk();
            file.Write(data, size);
        });
        const TCentralHeader& c = FReader.Members()[index].Central;
        file.Stream().SetModificationTime(DosToTime(c.Date, c.Time));
        file.Commit();
    } catch (const EWriteError& e) {
        Fail(index,
             FormatMessage("Cannot write \"%s\". %s", {target, SysErrorMessage(e.ErrorNumber)}));
    } catch (const EFCreateError& e) {
        Fail(index, e.what());
    }
}

} // namespace vlm
