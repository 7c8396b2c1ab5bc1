// What the benchmarks share: a build window that shows nothing and is never cancelled,
// and writing a file of given bytes.
#pragma once

#include "pipeline/UBuildHost.h"
#include "platform/UFileStream.h"

#include <string>

namespace vlm::bench {

// A window that shows nothing, is never cancelled and lets the build replace its output.
class TNullHost : public TSilentBuildHost {
public:
    bool AskReplace(const std::string&) override { return true; }
    int LabelWidth(TProgressLabel) const override { return 300; }
};

inline void Write(const std::string& path, const std::string& bytes) {
    TFileStream(path, TFileMode::Create).WriteText(bytes);
}

} // namespace vlm::bench
