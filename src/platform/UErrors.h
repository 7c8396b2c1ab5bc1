// Exception types shared by every layer.
//
// EAbort is the silent abort: a command the user cancelled ends with it, callers pass it
// on and nothing shows it. Every other exception carries the text the user sees.
#pragma once

#include <stdexcept>
#include <string>

namespace vlm {

class EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

// Base of the errors with a user-visible message.
class EVlmError : public std::runtime_error {
public:
    explicit EVlmError(const std::string& message) : std::runtime_error(message) {}
};

// Stream errors keep the system's error number so that callers can tell a full disk.
class EStreamError : public EVlmError {
public:
    EStreamError(const std::string& message, int errorNumber)
        : EVlmError(message), ErrorNumber(errorNumber) {}
    int ErrorNumber;
};

// "Cannot open file \"%s\". %s"
class EFOpenError : public EStreamError {
public:
    EFOpenError(const std::string& fileName, int errorNumber);
};

// "Cannot create file \"%s\". %s"
class EFCreateError : public EStreamError {
public:
    EFCreateError(const std::string& fileName, int errorNumber);
    // The same opening with a reason of our own instead of the system's text.
    EFCreateError(const std::string& fileName, int errorNumber, const std::string& reason);
};

// "Stream write error"; with a file name, "Stream write error: \"%s\". %s" (the file and
// the system's reason).
class EWriteError : public EStreamError {
public:
    explicit EWriteError(int errorNumber);
    EWriteError(const std::string& fileName, int errorNumber);
};

// "Stream read error"
class EReadError : public EStreamError {
public:
    explicit EReadError(int errorNumber);
};

// The system's text for an error number, e.g. "No such file or directory".
std::string SysErrorMessage(int errorNumber);

// Replaces each "%s" of the format, in order, by the next argument.
std::string FormatMessage(const std::string& format, std::initializer_list<std::string> args);

} // namespace vlm
