#include "platform/UErrors.h"

#include <cstring>

namespace vlm {

std::string SysErrorMessage(int errorNumber) {
    char buffer[256];
    // The GNU strerror_r may return a static text instead of filling the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    return strerror_r(errorNumber, buffer, sizeof buffer);
#else
    if (strerror_r(errorNumber, buffer, sizeof buffer) != 0)
        return "Unknown error " + std::to_string(errorNumber);
    return buffer;
#endif
}

std::string FormatMessage(const std::string& format, std::initializer_list<std::string> args) {
    std::string result;
    auto arg = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' &&
            arg != args.end()) {
            result += *arg++;
            ++i;
        } else {
            result += format[i];
        }
    }
    return result;
}

EFOpenError::EFOpenError(const std::string& fileName, int errorNumber)
    : EStreamError(
          FormatMessage("Cannot open file \"%s\". %s", {fileName, SysErrorMessage(errorNumber)}),
          errorNumber) {}

EFCreateError::EFCreateError(const std::string& fileName, int errorNumber)
    : EStreamError(
          FormatMessage("Cannot create file \"%s\". %s", {fileName, SysErrorMessage(errorNumber)}),
          errorNumber) {}

EFCreateError::EFCreateError(const std::string& fileName, int errorNumber,
                             const std::string& reason)
    : EStreamError(FormatMessage("Cannot create file \"%s\". %s", {fileName, reason}),
                   errorNumber) {}

EWriteError::EWriteError(int errorNumber) : EStreamError("Stream write error", errorNumber) {}

EWriteError::EWriteError(const std::string& fileName, int errorNumber)
    : EStreamError(
          FormatMessage("Stream write error: \"%s\". %s", {fileName, SysErrorMessage(errorNumber)}),
          errorNumber) {}

EReadError::EReadError(int errorNumber) : EStreamError("Stream read error", errorNumber) {}

} // namespace vlm
