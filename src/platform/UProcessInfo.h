// Facts about the running process that the program entries need.
#pragma once

#include <cstddef>

namespace vlm {

// True when the process runs with the super-user's rights (root on POSIX).
bool RunningAsSuperUser();

// Whether a process of this user may make a user namespace, which a browser engine's
// sandbox needs when it runs without set-user-ID helpers. Tried in a child process, so the
// caller's own state stays as it was; call it before any thread starts.
bool UserNamespacesAvailable();

// Called once at start-up, before any thread: buffers of a quarter MiB and more (pages read
// whole, members encoded whole) come straight from the system and go straight back, so
// that worker threads do not each keep a heap of them. A build's peak memory then stays
// flat with the number of jobs.
void ReturnLargeBuffersToTheSystem();

// Hands memory that the process has freed back to the system where the allocator keeps it
// (worker threads leave whole arenas of freed page buffers behind). Only the resident
// size changes; nothing else.
void ReleaseFreedMemory();

// How many more files the process may open before it reaches its limit of open files
// (RLIMIT_NOFILE); SIZE_MAX when there is no limit. Worker threads that each hold a file
// open are never more than this allows.
size_t OpenFileRoom();

} // namespace vlm
