#include "archive/arcFileIo.h"

#include "archive/arcErrors.h"
#include "platform/UErrors.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"

#include <cerrno>

namespace vlm {

int CheckArchiveFolder(const std::string& folder, std::string& reason) {
    if (!DirectoryExists(folder)) {
        reason = SysErrorMessage(ENOENT);
        return errInvalidDirectory;
    }
    try {
        DeleteFile(CreateUniqueTempFile(folder, "arc"));
    } catch (const EStreamError& e) {
        reason = SysErrorMessage(e.ErrorNumber);
        return e.ErrorNumber == ENOENT || e.ErrorNumber == ENOTDIR ? errInvalidDirectory
                                                                   : errWriteProtected;
    }
    return 0;
}

TTempOutput::TTempOutput(const std::string& folder) {
    // An empty folder would put the file in the current folder.
    if (folder.empty())
        throw EFCreateError("arc????.tmp", ENOENT);
    FFileName = CreateUniqueTempFile(folder, "arc");
    try {
        FStream = std::make_unique<TFileStream>(FFileName, TFileMode::OpenReadWrite);
    } catch (...) {
        DeleteFile(FFileName);
        throw;
    }
}

TTempOutput::~TTempOutput() {
    FStream.reset();
    if (!FFileName.empty())
        DeleteFile(FFileName);
}

void TTempOutput::Discard() {
    FStream.reset();
    if (!FFileName.empty())
        DeleteFile(FFileName);
    FFileName.clear();
}

namespace {
// The copy across file systems goes to a new file beside the archive first.
void CopyBeside(const std::string& source, const std::string& target,
                const std::function<void()>& beforeChunk) {
    const std::string copy = CreateUniqueTempFile(ExtractFilePath(target), "arc");
    try {
        TFileStream in(source, TFileMode::OpenRead);
        TFileStream out(copy, TFileMode::OpenReadWrite);
        SetPublicFileMode(out.Handle(), target);
        CopyStream(in, out, -1, beforeChunk);
        out.Sync();
        out.Close();
        if (const int error = RenameReplacing(copy, target); error != 0)
            throw EFCreateError(target, error);
    } catch (...) {
        DeleteFile(copy);
        throw;
    }
}
} // namespace

void TTempOutput::MoveTo(const std::string& archive, const std::function<void()>& beforeChunk) {
    const std::string target = ResolveFileLink(archive);
    SetPublicFileMode(FStream->Handle(), target);
    FStream->Sync();
    FStream->Close();
    const int error = RenameReplacing(FFileName, target);
    if (error == 0)
        FFileName.clear(); // nothing left to remove
    else if (error == EXDEV)
        CopyBeside(FFileName, target, beforeChunk);
    else
        throw EFCreateError(target, error);
}

std::string TempOutputFolder(const std::string& tempDir) {
    if (!tempDir.empty() && DirectoryExists(tempDir))
        return IncludeTrailingPathDelimiter(tempDir);
    return RequireTempFolder();
}

} // namespace vlm
