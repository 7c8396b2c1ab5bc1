#include "platform/UProcessInfo.h"

#ifndef _WIN32
#include <unistd.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace vlm {

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
