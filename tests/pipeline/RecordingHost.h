// A build host that records what the build shows, answers its questions from a script and
// presses Cancel when told to.
#pragma once

#include "pipeline/UBuildHost.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vlm::test {

class TRecordingHost : public TBuildHost {
public:
    // Answer of the output-file prompt; nullopt cancels it.
    std::optional<std::string> OutputFileAnswer;
    bool ReplaceAnswer = true;
    // Widths: one unit per byte of text, labels this wide.
    int Width = 1000;
    // Pressed Cancel from within ProcessMessages when this returns true; it sees the
    // stage caption shown last and how often messages were processed in that stage.
    std::function<bool(const std::string& stage, int callsInStage)> CancelWhen;

    // Everything shown, as "Kind:text" lines, in order ("Bar:40", "Stage:...").
    std::vector<std::string> Events;
    std::string Stage;
    int MessageCalls = 0;
    // Link discovery's counts as reported: pages parsed, pages found, files found.
    std::vector<std::vector<size_t>> Links;

    bool AskOutputFile(std::string& fileName) override {
        Events.push_back("AskOutputFile");
        if (!OutputFileAnswer)
            return false;
        fileName = *OutputFileAnswer;
        return true;
    }
    bool AskReplace(const std::string& question) override {
        Events.push_back("AskReplace:" + question);
        return ReplaceAnswer;
    }
    void ShowProgress() override { Events.push_back("ShowProgress"); }
    void SetOutputFileText(const std::string& text) override {
        Events.push_back("OutputFile:" + text);
    }
    void SetStageCaption(const std::string& caption) override {
        Stage = caption;
        FCallsInStage = 0;
        Events.push_back("Stage:" + caption);
    }
    void SetProgress(int position) override {
        FBar = position;
        Events.push_back("Bar:" + std::to_string(position));
    }
    int Progress() const override { return FBar; }
    void SetSizeCaption(const std::string& caption) override {
        Events.push_back("SizeCaption:" + caption);
    }
    void SetSizeText(const std::string& text) override { Events.push_back("Size:" + text); }
    void SetCurrentFileText(const std::string& text) override {
        Events.push_back("CurrentFile:" + text);
    }
    int LabelWidth(TProgressLabel) const override { return Width; }
    int TextWidth(TProgressLabel, const std::string& text) const override {
        return static_cast<int>(text.size());
    }
    void LinksFound(size_t pagesParsed, size_t pagesFound, size_t filesFound) override {
        Links.push_back({pagesParsed, pagesFound, filesFound});
    }
    void ProcessMessages() override {
        ++MessageCalls;
        ++FCallsInStage;
        if (!FCancelled && CancelWhen && CancelWhen(Stage, FCallsInStage)) {
            Events.push_back("Cancel");
            FCancelled = true;
        }
    }
    bool Cancelled() const override { return FCancelled; }
    void SetCancelled() override {
        Events.push_back("SetCancelled");
        FCancelled = true;
    }
    void EnableMainWindow() override { Events.push_back("EnableMainWindow"); }
    void ShowFinished(bool waitForUser) override {
        Events.push_back(waitForUser ? "Finished:modal" : "Finished");
    }
    void CloseProgress() override { Events.push_back("CloseProgress"); }

    // The events that start with prefix, in order, without it.
    std::vector<std::string> Of(const std::string& prefix) const {
        std::vector<std::string> result;
        for (const std::string& e : Events)
            if (e.compare(0, prefix.size(), prefix) == 0)
                result.push_back(e.substr(prefix.size()));
        return result;
    }
    // The bar values set while stage was shown.
    std::vector<int> BarsIn(const std::string& stage) const {
        std::vector<int> result;
        std::string current;
        for (const std::string& e : Events) {
            if (e.compare(0, 6, "Stage:") == 0)
                current = e.substr(6);
            else if (current == stage && e.compare(0, 4, "Bar:") == 0)
                result.push_back(std::stoi(e.substr(4)));
        }
        return result;
    }

private:
    int FBar = 0;
    int FCallsInStage = 0;
    bool FCancelled = false;
};

} // namespace vlm::test
