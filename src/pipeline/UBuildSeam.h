// What a build (and the site report, which runs its collection) tells and asks the one who
// runs it, through three small parts: the events it raises as it goes, the questions it
// asks, and the cancel token it looks at. The desktop program shows the events in its
// progress window from a worker thread, vlm draws a terminal line, tests record them. Each
// front end formats what it shows itself (sizes, paths shortened to a label's width).
#pragma once

#include "platform/UCancel.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vlm {

class TBuildEvents {
public:
    virtual ~TBuildEvents() = default;
    // The build shows its progress, for outputFile (a full path).
    virtual void Begun(const std::string& outputFile) = 0;
    // A new stage and its caption ("Compressing files..."); a Bar event of 0 follows.
    virtual void Stage(const std::string& caption) = 0;
    // The bar, 0 to 100, and where the stage counts bytes, the bytes done of those known
    // (both 0 where it does not).
    virtual void Bar(int position, uint64_t done, uint64_t known) = 0;
    // The size box: its caption, and the size it shows (none: empty).
    virtual void SizeCaption(const std::string& caption) = 0;
    virtual void Size(std::optional<uint64_t> bytes) = 0;
    // The file being read or stored, a full path with native delimiters; empty: none.
    virtual void CurrentFile(const std::string& path) = 0;
    // Link discovery's counts, after the home page is listed, after each file it appends
    // and after each document it read: documents read, documents found so far and files
    // found so far. A site can have tens of thousands of pages, which the bar of the
    // current page does not tell.
    virtual void Links(size_t pagesParsed, size_t pagesFound, size_t filesFound) {
        (void)pagesParsed;
        (void)pagesFound;
        (void)filesFound;
    }
    // The end. finished: the build is done ("Finished", and when waitForUser the window
    // waits for the user's button); otherwise it was cancelled or declined and ends at
    // once. An error, if any, is raised after this event.
    virtual void Ended(bool finished, bool waitForUser) = 0;
};

class TBuildQuestions {
public:
    virtual ~TBuildQuestions() = default;
    // The output-file prompt ("Select Output File"). False when the user cancels; else
    // fileName holds the chosen path.
    virtual bool AskOutputFile(std::string& fileName) = 0;
    // The replace question, a warning with the buttons Yes and No. True only for Yes.
    virtual bool AskReplace(const std::string& question) = 0;
};

// What a run is handed.
struct TBuildSeam {
    TBuildEvents& Events;
    TBuildQuestions& Questions;
    TCancelToken& Cancel;
};

// Events that show nothing and questions that decline (the report, benchmarks, fuzzing).
class TSilentBuildEvents : public TBuildEvents {
public:
    void Begun(const std::string&) override {}
    void Stage(const std::string&) override {}
    void Bar(int, uint64_t, uint64_t) override {}
    void SizeCaption(const std::string&) override {}
    void Size(std::optional<uint64_t>) override {}
    void CurrentFile(const std::string&) override {}
    void Ended(bool, bool) override {}
};

class TDecliningQuestions : public TBuildQuestions {
public:
    bool AskOutputFile(std::string&) override { return false; }
    bool AskReplace(const std::string&) override { return false; }
};

} // namespace vlm
