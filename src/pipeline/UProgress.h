// The texts and steps of the progress window: sizes, paths shortened to a label's width,
// the bar's steps and the Cancel check.
#pragma once

#include "pipeline/UBuildHost.h"

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
// A text for one of the progress window's path labels, shortened to its width.
std::string MinimizeForLabel(const TBuildHost& host, TProgressLabel label, const std::string& text);

// The progress window's answer to the archive writer's progress event: bar, current
// member (its written "/" form shown with native delimiters) and size; then messages
// are processed. Returns whether the writer is to be asked to stop.
bool ArchiveProgress(TBuildHost& host, int progressByArchive, const std::string& currentFileName,
                     uint64_t currentFileSize);

// Raises EAbort when the user has pressed Cancel (after letting messages be processed).
void CheckForCancel(TBuildHost& host);
// Advances the bar by step.
void StepProgress(TBuildHost& host, int step);

} // namespace vlm
