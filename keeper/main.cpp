// quillantern-clipboard: keeps the value quillantern copied after its window
// has closed (keeper/handoff.hpp). Started by the program only, with the
// hand-off socket on descriptor 3; run any other way it says so and ends.
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>

#include "keeper/handoff.hpp"
#include "wayland/clipboard_keeper.hpp"
#include "x11/clipboard_keeper.hpp"

namespace {

using quill::keeper::kHandOffFd;
using quill::keeper::Report;

bool StartedByTheProgram(int argc) {
    struct stat status {};
    return argc == 1 && ::fstat(kHandOffFd, &status) == 0 && S_ISSOCK(status.st_mode);
}

std::optional<quill::keeper::HandOff> ReadHandOff() {
    std::string message;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(kHandOffFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        message.append(buffer, static_cast<std::size_t>(n));
        if (message.size() > quill::keeper::kMaxText + quill::keeper::kMaxDisplayName + 16) return std::nullopt;
    }
    return quill::keeper::DecodeHandOff(message);
}

// The report, once; a program that no longer listens changes nothing.
void Tell(Report report) {
    const char byte = static_cast<char>(report);
    while (::send(kHandOffFd, &byte, 1, MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
    ::close(kHandOffFd);
}

template <typename Keeper>
int Keep(quill::keeper::HandOff hand_off) {
    Keeper keeper(std::move(hand_off));
    const Report report = keeper.Take(Keeper::Clock::now() + quill::keeper::kTakeWithin);
    Tell(report);
    if (report != Report::Kept) return report == Report::Failed ? 1 : 0;
    keeper.Serve();
    return 0;
}

}  // namespace

int main(int argc, char**) {
    if (!StartedByTheProgram(argc)) {
        std::fputs("quillantern-clipboard: this helper keeps a value that quillantern copied; "
                   "it is started by quillantern only\n", stderr);
        return 2;
    }
    // Already ignored by the program that started it; a lost connection or
    // a vanished reader is an error the keeper handles, never its end.
    ::signal(SIGPIPE, SIG_IGN);
    std::optional<quill::keeper::HandOff> hand_off = ReadHandOff();
    if (!hand_off) {
        Tell(Report::Failed);
        return 2;
    }
    if (hand_off->kind == quill::keeper::Kind::Wayland) return Keep<quill::wayland::ClipboardKeeper>(std::move(*hand_off));
    return Keep<quill::x11::ClipboardKeeper>(std::move(*hand_off));
}
