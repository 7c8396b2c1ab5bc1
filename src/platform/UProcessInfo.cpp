#include "platform/UProcessInfo.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace vlm {

bool RunningAsSuperUser() {
#ifdef _WIN32
    return false;
#else
    return ::geteuid() == 0;
#endif
}

} // namespace vlm
