// Facts about the running process that the program entries need.
#pragma once

namespace vlm {

// True when the process runs with the super-user's rights (root on POSIX).
bool RunningAsSuperUser();

// Hands memory that the process has freed back to the system where the allocator keeps it
// (worker threads leave whole arenas of freed page buffers behind). Only the resident
// size changes; nothing else.
void ReleaseFreedMemory();

} // namespace vlm
