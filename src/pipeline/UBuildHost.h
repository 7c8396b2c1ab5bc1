// What a build asks of the window that runs it. The desktop program answers with its
// progress window, vlm with a progress line on the terminal, tests with a recorder.
#pragma once

#include <cstddef>
#include <string>

namespace vlm {

// The two labels of the progress window whose texts are shortened to their width.
enum class TProgressLabel { OutputFile, CurrentFile };

class TBuildHost {
public:
    virtual ~TBuildHost() = default;

    // The output-file prompt ("Select Output File"). Returns false when the user cancels;
    // otherwise fileName holds the chosen path.
    virtual bool AskOutputFile(std::string& fileName) = 0;
    // The replace question, a warning with the buttons Yes and No. True only for Yes.
    virtual bool AskReplace(const std::string& question) = 0;

    // Creates the progress window, shows it without making it modal and disables the
    // main window.
    virtual void ShowProgress() = 0;
    // The progress window's fields.
    virtual void SetOutputFileText(const std::string& text) = 0;  // lblOutputFile
    virtual void SetStageCaption(const std::string& caption) = 0; // gbProgress
    virtual void SetProgress(int position) = 0;                   // ProgressBar, 0..100
    virtual int Progress() const = 0;
    virtual void SetSizeCaption(const std::string& caption) = 0;  // gbOutputSize
    virtual void SetSizeText(const std::string& text) = 0;        // lblOutputSize
    virtual void SetCurrentFileText(const std::string& text) = 0; // lblCurrentFile
    // Width of a label and of a text in that label's font (any consistent measure).
    virtual int LabelWidth(TProgressLabel label) const = 0;
    virtual int TextWidth(TProgressLabel label, const std::string& text) const = 0;

    // Link discovery's counts, after the home page is listed, after each file it appends
    // and after each page it scanned: pages scanned, pages found so far (the ".htm" and
    // ".html" entries of the file list) and files found so far (the whole list). A site
    // can run to tens of thousands of pages, which the bar of the current page does not
    // tell. Optional: the progress window shows none of it.
    virtual void LinksFound(size_t pagesParsed, size_t pagesFound, size_t filesFound) {
        (void)pagesParsed;
        (void)pagesFound;
        (void)filesFound;
    }

    // Lets pending window messages be processed. Called very often (per byte read during
    // link discovery): implementations return at once unless some time has passed.
    virtual void ProcessMessages() = 0;
    // The progress window's Cancelled flag.
    virtual bool Cancelled() const = 0;
    virtual void SetCancelled() = 0;

    // The ending: the main window is enabled again on every path.
    virtual void EnableMainWindow() = 0;
    // "Finished" in bold on the group box and the button; when waitForUser, the window is
    // hidden and shown again modally until the user presses the button.
    virtual void ShowFinished(bool waitForUser) = 0;
    // Destroys the progress window (at once after a Cancel, or after ShowFinished).
    virtual void CloseProgress() = 0;
};

// A window that shows nothing and asks nothing (both questions are declined): for the
// report, benchmarks and fuzzing. It keeps the bar and the Cancel flag; texts are measured
// by their length against wide labels.
class TSilentBuildHost : public TBuildHost {
public:
    bool AskOutputFile(std::string&) override { return false; }
    bool AskReplace(const std::string&) override { return false; }
    void ShowProgress() override {}
    void SetOutputFileText(const std::string&) override {}
    void SetStageCaption(const std::string&) override {}
    void SetProgress(int position) override { FBar = position; }
    int Progress() const override { return FBar; }
    void SetSizeCaption(const std::string&) override {}
    void SetSizeText(const std::string&) override {}
    void SetCurrentFileText(const std::string&) override {}
    int LabelWidth(TProgressLabel) const override { return 1000; }
    int TextWidth(TProgressLabel, const std::string& text) const override {
        return static_cast<int>(text.size());
    }
    void ProcessMessages() override {}
    bool Cancelled() const override { return FCancelled; }
    void SetCancelled() override { FCancelled = true; }
    void EnableMainWindow() override {}
    void ShowFinished(bool) override {}
    void CloseProgress() override {}

private:
    int FBar = 0;
    bool FCancelled = false;
};

} // namespace vlm
