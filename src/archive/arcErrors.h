// The archive writer's error codes, reported through OnError, and their texts.
#pragma once

#include <cstdint>
#include <string>

namespace vlm {

// The archive writer's error codes, reported through OnError.
enum : int {
    errWriteFile = 25136,
    errInvalidDirectory = 25158,
    errDiskFull = 25160,
    errNotAccessible = 25170,
    errWriteProtected = 25171,
    errOpenFile = 25235,
    errNothingToDo = 25268,
    errPropertyNotAssigned = 25271,
    errUserCanceled = 25443,
};

// The text of an error code ("Disk full"); the empty text for an unknown code.
std::string ArcErrorText(int code);

} // namespace vlm
