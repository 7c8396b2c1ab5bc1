// A build's progress as it goes (the bar's value and steps, the Cancel checks), and the
// texts a front end shows it with: sizes, paths shortened to a label's width.
#pragma once

#include "pipeline/UBuildSeam.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vlm {

// The separators FormatSize uses; LocaleFormatSettings reads the user's numeric locale.
struct TFormatSettings {
    std::string DecimalSeparator = ".";
    std::string ThousandSeparator = ",";
};
const TFormatSettings& LocaleFormatSettings();

// Bytes as " GB" (2 decimals, thousands separated), " MB" (2 decimals), " KB" (none) or
// "  B", rounded half away from zero to at most 10 significant digits.
std::string FormatSize(uint64_t bytes, const TFormatSettings& settings);
std::string FormatSize(uint64_t bytes);

// The width of a text in some label's font.
using TTextMeasure = std::function<int(const std::string&)>;

// fileName shortened to maxWidth by replacing leading folders with "...": first folders
// after the root, then the drive, until it fits or only the name is left.
std::string MinimizeName(const std::string& fileName, const TTextMeasure& measure, int maxWidth);
// One shortening step of a folder part: "/a/b/" becomes "/.../b/", "/.../b/" becomes
// "/.../", a lone delimiter the empty text.
void CutFirstDirectory(std::string& dir);

// The build's side of its events: it keeps the bar's value (steps add to it), passes every
// change on, and checks the cancel token at the build's fixed points.
class TProgress {
public:
    explicit TProgress(const TBuildSeam& seam) : FSeam(seam) {}

    TBuildEvents& Events() const { return FSeam.Events; }
    TBuildQuestions& Questions() const { return FSeam.Questions; }
    TCancelToken& Cancel() const { return FSeam.Cancel; }
    const TBuildSeam& Seam() const { return FSeam; }

    // A stage's caption; the bar starts at 0.
    void Stage(const std::string& caption);
    void SetBar(int position, uint64_t done = 0, uint64_t known = 0);
    // Advances the bar by step.
    void Step(int step) { SetBar(FBar + step); }
    int Bar() const { return FBar; }
    // The size box captioned caption, and the size and current file cleared.
    void ClearFileBoxes(const std::string& sizeCaption);
    // Raises EAbort when Cancel was asked for.
    void Check() const;
    bool Cancelled() const { return FSeam.Cancel.Cancelled(); }

private:
    TBuildSeam FSeam;
    int FBar = 0;
};

// The answer to the archive writer's progress event: bar (with the archive's bytes done of
// those known), current member (its written "/" form shown with native delimiters) and its
// size. Returns whether the writer is to be asked to stop.
bool ArchiveProgress(TProgress& progress, int progressByArchive, const std::string& currentFileName,
                     uint64_t currentFileSize, uint64_t done = 0, uint64_t known = 0);

} // namespace vlm
