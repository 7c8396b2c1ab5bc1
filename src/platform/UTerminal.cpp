#include "platform/UTerminal.h"

#include <cerrno>
#include <fcntl.h>
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

bool AskTerminal(const std::string& prompt, std::string& answer, bool (*interrupted)()) {
    answer.clear();
    const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, prompt.data(), prompt.size()) == static_cast<ssize_t>(prompt.size());
    while (ok && !interrupted()) {
        // Waiting in short steps: a Ctrl+C that comes just before a read, or whose signal
        // handler restarts it, would otherwise leave the read waiting for a key.
        pollfd wait{fd, POLLIN, 0};
        if (::poll(&wait, 1, 100) <= 0)
            continue;
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0 && !answer.empty(); // an end of input after some text still answers
            break;
        }
        if (c == '\n')
            break;
        answer += c;
    }
    ::close(fd);
    return ok && !interrupted();
}

} // namespace vlm
