// Facts about the running process that the program entries need.
#pragma once

namespace vlm {

// True when the process runs with the super-user's rights (root on POSIX).
bool RunningAsSuperUser();

} // namespace vlm
