// What the fuzz targets share: the input as a file, a private folder for one run, and the
// input cut into pieces.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace vlm::fuzz {

// The input as a file of its own in memory, for code that opens files by name.
class TMemoryFile {
public:
    TMemoryFile(const uint8_t* data, size_t size);
    explicit TMemoryFile(std::string_view text)
        : TMemoryFile(reinterpret_cast<const uint8_t*>(text.data()), text.size()) {}
    ~TMemoryFile();
    TMemoryFile(const TMemoryFile&) = delete;
    TMemoryFile& operator=(const TMemoryFile&) = delete;
    std::string Path() const;

private:
    int FHandle = -1;
};

// A new empty folder under the temporary folder, removed with everything in it at the end.
class TScratchFolder {
public:
    TScratchFolder();
    ~TScratchFolder();
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;
    // Ends in "/".
    const std::string& Path() const { return FPath; }
    // Every path below the folder (depth first), for checks on what a run wrote.
    std::vector<std::string> Contents() const;

private:
    std::string FPath;
};

// The input cut at every NUL byte.
std::vector<std::string> SplitAtNul(std::string_view input);

// Ends the run as a finding (libFuzzer reports the abort with the input).
[[noreturn]] inline void Finding() {
    std::abort();
}

} // namespace vlm::fuzz
