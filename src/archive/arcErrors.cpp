#include "archive/arcErrors.h"

#include <array>
#include <utility>

namespace vlm {

std::string ArcErrorText(int code) {
    static constexpr std::array<std::pair<int, const char*>, 9> Texts{{
        {errWriteFile, "Error writing to file"},
        {errInvalidDirectory, "Invalid directory"},
        {errDiskFull, "Disk full"},
        {errNotAccessible, "is not accessible"},
        {errWriteProtected, "disk is write protected"},
        {errOpenFile, "Error opening file"},
        {errNothingToDo, "Nothing to do"},
        {errPropertyNotAssigned, "Required property not assigned"},
        {errUserCanceled, "User canceled"},
    }};
    for (const auto& [number, text] : Texts)
        if (number == code)
            return text;
    return {};
}

} // namespace vlm
