#include "pipeline/UProgress.h"

#include "platform/UErrors.h"
#include "platform/UFileStream.h"
#include "platform/UFileSys.h"
#include "platform/UPaths.h"
#include "platform/UText.h"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace vlm {

namespace {

struct TSizeUnit {
    uint64_t Bytes;
    int Decimals;
    bool Thousands;
    const char* Suffix;
};

constexpr TSizeUnit SizeUnits[] = {
    {uint64_t{1} << 30, 2, true, " GB"},
    {uint64_t{1} << 20, 2, false, " MB"},
    {uint64_t{1} << 10, 0, false, " KB"},
    {1, 0, false, "  B"},
};

constexpr int SignificantDigits = 10;

int DigitCount(uint64_t n) {
    int digits = 1;
    while (n >= 10) {
        n /= 10;
        ++digits;
    }
    return digits;
}

uint64_t Power10(int n) {
    uint64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

std::string GroupThousands(const std::string& digits, const std::string& separator) {
    std::string result;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            result += separator;
        result += digits[i];
    }
    return result;
}

} // namespace

const TFormatSettings& LocaleFormatSettings() {
    static const TFormatSettings settings = [] {
        TFormatSettings s;
        LocaleNumberSeparators(s.DecimalSeparator, s.ThousandSeparator);
        return s;
    }();
    return settings;
}

std::string FormatSize(uint64_t bytes, const TFormatSettings& settings) {
    const TSizeUnit* unit = SizeUnits;
    while (unit->Bytes > 1 && bytes < unit->Bytes)
        ++unit;
    uint64_t whole = bytes / unit->Bytes;
    const uint64_t rest = bytes % unit->Bytes;
    // Exact rounding, half away from zero, at the decimals the significant digits allow.
    const int intDigits = DigitCount(whole);
    const int decimals = std::max(0, std::min(unit->Decimals, SignificantDigits - intDigits));
    uint64_t scaled;
    if (intDigits > SignificantDigits) {
        const uint64_t p = Power10(intDigits - SignificantDigits);
        const uint64_t below = whole % p;
        whole -= below;
        // below + rest/unit >= p/2, kept in integers
        if (2 * below * unit->Bytes + 2 * rest >= p * unit->Bytes)
            whole += p;
        scaled = whole;
    } else {
        const uint64_t scale = Power10(decimals);
        const uint64_t frac = rest * scale;
        uint64_t fracUnits = frac / unit->Bytes;
        if (2 * (frac % unit->Bytes) >= unit->Bytes)
            ++fracUnits;
        scaled = whole * scale + fracUnits;
    }
    const uint64_t scale = Power10(decimals);
    std::string integer = std::to_string(scaled / scale);
    if (unit->Thousands)
        integer = GroupThousands(integer, settings.ThousandSeparator);
    std::string text = integer;
    if (unit->Decimals > 0) {
        std::string fraction = decimals > 0 ? std::to_string(scaled % scale) : std::string();
        fraction.insert(0, static_cast<size_t>(decimals) - fraction.size(), '0');
        fraction.append(static_cast<size_t>(unit->Decimals - decimals), '0');
        text += settings.DecimalSeparator + fraction;
    }
    return text + unit->Suffix;
}

std::string FormatSize(uint64_t bytes) {
    return FormatSize(bytes, LocaleFormatSettings());
}

void CutFirstDirectory(std::string& dir) {
    const std::string ellipsis = std::string("...") + PathDelim;
    if (dir.size() == 1 && dir[0] == PathDelim) {
        dir.clear();
        return;
    }
    const bool root = !dir.empty() && dir[0] == PathDelim;
    if (root)
        dir.erase(0, 1);
    // Only the "..." an earlier cut left is dropped, so a folder whose own name starts
    // with a dot is cut like any other.
    if (dir.compare(0, ellipsis.size(), ellipsis) == 0)
        dir.erase(0, ellipsis.size());
    const size_t delim = dir.find(PathDelim);
    dir = delim == std::string::npos ? std::string() : ellipsis + dir.substr(delim + 1);
    if (root)
        dir.insert(0, 1, PathDelim);
}

std::string MinimizeName(const std::string& fileName, const TTextMeasure& measure, int maxWidth) {
    const std::string shortest = PathDelim + std::string("...") + PathDelim;
    std::string result = fileName;
    std::string dir = ExtractFilePath(fileName);
    const std::string name = ExtractFileName(fileName);
    std::string drive = ExtractFileDrive(dir);
    dir.erase(0, drive.size());
    while ((!dir.empty() || !drive.empty()) && measure(result) > maxWidth) {
        if (dir == shortest) {
            drive.clear();
            dir = shortest.substr(1);
        } else if (dir.empty()) {
            drive.clear();
        } else {
            CutFirstDirectory(dir);
        }
        result = drive + dir + name;
    }
    return result;
}

void TProgress::Stage(const std::string& caption) {
    FSeam.Events.Stage(caption);
    SetBar(0);
}

void TProgress::SetBar(int position, uint64_t done, uint64_t known) {
    FBar = position;
    FSeam.Events.Bar(position, done, known);
}

void TProgress::ClearFileBoxes(const std::string& sizeCaption) {
    FSeam.Events.SizeCaption(sizeCaption);
    FSeam.Events.Size(std::nullopt);
    FSeam.Events.CurrentFile("");
}

void TProgress::Check() const {
    if (FSeam.Cancel.Cancelled())
        throw EAbort();
}

bool ArchiveProgress(TProgress& progress, int progressByArchive, const std::string& currentFileName,
                     uint64_t currentFileSize, uint64_t done, uint64_t known) {
    progress.SetBar(progressByArchive, done, known);
    progress.Events().CurrentFile(ToNativeDelimiters(currentFileName));
    progress.Events().Size(currentFileSize);
    return progress.Cancelled();
}

} // namespace vlm
