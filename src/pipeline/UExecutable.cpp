#include "pipeline/UExecutable.h"

#include "pipeline/UProgress.h"
#include "platform/UErrors.h"
#include "platform/UFileStream.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/USafeFile.h"

namespace vlm {

namespace {

// Copies all of source into dest; a failure names the file it happened on. Messages are
// processed and Cancel is honoured between chunks, so a large copy stays responsive.
void CopyWhole(TBuildHost& host, TFileStream& source, TFileStream& dest,
               const std::string& destName) {
    try {
        CopyStream(source, dest, -1, [&] { CheckForCancel(host); });
    } catch (const EReadError& e) {
        throw EVlmError(FormatMessage("Cannot read file \"%s\". %s",
                                      {source.FileName(), SysErrorMessage(e.ErrorNumber)}));
    } catch (const EWriteError& e) {
        throw EVlmError(FormatMessage("Cannot write file \"%s\". %s",
                                      {destName, SysErrorMessage(e.ErrorNumber)}));
    }
}

void WriteOffset(TFileStream& dest, uint64_t offset, const std::string& destName) {
    unsigned char trailer[8];
    for (int i = 0; i < 8; ++i)
        trailer[i] = static_cast<unsigned char>(offset >> (8 * i));
    try {
        dest.WriteBuffer(trailer, sizeof trailer);
    } catch (const EWriteError& e) {
        throw EVlmError(FormatMessage("Cannot write file \"%s\". %s",
                                      {destName, SysErrorMessage(e.ErrorNumber)}));
    }
}

void JoinParts(TBuildHost& host, TFileStream& out, const std::string& viewer,
               const std::string& archive, const std::string& output) {
    TFileStream viewerIn(viewer, TFileMode::OpenRead);
    TFileStream archiveIn(archive, TFileMode::OpenRead);
    const auto showSize = [&] { host.SetSizeText(FormatSize(static_cast<uint64_t>(out.Size()))); };
    StepProgress(host, 10);
    showSize();
    CheckForCancel(host);
    CopyWhole(host, viewerIn, out, output);
    const auto viewerLength = static_cast<uint64_t>(out.Position());
    StepProgress(host, 20);
    showSize();
    CheckForCancel(host);
    CopyWhole(host, archiveIn, out, output);
    StepProgress(host, 50);
    host.SetSizeCaption("Output file size");
    showSize();
    CheckForCancel(host);
    WriteOffset(out, viewerLength, output);
    StepProgress(host, 10);
    host.SetSizeText(FormatSize(static_cast<uint64_t>(out.Size())));
    CheckForCancel(host);
}

} // namespace

void JoinExecutable(TBuildHost& host, const std::string& viewer, const std::string& archive,
                    const std::string& output) {
    // The executable can be started by its user (0777 less the umask), also when it
    // replaces a file that could not be; the replaced file's owner is kept.
    TSafeFileOptions options;
    options.Executable = true;
    TSafeFile file(output, options);
    JoinParts(host, file.Stream(), viewer, archive, output);
    if (FileExists(archive))
        DeleteFile(archive);
    StepProgress(host, 10);
    CheckForCancel(host);
    try {
        file.Commit();
    } catch (const EWriteError& e) {
        throw EVlmError(FormatMessage("Cannot write file \"%s\". %s",
                                      {output, SysErrorMessage(e.ErrorNumber)}));
    }
}

} // namespace vlm
