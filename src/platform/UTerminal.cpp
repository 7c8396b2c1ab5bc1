#include "platform/UTerminal.h"

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vlm {

bool StdErrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

bool StdInIsTerminal() {
    return ::isatty(STDIN_FILENO) == 1;
}

int TerminalColumns() {
    struct winsize size {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

bool WaitForStdIn(bool (*interrupted)()) {
    while (!interrupted()) {
        // Waiting in short steps: a Ctrl+C that comes just before a read, or whose signal
        // handler restarts it, would otherwise leave the read waiting for a key.
        pollfd wait{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&wait, 1, 100);
        if (ready > 0 || (ready < 0 && errno != EINTR))
            return true; // the read that follows tells data, the end or the error
    }
    return false;
}

} // namespace vlm
