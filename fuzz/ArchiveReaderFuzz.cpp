// libFuzzer target: any bytes given to the archive reader either read back or end in an
// EVlmError; a crash, a hang, a leak or an unbounded allocation is a fault.
#include "archive/arcReader.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The reader opens files by name; a memory file spares the disk.
class TMemoryFile {
public:
    TMemoryFile(const uint8_t* data, size_t size) {
        FHandle = ::memfd_create("fuzz-archive", MFD_CLOEXEC);
        if (FHandle < 0 || ::write(FHandle, data, size) != static_cast<ssize_t>(size))
            std::abort();
    }
    ~TMemoryFile() { ::close(FHandle); }
    std::string Path() const { return "/proc/self/fd/" + std::to_string(FHandle); }

private:
    int FHandle = -1;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TMemoryFile file(data, size);
    try {
        vlm::TArchiveReader reader(file.Path());
        for (size_t i = 0; i < reader.Members().size(); ++i) {
            try {
                uint64_t total = 0;
                reader.ReadMember(i, "Qm42Tx7150", [&](const char*, size_t n) { total += n; });
                if (total != reader.Members()[i].UncompressedSize)
                    std::abort();
            } catch (const vlm::EVlmError&) {
            }
        }
    } catch (const vlm::EVlmError&) {
    }
    return 0;
}
