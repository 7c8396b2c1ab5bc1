#include "archive/arcFileIo.h"

#include "archive/arcErrors.h"
#include "platform/UErrors.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/USafeFile.h"

#include <cerrno>

namespace vlm {

int CheckArchiveFolder(const std::string& folder, std::string& reason) {
    if (!DirectoryExists(folder)) {
        reason = SysErrorMessage(ENOENT);
        return errInvalidDirectory;
    }
    if (const int error = ProbeFolder(folder, "arc"); error != 0) {
        reason = SysErrorMessage(error);
        return error == ENOENT || error == ENOTDIR ? errInvalidDirectory : errWriteProtected;
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

void TTempOutput::MoveTo(const std::string& archive, const std::function<void()>& beforeChunk) {
    if (ReplaceFileWith(*FStream, archive, {}, beforeChunk))
        FFileName.clear(); // nothing left to remove
}

std::string TempOutputFolder(const std::string& tempDir) {
    if (!tempDir.empty() && DirectoryExists(tempDir))
        return IncludeTrailingPathDelimiter(tempDir);
    return TempFolder();
}

} // namespace vlm
