// Helpers shared by the tests: temporary folders, file contents, running programs.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vlm::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    // The folder, ending in "/".
    const std::string& Path() const { return FPath; }
    // Path() + relative.
    std::string operator/(std::string_view relative) const { return FPath + std::string(relative); }

private:
    std::string FPath;
};

// Writes bytes to path, creating missing parent folders.
void WriteFile(const std::string& path, std::string_view bytes);
// The whole file; raises std::runtime_error when it cannot be read.
std::string ReadFile(const std::string& path);
bool PathExists(const std::string& path);
void RemoveTree(const std::string& path);
// Names of the entries of a folder, sorted.
std::vector<std::string> ListNames(const std::string& folder);
// n deterministic pseudo-random bytes.
std::string RandomBytes(size_t n, uint32_t seed = 1);

struct TProcessResult {
    int ExitCode = -1; // 128 + signal when killed by a signal
    std::string Out;
    std::string Err;
};

// Runs program with args, extra environment variables and stdin text; waits for it.
TProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                          const std::map<std::string, std::string>& env = {},
                          const std::string& input = {}, const std::string& workDir = {});

// Whether a program is on PATH.
bool HaveProgram(const std::string& name);

} // namespace vlm::test
