// What the benchmarks share: a build that shows nothing and is never cancelled,
// and writing a file of given bytes.
#pragma once

#include "pipeline/UBuildSeam.h"
#include "platform/UFileStream.h"

#include <string>

namespace vlm::bench {

// A build that shows nothing, is never cancelled and replaces its output.
class TNullHost : public TSilentBuildEvents, public TBuildQuestions {
public:
    bool AskOutputFile(std::string&) override { return false; }
    bool AskReplace(const std::string&) override { return true; }
    TBuildSeam Seam() { return {*this, *this, FCancel}; }

private:
    TCancelToken FCancel;
};

inline void Write(const std::string& path, const std::string& bytes) {
    TFileStream(path, TFileMode::Create).WriteText(bytes);
}

} // namespace vlm::bench
