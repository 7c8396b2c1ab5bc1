// The one way a user's file is replaced: the new bytes go to a temporary file beside the
// target, which is flushed to the device and then renamed over the target, so the
// target's name holds either the old file or the whole new one, never a partial file.
//
// The final permissions are computed once, when the file is opened: those of the file
// being replaced, else those a plain create would give (0666, or 0777 for executables,
// less the umask). The owner and group of a replaced file are kept where the process may
// set them. A symbolic link at the target is followed, so the file is replaced where it
// lives and the link stays a link; a link that the kernel's protected-symlinks rule
// would refuse (one in a sticky, world-writable folder owned by neither the caller nor
// the folder's owner) is refused with an error naming it.
//
// A TSafeFile that ends without Commit (an exception, a cancel) removes its temporary
// file and leaves the target untouched.
#pragma once

#include "platform/UFileStream.h"
#include "platform/UFolder.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace vlm {

struct TSafeFileOptions {
    bool Executable = false; // a new file gets 0777 less the umask instead of 0666
    bool Replace = true;     // false: Commit fails (EEXIST) when the name exists meanwhile
    bool FollowLinks = true; // false: a link at the name is replaced itself, never followed
};

class TSafeFile {
public:
    // Opens a temporary file beside target. Raises EFCreateError naming target.
    explicit TSafeFile(std::string_view target, const TSafeFileOptions& options = {});
    // The same for the entry name of an open folder; displayName names it in messages.
    TSafeFile(const TFolderHandle& folder, std::string_view name, std::string_view displayName,
              const TSafeFileOptions& options = {});
    ~TSafeFile();
    TSafeFile(const TSafeFile&) = delete;
    TSafeFile& operator=(const TSafeFile&) = delete;

    // The target as given (for messages).
    const std::string& FileName() const;
    // The temporary file's path (for messages and tests).
    std::string TempPath() const;
    // The stream on the temporary file, for reads, seeks and copies; its write errors do
    // not name the target, Write's do.
    TFileStream& Stream();

    // Raises EWriteError naming the target and the system's reason.
    void Write(const void* data, size_t count);
    void WriteText(std::string_view text) { Write(text.data(), text.size()); }

    // Gives the file its final mode and owner, flushes it to the device, renames it over
    // the target and flushes the folder. Raises EWriteError or EFCreateError naming the
    // target; the temporary file is then gone and the target untouched.
    void Commit();
    // Removes the temporary file now; the target stays as it was.
    void Cancel();

private:
    struct TState;
    std::unique_ptr<TState> F;
};

// Puts source, a finished file (for example an archive assembled in the private temporary
// folder), in target's place with the same care: final mode and owner given to source,
// source flushed and renamed over the target; across file systems it is copied into a
// TSafeFile beside the target (beforeChunk runs before each chunk) and source stays where
// it is. Closes source. Returns whether source was moved (true) or copied (false).
bool ReplaceFileWith(TFileStream& source, std::string_view target,
                     const TSafeFileOptions& options = {},
                     const std::function<void()>& beforeChunk = {});

// Whether candidate is (by its name) a temporary file that a TSafeFile for target makes
// beside it: the same folder, "." + target's name + "." + 16 hex digits + ".tmp". The
// target is taken as given: for a link, ask about the path it leads to as well.
bool IsSafeFileTemporaryOf(std::string_view target, std::string_view candidate);

// The process's file-creation mask, read without changing it.
uint32_t ProcessUmask();

} // namespace vlm
