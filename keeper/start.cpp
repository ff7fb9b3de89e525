#include "keeper/start.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "keeper/deadline.hpp"

extern char** environ;

namespace quill::keeper {

namespace {

using std::chrono::milliseconds;

bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Closes every descriptor from `first` up; async-signal-safe.
void CloseFrom(int first) {
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, first, ~0U, 0) == 0) return;
#endif
    for (int fd = first; fd < 65536; ++fd) ::close(fd);
}

std::string Errno(const char* what, int error) { return std::string(what) + ": " + std::strerror(error); }

// The middle child: a new session, and a grandchild that is not its leader,
// so the keeper has no controlling terminal and never gets one, and whoever
// started the program gets control back when the program ends.
[[noreturn]] void BecomeKeeper(int theirs, char* path, char** argv, char** envp) {
    if (::setsid() < 0) ::_exit(127);
    const pid_t keeper = ::fork();
    if (keeper != 0) ::_exit(keeper < 0 ? 127 : 0);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) ::sigaction(signal_number, &action, nullptr);
    // Ignored from its first instruction on: a closed socket or connection
    // is an error to handle, never a signal that ends a selection's owner.
    action.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &action, nullptr);
    const int null = ::open("/dev/null", O_RDWR);
    if (null < 0) ::_exit(127);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    if (::dup2(theirs, kHandOffFd) != kHandOffFd) ::_exit(127);  // dup2 clears close-on-exec
    CloseFrom(kHandOffFd + 1);
    if (::chdir("/") != 0) ::_exit(127);
    ::execve(path, argv, envp);
    ::_exit(127);
}

}  // namespace

// The program's side of the hand-off (keeper/handoff.hpp); the keeper's is
// keeper/handoff.cpp.
std::optional<std::string> EncodeHandOff(const HandOff& hand_off) {
    if (hand_off.text.size() > kMaxText || hand_off.display.size() > kMaxDisplayName ||
        hand_off.display.find('\n') != std::string::npos) {
        return std::nullopt;
    }
    char head[16];
    std::snprintf(head, sizeof head, "%c%08x\n", static_cast<char>(hand_off.kind), hand_off.owner);
    std::string message = head;
    message.append(hand_off.display).append("\n").append(hand_off.text);
    return message;
}

std::optional<std::string> KeeperPath(std::string_view program, Kind kind) {
    const std::size_t slash = program.rfind('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::string folder(program.substr(0, slash + 1));
    const char* name = KeeperName(kind);
    for (const std::string& candidate : {folder + "../libexec/quillantern/" + name, folder + name}) {
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

namespace {

// The keeper launched with the message sent: our end of the socket, or why not.
struct Launched {
    int socket = -1;
    std::string error;
};

Launched Launch(const std::string& keeper_path, const std::string& message) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return {-1, Errno("socketpair", errno)};
    const int ours = pair[0], theirs = pair[1];
    std::string path = keeper_path;
    std::string name = path.substr(path.rfind('/') + 1);
    char* argv[] = {name.data(), nullptr};

    const pid_t middle = ::fork();
    if (middle < 0) {
        const int error = errno;
        ::close(ours);
        ::close(theirs);
        return {-1, Errno("fork", error)};
    }
    if (middle == 0) BecomeKeeper(theirs, path.data(), argv, environ);
    ::close(theirs);

    std::string error;
    int middle_status = 0;
    pid_t waited;
    while ((waited = ::waitpid(middle, &middle_status, 0)) < 0 && errno == EINTR) {
    }
    if (waited != middle) {
        error = Errno("waitpid", errno);
    } else if (!WIFEXITED(middle_status) || WEXITSTATUS(middle_status) != 0) {
        error = "could not start the keeper process";
    } else if (!SendAll(ours, message.data(), message.size()) || ::shutdown(ours, SHUT_WR) != 0) {
        error = "could not hand the text to the keeper process (" + keeper_path + ")";
    }
    if (error.empty()) return {ours, {}};
    ::close(ours);
    return {-1, error};
}

// The keeper's report on `socket`, waited for until `deadline`.
KeeperResult AwaitReport(int socket, const std::string& keeper_path, Deadline deadline) {
    char report = 0;
    bool ended = false;  // the keeper closed its end without a report
    for (;;) {
        pollfd poll_fd{socket, POLLIN, 0};
        const int ready = ::poll(&poll_fd, 1, deadline.PollTimeout());
        if (ready < 0 && errno == EINTR) continue;
        if (ready > 0) {
            ssize_t n;
            while ((n = ::read(socket, &report, 1)) < 0 && errno == EINTR) {
            }
            ended = n != 1;
        }
        break;
    }
    switch (static_cast<Report>(report)) {
        case Report::Kept:
        case Report::TakenOver:
        case Report::NotOffered:
            return {static_cast<Report>(report), {}};
        case Report::Failed:
            return {Report::Failed, "the keeper could not take the clipboard"};
    }
    return {Report::Failed, report != 0 ? "the keeper gave an unknown report"
                            : ended     ? "the keeper ended at once (" + keeper_path + ")"
                                        : "the keeper did not report in time"};
}

}  // namespace

KeeperResult StartKeeper(const std::string& keeper_path, const HandOff& hand_off, milliseconds wait) {
    const std::optional<std::string> message = EncodeHandOff(hand_off);
    if (!message) return {Report::Failed, "the text or the display's name cannot be handed over"};
    const Launched keeper = Launch(keeper_path, *message);
    if (keeper.socket < 0) return {Report::Failed, keeper.error};
    KeeperResult result = AwaitReport(keeper.socket, keeper_path, Deadline::After(wait));
    ::close(keeper.socket);
    return result;
}

}  // namespace quill::keeper
