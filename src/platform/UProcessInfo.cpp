#include "platform/UProcessInfo.h"

#include <cstdint>

#ifndef _WIN32
#include <cerrno>
#include <dirent.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace vlm {

bool UserNamespacesAvailable() {
#ifdef _WIN32
    return true;
#else
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0)
        ::_exit(::unshare(CLONE_NEWUSER) == 0 ? 0 : 1);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
}

bool RunningAsSuperUser() {
#ifdef _WIN32
    return false;
#else
    return ::geteuid() == 0;
#endif
}

void ReturnLargeBuffersToTheSystem() {
#ifdef __GLIBC__
    // A fixed threshold also stops glibc from raising it after the first large free.
    ::mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
}

void ReleaseFreedMemory() {
#ifdef __GLIBC__
    ::malloc_trim(0);
#endif
}

size_t OpenFileRoom() {
#ifdef _WIN32
    return SIZE_MAX;
#else
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return SIZE_MAX;
    // The descriptors open now; the listing's own is one of them. A listing that cannot be
    // made (the limit is reached already) leaves no room.
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return 0;
    size_t open = 0;
    while (const dirent* entry = ::readdir(dir))
        open += entry->d_name[0] != '.';
    ::closedir(dir);
    open = open > 0 ? open - 1 : 0;
    const auto cap = static_cast<uint64_t>(limit.rlim_cur);
    return cap > open ? static_cast<size_t>(cap - open) : 0;
#endif
}

} // namespace vlm
