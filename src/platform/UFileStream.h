// A file stream over a POSIX descriptor. Reads and writes go straight to the system:
// callers move data in chunks of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vlm {

enum class TFileMode {
    OpenRead,      // existing file, read only, others may read and write it meanwhile
    OpenReadWrite, // existing file, read and write
    Create,        // create or truncate, read and write
    CreateNew,     // create exclusively (fails when the file exists), mode 0600
};

class TFileStream {
public:
    // Raises EFOpenError for the open modes and EFCreateError for the create modes.
    TFileStream(std::string_view fileName, TFileMode mode);
    // Takes over an open descriptor of a regular file (closed when the stream ends).
    TFileStream(int handle, std::string_view fileName);
    ~TFileStream();
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    const std::string& FileName() const { return FFileName; }

    // Up to count bytes; fewer only at the end of the file. Raises EReadError.
    size_t Read(void* buffer, size_t count);
    // Exactly count bytes or EReadError.
    void ReadBuffer(void* buffer, size_t count);
    // All count bytes or EWriteError (carrying the system's error number).
    void WriteBuffer(const void* buffer, size_t count);
    void WriteText(std::string_view text) { WriteBuffer(text.data(), text.size()); }

    int64_t Position() const;
    void SetPosition(int64_t position);
    int64_t SeekEnd();
    int64_t Size() const;
    // The size the file had when this stream opened it: what Size() would have said then,
    // without asking the system again (for a descriptor taken over, Size()).
    int64_t SizeAtOpen() const { return FSizeAtOpen >= 0 ? FSizeAtOpen : Size(); }
    void SetSize(int64_t size); // truncates or extends; raises EWriteError
    void Sync();                // flushes to the device; raises EWriteError
    // Closes now; a failure to close (a delayed write error) raises EWriteError.
    void Close();
    int Handle() const { return FHandle; }
    // Sets the last access and modification times; false when the system refuses.
    bool SetModificationTime(int64_t unixTime);

private:
    std::string FFileName;
    int FHandle = -1;
    // The descriptor's offset as this stream moved it, or -1 when not known (a descriptor
    // taken over, a failed read or write): asked of the system only then.
    mutable int64_t FPosition = -1;
    int64_t FSizeAtOpen = -1;
};

// Copies count bytes (or everything to the end when count < 0) from source into dest in
// chunks; returns the bytes copied. The callback, when given, runs before each chunk.
int64_t CopyStream(TFileStream& source, TFileStream& dest, int64_t count = -1,
                   const std::function<void()>& beforeChunk = {});

} // namespace vlm
