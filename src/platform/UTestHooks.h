// Failure seams for tests. Each is switched on by a guard object and switched off when
// the guard ends, on every path out of a test, so one unexpected exception never leaves
// later writes of the same test program failing.
#pragma once

#include <cstdint>
#include <string_view>

namespace vlm {

// The steps of writing a file through a temporary one.
enum class TFileStep {
    Create, // making a temporary file (beside a target or in the private folder)
    Write,  // writing through a file stream
    Sync,   // flushing a file stream to the device
    Rename, // renaming the finished file over its target
};

namespace test_hooks {

// After `bytes` more bytes have been written through any file stream, writes fail with
// errorNumber.
class TFailWrites {
public:
    TFailWrites(int64_t bytes, int errorNumber);
    ~TFailWrites();
    TFailWrites(const TFailWrites&) = delete;
    TFailWrites& operator=(const TFailWrites&) = delete;
};

// Every attempt at step fails with errorNumber (Write: from the first byte on).
class TFailStep {
public:
    TFailStep(TFileStep step, int errorNumber);
    ~TFailStep();
    TFailStep(const TFailStep&) = delete;
    TFailStep& operator=(const TFailStep&) = delete;

private:
    TFileStep FStep;
};

// The ten random bytes of every encryption header come from a generator seeded with seed
// instead of the clock, so that an archive, and what a wrong password makes of its check
// byte, is the same in every run.
class TFixedHeaderSeed {
public:
    explicit TFixedHeaderSeed(uint32_t seed);
    ~TFixedHeaderSeed();
    TFixedHeaderSeed(const TFixedHeaderSeed&) = delete;
    TFixedHeaderSeed& operator=(const TFixedHeaderSeed&) = delete;
};

// Opening path fails with errorNumber: listing it as a folder, and opening it as a file
// for reading (as root no permission bits make a folder or file unreadable).
class TFailOpen {
public:
    TFailOpen(std::string_view path, int errorNumber);
    ~TFailOpen();
    TFailOpen(const TFailOpen&) = delete;
    TFailOpen& operator=(const TFailOpen&) = delete;
};

} // namespace test_hooks

namespace hook_state {
// For the platform's own use: how many of count bytes may still be written; the error
// number of the failure when fewer.
uint64_t AllowedWrite(uint64_t count, int& errorNumber);
// The error number a step fails with, or 0.
int StepFailure(TFileStep step);
// Whether encryption headers are seeded with a fixed value, and which.
bool FixedHeaderSeed(uint32_t& seed);
// The error number opening path (a folder to list or a file to read) fails with, or 0.
int OpenFailure(std::string_view path);
} // namespace hook_state

} // namespace vlm
