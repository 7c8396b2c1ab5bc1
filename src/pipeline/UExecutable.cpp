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
void CopyWhole(TProgress& progress, TFileStream& source, TFileStream& dest,
               const std::string& destName) {
    try {
        CopyStream(source, dest, -1, [&] { progress.Check(); });
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

void JoinParts(TProgress& progress, TFileStream& out, const std::string& viewer,
               const std::string& archive, const std::string& output) {
    TFileStream viewerIn(viewer, TFileMode::OpenRead);
    TFileStream archiveIn(archive, TFileMode::OpenRead);
    const auto showSize = [&] { progress.Events().Size(static_cast<uint64_t>(out.Size())); };
    progress.Step(10);
    showSize();
    progress.Check();
    CopyWhole(progress, viewerIn, out, output);
    const auto viewerLength = static_cast<uint64_t>(out.Position());
    progress.Step(20);
    showSize();
    progress.Check();
    CopyWhole(progress, archiveIn, out, output);
    progress.Step(50);
    progress.Events().SizeCaption("Output file size");
    showSize();
    progress.Check();
    WriteOffset(out, viewerLength, output);
    progress.Step(10);
    progress.Events().Size(static_cast<uint64_t>(out.Size()));
    progress.Check();
}

} // namespace

void JoinExecutable(TProgress& progress, const std::string& viewer, const std::string& archive,
                    const std::string& output) {
    // The executable can be started by its user (0777 less the umask), also when it
    // replaces a file that could not be; the replaced file's owner is kept.
    TSafeFileOptions options;
    options.Executable = true;
    TSafeFile file(output, options);
    JoinParts(progress, file.Stream(), viewer, archive, output);
    if (FileExists(archive))
        DeleteFile(archive);
    progress.Step(10);
    progress.Check();
    try {
        file.Commit();
    } catch (const EWriteError& e) {
        throw EVlmError(FormatMessage("Cannot write file \"%s\". %s",
                                      {output, SysErrorMessage(e.ErrorNumber)}));
    }
}

} // namespace vlm
