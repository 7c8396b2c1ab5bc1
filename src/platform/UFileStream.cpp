#include "platform/UFileStream.h"

#include "platform/UErrors.h"
#include "platform/UTestHooks.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vlm {

TFileStream::TFileStream(std::string_view fileName, TFileMode mode) : FFileName(fileName) {
    int flags = O_CLOEXEC;
    mode_t permissions = 0666;
    switch (mode) {
    case TFileMode::OpenRead:
        flags |= O_RDONLY;
        break;
    case TFileMode::OpenReadWrite:
        flags |= O_RDWR;
        break;
    case TFileMode::Create:
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        break;
    case TFileMode::CreateNew:
        flags |= O_RDWR | O_CREAT | O_EXCL;
        permissions = 0600;
        break;
    }
    // O_NONBLOCK keeps a FIFO from blocking the open; it is cleared again for a file.
    const int failure = mode == TFileMode::OpenRead ? hook_state::OpenFailure(FFileName) : 0;
    FHandle = failure != 0 ? -1 : ::open(FFileName.c_str(), flags | O_NONBLOCK, permissions);
    int error = failure != 0 ? failure : errno;
    if (FHandle >= 0) {
        // Only regular files are read: a folder, FIFO or device is refused (reading one
        // could block or never end). Writing may also go to a character device.
        struct stat st;
        int statError = ::fstat(FHandle, &st) != 0 ? errno : 0;
        const bool reading = mode == TFileMode::OpenRead || mode == TFileMode::OpenReadWrite;
        if (statError == 0 && !S_ISREG(st.st_mode) && (reading || !S_ISCHR(st.st_mode)))
            statError = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        if (statError != 0) {
            error = statError;
            ::close(FHandle);
            FHandle = -1;
        } else {
            ::fcntl(FHandle, F_SETFL, ::fcntl(FHandle, F_GETFL) & ~O_NONBLOCK);
            FSizeAtOpen = st.st_size;
        }
    }
    if (FHandle < 0) {
        if (mode == TFileMode::OpenRead || mode == TFileMode::OpenReadWrite)
            throw EFOpenError(FFileName, error);
        throw EFCreateError(FFileName, error);
    }
    FPosition = 0;
}

TFileStream::TFileStream(int handle, std::string_view fileName)
    : FFileName(fileName), FHandle(handle) {}

TFileStream::~TFileStream() {
    if (FHandle >= 0)
        ::close(FHandle);
}

void TFileStream::Close() {
    if (FHandle < 0)
        return;
    const int handle = FHandle;
    FHandle = -1;
    FPosition = -1;
    if (::close(handle) != 0 && errno != EINTR)
        throw EWriteError(errno);
}

size_t TFileStream::Read(void* buffer, size_t count) {
    size_t done = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(FHandle, bytes + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            FPosition = -1;
            throw EReadError(errno);
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    if (FPosition >= 0)
        FPosition += static_cast<int64_t>(done);
    return done;
}

void TFileStream::ReadBuffer(void* buffer, size_t count) {
    if (Read(buffer, count) != count)
        throw EReadError(0);
}

void TFileStream::WriteBuffer(const void* buffer, size_t count) {
    int seamError = 0;
    const auto allowed = static_cast<size_t>(hook_state::AllowedWrite(count, seamError));
    size_t done = 0;
    const auto* bytes = static_cast<const char*>(buffer);
    while (done < allowed) {
        const ssize_t n = ::write(FHandle, bytes + done, allowed - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            FPosition = -1;
            throw EWriteError(errno);
        }
        done += static_cast<size_t>(n);
    }
    if (FPosition >= 0)
        FPosition += static_cast<int64_t>(done);
    if (allowed < count)
        throw EWriteError(seamError);
}

int64_t TFileStream::Position() const {
    if (FPosition < 0)
        FPosition = ::lseek(FHandle, 0, SEEK_CUR);
    return FPosition;
}

void TFileStream::SetPosition(int64_t position) {
    if (position >= 0 && position == FPosition)
        return;
    if (::lseek(FHandle, position, SEEK_SET) < 0) {
        FPosition = -1;
        throw EReadError(errno);
    }
    FPosition = position;
}

int64_t TFileStream::SeekEnd() {
    FPosition = ::lseek(FHandle, 0, SEEK_END);
    return FPosition;
}

int64_t TFileStream::Size() const {
    struct stat st;
    if (::fstat(FHandle, &st) != 0)
        return -1;
    return st.st_size;
}

void TFileStream::SetSize(int64_t size) {
    if (::ftruncate(FHandle, size) != 0)
        throw EWriteError(errno);
}

bool TFileStream::SetModificationTime(int64_t unixTime) {
    const struct timespec times[2] = {{static_cast<time_t>(unixTime), 0},
                                      {static_cast<time_t>(unixTime), 0}};
    return ::futimens(FHandle, times) == 0;
}

void TFileStream::Sync() {
    if (const int error = hook_state::StepFailure(TFileStep::Sync); error != 0)
        throw EWriteError(error);
    if (::fsync(FHandle) != 0 && errno != EINVAL && errno != EROFS)
        throw EWriteError(errno);
}

int64_t CopyStream(TFileStream& source, TFileStream& dest, int64_t count,
                   const std::function<void()>& beforeChunk) {
    constexpr size_t ChunkSize = 65536;
    std::vector<char> buffer(ChunkSize);
    int64_t copied = 0;
    while (count < 0 || copied < count) {
        if (beforeChunk)
            beforeChunk();
        size_t want = ChunkSize;
        if (count >= 0 && static_cast<uint64_t>(count - copied) < want)
            want = static_cast<size_t>(count - copied);
        const size_t got = source.Read(buffer.data(), want);
        if (got == 0)
            break;
        dest.WriteBuffer(buffer.data(), got);
        copied += static_cast<int64_t>(got);
    }
    if (count >= 0 && copied < count)
        throw EReadError(0);
    return copied;
}

} // namespace vlm
