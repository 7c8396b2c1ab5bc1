// What the benchmarks share: a build window that shows nothing and is never cancelled,
// and writing a file of given bytes.
#pragma once

#include "pipeline/UBuildHost.h"
#include "platform/UFileStream.h"

#include <string>

namespace vlm::bench {

// A window that shows nothing and is never cancelled.
class TNullHost : public TBuildHost {
public:
    bool AskOutputFile(std::string&) override { return false; }
    bool AskReplace(const std::string&) override { return true; }
    void ShowProgress() override {}
    void SetOutputFileText(const std::string&) override {}
    void SetStageCaption(const std::string&) override {}
    void SetProgress(int position) override { FBar = position; }
    int Progress() const override { return FBar; }
    void SetSizeCaption(const std::string&) override {}
    void SetSizeText(const std::string&) override {}
    void SetCurrentFileText(const std::string&) override {}
    int LabelWidth(TProgressLabel) const override { return 300; }
    int TextWidth(TProgressLabel, const std::string& text) const override {
        return static_cast<int>(text.size());
    }
    void ProcessMessages() override {}
    bool Cancelled() const override { return false; }
    void SetCancelled() override {}
    void EnableMainWindow() override {}
    void ShowFinished(bool) override {}
    void CloseProgress() override {}

private:
    int FBar = 0;
};

inline void Write(const std::string& path, const std::string& bytes) {
    TFileStream(path, TFileMode::Create).WriteText(bytes);
}

} // namespace vlm::bench
