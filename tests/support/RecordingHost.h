// A build's events and questions recorded as a window would show them, questions answered
// from a script, and Cancel pressed when told to.
#pragma once

#include "pipeline/UBuildSeam.h"
#include "pipeline/UProgress.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vlm::test {

class TRecordingHost : public TBuildEvents, public TBuildQuestions {
public:
    // Answer of the output-file prompt; nullopt cancels it.
    std::optional<std::string> OutputFileAnswer;
    bool ReplaceAnswer = true;
    // Paths are shown shortened to this many bytes, as a label of that width would.
    int Width = 1000;
    // Cancels the build from within an event when this returns true; it sees the stage
    // caption shown last and how many events came in that stage (this one included).
    std::function<bool(const std::string& stage, int eventsInStage)> CancelWhen;

    // Everything shown, as "Kind:text" lines, in order ("Bar:40", "Stage:...").
    std::vector<std::string> Events;
    std::string StageShown;
    int EventCount = 0;
    // Link discovery's counts as reported: pages parsed, pages found, files found.
    std::vector<std::vector<size_t>> LinkCounts;
    TCancelToken Token;

    TBuildSeam Seam() { return {*this, *this, Token}; }
    operator TBuildSeam() { return Seam(); }
    int Progress() const { return FBar; }
    bool Cancelled() const { return Token.Cancelled(); }
    void SetCancelled() { Token.Cancel(); }

    bool AskOutputFile(std::string& fileName) override {
        Events.push_back("AskOutputFile");
        if (!OutputFileAnswer)
            return false;
        fileName = *OutputFileAnswer;
        return true;
    }
    bool AskReplace(const std::string& question) override {
        Events.push_back("AskReplace:" + question);
        if (!ReplaceAnswer)
            Events.push_back("SetCancelled"); // the build ends as a Cancel would end it
        return ReplaceAnswer;
    }

    void Begun(const std::string& outputFile) override {
        Events.push_back("ShowProgress");
        Saw("OutputFile:" + Shortened(outputFile));
    }
    void Stage(const std::string& caption) override {
        StageShown = caption;
        FEventsInStage = 0;
        Saw("Stage:" + caption);
    }
    void Bar(int position, uint64_t, uint64_t) override {
        FBar = position;
        Saw("Bar:" + std::to_string(position));
    }
    void SizeCaption(const std::string& caption) override { Saw("SizeCaption:" + caption); }
    void Size(std::optional<uint64_t> bytes) override {
        Saw("Size:" + (bytes ? FormatSize(*bytes) : std::string()));
    }
    void CurrentFile(const std::string& path) override { Saw("CurrentFile:" + Shortened(path)); }
    void Links(size_t pagesParsed, size_t pagesFound, size_t filesFound) override {
        LinkCounts.push_back({pagesParsed, pagesFound, filesFound});
        Saw("");
    }
    void Ended(bool finished, bool waitForUser) override {
        Events.push_back("EnableMainWindow");
        if (finished)
            Events.push_back(waitForUser ? "Finished:modal" : "Finished");
        Events.push_back("CloseProgress");
    }

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
    std::string Shortened(const std::string& path) const {
        return MinimizeName(
            path, [](const std::string& s) { return static_cast<int>(s.size()); }, Width);
    }
    // Records an event (the empty text records nothing) and presses Cancel when told to.
    void Saw(std::string event) {
        if (!event.empty())
            Events.push_back(std::move(event));
        ++EventCount;
        ++FEventsInStage;
        if (!Token.Cancelled() && CancelWhen && CancelWhen(StageShown, FEventsInStage)) {
            Events.push_back("Cancel");
            Token.Cancel();
        }
    }

    int FBar = 0;
    int FEventsInStage = 0;
};

} // namespace vlm::test
