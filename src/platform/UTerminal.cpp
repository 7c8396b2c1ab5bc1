#include "platform/UTerminal.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vlm {

namespace {
volatile std::sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) {
    gInterrupted = 1;
}
} // namespace

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

bool AskTerminal(const std::string& prompt, std::string& answer) {
    answer.clear();
    const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, prompt.data(), prompt.size()) == static_cast<ssize_t>(prompt.size());
    while (ok && !gInterrupted) {
        // Waiting in short steps: a Ctrl+C that comes just before a read would otherwise
        // leave the read waiting for a key.
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
    return ok && !gInterrupted;
}

struct TInterruptCatcher::TSaved {
    struct sigaction Old {};
};

TInterruptCatcher::TInterruptCatcher() : FSaved(std::make_unique<TSaved>()) {
    gInterrupted = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a question waiting on the terminal is interrupted
    ::sigaction(SIGINT, &action, &FSaved->Old);
}

TInterruptCatcher::~TInterruptCatcher() {
    ::sigaction(SIGINT, &FSaved->Old, nullptr);
}

bool TInterruptCatcher::Interrupted() {
    return gInterrupted != 0;
}

} // namespace vlm
