// libFuzzer target: the archive reader with a password taken from the input (its first byte
// is the password's length, the password follows, then the archive). Every member either
// reads back to its listed size or ends in an EVlmError.
#include "FuzzSupport.h"
#include "archive/arcReader.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const size_t length = std::min<size_t>(data[0], size - 1);
    const std::string password(reinterpret_cast<const char*>(data + 1), length);
    const vlm::fuzz::TMemoryFile file(data + 1 + length, size - 1 - length);
    try {
        vlm::TArchiveReader reader(file.Path());
        for (size_t i = 0; i < reader.Members().size(); ++i) {
            try {
                uint64_t total = 0;
                reader.ReadMember(i, password, [&](const char*, size_t n) { total += n; });
                if (total != reader.Members()[i].UncompressedSize)
                    vlm::fuzz::Finding();
            } catch (const vlm::EVlmError&) {
            }
        }
        (void)vlm::PrintableName(reader.Comment());
    } catch (const vlm::EVlmError&) {
    }
    return 0;
}
