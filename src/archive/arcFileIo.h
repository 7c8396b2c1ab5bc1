// The archive's folder check, the temporary output a new archive is assembled in, and
// putting the finished output in the archive's place.
#pragma once

#include "platform/UFileStream.h"

#include <functional>
#include <memory>
#include <string>

namespace vlm {

// Checks that folder exists and takes new files: a probe file ("arc" prefix) is created
// there and removed. Returns 0, errInvalidDirectory or errWriteProtected; reason gets the
// system's text on failure.
int CheckArchiveFolder(const std::string& folder, std::string& reason);

// A new, empty, private file in folder ("arc" + 4 hex digits + ".tmp"), open for reading and
// writing. It is removed when the object ends unless Release was called.
class TTempOutput {
public:
    explicit TTempOutput(const std::string& folder);
    ~TTempOutput();
    TTempOutput(const TTempOutput&) = delete;
    TTempOutput& operator=(const TTempOutput&) = delete;

    const std::string& FileName() const { return FFileName; }
    TFileStream& Stream() { return *FStream; }
    // Closes the stream and removes the file now.
    void Discard();

    // Puts the finished output in archive's place: a rename, or, across file systems, a
    // copy next to the archive that is then renamed over it, so the archive's name never
    // holds a partial file. A link named by archive is followed. beforeChunk runs before
    // each chunk of a copy. Raises the stream errors; on failure the archive is untouched.
    void MoveTo(const std::string& archive, const std::function<void()>& beforeChunk);

private:
    std::string FFileName;
    std::unique_ptr<TFileStream> FStream;
};

// The folder for temporary outputs: tempDir when it names an existing folder, else the
// platform's private temporary folder; raises EVlmError (naming the temporary folder and the
// reason) when that cannot be made.
std::string TempOutputFolder(const std::string& tempDir);

} // namespace vlm
