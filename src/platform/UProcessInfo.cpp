#include "platform/UProcessInfo.h"

#ifndef _WIN32
#include <cerrno>
#include <sched.h>
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

} // namespace vlm
